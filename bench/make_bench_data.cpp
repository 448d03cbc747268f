// Writes the large data files of the benchmark, in constant memory:
//
//   make_bench_data base VEHICLES FILE     base-format VBV file of a weighing site
//   make_bench_data stream VEHICLES FILE   stream-form VBV file (every field present)
//   make_bench_data interval DAYS FILE     15-minute blocks, 8 channels, speed x length x axles
//   make_bench_data counts DAYS FILE       15-minute blocks, 8 channels, counts only
//
// The vehicles have 2 to 9 axles, speeds, lengths, axle spacing and weight
// shares drawn from plausible ranges, and run over many midnights; an event
// of a loop card falls between them now and then. They are written as the
// test builders' readable record descriptions and built from those. The
// same arguments always give the same file.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/k479_builder.h"
#include "support/tool_main.h"
#include "support/vbv_builder.h"

using namespace tallycnv::test;

namespace {

const char* const weigh_site = R"(
    serial_number 40512
    instrument_release 2.10
    site WEIGH01
    location MOTORWAY A1 KM 47 NORTHBOUND
    grid_reference 4712 0915
    file_name WEIGH01
    headings N S NB SB
    battery 124
    sensor_type 30 30 30 30 1 1 1 1
    card_type 4 4 4 4 13 13 0 0
    class_scheme 3
    num_classes 13
    vbv_filter.operand 13
    interval_filter.operand 13
    start 2013-03-04 00:00:00
    stop 2013-12-31 23:59:00
    vbv_day 4
    vbv_month 2
    vbv_year 2013
    next_veh_no 0
    closed_ok 1
)";

// Every field of a stream-form record present.
constexpr std::uint32_t stream_mask = 0x7FFF;

// A small xorshift generator: the files must not depend on the library's random engines.
struct random_source {
    std::uint32_t state = 2463534242U;
    unsigned below(unsigned range) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % range;
    }
    unsigned between(unsigned low, unsigned high) { return low + below(high - low + 1); }
};

// Shares in 255ths of `count` parts, as a list "a,b,c"; the last takes the rest.
std::string shares(random_source& random, unsigned count) {
    std::string out;
    unsigned left = 255;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned share =
            i + 1 == count ? left : std::min(left, random.between(255 / count / 2, 255 / count * 3 / 2));
        out += (i == 0 ? "" : ",") + std::to_string(share);
        left -= share;
    }
    return out;
}

// The description of one plausible vehicle at `time` (tenths of a second
// since midnight), in the vehicle builder's words.
std::string vehicle(random_source& random, bool stream, unsigned number, unsigned time) {
    const unsigned lane = random.below(4);
    const unsigned kind = random.below(100);
    const unsigned axles = kind < 80   ? 2
                           : kind < 86 ? 3
                           : kind < 90 ? 4
                           : kind < 96 ? 5
                                       : random.between(6, 9);
    const unsigned class_code = axles == 2 ? (kind < 5 ? 1 : 2) : std::min(13U, axles + 2);
    const unsigned speed = axles == 2 ? random.between(45, 140) : random.between(50, 95);
    const unsigned wheelbase = axles == 2 ? random.between(230, 340) : random.between(400, 320 * axles);
    const unsigned overhang = random.between(60, 220);
    const unsigned gross = axles == 2 ? random.between(180, 600) : random.between(1000, 900 * axles);
    const unsigned headway = random.between(8, 4000);
    const unsigned gap = headway > 15 ? headway - random.between(3, 15) : 0;
    const unsigned chassis = random.below(5);
    std::string d = stream ? "stream number=" + std::to_string(number & 0xFFFF) : std::string("base");
    d += " time=" + std::to_string(time) + " lane=" + std::to_string(lane) +
         " direction=" + std::to_string(lane >= 2 ? 1 : 0) + " axles=" + std::to_string(axles) +
         " class=" + std::to_string(class_code) + " speed=" + std::to_string(speed) +
         " gap=" + std::to_string(gap) + " headway=" + std::to_string(headway) +
         " wheelbase=" + std::to_string(wheelbase) + " gross=" + std::to_string(gross);
    d += stream ? " length=" + std::to_string(wheelbase + overhang) + " chassis=" + std::to_string(chassis)
                : " overhang=" + std::to_string(overhang);
    d += " spacings=" + shares(random, axles - 1) + " weights=" + shares(random, axles) + "\n";
    return d;
}

// Writes the header, then the data area in pieces of a few thousand records
// built from their descriptions, then the header again with the data end and
// the record count (the header's size does not depend on them).
void write_vbv(bool stream, unsigned long vehicles, const std::string& path, int download_month = 0) {
    header_builder header;
    header.describe("type V");
    header.describe(weigh_site);
    if (download_month != 0) {
        // One month's download of a site read out monthly: its recording runs from the 1st.
        char dates[160];
        std::snprintf(dates, sizeof dates,
                      "start 2013-%02d-01 00:00:00\nstop %04d-%02d-01 00:00:00\nvbv_day 1\nvbv_month %d",
                      download_month, download_month == 12 ? 2014 : 2013, download_month % 12 + 1,
                      download_month - 1);
        header.describe(dates);
    }
    header.record.stream_param = stream_mask;
    std::ofstream out(path, std::ios::binary);
    const auto write = [&out](const bytes& data) {
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    };
    write(header.build());

    random_source random;
    unsigned time = 0;
    unsigned month = 3, day = 4;
    std::uint64_t area = 0;
    unsigned long records = 0;
    std::string piece = stream ? "date 2013 3 4\n" : "";
    records += stream ? 1 : 0;
    for (unsigned long i = 0; i < vehicles; ++i) {
        time += random.between(2, 60);
        if (time >= 864000) {
            time -= 864000;
            day = day % 28 + 1; // a calendar of 28-day months is enough for a benchmark
            month = day == 1 ? month % 12 + 1 : month;
            if (stream) {
                piece += "date 2013 " + std::to_string(month) + " " + std::to_string(day) + "\n";
                ++records;
            }
        }
        piece += vehicle(random, stream, static_cast<unsigned>(i), time);
        ++records;
        if (random.below(5000) == 0) {
            piece += "event card=13 input=" + std::to_string(random.below(8)) +
                     " code=" + std::to_string(random.below(4)) + " data=" + std::to_string(time) +
                     " a=" + std::to_string(random.below(1000)) + " b=" + std::to_string(random.below(1000)) +
                     "\n";
            ++records;
        }
        if (piece.size() > (1U << 20) || i + 1 == vehicles) {
            const bytes data = build_vbv_records(piece, stream_mask);
            write(data);
            area += data.size();
            piece.clear();
        }
    }
    header.record.num_records = static_cast<std::uint32_t>(records);
    header.record.data_end = static_cast<std::uint32_t>(header.data_start() + area);
    out.seekp(0);
    write(header.build());
    if (!out) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}

// Speed (5 bins) x length (4 bins) x axles (3 bins) per channel, 8 channels.
constexpr unsigned speed_bins = 5, length_bins = 4, axle_bins = 3, channels = 8;
constexpr unsigned channel_values = speed_bins * length_bins * axle_bins;

void write_interval(bool binned, unsigned long days, const std::string& path) {
    const unsigned long blocks = days * 96;
    header_builder header;
    header.describe(weigh_site);
    header.describe(R"(
        type m
        site COUNT08
        card_type 1 1 1 1 1 1 1 1
        sensor_type 1 1 1 1 1 1 1 1
        no_chans 8
        channel_assignment 1 2 3 4 5 6 7 8
        interval 15
        start 2013-01-01 00:00:00
        stop 2014-01-01 00:00:00
    )");
    const unsigned values = binned ? channels * channel_values : channels;
    if (binned) {
        header.describe(R"(
        spec_count 3
        operands 1 4 8
        operators 1 1
        speed_bins.count 5
        speed_bins.threshold 0 50 70 90 110 250
        length_bins.count 4
        length_bins.threshold 0 550 1000 1600 2500
        axle_bins.count 3
        axle_bins.threshold 2 3 5 15
    )");
    }
    header.record.block_size = static_cast<std::uint16_t>(values * 2);
    header.record.num_records = static_cast<std::uint32_t>(blocks);
    std::ofstream out(path, std::ios::binary);
    const bytes head = header.build();
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    random_source random;
    bytes block;
    for (unsigned long b = 0; b < blocks; ++b) {
        const unsigned hour = static_cast<unsigned>(b % 96) / 4;
        const unsigned busy = hour < 6 ? 2 : hour < 20 ? 30 : 8;
        block.clear();
        for (unsigned v = 0; v < values; ++v) {
            put_u16(block,
                    binned ? random.below(busy + 1) * (v % 7 == 0 ? 4 : 1) : random.below(busy * 40 + 1));
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}

} // namespace

int main(int argc, char** argv) {
    const tallycnv::test::tool_usage tool{"make_bench_data",
                                          "make_bench_data base|stream|interval|counts|year COUNT FILE",
                                          "Writes a benchmark data file: COUNT vehicles (base, stream) or "
                                          "days (interval, counts); year: twelve\n"
                                          "monthly files of COUNT vehicles in all into the folder FILE.",
                                          3, 3};
    return tallycnv::test::run_tool(tool, argc, argv, [](const std::vector<std::string>& args) {
        const std::string& kind = args[0];
        char* end = nullptr;
        const unsigned long count = std::strtoul(args[1].c_str(), &end, 10);
        if (args[1].empty() || *end != '\0') {
            std::fprintf(stderr, "make_bench_data: COUNT is a whole number, not %s\n", args[1].c_str());
            return 1;
        }
        if (kind == "base" || kind == "stream") {
            write_vbv(kind == "stream", count, args[2]);
        } else if (kind == "year") {
            // A site's year as twelve monthly downloads DIR/M01.DAT .. M12.DAT of COUNT vehicles in all.
            for (int m = 1; m <= 12; ++m) {
                char name[16];
                std::snprintf(name, sizeof name, "/M%02d.DAT", m);
                write_vbv(false, count / 12, args[2] + name, m);
            }
        } else if (kind == "interval" || kind == "counts") {
            write_interval(kind == "interval", count, args[2]);
        } else {
            std::fputs("make_bench_data: kind is base, stream, interval, counts or year\n", stderr);
            return 1;
        }
        return 0;
    });
}
