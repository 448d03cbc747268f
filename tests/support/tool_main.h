// The shell manners of the helper programs (the sample, check-file and
// benchmark data writers): "--help" or "-h" prints the usage and exits 0; a
// wrong number of arguments is one line on standard error and exit 1; any
// failure of the work (a folder that does not exist, a bad value) is one line
// "NAME: reason" and exit 2, never an uncaught exception.
#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "io/fatal.h"

namespace tallycnv::test {

struct tool_usage {
    const char* name;  // the program's name in its messages
    const char* usage; // "make_samples DIRECTORY"
    const char* about; // what it does, a line or two
    std::size_t min_args;
    std::size_t max_args;
};

// Runs `work` on the arguments after the program name; returns the exit code.
template <typename Work> int run_tool(const tool_usage& tool, int argc, char** argv, Work work) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: %s\n%s\n", tool.usage, tool.about);
            return 0;
        }
    }
    if (args.size() < tool.min_args || args.size() > tool.max_args) {
        std::fprintf(stderr, "usage: %s (%s --help tells more)\n", tool.usage, tool.name);
        return 1;
    }
    try {
        return work(args);
    } catch (const fatal_error& error) {
        std::string message = error.message;
        message.erase(0, message.find_first_not_of('\n'));
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        std::fprintf(stderr, "%s: %s\n", tool.name, message.c_str());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", tool.name, error.what());
        return 2;
    }
}

} // namespace tallycnv::test
