// Formatters of the fast line writers. Each writes one C printf conversion at
// `p` (into room reserved from the report sink) and returns the end of what
// it wrote; the output equals snprintf's byte for byte. Padded columns are
// written right to left, two digits at a time; unpadded and wide ones go
// through std::to_chars. A formatter may write scratch bytes up to report_sink::slack
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

#include "io/report_sink.h"

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

// The fast conversions write a column right to left into a scratch buffer
// filled with the column's fill byte, then copy it out with one copy of
// `copy_size` bytes, which may run past the column's end into the sink's
// reserved slack (report_sink::slack); what follows overwrites those bytes.
inline constexpr std::size_t pad_room = 16;
inline constexpr std::size_t copy_size = 32;
static_assert(copy_size <= report_sink::slack);

// Room for the fill bytes and the longest text of a fast conversion (a sign
// and 20 digits, or a sign, 9 digits, a point and 4 decimals), then the
// bytes the fixed-size copy reads past the text's end.
struct scratch {
    static constexpr std::size_t text_room = pad_room + 24;
    char bytes[text_room + copy_size];
    explicit scratch(char fill) { std::memset(bytes, fill, text_room); }
    // Where the text ends; it is written backwards from here.
    char* end() { return bytes + text_room; }
};

// "00" to "99": two digits written with one copy.
inline constexpr char digit_pairs[] = "00010203040506070809"
                                      "10111213141516171819"
                                      "20212223242526272829"
                                      "30313233343536373839"
                                      "40414243444546474849"
                                      "50515253545556575859"
                                      "60616263646566676869"
                                      "70717273747576777879"
                                      "80818283848586878889"
                                      "90919293949596979899";

// Writes the decimal digits of n so that they end at `end`; returns their start.
template <typename Unsigned> char* digits_before(char* end, Unsigned n) {
    while (n >= 100) {
        end -= 2;
        std::memcpy(end, digit_pairs + 2 * (n % 100), 2);
        n /= 100;
    }
    if (n >= 10) {
        end -= 2;
        std::memcpy(end, digit_pairs + 2 * n, 2);
    } else {
        *--end = static_cast<char>('0' + n);
    }
    return end;
}

// Copies the column that ends at `end`: the text from `start`, with fill
// bytes in front up to `width` columns.
inline char* copy_column(char* p, const char* start, const char* end, int width) {
    const auto size = static_cast<std::size_t>(end - start);
    const std::size_t columns = std::max(size, static_cast<std::size_t>(width));
    std::memcpy(p, end - columns, copy_size);
    return p + columns;
}

// Writes n / Power, a point and the Power's decimals of n (with their
// leading zeros) so that they end at `end`; returns their start.
template <std::uint64_t Power> char* scaled_before(char* end, std::uint64_t n) {
    if constexpr (Power > 1) {
        auto fraction = static_cast<std::uint32_t>(n % Power);
        for (std::uint64_t p = 1; p < Power; p *= 10) {
            *--end = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        *--end = '.';
    }
    return digits_before(end, static_cast<std::uint32_t>(n / Power)); // below 10^9 + 1
}

} // namespace format_detail

// "%u", "%lu", "%d": a whole number without padding.
template <typename Int> char* put_int(char* p, Int value) {
    return std::to_chars(p, p + 24, value).ptr;
}

// "%Nd", "%Nu" (fill ' ') and "%0Nd", "%0Nu" (fill '0').
template <typename Int> char* put_int(char* p, Int value, int width, char fill = ' ') {
    using Unsigned = std::make_unsigned_t<Int>;
    bool negative = false;
    if constexpr (std::is_signed_v<Int>) {
        negative = value < 0;
    }
    if (width > static_cast<int>(format_detail::pad_room) || (negative && fill == '0')) {
        // Wide columns, and the sign in front of the zeros.
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, fill);
    }
    // The magnitude of the most negative value too.
    const Unsigned magnitude =
        negative ? static_cast<Unsigned>(0U - static_cast<Unsigned>(value)) : static_cast<Unsigned>(value);
    if (magnitude < 10 && !negative && width <= static_cast<int>(format_detail::pad_room)) {
        // One digit (lanes, axles, classes): fill bytes, then the digit.
        const std::size_t columns = width > 1 ? static_cast<std::size_t>(width) : 1;
        std::memset(p, fill, format_detail::pad_room);
        p[columns - 1] = static_cast<char>('0' + magnitude);
        return p + columns;
    }
    if (fill == '0' && width >= 6 && width <= static_cast<int>(format_detail::pad_room) &&
        magnitude < 1000000) {
        // Up to six digits zero-filled to six columns or more (vehicle numbers).
        std::memset(p, '0', format_detail::pad_room);
        char* end = p + width;
        format_detail::digits_before(end, static_cast<std::uint32_t>(magnitude));
        return end;
    }
    format_detail::scratch s(fill);
    char* start = format_detail::digits_before(s.end(), magnitude);
    if (negative) {
        *--start = '-';
    }
    return format_detail::copy_column(p, start, s.end(), width);
}

// "%02u" of a clock field: the value's two digits, as put_int(p, value, 2, '0').
inline char* put_two_digits(char* p, unsigned value) {
    if (value < 100) {
        std::memcpy(p, format_detail::digit_pairs + 2 * value, 2);
        return p + 2;
    }
    return put_int(p, value, 2, '0');
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
    if (width > static_cast<int>(format_detail::pad_room)) {
        char digits[16];
        char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
        std::transform(digits, end, digits,
                       [](char d) { return d >= 'a' ? static_cast<char>(d - 'a' + 'A') : d; });
        return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, '0');
    }
    format_detail::scratch s('0');
    char* start = s.end();
    do {
        *--start = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return format_detail::copy_column(p, start, s.end(), width);
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
        char* start = nullptr;
        switch (precision) {
        case 0:
            start = format_detail::scaled_before<1>(s.end(), n);
            break;
        case 1:
            start = format_detail::scaled_before<10>(s.end(), n);
            break;
        case 2:
            start = format_detail::scaled_before<100>(s.end(), n);
            break;
        case 3:
            start = format_detail::scaled_before<1000>(s.end(), n);
            break;
        default:
            start = format_detail::scaled_before<10000>(s.end(), n);
            break;
        }
        if (std::signbit(value)) {
            *--start = '-';
        }
        return format_detail::copy_column(p, start, s.end(), width);
    }
    char digits[400]; // the longest double in fixed notation, with up to 80 decimals
    const int n = std::snprintf(digits, sizeof digits, "%.*f", std::min(precision, 80), value);
    const char* end = digits + (n < 0 ? 0 : std::min(40, n));
    return put_padded(p, digits, static_cast<std::size_t>(end - digits), width, ' ');
}

} // namespace tallycnv
