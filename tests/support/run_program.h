// Runs the built tallycnv executable for end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace tallycnv::test {

struct run_result {
    int exit_code = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs the program with `args` (argv[1] onward) in `working_directory`
// (empty: the current one), standard input from /dev/null. `program` may
// name another executable path (a copy placed elsewhere). `environment`
// holds "NAME=value" entries set in the child before it starts (PATH, ...).
// With `stdout_closed` standard output is a pipe whose reading end is
// already closed, and nothing of it is captured.
run_result run_tallycnv(const std::vector<std::string>& args, const std::string& working_directory = "",
                        const std::string& program = TALLYCNV_EXE,
                        const std::vector<std::string>& environment = {}, bool stdout_closed = false);

// A fresh empty directory under the system's temporary directory.
std::string make_temp_dir();

} // namespace tallycnv::test
