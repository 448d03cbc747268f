// The signal warrants of a study run: each named count file is read into its
// study, the approaching direction's quarter-hour volumes are taken on the
// full valid days common to every file, and each day is judged.
#include <algorithm>
#include <map>
#include <set>

#include "io/fatal.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

study study_of_file(const run_context& ctx, const std::string& name) {
    std::optional<byte_stream> input = byte_stream::open(name);
    if (!input) {
        fail(1, "\nError : File " + name + " does not exist\n");
    }
    k479_defn header{};
    read_header_block(*input, header);
    if (header.type != 'V' && header.type != 'm') {
        fail(2, "\nError : Invalid or corrupt input file " + name + "\n");
    }
    study s = make_study(ctx, header);
    if (header.type == 'V') {
        compute_vehicle_study(ctx, *input, header, s);
    } else {
        compute_interval_study(ctx, *input, header, s);
    }
    return s;
}

// One approach: its file's study and the group of the approaching direction (0: every direction).
struct approach_counts {
    const study* s = nullptr;
    std::size_t group = 0;
    std::map<long, const study_day*> days; // the full valid days
};

approach_counts counts_of(const std::map<std::string, study>& studies, const warrant_approach& a,
                          bool quarters) {
    approach_counts c;
    c.s = &studies.at(a.file);
    if (a.direction != 0) {
        const std::string key = std::to_string(a.direction);
        while (c.group < c.s->groups.size() && (c.group == 0 || c.s->groups[c.group].key != key)) {
            ++c.group;
        }
        if (c.group == c.s->groups.size()) {
            fail(1, "\nError : File " + a.file + " has no direction " + key + "\n");
        }
    }
    if (quarters && 15 % c.s->day_slot_minutes != 0) {
        fail(1, "\nError : --hours=quarter needs counts in periods of 15 minutes or less: " + a.file + "\n");
    }
    for (const study_day& day : c.s->daily) {
        const std::optional<long> number = day_number(day.date.year, day.date.month, day.date.day);
        if (day.full_day && day.valid && number && !day.slots.empty()) {
            c.days[*number] = &day;
        }
    }
    return c;
}

// The approach's volumes of a day per quarter hour; a slot longer than a
// quarter hour counts in the quarter it starts (clock hours only).
quarter_volumes quarters_of(const approach_counts& c, long day) {
    quarter_volumes q{};
    const int minutes = c.s->day_slot_minutes;
    const std::size_t per_day = static_cast<std::size_t>(1440 / minutes);
    const std::vector<std::int64_t>& slots = c.days.at(day)->slots;
    for (std::size_t i = 0; i < per_day; ++i) {
        q[i * static_cast<std::size_t>(minutes) / 15] += static_cast<double>(slots[c.group * per_day + i]);
    }
    return q;
}

void add_to(quarter_volumes& sum, const quarter_volumes& q, double scale) {
    for (std::size_t i = 0; i < sum.size(); ++i) {
        sum[i] += q[i] * scale;
    }
}

std::array<double, 24> hourly(const quarter_volumes& q) {
    std::array<double, 24> hours{};
    for (std::size_t i = 0; i < q.size(); ++i) {
        hours[i / 4] += q[i];
    }
    return hours;
}

std::string approach_name(const warrant_approach& a, bool interval_file) {
    if (a.direction == 0) {
        return a.file + " (both directions)";
    }
    return a.file + (interval_file ? " channel " : " direction ") + std::to_string(a.direction);
}

} // namespace

warrant_report judge_study_warrants(const run_context& ctx, bool imperial) {
    const warrant_settings& w = ctx.settings.warrants;
    std::map<std::string, study> studies;
    for (const auto* list : {&w.major, &w.minor}) {
        for (const warrant_approach& a : *list) {
            if (studies.find(a.file) == studies.end()) {
                studies.emplace(a.file, study_of_file(ctx, a.file));
            }
        }
    }
    warrant_report r;
    r.major_lanes = w.major_lanes;
    r.isolated = w.isolated;
    r.adequate_trial = w.adequate_trial;
    r.quarter_hours = w.quarter_hours;
    std::vector<approach_counts> major;
    std::vector<approach_counts> minor;
    int approaches = 0;
    for (const warrant_approach& a : w.major) {
        major.push_back(counts_of(studies, a, w.quarter_hours));
        r.major_names.push_back(approach_name(a, major.back().s->survey.interval_file));
        approaches += a.direction == 0 ? 2 : 1;
    }
    for (std::size_t i = 0; i < w.minor.size(); ++i) {
        minor.push_back(counts_of(studies, w.minor[i], w.quarter_hours));
        r.minor_names.push_back(approach_name(w.minor[i], minor.back().s->survey.interval_file));
        r.minor_lanes.push_back(w.minor_lanes.empty() ? 1
                                                      : w.minor_lanes[std::min(i, w.minor_lanes.size() - 1)]);
        ++approaches;
    }
    r.approaches = std::clamp(approaches, 3, 4);

    // The major street's speed: given, or the p85 of its approaches' vehicles.
    if (w.major_speed) {
        r.major_speed = w.major_speed;
        r.speed_given = true;
    } else {
        std::vector<std::int64_t> speeds;
        std::int64_t total = 0;
        for (const approach_counts& c : major) {
            const study_histogram& h = c.s->groups[c.group].speed.histogram;
            speeds.resize(std::max(speeds.size(), h.counts.size()));
            for (std::size_t v = 0; v < h.counts.size(); ++v) {
                speeds[v] += h.counts[v];
                total += h.counts[v];
            }
        }
        r.major_speed = total > 0 ? percentile_of(speeds, total, 85) : std::nullopt;
    }
    r.reduced = reduced_warrant_rule(r.major_speed, imperial, w.isolated);

    // The full valid days every file holds.
    std::set<long> common;
    for (const auto& entry : major.front().days) {
        common.insert(entry.first);
    }
    for (const auto* list : {&major, &minor}) {
        for (const approach_counts& c : *list) {
            std::erase_if(common, [&](long day) { return c.days.find(day) == c.days.end(); });
        }
    }
    if (!w.day.empty()) {
        const std::optional<long> asked = day_number(
            std::stoi(w.day.substr(0, 4)), std::stoi(w.day.substr(5, 2)), std::stoi(w.day.substr(8, 2)));
        if (!asked || common.count(*asked) == 0) {
            fail(1, "\nError : Day " + w.day + " is not a full valid day of every warrant file\n");
        }
        common = {*asked};
    }

    warrant_inputs in;
    in.major_lanes = w.major_lanes;
    in.minor_lanes = r.minor_lanes;
    in.reduced = r.reduced;
    in.adequate_trial = w.adequate_trial;
    in.quarter_hours = w.quarter_hours;
    in.approaches = r.approaches;
    const auto judge = [&](const std::string& name) {
        warrant_day_report d;
        d.day = name;
        d.major_hourly = hourly(in.major);
        for (const quarter_volumes& q : in.minor) {
            d.minor_hourly.push_back(hourly(q));
        }
        d.result = judge_warrants(in);
        r.days.push_back(std::move(d));
    };
    std::vector<long> weekdays;
    for (const long day : common) {
        in.major = {};
        for (const approach_counts& c : major) {
            add_to(in.major, quarters_of(c, day), 1);
        }
        in.minor.clear();
        for (const approach_counts& c : minor) {
            in.minor.push_back(quarters_of(c, day));
        }
        const study_date date = date_of_day(day);
        judge(std::to_string(date.year) + "-" + (date.month < 10 ? "0" : "") + std::to_string(date.month) +
              "-" + (date.day < 10 ? "0" : "") + std::to_string(date.day));
        if (date.weekday < 5) {
            weekdays.push_back(day);
        }
    }
    if (w.day.empty() && !weekdays.empty()) {
        const double scale = 1.0 / static_cast<double>(weekdays.size());
        in.major = {};
        in.minor.assign(minor.size(), quarter_volumes{});
        for (const long day : weekdays) {
            for (const approach_counts& c : major) {
                add_to(in.major, quarters_of(c, day), scale);
            }
            for (std::size_t a = 0; a < minor.size(); ++a) {
                add_to(in.minor[a], quarters_of(minor[a], day), scale);
            }
        }
        judge("mean weekday");
    }
    return r;
}

} // namespace tallycnv
