#include "study/year_page.h"

#include <algorithm>
#include <cstdio>

#include "study/study_compute.h"
#include "study/study_sections.h"

namespace tallycnv {

namespace {

constexpr std::array<const char*, 12> month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

const char* const year_page_style =
    "table.calendar td { padding: 0; width: 4.2mm; height: 4.2mm; border: 1px solid #ffffff; "
    "text-align: center; font-size: 6pt; color: #555555; }\n"
    "table.calendar th { padding: 0 2px; font-size: 6pt; }\n"
    "table.calendar td.x { background: #eeeeee; color: #aa0000; }\n";

const study_year* year_of_section(const study& s, const std::string& id) {
    if (!id.starts_with("year-")) {
        return nullptr;
    }
    for (const study_year& y : s.annual) {
        if ("year-" + std::to_string(y.year) == id) {
            return &y;
        }
    }
    return nullptr;
}

std::vector<chart> year_charts(const study_year& y) {
    chart months;
    months.kind = chart_kind::bars;
    months.title = "MADT by month, " + std::to_string(y.year);
    months.x_title = "Month";
    months.y_title = "Vehicles per day";
    months.no_data = "No month has a valid full day of each weekday: no chart of MADT.";
    months.series.push_back({"MADT", {}});
    for (std::size_t m = 0; m < 12; ++m) {
        months.categories.emplace_back(month_names[m]);
        months.series[0].values.push_back(y.madt[m].value_or(0));
    }
    chart ranked;
    ranked.kind = chart_kind::histogram;
    ranked.title = "Highest hourly volumes, " + std::to_string(y.year);
    ranked.x_title = "Rank";
    ranked.y_title = "Vehicles per hour";
    ranked.no_data = "No valid hour: no chart of ranked hours.";
    ranked.series.push_back({"Hourly volume", {}});
    for (std::size_t i = 0; i < y.ranked_hours.size(); ++i) {
        ranked.edges.push_back(static_cast<double>(i) + 0.5);
        ranked.series[0].values.push_back(static_cast<double>(y.ranked_hours[i]));
    }
    if (!y.ranked_hours.empty()) {
        ranked.edges.push_back(static_cast<double>(y.ranked_hours.size()) + 0.5);
    }
    if (y.dhv30) {
        ranked.markers.push_back(
            {"30th highest hour" + (y.k30 ? ", K30 " + fixed(y.k30, 3) : std::string()), 30});
    }
    return {months, ranked};
}

void write_year_calendar(report_sink& out, const study& s, const study_year& y) {
    std::int64_t highest = 0;
    for (const study_day& d : s.daily) {
        if (d.date.year == y.year && d.full_day && d.valid) {
            highest = std::max(highest, d.total);
        }
    }
    out.printf("<table class=\"calendar\"><caption>Days of %d: the darker, the more vehicles; x "
               "excluded</caption>\n",
               y.year);
    out.write("<thead><tr><th></th>");
    for (int day = 1; day <= 31; ++day) {
        out.printf("<th>%d</th>", day);
    }
    out.write("</tr></thead>\n<tbody>\n");
    auto next = s.daily.begin();
    for (int month = 1; month <= 12; ++month) {
        out.printf("<tr><th>%s</th>", month_names[static_cast<std::size_t>(month - 1)]);
        for (int day = 1; day <= 31; ++day) {
            if (!day_number(y.year, month, day)) {
                out.write("<td></td>");
                continue;
            }
            while (next != s.daily.end() && std::tie(next->date.year, next->date.month, next->date.day) <
                                                std::tie(y.year, month, day)) {
                ++next;
            }
            const bool here = next != s.daily.end() && next->date.year == y.year &&
                              next->date.month == month && next->date.day == day;
            char title[32];
            std::snprintf(title, sizeof title, "%04d-%02d-%02d", y.year, month, day);
            if (here && next->excluded_by_date) {
                out.printf("<td class=\"x\" title=\"%s excluded\">x</td>", title);
            } else if (here && next->full_day && next->valid && highest > 0) {
                // From a pale to a deep blue as the volume goes from 0 to the year's highest day.
                const double share = static_cast<double>(next->total) / static_cast<double>(highest);
                const int lightness = 95 - static_cast<int>(share * 60);
                out.printf("<td style=\"background: hsl(215, 70%%, %d%%)\" title=\"%s %lld\"></td>",
                           lightness, title, static_cast<long long>(next->total));
            } else {
                out.printf("<td title=\"%s\"></td>", title);
            }
        }
        out.write("</tr>\n");
    }
    out.write("</tbody></table>\n");
}

} // namespace tallycnv
