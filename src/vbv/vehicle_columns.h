// Column texts of the vehicle lines that are a fixed function of one field
// for the whole run: a speed, a length or a weight times the run's unit
// factor always prints the same way, so each distinct field value is
// formatted once and its text copied after that (exact by construction).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "io/report_sink.h"

namespace tallycnv {

// The text of one column for each value of its field (at most 16 bits),
// made by `make` on first use.
struct column_cache {
    struct entry {
        std::uint8_t size = 0; // 0: not made yet
        std::array<char, 15> text{};
    };
    static constexpr std::size_t max_text = 15;

    std::vector<entry> entries;
    std::function<char*(char*, unsigned)> make; // writes the column at its argument, returns the end

    void reset(std::size_t values, std::function<char*(char*, unsigned)> maker) {
        entries.assign(values, entry{});
        make = std::move(maker);
    }

    // Copies the column of `value` to `p` (which has room for max_text bytes).
    char* put(char* p, unsigned value) {
        entry& e = entries[value];
        if (e.size == 0) {
            fill(e, value);
        }
        std::memcpy(p, e.text.data(), max_text);
        return p + e.size;
    }

  private:
    void fill(entry& e, unsigned value) {
        char scratch[128];
        const std::size_t size = static_cast<std::size_t>(make(scratch, value) - scratch);
        // Report values are bounded 16-bit fields times unit factors: a column is never longer.
        e.size = static_cast<std::uint8_t>(size < max_text ? size : max_text);
        std::memcpy(e.text.data(), scratch, e.size);
    }
};

// The texts of a column whose value may be any single-precision number
// (what is left of an apportioned total), for the values met last: a table
// of slots chosen by the value's bits. A value is formatted again only when
// another one has taken its slot; a text is a fixed function of the value,
// so the copies are exact.
struct float_column_cache {
    struct entry {
        std::uint32_t bits = 0;
        std::uint8_t size = 0; // 0: empty
        std::array<char, 15> text{};
    };
    static constexpr std::size_t max_text = 15;
    static constexpr std::size_t slots = 4096;

    std::vector<entry> entries;

    void reset() { entries.assign(slots, entry{}); }

    // Copies the column of `value` to `p` (which has room for max_text bytes,
    // and for what `make` writes); `make(p)` writes the column at p and returns its end.
    template <class Make> char* put(char* p, float value, Make make) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        entry& e = entries[((bits * 2654435761U) >> 20) & (slots - 1)];
        if (e.bits != bits || e.size == 0) {
            char* end = make(p);
            const auto size = static_cast<std::size_t>(end - p);
            if (size <= max_text) {
                e.bits = bits;
                e.size = static_cast<std::uint8_t>(size);
                std::memcpy(e.text.data(), p, size);
            }
            return end;
        }
        std::memcpy(p, e.text.data(), max_text);
        return p + e.size;
    }
};

// Blank columns in a row, copied as one block: `columns` copies of one
// column's blank text, and the room of a fixed-size copy after them.
struct blank_run {
    static constexpr std::size_t room = 64;
    std::array<char, room> text{};
    std::size_t width = 0; // bytes of one blank column

    // The layouts' runs take at most 40 bytes; none is written past the room.
    void reset(std::string_view blank, int columns) {
        text.fill('\0');
        width = blank.size();
        for (std::size_t at = 0; columns > 0 && at + width <= room; at += width, --columns) {
            std::memcpy(text.data() + at, blank.data(), width);
        }
    }
    // Copies `count` blank columns to `p` (which has room for `room` bytes).
    char* put(char* p, int count) const {
        std::memcpy(p, text.data(), room);
        return p + static_cast<std::size_t>(count) * width;
    }
};

// The print units of a run: conversion factors and decimal places of one row.
struct print_unit_row {
    float speed;
    float length;
    float weight;
    int length_places;
    int weight_places;
};

// The caches of one run's vehicle layout, made for the layout and print
// units of the first vehicle line.
struct vehicle_columns {
    int print_format = 0; // layout the caches are made for; 0: none yet
    unsigned print_units = 0;
    int config = 0;      // config_type of the file's header
    print_unit_row units{};
    column_cache tenths; // headway and gap
    column_cache speed;
    column_cache length; // vehicle length (and the wheelbase where it prints alike)
    column_cache wheelbase;
    column_cache gross;         // gross weight
    column_cache count;         // axles and class
    column_cache spacing;       // a spacing rounded to whole units
    column_cache weight;        // an axle weight rounded to whole units
    column_cache whole_spacing; // the one spacing of a two-axle vehicle: the whole wheelbase
    column_cache whole_weight;  // the one axle weight of a one-axle vehicle: the whole gross weight
    float_column_cache spacing_rest; // the last spacing: what is left of the wheelbase
    float_column_cache weight_rest;  // the last axle weight: what is left of the gross weight
    blank_run spacing_blanks;   // spacing columns past the vehicle's axles
    blank_run weight_blanks;    // axle-weight columns past the vehicle's axles
    // The date column of the last vehicle: dates change once a day.
    std::array<int, 3> last_date{-1, -1, -1};
    std::array<char, 96> date_text{}; // room for the formatters' scratch bytes
    std::size_t date_size = 0;
    // "%8s" of the site's first 8 characters, made on the first line that shows it.
    report_text site;
};

} // namespace tallycnv
