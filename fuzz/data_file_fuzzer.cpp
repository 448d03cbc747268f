// Fuzz target: an arbitrary byte string formatted as a K479 data file. The
// leading bytes choose the report and its options (see harness.h), the rest
// is the data file, read from memory, and the report goes to memory.
// Control-file mode works in the scratch directory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.h"
#include "run/language.h"

using namespace tallycnv;

namespace {

constexpr const char* source_name = "SOURCE.DAT";
constexpr const char* language_name = "LANG.479";
constexpr const char* control_name = "CONTROL.INF";

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::absolute_fuzzer_paths(argc, argv);
    const std::string words = fuzz::full_language_file();
    fuzz::write_scratch_file(language_name, reinterpret_cast<const std::uint8_t*>(words.data()),
                             words.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < fuzz::choice_size) {
        return 0;
    }
    fuzz::work_in_scratch_dir();
    static const language_texts lang = load_language(fuzz::scratch_dir() + "/" + language_name);
    const bool control_mode = (data[3] & fuzz::control_file) != 0;
    if (control_mode) {
        // The companion's control file, whose verdict field control-file mode writes.
        static const std::string control(600, '\0');
        fuzz::write_scratch_file(control_name, reinterpret_cast<const std::uint8_t*>(control.data()),
                                 control.size());
    }
    std::vector<std::string> args{source_name, "^"};
    for (std::string& arg : fuzz::choice_arguments(data)) {
        args.push_back(std::move(arg));
    }
    if (const std::optional<run_settings> settings = fuzz::parse_command_line(args)) {
        fuzz::format(*settings, lang, std::vector<std::uint8_t>(data + fuzz::choice_size, data + size));
    }
    // The site record files stay for the next inputs, so that a later file
    // from the same site can continue one; a few dozen of them are enough.
    if (control_mode && fuzz::scratch_file_count() > 32) {
        fuzz::clean_scratch({language_name});
    }
    return 0;
}
