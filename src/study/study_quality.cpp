// The judgement of a study's data before any average is taken: each day and
// direction (or channel) is checked by the data-quality rules over the hours
// that lie inside the recording; a day a critical rule fired on leaves ADT,
// the profiles, the peak hours and every other average. Also the flags as a
// CSV table (-fflags) and the line standard error gets.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "io/csv_format.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

constexpr std::int64_t seconds_per_day = 86400;

// The hourly volumes of one group on one day, and which hours lie wholly inside the recording.
struct day_hours {
    std::array<std::int64_t, 24> volume{};
    std::array<bool, 24> inside{};
};

day_hours hours_of(const day_table& table, const day_table::day_counts* counts, int group, long day,
                   const recording_span& span) {
    day_hours h;
    const int per_day = table.slots_per_day();
    if (counts != nullptr) {
        for (int i = 0; i < per_day; ++i) {
            h.volume[static_cast<std::size_t>(i * table.slot_minutes / 60)] +=
                counts->slots[static_cast<std::size_t>(group * per_day + i)];
        }
    }
    for (std::size_t hour = 0; hour < 24; ++hour) {
        const std::int64_t from = day * seconds_per_day + static_cast<std::int64_t>(hour) * 3600;
        h.inside[hour] = span.covers(from, from + 3600);
    }
    return h;
}

struct judge {
    study& s;
    const quality_settings& rules;
    study_date date;

    void flag(qc_rule rule, const std::string& group, int from, int to, double value, double threshold) {
        s.quality.flags.push_back(quality_flag{rule, date, group, from, to, value, threshold});
    }

    // Runs of inside hours: each starts on an hour where `in_run(hour, hour)` holds and goes on while
    // `in_run(hour, first_hour_of_run)` does; `found(from, to)` gets each.
    template <class InRun, class Found> static void runs(const day_hours& h, InRun in_run, Found found) {
        std::size_t hour = 0;
        while (hour < 24) {
            if (!h.inside[hour] || !in_run(hour, hour)) {
                ++hour;
                continue;
            }
            std::size_t to = hour + 1;
            while (to < 24 && h.inside[to] && in_run(to, hour)) {
                ++to;
            }
            found(hour, to);
            hour = to;
        }
    }

    // The rules over hourly volumes: empty hours, over capacity, a stuck count, a night above noon.
    void hourly(const day_hours& h, const std::string& group, int lanes) {
        const double zero = rules[qc_rule::zero_hours];
        runs(
            h, [&](std::size_t hour, std::size_t) { return h.volume[hour] == 0; },
            [&](std::size_t from, std::size_t to) {
                if (static_cast<double>(to - from) >= zero) {
                    flag(qc_rule::zero_hours, group, static_cast<int>(from * 60), static_cast<int>(to * 60),
                         static_cast<double>(to - from), zero);
                }
            });
        const double capacity = rules[qc_rule::over_capacity];
        const auto per_lane = [&](std::size_t hour) { return static_cast<double>(h.volume[hour]) / lanes; };
        runs(
            h, [&](std::size_t hour, std::size_t) { return per_lane(hour) > capacity; },
            [&](std::size_t from, std::size_t to) {
                double most = 0;
                for (std::size_t hour = from; hour < to; ++hour) {
                    most = std::max(most, per_lane(hour));
                }
                flag(qc_rule::over_capacity, group, static_cast<int>(from * 60), static_cast<int>(to * 60),
                     most, capacity);
            });
        const double repeated = rules[qc_rule::repeated_hours];
        runs(
            h,
            [&](std::size_t hour, std::size_t from) {
                return h.volume[hour] > 0 && h.volume[hour] == h.volume[from];
            },
            [&](std::size_t from, std::size_t to) {
                if (static_cast<double>(to - from) >= repeated) {
                    flag(qc_rule::repeated_hours, group, static_cast<int>(from * 60),
                         static_cast<int>(to * 60), static_cast<double>(to - from), repeated);
                }
            });
        const double ratio = rules[qc_rule::night_over_noon];
        const double noon = static_cast<double>(h.volume[13]) * ratio;
        if (h.inside[1] && h.inside[13] && h.volume[1] > 0 && static_cast<double>(h.volume[1]) > noon) {
            flag(qc_rule::night_over_noon, group, 60, 120, static_cast<double>(h.volume[1]), noon);
        }
    }

    // The rules over what the walk counted on the day.
    void counted(const day_checks& c, const std::string& group, bool vehicles) {
        const double negative = rules[qc_rule::negative_count];
        if (c.negative > 0 && static_cast<double>(c.negative) >= negative) {
            flag(qc_rule::negative_count, group, c.lowest_end - c.lowest_minutes, c.lowest_end,
                 static_cast<double>(c.lowest), negative);
        }
        if (!vehicles) {
            return;
        }
        const double back = rules[qc_rule::clock];
        if (c.largest_back > back) {
            flag(qc_rule::clock, group, c.back_to, c.back_from, c.largest_back, back);
        }
        const double unclassified = rules[qc_rule::unclassified];
        if (c.unclassified > 0 && c.classed > 0) {
            const double share = 100.0 * static_cast<double>(c.unclassified) / static_cast<double>(c.classed);
            if (share > unclassified) {
                flag(qc_rule::unclassified, group, 0, 1440, std::round(share * 10) / 10, unclassified);
            }
        }
        const double implausible = rules[qc_rule::implausible_vehicle];
        if (c.implausible > 0 && static_cast<double>(c.implausible) >= implausible) {
            flag(qc_rule::implausible_vehicle, group, 0, 1440, static_cast<double>(c.implausible),
                 implausible);
        }
        const double invalid = rules[qc_rule::invalid_time];
        if (c.invalid_time > 0 && static_cast<double>(c.invalid_time) >= invalid) {
            flag(qc_rule::invalid_time, group, 0, 1440, static_cast<double>(c.invalid_time), invalid);
        }
    }
};

std::string date_text(const study_date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
    return text;
}

std::string minute_text(int minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 100, minutes % 60);
    return text;
}

std::string number_text(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", x);
    return text;
}

// A text as one CSV field.
std::string csv_field(std::string_view text) {
    std::string field(2 * text.size() + 2, ' ');
    field.resize(static_cast<std::size_t>(put_csv_text(field.data(), text) - field.data()));
    return field;
}

} // namespace

std::string_view rule_name(qc_rule rule) {
    return qc_rules[static_cast<std::size_t>(rule)].name;
}

bool rule_critical(qc_rule rule) {
    return qc_rules[static_cast<std::size_t>(rule)].critical;
}

void judge_days(study& s, day_table& table, const recording_span& span, const quality_walk& walk) {
    study_quality& q = s.quality;
    const quality_settings& rules = q.rules;
    const bool vehicles = !s.survey.interval_file;
    // The groups judged hour by hour: the directions or channels in use, else the site as a whole.
    std::vector<std::size_t> judged;
    for (std::size_t g = 1; g < s.groups.size(); ++g) {
        if (s.groups[g].volume.total != 0) {
            judged.push_back(g);
        }
    }
    if (judged.empty()) {
        judged.push_back(0);
    }
    const bool split = walk.directions && s.groups.size() > 2 && s.groups[1].volume.total != 0 &&
                       s.groups[2].volume.total != 0;
    for (const long day : listed_days(table, span)) {
        const auto found = table.days.find(day);
        const day_table::day_counts* counts = found != table.days.end() ? &found->second : nullptr;
        judge j{s, rules, date_of_day(day)};
        const std::size_t before = q.flags.size();
        for (const std::size_t g : judged) {
            const std::string key = g == 0 ? std::string() : s.groups[g].key;
            if (walk.hourly) {
                const int lanes = g < walk.lanes.size() ? std::max(1, walk.lanes[g]) : 1;
                j.hourly(hours_of(table, counts, static_cast<int>(g), day, span), key, lanes);
            }
            if (!vehicles && counts != nullptr) {
                j.counted(counts->checks[g], key, false);
            }
        }
        if (vehicles && counts != nullptr) {
            j.counted(counts->checks[0], "", true);
        }
        // A partial day may hold a tidal rush hour alone: the split is judged on full days.
        const bool whole_day = span.covers(day * seconds_per_day, (day + 1) * seconds_per_day);
        if (split && whole_day && counts != nullptr) {
            const int per_day = table.slots_per_day();
            std::array<std::int64_t, 2> by{};
            for (std::size_t d = 0; d < 2; ++d) {
                for (int i = 0; i < per_day; ++i) {
                    by[d] += counts->slots[static_cast<std::size_t>(static_cast<int>(d + 1) * per_day + i)];
                }
            }
            const double threshold = rules[qc_rule::directional_split];
            if (by[0] + by[1] > 0) {
                const double lighter =
                    100.0 * static_cast<double>(std::min(by[0], by[1])) / static_cast<double>(by[0] + by[1]);
                if (lighter < threshold) {
                    j.flag(qc_rule::directional_split, "", 0, 1440, std::round(lighter * 10) / 10, threshold);
                }
            }
        }
        const bool critical =
            std::any_of(q.flags.begin() + static_cast<std::ptrdiff_t>(before), q.flags.end(),
                        [](const quality_flag& f) { return rule_critical(f.rule); });
        if (critical) {
            table.invalid.insert(day);
            q.excluded_days.push_back(j.date);
            q.critical = true;
        }
    }
    q.undated_vehicles = walk.undated;
    const double invalid = rules[qc_rule::invalid_time];
    if (walk.undated > 0 && static_cast<double>(walk.undated) >= invalid) {
        q.flags.push_back(quality_flag{qc_rule::invalid_time, std::nullopt, "", 0, 1440,
                                       static_cast<double>(walk.undated), invalid});
    }
}

std::string quality_notice(const study& s, std::string_view file_name) {
    const study_quality& q = s.quality;
    std::string parts;
    if (q.cut_short) {
        parts = "cut short at ";
        if (q.cut_short->at) {
            const study_instant& t = *q.cut_short->at;
            parts += date_text(t.date) + " " + minute_text(t.hour * 60 + t.minute) + " (byte ";
        } else {
            parts += "(byte ";
        }
        parts += std::to_string(q.cut_short->byte_offset) + ")";
    }
    if (!q.excluded_days.empty()) {
        const std::size_t n = q.excluded_days.size();
        parts += (parts.empty() ? "" : "; ") + std::to_string(n) + (n == 1 ? " day" : " days") +
                 " excluded by data-quality rules";
    }
    if (parts.empty()) {
        return parts;
    }
    return "tallycnv: " + std::string(file_name) + ": " + parts + "\n";
}

void write_study_flags(const run_context& ctx, const study& s) {
    report_sink& out = ctx.out;
    out.write("site,rule,level,date,direction,from,to,value,threshold\n");
    if (s.header_only) {
        return;
    }
    const std::string site = csv_field(utf8_from_latin1(s.survey.site));
    const study_quality& q = s.quality;
    if (q.cut_short) {
        // The cut itself is a finding too: where the data end, against what the header promised.
        const study_cut_short& c = *q.cut_short;
        out.write(site + ",cut_short,critical," + (c.at ? date_text(c.at->date) : "") + ",," +
                  (c.at ? minute_text(c.at->hour * 60 + c.at->minute) : "") + ",," +
                  std::to_string(c.byte_offset) + "," +
                  (c.promised_offset != 0 ? std::to_string(c.promised_offset) : "") + "\n");
    }
    for (const quality_flag& f : q.flags) {
        out.write(site + "," + std::string(rule_name(f.rule)) + "," +
                  (rule_critical(f.rule) ? "critical" : "caution") + "," +
                  (f.date ? date_text(*f.date) : "") + "," + f.group + "," + minute_text(f.from_minute) +
                  "," + minute_text(f.to_minute) + "," + number_text(f.value) + "," +
                  number_text(f.threshold) + "\n");
    }
}

} // namespace tallycnv
