// The classic tables of a vehicle count: speed by hour of the day, class by
// speed, speed by headway, the share of vehicles following, tallied per day
// and hour or per bin (never per vehicle). Hour by day comes from the day
// table of every file family (study_day::hourly).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tallycnv {

inline constexpr std::size_t headway_bins = 7; // 0-1, 1-2, 2-3, 3-4, 4-6, 6-10, 10+ s
inline constexpr std::array<int, headway_bins> headway_edges_tenths = {0, 10, 20, 30, 40, 60, 100};

// One hour of the day over the full valid days together.
struct speed_hour {
    std::int64_t vehicles = 0; // with a speed
    std::optional<double> mean;
    std::array<std::optional<double>, 4> percentiles; // p15, p50, p85, p95, nearest rank
    std::vector<std::int64_t> bins;                   // 10 units wide from 0
};

struct study_tables {
    bool vehicle_tables = false; // a vehicle file: the tables below are filled
    std::array<speed_hour, 24> speed_by_hour;
    // Class codes (as the CSV writes them) by speed bins of 10 units from 0.
    std::vector<std::pair<std::string, std::vector<std::int64_t>>> class_by_speed;
    // Speed bins of 10 units from 0 by headway bins.
    std::vector<std::array<std::int64_t, headway_bins>> speed_by_headway;
    // Following: headway under `following_s` seconds, per hour of the day and in all.
    double following_s = 3;
    std::array<std::int64_t, 24> following_by_hour{};
    std::array<std::int64_t, 24> headways_by_hour{};
    // Heavy vehicles: FHWA classes 4-13 (single unit 4-7, combination 8-13), else three axles or more.
    std::string heavy_basis;
    std::int64_t heavy_base = 0; // vehicles classified (or with an axle count)
    std::int64_t heavy = 0;
    std::optional<std::int64_t> single_unit;
    std::optional<std::int64_t> combination;
};

// What the vehicles add up to while the file is read.
struct table_tally {
    int following_tenths = 30;
    std::map<long, std::vector<std::int32_t>> day_hour_speeds; // per day: 24 hours x 256 whole speeds
    std::map<int, std::vector<std::int64_t>> class_speeds;     // per class code: 10-unit speed bins
    std::vector<std::array<std::int64_t, headway_bins>> speed_headways;
    std::array<std::int64_t, 24> following{};
    std::array<std::int64_t, 24> headways{};
    // The rows the last vehicles went to, so that a vehicle costs no map look-up:
    // the day's (vehicles come in date order) and each class code's. Map nodes stay put.
    std::optional<long> cached_day;
    std::vector<std::int32_t>* cached_hours = nullptr;
    std::array<std::vector<std::int64_t>*, 256> class_rows{};

    // A vehicle: its day (nullopt: no valid date), hour, speed (-1: none),
    // class code (-1: none) and headway in tenths of a second (-1: none).
    void add(std::optional<long> day, int hour, int speed, int class_code, int headway_tenths);
};

} // namespace tallycnv
