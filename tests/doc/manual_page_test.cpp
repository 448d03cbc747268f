// The manual page documents every option the parser knows.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "app/options.h"
#include "support/k479_builder.h"

namespace tallycnv {
namespace {

// The text a roff line shows: the macro name dropped, the arguments of a font
// macro joined as the alternating macros join them, the escapes for fonts, the
// minus sign, the circumflex, quotes and the zero-width mark resolved.
std::string shown_text(const std::string& line) {
    std::string joined;
    std::size_t i = 0;
    if (line.starts_with(".")) {
        i = line.find(' ');
        bool quoted = false;
        for (i = i == std::string::npos ? line.size() : i + 1; i < line.size(); ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else if (line[i] != ' ' || quoted) {
                joined += line[i];
            }
        }
    } else {
        joined = line;
    }
    std::string text;
    for (i = 0; i < joined.size(); ++i) {
        if (joined[i] != '\\' || i + 1 == joined.size()) {
            text += joined[i];
            continue;
        }
        const char next = joined[++i];
        if (next == 'f') {
            ++i; // font change: \fB, \fI, \fR, \fP
        } else if (next == '(' && joined.compare(i + 1, 2, "ha") == 0) {
            text += '^';
            i += 2;
        } else if (next == '(' && joined.compare(i + 1, 2, "dq") == 0) {
            text += '"';
            i += 2;
        } else if (next == '-' || next == ' ') {
            text += next;
        } else if (next == 'e') {
            text += '\\';
        }
        // \& and \| show nothing.
    }
    return text;
}

bool starts_word_ignoring_case(const std::string& text, const std::string& word) {
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (at > 0 && text[at - 1] != ' ' && text[at - 1] != ',') {
            continue;
        }
        bool same = true;
        for (std::size_t k = 0; k < word.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(text[at + k])) ==
                   std::tolower(static_cast<unsigned char>(word[k]));
        }
        if (same) {
            return true;
        }
    }
    return false;
}

TEST(ManualPage, TagsEveryOption) {
    const std::string page = test::read_file(TALLYCNV_SOURCE_DIR "/doc/tallycnv.1");
    ASSERT_FALSE(page.empty());
    // The tag of an option paragraph is the line after ".TP".
    std::string tags;
    std::istringstream lines(page);
    bool tag_next = false;
    for (std::string line; std::getline(lines, line);) {
        if (tag_next) {
            tags += shown_text(line) + ", ";
        }
        tag_next = line == ".TP";
    }
    std::vector<std::string> forms = option_forms();
    ASSERT_GT(forms.size(), 30U);
    // The requests main answers before the parser runs.
    forms.insert(forms.end(), {"/?", "--help", "--version"});
    for (const std::string& form : forms) {
        EXPECT_TRUE(starts_word_ignoring_case(tags, form)) << form << " has no paragraph in the manual page";
    }
}

} // namespace
} // namespace tallycnv
