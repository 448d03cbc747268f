// The engineer's tables as study sections: hour by day, speed by hour, class
// by speed, speed by headway, following and heavy vehicles.
#include <cstdio>

#include "study/study_compute.h"
#include "study/study_sections.h"
#include "study/warrant_sections.h"

namespace tallycnv {

namespace {

std::string share_text(std::int64_t part, std::int64_t whole) {
    return tallycnv::share_text(share_of(part, whole));
}

std::string bin_text(std::size_t bin) {
    return std::to_string(bin * 10) + "-" + std::to_string(bin * 10 + 10);
}

std::string hour_label(std::size_t h) {
    char text[8];
    std::snprintf(text, sizeof text, "%02zu:00", h);
    return text;
}

// Rows and columns of counts with their totals and the rows' shares.
text_table count_matrix(const std::string& caption, const std::string& first,
                        const std::vector<std::string>& columns, const std::vector<std::string>& row_names,
                        const std::vector<std::vector<std::int64_t>>& rows) {
    std::vector<std::string> headings{first};
    headings.insert(headings.end(), columns.begin(), columns.end());
    headings.emplace_back("Total");
    headings.emplace_back("%");
    text_table table(caption, headings);
    std::vector<std::int64_t> column_totals(columns.size(), 0);
    std::int64_t total = 0;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size() && c < columns.size(); ++c) {
            column_totals[c] += row[c];
            total += row[c];
        }
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> cells{row_names[r]};
        std::int64_t sum = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::int64_t n = c < rows[r].size() ? rows[r][c] : 0;
            sum += n;
            cells.push_back(std::to_string(n));
        }
        cells.push_back(std::to_string(sum));
        cells.push_back(share_text(sum, total));
        table.rows.push_back(std::move(cells));
    }
    std::vector<std::string> totals{"Total"};
    for (const std::int64_t n : column_totals) {
        totals.push_back(std::to_string(n));
    }
    totals.push_back(std::to_string(total));
    totals.emplace_back(total > 0 ? "100.0%" : "-");
    table.rows.push_back(std::move(totals));
    std::vector<std::string> shares{"%"};
    for (const std::int64_t n : column_totals) {
        shares.push_back(share_text(n, total));
    }
    table.rows.push_back(std::move(shares));
    return table;
}

study_section hour_by_day_section(const study& s) {
    study_section section{"hour_by_day", "Hour by day", {}, {}};
    section.notes.push_back(
        "Vehicles per hour of each day; * marks a partial day and x a day the data-quality "
        "rules exclude, neither of which is in the means of the full valid weekdays and "
        "weekend days.");
    for (std::size_t g = 0; g < s.groups.size(); ++g) {
        std::vector<std::string> headings{"Hour"};
        for (const study_day& d : s.daily) {
            headings.push_back(date_text(d.date).substr(5) + " " + weekday_name(d.date) +
                               (!d.full_day ? "*" : (!d.valid ? "x" : "")));
        }
        headings.emplace_back("Wkday");
        headings.emplace_back("Wkend");
        text_table table(g == 0 ? "All" : utf8_from_latin1(group_name(s, s.groups[g])), headings);
        std::vector<std::int64_t> totals(s.daily.size(), 0);
        double weekday_total = 0;
        double weekend_total = 0;
        const study_volume& v = s.groups[g].volume;
        for (std::size_t h = 0; h < 24; ++h) {
            std::vector<std::string> row{hour_label(h)};
            for (std::size_t i = 0; i < s.daily.size(); ++i) {
                const std::vector<std::int64_t>& hourly = s.daily[i].hours;
                const std::int64_t n = g * 24 + h < hourly.size() ? hourly[g * 24 + h] : 0;
                totals[i] += n;
                row.push_back(std::to_string(n));
            }
            row.push_back(fixed(v.weekday_profile[h], 1));
            row.push_back(fixed(v.weekend_profile[h], 1));
            weekday_total += v.weekday_profile[h].value_or(0);
            weekend_total += v.weekend_profile[h].value_or(0);
            table.rows.push_back(std::move(row));
        }
        std::vector<std::string> row{"Total"};
        for (const std::int64_t n : totals) {
            row.push_back(std::to_string(n));
        }
        row.push_back(v.full_weekdays > 0 ? fixed(weekday_total, 1) : "-");
        row.push_back(v.full_weekend_days > 0 ? fixed(weekend_total, 1) : "-");
        table.rows.push_back(std::move(row));
        section.tables.push_back(std::move(table));
    }
    return section;
}

std::vector<study_section> vehicle_table_sections(const study& s) {
    const study_tables& t = s.tables;
    const std::string unit = s.units.speed;
    std::vector<study_section> sections;

    study_section speed{"speed_by_hour", "Speed by hour", {}, {}};
    speed.notes.push_back(
        "Each hour of the day over the full valid days together; pN as in the speed section "
        "(nearest rank), bins of 10 " +
        unit + ".");
    text_table figures("", {"Hour", "Vehicles", "Mean", "p15", "p50", "p85", "p95"});
    std::size_t widest = 0;
    for (const speed_hour& h : t.speed_by_hour) {
        widest = std::max(widest, h.bins.size());
    }
    std::vector<std::string> bins;
    for (std::size_t b = 0; b < widest; ++b) {
        bins.push_back(bin_text(b));
    }
    std::vector<std::string> hours;
    std::vector<std::vector<std::int64_t>> counts;
    for (std::size_t h = 0; h < 24; ++h) {
        const speed_hour& f = t.speed_by_hour[h];
        figures.rows.push_back({hour_label(h), std::to_string(f.vehicles), fixed(f.mean, 1),
                                fixed(f.percentiles[0], 0), fixed(f.percentiles[1], 0),
                                fixed(f.percentiles[2], 0), fixed(f.percentiles[3], 0)});
        hours.push_back(hour_label(h));
        counts.push_back(f.bins);
    }
    speed.tables.push_back(std::move(figures));
    speed.tables.push_back(
        count_matrix("Vehicles by hour and speed (" + unit + ")", "Hour", bins, hours, counts));
    sections.push_back(std::move(speed));

    study_section matrices{"matrices", "Class by speed and speed by headway", {}, {}};
    matrices.notes.push_back("Every vehicle of the file; speed bins of 10 " + unit + " from 0.");
    widest = t.speed_by_headway.size();
    std::vector<std::string> names;
    std::vector<std::vector<std::int64_t>> rows;
    for (const auto& [code, row] : t.class_by_speed) {
        widest = std::max(widest, row.size());
        names.push_back(code);
        rows.push_back(row);
    }
    bins.clear();
    for (std::size_t b = 0; b < widest; ++b) {
        bins.push_back(bin_text(b));
    }
    if (!rows.empty()) {
        matrices.tables.push_back(count_matrix("Class by speed (" + unit + ")", "Class", bins, names, rows));
    }
    names.clear();
    rows.clear();
    for (std::size_t b = 0; b < t.speed_by_headway.size(); ++b) {
        names.push_back(bin_text(b));
        rows.emplace_back(t.speed_by_headway[b].begin(), t.speed_by_headway[b].end());
    }
    if (!rows.empty()) {
        matrices.tables.push_back(count_matrix("Speed (" + unit + ") by headway (s)", "Speed",
                                               {"0-1", "1-2", "2-3", "3-4", "4-6", "6-10", "10+"}, names,
                                               rows));
    }
    if (matrices.tables.empty()) {
        matrices.notes.push_back("No vehicle has a speed with a class or a headway: no matrix.");
    }
    sections.push_back(std::move(matrices));

    study_section following{"following", "Following and heavy vehicles", {}, {}};
    following.notes.push_back(
        "A vehicle follows when its headway is under " + fixed(t.following_s, 1) +
        " s (--following; 2.5 s for the HCM 6th and 7th edition reading); every vehicle "
        "with a headway, by the hour of day it passed.");
    text_table share("", {"Hour", "Vehicles", "Following", "%"});
    std::int64_t all = 0;
    std::int64_t follow = 0;
    for (std::size_t h = 0; h < 24; ++h) {
        all += t.headways_by_hour[h];
        follow += t.following_by_hour[h];
        share.rows.push_back({hour_label(h), std::to_string(t.headways_by_hour[h]),
                              std::to_string(t.following_by_hour[h]),
                              share_text(t.following_by_hour[h], t.headways_by_hour[h])});
    }
    share.rows.push_back({"In all", std::to_string(all), std::to_string(follow), share_text(follow, all)});
    following.tables.push_back(std::move(share));
    if (t.heavy_basis.empty()) {
        following.notes.push_back("Heavy vehicles: no class of an FHWA scheme and no axle count.");
    } else {
        std::string heavy = "Heavy vehicles (" + t.heavy_basis + "): " + std::to_string(t.heavy) + " of " +
                            std::to_string(t.heavy_base) + ", " + share_text(t.heavy, t.heavy_base);
        if (t.single_unit && t.combination) {
            heavy += "; single unit " + share_text(*t.single_unit, t.heavy_base) + ", combination " +
                     share_text(*t.combination, t.heavy_base);
        }
        following.notes.push_back(heavy + ".");
    }
    sections.push_back(std::move(following));
    return sections;
}

} // namespace

std::vector<study_section> table_sections(const study& s) {
    std::vector<study_section> sections{hour_by_day_section(s)};
    if (s.tables.vehicle_tables) {
        for (study_section& section : vehicle_table_sections(s)) {
            sections.push_back(std::move(section));
        }
    }
    return sections;
}

} // namespace tallycnv
