// The crossing gap study: the gaps in the traffic of every lane and
// direction, merged in time order, long enough for pedestrians to cross the
// road (the adequate gap), counted per 5-minute period of a crossing period
// on each full valid day; the MUTCD Warrant 5 gap criterion compares them
// with the period's minutes. Tallied per day and period, never per vehicle.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <vector>

namespace tallycnv {

inline constexpr int gap_periods_per_day = 288; // 5-minute periods

// The adequate gap in seconds: given, or the crossing width over the walking
// speed (3.5 ft/s, 1.0668 m/s, unless given) plus the start-up time plus the
// time of each row after the first.
[[nodiscard]] double adequate_gap_seconds(double given, double width, int rows, double walking_speed,
                                          double start_up, double row_time, bool imperial);

struct gap_tally {
    std::int64_t adequate_ms = 0;
    bool rear_to_front = false;
    // Adequate gaps by the day and the 5-minute period they start in.
    std::map<long, std::array<std::int64_t, gap_periods_per_day>> adequate;

    // A vehicle's front passing at `time_ms` (milliseconds since 1970-01-01)
    // and its rear `occupancy_ms` later. Vehicles a little out of time order
    // (lanes recorded apart) are put back in order within a bounded window.
    void add(std::int64_t time_ms, std::int64_t occupancy_ms);
    // Takes the vehicles still waiting in the window.
    void finish();

  private:
    using passage = std::pair<std::int64_t, std::int64_t>;
    std::priority_queue<passage, std::vector<passage>, std::greater<>> pending_;
    std::optional<passage> previous_;
    void take(const passage& p);
};

struct gap_study_period {
    int start = 0; // minutes of the day
    int end = 0;
    std::int64_t adequate_gaps = 0;
    int minutes = 5;
    bool deficient = false; // fewer adequate gaps than minutes
};

struct gap_study_day {
    std::string date; // "YYYY-MM-DD"
    std::vector<gap_study_period> periods;
    std::int64_t adequate_gaps = 0;
    int minutes = 0;
    bool criterion_met = false; // fewer adequate gaps than minutes in the crossing period
};

struct gap_study_result {
    double adequate_gap_s = 0;
    bool rear_to_front = false;
    int period_from = 0;
    int period_to = 1440;
    bool vehicle_file = true; // false: an interval file, which holds no gaps
    std::vector<gap_study_day> days;
};

// The crossing period's 5-minute periods on the given day (no gap: zeros).
[[nodiscard]] gap_study_day gap_day(const gap_tally& tally, long day, const std::string& date, int from,
                                    int to);

} // namespace tallycnv
