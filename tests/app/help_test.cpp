#include "app/help.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

namespace tallycnv {
namespace {

std::FILE* file_with(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

std::string contents(std::FILE* f) {
    std::rewind(f);
    std::string text;
    for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

std::string lines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

const std::string prompt = " -- More -- \r            \r";

std::string page(const std::string& help_text, std::deque<int> keys, int* keys_read = nullptr) {
    std::FILE* help = file_with(help_text);
    std::FILE* out = std::tmpfile();
    int count = 0;
    page_help(help, out, [&]() {
        ++count;
        if (keys.empty()) {
            return -1;
        }
        const int key = keys.front();
        keys.pop_front();
        return key;
    });
    std::string shown = contents(out);
    std::fclose(help);
    std::fclose(out);
    if (keys_read != nullptr) {
        *keys_read = count;
    }
    return shown;
}

TEST(HelpPager, StopsEveryTwentyPieces) {
    int keys = 0;
    EXPECT_EQ(page(lines(1, 45), {' ', 'x'}, &keys),
              lines(1, 20) + prompt + lines(21, 40) + prompt + lines(41, 45));
    EXPECT_EQ(keys, 2);
    // Escape ends the listing.
    EXPECT_EQ(page(lines(1, 45), {27}), lines(1, 20) + prompt);
    // A page that ends the file still waits for its key.
    EXPECT_EQ(page(lines(1, 20), {' '}), lines(1, 20) + prompt);
    EXPECT_EQ(page(lines(1, 19), {}), lines(1, 19));
}

TEST(HelpPager, LongLinesArePiecesOfEightyCharacters) {
    // A 170-character line makes three pieces: 80, 80 and 10 with the line end.
    const std::string long_line = std::string(170, 'x') + "\n";
    const std::string text = long_line + lines(1, 30);
    EXPECT_EQ(page(text, {' ', ' '}), long_line + lines(1, 17) + prompt + lines(18, 30));
}

TEST(HelpPager, WholeTextWithoutTerminal) {
    const std::string text = lines(1, 60) + "last line without end";
    std::FILE* help = file_with(text);
    std::FILE* out = std::tmpfile();
    page_help(help, out, nullptr);
    EXPECT_EQ(contents(out), text);
    std::fclose(help);
    std::fclose(out);
    // CR LF line ends read as line feeds.
    help = file_with("one\r\ntwo\r\n");
    out = std::tmpfile();
    page_help(help, out, nullptr);
    EXPECT_EQ(contents(out), "one\ntwo\n");
    std::fclose(help);
    std::fclose(out);
}

} // namespace
} // namespace tallycnv
