// The program run on generated vehicle-by-vehicle files, comparing whole reports.
#include <gtest/gtest.h>

#include <algorithm>
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
};

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return out;
}

long lines_in(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
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

// Every record type: base, skipped, event, date, types 6, 4, stream, 7 and 9.
const char* const every_type =
    "base lane=0 axles=2 wheelbase=300 overhang=100 class=3 speed=80 time=360000 headway=30 gap=20\n"
    "event card=13 input=1 code=0 data=1234 a=500 b=480\n"
    "skip\n"
    "date 2013 12 25\n"
    "type6 lane=1 axles=2 wheelbase=300 overhang=150 gross=100 weights=100,155 time=360100 speed=50 "
    "chassis=2 "
    "class=4\n"
    "type4 number=99 lane=2 dir=1 axles=0 wheelbase=520 time=360200 speed=90 headway=55 gap=41 class=1 "
    "chassis=4\n"
    "mask 0x47\n"
    "stream number=7 time=360250 lane=1 speed=60\n"
    "type7 lane=1 headway=40 speed=70 axles=2 wheelbase=280 overhang=90 class=2\n"
    "type9 lane=0 time=3603000 speed=1004 axles=2 wheelbase=310 class=5\n"
    "base lane=0 axles=2 wheelbase=300 speed=99 time=360500\n";

const char* const dated = "vbv_day 7\nvbv_month 2\nvbv_year 2013\nlast_time 0 360000\nstream_param 0x47\n";

// The header comes from a header-only run with the same options; the test
// HeaderOnlyRunStopsAtTheColumnHeading shows it is the start of the full report.
TEST(VbvEndToEnd, WholeReports) {
    const test::bytes counted =
        test::build_vbv_records(vehicles({10, 20, 30}) + "date 2013 3 7\n" + vehicles({40}));
    const test::bytes broken =
        test::build_vbv_records(vehicles({10, 20}) + "raw 00 00 00 00\n" + vehicles({30}));
    test::wrapped_area area;
    area.newest = test::build_vbv_records(vehicles({30, 40}));
    area.overwritten = test::build_vbv_records("raw 00 00 00");
    area.oldest = test::build_vbv_records(vehicles({10, 20}));
    const test::bytes labelled = test::build_vbv_file(
        "card_type 6 6\nclosed_ok 1\nnum_records 3\nvbv_day 7\nvbv_month 2\nvbv_year 2013",
        test::build_vbv_records("base lane=1 axles=3 wheelbase=600 overhang=150 gross=300 weights=85,85,85 "
                                "spacings=128 speed=72 time=360000 headway=25 gap=15 class=6\n"
                                "event card=5 input=0 code=2 data=7 a=12 b=34\n"
                                "base lane=0 axles=0 wheelbase=420 speed=50 time=360100\n"));
    const test::bytes empty = test::build_vbv_file("wrap_start 5\nclosed_ok 0", {});
    const std::vector<std::string> marsum = {"-fmarsum", "09:00", "07/03/2013", "12:00", "07/03/2013"};
    const std::string summary_head = "\nZedirozed Summary\n=================\nStart Time = 09:00\n"
                                     "Start Date = 07/03/13\nStop  Time = 12:00\nStop  Date = 07/03/13\n\n";

    // The vehicles of `vehicles({10, 20, 30, 40})`: no date record yet, then after one.
    const std::string car[] = {
        "000001 000100 0100 01 00 000000  1 1 99.9 99.9  10   400         \n",
        "000002 000100 0100 02 00 000000  1 1  1.0 99.9  20   400         \n",
        "000003 000100 0100 03 00 000000  1 1  1.0  0.3  30   400         \n",
        "000004 000100 0100 04 00 000000  1 1  1.0  0.5  40   400         \n",
        "000004 070313 0100 04 00 000000  1 1  1.0  0.5  40   400         \n",
    };
    struct report_case {
        const char* name;
        test::bytes file;
        std::vector<std::string> options;
        std::string body; // lines between the header and the END record
        std::string err;  // a fatal message: no END record, exit code 2
    };
    const report_case cases[] = {
        {"every record type, read to the data end",
         test::build_vbv_file(dated, test::build_vbv_records(every_type)),
         {},
         "000001 070313 1000 00 00 000000  1 1  3.0  2.0  80   400     3   \n"
         "0 1 02 1 0 00001234 00000 000500 000020 000000\n"
         "000002 251213 1000 10 00 000000  2 1 10.0 10.0  50   450     4  L\n"
         "000100 251213 1000 20 00 000000  3 2  5.5  4.1  90   520     1  H\n"
         "000008 251213 1000 25 00 000000  2 1 15.0 14.7  60               \n"
         "000003 251213 1000 29 00 000000  2 1  4.0  4.0  70   370     2   \n"
         "000004 251213 1000 30 00 000000  1 1 99.9 99.9 100           5   \n"
         "000005 070313 1000 50 00 000000  1 1  0.0  0.0  99               \n",
         ""},
        // Record coded; the record count (any record type counts) stops before the last vehicle.
        {"record coded, binding count",
         test::build_vbv_file(std::string(dated) + "closed_ok 1\nnum_records 9",
                              test::build_vbv_records(every_type)),
         {"-fv2"},
         "1,000001,070313,1000,00,00,000000, 1,1, 3.0, 2.0, 80,  400, 3,\"  \"\n"
         "0,1,02,1,0,00001234,00000,000500,000020,000000\n"
         "1,000002,251213,1000,10,00,000000, 2,1,10.0,10.0, 50,  450, 4,\" L\"\n"
         "1,000100,251213,1000,20,00,000000, 3,2, 5.5, 4.1, 90,  520, 1,\" H\"\n"
         "1,000008,251213,1000,25,00,000000, 2,1,15.0,14.7, 60,     ,  ,\"  \"\n"
         "1,000003,251213,1000,29,00,000000, 2,1, 4.0, 4.0, 70,  370, 2,\"  \"\n"
         "1,000004,251213,1000,30,00,000000, 1,1,99.9,99.9,100,     , 5,\"  \"\n",
         ""},
        {"labelled layout",
         labelled,
         {"-fv3"},
         "000001 070313 10:00:00.00 000000 LA=2 DN=1 SP=72 GP=1.5 HD=2.5\n"
         "AX=3  CS=6  MTR  6.00   3.01 2.99\n"
         "OK          TNE  1.36   0.45 0.45 0.45\n"
         "0 1 01 4 2 00000007 00034 000012 000000 000000\n"
         "000002 070313 10:00:10.00 000000 LA=1 DN=1 SP=50 GP=0.0 HD=0.0\n"
         "AX=0  CS=0  MTR  0.00  \n"
         "OK          TNE  0.00  \n",
         ""},
        {"axle picture",
         labelled,
         {"-fv4"},
         "10:00:00 2  2  72  3  6 OK       h------h-----h\n"
         "0 1 01 4 2 00000007 00034 000012 000000 000000\n"
         "10:00:10 1     50  0  0 OK\n",
         ""},
        {"wrapped memory",
         test::build_wrapped_vbv_file("closed_ok 1\nnum_records 4", area),
         {},
         car[0] + car[1] + car[2] + car[3],
         ""},
        {"binding count", test::build_vbv_file("num_records 2", counted), {}, car[0] + car[1], ""},
        {"binding count, closed",
         test::build_vbv_file("num_records 4\nclosed_ok 1", counted),
         {},
         car[0] + car[1] + car[2],
         ""},
        {"no count",
         test::build_vbv_file("num_records 0", counted),
         {},
         car[0] + car[1] + car[2] + car[4],
         ""},
        {"not closed correctly",
         test::build_vbv_file("closed_ok 0", broken),
         {},
         car[0] + car[1],
         "\nError : Input file not closed correctly\n"},
        {"corrupt record type",
         test::build_vbv_file("closed_ok 1\nnum_records 9", broken),
         {},
         car[0] + car[1],
         "\nError : Invalid or corrupt input file\n"},
        {"empty, VBV-1", empty, {"-fv1"}, "", ""},
        {"empty, VBV-2", empty, {"-fv2"}, "", ""},
        {"empty, VBV-3", empty, {"-fv3"}, "", ""},
        {"empty, VBV-4", empty, {"-fv4"}, "", ""},
        // The first vehicle finds no earlier time, so a summary follows it at
        // once; the window is still open at the end, so the full one follows too.
        {"Zedirozed summary",
         test::build_vbv_file("vbv_day 7\nvbv_month 2\nvbv_year 2013",
                              test::build_vbv_records("base lane=0 axles=2 wheelbase=250 time=360000\n"
                                                      "event card=13 input=0 data=1 a=2 b=1\n"
                                                      "base lane=1 axles=2 wheelbase=300 time=360100\n"
                                                      "base lane=0 axles=3 wheelbase=900 time=360200\n")),
         marsum,
         summary_head +
             "Class  1 = 1\nClass  2 = 0\nClass  3 = 0\nClass  4 = 0\nClass  5 = 0\nClass 14 = 0\n\n" +
             "0 1 01 1 0 00000001 00000 000002 000001 000000\n" + summary_head +
             "Class  1 = 1\nClass  2 = 1\nClass  3 = 0\nClass  4 = 0\nClass  5 = 1\nClass 14 = 0\n\n",
         ""},
        // Only base-format vehicles are reclassified and summarised.
        {"Zedirozed, no base format",
         test::build_vbv_file(
             "", test::build_vbv_records("date 2013 3 7\ntype6 axles=2 wheelbase=300 time=360000\n")),
         marsum, "", ""},
    };
    for (const report_case& c : cases) {
        vbv_run r;
        std::vector<std::string> header_only = c.options;
        header_only.push_back("-H");
        const std::string header = r.run(c.file, header_only).out;
        const test::run_result result = r.run(c.file, c.options);
        std::string expected = header + crlf(c.body);
        if (c.err.empty()) {
            const std::string lines = std::to_string(lines_in(expected) + 1);
            expected += c.options == std::vector<std::string>{"-fv2"}
                            ? "21,\"END\"," + lines + ",\"FFFF\"\r\n"
                            : "* END " + lines + " FFFF\r\n";
        }
        EXPECT_EQ(result.out, expected) << c.name;
        EXPECT_EQ(result.err, c.err) << c.name;
        EXPECT_EQ(result.exit_code, c.err.empty() ? 0 : 2) << c.name;
    }
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

TEST(VbvEndToEnd, HeaderOnlyRunStopsAtTheColumnHeading) {
    const test::bytes file = test::build_vbv_file("site SITE1", test::build_vbv_records(vehicles({10, 20})));
    vbv_run r;
    const test::run_result full = r.run(file);
    const test::run_result header = r.run(file, {"-H"});
    EXPECT_EQ(header.exit_code, 0) << header.err;
    const std::size_t listing_start = full.out.find("\r\n000001 ");
    ASSERT_NE(listing_start, std::string::npos);
    EXPECT_EQ(header.out, full.out.substr(0, listing_start + 2));
    EXPECT_EQ(header.out.rfind("* HEAD "), header.out.rfind("\r\n", header.out.size() - 3) + 2);
}

TEST(VbvEndToEnd, LargeBaseFormatFile) {
    const std::size_t count = 200000;
    const test::bytes file =
        test::build_vbv_file("card_type 6 6\nsensor_type 28 28\nvbv_day 7\nvbv_month 2\nvbv_year 2013\n"
                             "closed_ok 1\nnum_records " +
                                 std::to_string(count),
                             test::make_large_base_area(count + 10)); // ten records past the count
    vbv_run r;
    test::write_file(r.dir + "/SITE1.DAT", file);
    const test::run_result result =
        test::run_tallycnv({r.dir + "/SITE1.DAT", "^", r.dir + "/SITE1.TXT"}, r.dir);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "");
    const std::string report = test::read_file(r.dir + "/SITE1.TXT");
    const std::size_t heading = report.find("\r\n* HEAD ");
    ASSERT_NE(heading, std::string::npos);
    const std::size_t listing = report.find("\r\n", heading + 2) + 2;
    // Vehicle lines of 124 characters and the END record.
    const std::string last = report.substr(report.rfind("\r\n", report.size() - 3) + 2);
    EXPECT_EQ(last, "* END " + std::to_string(lines_in(report)) + " FFFF\r\n");
    EXPECT_EQ(lines_in(report.substr(listing)), static_cast<long>(count + 1)) << "vehicle lines and END";
    EXPECT_EQ(report.substr(listing, 14), "000001 070313 ");
    // Vehicle numbers are 16 bits wide; the running date has passed several midnights.
    const std::size_t last_vehicle = report.rfind("\r\n", report.size() - last.size() - 3) + 2;
    EXPECT_EQ(report.substr(last_vehicle, 7), std::to_string(1000000 + count % 65536).substr(1) + " ");
    EXPECT_NE(report.substr(last_vehicle + 7, 6), "070313");
}

} // namespace
} // namespace tallycnv
