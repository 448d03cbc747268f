// The signal warrants in words and tables, and the page's charts.
#include "study/warrant_sections.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tallycnv {

namespace {

std::string hour_text(int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60) % 100, minute % 60);
    return text;
}

std::string count_of_hours(const std::vector<int>& hours) {
    return std::to_string(hours.size());
}

std::string lanes_text(int lanes) {
    return lanes >= 2 ? "two or more lanes" : "one lane";
}

// The counted window starting within clock hour `h`, as its start, or empty.
std::string window_in(const std::vector<int>& hours, int h) {
    for (const int minute : hours) {
        if (minute / 60 == h) {
            return hour_text(minute);
        }
    }
    return "";
}

std::string warrant_1_verdict(const warrant_1_result& w) {
    if (w.met) {
        return "Warrant 1 met by " +
               std::string(w.met_by == "A+B" ? "the combination of A and B" : "Condition " + w.met_by) + ".";
    }
    if (w.combination_volumes_satisfied) {
        return "Warrant 1 not met; combination volumes satisfied (the combination meets the warrant only "
               "after an "
               "adequate trial of other remedies, --adequate-trial).";
    }
    return "Warrant 1 not met.";
}

} // namespace

study_section warrant_section(const warrant_report& r, const study_units& units) {
    study_section section{"warrants", "Signal warrants", {}, {}};
    std::string major = "Major street (" + lanes_text(r.major_lanes) + "):";
    for (const std::string& name : r.major_names) {
        major += " " + name + (&name == &r.major_names.back() ? "." : ",");
    }
    section.notes.push_back(major);
    for (std::size_t a = 0; a < r.minor_names.size(); ++a) {
        section.notes.push_back("Minor approach " + std::to_string(a + 1) + " (" +
                                lanes_text(r.minor_lanes[a]) + "): " + r.minor_names[a] + ".");
    }
    std::string speed = "Major-street speed: ";
    if (r.major_speed) {
        speed += fixed(r.major_speed, *r.major_speed == std::floor(*r.major_speed) ? 0 : 1) + " " +
                 units.speed +
                 (r.speed_given ? " (given)." : " (the 85th percentile of the major street's vehicles).");
    } else {
        speed += "unknown (no vehicle speed in the major street's files and none given).";
    }
    section.notes.push_back(speed);
    if (r.reduced) {
        section.notes.push_back(std::string("The 70 % volumes apply (56 % for the combination): ") +
                                (r.isolated ? "an isolated community under 10,000."
                                            : "a major-street speed above 40 mph (64.4 km/h)."));
    } else {
        section.notes.push_back(
            "The 100 % volumes apply (80 % for the combination): major-street speed not above "
            "40 mph (64.4 km/h) and no isolated community.");
    }
    section.notes.push_back(r.quarter_hours
                                ? "An hour is any four consecutive quarter hours; the hours counted do "
                                  "not overlap (the one ending earliest first)."
                                : "Hours are clock hours.");
    section.notes.push_back(
        "Days: every full valid day common to the files, and their mean weekday (or the day "
        "asked for). Hours are named by their start.");
    section.notes.push_back(
        "Warrant 1 (Eight-Hour Vehicular Volume), Table 4C-1: Condition A or B on at least 8 "
        "hours, the major street's both approaches and one minor approach (any, each against "
        "its own lanes) in the same hour.");
    section.notes.push_back(
        "Warrant 3 (Peak Hour): Condition B on Figure 4C-3 (4C-4 under the 70 % rule), "
        "interpolated between its points; Condition A's volume parts only (a minor approach of "
        "100 or 150 vph and 650 or 800 vph entering): its stopped delay is not in a count.");
    section.notes.push_back(
        "Warrant 2 (Four-Hour Vehicular Volume) is left out: it is judged on the curves of "
        "Figures 4C-1 and 4C-2, which this program does not hold.");
    if (r.days.empty()) {
        section.notes.push_back("No full valid day common to the files: no warrant judged.");
        return section;
    }
    text_table verdicts("Verdicts (hours counted; 8 needed for Warrant 1, 1 for Warrant 3)",
                        {"Day", "%", "A", "B", "C %", "C A", "C B", "Warrant 1", "W3 B", "W3 A vol", "W3"});
    verdicts.note = "C: the combination of Conditions A and B; W3 A vol: the hours meeting Condition A's "
                    "volume parts.";
    for (const warrant_day_report& d : r.days) {
        const warrant_1_result& w1 = d.result.warrant_1;
        const warrant_3_result& w3 = d.result.warrant_3;
        verdicts.rows.push_back({d.day, std::to_string(w1.percent), count_of_hours(w1.condition_a.hours),
                                 count_of_hours(w1.condition_b.hours), std::to_string(w1.combination_percent),
                                 count_of_hours(w1.combination_a_hours),
                                 count_of_hours(w1.combination_b_hours),
                                 w1.met ? "met " + w1.met_by : "not met", count_of_hours(w3.hours),
                                 count_of_hours(w3.volume_part_hours), w3.met ? "met (B)" : "not met"});
        section.notes.push_back(d.day + ": " + warrant_1_verdict(w1));
    }
    section.tables.push_back(verdicts);
    for (const warrant_day_report& d : r.days) {
        const warrant_1_result& w1 = d.result.warrant_1;
        const warrant_3_result& w3 = d.result.warrant_3;
        std::vector<std::string> columns{"Hour", "Major"};
        for (std::size_t a = 0; a < d.minor_hourly.size(); ++a) {
            columns.push_back("Minor " + std::to_string(a + 1));
        }
        for (const char* name : {"W1 A", "W1 B", "W3 B", "W3 A vol"}) {
            columns.emplace_back(name);
        }
        text_table table("Hourly volumes and the hours counted: " + d.day, columns);
        const int decimals = d.day == "mean weekday" ? 1 : 0;
        for (int h = 0; h < 24; ++h) {
            const auto i = static_cast<std::size_t>(h);
            std::vector<std::string> row{hour_text(h * 60), fixed(d.major_hourly[i], decimals)};
            for (const auto& minor : d.minor_hourly) {
                row.push_back(fixed(minor[i], decimals));
            }
            for (const std::vector<int>* hours :
                 {&w1.condition_a.hours, &w1.condition_b.hours, &w3.hours, &w3.volume_part_hours}) {
                row.push_back(window_in(*hours, h));
            }
            table.rows.push_back(std::move(row));
        }
        section.tables.push_back(std::move(table));
    }
    return section;
}

std::vector<chart> warrant_charts(const warrant_report& r) {
    std::vector<chart> charts;
    for (const warrant_day_report& d : r.days) {
        const warrant_1_result& w1 = d.result.warrant_1;
        const int column = w1.percent == 70 ? 2 : 0;
        chart c;
        c.kind = chart_kind::bars;
        c.title = "Hourly volumes, Warrant 1 at " + std::to_string(w1.percent) +
                  " % (pale: no hour counted): " + d.day;
        c.x_title = "Hour";
        c.y_title = "Vehicles per hour";
        c.no_data = "No vehicle on " + d.day + ": no chart.";
        c.series.push_back({"Major", {d.major_hourly.begin(), d.major_hourly.end()}});
        for (std::size_t a = 0; a < d.minor_hourly.size(); ++a) {
            c.series.push_back(
                {"Minor " + std::to_string(a + 1), {d.minor_hourly[a].begin(), d.minor_hourly[a].end()}});
        }
        // The volumes of both conditions: the major street's and those of the first minor approach's lanes.
        const int lanes = r.minor_lanes.empty() ? 1 : r.minor_lanes.front();
        for (const bool b : {false, true}) {
            const std::string name = b ? "B" : "A";
            const double major_volume = warrant_1_major_volume(b, r.major_lanes, column);
            const double minor_volume = warrant_1_minor_volume(b, r.major_lanes, lanes, column);
            c.markers.push_back(
                {name + " maj " + std::to_string(static_cast<int>(major_volume)), major_volume});
            c.markers.push_back(
                {name + " min " + std::to_string(static_cast<int>(minor_volume)), minor_volume});
        }
        for (int h = 0; h < 24; ++h) {
            c.categories.push_back(hour_text(h * 60).substr(0, 2));
            bool marked = false;
            for (const std::vector<int>* hours :
                 {&w1.condition_a.hours, &w1.condition_b.hours, &d.result.warrant_3.hours}) {
                marked = marked || !window_in(*hours, h).empty();
            }
            c.pale.push_back(!marked);
        }
        charts.push_back(std::move(c));
    }
    return charts;
}

study_section gap_study_section(const gap_study_result& r, const study_units& units) {
    study_section section{"gaps", "Crossing gap study", {}, {}};
    if (!r.vehicle_file) {
        section.notes.push_back(
            "The gap study needs a vehicle-by-vehicle file: an interval file holds no gaps.");
        return section;
    }
    section.notes.push_back("Adequate gap: " + fixed(r.adequate_gap_s, 2) +
                            " s (given, or the crossing width over the walking speed, 3.5 ft/s unless given, "
                            "plus 3 s to start and 2 s per row of pedestrians after the first).");
    section.notes.push_back(
        std::string("Every lane and direction merged in time order; a gap is the time ") +
        (r.rear_to_front ? "from the rear of one vehicle (its length over its speed, where "
                           "measured) to the front of the next"
                         : "from the front of one vehicle to the front of the next") +
        ", adequate when at least the adequate gap, and belongs to the 5-minute period it "
        "starts in.");
    section.notes.push_back("Crossing period " + hour_text(r.period_from) + "-" + hour_text(r.period_to) +
                            " on each full valid day; a period with fewer adequate gaps than minutes is "
                            "deficient. The MUTCD Warrant 5 gap criterion is met when the adequate gaps are "
                            "fewer than the minutes of the crossing period.");
    (void)units;
    if (r.days.empty()) {
        section.notes.push_back("No full valid day: no gap counted.");
        return section;
    }
    for (const gap_study_day& d : r.days) {
        text_table table("Adequate gaps: " + d.date, {"Period", "Adequate gaps", "Minutes", "Deficient"});
        for (const gap_study_period& p : d.periods) {
            table.rows.push_back({hour_text(p.start) + "-" + hour_text(p.end),
                                  std::to_string(p.adequate_gaps), std::to_string(p.minutes),
                                  p.deficient ? "yes" : ""});
        }
        table.rows.push_back({"In all", std::to_string(d.adequate_gaps), std::to_string(d.minutes), ""});
        table.note = d.date + ": the Warrant 5 gap criterion is " + (d.criterion_met ? "" : "not ") + "met.";
        section.tables.push_back(std::move(table));
    }
    return section;
}

std::vector<chart> gap_study_charts(const gap_study_result& r) {
    std::vector<chart> charts;
    for (const gap_study_day& d : r.days) {
        chart c;
        c.kind = chart_kind::bars;
        c.title = "Adequate gaps per 5 minutes: " + d.date;
        c.x_title = "Period start";
        c.y_title = "Adequate gaps";
        c.no_data = "No adequate gap on " + d.date + ": no chart.";
        c.pale_note = "deficient period";
        c.series.push_back({"Adequate gaps", {}});
        for (const gap_study_period& p : d.periods) {
            c.categories.push_back(hour_text(p.start));
            c.series[0].values.push_back(static_cast<double>(p.adequate_gaps));
            c.pale.push_back(p.deficient);
        }
        c.markers.push_back({"5 gaps (one a minute)", 5});
        charts.push_back(std::move(c));
    }
    return charts;
}

} // namespace tallycnv
