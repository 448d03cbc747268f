// Field writers of the CSV export. Each writes one field at `p` (room the
// caller has set aside) and returns the end of what it wrote. Fields follow
// RFC 4180: a text holding a comma, a double quote or a line end is quoted,
// with its quotes doubled; every other byte is kept as it is.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tallycnv {

inline char* put_csv_raw(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// At most 2 * size + 2 bytes.
inline char* put_csv_text(char* p, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return put_csv_raw(p, text);
    }
    *p++ = '"';
    for (const char c : text) {
        if (c == '"') {
            *p++ = '"';
        }
        *p++ = c;
    }
    *p++ = '"';
    return p;
}

template <typename Int> char* put_csv_int(char* p, Int value) {
    return std::to_chars(p, p + 24, value).ptr;
}

// A whole number of at least `width` digits, zeros in front.
inline char* put_csv_digits(char* p, unsigned value, int width) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto n = static_cast<int>(end - digits); n < width; ++n) {
        *p++ = '0';
    }
    return put_csv_raw(p, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// Upper-case hexadecimal of at least `width` digits, zeros in front.
inline char* put_csv_hex(char* p, unsigned value, int width) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    for (auto n = static_cast<int>(end - digits); n < width; ++n) {
        *p++ = '0';
    }
    for (const char* d = digits; d != end; ++d) {
        *p++ = *d >= 'a' ? static_cast<char>(*d - 'a' + 'A') : *d;
    }
    return p;
}

// A count of hundredths (or tenths, `places` 1) as a decimal number: 1234 -> 12.34.
inline char* put_csv_scaled(char* p, std::uint64_t value, int places) {
    const std::uint64_t unit = places == 1 ? 10 : 100;
    p = put_csv_int(p, value / unit);
    *p++ = '.';
    return put_csv_digits(p, static_cast<unsigned>(value % unit), places);
}

// Fixed notation with two decimals, rounded as printf's %.2f rounds.
inline char* put_csv_fixed2(char* p, double value) {
    return std::to_chars(p, p + 40, value, std::chars_format::fixed, 2).ptr;
}

// ISO 8601 date: YYYY-MM-DD (month from 1).
inline char* put_csv_date(char* p, unsigned year, unsigned month, unsigned day) {
    p = put_csv_digits(p, year, 4);
    *p++ = '-';
    p = put_csv_digits(p, month, 2);
    *p++ = '-';
    return put_csv_digits(p, day, 2);
}

// "T" and the time of day: HH:MM.
inline char* put_csv_clock(char* p, unsigned hour, unsigned minute) {
    *p++ = 'T';
    p = put_csv_digits(p, hour, 2);
    *p++ = ':';
    return put_csv_digits(p, minute, 2);
}

} // namespace tallycnv
