// The study's figures where the read-back from the CSV export cannot reach:
// the calendar, vehicles on dates that do not exist, ties between peak hours,
// and the interval grids that have peak hours and those that have not; the
// engineer's tables against a generator's record; the crossing gaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "study/study_compute.h"
#include "support/interval_builder.h"
#include "support/traffic_builder.h"
#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

struct computed {
    run_settings settings;
    language_texts lang;
    report_sink out;
    study s;
};

// The study of a data file, computed as a -fjson run computes it.
void compute(computed& c, const test::bytes& file,
             const std::vector<std::pair<std::string, double>>& thresholds = {}) {
    for (const auto& [name, value] : thresholds) {
        for (std::size_t i = 0; i < qc_rule_count; ++i) {
            if (qc_rules[i].name == name) {
                c.settings.quality.threshold[i] = value;
            }
        }
    }
    byte_stream input(file);
    k479_defn header{};
    read_header_block(input, header);
    const run_context ctx{c.settings, c.lang, c.out};
    c.s = make_study(ctx, header);
    if (header.type == 'V') {
        compute_vehicle_study(ctx, input, header, c.s);
    } else {
        compute_interval_study(ctx, input, header, c.s);
    }
}

TEST(StudyCalendar, DaysRoundTripOverThreeCenturies) {
    EXPECT_EQ(day_number(1970, 1, 1), 0);
    EXPECT_TRUE(day_number(2000, 2, 29));
    EXPECT_FALSE(day_number(2100, 2, 29));
    EXPECT_FALSE(day_number(2013, 13, 1));
    EXPECT_FALSE(day_number(2013, 4, 31));
    EXPECT_EQ(date_of_day(*day_number(2013, 3, 7)).weekday, 3); // a Thursday
    const std::optional<study_instant> midnight = instant_of(2013, 2, 28, 24, 0, 0);
    ASSERT_TRUE(midnight);
    EXPECT_EQ(midnight->date.month, 3);
    EXPECT_EQ(midnight->date.day, 1);
    EXPECT_EQ(midnight->hour, 0);
    EXPECT_FALSE(instant_of(2013, 2, 28, 24, 1, 0));
    const long first = *day_number(1900, 1, 1);
    const long last = *day_number(2200, 12, 31);
    for (long day = first; day <= last; ++day) {
        const study_date d = date_of_day(day);
        ASSERT_EQ(day_number(d.year, d.month, d.day), day) << d.year << "-" << d.month << "-" << d.day;
        ASSERT_EQ(d.weekday, ((day + 3) % 7 + 7) % 7);
    }
}

TEST(StudyVehicles, ADateThatDoesNotExistCountsInTheTotalsOnly) {
    computed c;
    compute(c, test::build_vbv_file("closed_ok 1\nnum_records 4", test::build_vbv_records(R"(
        date 2013 3 7
        type4 lane=0 axles=2 time=360000 speed=80 wheelbase=300
        date 2013 13 40
        type4 lane=0 axles=2 time=360100 speed=90 wheelbase=300
    )")));
    EXPECT_EQ(c.s.groups[0].volume.total, 2);
    EXPECT_EQ(c.s.groups[0].speed.count, 2);
    ASSERT_EQ(c.s.daily.size(), 1U);
    EXPECT_EQ(c.s.daily[0].total, 1);
}

TEST(StudyVehicles, PeakHoursTakeTheEarliestOfEqualWindowsAndCrossNoon) {
    // One full day: a vehicle at 03:00, one at 05:00, three at 11:50, 12:05 and
    // 12:10 (the morning's busiest window runs past noon); sixteen from 16:00,
    // four in each quarter hour, in the afternoon.
    std::string records = "date 2013 3 7\n"
                          "type4 lane=0 axles=2 time=108000 speed=80\n"
                          "type4 lane=0 axles=2 time=180000 speed=80\n"
                          "type4 lane=0 axles=2 time=426000 speed=80\n"
                          "type4 lane=0 axles=2 time=435000 speed=80\n"
                          "type4 lane=0 axles=2 time=438000 speed=80\n";
    for (int i = 0; i < 16; ++i) {
        records += "type4 lane=0 axles=2 speed=80 time=" + std::to_string(576000 + i * 2250) + "\n";
    }
    computed c;
    compute(c,
            test::build_vbv_file("closed_ok 1\nnum_records 22\nstart 2013-03-07 00:00:00\n"
                                 "stop 2013-03-08 00:00:00",
                                 test::build_vbv_records(records)),
            {{"zero_hours", 25}}); // a quiet day, kept
    const std::vector<study_peak_day>& peaks = c.s.groups[0].volume.peak_hours;
    ASSERT_EQ(peaks.size(), 2U); // the day, then the mean weekday
    ASSERT_TRUE(peaks[0].am && peaks[0].pm);
    EXPECT_EQ(peaks[0].am->start_minute, 11 * 60 + 15); // the first window holding the three
    EXPECT_EQ(peaks[0].am->volume, 3);
    EXPECT_EQ(peaks[0].am->factor, 0.375); // 3 / (4 x 2)
    EXPECT_EQ(peaks[0].pm->start_minute, 16 * 60);
    EXPECT_EQ(peaks[0].pm->volume, 16);
    EXPECT_EQ(peaks[0].pm->factor, 1.0);
    ASSERT_TRUE(peaks[0].day);
    EXPECT_EQ(peaks[0].day->start_minute, 16 * 60);
    EXPECT_EQ(c.s.groups[0].volume.adt, 21.0);
}

TEST(StudyIntervals, TenMinuteIntervalsGiveTheBusiestIntervalAndNoPhf) {
    // One full day of six vehicles every 10 minutes, thirty in the interval ending 07:20.
    test::header_builder h;
    h.describe("type m\ncard_type 1 1\nstart 2013-03-07 00:00:00\nstop 2013-03-08 00:00:00\ninterval 10\n"
               "no_chans 1\nblock_size 2\nnum_records 144");
    computed c;
    compute(c, test::build_interval_file(h, "43* ch1: 6\nch1: 30\n100* ch1: 6\n", 1));
    EXPECT_FALSE(c.s.peak_hours_omitted);
    EXPECT_FALSE(c.s.peak_by_quarters);
    EXPECT_EQ(c.s.peak_grid_minutes, 10);
    const std::vector<study_peak_day>& peaks = c.s.groups[0].volume.peak_hours;
    ASSERT_EQ(peaks.size(), 2U); // the day, then the mean weekday
    ASSERT_TRUE(peaks[0].am && peaks[0].pm);
    EXPECT_EQ(peaks[0].am->start_minute, 6 * 60 + 20); // the first window holding 07:10-07:20
    EXPECT_EQ(peaks[0].am->volume, 60);
    EXPECT_EQ(peaks[0].am->largest_part, 30);
    EXPECT_EQ(peaks[0].am->largest_part_minutes, 10);
    EXPECT_FALSE(peaks[0].am->factor); // 60 / (6 x 30) is not a PHF
    EXPECT_EQ(peaks[0].pm->start_minute, 12 * 60);
    EXPECT_FALSE(peaks[0].pm->factor);
    ASSERT_TRUE(peaks[0].day);
    EXPECT_EQ(peaks[0].day->start_minute, 6 * 60 + 20);
    EXPECT_NE(c.s.phf_omitted_reason.find("10-minute"), std::string::npos);
    EXPECT_EQ(c.s.groups[0].volume.weekday_profile[7], 60.0);
}

TEST(StudyIntervals, PeakHoursStartOnTheIntervalEndsOfBothGrids) {
    // Every 15 minutes, every 5 from 16:35 to 18:05: the interval ending 16:45 began at 16:30,
    // so no window starts at 16:40 although 16:40 lies on the 5-minute grid. One vehicle an
    // interval, a hundred in that one.
    test::header_builder h;
    h.describe("type m\ncard_type 1 1\nstart 2013-03-07 00:00:00\nstop 2013-03-08 00:00:00\ninterval 15\n"
               "peak_interval 5\npeak_times 16 35 18 5\nno_chans 1\nblock_size 2\nnum_records 107");
    computed c;
    compute(c, test::build_interval_file(h, "66* ch1: 1\nch1: 100\n40* ch1: 1\n", 1));
    EXPECT_TRUE(c.s.peak_by_quarters);
    EXPECT_EQ(c.s.peak_grid_minutes, 5);
    EXPECT_EQ(c.s.survey.full_days, 1);
    const std::vector<study_peak_day>& peaks = c.s.groups[0].volume.peak_hours;
    ASSERT_FALSE(peaks.empty());
    ASSERT_TRUE(peaks[0].pm);
    EXPECT_EQ(peaks[0].pm->start_minute, 16 * 60 + 30);
    EXPECT_EQ(peaks[0].pm->volume, 109);
    EXPECT_EQ(peaks[0].pm->largest_part, 100);
}

TEST(StudyIntervals, PeakHoursNeedIntervalsThatDivideTheHourAndPhfQuarterHours) {
    const auto reason = [](const std::string& intervals) {
        test::header_builder h;
        h.describe("type m\ncard_type 1 1\nstart 2013-03-07 00:00:00\nstop 2013-03-08 00:00:00\n"
                   "no_chans 1\nblock_size 2\nnum_records 4\n" +
                   intervals);
        computed c;
        compute(c, test::build_interval_file(h, "4* ch1: 6\n", 1));
        EXPECT_EQ(c.s.peak_hours_omitted, !c.s.peak_hours_omitted_reason.empty());
        EXPECT_EQ(c.s.peak_by_quarters || c.s.peak_hours_omitted, c.s.phf_omitted_reason.empty());
        return c.s.peak_hours_omitted_reason + "|" + (c.s.peak_by_quarters ? "PHF" : "no PHF");
    };
    const std::string omitted = "the counting interval does not divide the hour|no PHF";
    EXPECT_EQ(reason("interval 7"), omitted);
    EXPECT_EQ(reason("interval 90"), omitted);
    EXPECT_EQ(reason("interval 15\npeak_interval 14\npeak_times 7 0 9 0"), omitted);
    for (const char* hour_dividing : {"interval 20", "interval 30", "interval 60", "interval 10",
                                      "interval 12", "interval 12\npeak_interval 30\npeak_times 7 0 9 0",
                                      "interval 60\npeak_interval 15\npeak_times 7 0 9 0"}) {
        EXPECT_EQ(reason(hour_dividing), "|no PHF") << hour_dividing;
    }
    // A peak interval without a peak period is never in force.
    EXPECT_EQ(reason("interval 5\npeak_interval 30"), "|PHF");
    EXPECT_EQ(reason("interval 5\npeak_interval 15\npeak_times 7 0 9 0"), "|PHF");
    EXPECT_EQ(reason("interval 2\npeak_interval 15\npeak_times 7 0 9 0"), "|no PHF");
}

// A fortnight of vehicles from Monday 4 March 2013 as a generator writes it,
// with its own record: each day's vehicles and where its records end in the
// data area. A vehicle an hour-dependent number of times an hour, both
// directions alike; `quiet_day` has none from 10:00 to 18:00 (a sensor out).
struct fortnight {
    test::bytes data;
    std::array<std::int64_t, 14> per_day{};
    std::array<std::size_t, 14> day_end{};
    int records = 0;
};

fortnight make_fortnight(int quiet_day = -1) {
    fortnight f;
    for (int d = 0; d < 14; ++d) {
        std::string text = "date 2013 3 " + std::to_string(4 + d) + "\n";
        ++f.records;
        for (int h = 0; h < 24; ++h) {
            const int busy = h >= 6 && h < 22 ? 40 : 0; // quiet nights
            const int n = d == quiet_day && h >= 10 && h < 18 ? 0 : 5 + busy + (h * 7 + d * 3) % 10;
            for (int i = 0; i < n; ++i) {
                text += "type4 axles=2 class=2 speed=80 wheelbase=300 overhang=100 lane=" +
                        std::to_string(i % 2) + " dir=" + std::to_string(i % 2) +
                        " time=" + std::to_string(h * 36000 + i * (36000 / n)) + "\n";
            }
            f.per_day[static_cast<std::size_t>(d)] += n;
            f.records += n;
        }
        const test::bytes chunk = test::build_vbv_records(text);
        f.data.insert(f.data.end(), chunk.begin(), chunk.end());
        f.day_end[static_cast<std::size_t>(d)] = f.data.size();
    }
    return f;
}

test::bytes fortnight_file(const fortnight& f, const std::string& stop = "2013-03-18 00:00:00") {
    return test::build_vbv_file("closed_ok 1\nnum_records " + std::to_string(f.records) +
                                    "\nstart 2013-03-04 00:00:00\nstop " + stop,
                                f.data);
}

double mean_of_days(const fortnight& f, int from, int to, int left_out = -1) {
    double sum = 0;
    int days = 0;
    for (int d = from; d < to; ++d) {
        if (d != left_out) {
            sum += static_cast<double>(f.per_day[static_cast<std::size_t>(d)]);
            ++days;
        }
    }
    return sum / days;
}

bool any_critical(const study& s) {
    return std::any_of(s.quality.flags.begin(), s.quality.flags.end(),
                       [](const quality_flag& q) { return rule_critical(q.rule); });
}

TEST(StudyQuality, ACleanFortnightRaisesNoFlag) {
    const fortnight f = make_fortnight();
    computed c;
    compute(c, fortnight_file(f));
    EXPECT_TRUE(c.s.quality.flags.empty());
    EXPECT_FALSE(c.s.quality.cut_short);
    EXPECT_EQ(c.s.survey.full_days, 14);
    EXPECT_DOUBLE_EQ(*c.s.groups[0].volume.adt, mean_of_days(f, 0, 14));
    EXPECT_EQ(quality_notice(c.s, "X.DAT"), "");
}

TEST(StudyQuality, AFileCutAtFortyPercentEndsAtItsLastCompleteRecord) {
    const fortnight f = make_fortnight();
    test::bytes file = fortnight_file(f);
    const std::size_t data_start = file.size() - f.data.size();
    const std::size_t cut = f.data.size() * 2 / 5;
    file.resize(data_start + cut);
    // The day the cut falls in, by the generator's record; the days before it are full.
    int cut_day = 0;
    while (f.day_end[static_cast<std::size_t>(cut_day)] <= cut) {
        ++cut_day;
    }
    computed c;
    compute(c, file);
    ASSERT_TRUE(c.s.quality.cut_short);
    EXPECT_LE(c.s.quality.cut_short->byte_offset, data_start + cut);
    EXPECT_GT(c.s.quality.cut_short->byte_offset + 30, data_start + cut); // within the record cut through
    EXPECT_EQ(c.s.quality.cut_short->promised_offset, data_start + f.data.size());
    EXPECT_EQ(c.s.survey.full_days, cut_day);
    EXPECT_DOUBLE_EQ(*c.s.groups[0].volume.adt, mean_of_days(f, 0, cut_day));
    EXPECT_FALSE(any_critical(c.s)); // the partial last day is not flagged for its missing hours
    EXPECT_EQ(c.s.daily.size(), static_cast<std::size_t>(cut_day + 1));
    EXPECT_TRUE(quality_notice(c.s, "X.DAT").starts_with("tallycnv: X.DAT: cut short at 2013-03-"));
}

TEST(StudyQuality, DaysPastTheLastVehicleAreExcluded) {
    const fortnight f = make_fortnight();
    computed c;
    compute(c, fortnight_file(f, "2013-05-19 00:00:00")); // 62 days after the fortnight
    EXPECT_EQ(c.s.survey.full_days, 76);
    EXPECT_EQ(c.s.quality.excluded_days.size(), 62U);
    EXPECT_EQ(c.s.quality.excluded_days.front().day, 18);
    EXPECT_DOUBLE_EQ(*c.s.groups[0].volume.adt, mean_of_days(f, 0, 14));
    EXPECT_EQ(c.s.groups[0].volume.full_weekdays, 10);
    EXPECT_EQ(quality_notice(c.s, "X.DAT"), "tallycnv: X.DAT: 62 days excluded by data-quality rules\n");
}

TEST(StudyQuality, EightEmptyHoursTakeTheDayOutOfTheAverages) {
    const fortnight f = make_fortnight(5);
    computed c;
    compute(c, fortnight_file(f));
    // One per direction, and the caution that the night beat the (empty) afternoon.
    ASSERT_EQ(c.s.quality.flags.size(), 4U);
    for (const quality_flag& q : c.s.quality.flags) {
        if (q.rule == qc_rule::night_over_noon) {
            continue;
        }
        EXPECT_EQ(q.rule, qc_rule::zero_hours);
        EXPECT_EQ(q.date->day, 9);
        EXPECT_EQ(q.from_minute, 600);
        EXPECT_EQ(q.to_minute, 1080);
        EXPECT_EQ(q.value, 8);
    }
    EXPECT_FALSE(c.s.daily[5].valid);
    EXPECT_DOUBLE_EQ(*c.s.groups[0].volume.adt, mean_of_days(f, 0, 14, 5));
    EXPECT_EQ(c.s.groups[0].volume.full_weekend_days, 3); // 9 March was a Saturday
    EXPECT_EQ(c.s.groups[0].volume.full_weekdays, 10);

    computed nine;
    compute(nine, fortnight_file(f), {{"zero_hours", 9}}); // a higher threshold keeps the day
    EXPECT_FALSE(any_critical(nine.s));
    EXPECT_DOUBLE_EQ(*nine.s.groups[0].volume.adt, mean_of_days(f, 0, 14));
}

TEST(StudyQuality, ImpossibleVehiclesAreCountedAndFlagged) {
    // A speed of 3 km/h, the clock going back in lane 1, an impossible date, a time past midnight.
    computed c;
    compute(c, test::build_vbv_file("closed_ok 1\nnum_records 10", test::build_vbv_records(R"(
        date 2013 3 7
        type4 lane=0 class=2 axles=2 time=360000 speed=80 wheelbase=300
        type4 lane=0 class=2 axles=2 time=370000 speed=3 wheelbase=300
        type4 lane=0 class=2 axles=2 time=365000 speed=90 wheelbase=300
        type4 lane=1 class=2 axles=2 time=364000 speed=90 wheelbase=300
        date 2013 13 40
        type4 lane=0 class=2 axles=2 time=360100 speed=90 wheelbase=300
        type4 lane=0 class=2 axles=2 time=360200 speed=90 wheelbase=300
        date 2013 3 7
        type4 lane=0 class=2 axles=2 time=1000000 speed=90 wheelbase=300
    )")),
            {{"zero_hours", 25}});
    EXPECT_EQ(c.s.groups[0].volume.total, 7);
    EXPECT_EQ(c.s.quality.undated_vehicles, 2);
    EXPECT_EQ(c.s.groups[0].speed.count, 6); // the 3 km/h vehicle left out
    ASSERT_EQ(c.s.daily.size(), 2U);
    EXPECT_EQ(c.s.daily[1].total, 1); // 27:46:40 is 03:46:40 of the next day
    std::vector<std::string> fired;
    for (const quality_flag& q : c.s.quality.flags) {
        fired.push_back(std::string(rule_name(q.rule)) + (q.date ? " " + std::to_string(q.date->day) : ""));
    }
    EXPECT_EQ(fired, (std::vector<std::string>{"clock 7", "implausible_vehicle 7", "invalid_time"}));
    EXPECT_EQ(c.s.quality.flags[0].value, 500); // 10:16:40 back to 10:08:20, lane 2 not compared
    EXPECT_EQ(c.s.quality.flags.back().value, 2);
}

// Ten days of hourly counts on two channels from Thursday 7 March 2013, each
// hour's count the generator's own; `negative` puts -50 into one hour of the fourth day.
TEST(StudyQuality, TenDaysOfHourlyCountsAreJudgedFromTheirHours) {
    // `blocks_written` of the 240 the header counts are in the file.
    const auto run = [](bool negative, double& adt_truth, int blocks_written = 240) {
        test::header_builder h;
        h.describe("type m\ncard_type 1 1\nstart 2013-03-07 00:00:00\nstop 2013-03-17 00:00:00\ninterval 60\n"
                   "no_chans 2\nchannel_assignment 1 2\nblock_size 4\nnum_records 240");
        std::string blocks;
        std::array<double, 10> totals{};
        for (int b = 0; b < blocks_written; ++b) {
            const int hour = b % 24;
            const int one = negative && b == 3 * 24 + 14 ? -50 : 30 + (hour * 11) % 40;
            const int two = 25 + (hour * 13 + b / 24) % 45;
            blocks += "ch1: " + std::to_string(one) + " ch2: " + std::to_string(two) + "\n";
            totals[static_cast<std::size_t>(b / 24)] += one + two;
        }
        double sum = 0;
        const int full = blocks_written / 24;
        for (int d = 0; d < full; ++d) {
            sum += negative && d == 3 ? 0 : totals[static_cast<std::size_t>(d)];
        }
        adt_truth = sum / (negative ? full - 1 : full);
        computed c;
        compute(c, test::build_interval_file(h, blocks, 1));
        return std::move(c.s);
    };
    double truth = 0;
    const study clean = run(false, truth);
    EXPECT_FALSE(any_critical(clean));
    EXPECT_EQ(clean.survey.full_days, 10);
    EXPECT_DOUBLE_EQ(*clean.groups[0].volume.adt, truth);

    const study judged = run(true, truth);
    ASSERT_EQ(judged.quality.excluded_days.size(), 1U);
    EXPECT_EQ(judged.quality.excluded_days[0].day, 10);
    ASSERT_FALSE(judged.quality.flags.empty());
    const quality_flag& q = judged.quality.flags[0];
    EXPECT_EQ(q.rule, qc_rule::negative_count);
    EXPECT_EQ(q.group, "1");
    EXPECT_EQ(q.value, -50);
    EXPECT_EQ(q.from_minute, 14 * 60);
    EXPECT_EQ(q.to_minute, 15 * 60);
    EXPECT_DOUBLE_EQ(*judged.groups[0].volume.adt, truth);

    const study cut = run(false, truth, 100); // four days and four hours
    ASSERT_TRUE(cut.quality.cut_short);
    EXPECT_TRUE(cut.quality.cut_short->blocks);
    EXPECT_EQ(cut.quality.cut_short->records, 100);
    EXPECT_EQ(cut.quality.cut_short->promised_records, 240);
    EXPECT_EQ(cut.quality.cut_short->promised_offset - cut.quality.cut_short->byte_offset, 140U * 4);
    EXPECT_EQ(cut.quality.cut_short->at->hour, 4);
    EXPECT_EQ(cut.survey.full_days, 4);
    EXPECT_DOUBLE_EQ(*cut.groups[0].volume.adt, truth);
    EXPECT_FALSE(any_critical(cut));
}

} // namespace
} // namespace tallycnv

namespace tallycnv {
namespace {

TEST(CrossingGaps, AdequateGapsByThePeriodTheyStartIn) {
    EXPECT_DOUBLE_EQ(adequate_gap_seconds(0, 35, 2, 0, 3, 2, true), 15);      // 35 ft at 3.5 ft/s, two rows
    EXPECT_DOUBLE_EQ(adequate_gap_seconds(0, 10.668, 1, 0, 3, 2, false), 13); // the same speed in m/s
    EXPECT_DOUBLE_EQ(adequate_gap_seconds(7.5, 35, 2, 0, 3, 2, true), 7.5);
    // Times in tenths of a second from 08:00:00 (288000); the lane-2 vehicle
    // at 08:07 is recorded late and merged back in time order.
    std::string records = "date 2013 3 7\n";
    for (const int t : {288000, 288100, 288199, 290950, 291050, 291200, 294000, 294100, 294200, 294300,
                        294400, 294500, 324000}) {
        records += "type4 lane=0 axles=2 speed=80 time=" + std::to_string(t) + "\n";
    }
    records += "type4 lane=1 axles=2 speed=80 time=292200\n";
    computed c;
    c.settings.gap_study.asked = true;
    c.settings.gap_study.adequate_gap = 10;
    c.settings.gap_study.period_from = 8 * 60;
    c.settings.gap_study.period_to = 8 * 60 + 15;
    compute(c,
            test::build_vbv_file("closed_ok 1\nnum_records 15\nstart 2013-03-07 00:00:00\n"
                                 "stop 2013-03-08 00:00:00",
                                 test::build_vbv_records(records)),
            {{"zero_hours", 25}}); // a quiet day, kept

    ASSERT_TRUE(c.s.gap_study);
    ASSERT_EQ(c.s.gap_study->days.size(), 1U);
    const gap_study_day& day = c.s.gap_study->days[0];
    EXPECT_EQ(day.date, "2013-03-07");
    ASSERT_EQ(day.periods.size(), 3U);
    // 08:00: 10 s exactly, not 9.9 s, 275 s, and 10 s from 08:04:55 across the boundary.
    EXPECT_EQ(day.periods[0].adequate_gaps, 3);
    EXPECT_TRUE(day.periods[0].deficient);
    EXPECT_EQ(day.periods[1].adequate_gaps, 3); // from 08:05:05, 08:05:20 and the merged 08:07:00
    EXPECT_EQ(day.periods[2].adequate_gaps, 6);
    EXPECT_FALSE(day.periods[2].deficient);
    EXPECT_EQ(day.adequate_gaps, 12);
    EXPECT_EQ(day.minutes, 15);
    EXPECT_TRUE(day.criterion_met);
}

} // namespace
} // namespace tallycnv

namespace tallycnv {
namespace {

TEST(StudyTables, AgreeWithTheGeneratorsRecordOfItsVehicles) {
    const test::generated_traffic traffic = test::generate_traffic(2, 7);
    computed c;
    compute(c, test::build_vbv_file(traffic.header, test::build_vbv_records(traffic.records)));
    ASSERT_EQ(c.s.daily.size(), 2U);
    const study_tables& t = c.s.tables;
    ASSERT_TRUE(t.vehicle_tables);

    // Hour by day, all and by direction; speeds by hour; the matrices; following; heavy vehicles.
    std::vector<std::vector<std::int64_t>> hour_day(2, std::vector<std::int64_t>(3 * 24, 0));
    std::vector<std::vector<unsigned>> hour_speeds(24);
    std::map<std::pair<std::string, std::size_t>, std::int64_t> class_speed;
    std::map<std::pair<std::size_t, std::size_t>, std::int64_t> speed_headway;
    std::array<std::int64_t, 24> following{};
    std::int64_t heavy = 0;
    const unsigned edges[] = {10, 20, 30, 40, 60, 100};
    for (const test::generated_vehicle& g : traffic.vehicles) {
        ++hour_day[g.day][g.hour];
        ++hour_day[g.day][(g.direction + 1) * 24 + g.hour];
        hour_speeds[g.hour].push_back(g.speed);
        ++class_speed[{std::to_string(g.class_code), g.speed / 10}];
        std::size_t bin = 0;
        while (bin < 6 && g.headway >= edges[bin]) {
            ++bin;
        }
        ++speed_headway[{g.speed / 10, bin}];
        following[g.hour] += g.headway < 30 ? 1 : 0;
        heavy += g.axles >= 3 ? 1 : 0;
    }
    for (std::size_t d = 0; d < 2; ++d) {
        EXPECT_EQ(c.s.daily[d].hours, hour_day[d]) << "day " << d;
    }
    for (std::size_t h = 0; h < 24; ++h) {
        std::vector<unsigned>& speeds = hour_speeds[h];
        std::sort(speeds.begin(), speeds.end());
        const speed_hour& f = t.speed_by_hour[h];
        ASSERT_EQ(f.vehicles, static_cast<std::int64_t>(speeds.size())) << h;
        if (speeds.empty()) {
            continue;
        }
        // Nearest rank: the value at position ceil(N % of n).
        const auto rank = [&](unsigned n) { return speeds[(n * speeds.size() + 99) / 100 - 1]; };
        EXPECT_EQ(f.percentiles[0], rank(15)) << h;
        EXPECT_EQ(f.percentiles[2], rank(85)) << h;
        EXPECT_EQ(f.percentiles[3], rank(95)) << h;
        double sum = 0;
        for (const unsigned s : speeds) {
            sum += s;
        }
        EXPECT_NEAR(*f.mean, sum / static_cast<double>(speeds.size()), 1e-9) << h;
        EXPECT_EQ(f.bins[speeds.front() / 10] > 0, true) << h;
        EXPECT_EQ(t.following_by_hour[h], following[h]) << h;
        EXPECT_EQ(t.headways_by_hour[h], static_cast<std::int64_t>(speeds.size())) << h;
    }
    std::int64_t matrix_total = 0;
    for (const auto& [code, row] : t.class_by_speed) {
        for (std::size_t b = 0; b < row.size(); ++b) {
            matrix_total += row[b];
            EXPECT_EQ(row[b], (class_speed[{code, b}])) << "class " << code << " bin " << b;
        }
    }
    for (std::size_t b = 0; b < t.speed_by_headway.size(); ++b) {
        for (std::size_t k = 0; k < headway_bins; ++k) {
            EXPECT_EQ(t.speed_by_headway[b][k], (speed_headway[{b, k}])) << b << " " << k;
        }
    }
    EXPECT_EQ(matrix_total, static_cast<std::int64_t>(traffic.vehicles.size()));
    EXPECT_EQ(t.heavy_basis, "three axles or more");
    EXPECT_EQ(t.heavy, heavy);
    EXPECT_EQ(t.heavy_base, static_cast<std::int64_t>(traffic.vehicles.size()));

    // Under an FHWA scheme heavy vehicles are classes 4 to 13.
    computed fhwa;
    compute(fhwa, test::build_vbv_file(traffic.header + "\nclass_scheme 2\nnum_classes 13",
                                       test::build_vbv_records(traffic.records)));
    std::int64_t single_unit = 0;
    std::int64_t combination = 0;
    for (const test::generated_vehicle& g : traffic.vehicles) {
        single_unit += g.class_code >= 4 && g.class_code <= 7 ? 1 : 0;
        combination += g.class_code >= 8 ? 1 : 0;
    }
    EXPECT_EQ(fhwa.s.tables.heavy, single_unit + combination);
    EXPECT_EQ(fhwa.s.tables.single_unit, single_unit);
    EXPECT_EQ(fhwa.s.tables.combination, combination);
}

} // namespace
} // namespace tallycnv
