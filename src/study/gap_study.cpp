// The adequate gaps of the merged traffic stream, by day and 5-minute period.
#include "study/gap_study.h"

#include <cmath>

namespace tallycnv {

namespace {

constexpr std::int64_t ms_per_day = 86400000;
constexpr std::int64_t ms_per_period = 300000;
constexpr std::size_t reorder_window = 256; // vehicles held back to merge the lanes in time order

} // namespace

double adequate_gap_seconds(double given, double width, int rows, double walking_speed, double start_up,
                            double row_time, bool imperial) {
    if (given > 0) {
        return given;
    }
    const double speed = walking_speed > 0 ? walking_speed : (imperial ? 3.5 : 3.5 * 0.3048);
    return width / speed + start_up + row_time * (rows - 1);
}

void gap_tally::add(std::int64_t time_ms, std::int64_t occupancy_ms) {
    pending_.emplace(time_ms, occupancy_ms);
    if (pending_.size() > reorder_window) {
        take(pending_.top());
        pending_.pop();
    }
}

void gap_tally::finish() {
    while (!pending_.empty()) {
        take(pending_.top());
        pending_.pop();
    }
}

void gap_tally::take(const passage& p) {
    if (previous_) {
        // A vehicle later than the window allows is taken at the previous vehicle's time.
        const std::int64_t front = std::max(p.first, previous_->first);
        const std::int64_t start = previous_->first + (rear_to_front ? previous_->second : 0);
        if (front - start >= adequate_ms) {
            const std::int64_t day = start >= 0 ? start / ms_per_day : (start - ms_per_day + 1) / ms_per_day;
            const auto period = static_cast<std::size_t>((start - day * ms_per_day) / ms_per_period);
            auto& periods = adequate[static_cast<long>(day)];
            ++periods[period];
        }
        previous_ = passage{front, p.second};
    } else {
        previous_ = p;
    }
}

gap_study_day gap_day(const gap_tally& tally, long day, const std::string& date, int from, int to) {
    gap_study_day d;
    d.date = date;
    const auto found = tally.adequate.find(day);
    for (int start = from; start < to; start += 5) {
        gap_study_period p;
        p.start = start;
        p.end = start + 5;
        if (found != tally.adequate.end()) {
            p.adequate_gaps = found->second[static_cast<std::size_t>(start / 5)];
        }
        p.deficient = p.adequate_gaps < p.minutes;
        d.adequate_gaps += p.adequate_gaps;
        d.minutes += p.minutes;
        d.periods.push_back(p);
    }
    d.criterion_met = d.adequate_gaps < d.minutes;
    return d;
}

} // namespace tallycnv
