#include "vbv/vbv_driver.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/fatal.h"
#include "support/vbv_builder.h"
#include "vbv/vbv_records.h"

namespace tallycnv {
namespace {

using test::build_vbv_records;
using test::bytes;

struct walked {
    std::vector<vehicle_info> vehicles;
    std::string order; // 'v' per vehicle, 'e' per event, in file order
    std::vector<int> speeds;
    int exit_code = 0; // of a fatal condition
    std::string message;
};

walked walk(const bytes& file) {
    byte_stream input(file);
    k479_defn header{};
    read_header_block(input, header);
    zedirozed_state zedirozed;
    walked result;
    const vbv_record_sink sink{
        [&](const vehicle_info& v, unsigned) {
            result.vehicles.push_back(v);
            result.speeds.push_back(v.speed);
            result.order += 'v';
        },
        [&](const event_record&) { result.order += 'e'; },
    };
    try {
        walk_vbv_data(input, header, run_settings{}, zedirozed, sink);
    } catch (const fatal_error& error) {
        result.exit_code = error.exit_code;
        result.message = error.message;
    }
    return result;
}

// Vehicles told apart by their speed, of record type `kind`.
std::string vehicles(std::initializer_list<int> speeds, const std::string& kind = "base") {
    std::string text;
    for (int s : speeds) {
        text += kind + " axles=2 wheelbase=300 time=" + std::to_string(36000 + s) +
                " speed=" + std::to_string(s) + "\n";
    }
    return text;
}

bytes with_junk(bytes data) {
    const bytes junk = build_vbv_records(vehicles({99}) + "raw 00 00 1f");
    data.insert(data.end(), junk.begin(), junk.end());
    return data;
}

TEST(VbvDriver, RecordCountBindsWhenStatedOrClosedAndTheDataEndStops) {
    const bytes data = build_vbv_records(
        vehicles({10}) + "date 2013 3 7\nevent card=13 input=1 data=5\nskip\n" + vehicles({20, 30, 40}));
    struct count_case {
        const char* header;
        const bytes& data;
        std::string order;
    };
    const count_case cases[] = {
        {"num_records 5", data, "vev"}, // any record type counts
        {"num_records 5\nclosed_ok 1", data, "vev"},
        {"num_records 2\nclosed_ok 1", data, "v"},
        {"closed_ok 1", data, ""},        // closed with no records
        {"num_records 0", data, "vevvv"}, // not closed, no count: up to the data end
        {"num_records 50\nclosed_ok 1", data, "vevvv"},
        {"closed_ok 1\nnum_records 4", {}, ""}, // an empty data area
    };
    for (const count_case& c : cases) {
        // Records past the data end are never read.
        const walked w = walk(with_junk(test::build_vbv_file(c.header, c.data)));
        EXPECT_EQ(w.message, "") << c.header;
        EXPECT_EQ(w.order, c.order) << c.header;
    }
}

TEST(VbvDriver, UndefinedRecordTypesEndTheRun) {
    struct fatal_case {
        const char* header;
        const char* bad;
        const char* message;
    };
    const char* const not_closed = "\nError : Input file not closed correctly\n";
    const fatal_case cases[] = {
        {"", "raw 00 00 00 00", not_closed},
        {"num_records 9\nclosed_ok 1", "raw 0c 01 02", "\nError : Invalid or corrupt input file\n"},
        {"closed_ok 1\nnum_records 5", "raw 00", "\nError : Invalid or corrupt input file\n"},
        {"", "raw 1f", not_closed},
        {"num_records 3", "raw 2a", not_closed}, // type 10 under other bits
    };
    for (const fatal_case& c : cases) {
        const walked w = walk(test::build_vbv_file(
            c.header, build_vbv_records(vehicles({10, 20}) + c.bad + "\n" + vehicles({30}))));
        EXPECT_EQ(w.exit_code, 2) << c.bad;
        EXPECT_EQ(w.message, c.message) << c.bad;
        EXPECT_EQ(w.speeds, (std::vector<int>{10, 20})) << c.bad;
    }
}

TEST(VbvDriver, RecordsCutByTheEndOfTheFileAreDropped) {
    const std::string cut_records[] = {
        "base axles=3 wheelbase=600 spacings=100,155 weights=1,2,3",
        "base axles=0 wheelbase=450",
        "type4 axles=2 gross=100 weights=100,155",
        "type6 axles=1 gross=0",
        "type7 axles=2 gross=50",
        "type9 axles=4 gross=9",
        "event card=5 a=1 b=2",
        "date 2014 1 1",
        "skip",
        "stream time=5 lane=1 speed=60",
    };
    for (const std::string& record : cut_records) {
        bytes data = build_vbv_records(vehicles({10}) + record, 0x47);
        data.pop_back();
        const walked w = walk(test::build_vbv_file("stream_param 0x47", data));
        EXPECT_EQ(w.message, "") << record;
        EXPECT_EQ(w.order, "v") << record;
    }
}

TEST(VbvDriver, LaneHistoryAndLatestTimeComeFromTheHeader) {
    const walked w =
        walk(test::build_vbv_file("last_time 0 0 865000 863900\nvbv_day 31\nvbv_month 11\nvbv_year 2013",
                                  build_vbv_records("type6 lane=2 time=1150 speed=40 axles=0\n"
                                                    "base time=50 axles=0\n")));
    ASSERT_EQ(w.vehicles.size(), 2u);
    EXPECT_EQ(w.vehicles[0].headway, 150); // 865000 is 1000 tenths into the next day
    // The latest time before the file, 23:59:50, makes 00:00:05 a new day.
    EXPECT_EQ(w.vehicles[1].day, 1);
    EXPECT_EQ(w.vehicles[1].month, 0);
    EXPECT_EQ(w.vehicles[1].year, 2014);
}

TEST(VbvDriver, FourteenAndFifteenAxlesKeepTheRecordsAligned) {
    std::string shares = "17";
    for (int i = 1; i < 15; ++i) {
        shares += ",17";
    }
    const walked w = walk(test::build_vbv_file(
        "", build_vbv_records("base axles=15 wheelbase=1500 gross=1500 speed=1 spacings=" + shares.substr(3) +
                              " weights=" + shares + "\ntype4 axles=14 wheelbase=1300 speed=2 spacings=" +
                              shares.substr(6) + "\n" + vehicles({3}))));
    EXPECT_EQ(w.message, "");
    ASSERT_EQ(w.speeds, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(+w.vehicles[0].axles, 15);
    EXPECT_EQ(+w.vehicles[1].axles, 14);
    for (std::size_t i = 0; i < max_spacings; ++i) {
        EXPECT_EQ(w.vehicles[0].axle_spacing[i], 100) << i;
        EXPECT_EQ(w.vehicles[1].axle_spacing[i], 86) << i;
    }
    std::array<std::uint16_t, max_weights> weights{};
    weights.fill(100);
    EXPECT_EQ(w.vehicles[0].axle_weight, weights);
}

test::wrapped_area ring() {
    test::wrapped_area area;
    area.newest = build_vbv_records(vehicles({30, 40}, "type6"));
    area.overwritten = build_vbv_records("raw 00 00 00 00 00 00 00");
    area.oldest = build_vbv_records(vehicles({10, 20}, "type6"));
    area.beyond_end = build_vbv_records("raw 00 00");
    return area;
}

TEST(VbvDriverWrap, ReadsFromTheOldestAndStopsAtTheFirstRecordEndAtOrPastWrapStop) {
    test::vbv_layout layout;
    const walked wrapped = walk(test::build_wrapped_vbv_file("", ring(), &layout));
    EXPECT_EQ(wrapped.speeds, (std::vector<int>{10, 20, 30, 40}));
    const std::uint64_t size = ring().newest.size() / 2; // of one record
    EXPECT_EQ(layout.wrap_stop, layout.data_start + 2 * size);
    struct stop_case {
        std::string header;
        std::vector<int> speeds;
    };
    const auto stop = [&](std::uint64_t offset) {
        return "wrap_stop " + std::to_string(layout.data_start + offset);
    };
    const stop_case cases[] = {
        {stop(size), {10, 20, 30}},
        {stop(size + 1), {10, 20, 30, 40}}, // no record ends there
        {stop(0), {10, 20}},                // nothing new after the wrap
        {stop(1000), {10, 20, 30, 40}},     // past the oldest record: the ring is never read twice
        {"data_end " + std::to_string(layout.data_start + 2 * size), {10, 20, 30, 40}}, // a full ring
        {"num_records 3\nclosed_ok 1", {10, 20, 30}},                                   // a binding count
    };
    test::wrapped_area area = ring();
    area.overwritten.clear(); // so that a reader running on would meet the oldest records again
    area.beyond_end.clear();
    for (const stop_case& c : cases) {
        const walked w = walk(test::build_wrapped_vbv_file(c.header, area));
        EXPECT_EQ(w.message, "") << c.header;
        EXPECT_EQ(w.speeds, c.speeds) << c.header;
    }
}

TEST(VbvDriverWrap, CutRecordsBeforeTheWrapChangeNothing) {
    // The oldest part ends in a cut date record or stream record; the
    // vehicles after the wrap keep the date and the vehicle numbers.
    for (const char* cut : {"date 2020 6 6", "stream time=5 lane=1 speed=60"}) {
        test::wrapped_area area;
        area.oldest = build_vbv_records("date 2013 3 7\n" + vehicles({10}, "type6") + cut, 0x46);
        area.oldest.pop_back();
        area.newest = build_vbv_records(vehicles({30}, "type6"));
        const walked w = walk(test::build_wrapped_vbv_file("next_veh_no 7\nstream_param 0x46", area));
        EXPECT_EQ(w.message, "") << cut;
        ASSERT_EQ(w.speeds, (std::vector<int>{10, 30})) << cut;
        EXPECT_EQ(+w.vehicles[1].day, 7) << cut;
        EXPECT_EQ(+w.vehicles[1].month, 2) << cut;
        EXPECT_EQ(+w.vehicles[1].vehicle_number, 8) << cut;
    }
}

} // namespace
} // namespace tallycnv
