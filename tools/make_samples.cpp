// Writes the small sample data files of the README demo into a directory,
// from readable descriptions (the same builders the tests use).
//
//   make_samples DIRECTORY
#include <cstdio>
#include <string>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/tool_main.h"
#include "support/vbv_builder.h"

using namespace tallycnv::test;

namespace {

const char* const common_header = R"(
    serial_number 40512
    instrument_release 2.10
    location MAIN ROAD NORTH
    grid_reference 4712 0915
    file_name SITE
    headings N S NB SB
    battery 124
    sensor_type 22 22 22 22 1 1 1 1
    card_type 6 6 6 6 0 0 0 0
    class_scheme 3
    vbv_filter.operand 13
    interval_filter.operand 13
    num_classes 13
)";

// A vehicle-by-vehicle recording of an axle-sensing site: a date record, a
// few base-format vehicles and one loop-card event.
bytes vbv_sample() {
    const bytes data = build_vbv_records(R"(
        date 2013 3 7
        base lane=0 axles=2 class=2 time=360000 speed=82 gap=35 headway=41 overhang=150 wheelbase=270 gross=310 spacings= weights=120,135
        base lane=1 axles=3 class=6 time=360125 speed=71 gap=48 headway=60 overhang=350 wheelbase=640 gross=1540 spacings=110 weights=85,85,85
        event card=13 input=1 code=0 data=1234 a=500 b=480
        base lane=0 axles=2 class=2 time=360410 speed=95 gap=22 headway=41 overhang=140 wheelbase=255 gross=290 spacings= weights=120,135
        base lane=1 axles=5 class=9 time=360633 speed=64 gap=61 headway=51 overhang=420 wheelbase=1210 gross=6200 spacings=90,80,40,45 weights=60,50,50,50,45
    )");
    return build_vbv_file(std::string(common_header) + R"(
        site SITE1
        start 2013-03-07 10:00:00
        stop 2013-03-07 10:05:00
        vbv_day 7
        vbv_month 2
        vbv_year 2013
        next_veh_no 0
        num_records 6
        closed_ok 1
    )",
                          data);
}

// An interval recording binned by speed, two channels, 15-minute intervals.
bytes binned_sample() {
    header_builder h;
    h.describe(common_header);
    h.describe(R"(
        type m
        site SITE2
        start 2013-03-07 09:00:00
        stop 2013-03-07 10:00:00
        no_chans 2
        channel_assignment 1 2
        spec_count 1
        operands 1 0 0
        speed_bins.threshold 0 30 50 70 90 250
        speed_bins.count 5
        interval 15
        block_size 20
        num_records 4
    )");
    return build_interval_file(h, R"(
        ch1: 1 4 22 31 2  ch2: 0 3 18 29 5
        ch1: 0 6 25 28 1  ch2: 1 2 20 33 4
        ch1: 2 5 19 35 3  ch2: 0 4 23 27 2
        ch1: 1 3 24 30 2  ch2: 0 5 21 31 3
    )",
                               5);
}

// A count-only recording of two channels over ten days, hourly, for the
// INT-1, cordon and weekly layouts.
bytes count_sample() {
    header_builder h;
    h.describe(common_header);
    h.describe(R"(
        type m
        site SITE3
        start 2013-03-07 00:00:00
        stop 2013-03-17 00:00:00
        card_type 1 1 1 1 0 0 0 0
        sensor_type 1 1 1 1 1 1 1 1
        no_chans 2
        channel_assignment 1 2
        operands 0 0 0
        interval 60
        block_size 4
        num_records 240
    )");
    std::string blocks;
    for (int day = 0; day < 10; ++day) {
        for (int hour = 1; hour <= 24; ++hour) {
            const int base = hour < 6 ? 5 : hour < 20 ? 60 + 7 * (hour % 5) : 20;
            const int weekend = (day + 3) % 7 >= 5 ? 2 : 1; // 7 March 2013 was a Thursday
            blocks += "ch1: " + std::to_string(base / weekend + day) +
                      " ch2: " + std::to_string(base / weekend + 3) + "\n";
        }
    }
    return build_interval_file(h, blocks, 1);
}

} // namespace

int main(int argc, char** argv) {
    const tool_usage tool{"make_samples", "make_samples DIRECTORY",
                          "Writes the sample data files SITE1.DAT, SITE2.DAT and SITE3.DAT into DIRECTORY.",
                          1, 1};
    return run_tool(tool, argc, argv, [](const std::vector<std::string>& args) {
        const std::string& dir = args[0];
        write_file(dir + "/SITE1.DAT", vbv_sample());
        write_file(dir + "/SITE2.DAT", binned_sample());
        write_file(dir + "/SITE3.DAT", count_sample());
        return 0;
    });
}
