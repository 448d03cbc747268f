// Texts read from the language file: sensor names, long operand names, the
// unit-system names and the alternative name of the SWED14 scheme.
#pragma once

#include <array>
#include <string>

namespace tallycnv {

struct language_texts {
    std::array<std::string, 48> sensor_names;
    std::array<std::string, 13> spec_operands;
    std::array<std::string, 2> units_names;
    std::string swed14_name;
};

// Reads the 76-line language file; a missing or short file is not an error.
language_texts load_language(const std::string& lang_file);

} // namespace tallycnv
