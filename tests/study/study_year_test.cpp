// A site's year against a generator that knows its own figures: the order of
// averaging (AASHTO average of averages against the plain mean), the factors,
// the design hour, and the factored volumes of a short count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "study/study_compute.h"
#include "support/interval_builder.h"
#include "support/run_program.h"
#include "support/vbv_builder.h"
#include "support/year_builder.h"

namespace tallycnv {
namespace {

// The study of a generated year as a -fjson run computes it, the emptied days excluded by date.
study year_study(const test::generated_year& y, const test::bytes& file) {
    run_settings settings;
    for (const std::string& date : y.emptied) {
        settings.year.exclude.push_back(
            {std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)), std::stoi(date.substr(8, 2))});
    }
    language_texts lang;
    report_sink out;
    byte_stream input(file);
    k479_defn header{};
    read_header_block(input, header);
    const run_context ctx{settings, lang, out};
    study s = make_study(ctx, header);
    compute_interval_study(ctx, input, header, s);
    fill_annual(s, settings);
    return s;
}

double mean(const auto& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

TEST(StudyYear, AnnualAveragesAreAveragesOfTheMonthWeekdayMeans) {
    const test::generated_year y = test::make_year();
    const study s = year_study(y, y.interval_file(y.first_day(), y.last_day()));
    ASSERT_EQ(s.annual.size(), 1U);
    const study_year& a = s.annual[0];
    EXPECT_EQ(a.year, 2013);
    EXPECT_EQ(a.excluded_days, 12);
    EXPECT_EQ(a.valid_days, 365 - 12);
    const double mean_m = mean(y.month_factor);
    const double mean_d = mean(y.weekday_factor);
    ASSERT_TRUE(a.aadt);
    EXPECT_EQ(a.aadt_missing_cells, 0);
    EXPECT_NEAR(*a.aadt, y.base * mean_m * mean_d, 1e-9);
    // The plain mean weighs the calendar's days, not the cells: it differs.
    double kept = 0;
    for (const long total : y.day_totals) {
        kept += static_cast<double>(total);
    }
    ASSERT_TRUE(a.adt_mean);
    EXPECT_NEAR(*a.adt_mean, kept / (365 - 12), 1e-9);
    EXPECT_GT(std::abs(*a.adt_mean - *a.aadt), 1.0);
    // Monday to Friday.
    const double weekday_mean = (10 + 11 + 11 + 11 + 12) / 5.0;
    EXPECT_NEAR(*a.aawdt, y.base * mean_m * weekday_mean, 1e-9);
    for (std::size_t m = 0; m < 12; ++m) {
        EXPECT_NEAR(*a.madt[m], y.base * y.month_factor[m] * mean_d, 1e-9) << m;
        EXPECT_NEAR(*a.monthly_factor[m], mean_m / y.month_factor[m], 1e-12) << m;
        for (std::size_t d = 0; d < 7; ++d) {
            EXPECT_NEAR(*a.month_weekday_factor[m][d],
                        mean_m * mean_d / (y.month_factor[m] * y.weekday_factor[d]), 1e-12);
        }
    }
    for (std::size_t d = 0; d < 7; ++d) {
        EXPECT_NEAR(*a.aadw[d], y.base * mean_m * y.weekday_factor[d], 1e-9) << d;
        EXPECT_NEAR(*a.weekday_factor[d], mean_d / y.weekday_factor[d], 1e-12) << d;
    }
    // The design hour from the generator's own hours, highest first, the earlier of equals first.
    std::vector<test::year_hour> ranked = y.hours;
    std::stable_sort(ranked.begin(), ranked.end(), [](const test::year_hour& p, const test::year_hour& q) {
        return p.total() > q.total();
    });
    EXPECT_EQ(a.dhv30, ranked[29].total());
    EXPECT_NEAR(*a.k30, ranked[29].total() / *a.aadt, 1e-12);
    EXPECT_NEAR(*a.k100, ranked[99].total() / *a.aadt, 1e-12);
    EXPECT_NEAR(*a.d30, std::max(ranked[29].dir1, ranked[29].dir2) / double(ranked[29].total()), 1e-12);
    ASSERT_EQ(a.ranked_hours.size(), 200U);
    EXPECT_EQ(a.ranked_hours[0], ranked[0].total());
    // The excluded days are listed as such and count in no average.
    EXPECT_EQ(std::count_if(s.daily.begin(), s.daily.end(),
                            [](const study_day& d) { return d.excluded_by_date && !d.valid; }),
              12);
    EXPECT_NEAR(*s.groups[0].volume.adt, kept / (365 - 12), 1e-9);
}

TEST(StudyYear, ClassesAndChosenWeekdaysTakeTheSameAverageOfAverages) {
    // A leap year of a 13-class scheme: each day carries 10 x (weekday + 1) cars of class 2 (Monday 1)
    // and as many trucks of class 9 as the month's number.
    study s;
    s.has_class = true;
    s.class_count = 13;
    s.groups.resize(1);
    std::int64_t trucks = 0;
    std::int64_t vehicles = 0;
    for (long day = *day_number(2016, 1, 1); day <= *day_number(2016, 12, 31); ++day) {
        study_day d;
        d.date = date_of_day(day);
        d.full_day = true;
        d.by_class.assign(14, 0);
        d.by_class[2] = 10 * (d.date.weekday + 1);
        d.by_class[9] = d.date.month;
        d.total = d.by_class[2] + d.by_class[9];
        d.hours.assign(24, 0);
        trucks += d.by_class[9];
        vehicles += d.total;
        s.daily.push_back(d);
    }
    run_settings settings;
    settings.year.aawdt_weekdays = 0b1110; // Tuesday to Thursday
    fill_annual(s, settings);
    ASSERT_EQ(s.annual.size(), 1U);
    const study_year& y = s.annual[0];
    EXPECT_NEAR(*y.aadt, 40 + 6.5, 1e-9);
    EXPECT_NEAR(*y.aawdt, 30 + 6.5, 1e-9); // cars: 10 x mean(2, 3, 4)
    ASSERT_EQ(y.by_class.size(), 13U);
    EXPECT_NEAR(*y.by_class[1].aadt, 40, 1e-9);
    EXPECT_NEAR(*y.by_class[8].aadt, 6.5, 1e-9);
    EXPECT_NEAR(*y.by_class[0].aadt, 0, 1e-9);
    EXPECT_NEAR(*y.heavy_share, static_cast<double>(trucks) / static_cast<double>(vehicles), 1e-12);
    EXPECT_FALSE(y.dhv30 && *y.dhv30 != 0);
}

TEST(StudyYear, APartOfTheYearLeavesAadtOutAndCountsTheMissingCells) {
    const test::generated_year y = test::make_year();
    // January and February 2013: 59 days, every weekday of both months present but one emptied
    // cell each; ten months without a day.
    const study s = year_study(y, y.interval_file(y.first_day(), y.first_day() + 58));
    ASSERT_EQ(s.annual.size(), 1U);
    const study_year& a = s.annual[0];
    EXPECT_FALSE(a.aadt);
    EXPECT_EQ(a.aadt_missing_cells, 70);
    EXPECT_FALSE(a.k30);
    EXPECT_TRUE(a.dhv30);
    EXPECT_NEAR(*a.madt[0], y.base * y.month_factor[0] * mean(y.weekday_factor), 1e-9);
    EXPECT_FALSE(a.madt[2]);
    EXPECT_FALSE(a.monthly_factor[0]);
}

// The number after `"key": ` in a JSON document, or NaN.
double json_number(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? std::nan("") : std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

TEST(StudyYearRun, FactorsGoOutForAYearAndComeBackForAShortCount) {
    const test::generated_year y = test::make_year();
    const std::string dir = test::make_temp_dir();
    test::write_year_files(y, dir);
    const test::run_result out =
        test::run_tallycnv({"YEAR.DAT", "^", "-ffactors", "--exclude-dates=EXCLUDE.TXT"}, dir);
    ASSERT_EQ(out.exit_code, 0) << out.err;
    std::string expected = "month,weekday,factor\r\n";
    const double mean_m = mean(y.month_factor);
    const double mean_d = mean(y.weekday_factor);
    for (std::size_t m = 0; m < 12; ++m) {
        for (std::size_t d = 0; d < 7; ++d) {
            char row[64];
            std::snprintf(row, sizeof row, "%zu,%s,%.6f\r\n", m + 1,
                          std::array{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"}[d],
                          mean_m * mean_d / (y.month_factor[m] * y.weekday_factor[d]));
            expected += row;
        }
    }
    EXPECT_EQ(out.out, expected);

    // A four-day count, Monday 4 to Thursday 7 March 2013, with a hand-made table; the Tuesday a holiday.
    const long monday = *day_number(2013, 3, 4);
    test::write_file(dir + "/SHORT.DAT", y.interval_file(monday, monday + 3));
    const std::string table = "month,weekday,factor\n3,Mon,1.5\n3,Tue,1.25\n3,Wed,1.0\n3,Thu,0.75\n";
    test::write_file(dir + "/F.CSV", test::bytes(table.begin(), table.end()));
    const std::string holiday = "# a holiday\n2013-03-05\n";
    test::write_file(dir + "/HOLIDAY.TXT", test::bytes(holiday.begin(), holiday.end()));
    const auto total = [&](long day) {
        return static_cast<double>(y.day_totals[static_cast<std::size_t>(day - y.first_day())]);
    };
    // The mean of the factored (or plain) totals of the days given; an emptied day leaves the average by
    // the data-quality rules (a whole day without a vehicle).
    const auto mean_of = [&](std::initializer_list<std::pair<long, double>> days) {
        double sum = 0;
        int n = 0;
        for (const auto& [day, factor] : days) {
            if (total(day) > 0) {
                sum += total(day) * factor;
                ++n;
            }
        }
        return sum / n;
    };
    const test::run_result factored =
        test::run_tallycnv({"SHORT.DAT", "^", "-fjson", "--factors=F.CSV"}, dir);
    ASSERT_EQ(factored.exit_code, 0) << factored.err;
    EXPECT_DOUBLE_EQ(json_number(factored.out, "aadt_estimate"),
                     mean_of({{monday, 1.5}, {monday + 1, 1.25}, {monday + 2, 1.0}, {monday + 3, 0.75}}));
    EXPECT_DOUBLE_EQ(json_number(factored.out, "factored"), total(monday) * 1.5);
    const test::run_result excluded = test::run_tallycnv(
        {"SHORT.DAT", "^", "-fjson", "--factors=F.CSV", "--exclude-dates=HOLIDAY.TXT"}, dir);
    ASSERT_EQ(excluded.exit_code, 0) << excluded.err;
    EXPECT_DOUBLE_EQ(json_number(excluded.out, "aadt_estimate"),
                     mean_of({{monday, 1.5}, {monday + 2, 1.0}, {monday + 3, 0.75}}));
    EXPECT_DOUBLE_EQ(json_number(excluded.out, "adt"),
                     mean_of({{monday, 1}, {monday + 2, 1}, {monday + 3, 1}}));
    EXPECT_NE(excluded.out.find("\"date\": \"2013-03-05\", \"weekday\": \"Tue\", \"total\": "),
              std::string::npos);
    EXPECT_NE(excluded.out.find("\"excluded\": \"excluded_date\""), std::string::npos);

    // A table of factor groups: the rows of the group --stations gives the source.
    const std::string grouped = "group,month,weekday,factor\na,3,Mon,9\na,3,Tue,9\na,3,Wed,9\na,3,Thu,9\n"
                                "b,3,Mon,1.5\nb,3,Tue,1.25\nb,3,Wed,1.0\nb,3,Thu,0.75\n";
    test::write_file(dir + "/GROUPS.CSV", test::bytes(grouped.begin(), grouped.end()));
    const std::string stations = "station,name,site,factor_group\nS9,Short count,SITE1,b\n";
    test::write_file(dir + "/ST.CSV", test::bytes(stations.begin(), stations.end()));
    const test::run_result by_group =
        test::run_tallycnv({"SHORT.DAT", "^", "-fjson", "--factors=GROUPS.CSV", "--stations=ST.CSV"}, dir);
    ASSERT_EQ(by_group.exit_code, 0) << by_group.err;
    EXPECT_EQ(json_number(by_group.out, "aadt_estimate"), json_number(factored.out, "aadt_estimate"));

    // A table without a row for one of the count's days names it.
    const std::string short_table = "month,weekday,factor\n3,Mon,1.5\n3,Tue,1.25\n3,Wed,1.0\n";
    test::write_file(dir + "/G.CSV", test::bytes(short_table.begin(), short_table.end()));
    const test::run_result missing = test::run_tallycnv({"SHORT.DAT", "^", "-fjson", "--factors=G.CSV"}, dir);
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("Error : The factor table G.CSV has no row for month 3, weekday Thu"),
              std::string::npos)
        << missing.err;
}

// The document from its volumes to the end of the year's figures: all but the survey and the sources.
std::string figures_of(const std::string& json) {
    const std::size_t from = json.find("\"volume\"");
    return json.substr(from, json.rfind("\"heavy_share\"") - from);
}

TEST(StudyYearRun, MonthlyFilesAndARepeatedReadOutCombineIntoTheSameYear) {
    const test::generated_year y = test::make_year();
    const std::string dir = test::make_temp_dir();
    test::write_year_files(y, dir);
    const std::vector<std::string> options{"^", "-fjson", "--exclude-dates=EXCLUDE.TXT"};
    std::vector<std::string> whole{"YEAR.DAT"};
    whole.insert(whole.end(), options.begin(), options.end());
    // The months out of order, March read out twice (the same download again) and three March days again.
    std::vector<std::string> parts{"--combine", "M03.DAT", "REPEAT.DAT"};
    for (int m = 12; m >= 1; --m) {
        parts.push_back((m < 10 ? "M0" : "M1") + std::to_string(m % 10) + ".DAT");
    }
    parts.insert(parts.end(), options.begin(), options.end());
    const test::run_result one = test::run_tallycnv(whole, dir);
    const test::run_result combined = test::run_tallycnv(parts, dir);
    ASSERT_EQ(combined.exit_code, 0) << combined.err;
    double kept = 0;
    for (const long total : y.day_totals) {
        kept += static_cast<double>(total);
    }
    EXPECT_EQ(json_number(combined.out, "total"), kept);
    EXPECT_NEAR(json_number(combined.out, "aadt"), y.base * mean(y.month_factor) * mean(y.weekday_factor),
                1e-6);
    // Every figure as the single file gives it, the survey's file-level fields apart.
    EXPECT_EQ(figures_of(combined.out), figures_of(one.out));
    // The spans covered twice are cautions naming both files; the later of equal files is kept.
    EXPECT_NE(combined.out.find(
                  R"({"flag": "overlap", "level": "caution", "kept": "M03.DAT", "dropped": "REPEAT.DAT", )"
                  R"("from": "2013-03-10T00:00:00", "to": "2013-03-13T00:00:00"})"),
              std::string::npos);
    EXPECT_NE(combined.out.find(R"("kept": "M03.DAT", "dropped": "M03.DAT", "from": "2013-03-01T00:00:00")"),
              std::string::npos);

    // A gap (February left out) lies outside the recording: no day of it is full or listed with counts.
    const test::run_result gap = test::run_tallycnv({"--combine", "M01.DAT", "M03.DAT", "^", "-fjson"}, dir);
    ASSERT_EQ(gap.exit_code, 0) << gap.err;
    EXPECT_NE(
        gap.out.find(
            R"("date": "2013-02-14", "weekday": "Thu", "total": 0, "by_channel": {"1": 0, "2": 0}, "full_day": false, "valid": true})"),
        std::string::npos);
    EXPECT_EQ(gap.out.find("\"overlaps\": [\n"), std::string::npos);

    // Two sites: one study each with --output-dir and an index, refused without it.
    const std::string stations = "station,name,file\nS1,North road,M0*.DAT\nS2,South road,M1*.DAT\n";
    test::write_file(dir + "/ST.CSV", test::bytes(stations.begin(), stations.end()));
    const test::run_result refused =
        test::run_tallycnv({"--combine", "--stations=ST.CSV", "M09.DAT", "M10.DAT", "^", "-fjson"}, dir);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("more than one site (S1, S2)"), std::string::npos) << refused.err;
    const test::run_result sites = test::run_tallycnv({"--combine", "--stations=ST.CSV", "--output-dir=OUT",
                                                       "M09.DAT", "M10.DAT", "M11.DAT", "^", "-fhtml"},
                                                      dir);
    ASSERT_EQ(sites.exit_code, 0) << sites.err;
    // A station's index fields from its valid days to its flags: an emptied day is excluded by the
    // data-quality rules (a whole day without a vehicle, flagged on each of the two channels).
    const auto fields = [&](int first_month, int last_month) {
        const long first = *day_number(2013, first_month, 1);
        const long last = *day_number(2013, last_month + 1, 1);
        double sum = 0;
        int valid = 0;
        for (long day = first; day < last; ++day) {
            const long total = y.day_totals[static_cast<std::size_t>(day - y.first_day())];
            sum += static_cast<double>(total);
            valid += total > 0 ? 1 : 0;
        }
        const long excluded = last - first - valid;
        char text[96];
        std::snprintf(text, sizeof text, "%d,%ld,%.10g,,,,%ld", valid, excluded, sum / valid, 2 * excluded);
        return std::string(text);
    };
    EXPECT_EQ(
        test::read_file(dir + "/OUT/index.csv"),
        "station,name,first_day,last_day,valid_days,excluded_days,adt,aadt,p85_speed,heavy_share,flags\r\n"
        "S1,North road,2013-09-01,2013-09-30," +
            fields(9, 9) + "\r\nS2,South road,2013-10-01,2013-11-30," + fields(10, 11) + "\r\n");
    EXPECT_NE(test::read_file(dir + "/OUT/index.html").find("<a href=\"S2.html\">S2</a>"), std::string::npos);
    EXPECT_NE(test::read_file(dir + "/OUT/S1.html").find("<!DOCTYPE html>"), std::string::npos);
}

TEST(StudyYearRun, VehicleFilesReadOutTwiceCountEachVehicleOnce) {
    // Two downloads of one site, each of two days, sharing 8 March: one vehicle an hour, at 80 km/h
    // in the first and 100 km/h in the second. Equal lengths: the shared day comes from the later.
    const auto download = [](int first_day, int speed) {
        std::string records;
        for (int day = first_day; day < first_day + 2; ++day) {
            records += "date 2013 3 " + std::to_string(day) + "\n";
            for (int hour = 0; hour < 24; ++hour) {
                records += "type4 lane=0 axles=2 wheelbase=300 speed=" + std::to_string(speed) +
                           " time=" + std::to_string(hour * 36000 + 100) + "\n";
            }
        }
        return test::build_vbv_file("site ONE\nclosed_ok 1\nnum_records 50\nstart 2013-03-0" +
                                        std::to_string(first_day) + " 00:00:00\nstop 2013-03-" +
                                        (first_day + 2 < 10 ? "0" : "") + std::to_string(first_day + 2) +
                                        " 00:00:00",
                                    test::build_vbv_records(records));
    };
    const std::string dir = test::make_temp_dir();
    test::write_file(dir + "/A.DAT", download(7, 80));
    test::write_file(dir + "/B.DAT", download(8, 100));
    const test::run_result r =
        test::run_tallycnv({"--combine", "B.DAT", "A.DAT", "^", "-fjson", "--output=OUT.JSON"}, dir);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string json = test::read_file(dir + "/OUT.JSON");
    EXPECT_EQ(json_number(json, "vehicles"), 72);
    EXPECT_EQ(json_number(json, "full_days"), 3);
    EXPECT_NEAR(json_number(json, "mean"), (24 * 80 + 48 * 100) / 72.0, 1e-6);
    EXPECT_NE(json.find(R"({"flag": "overlap", "level": "caution", "kept": "B.DAT", "dropped": "A.DAT", )"
                        R"("from": "2013-03-08T00:00:00", "to": "2013-03-09T00:00:00"})"),
              std::string::npos);
}

TEST(StudyYearRun, BadFactorTablesAndDateListsAreRefusedWithTheirLine) {
    const std::string dir = test::make_temp_dir();
    const auto refused = [&](const std::string& option, const std::string& content) {
        test::write_file(dir + "/F.TXT", test::bytes(content.begin(), content.end()));
        const test::run_result r = test::run_tallycnv({"NONE.DAT", "^", "-fjson", option + "F.TXT"}, dir);
        EXPECT_EQ(r.exit_code, 1);
        return r.err;
    };
    EXPECT_NE(refused("--exclude-dates=", "2013-03-05\n2013-02-30\n").find("F.TXT line 2"),
              std::string::npos);
    EXPECT_NE(refused("--factors=", "month,weekday,factor\n13,Mon,1\n").find("F.TXT line 2: month 13"),
              std::string::npos);
    EXPECT_NE(refused("--factors=", "month,weekday,factor\n1,Mon,x\n").find("factor x"), std::string::npos);
    EXPECT_NE(refused("--factors=", "month,day,factor\n").find("F.TXT line 1"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"NONE.DAT", "^", "-fjson", "--weekdays=Thu-Tue"},
          {"--combine", "NONE.DAT", "^", "-fI2"},
          {"NONE.DAT", "^", "-fjson", "--output=X"}}) {
        EXPECT_EQ(test::run_tallycnv(args, dir).exit_code, 1) << args.back();
    }
}

} // namespace
} // namespace tallycnv
