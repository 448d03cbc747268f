#include "vbv/vbv_driver.h"

#include <gtest/gtest.h>

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
    std::vector<event_record> events;
    std::string order; // 'v' per vehicle, 'e' per event, in file order
    bool failed = false;
    int exit_code = 0;
    std::string message;

    // The speeds of the vehicles, in the order they came.
    [[nodiscard]] std::vector<int> speeds() const {
        std::vector<int> out;
        for (const vehicle_info& v : vehicles) {
            out.push_back(v.speed);
        }
        return out;
    }
};

walked walk(const bytes& file, const run_settings& settings = {}) {
    byte_stream input(file);
    k479_defn header{};
    read_header_block(input, header);
    zedirozed_state zedirozed;
    walked result;
    const vbv_record_sink sink{
        [&](const vehicle_info& v) {
            result.vehicles.push_back(v);
            result.order += 'v';
        },
        [&](const event_record& e) {
            result.events.push_back(e);
            result.order += 'e';
        },
    };
    try {
        walk_vbv_data(input, header, settings, zedirozed, sink);
    } catch (const fatal_error& error) {
        result.failed = true;
        result.exit_code = error.exit_code;
        result.message = error.message;
    }
    return result;
}

// Vehicles told apart by their speed.
std::string base_vehicles(std::initializer_list<int> speeds) {
    std::string text;
    for (int s : speeds) {
        text += "base axles=2 wheelbase=300 time=" + std::to_string(36000 + s) +
                " speed=" + std::to_string(s) + "\n";
    }
    return text;
}

std::string type6_vehicles(std::initializer_list<int> speeds) {
    std::string text;
    for (int s : speeds) {
        text += "type6 axles=2 wheelbase=300 gross=100 weights=100,155 time=" + std::to_string(36000 + s) +
                " speed=" + std::to_string(s) + "\n";
    }
    return text;
}

TEST(VbvDriverFraming, EmptyDataAreaReadsNothing) {
    bytes file = test::build_vbv_file("closed_ok 1\nnum_records 4", {});
    const bytes beyond = build_vbv_records(base_vehicles({50}) + "raw 00");
    file.insert(file.end(), beyond.begin(), beyond.end());
    const walked w = walk(file);
    EXPECT_FALSE(w.failed) << w.message;
    EXPECT_TRUE(w.order.empty());
}

TEST(VbvDriverFraming, RecordCountBindsWhenStatedOrClosed) {
    const std::string records = base_vehicles({10}) +
                                "date 2013 3 7\n"
                                "event card=13 input=1 data=5\n"
                                "skip\n" +
                                base_vehicles({20, 30, 40});
    struct count_case {
        const char* header;
        std::string order;
    };
    const count_case cases[] = {
        {"num_records 5", "vev"}, // any record type counts
        {"num_records 5\nclosed_ok 1", "vev"},
        {"num_records 2\nclosed_ok 1", "v"},
        {"closed_ok 1", ""},        // closed with no records
        {"num_records 0", "vevvv"}, // not closed, no count: up to the data end
        {"num_records 50\nclosed_ok 1", "vevvv"},
    };
    for (const count_case& c : cases) {
        const walked w = walk(test::build_vbv_file(c.header, build_vbv_records(records)));
        EXPECT_FALSE(w.failed) << c.header << ": " << w.message;
        EXPECT_EQ(w.order, c.order) << c.header;
    }
}

TEST(VbvDriverFraming, DataEndStopsBeforeWhatFollows) {
    const bytes data = build_vbv_records(base_vehicles({10, 20}));
    bytes file = test::build_vbv_file("", data);
    const bytes junk = build_vbv_records("raw 00 00 1f");
    file.insert(file.end(), junk.begin(), junk.end());
    const walked w = walk(file);
    EXPECT_FALSE(w.failed) << w.message;
    EXPECT_EQ(w.speeds(), (std::vector<int>{10, 20}));
}

TEST(VbvDriverFraming, UndefinedRecordTypesEndTheRun) {
    struct fatal_case {
        const char* header;
        const char* bad;
        const char* message;
    };
    const fatal_case cases[] = {
        {"", "raw 00 00 00 00", "\nError : Input file not closed correctly\n"},
        {"num_records 9\nclosed_ok 1", "raw 0c 01 02", "\nError : Invalid or corrupt input file\n"},
        {"closed_ok 1\nnum_records 5", "raw 00", "\nError : Invalid or corrupt input file\n"},
        {"", "raw 1f", "\nError : Input file not closed correctly\n"},
        {"num_records 3", "raw 2a",
         "\nError : Input file not closed correctly\n"}, // type 10 under other bits
    };
    for (const fatal_case& c : cases) {
        const bytes data = build_vbv_records(base_vehicles({10, 20}) + c.bad + "\n" + base_vehicles({30}));
        const walked w = walk(test::build_vbv_file(c.header, data));
        EXPECT_TRUE(w.failed) << c.bad;
        EXPECT_EQ(w.exit_code, 2) << c.bad;
        EXPECT_EQ(w.message, c.message) << c.bad;
        EXPECT_EQ(w.speeds(), (std::vector<int>{10, 20})) << c.bad;
    }
}

TEST(VbvDriverFraming, RecordsCutByTheEndOfTheFileAreDropped) {
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
        bytes data = build_vbv_records(base_vehicles({10}) + record, 0x47);
        data.pop_back();
        const walked w = walk(test::build_vbv_file("stream_param 0x47", data));
        EXPECT_FALSE(w.failed) << record << ": " << w.message;
        EXPECT_EQ(w.order, "v") << record;
    }
}

TEST(VbvDriverFraming, EveryRecordTypeInOneArea) {
    const std::string records = "date 2013 12 25\n"
                                "base axles=2 wheelbase=300 speed=11 time=100\n"
                                "skip\n"
                                "type4 axles=2 gross=100 weights=100,155 number=900 speed=12\n"
                                "event card=13 input=1 code=0 data=1234 a=500 b=480\n"
                                "type6 axles=3 gross=100 spacings=1,2 weights=1,2,3 speed=13\n"
                                "type7 axles=0 speed=14\n"
                                "mask 0x47\n"
                                "stream time=5 lane=1 speed=15\n"
                                "type9 axles=2 speed=160\n";
    const walked w =
        walk(test::build_vbv_file("vbv_day 3\nvbv_month 1\nvbv_year 2013\nnext_veh_no 100\nstream_param 0x47",
                                  build_vbv_records(records)));
    EXPECT_FALSE(w.failed) << w.message;
    EXPECT_EQ(w.order, "vvevvvv");
    EXPECT_EQ(w.speeds(), (std::vector<int>{11, 12, 13, 14, 15, 16}));
    // The base vehicle keeps the header's running date; the others take the date record's,
    // whose month 12 is held as 11.
    EXPECT_EQ(w.vehicles[0].day, 3);
    EXPECT_EQ(w.vehicles[0].month, 1);
    EXPECT_EQ(w.vehicles[0].vehicle_number, 100);
    for (std::size_t i = 1; i < w.vehicles.size(); ++i) {
        EXPECT_EQ(w.vehicles[i].day, 25) << i;
        EXPECT_EQ(w.vehicles[i].month, 11) << i;
        EXPECT_EQ(w.vehicles[i].year, 2013) << i;
    }
    EXPECT_EQ(w.vehicles[1].vehicle_number, 900);
    EXPECT_EQ(w.vehicles[2].vehicle_number, 101);
    EXPECT_EQ(w.vehicles[4].vehicle_number, 0); // the stream record carries its own
    EXPECT_EQ(w.vehicles[5].vehicle_number, 103);
    ASSERT_EQ(w.events.size(), 1u);
    EXPECT_EQ(w.events[0].card_type, 13);
    EXPECT_EQ(w.events[0].input_number, 1);
    EXPECT_EQ(w.events[0].event_data, 1234u);
    EXPECT_EQ(w.events[0].value_a, 500);
    EXPECT_EQ(w.events[0].value_b, 480);
}

TEST(VbvDriverFraming, LaneHistoryAndLatestTimeComeFromTheHeader) {
    const std::string records = "type6 lane=2 time=1150 speed=40 axles=2 wheelbase=300\n"
                                "base time=50 axles=2 wheelbase=300\n";
    const walked w = walk(test::build_vbv_file(
        "last_time 0 0 865000 863900\nvbv_day 31\nvbv_month 11\nvbv_year 2013", build_vbv_records(records)));
    ASSERT_EQ(w.vehicles.size(), 2u);
    EXPECT_EQ(w.vehicles[0].headway, 150); // 865000 is 1000 tenths into the next day
    // The latest time before the file, 23:59:50, makes 00:00:05 a new day.
    EXPECT_EQ(w.vehicles[1].day, 1);
    EXPECT_EQ(w.vehicles[1].month, 0);
    EXPECT_EQ(w.vehicles[1].year, 2014);
}

TEST(VbvDriverFraming, FourteenAndFifteenAxlesKeepTheRecordsAligned) {
    std::string spacings = "17";
    std::string weights = "17";
    for (int i = 1; i < 14; ++i) {
        spacings += ",17";
    }
    for (int i = 1; i < 15; ++i) {
        weights += ",17";
    }
    const std::string records =
        "base axles=15 wheelbase=1500 gross=1500 speed=1 spacings=" + spacings + " weights=" + weights +
        "\n" + "type4 axles=14 wheelbase=1300 speed=2 spacings=" + spacings.substr(0, 12 * 3 + 2) + "\n" +
        base_vehicles({3});
    const walked w = walk(test::build_vbv_file("", build_vbv_records(records)));
    EXPECT_FALSE(w.failed) << w.message;
    ASSERT_EQ(w.speeds(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(w.vehicles[0].axles, 15);
    EXPECT_EQ(w.vehicles[1].axles, 14);
    for (std::size_t i = 0; i < max_spacings; ++i) {
        EXPECT_EQ(w.vehicles[0].axle_spacing[i], 100) << i;
        EXPECT_EQ(w.vehicles[1].axle_spacing[i], 86) << i;
    }
    for (std::size_t i = 0; i < max_weights; ++i) {
        EXPECT_EQ(w.vehicles[0].axle_weight[i], 100) << i;
    }
}

test::wrapped_area ring() {
    test::wrapped_area area;
    area.newest = build_vbv_records(type6_vehicles({30, 40}));
    area.overwritten = build_vbv_records("raw 00 00 00 00 00 00 00");
    area.oldest = build_vbv_records(type6_vehicles({10, 20}));
    area.beyond_end = build_vbv_records("raw 00 00");
    return area;
}

TEST(VbvDriverWrap, ReadsFromTheOldestRoundToTheNewest) {
    test::vbv_layout layout;
    const walked w = walk(test::build_wrapped_vbv_file("", ring(), &layout));
    EXPECT_FALSE(w.failed) << w.message;
    EXPECT_EQ(w.speeds(), (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(layout.wrap_stop, layout.data_start + 2 * 14); // 11 fixed bytes, 1 spacing, 2 weights
}

TEST(VbvDriverWrap, StopsAtTheFirstRecordEndAtOrPastWrapStop) {
    test::vbv_layout layout;
    test::build_wrapped_vbv_file("", ring(), &layout);
    struct stop_case {
        std::uint64_t wrap_stop;
        std::vector<int> speeds;
    };
    const stop_case cases[] = {
        {layout.data_start + 14, {10, 20, 30}},
        {layout.data_start + 15, {10, 20, 30, 40}},   // no record ends there
        {layout.data_start, {10, 20}},                // nothing new after the wrap
        {layout.data_start + 1000, {10, 20, 30, 40}}, // past the oldest record: the ring is not read again
    };
    test::wrapped_area area = ring();
    area.overwritten.clear(); // so that a reader running on would meet the oldest records again
    for (const stop_case& c : cases) {
        const walked w = walk(test::build_wrapped_vbv_file("wrap_stop " + std::to_string(c.wrap_stop), area));
        EXPECT_FALSE(w.failed) << c.wrap_stop << ": " << w.message;
        EXPECT_EQ(w.speeds(), c.speeds) << "wrap_stop " << c.wrap_stop - layout.data_start;
    }
}

TEST(VbvDriverWrap, FullRingAndBindingCount) {
    test::vbv_layout layout;
    test::wrapped_area full = ring();
    full.overwritten.clear();
    full.beyond_end.clear();
    test::build_wrapped_vbv_file("", full, &layout);
    // The data end equals the start of the oldest record: the ring is full.
    const walked w =
        walk(test::build_wrapped_vbv_file("data_end " + std::to_string(layout.wrap_start), full));
    EXPECT_FALSE(w.failed) << w.message;
    EXPECT_EQ(w.speeds(), (std::vector<int>{10, 20, 30, 40}));

    const walked counted = walk(test::build_wrapped_vbv_file("num_records 3\nclosed_ok 1", ring()));
    EXPECT_EQ(counted.speeds(), (std::vector<int>{10, 20, 30}));
}

TEST(VbvDriverWrap, CutRecordsBeforeTheWrapChangeNothing) {
    // The oldest part ends in a cut date record and a cut stream record; the
    // vehicles after the wrap keep the date and the vehicle numbers.
    for (const char* cut : {"date 2020 6 6", "stream time=5 lane=1 speed=60"}) {
        test::wrapped_area area;
        area.oldest = build_vbv_records("date 2013 3 7\n" + type6_vehicles({10}) + cut, 0x46);
        area.oldest.pop_back();
        area.newest = build_vbv_records(type6_vehicles({30}));
        const walked w = walk(test::build_wrapped_vbv_file("next_veh_no 7\nstream_param 0x46", area));
        EXPECT_FALSE(w.failed) << cut << ": " << w.message;
        ASSERT_EQ(w.speeds(), (std::vector<int>{10, 30})) << cut;
        EXPECT_EQ(w.vehicles[1].day, 7) << cut;
        EXPECT_EQ(w.vehicles[1].month, 2) << cut;
        EXPECT_EQ(w.vehicles[1].vehicle_number, 8) << cut;
    }
}

TEST(VbvDriverEntry, IntervalLayoutsAreRefused) {
    const bytes file = test::build_vbv_file("", build_vbv_records(base_vehicles({10})));
    for (int format : {1, 2, 3, 8}) {
        run_settings settings;
        settings.anl_format = static_cast<std::int8_t>(format);
        const language_texts lang{};
        report_sink out;
        byte_stream input(file);
        k479_defn header{};
        read_header_block(input, header);
        try {
            output_vbv_file(run_context{settings, lang, out}, input, header);
            ADD_FAILURE() << "format " << format << " accepted";
        } catch (const fatal_error& error) {
            EXPECT_EQ(error.exit_code, 1);
            EXPECT_EQ(error.message, "\nError : Can't display a VBV file in an interval format\n");
        }
        EXPECT_TRUE(out.text().empty());
    }
}

} // namespace
} // namespace tallycnv
