// The signal warrants against days worked out by hand from Table 4C-1 and
// Figures 4C-3 and 4C-4, and the approach volumes against a generator's record.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "study/study_compute.h"
#include "study/warrants.h"
#include "support/k479_builder.h"
#include "support/run_program.h"
#include "support/traffic_builder.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

// A day whose hourly volumes all fall in the hour's first quarter.
struct hour_volumes {
    int hour;
    double major;
    std::vector<double> minor;
};

warrant_inputs day_of(const std::vector<hour_volumes>& hours, std::size_t approaches) {
    warrant_inputs in;
    in.minor.assign(approaches, quarter_volumes{});
    for (const hour_volumes& h : hours) {
        const auto q = static_cast<std::size_t>(h.hour * 4);
        in.major[q] = h.major;
        for (std::size_t a = 0; a < h.minor.size(); ++a) {
            in.minor[a][q] = h.minor[a];
        }
    }
    return in;
}

std::vector<int> starts(std::initializer_list<int> hours) {
    std::vector<int> minutes;
    for (const int h : hours) {
        minutes.push_back(h * 60);
    }
    return minutes;
}

// One lane each way. Hours 6-8 meet A and B at 100 %; 9-10 meet A only;
// 11-15 meet both at 80 % only; 16 meets A at 70 % only.
warrant_inputs eight_hour_day() {
    std::vector<hour_volumes> hours;
    for (int h = 0; h < 24; ++h) {
        hours.push_back({h, 100, {10}});
    }
    for (int h : {6, 7, 8}) {
        hours[static_cast<std::size_t>(h)] = {h, 800, {160}};
    }
    for (int h : {9, 10}) {
        hours[static_cast<std::size_t>(h)] = {h, 520, {160}};
    }
    for (int h : {11, 12, 13, 14, 15}) {
        hours[static_cast<std::size_t>(h)] = {h, 650, {125}};
    }
    hours[16] = {16, 360, {110}};
    return day_of(hours, 1);
}

TEST(Warrant1, ConditionsCombinationAndTheReducedRule) {
    warrant_inputs in = eight_hour_day();
    warrant_day_result r = judge_warrants(in);
    EXPECT_EQ(r.warrant_1.percent, 100);
    EXPECT_EQ(r.warrant_1.condition_a.hours, starts({6, 7, 8, 9, 10}));
    EXPECT_FALSE(r.warrant_1.condition_a.met);
    EXPECT_EQ(r.warrant_1.condition_b.hours, starts({6, 7, 8}));
    EXPECT_FALSE(r.warrant_1.condition_b.met);
    EXPECT_EQ(r.warrant_1.combination_percent, 80);
    EXPECT_EQ(r.warrant_1.combination_a_hours.size(), 10U);
    EXPECT_EQ(r.warrant_1.combination_b_hours, starts({6, 7, 8, 11, 12, 13, 14, 15}));
    EXPECT_TRUE(r.warrant_1.combination_volumes_satisfied);
    EXPECT_FALSE(r.warrant_1.met);
    EXPECT_EQ(r.warrant_1.met_by, "");

    in.adequate_trial = true;
    r = judge_warrants(in);
    EXPECT_TRUE(r.warrant_1.met);
    EXPECT_EQ(r.warrant_1.met_by, "A+B");

    in.adequate_trial = false;
    in.reduced = true;
    r = judge_warrants(in);
    EXPECT_EQ(r.warrant_1.percent, 70);
    EXPECT_EQ(r.warrant_1.combination_percent, 56);
    EXPECT_EQ(r.warrant_1.condition_a.hours, starts({6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_TRUE(r.warrant_1.met);
    EXPECT_EQ(r.warrant_1.met_by, "A");
}

TEST(Warrant1, SpeedAboveFortyMilesAnHourOnly) {
    EXPECT_FALSE(reduced_warrant_rule(40, true, false));
    EXPECT_TRUE(reduced_warrant_rule(40.5, true, false));
    EXPECT_FALSE(reduced_warrant_rule(64.4, false, false));
    EXPECT_TRUE(reduced_warrant_rule(65, false, false));
    EXPECT_FALSE(reduced_warrant_rule(std::nullopt, false, false));
    EXPECT_TRUE(reduced_warrant_rule(30, false, true));
}

TEST(Warrant1, EachMinorApproachAgainstItsOwnLanes) {
    // Two major lanes; minor approach 1 has one lane (150), approach 2 two (200).
    warrant_inputs in = day_of({{7, 600, {140, 210}}, {8, 600, {160, 190}}, {9, 600, {149, 199}}}, 2);
    in.major_lanes = 2;
    in.minor_lanes = {1, 2};
    EXPECT_EQ(judge_warrants(in).warrant_1.condition_a.hours, starts({7, 8}));
}

TEST(Warrant1, QuarterHourWindowsDoNotOverlap) {
    // 07:30 to 09:30 at 125 and 38 a quarter: one clock hour (08:00) reaches
    // 500 and 150, the windows from 07:30 and from 08:30 both do.
    warrant_inputs in = day_of({}, 1);
    for (std::size_t q = 30; q < 38; ++q) {
        in.major[q] = 125;
        in.minor[0][q] = 38;
    }
    EXPECT_EQ(judge_warrants(in).warrant_1.condition_a.hours, std::vector<int>{480});
    in.quarter_hours = true;
    EXPECT_EQ(judge_warrants(in).warrant_1.condition_a.hours, (std::vector<int>{450, 510}));
}

TEST(Warrant3, CurvesInterpolatedAndFloored) {
    EXPECT_DOUBLE_EQ(*warrant_3_curve(950, 1, 1, false), 222.5);
    EXPECT_DOUBLE_EQ(*warrant_3_curve(500, 1, 1, false), 420);
    EXPECT_FALSE(warrant_3_curve(499, 1, 1, false));
    EXPECT_FALSE(warrant_3_curve(550, 2, 1, false)); // the middle curve starts at 600
    EXPECT_DOUBLE_EQ(*warrant_3_curve(2500, 1, 1, false), 100);
    EXPECT_DOUBLE_EQ(*warrant_3_curve(1650, 2, 1, false), 110);
    EXPECT_DOUBLE_EQ(*warrant_3_curve(1650, 1, 2, false), 150); // the middle curve, two minor lanes
    EXPECT_DOUBLE_EQ(*warrant_3_curve(1250, 2, 2, false), 267.5);
    EXPECT_DOUBLE_EQ(*warrant_3_curve(450, 1, 1, true), 240);
    EXPECT_FALSE(warrant_3_curve(450, 2, 2, true));
    EXPECT_DOUBLE_EQ(*warrant_3_curve(5000, 2, 2, true), 100);
}

TEST(Warrant3, HoursOnTheCurveAndTheVolumeParts) {
    // 950 major: the curve asks 222.5 of a one-lane approach.
    warrant_inputs in = day_of({{7, 950, {223}}, {8, 950, {222}}, {17, 400, {120}}}, 1);
    in.approaches = 3;
    const warrant_3_result r = judge_warrants(in).warrant_3;
    EXPECT_EQ(r.hours, starts({7}));
    EXPECT_TRUE(r.met);
    EXPECT_EQ(r.volume_part_hours, starts({7, 8})); // 17:00: 520 entering, under 650
}

} // namespace
} // namespace tallycnv

namespace tallycnv {
namespace {

TEST(WarrantRun, VolumesOfTheApproachesOnTheCommonDaysAndTheirMeanWeekday) {
    // Two full weekdays; the major street is the whole file, the minor approach its direction 2.
    const test::generated_traffic traffic = test::generate_traffic(2, 11);
    const std::string dir = test::make_temp_dir();
    const std::string path = dir + "/MAIN.DAT";
    test::write_file(path, test::build_vbv_file(traffic.header, test::build_vbv_records(traffic.records)));
    run_settings settings;
    settings.warrants.asked = true;
    settings.warrants.major = {{path, 0}};
    settings.warrants.minor = {{path, 2}};
    const language_texts lang;
    report_sink out;
    const warrant_report r = judge_study_warrants(run_context{settings, lang, out}, false);

    std::array<std::array<double, 24>, 2> all{};
    std::array<std::array<double, 24>, 2> second{};
    std::vector<unsigned> speeds;
    for (const test::generated_vehicle& g : traffic.vehicles) {
        ++all[g.day][g.hour];
        second[g.day][g.hour] += g.direction == 1 ? 1 : 0;
        speeds.push_back(g.speed);
    }
    std::sort(speeds.begin(), speeds.end());
    ASSERT_EQ(r.days.size(), 3U);
    EXPECT_EQ(r.days[0].day, "2013-03-04");
    EXPECT_EQ(r.days[2].day, "mean weekday");
    for (std::size_t d = 0; d < 2; ++d) {
        EXPECT_EQ(r.days[d].major_hourly, all[d]);
        ASSERT_EQ(r.days[d].minor_hourly.size(), 1U);
        EXPECT_EQ(r.days[d].minor_hourly[0], second[d]);
    }
    for (std::size_t h = 0; h < 24; ++h) {
        EXPECT_DOUBLE_EQ(r.days[2].major_hourly[h], (all[0][h] + all[1][h]) / 2) << h;
    }
    EXPECT_FALSE(r.speed_given);
    EXPECT_EQ(r.major_speed, speeds[(85 * speeds.size() + 99) / 100 - 1]);
    EXPECT_EQ(r.reduced, *r.major_speed > 64.4);
    EXPECT_EQ(r.approaches, 3);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tallycnv
