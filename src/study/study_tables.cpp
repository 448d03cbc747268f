// The tables of a vehicle file from the tallies of the pass over the data.
#include "study/study_tables.h"

#include <algorithm>

#include "study/study_compute.h"

namespace tallycnv {

namespace {

constexpr std::size_t speeds = 256;

std::size_t headway_bin(int tenths) {
    std::size_t bin = 0;
    while (bin + 1 < headway_bins && tenths >= headway_edges_tenths[bin + 1]) {
        ++bin;
    }
    return bin;
}

speed_hour hour_figures(const std::vector<std::int64_t>& counts) {
    speed_hour h;
    double sum = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        h.vehicles += counts[v];
        sum += static_cast<double>(v) * static_cast<double>(counts[v]);
        if (counts[v] != 0) {
            if (h.bins.size() <= v / 10) {
                h.bins.resize(v / 10 + 1);
            }
            h.bins[v / 10] += counts[v];
        }
    }
    if (h.vehicles > 0) {
        h.mean = sum / static_cast<double>(h.vehicles);
        const int ns[4] = {15, 50, 85, 95};
        for (std::size_t i = 0; i < 4; ++i) {
            h.percentiles[i] = percentile_of(counts, h.vehicles, ns[i]);
        }
    }
    return h;
}

std::int64_t count_of_key(const std::vector<study_count>& counts, int key) {
    for (const study_count& c : counts) {
        if (c.key == std::to_string(key)) {
            return c.count;
        }
    }
    return 0;
}

} // namespace

void table_tally::add(std::optional<long> day, int hour, int speed, int class_code, int headway_tenths) {
    if (speed >= 0 && speed < static_cast<int>(speeds)) {
        const auto bin = static_cast<std::size_t>(speed / 10);
        if (day && hour >= 0 && hour < 24) {
            if (cached_day != day) {
                cached_day = day;
                cached_hours = &day_hour_speeds[*day];
                if (cached_hours->empty()) {
                    cached_hours->assign(24 * speeds, 0);
                }
            }
            ++(*cached_hours)[static_cast<std::size_t>(hour) * speeds + static_cast<std::size_t>(speed)];
        }
        if (class_code >= 0) {
            const auto slot = static_cast<std::size_t>(class_code);
            if (slot < class_rows.size() && class_rows[slot] == nullptr) {
                class_rows[slot] = &class_speeds[class_code];
            }
            std::vector<std::int64_t>& row =
                slot < class_rows.size() ? *class_rows[slot] : class_speeds[class_code];
            if (bin >= row.size()) {
                row.resize(bin + 1);
            }
            ++row[bin];
        }
        if (headway_tenths >= 0) {
            if (bin >= speed_headways.size()) {
                speed_headways.resize(bin + 1);
            }
            ++speed_headways[bin][headway_bin(headway_tenths)];
        }
    }
    if (headway_tenths >= 0 && hour >= 0 && hour < 24) {
        ++headways[static_cast<std::size_t>(hour)];
        following[static_cast<std::size_t>(hour)] += headway_tenths < following_tenths ? 1 : 0;
    }
}

void fill_tables(study& s, const table_tally& t) {
    study_tables& r = s.tables;
    r.vehicle_tables = true;
    r.following_s = t.following_tenths / 10.0;
    // Speed by hour over the full valid days.
    std::vector<std::vector<std::int64_t>> hours(24, std::vector<std::int64_t>(speeds, 0));
    for (const study_day& d : s.daily) {
        const std::optional<long> day = day_number(d.date.year, d.date.month, d.date.day);
        const auto found = day ? t.day_hour_speeds.find(*day) : t.day_hour_speeds.end();
        if (!d.full_day || !d.valid || found == t.day_hour_speeds.end()) {
            continue;
        }
        for (std::size_t h = 0; h < 24; ++h) {
            for (std::size_t v = 0; v < speeds; ++v) {
                hours[h][v] += found->second[h * speeds + v];
            }
        }
    }
    for (std::size_t h = 0; h < 24; ++h) {
        r.speed_by_hour[h] = hour_figures(hours[h]);
    }
    std::size_t widest = t.speed_headways.size();
    for (const auto& [code, row] : t.class_speeds) {
        widest = std::max(widest, row.size());
    }
    for (const auto& [code, row] : t.class_speeds) {
        std::vector<std::int64_t> padded = row;
        padded.resize(widest);
        r.class_by_speed.emplace_back(std::to_string(code), padded);
    }
    r.speed_by_headway = t.speed_headways;
    r.following_by_hour = t.following;
    r.headways_by_hour = t.headways;

    // Heavy vehicles from the classes of an FHWA scheme, else from the axle counts.
    const study_group& all = s.groups.front();
    const bool fhwa = s.survey.class_scheme.find("FHWA") != std::string::npos && s.has_class;
    if (fhwa) {
        r.heavy_basis = "FHWA classes 4-13 (single unit 4-7, combination 8-13)";
        r.single_unit = 0;
        r.combination = 0;
        for (const study_count& c : all.classes) {
            r.heavy_base += c.count;
        }
        for (int code = 4; code <= 13; ++code) {
            const std::int64_t n = count_of_key(all.classes, code);
            r.heavy += n;
            *(code <= 7 ? r.single_unit : r.combination) += n;
        }
    } else if (s.has_axles) {
        r.heavy_basis = "three axles or more";
        for (const study_count& c : all.axles) {
            r.heavy_base += c.count;
            r.heavy += std::atoi(c.key.c_str()) >= 3 ? c.count : 0;
        }
    }
}

} // namespace tallycnv
