// The study as one self-contained HTML page: tables and inline SVG charts.
// Nothing is fetched and no script runs: the page reads the same from a
// file, a mail attachment or a print on A4.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "study/html_text.h"
#include "study/study.h"
#include "study/study_sections.h"
#include "study/svg_chart.h"
#include "study/warrant_sections.h"
#include "study/year_page.h"

namespace tallycnv {

namespace {

constexpr const char* page_style = R"(@page { size: A4; margin: 15mm; }
body { font-family: sans-serif; font-size: 10pt; color: #222222; margin: 1em auto; max-width: 180mm; }
h1 { font-size: 16pt; margin-bottom: 0.2em; }
h2 { font-size: 13pt; border-bottom: 1px solid #999999; margin-top: 1.5em; break-after: avoid; page-break-after: avoid; }
table { border-collapse: collapse; margin: 0.6em 0; break-inside: avoid; page-break-inside: avoid; }
caption { text-align: left; font-weight: bold; padding: 0.2em 0; }
th, td { padding: 1px 8px; text-align: right; border-bottom: 1px solid #dddddd; white-space: nowrap; }
th:first-child, td:first-child, th.name, td.name { text-align: left; }
thead th { border-bottom: 1px solid #666666; }
table.survey th { font-weight: normal; color: #555555; }
table.survey td { text-align: left; white-space: normal; }
figure { margin: 0.8em 0; break-inside: avoid; page-break-inside: avoid; }
svg.chart { display: block; max-width: 100%; height: auto; }
p.nodata { font-style: italic; }
p.note { margin: 0.2em 0; }
p.made { color: #555555; margin-top: 0; }
div.days { display: flex; flex-wrap: wrap; gap: 2px; margin: 0.6em 0; }
span.day { display: inline-block; width: 12px; height: 12px; print-color-adjust: exact; -webkit-print-color-adjust: exact; }
span.valid { background: #2e8b57; }
span.excluded { background: #c0392b; }
span.partial { background: #bbbbbb; }
@media print { body { max-width: none; margin: 0; } section + section { break-before: page; page-break-before: always; } }
)";

// A histogram of the study as a chart's edges and series; `scale` divides
// the edges (kilograms to tonnes).
void fill_histogram(chart& c, const study_histogram& h, double scale) {
    std::size_t bins = h.counts.size();
    while (bins > 0 && h.counts[bins - 1] == 0) {
        --bins;
    }
    c.open_last = h.open_last && bins == h.counts.size();
    for (std::size_t i = 0; i <= bins; ++i) {
        c.edges.push_back((h.first_lower + static_cast<double>(i) * h.width) / scale);
    }
    chart_series series;
    for (std::size_t i = 0; i < bins; ++i) {
        series.values.push_back(static_cast<double>(h.counts[i]));
    }
    c.series.push_back(std::move(series));
}

// A histogram whose range comes from the data, so that one busy bin does not
// crush the others: from the lowest value to the 95th percentile, in about a
// dozen bins of 1, 2 or 5 times a power of ten (multiples of the tally's
// width), the values above in a labelled open bin. `scale` divides the edges.
void fill_readable_histogram(chart& c, const study_histogram& h, double scale) {
    if (h.total <= 0 || h.counts.empty()) {
        c.series.emplace_back();
        return;
    }
    std::size_t low = 0;
    while (h.counts[low] == 0) {
        ++low;
    }
    std::size_t high = low;
    for (std::int64_t below = 0; high < h.counts.size(); ++high) {
        below += h.counts[high];
        if (100 * below >= 95 * h.total) {
            break;
        }
    }
    const double fine = h.width / scale;
    const double from = static_cast<double>(low) * fine;
    const double to = static_cast<double>(high + 1) * fine;
    const double step = std::max(fine, nice_step(to - from, 12, fine));
    const auto per_bin = static_cast<std::size_t>(std::llround(step / fine));
    const std::size_t first = low - low % per_bin;
    const std::size_t last = (high / per_bin + 1) * per_bin; // the first fine bin above the range
    chart_series series;
    for (std::size_t i = first; i < last; i += per_bin) {
        c.edges.push_back(h.first_lower / scale + static_cast<double>(i) * fine);
        double n = 0;
        for (std::size_t k = i; k < i + per_bin && k < h.counts.size(); ++k) {
            n += static_cast<double>(h.counts[k]);
        }
        series.values.push_back(n);
    }
    c.edges.push_back(h.first_lower / scale + static_cast<double>(last) * fine);
    double rest = 0;
    for (std::size_t k = last; k < h.counts.size(); ++k) {
        rest += static_cast<double>(h.counts[k]);
    }
    if (rest > 0 || (h.open_last && last < h.counts.size())) {
        c.edges.push_back(c.edges.back() + step);
        series.values.push_back(rest);
        c.open_last = true;
    }
    c.series.push_back(std::move(series));
}

chart daily_chart(const study& s) {
    chart c;
    c.kind = chart_kind::bars;
    c.title = "Daily totals";
    c.x_title = "Day";
    c.y_title = "Vehicles per day";
    c.no_data = "No day holds part of the recording: no chart of daily totals.";
    c.pale_note = "partial day";
    const std::size_t parts = s.groups.size() > 1 ? s.groups.size() - 1 : 0;
    for (std::size_t g = 0; g < std::max<std::size_t>(parts, 1); ++g) {
        c.series.push_back({parts > 0 ? utf8_from_latin1(group_name(s, s.groups[g + 1])) : "All", {}});
    }
    for (const study_day& d : s.daily) {
        c.categories.push_back(weekday_name(d.date) + " " + date_text(d.date).substr(5));
        c.pale.push_back(!d.full_day);
        for (std::size_t g = 0; g < c.series.size(); ++g) {
            const double v = parts == 0 ? static_cast<double>(d.total)
                                        : static_cast<double>(g < d.by_group.size() ? d.by_group[g] : 0);
            c.series[g].values.push_back(v);
        }
    }
    return c;
}

chart profile_chart(const study& s) {
    chart c;
    c.kind = chart_kind::line;
    c.title = "Mean hourly profile";
    c.x_title = "Hour of the day";
    c.y_title = "Vehicles per hour";
    c.no_data = "No full day: no hourly profile.";
    const study_volume& v = s.groups.front().volume;
    for (int h = 0; h < 24; ++h) {
        c.categories.push_back((h < 10 ? "0" : "") + std::to_string(h));
    }
    const auto add = [&](const char* name, const std::array<std::optional<double>, 24>& profile, int days) {
        if (days == 0) {
            return;
        }
        chart_series series{name, {}};
        for (const std::optional<double>& mean : profile) {
            series.values.push_back(mean.value_or(0));
        }
        c.series.push_back(std::move(series));
    };
    add("Weekdays (Mon-Fri)", v.weekday_profile, v.full_weekdays);
    add("Weekend days", v.weekend_profile, v.full_weekend_days);
    return c;
}

chart speed_chart(const study& s) {
    const study_speed& v = s.groups.front().speed;
    chart c;
    c.kind = chart_kind::histogram;
    c.title = "Speed distribution";
    c.x_title = "Speed (" + s.units.speed + ")";
    c.y_title = "Vehicles";
    c.no_data = "No vehicle has a speed: no speed chart.";
    fill_histogram(c, v.histogram, 1);
    if (v.mean) {
        c.markers.push_back({"mean " + fixed(v.mean, 1) + " " + s.units.speed, *v.mean});
    }
    if (v.percentiles[2].value) {
        c.markers.push_back(
            {"p85 " + fixed(v.percentiles[2].value, 1) + " " + s.units.speed, *v.percentiles[2].value});
    }
    if (s.speed_limit > 0) {
        c.markers.push_back({"limit " +
                                 fixed(s.speed_limit, s.speed_limit == std::floor(s.speed_limit) ? 0 : 1) +
                                 " " + s.units.speed,
                             s.speed_limit});
    }
    return c;
}

chart count_chart(const study& s, const std::string& title, const std::string& x_title,
                  const std::vector<study_count> study_group::*list) {
    chart c;
    c.kind = chart_kind::bars;
    c.title = title;
    c.x_title = x_title;
    c.y_title = "Vehicles";
    c.no_data = "No vehicle counted: no chart of " + title + ".";
    const std::size_t first = s.groups.size() > 1 ? 1 : 0;
    for (const study_count& k : s.groups.front().*list) {
        c.categories.push_back(utf8_from_latin1(k.key));
    }
    for (std::size_t g = first; g < s.groups.size(); ++g) {
        chart_series series{utf8_from_latin1(group_name(s, s.groups[g])), {}};
        for (const std::string& key : c.categories) {
            double n = 0;
            for (const study_count& k : s.groups[g].*list) {
                if (utf8_from_latin1(k.key) == key) {
                    n = static_cast<double>(k.count);
                }
            }
            series.values.push_back(n);
        }
        c.series.push_back(std::move(series));
    }
    return c;
}

chart histogram_chart(const std::string& title, const std::string& x_title, const std::string& no_data,
                      const study_histogram& h, double scale) {
    chart c;
    c.kind = chart_kind::histogram;
    c.title = title;
    c.x_title = x_title;
    c.y_title = "Vehicles";
    c.no_data = no_data;
    fill_histogram(c, h, scale);
    return c;
}

// The edges of a list's bins read from their labels ("SPEED 30-50", the open
// last bin "SPEED >90", drawn as wide as the one before it); empty when a
// label has another form or the bins do not follow each other.
std::vector<double> bin_edges(const study_bin_list& list, bool& open_last) {
    std::vector<double> edges;
    open_last = false;
    for (std::size_t i = 0; i < list.labels.size(); ++i) {
        const std::string& label = list.labels[i];
        const std::string range = label.substr(label.rfind(' ') + 1);
        char* end = nullptr;
        if (range.starts_with(">") && i + 1 == list.labels.size() && edges.size() >= 2) {
            const double lower = std::strtod(range.c_str() + 1, &end);
            if (*end != '\0' || lower != edges.back()) {
                return {};
            }
            edges.push_back(lower + (lower - edges[edges.size() - 2]));
            open_last = true;
            continue;
        }
        const double lower = std::strtod(range.c_str(), &end);
        if (end == range.c_str() || *end != '-') {
            return {};
        }
        const char* from = end + 1;
        const double upper = std::strtod(from, &end);
        if (end == from || *end != '\0' || !(upper > lower) || lower < 0 ||
            (!edges.empty() && edges.back() != lower)) {
            return {};
        }
        if (edges.empty()) {
            edges.push_back(lower);
        }
        edges.push_back(upper);
    }
    return edges;
}

// The bins of a list of an interval file (all channels): a speed list as a
// histogram with its mean, p85 and the speed limit marked, others as bars.
chart bin_list_chart(const study& s, const study_bin_list& list) {
    chart c;
    std::string name = utf8_from_latin1(list.name);
    // Axis titles in sentence case: "SPEED" reads "Speed".
    for (std::size_t i = 1; i < name.size(); ++i) {
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    const std::string unit = list.unit.empty() && list.speed ? s.units.speed : list.unit;
    c.title = (list.speed ? std::string("Speed") : name) + " distribution, all channels";
    c.x_title = name + (unit.empty() ? "" : " (" + unit + ")");
    c.y_title = "Count";
    c.no_data = "No count in the " + name + " bins: no chart.";
    chart_series series{"All", {}};
    for (std::size_t i = 0; i < list.labels.size(); ++i) {
        std::string label = utf8_from_latin1(list.labels[i]);
        c.categories.push_back(label.substr(label.rfind(' ') + 1));
        series.values.push_back(i < list.totals.size() ? static_cast<double>(list.totals[i]) : 0);
    }
    c.series.push_back(std::move(series));
    c.edges = list.speed ? bin_edges(list, c.open_last) : std::vector<double>{};
    if (c.edges.empty()) {
        c.kind = chart_kind::bars;
        return c;
    }
    c.kind = chart_kind::histogram;
    const study_speed& v = *list.speed;
    if (v.mean) {
        c.markers.push_back(
            {"mean " + std::string(v.mean_is_lower_bound ? "at least " : "") + fixed(v.mean, 1) + " " + unit,
             *v.mean});
    }
    if (v.percentiles[2].value) {
        c.markers.push_back(
            {"p85 " + fixed(v.percentiles[2].value, 1) + " " + unit, *v.percentiles[2].value});
    } else if (v.percentiles[2].above) {
        c.markers.push_back(
            {"p85 above " + fixed(v.percentiles[2].above, 0) + " " + unit, *v.percentiles[2].above});
    }
    if (s.speed_limit > 0) {
        c.markers.push_back(
            {"limit " + fixed(s.speed_limit, s.speed_limit == std::floor(s.speed_limit) ? 0 : 1) + " " + unit,
             s.speed_limit});
    }
    return c;
}

std::vector<chart> charts_of(const study& s, const std::string& id) {
    if (s.groups.empty() || id == "survey") {
        return {};
    }
    if (const study_year* year = year_of_section(s, id)) {
        return year_charts(*year);
    }
    const study_group& all = s.groups.front();
    if (id == "warrants" && s.warrants) {
        return warrant_charts(*s.warrants);
    }
    if (id == "speed_by_hour" && s.has_speed) {
        chart c;
        c.kind = chart_kind::line;
        c.title = "Speed by hour of the day";
        c.x_title = "Hour";
        c.y_title = "Speed (" + s.units.speed + ")";
        c.no_data = "No vehicle with a speed on a full valid day: no chart.";
        const char* names[4] = {"p15", "p50", "p85", "p95"};
        for (std::size_t i = 0; i < 4; ++i) {
            c.series.push_back({names[i], {}});
        }
        for (std::size_t h = 0; h < 24; ++h) {
            char label[8];
            std::snprintf(label, sizeof label, "%02zu", h);
            c.categories.emplace_back(label);
            for (std::size_t i = 0; i < 4; ++i) {
                c.series[i].values.push_back(s.tables.speed_by_hour[h].percentiles[i].value_or(0));
            }
        }
        return {c};
    }
    if (id == "gaps" && s.gap_study) {
        return gap_study_charts(*s.gap_study);
    }
    if (id == "daily") {
        return {daily_chart(s)};
    }
    if (id == "profile") {
        return {profile_chart(s)};
    }
    if (id == "speed" && s.has_speed) {
        return {speed_chart(s)};
    }
    if (id == "classes") {
        std::vector<chart> charts;
        if (s.has_class) {
            charts.push_back(count_chart(s, "Class distribution", "Class", &study_group::classes));
        }
        if (s.has_axles) {
            charts.push_back(count_chart(s, "Axle counts", "Axles", &study_group::axles));
        }
        return charts;
    }
    if (id == "headways" && s.has_headway) {
        chart c = histogram_chart("Headway distribution", "Headway (s)", "No headway: no chart.", {}, 1);
        c.series.clear();
        c.edges.clear();
        fill_readable_histogram(c, all.headway_seconds, 1);
        return {c};
    }
    if (id == "weights") {
        // Kilograms to tonnes, pounds to kips: both by 1000.
        chart c = histogram_chart("Gross-weight distribution", "Gross weight (" + s.units.weight_bin + ")",
                                  "No vehicle weighed: no chart.", {}, 1000);
        c.series.clear();
        c.edges.clear();
        fill_readable_histogram(c, all.gross_weights_fine, 1000);
        return {c};
    }
    if (id == "bins") {
        std::vector<chart> charts;
        for (const study_bin_list& list : all.bin_lists) {
            charts.push_back(bin_list_chart(s, list));
        }
        return charts;
    }
    return {};
}

// The days of the recording as a strip of boxes coloured by what became of them: valid (in the
// averages), excluded by a critical data-quality rule, or partial (not wholly inside the recording).
void write_day_strip(report_sink& out, const study& s) {
    if (s.daily.empty()) {
        return;
    }
    out.write("<div class=\"days\" role=\"img\" aria-label=\"Days by status\">");
    for (const study_day& d : s.daily) {
        const char* status = !d.valid ? "excluded" : d.full_day ? "valid" : "partial";
        out.printf("<span class=\"day %s\" title=\"%s %s\"></span>", status, date_text(d.date).c_str(),
                   status);
    }
    out.write(
        "</div>\n<p class=\"note\"><span class=\"day valid\"></span> valid "
        "<span class=\"day excluded\"></span> excluded <span class=\"day partial\"></span> partial</p>\n");
}

void write_cells(report_sink& out, const std::vector<std::string>& cells, const char* tag,
                 std::size_t name_column) {
    out.write("<tr>");
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string& cell = cells[i];
        out.printf(i != 0 && i == name_column ? "<%s class=\"name\">" : "<%s>", tag);
        write_file_text(out, cell);
        out.printf("</%s>", tag);
    }
    out.write("</tr>\n");
}

// Hour by day as a heat map: each day's hourly counts shaded from white to the
// chart blue by their share of the table's largest count (totals and means plain).
void write_heat_map(report_sink& out, const text_table& t) {
    double most = 0;
    const std::size_t days = t.columns.size() >= 3 ? t.columns.size() - 3 : 0;
    for (std::size_t r = 0; r + 1 < t.rows.size(); ++r) {
        for (std::size_t c = 1; c <= days && c < t.rows[r].size(); ++c) {
            most = std::max(most, std::atof(t.rows[r][c].c_str()));
        }
    }
    out.write("<div style=\"overflow-x: auto\">\n<table>\n<caption>");
    write_file_text(out, t.caption);
    out.write("</caption>\n<thead>");
    write_cells(out, t.columns, "th", t.name_column);
    out.write("</thead>\n<tbody>\n");
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out.write("<tr>");
        for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
            const bool shaded = c >= 1 && c <= days && r + 1 < t.rows.size() && most > 0;
            if (shaded) {
                const double f = std::clamp(std::atof(t.rows[r][c].c_str()) / most, 0.0, 1.0);
                const auto mix = [f](int to) { return static_cast<int>(std::lround(255 - (255 - to) * f)); };
                out.printf("<td style=\"background: #%02x%02x%02x%s\">", mix(0x1f), mix(0x77), mix(0xb4),
                           f > 0.6 ? "; color: #ffffff" : "");
            } else {
                out.write("<td>");
            }
            write_file_text(out, t.rows[r][c]);
            out.write("</td>");
        }
        out.write("</tr>\n");
    }
    out.write("</tbody>\n</table>\n</div>\n");
}

void write_html_table(report_sink& out, const text_table& t) {
    out.write(t.heading_row ? "<table>\n" : "<table class=\"survey\">\n");
    if (!t.caption.empty()) {
        out.write("<caption>");
        write_file_text(out, t.caption);
        out.write("</caption>\n");
    }
    if (t.heading_row) {
        out.write("<thead>");
        write_cells(out, t.columns, "th", t.name_column);
        out.write("</thead>\n");
    }
    out.write("<tbody>\n");
    for (const std::vector<std::string>& row : t.rows) {
        if (t.heading_row) {
            write_cells(out, row, "td", t.name_column);
        } else {
            out.write("<tr><th scope=\"row\">");
            write_file_text(out, row.empty() ? "" : row[0]);
            out.write("</th><td>");
            write_file_text(out, row.size() > 1 ? row[1] : "");
            out.write("</td></tr>\n");
        }
    }
    out.write("</tbody>\n</table>\n");
    if (!t.note.empty()) {
        out.write("<p class=\"note\">");
        write_file_text(out, t.note);
        out.write("</p>\n");
    }
}

} // namespace

void write_study_html(const run_context& ctx, const study& s) {
    report_sink& out = ctx.out;
    out.write(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Traffic study: ");
    write_file_text(out, s.survey.site);
    out.write("</title>\n<style>\n");
    out.write(page_style);
    if (!year_sections(s).empty()) {
        out.write(year_page_style);
    }
    out.write("</style>\n</head>\n<body>\n<h1>Traffic study: ");
    write_file_text(out, s.survey.site);
    out.write("</h1>\n<p class=\"made\">Made by ");
    write_escaped(out, s.made_by);
    out.write(" on ");
    write_escaped(out, s.made_on);
    out.write(".</p>\n");
    for (const study_section& section : study_sections(s)) {
        out.printf("<section id=\"%s\">\n<h2>", section.id.c_str());
        write_escaped(out, section.title);
        out.write("</h2>\n");
        for (const std::string& note : section.notes) {
            out.write("<p class=\"note\">");
            write_file_text(out, note);
            out.write("</p>\n");
        }
        if (section.id == "quality") {
            write_day_strip(out, s);
        }
        for (const chart& c : charts_of(s, section.id)) {
            // A section without a table has said in its note that there is nothing to show.
            if (!chart_has_data(c) && section.tables.empty()) {
                continue;
            }
            out.write("<figure>\n");
            write_svg_chart(out, c);
            out.write("</figure>\n");
        }
        if (const study_year* year = year_of_section(s, section.id)) {
            write_year_calendar(out, s, *year);
        }
        for (const text_table& table : section.tables) {
            if (section.id == "hour_by_day") {
                write_heat_map(out, table);
            } else {
                write_html_table(out, table);
            }
        }
        out.write("</section>\n");
    }
    out.write("</body>\n</html>\n");
}

} // namespace tallycnv
