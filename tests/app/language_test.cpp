#include "app/language.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

using test::make_temp_dir;

// A language file of `lines` lines "name1", "name2", ... with the given line end.
std::string numbered_lines(int lines, const std::string& line_end = "\n") {
    std::string text;
    for (int i = 1; i <= lines; ++i) {
        text += "name" + std::to_string(i) + line_end;
    }
    return text;
}

language_texts load_text(const std::string& text) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/LANG.479";
    test::write_file(path, test::bytes(text.begin(), text.end()));
    language_texts texts = load_language(path);
    std::filesystem::remove_all(dir);
    return texts;
}

TEST(LanguageFile, MissingFileGivesNoNames) {
    const language_texts texts = load_language("/nonexistent/LANG.479");
    for (const std::string& name : texts.sensor_names) {
        EXPECT_EQ(name, "(ns)");
    }
    for (const std::string& name : texts.spec_operands) {
        EXPECT_EQ(name, "(ns)");
    }
    EXPECT_EQ(texts.units_names[0], "(ns)");
    EXPECT_EQ(texts.units_names[1], "(ns)");
    EXPECT_EQ(texts.swed14_name, "");
}

TEST(LanguageFile, FullFileFillsEveryTable) {
    for (const std::string line_end : {"\n", "\r\n"}) {
        const language_texts texts = load_text(numbered_lines(76, line_end));
        EXPECT_EQ(texts.sensor_names[0], "name1");
        EXPECT_EQ(texts.sensor_names[47], "name48");
        EXPECT_EQ(texts.spec_operands[0], "name49");
        EXPECT_EQ(texts.spec_operands[12], "name61");
        EXPECT_EQ(texts.units_names[0], "name74");
        EXPECT_EQ(texts.units_names[1], "name75");
        EXPECT_EQ(texts.swed14_name, "name76");
    }
}

TEST(LanguageFile, ShortFileRepeatsItsLastLine) {
    const language_texts texts = load_text(numbered_lines(50));
    EXPECT_EQ(texts.sensor_names[47], "name48");
    EXPECT_EQ(texts.spec_operands[0], "name49");
    EXPECT_EQ(texts.spec_operands[1], "name50");
    for (std::size_t i = 2; i < 13; ++i) {
        EXPECT_EQ(texts.spec_operands[i], "name50");
    }
    EXPECT_EQ(texts.units_names[0], "name50");
    EXPECT_EQ(texts.units_names[1], "name50");
    EXPECT_EQ(texts.swed14_name, "");

    // Without line 76 the SWED14 name is empty; an empty file repeats "(ns)".
    EXPECT_EQ(load_text(numbered_lines(75)).swed14_name, "");
    EXPECT_EQ(load_text(numbered_lines(75)).units_names[1], "name75");
    const language_texts empty = load_text("");
    EXPECT_EQ(empty.sensor_names[0], "(ns)");
    EXPECT_EQ(empty.units_names[1], "(ns)");
}

TEST(LanguageFile, LastLineWithoutLineEndLosesItsLastCharacter) {
    std::string text = numbered_lines(75) + "SWEDISH14";
    EXPECT_EQ(load_text(text).swed14_name, "SWEDISH1");
    text = numbered_lines(49) + "Speed";
    const language_texts texts = load_text(text);
    EXPECT_EQ(texts.spec_operands[1], "Spee");
    EXPECT_EQ(texts.units_names[1], "Spee");
}

TEST(LanguageFile, LongLineIsSplit) {
    // 150 characters: the first 119 make one read, the rest counts as the next line.
    const std::string first(119, 'a');
    const std::string rest(31, 'b');
    const language_texts texts = load_text(first + rest + "\n" + numbered_lines(76));
    EXPECT_EQ(texts.sensor_names[0], first.substr(0, 118));
    EXPECT_EQ(texts.sensor_names[1], rest);
    EXPECT_EQ(texts.sensor_names[2], "name1");
    EXPECT_EQ(texts.swed14_name, "name74");

    // Exactly 119 characters: the line end alone becomes the next (empty) entry.
    const language_texts exact = load_text(first + "\n" + numbered_lines(76));
    EXPECT_EQ(exact.sensor_names[0], first.substr(0, 118));
    EXPECT_EQ(exact.sensor_names[1], "");
    EXPECT_EQ(exact.sensor_names[2], "name1");

    // 118 characters and the line end fit in one read.
    EXPECT_EQ(load_text(std::string(118, 'c') + "\n").sensor_names[0], std::string(118, 'c'));
}

TEST(LanguageFile, ShippedFileIsComplete) {
    const language_texts texts = load_language(std::string(TALLYCNV_SOURCE_DIR) + "/resources/LANG.479");
    EXPECT_EQ(texts.sensor_names[0], "NONE");
    EXPECT_EQ(texts.sensor_names[22], "PIEZO");
    EXPECT_EQ(texts.spec_operands[0], "Count");
    EXPECT_EQ(texts.spec_operands[1], "Speed");
    EXPECT_EQ(texts.spec_operands[12], "Speed summary");
    EXPECT_EQ(texts.units_names[0], "METRIC");
    EXPECT_EQ(texts.units_names[1], "IMPERIAL");
    EXPECT_EQ(texts.swed14_name, "SWEDISH14");
    for (const std::string& name : texts.sensor_names) {
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos);
    }
}

} // namespace
} // namespace tallycnv
