// A condition that ends the run: the message (which begins with a newline and
// "Error : ") goes to standard error and the process exits with the code.
// Raised anywhere below main; main flushes what the report already holds,
// prints the message and returns the code.
#pragma once

#include <string>

namespace tallycnv {

struct fatal_error {
    int exit_code;
    std::string message;
};

[[noreturn]] inline void fail(int exit_code, std::string message) {
    throw fatal_error{exit_code, std::move(message)};
}

} // namespace tallycnv
