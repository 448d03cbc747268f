// Line reads of a plain text, held in memory, as the console tools read a
// text file: a read takes at most a given number of characters and stops
// after a line end, and a carriage return before a line feed is dropped
// ("\r\n" reads as "\n").
#pragma once

#include <string>
#include <string_view>

namespace tallycnv {

class text_reader {
  public:
    explicit text_reader(std::string_view text) : text_(text) {}

    // Reads up to `max_chars` characters into `piece`, up to and including a line
    // end. False, with `piece` untouched, when the text has nothing more.
    bool read_line(std::string& piece, std::size_t max_chars) {
        std::string text;
        while (text.size() < max_chars && at_ < text_.size()) {
            char c = text_[at_++];
            if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') {
                c = '\n';
                ++at_;
            }
            text.push_back(c);
            if (c == '\n') {
                break;
            }
        }
        if (text.empty()) {
            return false;
        }
        piece = std::move(text);
        return true;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace tallycnv
