// What a case cannot reach: program paths of other systems and the help pager at a terminal.
#include "app/entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>

#include "app/help.h"

namespace tallycnv {
namespace {

TEST(ProgramDirectory, CutAtTheLastSeparator) {
    EXPECT_EQ(program_directory("C:\\TALLY\\TALLYCNV.EXE"), "C:\\TALLY");
    EXPECT_EQ(program_directory("/usr/local/bin/tallycnv"), "/usr/local/bin");
    EXPECT_EQ(program_directory("/tallycnv"), "");
    // A bare name: the directory of the running executable.
    const std::string own = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(program_directory("tallycnv"), own);
}

std::string lines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

// What the pager shows for `help_text`, keys answered from `keys` (-1 when none is left);
// without a key reader when `terminal` is false.
std::string page(const std::string& help_text, std::deque<int> keys, bool terminal = true) {
    std::FILE* out = std::tmpfile();
    std::function<int()> read_key;
    if (terminal) {
        read_key = [&]() {
            const int key = keys.empty() ? -1 : keys.front();
            if (!keys.empty()) {
                keys.pop_front();
            }
            return key;
        };
    }
    page_help(help_text, out, read_key);
    std::rewind(out);
    std::string shown;
    for (int c = std::getc(out); c != EOF; c = std::getc(out)) {
        shown.push_back(static_cast<char>(c));
    }
    std::fclose(out);
    return shown;
}

TEST(HelpPager, StopsEveryTwentyPieces) {
    const std::string prompt = " -- More -- \r            \r";
    const std::string long_line = std::string(170, 'x') + "\n"; // pieces of 80, 80 and 10 characters
    const std::pair<std::string, std::string> rows[] = {
        {page(lines(1, 45), {' ', 'x'}), lines(1, 20) + prompt + lines(21, 40) + prompt + lines(41, 45)},
        {page(lines(1, 45), {27}), lines(1, 20) + prompt},  // Escape ends the listing
        {page(lines(1, 20), {' '}), lines(1, 20) + prompt}, // a page ending the file still waits
        {page(lines(1, 19), {}), lines(1, 19)},
        {page(long_line + lines(1, 30), {' ', ' '}), long_line + lines(1, 17) + prompt + lines(18, 30)},
        {page(lines(1, 60) + "no end", {}, false), lines(1, 60) + "no end"}, // no terminal: no prompts
        {page("one\r\ntwo\r\n", {}, false), "one\ntwo\n"},
    };
    for (const auto& [shown, expected] : rows) {
        EXPECT_EQ(shown, expected);
    }
}

} // namespace
} // namespace tallycnv
