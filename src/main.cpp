#include "app/entry.h"

int main(int argc, char** argv) {
    return tallycnv::run_program(argc, argv);
}
