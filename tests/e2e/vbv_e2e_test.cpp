// The program run on generated vehicle-by-vehicle files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

struct vbv_run {
    std::string dir = test::make_temp_dir();
    ~vbv_run() { std::filesystem::remove_all(dir); }

    test::run_result run(const test::bytes& file, std::vector<std::string> options = {}) {
        test::write_file(dir + "/SITE1.DAT", file);
        std::vector<std::string> args{dir + "/SITE1.DAT", "^"};
        args.insert(args.end(), options.begin(), options.end());
        return test::run_tallycnv(args, dir);
    }

    // A run that writes its report to SITE1.TXT; the report replaces `out`.
    test::run_result run_to_file(const test::bytes& file, std::vector<std::string> options = {}) {
        options.insert(options.begin(), dir + "/SITE1.TXT");
        test::run_result result = run(file, options);
        EXPECT_EQ(result.out, "");
        result.out = test::read_file(dir + "/SITE1.TXT");
        return result;
    }
};

std::vector<std::string> report_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The lines after the column heading of the vehicle listing.
std::vector<std::string> listing(const std::string& text) {
    std::vector<std::string> lines = report_lines(text);
    const auto heading = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return l.rfind("* HEAD ", 0) == 0; });
    if (heading == lines.end()) {
        return {};
    }
    return {heading + 1, lines.end()};
}

std::string end_line(const std::string& text) {
    return "* END " + std::to_string(report_lines(text).size()) + " FFFF";
}

// Loop-only vehicles, told apart by their speed.
std::string vehicles(std::initializer_list<int> speeds) {
    std::string text;
    for (int s : speeds) {
        text += "type6 lane=0 axles=0 wheelbase=400 time=" + std::to_string(36000 + s) +
                " speed=" + std::to_string(s) + "\n";
    }
    return text;
}

std::vector<std::string> speeds_of(const std::vector<std::string>& lines) {
    std::vector<std::string> speeds;
    for (const std::string& line : lines) {
        if (line.size() > 50 && std::isdigit(static_cast<unsigned char>(line[0])) && line[1] != ' ') {
            speeds.push_back(line.substr(46, 4)); // the " %3d" speed column
        }
    }
    return speeds;
}

TEST(VbvEndToEnd, LargeBaseFormatFile) {
    const std::size_t count = 200000;
    const test::bytes file =
        test::build_vbv_file("card_type 6 6\nsensor_type 28 28\nvbv_day 7\nvbv_month 2\nvbv_year 2013\n"
                             "closed_ok 1\nnum_records " +
                                 std::to_string(count),
                             test::make_large_base_area(count + 10)); // ten records past the count
    vbv_run r;
    const test::run_result result = r.run_to_file(file);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = listing(result.out);
    ASSERT_EQ(lines.size(), count + 1) << "vehicle lines and END";
    EXPECT_EQ(lines.back(), end_line(result.out));
    EXPECT_EQ(lines.front().substr(0, 14), "000001 070313 ");
    // Vehicle numbers are 16 bits wide; the running date has passed several midnights.
    EXPECT_EQ(lines[count - 1].substr(0, 7), std::to_string(1000000 + count % 65536).substr(1) + " ");
    EXPECT_NE(lines[count - 1].substr(7, 6), "070313");
}

TEST(VbvEndToEnd, WrappedMemoryIsReadOldestFirst) {
    test::wrapped_area area;
    area.newest = test::build_vbv_records(vehicles({30, 40}));
    area.overwritten = test::build_vbv_records("raw 00 00 00");
    area.oldest = test::build_vbv_records(vehicles({10, 20}));
    vbv_run r;
    const test::run_result result = r.run(test::build_wrapped_vbv_file("closed_ok 1\nnum_records 4", area));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::string> lines = listing(result.out);
    EXPECT_EQ(speeds_of(lines), (std::vector<std::string>{"  10", "  20", "  30", "  40"}));
    EXPECT_EQ(lines.back(), end_line(result.out));
}

TEST(VbvEndToEnd, RecordCountBindingOrNot) {
    const test::bytes data =
        test::build_vbv_records(vehicles({10, 20, 30}) + "date 2013 3 7\n" + vehicles({40}));
    struct count_case {
        const char* header;
        std::vector<std::string> speeds;
    };
    const count_case cases[] = {
        {"num_records 2", {"  10", "  20"}},
        {"num_records 4\nclosed_ok 1", {"  10", "  20", "  30"}},
        {"num_records 0", {"  10", "  20", "  30", "  40"}},
    };
    for (const count_case& c : cases) {
        vbv_run r;
        const test::run_result result = r.run(test::build_vbv_file(c.header, data));
        EXPECT_EQ(result.exit_code, 0) << c.header << result.err;
        const std::vector<std::string> lines = listing(result.out);
        EXPECT_EQ(speeds_of(lines), c.speeds) << c.header;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), end_line(result.out)) << c.header;
    }
}

TEST(VbvEndToEnd, BrokenFilesEndWithTheirMessage) {
    struct broken_case {
        const char* header;
        const char* message;
    };
    const broken_case cases[] = {
        {"closed_ok 0", "\nError : Input file not closed correctly\n"},
        {"closed_ok 1\nnum_records 9", "\nError : Invalid or corrupt input file\n"},
    };
    for (const broken_case& c : cases) {
        vbv_run r;
        const test::run_result result = r.run(test::build_vbv_file(
            c.header, test::build_vbv_records(vehicles({10, 20}) + "raw 00 00 00 00\n" + vehicles({30}))));
        EXPECT_EQ(result.exit_code, 2) << c.header;
        EXPECT_EQ(result.err, c.message) << c.header;
        const std::vector<std::string> lines = listing(result.out);
        EXPECT_EQ(speeds_of(lines), (std::vector<std::string>{"  10", "  20"})) << c.header;
        EXPECT_EQ(result.out.find("* END"), std::string::npos) << c.header;
    }
}

TEST(VbvEndToEnd, EveryRecordTypeInFileOrder) {
    const test::bytes file = test::build_vbv_file(
        "vbv_day 7\nvbv_month 2\nvbv_year 2013\nlast_time 0 360000\nstream_param 0x47",
        test::build_vbv_records("base lane=0 axles=2 wheelbase=300 overhang=100 class=3 speed=80 time=360000 "
                                "headway=30 gap=20\n"
                                "skip\n"
                                "event card=5 input=0 code=2 data=7 a=12 b=34\n"
                                "date 2013 12 25\n"
                                "type6 lane=1 axles=2 wheelbase=300 overhang=150 gross=100 weights=100,155 "
                                "time=360100 speed=50 chassis=2 class=4\n"
                                "type4 number=99 lane=2 dir=1 axles=0 wheelbase=520 time=360200 speed=90 "
                                "headway=55 gap=41 class=1 chassis=4\n"
                                "mask 0x47\n"
                                "stream number=7 time=360250 lane=1 speed=60\n"
                                "type7 lane=1 headway=40 speed=70 axles=2 wheelbase=280 overhang=90 class=2\n"
                                "type9 lane=0 time=3603000 speed=1004 axles=2 wheelbase=310 class=5\n"));
    vbv_run r;
    const test::run_result result = r.run(file);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::string> expected = {
        "000001 070313 1000 00 00 000000  1 1  3.0  2.0  80   400     3   ",
        "0 1 01 4 2 00000007 00034 000012 000000 000000",
        "000002 251213 1000 10 00 000000  2 1 10.0 10.0  50   450     4  L",
        "000100 251213 1000 20 00 000000  3 2  5.5  4.1  90   520     1  H",
        "000008 251213 1000 25 00 000000  2 1 15.0 14.7  60               ",
        "000003 251213 1000 29 00 000000  2 1  4.0  4.0  70   370     2   ",
        "000004 251213 1000 30 00 000000  1 1 99.9 99.9 100           5   ",
        end_line(result.out),
    };
    EXPECT_EQ(listing(result.out), expected);
}

TEST(VbvEndToEnd, HeaderOnlyRunStopsAtTheColumnHeading) {
    const test::bytes file = test::build_vbv_file("site SITE1", test::build_vbv_records(vehicles({10, 20})));
    vbv_run r;
    const test::run_result full = r.run(file);
    const test::run_result header = r.run(file, {"-H"});
    EXPECT_EQ(header.exit_code, 0) << header.err;
    const std::size_t listing_start = full.out.find("\r\n000001 ");
    ASSERT_NE(listing_start, std::string::npos);
    EXPECT_EQ(header.out, full.out.substr(0, listing_start + 2));
}

TEST(VbvEndToEnd, RecordCodedLayoutToADestination) {
    const test::bytes file = test::build_vbv_file(
        "closed_ok 1\nnum_records 3",
        test::build_vbv_records(vehicles({10}) + "event card=13 input=1 code=0 data=1234 a=500 b=480\n" +
                                vehicles({20})));
    vbv_run r;
    const test::run_result result = r.run_to_file(file, {"-fv2"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::string> lines = report_lines(result.out);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "20,\"BEGIN\"");
    EXPECT_EQ(lines[1], "22,\"FORMAT\",\"VBV-2\"");
    EXPECT_EQ(lines[lines.size() - 5].rfind("39,\"HEAD ", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 4].rfind("1,000001,", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 3], "0,1,02,1,0,00001234,00000,000500,000020,000000");
    EXPECT_EQ(lines[lines.size() - 2].rfind("1,000002,", 0), 0u);
    EXPECT_EQ(lines.back(), "21,\"END\"," + std::to_string(lines.size()) + ",\"FFFF\"");
}

TEST(VbvEndToEnd, IntervalLayoutsAreRefused) {
    const test::bytes file = test::build_vbv_file("", test::build_vbv_records(vehicles({10})));
    for (const char* option : {"-fI1", "-fI2", "-fI3", "-fwk"}) {
        vbv_run r;
        const test::run_result result = r.run(file, {option});
        EXPECT_EQ(result.exit_code, 1) << option;
        EXPECT_EQ(result.err, "\nError : Can't display a VBV file in an interval format\n") << option;
        EXPECT_EQ(result.out, "") << option;
    }
}

} // namespace
} // namespace tallycnv
