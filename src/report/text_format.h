// Formatters of the fast line writers. Each writes one C printf conversion at
// `p` (into room reserved from the report sink) and returns the end of what
// it wrote; the output equals snprintf's byte for byte. Numbers go through
// std::to_chars, whose fixed notation with a precision rounds exactly as
// printf's %.*f does.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tallycnv {

inline char* put_text(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

inline char* put_char(char* p, char c) {
    *p = c;
    return p + 1;
}

// Right-aligns `digits` in `width` columns padded with `fill`; a zero fill
// goes after a minus sign, as printf pads.
inline char* put_padded(char* p, const char* digits, std::size_t size, int width, char fill) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    if (size < w) {
        const std::size_t pad = w - size;
        if (fill == '0' && size > 0 && digits[0] == '-') {
            *p++ = '-';
            ++digits;
            --size;
        }
        std::memset(p, fill, pad);
        p += pad;
    }
    return put_text(p, std::string_view(digits, size));
}

// "%u", "%lu", "%d": a whole number without padding.
template <typename Int> char* put_int(char* p, Int value) {
    return std::to_chars(p, p + 24, value).ptr;
}

// "%Nd", "%Nu" (fill ' ') and "%0Nd", "%0Nu" (fill '0').
template <typename Int> char* put_int(char* p, Int value, int width, char fill = ' ') {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, fill);
}

// "%-Nu": left-aligned, blanks after.
template <typename Int> char* put_int_left(char* p, Int value, int width) {
    char* end = put_int(p, value);
    while (end - p < width) {
        *end++ = ' ';
    }
    return end;
}

// "%0NX": upper-case hexadecimal, zero-filled.
inline char* put_hex(char* p, unsigned value, int width) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    for (char* d = digits; d != end; ++d) {
        if (*d >= 'a') {
            *d = static_cast<char>(*d - 'a' + 'A');
        }
    }
    return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, '0');
}

// "%N.Pf": fixed notation with P decimals, right-aligned in N columns. The
// values of the reports are bounded (16-bit fields times unit factors), so
// the text stays short; anything longer than 40 characters goes through
// snprintf and is cut to 40.
inline char* put_fixed(char* p, double value, int precision, int width) {
    char digits[48];
    const auto [end, error] = std::to_chars(digits, digits + 40, value, std::chars_format::fixed, precision);
    if (error != std::errc{}) {
        const int n = std::snprintf(digits, 41, "%.*f", precision, value);
        return put_padded(p, digits, n < 0 ? 0 : std::min<std::size_t>(40, static_cast<std::size_t>(n)),
                          width, ' ');
    }
    return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, ' ');
}

} // namespace tallycnv
