#include "study/study_sections.h"

#include <algorithm>
#include <cstdio>

#include "study/warrant_sections.h"

namespace tallycnv {

namespace {

std::string count_text(std::int64_t n) {
    return std::to_string(n);
}

// A count that may be a mean over days: no decimals when it is whole.
std::string amount_text(double v) {
    return fixed(v, v == static_cast<double>(static_cast<std::int64_t>(v)) ? 0 : 1);
}

std::string instant_text(const study_instant& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%s %s %02d:%02d:%02d", date_text(t.date).c_str(),
                  weekday_name(t.date).c_str(), t.hour, t.minute, t.second);
    return text;
}

std::string clock_text(int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60) % 100, minute % 60);
    return text;
}

// The groups after "all": directions or channels.
std::vector<const study_group*> parts(const study& s) {
    std::vector<const study_group*> list;
    for (std::size_t i = 1; i < s.groups.size(); ++i) {
        list.push_back(&s.groups[i]);
    }
    return list;
}

// Short column headings of the groups: "All", "Dir 1", "Ch 2".
std::string group_column(const study& s, const study_group& g) {
    if (g.key == "all") {
        return "All";
    }
    return (s.survey.interval_file ? "Ch " : "Dir ") + g.key;
}

std::vector<std::string> group_columns(const study& s, const std::string& first) {
    std::vector<std::string> columns{first};
    for (const study_group& g : s.groups) {
        columns.push_back(group_column(s, g));
    }
    return columns;
}

study_section survey_section(const study& s) {
    const study_survey& v = s.survey;
    study_section section{"survey", "Survey", {}, {}};
    text_table t;
    t.heading_row = false;
    const auto row = [&](const std::string& name, const std::string& value) {
        t.rows.push_back({name, value});
    };
    row("File", v.interval_file ? "interval counts" : "vehicle by vehicle");
    row("Site", v.site);
    row("Location", v.location);
    row("Instrument", v.instrument);
    if (!v.interval_file) {
        row("Class scheme", v.class_scheme);
    }
    row("Start", v.start ? instant_text(*v.start) : "-");
    row("Stop", v.stop ? instant_text(*v.stop) + (v.stop_at_last_record ? " (last record)" : "") : "-");
    if (s.quality.cut_short) {
        const study_cut_short& c = *s.quality.cut_short;
        std::string promised;
        if (c.promised_offset != 0) {
            promised = " where the header says they end at byte " + std::to_string(c.promised_offset);
        }
        if (c.promised_records != 0) {
            promised += std::string(promised.empty() ? " where the header counts " : " and counts ") +
                        std::to_string(c.promised_records) + (c.blocks ? " blocks" : " records");
        }
        section.notes.push_back("CUT SHORT: the data stop at byte " + std::to_string(c.byte_offset) +
                                " after " + std::to_string(c.records) + (c.blocks ? " blocks" : " records") +
                                promised + "; the recording is taken to end at its last complete record" +
                                (c.at ? " (" + instant_text(*c.at) + ")" : "") +
                                " and the days after it are outside it.");
    } else if (v.stop_at_last_record) {
        section.notes.push_back("The file was not closed correctly: the recording is taken to end at its "
                                "last record.");
    }
    if (v.interval_file) {
        row("Interval", std::to_string(v.interval_minutes) + " min");
        if (v.peak_interval_minutes > 0) {
            row("Peak interval", std::to_string(v.peak_interval_minutes) + " min");
        }
        row("Channels", std::to_string(v.channels));
        row("Counts", v.count_only ? "volumes only" : "binned");
    }
    std::string units = s.units.speed + ", " + s.units.length;
    if (!v.interval_file) {
        units += ", " + s.units.weight + ", " + s.units.time;
    }
    row("Units", units);
    if (!v.interval_file && !s.header_only) {
        std::string unmeasured;
        if (!s.axles_not_measured.empty()) {
            unmeasured = "axle counts, spacings and wheelbases (" + s.axles_not_measured + ")";
        }
        if (!s.weight_not_measured.empty()) {
            unmeasured += (unmeasured.empty() ? "" : "; ") + std::string("weights and ESAL (") +
                          s.weight_not_measured + ")";
        }
        if (!unmeasured.empty()) {
            section.notes.push_back("Not measured: " + unmeasured + ".");
        }
    }
    if (s.speed_limit > 0) {
        row("Speed limit", amount_text(s.speed_limit) + " " + s.units.speed);
    }
    if (!s.header_only) {
        row("Full days", std::to_string(v.full_days));
        row(v.interval_file ? "Total count" : "Vehicles", count_text(v.vehicles));
    }
    section.tables.push_back(std::move(t));
    if (!s.header_only && !v.events.empty()) {
        text_table events{"", {"Event", "Count"}, {}};
        for (const study_count& e : v.events) {
            events.rows.push_back({e.key, count_text(e.count)});
        }
        section.tables.push_back(std::move(events));
    }
    return section;
}

study_section quality_section(const study& s) {
    const study_quality& q = s.quality;
    study_section section{"quality", "Data quality", {}, {}};
    section.notes.push_back("Each day and direction is judged over its hours inside the recording; a day a "
                            "critical rule fires on is excluded from ADT, the profiles, the peak hours and "
                            "every other average.");
    text_table flags{"", {"Date", "Rule", "Level", "Where", "From", "To", "Value", "Threshold"}, {}};
    for (const quality_flag& f : q.flags) {
        std::string where = "all";
        if (!f.group.empty()) {
            where = (s.survey.interval_file ? "Ch " : "Dir ") + f.group;
        }
        flags.rows.push_back({f.date ? date_text(*f.date) : "undated", std::string(rule_name(f.rule)),
                              rule_critical(f.rule) ? "critical" : "caution", where,
                              clock_text(f.from_minute), clock_text(f.to_minute), amount_text(f.value),
                              amount_text(f.threshold)});
    }
    if (flags.rows.empty()) {
        section.notes.push_back("No rule fired.");
    } else {
        section.tables.push_back(std::move(flags));
    }
    if (!q.excluded_days.empty()) {
        std::string days;
        for (const study_date& d : q.excluded_days) {
            days += (days.empty() ? "" : ", ") + date_text(d);
        }
        section.notes.push_back("Days excluded: " + days + ".");
    }
    if (q.implausible_vehicles > 0) {
        section.notes.push_back(count_text(q.implausible_vehicles) +
                                " vehicles of implausible speed or length are counted in the volumes and "
                                "left out of the speed and length figures.");
    }
    if (q.undated_vehicles > 0) {
        section.notes.push_back(
            count_text(q.undated_vehicles) +
            " vehicles of an impossible date or time are counted in the totals and in no day.");
    }
    text_table rules{"", {"Rule", "Level", "Threshold"}, {}};
    for (std::size_t i = 0; i < qc_rule_count; ++i) {
        rules.rows.push_back({std::string(qc_rules[i].name), qc_rules[i].critical ? "critical" : "caution",
                              amount_text(q.rules.threshold[i])});
    }
    section.tables.push_back(std::move(rules));
    return section;
}

study_section volume_section(const study& s) {
    study_section section{"volume", "Volume", {}, {}};
    section.notes.push_back("ADT: the mean of the totals of the full days that pass the data-quality rules; "
                            "ADT weekdays: of those Monday to Friday.");
    text_table t{"", {"", "Total", "ADT", "ADT weekdays", "Full weekdays", "Full weekend days"}, {}};
    for (const study_group& g : s.groups) {
        const study_volume& v = g.volume;
        t.rows.push_back({group_name(s, g), count_text(v.total), fixed(v.adt, 1), fixed(v.adt_weekday, 1),
                          std::to_string(v.full_weekdays), std::to_string(v.full_weekend_days)});
    }
    section.tables.push_back(std::move(t));
    if (!s.lanes.empty()) {
        const bool named =
            std::any_of(s.lanes.begin(), s.lanes.end(), [](const study_count& l) { return !l.name.empty(); });
        text_table lanes{"", {"Lane", "Vehicles", "Share"}, {}};
        if (named) {
            lanes.columns.insert(lanes.columns.begin() + 1, "Heading");
            lanes.name_column = 1;
        }
        for (const study_count& l : s.lanes) {
            lanes.rows.push_back({l.key, count_text(l.count), share_text(l.share)});
            if (named) {
                lanes.rows.back().insert(lanes.rows.back().begin() + 1, l.name);
            }
        }
        section.tables.push_back(std::move(lanes));
    }
    return section;
}

study_section daily_section(const study& s) {
    study_section section{"daily", "Daily totals", {}, {}};
    text_table t{"", {"Date", "Day", "Total"}, {}};
    for (const study_group* g : parts(s)) {
        t.columns.push_back(group_column(s, *g));
    }
    if (s.weigh_site) {
        t.columns.push_back("ESAL");
    }
    t.columns.push_back("Coverage");
    for (const study_day& d : s.daily) {
        std::vector<std::string> row{date_text(d.date), weekday_name(d.date), count_text(d.total)};
        for (std::size_t i = 0; i + 1 < s.groups.size(); ++i) {
            row.push_back(i < d.by_group.size() ? count_text(d.by_group[i]) : "-");
        }
        if (s.weigh_site) {
            row.push_back(fixed(d.esal, 2));
        }
        row.push_back(!d.valid ? "excluded" : d.full_day ? "full" : "partial");
        t.rows.push_back(std::move(row));
    }
    if (t.rows.empty()) {
        section.notes.push_back("No day holds part of the recording.");
    } else {
        section.tables.push_back(std::move(t));
    }
    return section;
}

study_section profile_section(const study& s) {
    study_section section{"profile", "Hourly profile", {}, {}};
    const study_volume& all = s.groups.front().volume;
    if (all.full_weekdays == 0 && all.full_weekend_days == 0) {
        section.notes.push_back("No full day: no hourly profile.");
        return section;
    }
    section.notes.push_back("Mean count of each hour over " + std::to_string(all.full_weekdays) +
                            " full weekday(s) (Wd) and " + std::to_string(all.full_weekend_days) +
                            " full weekend day(s) (We).");
    text_table t{"", {"Hour"}, {}};
    for (const study_group& g : s.groups) {
        t.columns.push_back(group_column(s, g) + " Wd");
        t.columns.push_back(group_column(s, g) + " We");
    }
    for (int h = 0; h < 24; ++h) {
        std::vector<std::string> row{clock_text(h * 60) + "-" + clock_text((h + 1) * 60)};
        for (const study_group& g : s.groups) {
            row.push_back(fixed(g.volume.weekday_profile[static_cast<std::size_t>(h)], 1));
            row.push_back(fixed(g.volume.weekend_profile[static_cast<std::size_t>(h)], 1));
        }
        t.rows.push_back(std::move(row));
    }
    section.tables.push_back(std::move(t));
    return section;
}

// Where the windows start: on the quarter hours, or on the interval ends.
std::string peak_grid_text(const study& s) {
    const study_survey& v = s.survey;
    if (!v.interval_file) {
        return "on every quarter hour";
    }
    if (v.peak_interval_minutes == 0 || v.peak_interval_minutes == v.interval_minutes) {
        return "on every interval end (a " + std::to_string(v.interval_minutes) + "-minute grid)";
    }
    return "on the interval ends (every " + std::to_string(v.interval_minutes) + " minutes, every " +
           std::to_string(v.peak_interval_minutes) + " in peak periods)";
}

std::string peak_factor_text(const study& s) {
    if (s.peak_by_quarters) {
        return "PHF = volume / (4 x its busiest quarter hour)";
    }
    return "no PHF: " + s.phf_omitted_reason + "; Rate/h: the busiest interval's count at its hourly rate";
}

std::string peak_window_text(const study_peak& p) {
    return clock_text(p.start_minute) + "-" + clock_text(p.start_minute + 60);
}

study_section peak_section(const study& s) {
    study_section section{"peaks", "Peak hours", {}, {}};
    if (s.peak_hours_omitted) {
        section.notes.push_back("Peak hours are omitted: " + s.peak_hours_omitted_reason + ".");
        return section;
    }
    section.notes.push_back("The 60-minute window with the most vehicles among those starting before 12:00 "
                            "(AM) and at 12:00 or later (PM), each ending by midnight; windows start " +
                            peak_grid_text(s) + "; " + peak_factor_text(s) +
                            ". * marks the day's peak hour, "
                            "the busier of the two.");
    bool any = false;
    const bool phf = s.peak_by_quarters;
    for (const study_group& g : s.groups) {
        text_table t{group_name(s, g), {"Day"}, {}};
        for (const char* part : {"AM peak", "PM peak"}) {
            t.columns.insert(t.columns.end(), {part, "Volume", phf ? "PHF" : "Rate/h"});
        }
        for (const study_peak_day& d : g.volume.peak_hours) {
            std::vector<std::string> row{d.date ? date_text(*d.date) : "Mean weekday"};
            for (const std::optional<study_peak>& p : {d.am, d.pm}) {
                if (p) {
                    const bool busiest = d.day && d.day->start_minute == p->start_minute;
                    row.push_back(peak_window_text(*p) + (busiest ? "*" : ""));
                    row.push_back(amount_text(p->volume));
                    row.push_back(phf ? fixed(p->factor, 3)
                                      : amount_text(p->largest_part * 60 / p->largest_part_minutes));
                } else {
                    row.insert(row.end(), {"-", "0", "-"});
                }
            }
            t.rows.push_back(std::move(row));
        }
        if (!t.rows.empty()) {
            any = true;
            section.tables.push_back(std::move(t));
        }
    }
    if (!any) {
        section.notes.push_back("No full day: no peak hours.");
    }
    return section;
}

// Every group's figure in one row: the figure's name, then a column per group.
template <typename Cell>
std::vector<std::string> figure_row(const study& s, const std::string& name, Cell cell) {
    std::vector<std::string> row{name};
    for (const study_group& g : s.groups) {
        row.push_back(cell(g));
    }
    return row;
}

std::string percentile_text(const study_percentile& p) {
    if (p.value) {
        return fixed(p.value, 1);
    }
    if (p.above) {
        return "above " + amount_text(*p.above);
    }
    return "-";
}

std::vector<std::vector<std::string>> speed_rows(const study& s, const std::string& unit) {
    std::vector<std::vector<std::string>> rows;
    const auto speed_row = [&](const std::string& name, auto cell) {
        rows.push_back(figure_row(s, name, [&](const study_group& g) { return cell(g.speed); }));
    };
    speed_row("Vehicles with a speed", [](const study_speed& v) { return count_text(v.count); });
    speed_row("Mean (" + unit + ")", [](const study_speed& v) { return fixed(v.mean, 1); });
    speed_row("Standard deviation", [](const study_speed& v) { return fixed(v.stddev, 1); });
    speed_row("Lowest", [](const study_speed& v) { return fixed(v.min, 1); });
    speed_row("Highest", [](const study_speed& v) { return fixed(v.max, 1); });
    static constexpr const char* names[] = {"p15", "p50 (median)", "p85", "p95"};
    for (std::size_t i = 0; i < 4; ++i) {
        speed_row(names[i], [i](const study_speed& v) { return percentile_text(v.percentiles[i]); });
    }
    speed_row("p85 free flow (headway 4 s+)", [](const study_speed& v) { return fixed(v.p85_free_flow, 1); });
    speed_row("10 " + unit + " pace", [](const study_speed& v) {
        return v.pace_from && v.pace_to ? amount_text(*v.pace_from) + " to under " + amount_text(*v.pace_to)
                                        : "-";
    });
    speed_row("Share in the pace", [](const study_speed& v) { return share_text(v.pace_share); });
    if (s.speed_limit > 0) {
        speed_row("Above " + amount_text(s.speed_limit),
                  [](const study_speed& v) { return share_text(v.share_above_limit); });
        speed_row("Above " + amount_text(s.speed_limit + 10),
                  [](const study_speed& v) { return share_text(v.share_above_limit_10); });
    }
    return rows;
}

// Speeds in bands of 10 (from the 1-unit histogram), a column per group.
text_table speed_bands(const study& s) {
    text_table t{"", group_columns(s, "Speed (" + s.units.speed + ")"), {}};
    const study_histogram& shape = s.groups.front().speed.histogram;
    const std::vector<std::int64_t>& c = shape.counts;
    const auto last = std::find_if(c.rbegin(), c.rend(), [](std::int64_t n) { return n != 0; });
    const auto bins = static_cast<std::size_t>(c.rend() - last);
    const double band = 10;
    const auto per_band = static_cast<std::size_t>(std::max(1.0, band / std::max(shape.width, 1e-9)));
    // From the band of the slowest vehicle ("all" holds every group's vehicles).
    const auto first = static_cast<std::size_t>(
        std::find_if(c.begin(), c.end(), [](std::int64_t n) { return n != 0; }) - c.begin());
    for (std::size_t from = first - first % per_band; from < bins; from += per_band) {
        const double lower = shape.first_lower + static_cast<double>(from) * shape.width;
        const bool open = shape.open_last && from + per_band >= shape.counts.size();
        std::vector<std::string> row{open ? "above " + amount_text(lower)
                                          : amount_text(lower) + "-" + amount_text(lower + band)};
        for (const study_group& g : s.groups) {
            std::int64_t n = 0;
            for (std::size_t i = from; i < from + per_band && i < g.speed.histogram.counts.size(); ++i) {
                n += g.speed.histogram.counts[i];
            }
            row.push_back(count_text(n));
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

study_section speed_section(const study& s) {
    study_section section{"speed", "Speed", {}, {}};
    if (!s.has_speed) {
        section.notes.push_back("No vehicle has a speed.");
        return section;
    }
    section.notes.push_back("pN: the lowest speed at or below which N % of the vehicles drive; the pace: "
                            "the 10 " +
                            s.units.speed + " range holding the most vehicles.");
    section.tables.push_back({"", group_columns(s, ""), speed_rows(s, s.units.speed)});
    text_table bands = speed_bands(s);
    if (!bands.rows.empty()) {
        section.tables.push_back(std::move(bands));
    }
    return section;
}

// Counts and shares by key (class, axle count), two columns per group.
text_table count_table(const study& s, const std::string& first,
                       const std::vector<study_count> study_group::*list) {
    text_table t{"", {first}, {}};
    std::vector<std::string> keys;
    std::vector<std::string> names;
    for (const study_count& c : s.groups.front().*list) {
        if (!c.name.empty()) {
            names.push_back(c.key);
        }
    }
    if (!names.empty()) {
        t.columns.push_back("Name");
        t.name_column = 1;
    }
    for (const study_group& g : s.groups) {
        t.columns.push_back(group_column(s, g));
        t.columns.push_back("%");
        for (const study_count& c : g.*list) {
            if (std::find(keys.begin(), keys.end(), c.key) == keys.end()) {
                keys.push_back(c.key);
            }
        }
    }
    for (const std::string& key : keys) {
        std::vector<std::string> row{key};
        if (!names.empty()) {
            const std::vector<study_count>& all = s.groups.front().*list;
            const auto c =
                std::find_if(all.begin(), all.end(), [&](const study_count& x) { return x.key == key; });
            row.push_back(c == all.end() ? "" : c->name);
        }
        for (const study_group& g : s.groups) {
            const std::vector<study_count>& counts = g.*list;
            const auto c = std::find_if(counts.begin(), counts.end(),
                                        [&](const study_count& x) { return x.key == key; });
            row.push_back(c == counts.end() ? "0" : count_text(c->count));
            row.push_back(c == counts.end() ? "-" : share_text(c->share));
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

study_section class_section(const study& s) {
    study_section section{"classes", "Classes", {}, {}};
    if (!s.has_class && !s.has_axles) {
        section.notes.push_back("No vehicle has a class or an axle count.");
        return section;
    }
    if (s.has_class) {
        section.tables.push_back(count_table(s, "Class", &study_group::classes));
        section.tables.back().caption = "Class scheme: " + s.survey.class_scheme;
    }
    if (s.has_axles) {
        section.tables.push_back(count_table(s, "Axles", &study_group::axles));
    }
    return section;
}

// The bins of a histogram up to its last non-empty one, a column per group.
text_table histogram_table(const study& s, const std::string& first, const study_histogram study_group::*h,
                           double scale) {
    text_table t{"", group_columns(s, first), {}};
    std::size_t bins = 0;
    for (const study_group& g : s.groups) {
        const std::vector<std::int64_t>& c = (g.*h).counts;
        const auto last = std::find_if(c.rbegin(), c.rend(), [](std::int64_t n) { return n != 0; });
        bins = std::max(bins, static_cast<std::size_t>(c.rend() - last));
    }
    const study_histogram& shape = s.groups.front().*h;
    for (std::size_t i = 0; i < bins; ++i) {
        const double lower = (shape.first_lower + static_cast<double>(i) * shape.width) / scale;
        const double upper = lower + shape.width / scale;
        std::vector<std::string> row{shape.open_last && i + 1 == shape.counts.size()
                                         ? "above " + amount_text(lower)
                                         : amount_text(lower) + "-" + amount_text(upper)};
        for (const study_group& g : s.groups) {
            const std::vector<std::int64_t>& c = (g.*h).counts;
            row.push_back(i < c.size() ? count_text(c[i]) : "0");
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

study_section headway_section(const study& s) {
    study_section section{"headways", "Headways and gaps", {}, {}};
    if (!s.has_headway && !s.has_gap) {
        section.notes.push_back("No vehicle has a headway or a gap.");
        return section;
    }
    if (s.has_headway) {
        text_table t = histogram_table(s, "Headway (s)", &study_group::headways, 1);
        t.rows.push_back(figure_row(
            s, "Under 2 s", [](const study_group& g) { return share_text(g.headway_under_2s_share); }));
        section.tables.push_back(std::move(t));
    }
    if (s.has_gap) {
        section.tables.push_back(histogram_table(s, "Gap (s)", &study_group::gaps, 1));
    }
    return section;
}

study_section length_section(const study& s) {
    study_section section{"lengths", "Lengths", {}, {}};
    if (!s.has_length) {
        section.notes.push_back("No vehicle has a length.");
        return section;
    }
    section.tables.push_back(histogram_table(s, "Length (" + s.units.length + ")", &study_group::lengths, 1));
    return section;
}

study_section weight_section(const study& s) {
    study_section section{"weights", "Weights and pavement load", {}, {}};
    section.notes.push_back("ESAL: equivalent standard axles, the sum over the weighed axles of (axle load / "
                            "8.16 t) to the fourth power.");
    section.tables.push_back({"",
                              group_columns(s, ""),
                              {figure_row(s, "ESAL", [](const study_group& g) { return fixed(g.esal, 2); }),
                               figure_row(s, "ESAL per full day", [](const study_group& g) {
                                   return fixed(g.esal_per_full_day, 2);
                               })}});
    // Kilograms to tonnes, pounds to kips: both by 1000.
    section.tables.push_back(
        histogram_table(s, "Gross weight (" + s.units.weight_bin + ")", &study_group::gross_weights, 1000));
    for (const study_group& g : s.groups) {
        text_table t{
            group_name(s, g), {"Class", "Weighed", "Mean gross (" + s.units.weight + ")", "ESAL"}, {}};
        for (const study_class_weight& w : g.weight_by_class) {
            t.rows.push_back({w.key, count_text(w.weighed), fixed(w.mean_gross_weight, 0), fixed(w.esal, 2)});
        }
        if (!t.rows.empty()) {
            section.tables.push_back(std::move(t));
        }
    }
    return section;
}

// A share that may be known only between bounds: "12.5%", or "12.5% to 20.0%".
std::string bounded_share_text(std::optional<double> at_least, std::optional<double> at_most) {
    return at_most ? share_text(at_least) + " to " + share_text(at_most) : share_text(at_least);
}

std::string speed_summary(const study& s, const study_speed& v, const std::string& unit) {
    std::string text = "Mean " + fixed(v.mean, 1) + (v.mean_is_lower_bound ? " or more" : "") + " " + unit;
    static constexpr const char* names[] = {"p15", "p50", "p85", "p95"};
    for (std::size_t i = 0; i < 4; ++i) {
        text += std::string(", ") + names[i] + " " + percentile_text(v.percentiles[i]);
    }
    if (s.speed_limit > 0 && v.count > 0) {
        text += "; from " + amount_text(s.speed_limit) + " up " +
                bounded_share_text(v.share_above_limit, v.share_above_limit_most) + ", from " +
                amount_text(s.speed_limit + 10) + " up " +
                bounded_share_text(v.share_above_limit_10, v.share_above_limit_10_most);
    }
    return text + ".";
}

study_section bins_section(const study& s) {
    study_section section{"bins", "Binned counts", {}, {}};
    for (const study_group& g : s.groups) {
        for (const study_bin_list& list : g.bin_lists) {
            text_table t{group_name(s, g) + ": " + list.name +
                             (list.unit.empty() ? "" : " (" + list.unit + ")"),
                         {"Bin", "Total", "Share"},
                         {}};
            std::int64_t sum = 0;
            for (const std::int64_t n : list.totals) {
                sum += n;
            }
            for (std::size_t i = 0; i < list.labels.size(); ++i) {
                const std::int64_t n = i < list.totals.size() ? list.totals[i] : 0;
                t.rows.push_back({list.labels[i], count_text(n),
                                  share_text(sum > 0 ? std::optional<double>(static_cast<double>(n) /
                                                                             static_cast<double>(sum))
                                                     : std::nullopt)});
            }
            if (list.speed) {
                t.note = speed_summary(s, *list.speed, list.unit.empty() ? s.units.speed : list.unit);
            }
            section.tables.push_back(std::move(t));
        }
    }
    return section;
}

} // namespace

std::string date_text(const study_date& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string weekday_name(const study_date& d) {
    static constexpr const char* names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    return names[std::clamp(d.weekday, 0, 6)];
}

std::string share_text(std::optional<double> share) {
    if (!share) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", *share * 100);
    return text;
}

std::string fixed(std::optional<double> v, int decimals) {
    if (!v) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, *v);
    return text;
}

std::string group_name(const study& s, const study_group& g) {
    if (g.key == "all") {
        return s.survey.interval_file ? "All channels" : "All vehicles";
    }
    if (s.survey.interval_file) {
        return "Channel " + g.key + (g.heading.empty() ? "" : " " + g.heading);
    }
    return "Direction " + g.key + (g.name.empty() ? "" : " " + g.name);
}

std::vector<study_section> study_sections(const study& s) {
    std::vector<study_section> sections{survey_section(s)};
    if (s.header_only || s.groups.empty()) {
        return sections;
    }
    sections.push_back(quality_section(s));
    sections.push_back(volume_section(s));
    sections.push_back(daily_section(s));
    sections.push_back(profile_section(s));
    sections.push_back(peak_section(s));
    if (s.warrants) {
        sections.push_back(warrant_section(*s.warrants, s.units));
    }
    if (s.gap_study) {
        sections.push_back(gap_study_section(*s.gap_study, s.units));
    }
    if (s.survey.interval_file) {
        if (!s.survey.count_only) {
            sections.push_back(bins_section(s));
        }
    } else {
        sections.push_back(speed_section(s));
        sections.push_back(class_section(s));
        sections.push_back(headway_section(s));
        sections.push_back(length_section(s));
        if (s.weigh_site) {
            sections.push_back(weight_section(s));
        }
    }
    for (study_section& year : year_sections(s)) {
        sections.push_back(std::move(year));
    }
    for (study_section& section : table_sections(s)) {
        sections.push_back(std::move(section));
    }
    return sections;
}

} // namespace tallycnv
