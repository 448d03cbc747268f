// Writes the data files that the CSV read-back check (tests/csv/readback.py)
// runs the program on: vehicle files of every record format, a wrapped one,
// and interval files of several binning shapes, from readable descriptions.
//
//   csv_check_files DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/tool_main.h"
#include "support/value_sequence.h"
#include "support/vbv_builder.h"

using namespace tallycnv::test;

namespace {

// A weigh site, so that the fixed-column listing shows every column.
const char* const weigh_site = R"(
    site CSV CHECK
    headings N S NB SB
    sensor_type 28 28 28 28 1 1 1 1
    card_type 6 6 6 6 0 0 0 0
    vbv_filter.operand 13
    interval_filter.operand 13
    vbv_day 7
    vbv_month 2
    vbv_year 2013
    last_time 360000 360000 360000 360000
    stream_param 0x66FF
)";

using values = tallycnv::test::value_sequence;

// `count` axle shares in 255ths that add up to the whole, as an instrument records them.
std::string shares(values& v, unsigned count) {
    std::vector<unsigned> parts(count);
    unsigned total = 0;
    for (unsigned& part : parts) {
        part = v.next(1, 100);
        total += part;
    }
    std::string text;
    unsigned left = 255;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned share = i + 1 < count ? parts[i] * 255 / total : left;
        left -= share;
        text += (i == 0 ? "" : ",") + std::to_string(share);
    }
    return text;
}

// `count` vehicles of one record kind ("base", "type4", ... "stream"), every
// measured field non-zero, two to nine axles, times rising from `time`.
std::string vehicles(const std::string& kind, int count, unsigned time, unsigned seed) {
    values v{seed};
    const bool hundredths = kind == "type9";
    std::string text;
    for (int i = 0; i < count; ++i) {
        time += v.next(15, 400);
        const unsigned axles = v.next(2, 9);
        const std::string spacings = shares(v, axles - 1);
        const std::string weights = shares(v, axles);
        text += kind + " number=" + std::to_string(500 + i) + " lane=" + std::to_string(v.next(0, 3)) +
                " dir=" + std::to_string(v.next(0, 1)) + " axles=" + std::to_string(axles) +
                " class=" + std::to_string(v.next(1, 13)) +
                " time=" + std::to_string(hundredths ? time * 10 + v.next(0, 9) : time % 864000) +
                " speed=" + std::to_string(hundredths ? v.next(200, 1500) : v.next(20, 140)) +
                " gap=" + std::to_string(v.next(1, 2000)) + " headway=" + std::to_string(v.next(1, 2000)) +
                " overhang=" + std::to_string(v.next(50, 250)) +
                " wheelbase=" + std::to_string(v.next(200, 1800)) +
                " length=" + std::to_string(v.next(300, 2500)) +
                " gross=" + std::to_string(v.next(100, 6000)) + " chassis=" + std::to_string(v.next(0, 4)) +
                " spacings=" + spacings + " weights=" + weights + "\n";
    }
    return text;
}

bytes vbv_file(const std::string& records) {
    return build_vbv_file(weigh_site, build_vbv_records(records));
}

// Base-format vehicles that run over midnight, then the packed formats after a date record.
std::string every_format() {
    return vehicles("base", 30, 862000, 1) + "date 2013 3 9\n" + vehicles("type4", 10, 400000, 2) +
           vehicles("type6", 10, 410000, 3) + vehicles("type7", 10, 0, 4) + vehicles("type9", 10, 420000, 5) +
           "mask 0x66FF\n" + vehicles("stream", 10, 430000, 6);
}

bytes wrapped_vbv() {
    wrapped_area area;
    area.newest = build_vbv_records(vehicles("base", 12, 370000, 7));
    area.overwritten = build_vbv_records("raw 00 00 00 00");
    area.oldest = build_vbv_records(vehicles("base", 15, 360000, 8));
    return build_wrapped_vbv_file(std::string(weigh_site) + "closed_ok 1\nnum_records 27", area);
}

// `blocks` blocks of `channels` channels of `size` values each.
std::string interval_blocks(int blocks, int channels, int size, unsigned seed) {
    values v{seed};
    std::string text;
    for (int b = 0; b < blocks; ++b) {
        for (int c = 1; c <= channels; ++c) {
            text += " ch" + std::to_string(c) + ":";
            for (int i = 0; i < size; ++i) {
                text += " " + std::to_string(v.next(0, 60));
            }
        }
        text += "\n";
    }
    return text;
}

const char* const interval_site = R"(
    type m
    site SITE "7", NORTH
    headings N,S SB
    card_type 1 1 0 0 0 0 0 0
    sensor_type 1 1 1 1 1 1 1 1
    interval_filter.operand 13
    no_chans 2
    channel_assignment 1 2
    start 2013-03-07 05:00:00
    stop 2013-03-08 05:00:00
    interval 60
    peak_interval 15
    peak_times 7 0 9 0
    speed_bins.threshold 0 30 50 70 250
    speed_bins.count 4
    length_bins.threshold 0 520 1200 2500
    length_bins.count 3
)";

// Speed by class (three classes), two channels, with a morning peak.
bytes speed_by_class() {
    header_builder h;
    h.describe(interval_site);
    h.describe("spec_count 2\noperands 1 7 0\noperators 1 0\nnum_classes 3\nblock_size 48\nnum_records 30");
    return build_interval_file(h, interval_blocks(30, 2, 12, 9), 12);
}

// Speed and length as separate lists.
bytes speed_and_length() {
    header_builder h;
    h.describe(interval_site);
    h.describe("spec_count 2\noperands 1 4 0\noperators 0 0\nblock_size 28\nnum_records 30");
    return build_interval_file(h, interval_blocks(30, 2, 7, 10), 7);
}

// The fourteen classes of the SWED14 scheme, for the merged car classes.
bytes swed14_classes() {
    header_builder h;
    h.describe(interval_site);
    h.describe(
        "spec_count 1\noperands 7 0 0\nclass_scheme 25\nnum_classes 14\nblock_size 56\nnum_records 12");
    return build_interval_file(h, interval_blocks(12, 2, 14, 11), 14);
}

// Plain counts of three channels, the recording memory wrapped.
bytes wrapped_counts() {
    header_builder h;
    h.describe(interval_site);
    h.describe("no_chans 3\nchannel_assignment 1 2 3\noperands 0 0 0\nblock_size 6\nwrapped 1\n"
               "num_records 40\nrecords_lost 15");
    return build_interval_file(h, interval_blocks(25, 3, 1, 12), 1);
}

} // namespace

int write_files(const std::string& dir);

int main(int argc, char** argv) {
    const tool_usage tool{"csv_check_files", "csv_check_files DIRECTORY",
                          "Writes the data files of the CSV read-back check into DIRECTORY.", 1, 1};
    return run_tool(tool, argc, argv,
                    [](const std::vector<std::string>& args) { return write_files(args[0]); });
}

int write_files(const std::string& dir) {
    write_file(dir + "/BASE.DAT", vbv_file(vehicles("base", 40, 862000, 21)));
    write_file(dir + "/TYPE4.DAT", vbv_file(vehicles("type4", 40, 360000, 22)));
    write_file(dir + "/TYPE6.DAT", vbv_file(vehicles("type6", 40, 360000, 23)));
    write_file(dir + "/TYPE7.DAT", vbv_file(vehicles("type7", 40, 360000, 24)));
    write_file(dir + "/TYPE9.DAT", vbv_file(vehicles("type9", 40, 360000, 25)));
    write_file(dir + "/STREAM.DAT", vbv_file("mask 0x66FF\n" + vehicles("stream", 40, 360000, 26)));
    write_file(dir + "/MIXED.DAT", vbv_file(every_format()));
    write_file(dir + "/WRAPPED.DAT", wrapped_vbv());
    write_file(dir + "/SPCLASS.DAT", speed_by_class());
    write_file(dir + "/SPLEN.DAT", speed_and_length());
    write_file(dir + "/SWED14.DAT", swed14_classes());
    write_file(dir + "/COUNTS.DAT", wrapped_counts());
    return 0;
}
