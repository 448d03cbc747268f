// The texts of a data file are Latin-1 bytes; the formats beyond the fixed
// listings (the CSV export, the study's text, JSON and page) write UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tallycnv {

// Latin-1 bytes as UTF-8: each byte from 0x80 on becomes two bytes.
inline std::string utf8_from_latin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

} // namespace tallycnv
