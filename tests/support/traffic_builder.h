// Generates whole days of vehicle-by-vehicle traffic and keeps its own record
// of every vehicle written, so that tests can check the study's tables
// against what the file holds rather than against the program's other output.
#pragma once

#include <string>
#include <vector>

namespace tallycnv::test {

struct generated_vehicle {
    unsigned day = 0; // days after the first
    unsigned hour = 0;
    unsigned direction = 0; // 0 prints as direction 1
    unsigned axles = 2;
    unsigned class_code = 1;
    unsigned speed = 0;   // km/h
    unsigned headway = 0; // tenths of a second
};

struct generated_traffic {
    std::string header;  // the header description: `days` full days from Monday 4 March 2013
    std::string records; // type4 records, a date record at each midnight
    std::vector<generated_vehicle> vehicles;
};

generated_traffic generate_traffic(unsigned days, unsigned seed);

} // namespace tallycnv::test
