// The fast formatters of the line writers against snprintf, over every value
// their report fields can take.
#include "io/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tallycnv {
namespace {

// The text a formatter writes (its scratch bytes past the end cut off).
template <typename Format> std::string formatted(Format format) {
    char room[256];
    const char* end = format(room);
    return std::string(room, static_cast<std::size_t>(end - room));
}

template <typename... Args> std::string printed(const char* format, Args... args) {
    char text[256];
    const int n = std::snprintf(text, sizeof text, format, args...);
    return std::string(text, static_cast<std::size_t>(n));
}

TEST(TextFormat, WholeNumbersAsPrintf) {
    struct int_case {
        const char* format;
        int width;
        char fill;
    };
    const int_case cases[] = {{"%d", 0, ' '},   {"%1d", 1, ' '},  {"%2d", 2, ' '},   {"%3d", 3, ' '},
                              {"%02d", 2, '0'}, {"%04d", 4, '0'}, {"%06d", 6, '0'},  {"%08d", 8, '0'},
                              {"%5d", 5, ' '},  {"%8d", 8, ' '},  {"%020d", 20, '0'}};
    std::vector<int> values;
    for (int v = -1000; v <= 66000; ++v) {
        values.push_back(v);
    }
    values.insert(values.end(), {INT32_MIN, INT32_MIN + 1, INT32_MAX, 999999999, 1000000000});
    for (const int_case& c : cases) {
        for (const int v : values) {
            ASSERT_EQ(formatted([&](char* p) { return put_int(p, v, c.width, c.fill); }),
                      printed(c.format, v))
                << c.format << ' ' << v;
        }
    }
    for (unsigned v = 0; v <= 1000; ++v) {
        ASSERT_EQ(formatted([&](char* p) { return put_two_digits(p, v); }), printed("%02u", v)) << v;
    }
    for (const unsigned long v : {0UL, 7UL, 1234UL, 99999999UL, 4294967295UL}) {
        EXPECT_EQ(formatted([&](char* p) { return put_int(p, v, 8, '0'); }), printed("%08lu", v));
        EXPECT_EQ(formatted([&](char* p) { return put_int(p, v); }), printed("%lu", v));
        EXPECT_EQ(formatted([&](char* p) { return put_int_left(p, v, 2); }), printed("%-2lu", v));
    }
}

TEST(TextFormat, HexadecimalAsPrintf) {
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
        ASSERT_EQ(formatted([&](char* p) { return put_hex(p, v, 6); }), printed("%06X", v)) << v;
    }
    for (const unsigned v : {0x123456U, 0xABCDEF0U, 0xFFFFFFFFU}) {
        EXPECT_EQ(formatted([&](char* p) { return put_hex(p, v, 6); }), printed("%06X", v));
        EXPECT_EQ(formatted([&](char* p) { return put_hex(p, v, 20); }), printed("%020X", v));
    }
}

// Every 16-bit field value times every unit factor of the reports, in single
// precision and promoted, with the decimals the vehicle columns print it with.
TEST(TextFormat, ConvertedFieldsAsPrintf) {
    struct factor_case {
        float factor;
        int places;
    };
    const factor_case cases[] = {
        {1.0F, 0},      {0.62137F, 0}, {0.01F, 0},      {0.01F, 2},    {0.032808F, 0},
        {0.032808F, 2}, {0.3937F, 0},  {0.0045359F, 2}, {0.45359F, 0}, {0.0044643F, 2},
    };
    for (const factor_case& c : cases) {
        for (unsigned v = 0; v <= 0xFFFF; ++v) {
            const double value = static_cast<double>(static_cast<float>(v) * c.factor);
            ASSERT_EQ(formatted([&](char* p) { return put_fixed(p, value, c.places, 5); }),
                      printed("%5.*f", c.places, value))
                << v << " x " << c.factor;
        }
    }
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
        const double tenths = static_cast<double>(static_cast<float>(v) / 10.0F);
        ASSERT_EQ(formatted([&](char* p) { return put_fixed(p, tenths, 1, 4); }), printed("%4.1f", tenths))
            << v;
    }
}

// Exact ties of %.0f, %.1f and %.2f (multiples of 1/8) round to even, as
// printf rounds them; so do the values just beside them and the negative ones.
TEST(TextFormat, RoundingTiesAsPrintf) {
    for (int eighths = -800; eighths <= 16000; ++eighths) {
        const float tie = static_cast<float>(eighths) / 8.0F;
        for (const float v : {tie, std::nextafter(tie, -1e9F), std::nextafter(tie, 1e9F)}) {
            const double value = static_cast<double>(v);
            for (int places = 0; places <= 4; ++places) {
                ASSERT_EQ(formatted([&](char* p) { return put_fixed(p, value, places, 0); }),
                          printed("%.*f", places, value))
                    << value << " places " << places;
            }
        }
    }
}

// Values outside the fast path: doubles that are no float, wide columns,
// more decimals, magnitudes beyond the fields, minus zero.
TEST(TextFormat, OtherFixedValuesAsPrintf) {
    const double values[] = {0.1, 2.675, 1e9, 123456789.125, -0.0, -0.004, 1e15, 3.0e30, -2.5, 0.125};
    for (const double value : values) {
        for (int places = 0; places <= 6; ++places) {
            for (const int width : {0, 5, 12, 24}) {
                EXPECT_EQ(formatted([&](char* p) { return put_fixed(p, value, places, width); }),
                          printed("%*.*f", width, places, value))
                    << value;
            }
        }
    }
    // A text longer than 40 characters is cut there: the reserved room of a line is bounded.
    EXPECT_EQ(formatted([](char* p) { return put_fixed(p, 3.0e38, 6, 0); }),
              printed("%.6f", 3.0e38).substr(0, 40));
}

} // namespace
} // namespace tallycnv
