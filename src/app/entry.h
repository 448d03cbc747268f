// The program's entry sequence.
#pragma once

namespace tallycnv {

// Runs the program and returns its exit code.
int run_program(int argc, char** argv);

} // namespace tallycnv
