// A small deterministic sequence of plausible field values for generated data
// files: the same seed gives the same vehicles on every machine.
#pragma once

namespace tallycnv::test {

struct value_sequence {
    unsigned state = 12345;
    // A value from `low` to `high`, both included.
    unsigned next(unsigned low, unsigned high) {
        state = state * 1103515245U + 12345U;
        return low + (state >> 8) % (high - low + 1);
    }
};

} // namespace tallycnv::test
