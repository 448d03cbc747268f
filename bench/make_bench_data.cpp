// Writes the large data files of the benchmark, in constant memory:
//
//   make_bench_data base VEHICLES FILE     base-format VBV file of a weighing site
//   make_bench_data stream VEHICLES FILE   stream-form VBV file (every field present)
//   make_bench_data interval DAYS FILE     15-minute blocks, 8 channels, speed x length x axles
//   make_bench_data counts DAYS FILE       15-minute blocks, 8 channels, counts only
//
// The vehicles have 2 to 9 axles, speeds, lengths, axle spacing and weight
// shares drawn from plausible ranges, and run over many midnights; an event
// of a loop card falls between them now and then. The same arguments always
// give the same file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "support/k479_builder.h"
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

// Shares in 255ths of `count` parts; the last takes the rest.
std::vector<unsigned> shares(random_source& random, unsigned count) {
    std::vector<unsigned> out;
    unsigned left = 255;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned share =
            i + 1 == count ? left : std::min(left, random.between(255 / count / 2, 255 / count * 3 / 2));
        out.push_back(share);
        left -= share;
    }
    return out;
}

// One plausible vehicle at `time` (tenths of a second since midnight).
vbv_fields vehicle(random_source& random, unsigned number, unsigned time) {
    vbv_fields f;
    f.number = number & 0xFFFF;
    f.time = time;
    f.lane = random.below(4);
    f.direction = f.lane >= 2 ? 1 : 0;
    const unsigned kind = random.below(100);
    f.axles = kind < 80 ? 2 : kind < 86 ? 3 : kind < 90 ? 4 : kind < 96 ? 5 : random.between(6, 9);
    f.class_code = f.axles == 2 ? (kind < 5 ? 1 : 2) : std::min(13U, f.axles + 2);
    f.speed = f.axles == 2 ? random.between(45, 140) : random.between(50, 95);
    f.wheelbase = f.axles == 2 ? random.between(230, 340) : random.between(400, 320 * f.axles);
    f.overhang = random.between(60, 220);
    f.length = f.wheelbase + f.overhang;
    f.gross = f.axles == 2 ? random.between(180, 600) : random.between(1000, 900 * f.axles);
    f.headway = random.between(8, 4000);
    f.gap = f.headway > 15 ? f.headway - random.between(3, 15) : 0;
    f.chassis = random.below(5);
    f.spacings = shares(random, f.axles - 1);
    f.weights = shares(random, f.axles);
    return f;
}

// Calls `emit` with each record of the data area: vehicles a few seconds
// apart, a date record at each midnight (stream form), an event now and then.
void vbv_records(bool stream, unsigned long vehicles, const std::function<void(const bytes&)>& emit,
                 unsigned long* record_count) {
    random_source random;
    unsigned time = 0;
    unsigned year = 2013, month = 3, day = 4;
    unsigned long records = 0;
    if (stream) {
        emit(pack_date(year, month, day));
        ++records;
    }
    for (unsigned long i = 0; i < vehicles; ++i) {
        time += random.between(2, 60);
        if (time >= 864000) {
            time -= 864000;
            day = day % 28 + 1; // a calendar of 28-day months is enough for a benchmark
            month = day == 1 ? month % 12 + 1 : month;
            if (stream) {
                emit(pack_date(year, month, day));
                ++records;
            }
        }
        const vbv_fields f = vehicle(random, static_cast<unsigned>(i), time);
        emit(stream ? pack_stream(f, 0x7FFF) : pack_base(f));
        ++records;
        if (random.below(5000) == 0) {
            emit(pack_event(13, random.below(8), random.below(4), time, random.below(1000),
                            random.below(1000)));
            ++records;
        }
    }
    *record_count = records;
}

void write_vbv(bool stream, unsigned long vehicles, const std::string& path) {
    unsigned long records = 0;
    std::uint64_t area = 0;
    vbv_records(
        stream, vehicles, [&area](const bytes& record) { area += record.size(); }, &records);

    header_builder header;
    header.describe("type V");
    header.describe(weigh_site);
    header.record.num_records = static_cast<std::uint32_t>(records);
    header.record.stream_param = 0x7FFF;
    header.record.data_end = static_cast<std::uint32_t>(header.data_start() + area);

    std::ofstream out(path, std::ios::binary);
    const bytes head = header.build();
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    bytes chunk;
    vbv_records(
        stream, vehicles,
        [&](const bytes& record) {
            chunk.insert(chunk.end(), record.begin(), record.end());
            if (chunk.size() >= (1U << 20)) {
                out.write(reinterpret_cast<const char*>(chunk.data()),
                          static_cast<std::streamsize>(chunk.size()));
                chunk.clear();
            }
        },
        &records);
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
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
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: make_bench_data base|stream|interval|counts COUNT FILE\n", stderr);
        return 1;
    }
    const std::string kind = argv[1];
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    try {
        if (kind == "base" || kind == "stream") {
            write_vbv(kind == "stream", count, argv[3]);
        } else if (kind == "interval" || kind == "counts") {
            write_interval(kind == "interval", count, argv[3]);
        } else {
            std::fputs("make_bench_data: kind is base, stream, interval or counts\n", stderr);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_bench_data: %s\n", error.what());
        return 1;
    }
    return 0;
}
