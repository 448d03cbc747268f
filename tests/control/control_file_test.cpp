#include "control/control_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

namespace fs = std::filesystem;
using test::bytes;

constexpr std::size_t field_at = 558;

k479_defn header(const std::string& description) {
    test::header_builder builder;
    builder.describe(
        "type m\nsite SITE1\ninterval 15\ncard_type 8 8 0 0 0 0 0 9\noperands 1 4 0\noperators 1 0\n");
    builder.describe(description);
    return builder.record;
}

struct control_dir {
    std::string path = test::make_temp_dir();
    control_dir() = default;
    control_dir(const control_dir&) = delete;
    control_dir& operator=(const control_dir&) = delete;
    ~control_dir() { fs::remove_all(path); }

    // CONTROL.INF of the companion: 600 bytes of a recognisable pattern.
    void make_control_inf() const {
        bytes content(600);
        for (std::size_t i = 0; i < content.size(); ++i) {
            content[i] = static_cast<std::uint8_t>(0xA0 + i % 7);
        }
        test::write_file(path + "/CONTROL.INF", content);
    }
    [[nodiscard]] bytes control_inf() const { return as_bytes(test::read_file(path + "/CONTROL.INF")); }
    [[nodiscard]] std::string verdict() const {
        const bytes content = control_inf();
        return std::string(content.begin() + field_at + 1,
                           content.begin() + field_at + 1 + content[field_at]);
    }
    static bytes as_bytes(const std::string& text) { return bytes(text.begin(), text.end()); }
    [[nodiscard]] std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(ControlFile, FirstRunWritesTheSiteRecordAndTheField) {
    control_dir dir;
    dir.make_control_inf();
    const bytes before = dir.control_inf();
    update_quillon(header("start 2013-03-07 10:07:30\nstop 2013-03-08 09:15:00"), dir.path);

    // Only the 31-byte field of CONTROL.INF changes: length 2, "62", zeros.
    const bytes after = dir.control_inf();
    ASSERT_EQ(after.size(), before.size());
    bytes expected = before;
    std::fill(expected.begin() + field_at, expected.begin() + field_at + 31, 0);
    expected[field_at] = 2;
    expected[field_at + 1] = '6';
    expected[field_at + 2] = '2';
    EXPECT_EQ(after, expected);

    // Site, start and stop (day, month, year, hour, minute, second as 16-bit words), interval,
    // the eight card types, the three operands and two operators, a zero word.
    bytes record(20, 0);
    std::memcpy(record.data(), "SITE1", 5);
    for (unsigned word : {7, 3, 2013, 10, 7, 30, 0, 8, 3, 2013, 9, 15, 0, 0}) {
        test::put_u16(record, word);
    }
    for (unsigned value : {15, 8, 8, 0, 0, 0, 0, 0, 9}) {
        test::put_u32(record, value);
    }
    for (unsigned word : {1, 4, 0, 1, 0, 0}) {
        test::put_u16(record, word);
    }
    ASSERT_EQ(record.size(), 96U);
    EXPECT_EQ(control_dir::as_bytes(test::read_file(dir.path + "/SITE1.INT")), record);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"CONTROL.INF", "SITE1.INT"}));
}

TEST(ControlFile, ContinuationNeedsStartAtPreviousStopAndSameSettings) {
    const std::string first = "start 2013-03-01 00:00:00\nstop 2013-03-07 10:15:20";
    const std::string next = "start 2013-03-07 10:15:45\nstop 2013-03-14 08:00:00";
    const std::pair<std::string, const char*> rows[] = {
        {next, "0"},
        {"start 2013-03-07 10:16:00", "62"},
        {"start 2013-03-07 11:15:00", "62"},
        {"start 2013-03-08 10:15:00", "62"},
        {"start 2013-04-07 10:15:00", "62"},
        {"start 2014-03-07 10:15:00", "62"},
        {next + "\ninterval 5", "62"},
        {next + "\ncard_type 8 8 0 0 0 0 0 8", "62"},
        {next + "\noperands 1 4 5", "62"},
        {next + "\noperators 0 0", "62"},
        {next + "\ntype V", "62"}, // a VBV file keeps its own record
        {first, "62"},             // the same file twice
    };
    for (const auto& [description, verdict] : rows) {
        control_dir dir;
        dir.make_control_inf();
        update_quillon(header(first), dir.path);
        update_quillon(header(description), dir.path);
        EXPECT_EQ(dir.verdict(), verdict) << description;
    }

    // The site record now holds the second file: a third file continuing it gives "0", a field of
    // length 1, "0" and zeros.
    control_dir dir;
    dir.make_control_inf();
    update_quillon(header(first), dir.path);
    update_quillon(header(next), dir.path);
    update_quillon(header("start 2013-03-14 08:00:00\nstop 2013-03-20 08:00:00"), dir.path);
    const bytes content = dir.control_inf();
    bytes expected(31, 0);
    expected[0] = 1;
    expected[1] = '0';
    EXPECT_EQ(bytes(content.begin() + field_at, content.begin() + field_at + 31), expected);
}

TEST(ControlFile, FileFamiliesAndMissingFiles) {
    control_dir dir;
    // No CONTROL.INF: it is not created, the site record still is.
    update_quillon(header("type V"), dir.path);
    update_quillon(header("type m"), dir.path);
    update_quillon(header("type x"), dir.path);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"SITE1.INT", "SITE1.VBV"}));

    // A short previous record does not count.
    test::write_file(dir.path + "/SITE1.INT", bytes(95, 0));
    dir.make_control_inf();
    update_quillon(header("start 2000-01-01 00:00:00"), dir.path);
    EXPECT_EQ(dir.verdict(), "62");
    EXPECT_EQ(fs::file_size(dir.path + "/SITE1.INT"), 96U);

    // A site of the full field width names the file with all 20 characters.
    update_quillon(header("site ABCDEFGHIJKLMNOPQRST"), dir.path);
    EXPECT_TRUE(fs::exists(dir.path + "/ABCDEFGHIJKLMNOPQRST.INT"));
}

TEST(ControlFile, SiteTextsThatAreNotFileNames) {
    for (const char* site : {"", ".", "..", "../ESCAPE", "sub/X", "a\\b", "/tmp/X"}) {
        control_dir dir;
        fs::create_directory(dir.path + "/sub");
        dir.make_control_inf();
        // The previous run's record must not be consulted either.
        test::header_builder builder;
        builder.describe("type m\nstart 2013-03-07 10:15:00\nstop 2013-03-07 10:15:00");
        builder.record.site[0] = '\0';
        std::snprintf(builder.record.site, sizeof builder.record.site, "%s", site);
        update_quillon(builder.record, dir.path + "/sub");
        update_quillon(builder.record, dir.path + "/sub");
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"CONTROL.INF", "sub"})) << site;
        EXPECT_TRUE(fs::is_empty(dir.path + "/sub")) << site;
        EXPECT_FALSE(fs::exists(dir.path + "/ESCAPE.INT"));
    }
}

} // namespace
} // namespace tallycnv
