// Small data files of every kind, built from readable descriptions with the
// test-data builders: the seeds of the data-file target and the files the
// command-line target may name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallycnv::fuzz {

enum class file_kind { vbv, interval };

struct sample_file {
    std::string name;
    file_kind kind;
    std::vector<std::uint8_t> bytes;
};

const std::vector<sample_file>& sample_files();

} // namespace tallycnv::fuzz
