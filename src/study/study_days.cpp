// Calendar days and the volumes of a study: daily totals, full days, ADT,
// the mean hourly profiles and the peak hours with their peak-hour factor.
#include <algorithm>
#include <climits>
#include <cmath>

#include "study/study_compute.h"

namespace tallycnv {

namespace {

constexpr std::int64_t seconds_per_day = 86400;
constexpr std::size_t minutes_per_day = 1440;

// The minutes of the day windows may start and end at, and where the factor's parts end.
struct peak_grid {
    std::vector<bool> ends;
    bool quarters = true;
};

bool leap_year(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int month_length(int month, int year) {
    constexpr std::array<int, 12> lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap_year(year) ? 29 : lengths[static_cast<std::size_t>(month - 1)];
}

// A longer list of days than this (a damaged header's dates) lists only the days holding counts.
constexpr long max_listed_days = 3700;

} // namespace

// The first and last day of the recording to list: the span's days and every day holding counts.
std::vector<long> listed_days(const day_table& table, const recording_span& span) {
    std::vector<long> days;
    if (table.days.empty() && (!span.start || !span.stop)) {
        return days;
    }
    long first = table.days.empty() ? LONG_MAX : table.days.begin()->first;
    long last = table.days.empty() ? LONG_MIN : table.days.rbegin()->first;
    if (span.start && span.stop && *span.start <= *span.stop) {
        first = std::min<long>(first, static_cast<long>(*span.start / seconds_per_day));
        // A stop at midnight ends the day before.
        last = std::max<long>(last, static_cast<long>((*span.stop - 1) / seconds_per_day));
    }
    if (last >= first && last - first < max_listed_days) {
        for (long day = first; day <= last; ++day) {
            days.push_back(day);
        }
    } else {
        for (const auto& entry : table.days) {
            days.push_back(entry.first);
        }
    }
    return days;
}

namespace {

bool full_day(long day, const recording_span& span) {
    return span.covers(day * seconds_per_day, (day + 1) * seconds_per_day);
}

// The count from minute `from` up to minute `to`, from slots of `slot` minutes.
double count_between(const std::vector<double>& slots, int slot, int from, int to) {
    double sum = 0;
    for (int m = from; m < to; m += slot) {
        sum += slots[static_cast<std::size_t>(m / slot)];
    }
    return sum;
}

// The window's volume and busiest part; nullopt when it does not start and end
// on interval ends (with quarter hours: when one of them does not). The PHF
// comes from quarter hours only; other grids give the busiest interval by its
// hourly rate and no factor.
std::optional<study_peak> window_at(const std::vector<double>& slots, int slot, const peak_grid& grid,
                                    int start) {
    const int step = grid.quarters ? 15 : slot;
    study_peak peak;
    peak.start_minute = start;
    if (!grid.ends[static_cast<std::size_t>(start)]) {
        return std::nullopt;
    }
    double busiest_rate = 0;
    int part_start = start;
    for (int m = start + step; m <= start + 60; m += step) {
        if (!grid.ends[static_cast<std::size_t>(m)]) {
            if (grid.quarters) {
                return std::nullopt;
            }
            continue;
        }
        const double count = count_between(slots, slot, part_start, m);
        const int minutes = m - part_start;
        const double rate = count * 60 / minutes;
        if (part_start == start || rate > busiest_rate) {
            busiest_rate = rate;
            peak.largest_part = count;
            peak.largest_part_minutes = minutes;
        }
        peak.volume += count;
        part_start = m;
    }
    if (part_start != start + 60) {
        return std::nullopt;
    }
    if (grid.quarters && busiest_rate > 0) {
        peak.factor = std::round(peak.volume / busiest_rate * 1000) / 1000;
    }
    return peak;
}

// The busiest hour among the windows starting from minute `first` up to (not
// including) `last`, each ending by midnight.
std::optional<study_peak> busiest_hour(const std::vector<double>& slots, int slot, const peak_grid& grid,
                                       int first, int last) {
    std::optional<study_peak> best;
    for (int start = first; start < last && start + 60 <= static_cast<int>(minutes_per_day); start += slot) {
        const std::optional<study_peak> peak = window_at(slots, slot, grid, start);
        if (peak && peak->volume > 0 && (!best || peak->volume > best->volume)) {
            best = peak;
        }
    }
    return best;
}

study_peak_day peak_day(const std::vector<double>& slots, int slot, const peak_grid& grid) {
    study_peak_day day;
    day.am = busiest_hour(slots, slot, grid, 0, 12 * 60);
    day.pm = busiest_hour(slots, slot, grid, 12 * 60, static_cast<int>(minutes_per_day));
    day.day = day.am;
    if (day.pm && (!day.day || day.pm->volume > day.day->volume)) {
        day.day = day.pm;
    }
    return day;
}

} // namespace

std::optional<long> day_number(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > month_length(month, year)) {
        return std::nullopt;
    }
    // Days from civil: years counted from March so that the leap day ends a year.
    const int y = month <= 2 ? year - 1 : year;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

study_date date_of_day(long day) {
    const long z = day + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    study_date date;
    date.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    date.year = static_cast<int>(yoe + era * 400 + (date.month <= 2 ? 1 : 0));
    date.weekday = static_cast<int>(((day + 3) % 7 + 7) % 7); // 1970-01-01 was a Thursday
    return date;
}

std::optional<study_instant> instant_of(int year, int month, int day, int hour, int minute, int second) {
    const std::optional<long> number = day_number(year, month, day);
    if (number && hour == 24 && minute == 0 && second == 0) {
        return study_instant{date_of_day(*number + 1), 0, 0, 0}; // 24:00 ends the day
    }
    if (!number || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return study_instant{date_of_day(*number), hour, minute, second};
}

std::optional<std::int64_t> seconds_of(const std::optional<study_instant>& instant) {
    if (!instant) {
        return std::nullopt;
    }
    const study_date& d = instant->date;
    const std::optional<long> day = day_number(d.year, d.month, d.day);
    if (!day) {
        return std::nullopt;
    }
    return *day * seconds_per_day + instant->hour * 3600 + instant->minute * 60 + instant->second;
}

day_table::day_counts& day_table::at(long day) {
    if (cached != nullptr && cached_day == day) {
        return *cached;
    }
    day_counts& counts = days[day];
    if (counts.slots.empty()) {
        counts.slots.assign(static_cast<std::size_t>(groups * slots_per_day()), 0);
        counts.esal.assign(static_cast<std::size_t>(groups), 0);
        counts.checks.resize(static_cast<std::size_t>(groups));
        if (keeps_ends) {
            counts.ends.assign(minutes_per_day + 1, false);
            counts.ends[0] = true;
        }
    }
    cached_day = day;
    cached = &counts;
    return counts;
}

void day_table::end_at(long day, int minute) {
    day_counts& counts = at(day);
    counts.ends[static_cast<std::size_t>(minute)] = true;
}

void day_table::add(long day, int minute, int group, std::int64_t count) {
    day_counts& counts = at(day);
    const int slot = minute / slot_minutes;
    counts.slots[static_cast<std::size_t>(slot)] += count;
    if (group >= 1 && group < groups) {
        counts.slots[static_cast<std::size_t>(group * slots_per_day() + slot)] += count;
    }
}

recording_span combined_span(const std::vector<study_source>& sources) {
    recording_span span;
    for (const study_source& source : sources) {
        span.pieces.insert(span.pieces.end(), source.taken.begin(), source.taken.end());
    }
    std::sort(span.pieces.begin(), span.pieces.end());
    if (!span.pieces.empty()) {
        span.start = span.pieces.front().first;
        span.stop = span.pieces.front().second;
        for (const auto& piece : span.pieces) {
            span.stop = std::max(*span.stop, piece.second);
        }
    }
    return span;
}

std::optional<study_instant> instant_at(std::optional<std::int64_t> seconds) {
    if (!seconds) {
        return std::nullopt;
    }
    const std::int64_t day =
        *seconds >= 0 ? *seconds / seconds_per_day : (*seconds + 1) / seconds_per_day - 1;
    const auto rest = static_cast<int>(*seconds - day * seconds_per_day);
    return study_instant{date_of_day(static_cast<long>(day)), rest / 3600, rest / 60 % 60, rest % 60};
}

std::optional<double> share_of(std::int64_t part, std::int64_t whole) {
    if (whole <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(part) / static_cast<double>(whole);
}

void fill_volumes(study& s, const day_table& table, const recording_span& span, peak_parts parts) {
    const bool peaks = parts != peak_parts::none;
    peak_grid quarter_hours{std::vector<bool>(minutes_per_day + 1), true};
    for (std::size_t m = 0; m <= minutes_per_day; m += 15) {
        quarter_hours.ends[m] = true;
    }
    // A day's grid: the quarter hours, or the interval ends recorded for it.
    const auto grid_of = [&](const day_table::day_counts* counts) {
        if (!table.keeps_ends) {
            return quarter_hours;
        }
        peak_grid grid{std::vector<bool>(minutes_per_day + 1), parts == peak_parts::quarter_hours};
        if (counts != nullptr) {
            grid.ends = counts->ends;
        }
        return grid;
    };
    const int per_day = table.slots_per_day();
    const int slot = table.slot_minutes;
    const std::size_t groups = s.groups.size();
    const std::vector<std::int64_t> no_counts(static_cast<std::size_t>(table.groups * per_day), 0);

    // Per group: sums over the full days, the full weekdays and weekend days, hour by hour.
    struct sums {
        std::int64_t full = 0;
        std::int64_t weekdays = 0;
        std::array<std::int64_t, 24> weekday_hours{};
        std::array<std::int64_t, 24> weekend_hours{};
        std::vector<double> weekday_slots;
        double esal = 0;
    };
    std::vector<sums> totals(groups);
    for (sums& t : totals) {
        t.weekday_slots.assign(static_cast<std::size_t>(per_day), 0);
    }
    int full_listed = 0; // full days, valid or not
    int full_days = 0;   // full days that are valid
    int full_weekdays = 0;
    int full_weekend_days = 0;
    // The mean weekday's windows: on the ends every full weekday has.
    peak_grid weekday_grid = grid_of(nullptr);
    weekday_grid.ends.assign(minutes_per_day + 1, true);

    for (const long day : listed_days(table, span)) {
        const auto found = table.days.find(day);
        const std::vector<std::int64_t>& slots = found != table.days.end() ? found->second.slots : no_counts;
        study_day row;
        row.date = date_of_day(day);
        row.full_day = full_day(day, span);
        row.excluded_by_date = std::binary_search(s.excluded_days.begin(), s.excluded_days.end(), day);
        row.valid = !table.invalid.contains(day) && !row.excluded_by_date;
        // Only full days that passed the critical data-quality rules, and were not excluded by date,
        // enter the averages.
        const bool averaged = row.full_day && row.valid;
        if (found != table.days.end()) {
            row.esal = found->second.esal[0];
            row.esal_by_group.assign(found->second.esal.begin() + 1, found->second.esal.end());
            row.by_class = found->second.classes;
        }
        row.hours.assign(groups * 24, 0);
        if (s.keep_day_slots) {
            row.slots = slots;
        }
        const bool weekday = row.date.weekday < 5;
        peak_grid day_grid;
        full_listed += row.full_day ? 1 : 0;
        if (averaged) {
            ++full_days;
            ++(weekday ? full_weekdays : full_weekend_days);
            day_grid = grid_of(found != table.days.end() ? &found->second : nullptr);
            for (std::size_t m = 0; weekday && m <= minutes_per_day; ++m) {
                weekday_grid.ends[m] = weekday_grid.ends[m] && day_grid.ends[m];
            }
        }
        for (std::size_t g = 0; g < groups; ++g) {
            const auto first = slots.begin() + static_cast<std::ptrdiff_t>(g) * per_day;
            std::vector<double> group_slots(first, first + per_day);
            std::int64_t total = 0;
            for (int i = 0; i < per_day; ++i) {
                total += first[i];
            }
            if (g == 0) {
                row.total = total;
            } else {
                row.by_group.push_back(total);
            }
            for (int i = 0; i < per_day; ++i) {
                row.hours[g * 24 + static_cast<std::size_t>(i * slot / 60)] += first[i];
            }
            if (!averaged) {
                continue;
            }
            sums& t = totals[g];
            t.full += total;
            if (found != table.days.end()) {
                t.esal += found->second.esal[g];
            }
            for (int i = 0; i < per_day; ++i) {
                (weekday ? t.weekday_hours : t.weekend_hours)[static_cast<std::size_t>(i * slot / 60)] +=
                    first[i];
                if (weekday) {
                    t.weekday_slots[static_cast<std::size_t>(i)] += static_cast<double>(first[i]);
                }
            }
            if (weekday) {
                t.weekdays += total;
            }
            if (peaks) {
                study_peak_day peak = peak_day(group_slots, slot, day_grid);
                peak.date = row.date;
                s.groups[g].volume.peak_hours.push_back(peak);
            }
        }
        s.daily.push_back(std::move(row));
    }

    s.survey.full_days = full_listed;
    s.day_slot_minutes = slot;
    for (std::size_t g = 0; g < groups; ++g) {
        study_volume& v = s.groups[g].volume;
        const sums& t = totals[g];
        v.full_weekdays = full_weekdays;
        v.full_weekend_days = full_weekend_days;
        if (full_days > 0) {
            v.adt = static_cast<double>(t.full) / full_days;
        }
        if (full_weekdays > 0) {
            v.adt_weekday = static_cast<double>(t.weekdays) / full_weekdays;
        }
        for (std::size_t h = 0; h < 24; ++h) {
            if (full_weekdays > 0) {
                v.weekday_profile[h] = static_cast<double>(t.weekday_hours[h]) / full_weekdays;
            }
            if (full_weekend_days > 0) {
                v.weekend_profile[h] = static_cast<double>(t.weekend_hours[h]) / full_weekend_days;
            }
        }
        if (peaks && full_weekdays > 0) {
            std::vector<double> mean = t.weekday_slots;
            for (double& count : mean) {
                count /= full_weekdays;
            }
            v.peak_hours.push_back(peak_day(mean, slot, weekday_grid));
        }
        if (full_days > 0) {
            s.groups[g].esal_per_full_day = t.esal / full_days;
        }
    }
}

} // namespace tallycnv
