// Writes the data files that the study check (tests/study/recompute.py) runs
// the program on: several days of traffic in every vehicle record format,
// across a month end with partial first and last days, a wrapped memory, a
// file not closed correctly, and interval files binned and count-only, with
// and without peak periods, on grids of 5, 10, 12, 15 and 60 minutes; a
// loop-only site whose records carry axles and weights it did not measure,
// vehicles without a measured speed or length. Each line of DIRECTORY/FILES
// names one file and the options to run it with.
//
//   study_check_files DIRECTORY
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/tool_main.h"
#include "support/value_sequence.h"
#include "support/vbv_builder.h"

using namespace tallycnv::test;

namespace {

// A weigh site whose recording runs from Wednesday 27 February 2013, 10:07
// to Saturday 2 March, 14:00: two full days, 28 February and 1 March.
const char* const weigh_site = R"(
    site STUDY CHECK
    headings N S
    class_scheme 2
    sensor_type 28 28 28 28 1 1 1 1
    card_type 6 6 6 6 0 0 0 0
    vbv_filter.operand 13
    interval_filter.operand 13
    num_classes 13
    vbv_day 27
    vbv_month 1
    vbv_year 2013
    start 2013-02-27 10:07:00
    stop 2013-03-02 14:00:00
)";
constexpr unsigned first_time = 10 * 36000 + 7 * 600; // 10:07 in tenths of a second
constexpr unsigned days_recorded = 3;

using values = tallycnv::test::value_sequence;

std::string shares(values& v, unsigned count) {
    std::string text;
    unsigned left = 255;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned share = i + 1 < count ? v.next(0, left / 2) : left;
        left -= share;
        text += (i == 0 ? "" : ",") + std::to_string(share);
    }
    return text;
}

// Seconds to the next vehicle: short in the morning and evening peaks, long at night.
unsigned step(values& v, unsigned tenths_of_day) {
    const unsigned hour = tenths_of_day / 36000;
    if ((hour >= 7 && hour < 9) || (hour >= 16 && hour < 18)) {
        return v.next(10, 120);
    }
    return hour >= 22 || hour < 5 ? v.next(100, 1500) : v.next(20, 400);
}

// Vehicles of one record kind from the start of the recording to its stop
// (`days` days and a few hours later). The packed and stream formats get a
// date record at every midnight; the base format's date rolls over by itself.
std::string traffic(const std::string& kind, unsigned seed, unsigned days = days_recorded) {
    values v{seed};
    const bool hundredths = kind == "type9";
    std::string text = kind == "base" ? "" : "date 2013 2 27\n";
    unsigned day = 0; // days after 27 February
    unsigned time = first_time;
    const unsigned stop = days * 864000 + 14 * 36000 - first_time;
    for (unsigned elapsed = 0, n = 0; elapsed < stop; ++n) {
        const unsigned gap = step(v, time);
        elapsed += gap;
        time += gap;
        if (time >= 864000) {
            time -= 864000;
            ++day;
            if (kind == "base") {
                text += "# midnight\n"; // the base format's date rolls over by itself
            } else {
                const unsigned month = day < 2 ? 2 : 3;
                const unsigned dom = day < 2 ? 27 + day : day - 1;
                text += "date 2013 " + std::to_string(month) + " " + std::to_string(dom) + "\n";
            }
        }
        const unsigned axles = v.next(2, 6);
        const bool heavy = axles > 3;
        // A type 7 record carries no time: it follows from its lane's previous vehicle by the headway,
        // so these vehicles keep to one lane to keep the times the generator meant.
        const unsigned lane = v.next(0, 3);
        text += kind + " number=" + std::to_string(n % 60000) +
                " lane=" + std::to_string(kind == "type7" ? 0 : lane) +
                " dir=" + std::to_string(v.next(0, 1)) + " axles=" + std::to_string(axles) +
                " class=" + std::to_string(heavy ? v.next(5, 13) : v.next(1, 4)) +
                " time=" + std::to_string(hundredths ? time * 10 + v.next(0, 9) : time) +
                " speed=" + std::to_string(hundredths ? v.next(300, 1300) : v.next(25, 130)) +
                " gap=" + std::to_string(gap > 5 ? gap - v.next(1, 5) : gap) +
                " headway=" + std::to_string(gap) + " overhang=" + std::to_string(v.next(50, 250)) +
                " wheelbase=" + std::to_string(heavy ? v.next(800, 1800) : v.next(200, 350)) +
                " length=" + std::to_string(heavy ? v.next(900, 2500) : v.next(300, 600)) +
                " gross=" + std::to_string(heavy ? v.next(1500, 8000) : v.next(80, 400)) +
                " chassis=" + std::to_string(v.next(0, 4)) + " spacings=" + shares(v, axles - 1) +
                " weights=" + shares(v, axles) + "\n";
    }
    return text;
}

// The traffic of `kind` with no vehicle from 10:00 to 18:00 on 28 February (a sensor out): that
// full day leaves the averages.
std::string sensor_out(const std::string& kind, unsigned seed) {
    const std::string all = traffic(kind, seed);
    std::string text;
    unsigned midnights = 0;
    for (std::size_t from = 0; from < all.size();) {
        const std::size_t end = all.find('\n', from) + 1;
        const std::string line = all.substr(from, end - from);
        from = end;
        midnights += line.starts_with("# midnight") ? 1 : 0;
        const std::size_t t = line.find(" time=");
        const unsigned long time = t == std::string::npos ? 0 : std::stoul(line.substr(t + 6));
        if (midnights == 1 && time >= 10 * 36000 && time < 18 * 36000) {
            continue;
        }
        text += line;
    }
    return text;
}

// The records of a description (its lines but the stream masks and comments).
unsigned record_count(const std::string& records) {
    unsigned count = 0;
    for (std::size_t from = 0; from < records.size(); from = records.find('\n', from) + 1) {
        count += records.compare(from, 5, "mask ") != 0 && records.compare(from, 1, "#") != 0 ? 1 : 0;
    }
    return count;
}

// A closed file states its record count.
bytes vbv_file(const std::string& records, bool closed = true, const std::string& extra = "") {
    const std::string state =
        closed ? "closed_ok 1\nnum_records " + std::to_string(record_count(records)) : "closed_ok 0";
    return build_vbv_file(std::string(weigh_site) + state + "\n" + extra, build_vbv_records(records));
}

// Packed formats in turn, day by day.
std::string mixed() {
    std::string text;
    const std::vector<std::string> kinds = {"type4", "type6", "type9"};
    const std::string all = traffic("type4", 31);
    std::size_t kind = 0;
    std::size_t from = 0;
    while (from < all.size()) {
        const std::size_t end = all.find('\n', from);
        std::string line = all.substr(from, end - from);
        from = end + 1;
        if (line.rfind("type4 ", 0) == 0) {
            line = kinds[kind] + line.substr(5);
            if (kinds[kind] == "type9") { // hundredths, tenths of a km/h
                const std::size_t t = line.find(" time=") + 6;
                const std::size_t te = line.find(' ', t);
                line.replace(t, te - t, std::to_string(std::stoul(line.substr(t, te - t)) * 10));
                const std::size_t s = line.find(" speed=") + 7;
                const std::size_t se = line.find(' ', s);
                line.replace(s, se - s, std::to_string(std::stoul(line.substr(s, se - s)) * 10 + 4));
            }
        } else {
            kind = (kind + 1) % kinds.size();
        }
        text += line + "\n";
    }
    return text;
}

// Every vehicle line of `records` passed to `edit` with its number among them.
template <typename Edit> std::string each_vehicle(const std::string& records, Edit edit) {
    std::string text;
    unsigned n = 0;
    for (std::size_t from = 0; from < records.size();) {
        const std::size_t end = records.find('\n', from);
        std::string line = records.substr(from, end - from);
        from = end + 1;
        if (line.find(" speed=") != std::string::npos) {
            edit(line, n++);
        }
        text += line + "\n";
    }
    return text;
}

// `line` with the value of field `name` replaced.
void set_field(std::string& line, const std::string& name, const std::string& value) {
    const std::size_t at = line.find(" " + name + "=") + name.size() + 2;
    line.replace(at, line.find(' ', at) - at, value);
}

// A loop-only site (no axle or weighing sensor) whose records still carry axles,
// spacings and weights; one direction, its lanes headed alike.
bytes loop_only() {
    const std::string records =
        each_vehicle(traffic("type4", 29), [](std::string& line, unsigned) { set_field(line, "dir", "0"); });
    return build_vbv_file(std::string(weigh_site) +
                              "sensor_type 1 1 1 1 1 1 1 1\ncard_type 1 1 1 1 0 0 0 0\nheadings EB EB EB EB\n"
                              "closed_ok 1\nnum_records " +
                              std::to_string(record_count(records)),
                          build_vbv_records(records));
}

// Vehicles without a measured speed (every fifth) or length (every seventh).
bytes unmeasured() {
    const std::string records = each_vehicle(traffic("type6", 30), [](std::string& line, unsigned n) {
        if (n % 5 == 0) {
            set_field(line, "speed", "0");
        }
        if (n % 7 == 0) {
            set_field(line, "length", "0");
        }
    });
    return vbv_file(records);
}

// A wrapped memory: the records from the second day on survive, and the
// base format's running date starts on the day of the oldest of them.
bytes wrapped() {
    const std::string all = traffic("base", 41);
    const std::size_t half = all.find('\n', all.size() * 2 / 5) + 1;
    unsigned midnights = 0;
    for (std::size_t at = all.find("# midnight"); at < half; at = all.find("# midnight", at + 1)) {
        ++midnights;
    }
    const unsigned month = midnights < 2 ? 1 : 2; // from 0
    const unsigned day = midnights < 2 ? 27 + midnights : midnights - 1;
    const std::size_t newest = all.find('\n', all.size() * 3 / 5) + 1;
    wrapped_area area;
    area.oldest = build_vbv_records(all.substr(half, newest - half));
    area.overwritten = build_vbv_records("raw 00 00 00 00");
    area.newest = build_vbv_records(all.substr(newest));
    return build_wrapped_vbv_file(std::string(weigh_site) + "closed_ok 1\nnum_records " +
                                      std::to_string(record_count(all.substr(half))) + "\nvbv_day " +
                                      std::to_string(day) + "\nvbv_month " + std::to_string(month),
                                  area);
}

const char* const interval_site = R"(
    type m
    site SITE "7", NORTH
    headings N,S SB EAST
    card_type 1 1 1 0 0 0 0 0
    sensor_type 1 1 1 1 1 1 1 1
    interval_filter.operand 13
    start 2013-02-27 10:00:00
    stop 2013-03-02 14:00:00
    speed_bins.threshold 0 30 50 70 90 110
    speed_bins.count 6
    length_bins.threshold 0 520 1200 2500
    length_bins.count 3
    num_classes 3
)";

// The blocks from the start to the stop: `per_day` intervals a day, peaks in the rush hours.
std::string interval_blocks(unsigned blocks, unsigned per_day, unsigned first, unsigned channels,
                            unsigned size, unsigned seed) {
    values v{seed};
    std::string text;
    for (unsigned b = 0; b < blocks; ++b) {
        const unsigned hour = (first + b) % per_day * 24 / per_day;
        const unsigned busy = (hour >= 7 && hour < 9) || (hour >= 16 && hour < 18) ? 40 : 8;
        for (unsigned c = 1; c <= channels; ++c) {
            text += " ch" + std::to_string(c) + ":";
            for (unsigned i = 0; i < size; ++i) {
                text += " " + std::to_string(v.next(0, busy));
            }
        }
        text += "\n";
    }
    return text;
}

// Speed and length as separate lists every `minutes` minutes for three days and
// four hours: peak hours, their factor from quarter hours (15 minutes) or from
// the busiest interval (10 minutes).
bytes speed_and_length(unsigned minutes, unsigned seed) {
    header_builder h;
    h.describe(interval_site);
    if (minutes == 15) {
        h.describe("speed_bins.count 5"); // the last bin ends at 110
    }
    const unsigned per_day = 1440 / minutes;
    const unsigned blocks = 3 * per_day + per_day / 6;
    h.describe("no_chans 2\nchannel_assignment 1 2\ninterval " + std::to_string(minutes) +
               "\nspec_count 2\noperands 1 4 0\noperators 0 0\nblock_size 36\nnum_records " +
               std::to_string(blocks));
    return build_interval_file(h, interval_blocks(blocks, per_day, per_day * 5 / 12, 2, 9, seed), 9);
}

// Plain counts every 12 minutes, every 6 in the rush hours: windows on both grids.
bytes twelve_and_six_minutes() {
    header_builder h;
    h.describe(interval_site);
    const unsigned blocks = 80 + 2 * 140 + 80;
    h.describe(
        "no_chans 2\nchannel_assignment 1 2\ninterval 12\npeak_interval 6\npeak_times 7 0 9 0 16 0 18 0\n"
        "operands 0 0 0\nblock_size 4\nnum_records " +
        std::to_string(blocks));
    return build_interval_file(h, interval_blocks(blocks, 140, 56, 2, 1, 56), 1);
}

// Plain counts every 15 minutes, every 5 from 07:00 to 08:40 and from 16:35 to 18:05:
// quarter hours only where both grids make them up.
bytes fifteen_and_five_minutes() {
    header_builder h;
    h.describe(interval_site);
    const unsigned blocks = 3 * 124 + 56;
    h.describe("no_chans 1\nchannel_assignment 1\ninterval 15\npeak_interval 5\n"
               "peak_times 7 0 8 40 16 35 18 5\noperands 0 0 0\nblock_size 2\nnum_records " +
               std::to_string(blocks));
    return build_interval_file(h, interval_blocks(blocks, 124, 52, 1, 1, 57), 1);
}

// Speed by class, hourly with a 15-minute morning peak period: no peak hours.
bytes speed_by_class() {
    header_builder h;
    h.describe(interval_site);
    const unsigned blocks = 3 * 24 + 4;
    h.describe("no_chans 2\nchannel_assignment 1 2\ninterval 60\npeak_interval 15\npeak_times 7 0 9 0\n"
               "spec_count 2\noperands 1 7 0\noperators 1 0\nblock_size 72\nnum_records " +
               std::to_string(blocks + 6));
    return build_interval_file(h, interval_blocks(blocks + 6, 24, 10, 2, 18, 52), 18);
}

// Ten days of hourly counts of two channels: peak hours without a PHF.
bytes hourly_counts() {
    header_builder h;
    h.describe(interval_site);
    const unsigned blocks = 10 * 24 + 4;
    h.describe("stop 2013-03-09 14:00:00\nno_chans 2\nchannel_assignment 1 2\ninterval 60\noperands 0 0 0\n"
               "block_size 4\nnum_records " +
               std::to_string(blocks));
    return build_interval_file(h, interval_blocks(blocks, 24, 10, 2, 1, 58), 1);
}

// Plain counts of three channels every 5 minutes, the recording memory wrapped.
bytes wrapped_counts() {
    header_builder h;
    h.describe(interval_site);
    const unsigned written = 3 * 288 + 48;
    const unsigned lost = 200;
    h.describe("no_chans 3\nchannel_assignment 1 2 3\ninterval 5\noperands 0 0 0\nblock_size 6\nwrapped 1\n"
               "num_records " +
               std::to_string(written) + "\nrecords_lost " + std::to_string(lost));
    return build_interval_file(h, interval_blocks(written - lost, 288, 120 + lost, 3, 1, 53), 1);
}

// Plain counts every 15 minutes starting off the grid, for -S.
bytes partial_counts() {
    header_builder h;
    h.describe(interval_site);
    h.describe("start 2013-02-27 10:07:00\nstop 2013-03-02 13:50:00\nno_chans 2\nchannel_assignment 1 2\n"
               "interval 15\noperands 0 0 0\nblock_size 4\nnum_records 308");
    return build_interval_file(h, interval_blocks(308, 96, 40, 2, 1, 54), 1);
}

} // namespace

int write_files(const std::string& dir);

int main(int argc, char** argv) {
    const tool_usage tool{"study_check_files", "study_check_files DIRECTORY",
                          "Writes the data files of the study check, and the list FILES, into DIRECTORY.", 1,
                          1};
    return run_tool(tool, argc, argv,
                    [](const std::vector<std::string>& args) { return write_files(args[0]); });
}

int write_files(const std::string& dir) {
    std::ofstream files(dir + "/FILES");
    const auto add = [&](const std::string& name, const bytes& data, const std::string& options = "") {
        write_file(dir + "/" + name, data);
        files << name << (options.empty() ? "" : " ") << options << "\n";
    };
    add("BASE.DAT", vbv_file(traffic("base", 21)));
    write_file(dir + "/BASE-I.DAT", vbv_file(traffic("base", 21)));
    files << "BASE-I.DAT -I1 --speed-limit=40\n";
    add("TYPE4.DAT", vbv_file(traffic("type4", 22)), "--speed-limit=80");
    add("TYPE6.DAT", vbv_file(traffic("type6", 23)));
    add("TYPE7.DAT", vbv_file(traffic("type7", 24), true, "last_time 364200")); // 10:07, in tenths
    add("TYPE9.DAT", vbv_file(traffic("type9", 25)));
    add("STREAM.DAT", vbv_file("mask 0x66FF\n" + traffic("stream", 26), true, "stream_param 0x66FF"));
    add("LOOPS.DAT", vbv_file("mask 0xFE\n" + traffic("stream", 27), true, "stream_param 0xFE"));
    add("MIXED.DAT", vbv_file(mixed()));
    add("NOTCLOSED.DAT", vbv_file(traffic("base", 28, 2), false));
    add("GAP.DAT", vbv_file(sensor_out("base", 29)));
    add("WRAPPED.DAT", wrapped());
    add("SPLEN.DAT", speed_and_length(15, 51), "--speed-limit=50");
    add("SPCLASS.DAT", speed_by_class());
    add("COUNTS.DAT", wrapped_counts());
    add("PARTIAL.DAT", partial_counts(), "-S");
    add("TEN.DAT", speed_and_length(10, 55), "--speed-limit=55");
    add("HOURLY.DAT", hourly_counts());
    add("LOOPONLY.DAT", loop_only());
    add("UNMEASURED.DAT", unmeasured());
    add("TWELVE.DAT", twelve_and_six_minutes());
    add("FIFTEEN.DAT", fifteen_and_five_minutes());
    return 0;
}
