#include "app/language.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

// A language file of `count` lines "name1", "name2", ... with the given line end.
std::string numbered(int count, const std::string& line_end = "\n") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "name" + std::to_string(i) + line_end;
    }
    return text;
}

// The entries that show where each table starts and ends, joined with '|'.
std::string loaded(const std::string& text, bool missing = false) {
    const std::string dir = test::make_temp_dir();
    const std::string path = dir + "/LANG.479";
    if (!missing) {
        test::write_file(path, test::bytes(text.begin(), text.end()));
    }
    const language_texts t = load_language(path);
    std::filesystem::remove_all(dir);
    return t.sensor_names[0] + "|" + t.sensor_names[1] + "|" + t.sensor_names[2] + "|" + t.sensor_names[47] +
           "|" + t.spec_operands[0] + "|" + t.spec_operands[1] + "|" + t.spec_operands[12] + "|" +
           t.units_names[0] + "|" + t.units_names[1] + "|" + t.swed14_name;
}

TEST(LanguageFile, Tables) {
    const std::string a118(118, 'a');
    const std::string b31(31, 'b');
    const std::pair<std::string, std::string> rows[] = {
        {loaded("", true), "(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|"},
        {loaded(""), "(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|(ns)|"},
        {loaded(numbered(76)), "name1|name2|name3|name48|name49|name50|name61|name74|name75|name76"},
        {loaded(numbered(76, "\r\n")), "name1|name2|name3|name48|name49|name50|name61|name74|name75|name76"},
        // A short file repeats its last line; without line 76 the SWED14 name is empty.
        {loaded(numbered(50)), "name1|name2|name3|name48|name49|name50|name50|name50|name50|"},
        {loaded(numbered(75)), "name1|name2|name3|name48|name49|name50|name61|name74|name75|"},
        // A last line without its line end loses its last character.
        {loaded(numbered(75) + "SWEDISH14"),
         "name1|name2|name3|name48|name49|name50|name61|name74|name75|SWEDISH1"},
        {loaded(numbered(49) + "Speed"), "name1|name2|name3|name48|name49|Spee|Spee|Spee|Spee|"},
        // 150 characters: the first 119 make one read (118 kept), the rest is the next line.
        {loaded(a118 + "a" + b31 + "\n" + numbered(76)),
         a118 + "|" + b31 + "|name1|name46|name47|name48|name59|name72|name73|name74"},
        // Exactly 119 characters: the line end alone becomes the next (empty) entry.
        {loaded(a118 + "a\n" + numbered(76)),
         a118 + "||name1|name46|name47|name48|name59|name72|name73|name74"},
        {loaded(a118 + "\n"), a118 + "|" + a118 + "|" + a118 + "|" + a118 + "|" + a118 + "|" + a118 + "|" +
                                  a118 + "|" + a118 + "|" + a118 + "|"},
    };
    for (const auto& [shown, expected] : rows) {
        EXPECT_EQ(shown, expected);
    }
}

TEST(LanguageFile, ShippedFileIsComplete) {
    const language_texts t = load_language(std::string(TALLYCNV_SOURCE_DIR) + "/resources/LANG.479");
    EXPECT_EQ(t.sensor_names[0] + "|" + t.sensor_names[22] + "|" + t.spec_operands[0] + "|" +
                  t.spec_operands[12] + "|" + t.units_names[0] + "|" + t.units_names[1] + "|" + t.swed14_name,
              "NONE|PIEZO|Count|Speed summary|METRIC|IMPERIAL|SWEDISH14");
    for (const std::string& name : t.sensor_names) {
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos);
    }
}

} // namespace
} // namespace tallycnv
