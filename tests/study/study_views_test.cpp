// The study's text report and HTML page written from a study filled by hand:
// every figure present at once, a site name made to break a page, wide
// tables, and the charts' axes.
#include <gtest/gtest.h>

#include <string>

#include "run/language.h"
#include "run/run_context.h"
#include "run/settings.h"
#include "study/study.h"
#include "study/svg_chart.h"
#include "study/text_table.h"

namespace tallycnv {
namespace {

study_histogram histogram(double width, std::vector<std::int64_t> counts, bool open_last = false) {
    study_histogram h{0, width, std::move(counts), open_last, 0};
    for (const std::int64_t n : h.counts) {
        h.total += n;
    }
    return h;
}

study_group group(const std::string& key, std::int64_t scale) {
    study_group g;
    g.key = key;
    g.volume.total = 900 * scale;
    g.volume.adt = 400.5 * static_cast<double>(scale);
    g.volume.adt_weekday = 410.25 * static_cast<double>(scale);
    g.volume.full_weekdays = 1;
    g.volume.full_weekend_days = 1;
    for (std::size_t h = 0; h < 24; ++h) {
        g.volume.weekday_profile[h] = static_cast<double>(h * scale);
        g.volume.weekend_profile[h] = static_cast<double>(h * scale) / 2;
    }
    g.volume.peak_hours.push_back(
        {study_date{2013, 3, 8, 4}, study_peak{435, 120, 40, 15, 0.75}, std::nullopt});
    g.volume.peak_hours.push_back(
        {std::nullopt, study_peak{420, 99.5, 30, 15, 0.829}, study_peak{1020, 130, 35, 15, 0.929}});
    g.speed.count = 100 * scale;
    g.speed.mean = 81.26;
    g.speed.stddev = 9.5;
    g.speed.min = 41;
    g.speed.max = 139;
    g.speed.percentiles = {study_percentile{15, 71, {}}, study_percentile{50, 80, {}},
                           study_percentile{85, 92, {}}, study_percentile{95, 101, {}}};
    g.speed.p85_free_flow = 93;
    g.speed.pace_from = 75;
    g.speed.pace_to = 85;
    g.speed.pace_share = 0.4;
    g.speed.share_above_limit = 0.25;
    g.speed.share_above_limit_10 = 0.05;
    std::vector<std::int64_t> speeds(140, 0);
    for (std::size_t v = 40; v < 140; ++v) {
        speeds[v] = static_cast<std::int64_t>(v < 80 ? v - 39 : 140 - v) * scale;
    }
    g.speed.histogram = histogram(1, speeds);
    for (int c = 1; c <= 13; ++c) {
        g.classes.push_back({std::to_string(c), c * scale, c / 91.0});
    }
    g.axles = {{"2", 80 * scale, 0.8}, {"5", 20 * scale, 0.2}};
    g.headways = histogram(1, {1, 5, 9, 8, 7, 6, 5, 4, 3, 2, 10}, true);
    g.gaps = g.headways;
    g.headway_under_2s_share = 0.06;
    g.lengths = histogram(1, {0, 0, 0, 10, 50, 20, 3, 0, 0, 0, 0, 0, 0, 0, 0, 4, 1, 0, 0});
    g.gross_weights = histogram(1000, {3, 60, 20, 5, 0, 0, 2, 4, 1, 0});
    g.weight_by_class = {{"2", 60, 1420.5, 0.01}, {"11", 5, 32000, 4.5}};
    g.esal = 4.51;
    g.esal_per_full_day = 2.2;
    return g;
}

study full_study() {
    study s;
    s.units = study_units{};
    s.speed_limit = 90;
    s.survey.site = std::string("<b>\"A&B's\"</b>\n\x01\x85\xe9\xff", 19);
    s.survey.location = "MAIN ROAD NORTH";
    s.survey.instrument = "K479 40512 2.10";
    s.survey.class_scheme = "EUR13";
    s.survey.start = study_instant{{2013, 3, 7, 3}, 9, 0, 0};
    s.survey.stop = study_instant{{2013, 3, 10, 6}, 15, 0, 0};
    s.survey.full_days = 2;
    s.survey.vehicles = 2700;
    s.survey.events = {{"sensor fault", 2, {}}, {"power", 1, {}}};
    s.has_speed = s.has_class = s.has_axles = s.has_headway = s.has_gap = s.has_length = s.weigh_site = true;
    for (int d = 7; d <= 10; ++d) {
        s.daily.push_back({study_date{2013, 3, d, (d - 4) % 7},
                           d == 8 || d == 9,
                           true,
                           100L * d,
                           {60L * d, 40L * d},
                           1.5,
                           {},
                           {}});
    }
    s.lanes = {{"1", 1000, 0.37}, {"2", 1700, 0.63}};
    s.groups = {group("all", 3), group("1", 1), group("2", 2)};
    return s;
}

std::string written(const study& s, int format) {
    run_settings settings{};
    settings.anl_format = format;
    const language_texts lang{};
    report_sink out;
    const run_context ctx{settings, lang, out};
    write_study(ctx, s);
    out.flush();
    return out.text();
}

// Every line ends in CR LF, holds no other control byte and fits in 80 columns.
void expect_report_lines(const std::string& text) {
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), report_width) << line;
        for (const char c : line) {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << line;
        }
        EXPECT_TRUE(line.empty() || line.back() != ' ') << "trailing blank: " << line;
        start = end + 2;
    }
}

TEST(StudyText, EveryLineFitsAndEndsInCrLf) {
    expect_report_lines(written(full_study(), anl_format_study));

    study eight = full_study(); // eight channels are set in several parts
    eight.survey.interval_file = true;
    eight.groups.resize(1);
    for (int c = 1; c <= 8; ++c) {
        eight.groups.push_back(group(std::to_string(c), c));
        eight.groups.back().heading = "A VERY LONG CHANNEL HEADING THAT GOES ON AND ON";
    }
    for (study_day& d : eight.daily) {
        d.by_group.assign(8, 123456789);
    }
    expect_report_lines(written(eight, anl_format_study));
}

TEST(StudyText, SectionsFollowTheData) {
    const std::string text = written(full_study(), anl_format_study);
    for (const char* title :
         {"Survey\r\n", "Volume\r\n", "Daily totals\r\n", "Hourly profile\r\n", "Peak hours\r\n", "Speed\r\n",
          "Classes\r\n", "Headways and gaps\r\n", "Lengths\r\n", "Weights and pavement load\r\n"}) {
        EXPECT_NE(text.find(title), std::string::npos) << title;
    }
    EXPECT_NE(text.find("partial"), std::string::npos);
    EXPECT_NE(text.find("Above 100"), std::string::npos); // the limit plus 10
    EXPECT_NE(text.find("above 10"), std::string::npos);  // the open headway bin

    study header = full_study();
    header.header_only = true;
    const std::string survey = written(header, anl_format_study);
    EXPECT_EQ(survey.find("Volume"), std::string::npos);
    EXPECT_EQ(survey.find("Vehicles"), std::string::npos);
    EXPECT_NE(survey.find("MAIN ROAD NORTH"), std::string::npos);
}

study interval_study() {
    study s = full_study();
    s.survey.interval_file = true;
    s.peak_hours_omitted = true;
    s.peak_hours_omitted_reason = "the counting interval is longer than 15 minutes";
    study_bin_list speeds{1, 1, "SPEED", "km/h", {"SPEED 0-50", "SPEED 50-90", "SPEED >90"}, {10, 70, 20},
                          {}};
    speeds.speed = study_speed{};
    speeds.speed->mean = 71.5;
    speeds.speed->mean_is_lower_bound = true;
    speeds.speed->percentiles = {study_percentile{15, 48.2, {}}, study_percentile{50, 70, {}},
                                 study_percentile{85, {}, 90}, study_percentile{95, {}, 90}};
    s.groups[0].bin_lists.push_back(speeds);
    return s;
}

TEST(StudyText, IntervalFigures) {
    study s = interval_study();
    const std::string text = written(s, anl_format_study);
    expect_report_lines(text);
    EXPECT_NE(text.find("Peak hours are omitted: the counting interval is longer than 15 minutes."),
              std::string::npos);
    EXPECT_NE(text.find("p85 above 90"), std::string::npos);
    EXPECT_NE(text.find("Mean 71.5 or more km/h"), std::string::npos);
    EXPECT_EQ(text.find("Speed\r\n="), std::string::npos); // no vehicle sections

    s.survey.count_only = true;
    EXPECT_EQ(written(s, anl_format_study).find("Binned counts"), std::string::npos);
}

TEST(TextTable, WideTableSplitsRepeatingTheFirstColumn) {
    text_table t{"", {"Name"}};
    std::vector<std::string> row{"first"};
    for (int i = 0; i < 12; ++i) {
        t.columns.push_back("Column " + std::to_string(i));
        row.push_back(std::to_string(i * 1000));
    }
    t.rows.push_back(row);
    report_sink out;
    write_text_table(out, t);
    const std::string text = out.text();
    expect_report_lines(text);
    // Set in two parts, each starting with the first column.
    EXPECT_NE(text.find("first"), std::string::npos);
    EXPECT_NE(text.find("first"), text.rfind("first"));
    EXPECT_NE(text.find("Column 0"), std::string::npos);
    EXPECT_NE(text.find("Column 11"), std::string::npos);
}

TEST(StudyHtml, HostileSiteNameCannotBreakThePage) {
    const std::string page = written(full_study(), anl_format_html);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;&quot;A&amp;B&#39;s&quot;&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.find("\xc3\xa9\xc3\xbf"), std::string::npos); // Latin-1 letters as UTF-8
    EXPECT_NE(page.find("\xef\xbf\xbd"), std::string::npos);     // control bytes shown as U+FFFD
    for (std::size_t i = 0; i < page.size(); ++i) {
        const auto c = static_cast<unsigned char>(page[i]);
        if (c < 0x20) {
            ASSERT_TRUE(c == '\r' && page[i + 1] == '\n') << "control byte at " << i;
            ++i;
        }
        ASSERT_FALSE(c == 0xc2 && static_cast<unsigned char>(page[i + 1]) < 0xa0) << "C1 control at " << i;
    }
}

TEST(StudyHtml, PageHoldsEveryChart) {
    const std::string page = written(full_study(), anl_format_html);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\r\n", 0), 0U);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("size: A4"), std::string::npos);
    for (const char* title :
         {"<title>Daily totals</title>", "<title>Mean hourly profile</title>",
          "<title>Speed distribution</title>", "<title>Class distribution</title>",
          "<title>Headway distribution</title>", "<title>Gross-weight distribution</title>"}) {
        EXPECT_NE(page.find(title), std::string::npos) << title;
    }
    EXPECT_NE(page.find("limit 90 km/h"), std::string::npos);
    EXPECT_NE(page.find("p85 92.0 km/h"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http:"), page.find("http://www.w3.org/2000/svg")); // the SVG namespace only
}

TEST(StudyHtml, SpeedBinsDrawnOnASpeedAxis) {
    study s = interval_study();
    std::string page = written(s, anl_format_html);
    EXPECT_NE(page.find("<title>Speed distribution, all channels</title>"), std::string::npos);
    EXPECT_NE(page.find("p85 above 90 km/h"), std::string::npos);
    EXPECT_NE(page.find("mean at least 71.5 km/h"), std::string::npos);
    EXPECT_NE(page.find(">above 90</text>"), std::string::npos); // the open bin, as wide as the one before

    // Bins that do not follow each other are drawn as bars, without markers.
    s.groups[0].bin_lists[0].labels[1] = "SPEED 60-90";
    page = written(s, anl_format_html);
    EXPECT_NE(page.find("<title>Speed distribution, all channels</title>"), std::string::npos);
    EXPECT_EQ(page.find("p85 above 90 km/h"), std::string::npos);
    EXPECT_NE(page.find(">60-90</text>"), std::string::npos);
}

TEST(SvgChart, NoDataIsSaidInASentence) {
    chart c;
    c.kind = chart_kind::histogram;
    c.no_data = "No vehicle has a speed.";
    c.edges = {0, 1, 2};
    c.series.push_back({"", {0, 0}});
    report_sink out;
    write_svg_chart(out, c);
    EXPECT_EQ(out.text(), "<p class=\"nodata\">No vehicle has a speed.</p>\r\n");
}

TEST(SvgChart, ValueAxisStartsAtZeroInNiceSteps) {
    EXPECT_EQ(nice_step(10, 5, 1), 2);
    EXPECT_EQ(nice_step(3, 5, 1), 1); // counts never step by less than one
    EXPECT_EQ(nice_step(0.3, 5, 0), 0.1);
    EXPECT_EQ(nice_step(2400, 5, 1), 500);
    EXPECT_EQ(nice_step(140, 8, 0), 20);

    chart c;
    c.kind = chart_kind::bars;
    c.title = "T";
    c.y_title = "Vehicles";
    c.categories = {"a", "b"};
    c.series.push_back({"", {7, 3}});
    report_sink out;
    write_svg_chart(out, c);
    const std::string svg = out.text();
    // Ticks 0, 2, 4, 6, 8: the axis top is the first step above the largest bar.
    EXPECT_NE(svg.find(">0</text>"), std::string::npos);
    EXPECT_NE(svg.find(">8</text>"), std::string::npos);
    EXPECT_EQ(svg.find(">10</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>a: 7</title>"), std::string::npos);
}

} // namespace
} // namespace tallycnv
