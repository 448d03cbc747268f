// The vehicle and event lines of the program against the plain formatter of
// the benchmark (one fprintf per field), over generated vehicles whose fields
// cover their whole ranges, in every print unit, sensor configuration and
// site-column setting of VBV-1 and VBV-2.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plain_lines.h"
#include "vbv/vehicle_lines.h"

namespace tallycnv {
namespace {

// A header whose sensors give the configuration: 0 loops only, 1 axle sensing, 2 weighing.
k479_defn header_with(int config) {
    k479_defn header{};
    if (config == 1) {
        header.card_type[0] = 6;
    } else if (config == 2) {
        header.sensor_type[0] = 30;
    }
    return header;
}

unsigned draw_from(std::mt19937& random, unsigned low, unsigned high) {
    return std::uniform_int_distribution<unsigned>(low, high)(random);
}

// A vehicle with every field drawn over its range; spacings and weights are
// mostly shares of the totals (so the apportioned columns meet their
// remainders) and now and then anything at all (remainders below zero).
vehicle_info random_vehicle(std::mt19937& random) {
    const auto draw = [&random](unsigned low, unsigned high) { return draw_from(random, low, high); };
    const auto word = [&]() { return static_cast<std::uint16_t>(draw(0, 5) == 0 ? 0 : draw(0, 65535)); };
    vehicle_info v;
    v.vehicle_number = static_cast<std::uint16_t>(draw(0, 65535));
    v.lane = static_cast<std::uint8_t>(draw(0, 7));
    v.direction = static_cast<std::uint8_t>(draw(0, 1));
    v.axles = static_cast<std::uint8_t>(draw(0, 15));
    v.class_code = static_cast<std::uint8_t>(draw(0, 15));
    v.speed = static_cast<std::uint8_t>(draw(0, 255));
    v.year = static_cast<std::uint16_t>(draw(1990, 2040));
    v.month = static_cast<std::uint8_t>(draw(0, 11));
    v.day = static_cast<std::uint8_t>(draw(1, 31));
    v.hour = static_cast<std::uint8_t>(draw(0, 23));
    v.minute = static_cast<std::uint8_t>(draw(0, 59));
    v.second = static_cast<std::uint8_t>(draw(0, 59));
    v.millisecond = static_cast<std::uint16_t>(draw(0, 9) == 0 ? draw(0, 65535) : draw(0, 999));
    v.length = word();
    v.gap = word();
    v.headway = word();
    const bool wild = draw(0, 4) == 0;
    v.wheelbase = static_cast<std::uint16_t>(wild ? word() : draw(0, 3000));
    v.gross_weight = static_cast<std::uint16_t>(wild ? word() : draw(0, 20000));
    for (std::size_t i = 0; i < v.axle_spacing.size(); ++i) {
        v.axle_spacing[i] =
            static_cast<std::uint16_t>(wild ? word() : v.wheelbase / std::max(1U, v.axles - 1U));
    }
    for (std::size_t i = 0; i < v.axle_weight.size(); ++i) {
        v.axle_weight[i] = static_cast<std::uint16_t>(wild ? word() : draw(0, v.gross_weight / 2));
    }
    v.chassis_height = static_cast<std::uint8_t>(draw(0, 4));
    v.result_code = static_cast<std::uint16_t>(draw(0, 3) == 0 ? draw(0, 65535) : 0);
    return v;
}

event_record random_event(std::mt19937& random) {
    const auto draw = [&random](unsigned low, unsigned high) { return draw_from(random, low, high); };
    return {draw(0, 0xFFFFFFFFU),
            static_cast<std::uint8_t>(draw(0, 20)),
            static_cast<std::uint8_t>(draw(0, 31)),
            static_cast<std::uint8_t>(draw(0, 7)),
            static_cast<std::uint16_t>(draw(0, 65535)),
            static_cast<std::uint16_t>(draw(0, 65535))};
}

// The first line where two reports differ, or "" when they are equal.
std::string first_difference(const std::string& ours, const std::string& plain) {
    std::istringstream a(ours);
    std::istringstream b(plain);
    std::string line_a;
    std::string line_b;
    for (int n = 1; std::getline(a, line_a) || std::getline(b, line_b); ++n) {
        std::getline(b, line_b);
        if (line_a != line_b) {
            return "line " + std::to_string(n) + ":\n  ours  " + line_a + "\n  plain " + line_b;
        }
        line_a.clear();
        line_b.clear();
    }
    return ours == plain ? "" : "same lines, other bytes";
}

// The lines of `vehicles` from the program and from the plain formatter, an
// event line after every tenth vehicle when `events` holds one per ten.
struct both_reports {
    std::string ours;
    std::string plain;
    long lines = 0;
};

both_reports write_both(const run_settings& settings, const k479_defn& header,
                        const std::vector<vehicle_info>& vehicles, const std::vector<event_record>& events) {
    const language_texts lang;
    report_sink out;
    zedirozed_state zedirozed;
    vehicle_columns columns;
    char* plain_text = nullptr;
    std::size_t plain_size = 0;
    std::FILE* plain_out = open_memstream(&plain_text, &plain_size);
    if (plain_out == nullptr) {
        return {};
    }
    const plain::plain_run plain_run = plain::plain_run_for(plain_out, settings, header);
    for (std::size_t i = 0; i < vehicles.size(); ++i) {
        print_osp(run_context{settings, lang, out}, vehicles[i], header, zedirozed, columns);
        plain::plain_vehicle_line(plain_run, vehicles[i]);
        if (i % 10 == 0 && i / 10 < events.size()) {
            print_event_line(run_context{settings, lang, out}, events[i / 10]);
            plain::plain_event_line(plain_run, events[i / 10]);
        }
    }
    std::fclose(plain_out);
    both_reports reports{out.text(), std::string(plain_text, plain_size), out.line_count()};
    std::free(plain_text);
    return reports;
}

TEST(VbvVehicleLines, EqualThePlainFormatterInEveryUnitAndConfiguration) {
    std::mt19937 random(479);
    for (unsigned units = 0; units < 10; ++units) {
        for (const int format : {1, 2}) {
            for (const int config : {0, 1, 2}) {
                for (const bool taxo : {false, true}) {
                    run_settings settings;
                    settings.print_format = format;
                    settings.taxo = taxo;
                    settings.k479.print_units = units;
                    settings.k479.date_format = static_cast<std::uint8_t>(units % 3);
                    std::strncpy(settings.k479.site, units % 2 == 0 ? "SITE0042 NORTH" : "A1",
                                 sizeof settings.k479.site);
                    std::vector<vehicle_info> vehicles;
                    std::vector<event_record> events;
                    for (int i = 0; i < 150; ++i) {
                        vehicles.push_back(random_vehicle(random));
                        if (i % 10 == 0) {
                            events.push_back(random_event(random));
                        }
                    }
                    const both_reports reports = write_both(settings, header_with(config), vehicles, events);
                    EXPECT_EQ(reports.lines, 165);
                    EXPECT_EQ(first_difference(reports.ours, reports.plain), "")
                        << "units " << units << " layout " << format << " config " << config << " taxo "
                        << taxo;
                }
            }
        }
    }
}

// The last spacing and axle weight (what is left of the totals) are kept per
// value in a table of slots: many vehicles of a weighing site, each written
// twice, meet values again and values that share a slot.
TEST(VbvVehicleLines, RemaindersMetAgainEqualThePlainFormatter) {
    std::mt19937 random(17);
    std::vector<vehicle_info> vehicles;
    for (int i = 0; i < 8000; ++i) {
        vehicle_info v = random_vehicle(random);
        v.axles = static_cast<std::uint8_t>(draw_from(random, 2, 9));
        v.wheelbase = static_cast<std::uint16_t>(draw_from(random, 200, 2500));
        v.gross_weight = static_cast<std::uint16_t>(draw_from(random, 100, 8000));
        for (unsigned a = 0; a < v.axles; ++a) {
            v.axle_spacing[a] = static_cast<std::uint16_t>(v.wheelbase / (v.axles - 1U));
            v.axle_weight[a] = static_cast<std::uint16_t>(draw_from(random, 0, v.gross_weight / v.axles));
        }
        vehicles.push_back(v);
    }
    vehicles.insert(vehicles.end(), vehicles.begin(), vehicles.end());
    for (const unsigned units : {0U, 2U, 4U}) {
        for (const int format : {1, 2}) {
            run_settings settings;
            settings.print_format = format;
            settings.k479.print_units = units;
            const both_reports reports = write_both(settings, header_with(2), vehicles, {});
            EXPECT_EQ(first_difference(reports.ours, reports.plain), "")
                << "units " << units << " layout " << format;
        }
    }
}

} // namespace
} // namespace tallycnv
