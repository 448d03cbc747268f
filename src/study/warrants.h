// Traffic signal warrants judged from approach counts: Warrant 1 (Eight-Hour
// Vehicular Volume, Conditions A and B and their combination) and the volume
// parts of Warrant 3 (Peak Hour) of the MUTCD (2009 and 11th edition, 2023).
// A pure computation on one day's volumes per quarter hour; the study run
// gathers those volumes from the count files.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tallycnv {

inline constexpr int quarters_per_day = 96;

// One day's vehicles per quarter hour (index 0: 00:00-00:15). A mean weekday
// holds means, hence fractions.
using quarter_volumes = std::array<double, quarters_per_day>;

struct warrant_inputs {
    quarter_volumes major{};            // both approaches of the major street together
    std::vector<quarter_volumes> minor; // each minor approach, its approaching direction
    int major_lanes = 1;                // 1, or 2 for two or more
    std::vector<int> minor_lanes;       // per minor approach: 1, or 2 for two or more
    bool reduced = false;               // major speed above 40 mph (64.4 km/h) or an isolated community
    bool adequate_trial = false;        // other remedies have been tried: the combination may meet Warrant 1
    bool quarter_hours = false;         // hours are any four consecutive quarter hours, not clock hours
    int approaches = 4;                 // approaches of the intersection (3: a T), for Warrant 3's total
};

struct warrant_condition {
    std::vector<int> hours; // the minutes after midnight the counted hours start at
    bool met = false;
};

struct warrant_1_result {
    int percent = 100; // 100, or 70 under the reduced rule
    warrant_condition condition_a;
    warrant_condition condition_b;
    int combination_percent = 80; // 80, or 56 under the reduced rule
    std::vector<int> combination_a_hours;
    std::vector<int> combination_b_hours;
    bool combination_volumes_satisfied = false;
    bool met = false;
    std::string met_by; // "A", "B", "A+B" or empty
};

struct warrant_3_result {
    int percent = 100;      // 100 (Figure 4C-3) or 70 (Figure 4C-4)
    std::vector<int> hours; // hours with a minor approach on or above the curve (Condition B)
    bool met = false;
    // Condition A's volume parts: a minor approach at 100 (one lane) or 150
    // vph and 650 (three approaches) or 800 (four) entering; the stopped delay
    // is not in a count.
    std::vector<int> volume_part_hours;
};

struct warrant_day_result {
    warrant_1_result warrant_1;
    warrant_3_result warrant_3;
};

// One analysed day of the warrant report: a date or the mean weekday, its
// hourly volumes (clock hours) and the verdicts.
struct warrant_day_report {
    std::string day; // "YYYY-MM-DD" or "mean weekday"
    std::array<double, 24> major_hourly{};
    std::vector<std::array<double, 24>> minor_hourly;
    warrant_day_result result;
};

// The warrants of a study run with --warrants: the set-up as used and each day.
struct warrant_report {
    int major_lanes = 1;
    std::vector<int> minor_lanes;         // one per minor approach
    std::vector<std::string> major_names; // "FILE" or "FILE direction 1", for the report
    std::vector<std::string> minor_names;
    std::optional<double> major_speed;
    bool speed_given = false; // false: the p85 of the major files' vehicles
    bool isolated = false;
    bool adequate_trial = false;
    bool reduced = false;
    bool quarter_hours = false;
    int approaches = 4;
    std::vector<warrant_day_report> days;
};

// Table 4C-1's volume for the major street (both approaches) or one minor
// approach; `column` 0..3 is 100, 80, 70 or 56 %.
[[nodiscard]] int warrant_1_major_volume(bool condition_b, int major_lanes, int column);
[[nodiscard]] int warrant_1_minor_volume(bool condition_b, int major_lanes, int minor_lanes, int column);

// The minor approach's volume on the curve of Figure 4C-3 (4C-4 when
// `reduced`) at the major street's hourly volume; nullopt below the curve's
// first point (outside the curve).
[[nodiscard]] std::optional<double> warrant_3_curve(double major, int major_lanes, int minor_lanes,
                                                    bool reduced);

// Judges one day. Under --hours=quarter an hour is any four consecutive
// quarter hours of the day; the hours a condition counts never overlap: the
// qualifying window that ends earliest, then the next starting at or after
// its end.
// The reduced (70 %) rule: a major-street speed strictly above 40 mph
// (64.4 km/h), or a community under 10,000.
[[nodiscard]] bool reduced_warrant_rule(std::optional<double> major_speed, bool imperial, bool isolated);

[[nodiscard]] warrant_day_result judge_warrants(const warrant_inputs& in);

} // namespace tallycnv
