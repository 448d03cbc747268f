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
    const test::run_result result = r.run(file);
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

TEST(VbvEndToEnd, EmptyDataAreaGivesHeaderAndEnd) {
    vbv_run r;
    const test::run_result result = r.run(test::build_vbv_file("wrap_start 1", {}));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::string> lines = listing(result.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], end_line(result.out));
}

} // namespace
} // namespace tallycnv
