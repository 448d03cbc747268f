// The manual page gives every option the parser knows a paragraph of its own.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "app/options.h"
#include "support/k479_builder.h"

namespace tallycnv {
namespace {

// The text a paragraph tag shows, in lower case: the font macro dropped, its
// arguments joined as the alternating macros join them (quoted blanks kept),
// font escapes removed, "\-" read as '-' and "\(ha" as '^'.
std::string shown_tag(const std::string& line) {
    std::string text;
    bool quoted = false;
    for (std::size_t i = line.starts_with(".") ? line.find(' ') + 1 : 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && line.compare(i + 1, 3, "(ha") == 0) {
            text += '^';
            i += 3;
        } else if (c == '\\') {
            i += line[i + 1] == 'f' ? 2 : 0; // \fB, \fI, \fR: a font change, nothing shown
        } else if (c != ' ' || quoted) {
            text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return text;
}

TEST(ManualPage, TagsEveryOption) {
    const std::string page = test::read_file(TALLYCNV_SOURCE_DIR "/doc/tallycnv.1");
    ASSERT_FALSE(page.empty());
    // A tag is the line after ".TP"; its options are separated by ", ".
    std::string tags = ", ";
    std::istringstream lines(page);
    bool tag_next = false;
    for (std::string line; std::getline(lines, line);) {
        if (tag_next) {
            tags += shown_tag(line) + ", ";
        }
        tag_next = line == ".TP";
    }
    std::vector<std::string> forms = option_forms();
    ASSERT_GT(forms.size(), 30U);
    forms.insert(forms.end(), {"/?", "--help", "--version"}); // answered before the parser runs
    for (std::string form : forms) {
        for (char& c : form) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_NE(tags.find(", " + form), std::string::npos)
            << form << " has no paragraph in the manual page";
    }
}

} // namespace
} // namespace tallycnv
