// The data-quality rules a study judges each day by: their names, levels and
// thresholds (--qc=RULE:VALUE,...), and --strict.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tallycnv {

enum class qc_rule : std::size_t {
    zero_hours,          // critical: consecutive hours without a vehicle
    over_capacity,       // critical: vehicles in an hour per lane
    clock,               // critical: a vehicle earlier than the one before it by more than this (s)
    negative_count,      // critical: negative interval counts on a day
    repeated_hours,      // caution: equal non-zero hourly volumes in a row
    night_over_noon,     // caution: the 01:00 hour above this times the 13:00 hour
    directional_split,   // caution: the lighter direction under this % of the day
    unclassified,        // caution: vehicles without a class above this % of the day
    implausible_vehicle, // caution: vehicles of impossible speed or length on a day
    invalid_time,        // caution: vehicles of impossible date or time
};
inline constexpr std::size_t qc_rule_count = 10;

struct qc_rule_info {
    std::string_view name;
    bool critical;         // a day it fires on leaves every average
    double threshold;      // the default
    std::string_view what; // what the threshold measures, for the help and the reports
};

inline constexpr std::array<qc_rule_info, qc_rule_count> qc_rules = {{
    {"zero_hours", true, 7, "consecutive hours without a vehicle, at least"},
    {"over_capacity", true, 3000, "vehicles in an hour per lane, above"},
    {"clock", true, 0, "seconds a vehicle is earlier than the one before it, above"},
    {"negative_count", true, 1, "negative interval counts on a day, at least"},
    {"repeated_hours", false, 4, "equal non-zero hourly volumes in a row, at least"},
    {"night_over_noon", false, 1, "the 01:00 hour over the 13:00 hour, above"},
    {"directional_split", false, 40, "% of the day in the lighter direction, below"},
    {"unclassified", false, 10, "% of the day's vehicles without a class, above"},
    {"implausible_vehicle", false, 1, "vehicles of impossible speed or length on a day, at least"},
    {"invalid_time", false, 1, "vehicles of impossible date or time, at least"},
}};

// The thresholds in force, in the order of qc_rules.
struct quality_settings {
    std::array<double, qc_rule_count> threshold = [] {
        std::array<double, qc_rule_count> t{};
        for (std::size_t i = 0; i < qc_rule_count; ++i) {
            t[i] = qc_rules[i].threshold;
        }
        return t;
    }();
    bool strict = false; // --strict: exit 4 when the data are cut short or a critical rule fired

    [[nodiscard]] double operator[](qc_rule rule) const { return threshold[static_cast<std::size_t>(rule)]; }
};

} // namespace tallycnv
