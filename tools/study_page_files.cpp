// Writes the data files that the study page checks (tests/html/) run the
// program on, from readable descriptions: a weigh site over three and a half
// days with partial first and last days, the same with a hostile site name,
// a speed-binned 15-minute interval file and an hourly count-only one.
//
//   study_page_files DIRECTORY
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/tool_main.h"
#include "support/value_sequence.h"
#include "support/vbv_builder.h"

using namespace tallycnv::test;

namespace {

const char* const common_header = R"(
    serial_number 40512
    instrument_release 2.10
    location MAIN ROAD NORTH
    grid_reference 4712 0915
    headings N S NB SB
    battery 124
    class_scheme 3
    vbv_filter.operand 13
    interval_filter.operand 13
    num_classes 13
)";

using values = tallycnv::test::value_sequence;

// Vehicles in an hour of the day: morning and evening peaks on weekdays,
// a flatter day at the weekend.
unsigned hourly_volume(int hour, bool weekend) {
    static constexpr unsigned weekday[24] = {8,   5,   4,   5,   12,  40,  110, 210, 240, 150, 120, 125,
                                             130, 125, 135, 170, 230, 250, 160, 100, 70,  50,  30,  15};
    static constexpr unsigned weekend_day[24] = {15,  10,  8,   6,   6,   10,  20, 40, 70, 100, 120, 130,
                                                 135, 130, 125, 120, 110, 100, 90, 70, 50, 40,  30,  20};
    return weekend ? weekend_day[hour] : weekday[hour];
}

// A weigh site recording from Thursday 7 March 2013 09:00 to Sunday 10 March
// 15:00: two directions, thirteen classes, a date record at each midnight.
bytes weigh_site(const std::string& site_line) {
    values v{2013};
    std::string records;
    int count = 0;
    const int first_day = 7;
    for (int day = first_day; day <= 10; ++day) {
        records += "date 2013 3 " + std::to_string(day) + "\n";
        ++count;
        const bool weekend = day >= 9;
        for (int hour = day == first_day ? 9 : 0; hour < (day == 10 ? 15 : 24); ++hour) {
            const unsigned n = hourly_volume(hour, weekend);
            for (unsigned i = 0; i < n; ++i) {
                // Denser early in the hour, so that its quarters differ (a peak-hour factor below 1).
                const auto at = [n](unsigned k) {
                    return static_cast<unsigned>(36000 * std::pow(static_cast<double>(k) / n, 1.3));
                };
                const unsigned time = static_cast<unsigned>(hour) * 36000 + at(i) +
                                      v.next(0, std::max(at(i + 1) - at(i), 1U) - 1);
                const unsigned heavy = v.next(0, 9) == 0 ? 1 : 0;
                const unsigned axles = heavy ? v.next(3, 6) : 2;
                const unsigned cls = heavy ? v.next(4, 13) : v.next(1, 3);
                const unsigned speed = (heavy ? 40 : 50) + v.next(0, 20) + v.next(0, 20) + v.next(0, 20);
                const unsigned headway = v.next(5, 36000 * 2 / n);
                std::string spacings;
                std::string weights;
                for (unsigned a = 0; a < axles; ++a) {
                    weights += (a == 0 ? "" : ",") + std::to_string(255 / axles);
                    if (a + 1 < axles) {
                        spacings += (a == 0 ? "" : ",") + std::to_string(255 / (axles - 1));
                    }
                }
                records += "base lane=" + std::to_string(v.next(0, 1) * 2 + v.next(0, 1)) +
                           " dir=" + std::to_string(v.next(0, 1)) + " axles=" + std::to_string(axles) +
                           " class=" + std::to_string(cls) + " time=" + std::to_string(time) +
                           " speed=" + std::to_string(speed) + " gap=" + std::to_string(headway * 8 / 10) +
                           " headway=" + std::to_string(headway) + " overhang=150" +
                           " wheelbase=" + std::to_string(heavy ? v.next(400, 1500) : v.next(230, 300)) +
                           " gross=" + std::to_string(heavy ? v.next(1500, 8000) : v.next(250, 450)) +
                           " spacings=" + spacings + " weights=" + weights + "\n";
                ++count;
            }
        }
    }
    return build_vbv_file(std::string(common_header) + site_line + R"(
        file_name WEIGH
        class_scheme 2
        sensor_type 28 28 28 28 1 1 1 1
        card_type 6 6 6 6 0 0 0 0
        start 2013-03-07 09:00:00
        stop 2013-03-10 15:00:00
        vbv_day 7
        vbv_month 2
        vbv_year 2013
        next_veh_no 0
        closed_ok 1
        num_records )" + std::to_string(count) +
                              "\n",
                          build_vbv_records(records));
}

// Two channels binned by speed in 15-minute intervals from Thursday 09:00 to Sunday 09:00.
bytes speed_binned() {
    header_builder h;
    h.describe(common_header);
    h.describe(R"(
        type m
        site BINNED
        file_name BINNED
        sensor_type 22 22 22 22 1 1 1 1
        card_type 6 6 6 6 0 0 0 0
        start 2013-03-07 09:00:00
        stop 2013-03-10 09:00:00
        no_chans 2
        channel_assignment 1 2
        spec_count 1
        operands 1 0 0
        speed_bins.threshold 0 30 50 70 90 250
        speed_bins.count 5
        interval 15
        block_size 20
        num_records 288
    )");
    values v{15};
    std::string blocks;
    for (int block = 0; block < 288; ++block) {
        const int hour = (9 + block / 4) % 24;
        const bool weekend = block >= 4 * (15 + 24 + 24);
        const unsigned n = hourly_volume(hour, weekend) / 4;
        const auto bins = [&](unsigned share) {
            const unsigned total = n * share / 2;
            const unsigned slow = total / 20;
            const unsigned high = total / 25;
            const unsigned low = total / 4;
            const unsigned rest = total - slow - high - low;
            const unsigned fast = std::min(rest, total / 6 + v.next(0, 2));
            return std::to_string(slow) + " " + std::to_string(low) + " " + std::to_string(rest - fast) +
                   " " + std::to_string(fast) + " " + std::to_string(high);
        };
        blocks += "ch1: " + bins(2) + " ch2: " + bins(1) + "\n";
    }
    return build_interval_file(h, blocks, 5);
}

// Two channels counted hourly, volumes only, for four days from Thursday 00:00.
bytes hourly_counts() {
    header_builder h;
    h.describe(common_header);
    h.describe(R"(
        type m
        site HOURLY
        file_name HOURLY
        start 2013-03-07 00:00:00
        stop 2013-03-11 00:00:00
        card_type 1 1 1 1 0 0 0 0
        sensor_type 1 1 1 1 1 1 1 1
        no_chans 2
        channel_assignment 1 2
        operands 0 0 0
        interval 60
        block_size 4
        num_records 96
    )");
    std::string blocks;
    for (int day = 0; day < 4; ++day) {
        for (int hour = 0; hour < 24; ++hour) {
            const unsigned n = hourly_volume(hour, day >= 2);
            blocks += "ch1: " + std::to_string(n) + " ch2: " + std::to_string(n * 3 / 4) + "\n";
        }
    }
    return build_interval_file(h, blocks, 1);
}

} // namespace

int write_files(const std::string& dir);

int main(int argc, char** argv) {
    const tool_usage tool{"study_page_files", "study_page_files DIRECTORY",
                          "Writes the data files of the study page checks into DIRECTORY.", 1, 1};
    return run_tool(tool, argc, argv,
                    [](const std::vector<std::string>& args) { return write_files(args[0]); });
}

int write_files(const std::string& dir) {
    write_file(dir + "/WEIGH.DAT", weigh_site("site WEIGH SITE A1"));
    // Markup, quotes, control bytes and Latin-1 letters in the site name.
    write_file(dir + "/HOSTILE.DAT", weigh_site("site <b>\"A&B's\"</b>\x01\x1b\x85\xe9\xff"));
    write_file(dir + "/BINNED.DAT", speed_binned());
    write_file(dir + "/HOURLY.DAT", hourly_counts());
    return 0;
}
