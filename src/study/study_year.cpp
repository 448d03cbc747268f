// A site's year: the AASHTO annual averages (the mean of the 84 month-weekday
// means, as the Traffic Monitoring Guide gives them), the design-hour
// factors, the seasonal factors and the factored volumes of a short count.
// Every figure takes the valid full days only.
#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>

#include "io/fatal.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

constexpr std::size_t ranked_kept = 200;
constexpr std::array<const char*, 7> weekday_keys = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// Sums and day counts of one month-weekday cell.
struct cell_sums {
    double sum = 0;
    int days = 0;
};

using cell_grid = std::array<std::array<cell_sums, 7>, 12>;

std::optional<double> mean_of(double sum, int n) {
    return n > 0 ? std::optional<double>(sum / n) : std::nullopt;
}

// The mean of the cells of `grid` for the months and weekdays asked for; null
// when one of those cells has no day.
std::optional<double> mean_of_means(const cell_grid& grid, unsigned months, unsigned weekdays) {
    double sum = 0;
    int cells = 0;
    for (std::size_t m = 0; m < 12; ++m) {
        for (std::size_t d = 0; d < 7; ++d) {
            if ((months >> m & 1U) == 0 || (weekdays >> d & 1U) == 0) {
                continue;
            }
            if (grid[m][d].days == 0) {
                return std::nullopt;
            }
            sum += grid[m][d].sum / grid[m][d].days;
            ++cells;
        }
    }
    return mean_of(sum, cells);
}

constexpr unsigned all_months = 0xFFF;
constexpr unsigned all_weekdays = 0x7F;

std::optional<double> ratio(std::optional<double> a, std::optional<double> b) {
    if (!a || !b || *b <= 0) {
        return std::nullopt;
    }
    return *a / *b;
}

// One valid hour of the year: its volume, when it was and how it splits by group.
struct ranked_hour {
    std::int64_t volume;
    const study_day* day;
    int hour;
};

study_year year_figures(const study& s, const std::vector<const study_day*>& days, int year,
                        unsigned aawdt_weekdays) {
    study_year y;
    y.year = year;
    cell_grid volume{};
    std::map<std::size_t, cell_grid> classes;
    std::vector<ranked_hour> hours;
    double total = 0;
    double esal = 0;
    std::int64_t heavy = 0;
    std::int64_t classified = 0;
    for (const study_day* day : days) {
        y.excluded_days += day->excluded_by_date ? 1 : 0;
        if (!day->full_day || !day->valid) {
            continue;
        }
        const auto m = static_cast<std::size_t>(day->date.month - 1);
        const auto d = static_cast<std::size_t>(day->date.weekday);
        ++y.valid_days;
        ++y.month_days[m];
        total += static_cast<double>(day->total);
        esal += day->esal;
        volume[m][d].sum += static_cast<double>(day->total);
        ++volume[m][d].days;
        for (int h = 0; h < 24 && static_cast<std::size_t>(h) < day->hours.size(); ++h) {
            hours.push_back({day->hours[static_cast<std::size_t>(h)], day, h});
        }
        if (s.has_class) {
            for (std::size_t code = 1; code <= static_cast<std::size_t>(s.class_count); ++code) {
                const std::int64_t n = code < day->by_class.size() ? day->by_class[code] : 0;
                cell_sums& c = classes[code][m][d];
                c.sum += static_cast<double>(n);
                ++c.days;
                classified += n;
                heavy += code >= 4 ? n : 0;
            }
        }
    }
    y.adt_mean = mean_of(total, y.valid_days);
    for (std::size_t m = 0; m < 12; ++m) {
        for (std::size_t d = 0; d < 7; ++d) {
            y.madw[m][d] = mean_of(volume[m][d].sum, volume[m][d].days);
            y.aadt_missing_cells += volume[m][d].days == 0 ? 1 : 0;
        }
        y.madt[m] = mean_of_means(volume, 1U << m, all_weekdays);
    }
    for (std::size_t d = 0; d < 7; ++d) {
        y.aadw[d] = mean_of_means(volume, all_months, 1U << d);
    }
    y.aadt = mean_of_means(volume, all_months, all_weekdays);
    y.aawdt = mean_of_means(volume, all_months, aawdt_weekdays);
    for (std::size_t m = 0; m < 12; ++m) {
        y.monthly_factor[m] = ratio(y.aadt, y.madt[m]);
        for (std::size_t d = 0; d < 7; ++d) {
            y.month_weekday_factor[m][d] = ratio(y.aadt, y.madw[m][d]);
        }
    }
    for (std::size_t d = 0; d < 7; ++d) {
        y.weekday_factor[d] = ratio(y.aadt, y.aadw[d]);
    }

    // Highest first; of equal hours the earlier ranks first.
    std::stable_sort(hours.begin(), hours.end(),
                     [](const ranked_hour& a, const ranked_hour& b) { return a.volume > b.volume; });
    for (std::size_t i = 0; i < hours.size() && i < ranked_kept; ++i) {
        y.ranked_hours.push_back(hours[i].volume);
    }
    const auto k_of = [&](std::size_t n) -> std::optional<double> {
        if (hours.size() < n) {
            return std::nullopt;
        }
        return ratio(static_cast<double>(hours[n - 1].volume), y.aadt);
    };
    y.k30 = k_of(30);
    y.k50 = k_of(50);
    y.k100 = k_of(100);
    if (hours.size() >= 30) {
        const ranked_hour& h = hours[29];
        y.dhv30 = h.volume;
        // Two directions (or two channels): the heavier one's share of the design hour.
        if (s.groups.size() == 3 && h.day->hours.size() >= 72 && h.volume > 0) {
            const auto hour = static_cast<std::size_t>(h.hour);
            const std::int64_t heavier = std::max(h.day->hours[24 + hour], h.day->hours[48 + hour]);
            y.d30 = static_cast<double>(heavier) / static_cast<double>(h.volume);
        }
    }
    for (const auto& [code, grid] : classes) {
        y.by_class.push_back({std::to_string(code), mean_of_means(grid, all_months, all_weekdays)});
    }
    if (s.class_count >= 13) {
        y.heavy_share = share_of(heavy, classified);
    }
    if (s.weigh_site && y.valid_days > 0) {
        y.esal = esal;
        y.esal_per_day = esal / y.valid_days;
    }
    return y;
}

// The factor of a month and weekday in the run's table, or null.
const factor_row* factor_for(const year_settings& year, bool grouped, int month, int weekday) {
    for (const factor_row& row : year.factors) {
        if (row.month == month && row.weekday == weekday && (!grouped || row.group == year.factor_group)) {
            return &row;
        }
    }
    return nullptr;
}

void apply_factors(study& s, const year_settings& year) {
    const bool grouped = std::any_of(year.factors.begin(), year.factors.end(),
                                     [](const factor_row& r) { return !r.group.empty(); });
    double sum = 0;
    int days = 0;
    for (study_day& day : s.daily) {
        if (!day.full_day || !day.valid) {
            continue;
        }
        const factor_row* row = factor_for(year, grouped, day.date.month, day.date.weekday);
        if (row == nullptr) {
            std::string what = "month " + std::to_string(day.date.month) + ", weekday " +
                               weekday_keys[static_cast<std::size_t>(day.date.weekday)];
            if (grouped) {
                what += ", group \"" + year.factor_group + "\"";
            }
            fail(1, "\nError : The factor table " + year.factors_file + " has no row for " + what + "\n");
        }
        day.factored = static_cast<double>(day.total) * row->factor;
        sum += *day.factored;
        ++days;
    }
    if (!s.groups.empty()) {
        s.groups[0].volume.aadt_estimate = mean_of(sum, days);
    }
}

} // namespace

void fill_annual(study& s, const run_settings& settings) {
    std::map<int, std::vector<const study_day*>> years;
    for (const study_day& day : s.daily) {
        years[day.date.year].push_back(&day);
    }
    // A year without a valid full day has no figure to give: it is not listed.
    for (const auto& [year, days] : years) {
        study_year y = year_figures(s, days, year, settings.year.aawdt_weekdays);
        if (y.valid_days > 0) {
            s.annual.push_back(std::move(y));
        }
    }
    if (!settings.year.factors.empty()) {
        apply_factors(s, settings.year);
    }
}

void write_study_factors(const run_context& ctx, const study& s) {
    // The latest year with an AADT: the factors of a site's most recent full year.
    const study_year* chosen = nullptr;
    for (const study_year& y : s.annual) {
        if (y.aadt) {
            chosen = &y;
        }
    }
    if (chosen == nullptr) {
        fail(1, "\nError : No year of the recording has a valid full day in each of its 84 month-weekday "
                "cells: no factors\n");
    }
    const std::string& group = ctx.settings.year.factor_group;
    std::string text = group.empty() ? "month,weekday,factor\n" : "group,month,weekday,factor\n";
    for (std::size_t m = 0; m < 12; ++m) {
        for (std::size_t d = 0; d < 7; ++d) {
            char row[96];
            std::snprintf(row, sizeof row, "%zu,%s,%.6f\n", m + 1, weekday_keys[d],
                          *chosen->month_weekday_factor[m][d]);
            if (!group.empty()) {
                text += group + ",";
            }
            text += row;
        }
    }
    ctx.out.write(text);
}

} // namespace tallycnv
