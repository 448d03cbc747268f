// Formatters of the fast line writers. Each writes one C printf conversion at
// `p` (into room reserved from the report sink) and returns the end of what
// it wrote; the output equals snprintf's byte for byte. Numbers go through
// std::to_chars. A formatter may write scratch bytes up to report_sink::slack
// past the end it returns; the sink's reservations leave room for them, and a
// buffer of one's own needs that much room after its longest text.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "report/report_sink.h"

namespace tallycnv {

inline char* put_text(char* p, std::string_view text) {
    if (!text.empty()) { // an empty view may hold no pointer at all
        std::memcpy(p, text.data(), text.size());
    }
    return p + text.size();
}

// A text of at most 16 bytes kept in a 16-byte block, so that it is copied
// with one fixed-size copy (into the sink's slack): the blanks, separators
// and labels of the line writers' column tables.
struct short_text {
    std::array<char, 16> bytes{};
    std::size_t size = 0;
    constexpr explicit short_text(std::string_view text) : size(std::min(text.size(), bytes.size())) {
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = text[i];
        }
    }
    // NOLINTNEXTLINE(google-explicit-constructor): column tables are written with plain literals.
    template <std::size_t N>
    constexpr short_text(const char (&text)[N]) : short_text(std::string_view(text, N - 1)) {}
    [[nodiscard]] constexpr bool empty() const { return size == 0; }
};

inline char* put_short(char* p, const short_text& text) {
    std::memcpy(p, text.bytes.data(), text.bytes.size());
    return p + text.size;
}

inline char* put_char(char* p, char c) {
    *p = c;
    return p + 1;
}

// Right-aligns `digits` in `width` columns padded with `fill`; a zero fill
// goes after a minus sign, as printf pads. Exact copies (no scratch bytes).
inline char* put_padded(char* p, const char* digits, std::size_t size, int width, char fill) {
    std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    if (size < w && fill == '0' && size > 0 && digits[0] == '-') {
        *p++ = '-';
        ++digits;
        --size;
        --w;
    }
    if (size < w) {
        std::memset(p, fill, w - size);
        p += w - size;
    }
    return put_text(p, std::string_view(digits, size));
}

namespace format_detail {

// The fast conversions build a column in a scratch buffer: up to `pad_room`
// fill bytes, then the digits, and copy it out with one copy of `copy_size`
// bytes, which may run past the column's end into the sink's reserved slack
// (report_sink::slack); what follows overwrites those bytes.
inline constexpr std::size_t pad_room = 16;
inline constexpr std::size_t copy_size = 32;
static_assert(copy_size <= report_sink::slack);

struct scratch {
    char bytes[pad_room + 32 + copy_size];
    explicit scratch(char fill) { std::memset(bytes, fill, pad_room); }
    char* digits() { return bytes + pad_room; }
};

// Copies the column that ends at `end`: the digits from `digits`, with fill
// bytes in front up to `width` columns.
inline char* copy_column(char* p, const char* digits, const char* end, int width) {
    const auto size = static_cast<std::size_t>(end - digits);
    const std::size_t columns = std::max(size, static_cast<std::size_t>(width));
    std::memcpy(p, end - columns, copy_size);
    return p + columns;
}

// The digits of n / Power, a point and the Power's decimals of n (with their
// leading zeros: Power + the fraction, its leading 1 made the point).
template <std::uint64_t Power> char* put_scaled(char* end, std::uint64_t n) {
    end = std::to_chars(end, end + 20, n / Power).ptr;
    if constexpr (Power > 1) {
        char* point = end;
        end = std::to_chars(point, point + 8, Power + n % Power).ptr;
        *point = '.';
    }
    return end;
}

} // namespace format_detail

// "%u", "%lu", "%d": a whole number without padding.
template <typename Int> char* put_int(char* p, Int value) {
    return std::to_chars(p, p + 24, value).ptr;
}

// "%Nd", "%Nu" (fill ' ') and "%0Nd", "%0Nu" (fill '0').
template <typename Int> char* put_int(char* p, Int value, int width, char fill = ' ') {
    bool exact = width > static_cast<int>(format_detail::pad_room);
    if constexpr (std::is_signed_v<Int>) {
        exact = exact || (fill == '0' && value < 0); // the sign goes in front of the zeros
    }
    if (exact) {
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, fill);
    }
    format_detail::scratch s(fill);
    const char* end = std::to_chars(s.digits(), s.digits() + 24, value).ptr;
    return format_detail::copy_column(p, s.digits(), end, width);
}

// "%-Nu": left-aligned, blanks after.
template <typename Int> char* put_int_left(char* p, Int value, int width) {
    char* end = put_int(p, value);
    if (end - p < width) {
        std::memset(end, ' ', static_cast<std::size_t>(width - (end - p)));
        end = p + width;
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
    if (width > static_cast<int>(format_detail::pad_room)) {
        return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, '0');
    }
    format_detail::scratch s('0');
    std::memcpy(s.digits(), digits, sizeof digits);
    return format_detail::copy_column(p, s.digits(), s.digits() + (end - digits), width);
}

// "%N.Pf": fixed notation with P decimals, right-aligned in N columns.
//
// The values of the reports are single-precision products promoted to
// double. For such a value and at most 4 decimals, the value times 10^P is
// exact in double precision (24 significant bits times at most 10 bits of
// the power of ten), so rounding it to a whole number in the current
// rounding mode (to nearest, ties to even, as printf rounds an exact tie)
// gives printf's digits; to_chars writes them. Any other value (none of the
// report's fields) goes through snprintf, cut to 40 characters: the room a
// line writer reserves is bounded.
inline char* put_fixed(char* p, double value, int precision, int width) {
    static constexpr std::array<std::uint64_t, 5> powers = {1, 10, 100, 1000, 10000};
    const double magnitude = value < 0 ? -value : value;
    if (precision >= 0 && precision < static_cast<int>(powers.size()) && magnitude < 1e9 &&
        static_cast<double>(static_cast<float>(value)) == value &&
        width <= static_cast<int>(format_detail::pad_room)) {
        const std::uint64_t power = powers[static_cast<std::size_t>(precision)];
        // Adding and taking away 2^52 leaves the nearest whole number (below 2^52).
        constexpr double whole = 0x1p52;
        const auto n = static_cast<std::uint64_t>((magnitude * static_cast<double>(power) + whole) - whole);
        format_detail::scratch s(' ');
        char* end = s.digits();
        if (std::signbit(value)) {
            *end++ = '-';
        }
        switch (precision) {
        case 0:
            end = format_detail::put_scaled<1>(end, n);
            break;
        case 1:
            end = format_detail::put_scaled<10>(end, n);
            break;
        case 2:
            end = format_detail::put_scaled<100>(end, n);
            break;
        case 3:
            end = format_detail::put_scaled<1000>(end, n);
            break;
        default:
            end = format_detail::put_scaled<10000>(end, n);
            break;
        }
        return format_detail::copy_column(p, s.digits(), end, width);
    }
    char digits[400]; // the longest double in fixed notation, with up to 80 decimals
    const int n = std::snprintf(digits, sizeof digits, "%.*f", std::min(precision, 80), value);
    const char* end = digits + (n < 0 ? 0 : std::min(40, n));
    return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, ' ');
}

} // namespace tallycnv
