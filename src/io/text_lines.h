// Line reads of a plain text file as the console tools read them: a read takes
// at most a given number of characters and stops after a line end, and a
// carriage return before a line feed is dropped ("\r\n" reads as "\n").
#pragma once

#include <cstdio>
#include <string>

namespace tallycnv {

class text_reader {
  public:
    explicit text_reader(std::FILE* file) : file_(file) {}

    // Reads up to `max_chars` characters into `piece`, up to and including a line
    // end. False, with `piece` untouched, when the file has nothing more.
    bool read_line(std::string& piece, std::size_t max_chars) {
        std::string text;
        while (text.size() < max_chars) {
            int c = std::getc(file_);
            if (c == EOF) {
                break;
            }
            if (c == '\r') {
                const int next = std::getc(file_);
                if (next == '\n') {
                    c = '\n';
                } else if (next != EOF) {
                    std::ungetc(next, file_);
                }
            }
            text.push_back(static_cast<char>(c));
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
    std::FILE* file_;
};

} // namespace tallycnv
