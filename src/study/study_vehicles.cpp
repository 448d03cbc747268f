// The study of a vehicle-by-vehicle file: every vehicle of the CSV export,
// with its values as the export writes them, tallied in histograms (memory
// does not grow with the number of vehicles), by direction and in all.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "study/study_compute.h"
#include "vbv/vbv_driver.h"
#include "vbv/vehicle_csv.h"

namespace tallycnv {

namespace {

constexpr int groups = 3;             // all, direction 1, direction 2
constexpr std::size_t time_bins = 11; // 1 s bins to 10 s, then the open bin

// What one group's vehicles add up to.
struct vehicle_tally {
    std::vector<std::int64_t> speeds = std::vector<std::int64_t>(256);
    std::vector<std::int64_t> free_flow_speeds = std::vector<std::int64_t>(256);
    std::array<std::int64_t, time_bins> headways{};
    std::array<std::int64_t, time_bins> gaps{};
    std::int64_t short_headways = 0;
    std::vector<std::int64_t> lengths;
    std::vector<std::int64_t> weights;
    std::array<std::int64_t, 256> classes{};
    std::array<std::int64_t, 16> axles{};
    std::array<std::int64_t, 256> weighed_by_class{};
    std::array<double, 256> weight_by_class{};
    std::array<double, 256> esal_by_class{};
    double esal = 0;
    std::int64_t vehicles = 0;
};

void count_in(std::vector<std::int64_t>& bins, std::size_t bin) {
    if (bin >= bins.size()) {
        bins.resize(bin + 1);
    }
    ++bins[bin];
}

study_histogram histogram(const std::vector<std::int64_t>& counts, double width, bool open_last) {
    study_histogram h;
    h.width = width;
    h.open_last = open_last;
    h.counts = counts;
    for (const std::int64_t count : counts) {
        h.total += count;
    }
    if (h.total == 0) {
        h.counts.clear();
    }
    return h;
}

// The axle load's share of the standard axle, to the fourth power: 8160 kg,
// or 18000 lb (18 kip) with imperial units.
double equivalent_axles(unsigned long load, bool imperial) {
    const double ratio = static_cast<double>(load) / (imperial ? 18000.0 : 8160.0);
    const double square = ratio * ratio;
    return square * square;
}

struct vehicle_study {
    std::uint32_t stream_param = 0;
    bool imperial = false;
    day_table days;
    std::array<vehicle_tally, groups> tally;
    std::array<std::int64_t, 8> lanes{};
    std::array<std::array<std::int64_t, 8>, 5> events{}; // by card category and event code
    // The first and last vehicle's day, minute of the day and second.
    struct timed_at {
        long day;
        int minute;
        int second;
        [[nodiscard]] study_instant instant() const {
            return study_instant{date_of_day(day), minute / 60, minute % 60, second};
        }
    };
    std::optional<timed_at> first_time;
    std::optional<timed_at> last_time;
    std::uint32_t last_date_key = 0xFFFFFFFFU;
    std::optional<long> last_date_day;
    unsigned present = 0;
    std::optional<gap_tally> crossing_gaps; // --gap-study
    table_tally tables;

    void add(const vehicle_info& v, unsigned record_type) {
        const unsigned fields = carried_fields(record_type, stream_param, v);
        present |= fields;
        const auto has = [fields](unsigned field) { return (fields & field) != 0; };
        const int direction = has(has_direction) ? (v.direction != 0 ? 2 : 1) : 0;
        if (has(has_lane)) {
            ++lanes[v.lane & 7U];
        }
        day_table::day_counts* day = has(has_time) ? add_time(v, direction) : nullptr;
        if (crossing_gaps && day != nullptr) {
            add_gap(v, has(has_length) && has(has_speed) && v.speed > 0);
        }
        const int speed = has(has_speed) ? csv_speed(v.speed, imperial) : -1;
        std::optional<long> table_day;
        int hour = -1;
        if (day != nullptr) {
            const int minute = v.hour * 60 + v.minute;
            table_day = *last_date_day + minute / 1440;
            hour = minute % 1440 / 60;
        }
        tables.add(table_day, hour, speed, has(has_class) ? v.class_code : -1,
                   has(has_headway) ? static_cast<int>(v.headway) : -1);
        const bool weighed = has(has_gross_weight) && v.gross_weight != 0;
        double esal = 0;
        if (weighed && has(has_axle_weights)) {
            for (std::size_t i = 0; i < v.axles && i < v.axle_weight.size(); ++i) {
                esal += equivalent_axles(csv_weight(v.axle_weight[i], imperial), imperial);
            }
            if (day != nullptr) {
                day->esal += esal;
            }
        }
        for (const int g : {0, direction}) {
            vehicle_tally& t = tally[static_cast<std::size_t>(g)];
            ++t.vehicles;
            if (speed >= 0) {
                ++t.speeds[static_cast<std::size_t>(speed)];
                if (has(has_headway) && v.headway >= 40) {
                    ++t.free_flow_speeds[static_cast<std::size_t>(speed)];
                }
            }
            if (has(has_headway)) {
                ++t.headways[std::min<std::size_t>(v.headway / 10U, time_bins - 1)];
                t.short_headways += v.headway < 20 ? 1 : 0;
            }
            if (has(has_gap)) {
                ++t.gaps[std::min<std::size_t>(v.gap / 10U, time_bins - 1)];
            }
            if (has(has_length)) {
                const long per_bin = imperial ? 300 : 100;
                count_in(t.lengths,
                         static_cast<std::size_t>(csv_length_hundredths(v.length, imperial) / per_bin));
            }
            if (has(has_class)) {
                ++t.classes[v.class_code];
            }
            if (has(has_axles)) {
                ++t.axles[v.axles & 15U];
            }
            if (weighed) {
                const unsigned long gross = csv_weight(v.gross_weight, imperial);
                count_in(t.weights, gross / (imperial ? 2000 : 1000));
                if (has(has_class)) {
                    ++t.weighed_by_class[v.class_code];
                    t.weight_by_class[v.class_code] += static_cast<double>(gross);
                    t.esal_by_class[v.class_code] += esal;
                }
                t.esal += esal;
            }
            if (direction == 0) {
                break;
            }
        }
    }

    // The vehicle's front and rear (length over speed) on the merged stream of the gap study.
    void add_gap(const vehicle_info& v, bool measured) {
        const int minute = v.hour * 60 + v.minute;
        const std::int64_t time = (*last_date_day * std::int64_t{1440} + minute) * 60000 + v.second * 1000 +
                                  std::min<int>(v.millisecond, 999);
        // cm / (km/h / 3.6) in milliseconds.
        const std::int64_t occupancy = measured ? std::int64_t{v.length} * 36 / v.speed : 0;
        crossing_gaps->add(time, occupancy);
    }

    // The vehicle's day and quarter hour; a date that does not exist counts in the totals only.
    day_table::day_counts* add_time(const vehicle_info& v, int direction) {
        // Vehicles come in date order: the day number is worked out once per date.
        const std::uint32_t date_key = std::uint32_t{v.year} << 16 | std::uint32_t{v.month} << 8 | v.day;
        if (date_key != last_date_key) {
            last_date_key = date_key;
            last_date_day = day_number(v.year, v.month + 1, v.day);
        }
        if (!last_date_day) {
            return nullptr;
        }
        int minute = v.hour * 60 + v.minute;
        // An hour past 23 (a damaged time field) lies on the next day, as a clock would put it.
        const long day = *last_date_day + minute / 1440;
        minute %= 1440;
        days.add(day, minute, direction, 1);
        const timed_at at{day, minute, v.second};
        if (!first_time) {
            first_time = at;
        }
        last_time = at;
        return days.cached;
    }

    void add(const event_record& event) {
        constexpr std::array<unsigned, 16> category = {0, 0, 0, 0, 3, 4, 4, 0, 0, 0, 0, 0, 1, 1, 1, 2};
        const unsigned c = event.card_type < category.size() ? category[event.card_type] : 0;
        ++events[c][event.event_code & 7U];
    }
};

study_count count_of(std::string key, std::int64_t count, std::int64_t whole) {
    return study_count{std::move(key), count, share_of(count, whole)};
}

void fill_group(study_group& g, const vehicle_tally& t, const k479_defn& header, const study& s) {
    g.volume.total = t.vehicles;
    g.speed = speed_figures(t.speeds, s.speed_limit);
    std::int64_t free_flow = 0;
    for (const std::int64_t count : t.free_flow_speeds) {
        free_flow += count;
    }
    g.speed.free_flow_count = free_flow;
    g.speed.p85_free_flow = percentile_of(t.free_flow_speeds, free_flow, 85);

    std::int64_t classified = 0;
    for (const std::int64_t count : t.classes) {
        classified += count;
    }
    for (std::size_t code = 0; code < t.classes.size(); ++code) {
        const bool in_scheme = code >= 1 && code <= header.binning.num_classes;
        if (in_scheme || t.classes[code] != 0) {
            g.classes.push_back(count_of(std::to_string(code), t.classes[code], classified));
        }
    }
    std::int64_t counted_axles = 0;
    for (const std::int64_t count : t.axles) {
        counted_axles += count;
    }
    for (std::size_t n = 0; n < t.axles.size(); ++n) {
        if (t.axles[n] != 0) {
            g.axles.push_back(count_of(std::to_string(n), t.axles[n], counted_axles));
        }
    }
    g.headways = histogram({t.headways.begin(), t.headways.end()}, 1, true);
    g.gaps = histogram({t.gaps.begin(), t.gaps.end()}, 1, true);
    g.headway_under_2s_share = share_of(t.short_headways, g.headways.total);
    g.lengths = histogram(t.lengths, s.units.length_bin_width, false);
    g.gross_weights = histogram(t.weights, s.units.weight_bin_width, false);
    for (std::size_t code = 0; code < t.weighed_by_class.size(); ++code) {
        if (t.weighed_by_class[code] != 0) {
            study_class_weight w;
            w.key = std::to_string(code);
            w.weighed = t.weighed_by_class[code];
            w.mean_gross_weight = t.weight_by_class[code] / static_cast<double>(w.weighed);
            w.esal = t.esal_by_class[code];
            g.weight_by_class.push_back(w);
        }
    }
    g.esal = t.esal;
}

std::string event_kind(std::size_t category, std::size_t code) {
    constexpr std::array<const char*, 5> cards = {"other card", "loop card", "WIM card", "axle WIM card",
                                                  "piezo card"};
    return std::string(cards[category]) + " event " + std::to_string(code);
}

} // namespace

study_speed speed_figures(const std::vector<std::int64_t>& speeds, double speed_limit) {
    study_speed f;
    double sum = 0;
    for (std::size_t v = 0; v < speeds.size(); ++v) {
        const std::int64_t n = speeds[v];
        if (n == 0) {
            continue;
        }
        if (!f.min) {
            f.min = static_cast<double>(v);
        }
        f.max = static_cast<double>(v);
        f.count += n;
        sum += static_cast<double>(n) * static_cast<double>(v);
    }
    f.histogram = histogram(speeds, 1, false);
    if (f.count == 0) {
        return f;
    }
    // Trailing empty bins say nothing.
    f.histogram.counts.resize(static_cast<std::size_t>(*f.max) + 1);
    const double n = static_cast<double>(f.count);
    f.mean = sum / n;
    if (f.count > 1) {
        // Sum of squared deviations from the mean, the sample standard deviation.
        double deviations = 0;
        for (std::size_t v = 0; v < speeds.size(); ++v) {
            const double d = static_cast<double>(v) - *f.mean;
            deviations += static_cast<double>(speeds[v]) * d * d;
        }
        f.stddev = std::sqrt(deviations / (n - 1));
    }
    constexpr std::array<int, 4> points = {15, 50, 85, 95};
    for (std::size_t i = 0; i < points.size(); ++i) {
        f.percentiles[i].n = points[i];
        f.percentiles[i].value = percentile_of(speeds, f.count, points[i]);
    }
    // The pace: whole speeds from `from` to `from` + 9, the earliest window of ten with the most vehicles.
    std::int64_t window = 0;
    std::int64_t best = -1;
    std::size_t best_from = 0;
    for (std::size_t v = 0; v < speeds.size() + 9; ++v) {
        window += v < speeds.size() ? speeds[v] : 0;
        if (v >= 10) {
            window -= speeds[v - 10];
        }
        const std::size_t from = v >= 9 ? v - 9 : 0;
        if (v >= 9 && window > best) {
            best = window;
            best_from = from;
        }
    }
    // The window starts at the slowest speed it holds, as engineers quote a pace
    // ("64-74"): moving it up to there loses no vehicle.
    while (best > 0 && best_from < speeds.size() && speeds[best_from] == 0) {
        ++best_from;
    }
    f.pace_from = static_cast<double>(best_from);
    f.pace_to = static_cast<double>(best_from + 10);
    f.pace_count = best;
    f.pace_share = share_of(best, f.count);
    if (speed_limit > 0) {
        std::int64_t above = 0;
        std::int64_t above_10 = 0;
        for (std::size_t v = 0; v < speeds.size(); ++v) {
            above += static_cast<double>(v) > speed_limit ? speeds[v] : 0;
            above_10 += static_cast<double>(v) > speed_limit + 10 ? speeds[v] : 0;
        }
        f.share_above_limit = share_of(above, f.count);
        f.share_above_limit_10 = share_of(above_10, f.count);
    }
    return f;
}

std::optional<double> percentile_of(const std::vector<std::int64_t>& counts, std::int64_t total, int n) {
    if (total <= 0) {
        return std::nullopt;
    }
    std::int64_t below = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        below += counts[v];
        if (100 * below >= n * total) {
            return static_cast<double>(v);
        }
    }
    return std::nullopt;
}

void compute_vehicle_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s) {
    vehicle_study walk;
    walk.stream_param = header.stream_param;
    walk.imperial = s.units.imperial;
    walk.days.groups = groups;
    walk.days.slot_minutes = 15;
    walk.tables.following_tenths = static_cast<int>(std::lround(ctx.settings.following * 10));
    const gap_study_settings& gap_settings = ctx.settings.gap_study;
    if (gap_settings.asked) {
        walk.crossing_gaps.emplace();
        const double g = adequate_gap_seconds(gap_settings.adequate_gap, gap_settings.crossing_width,
                                              gap_settings.rows, gap_settings.walking_speed,
                                              gap_settings.start_up, gap_settings.row_time, s.units.imperial);
        walk.crossing_gaps->adequate_ms = std::llround(g * 1000);
        walk.crossing_gaps->rear_to_front = gap_settings.rear_to_front;
    }
    zedirozed_state zedirozed;
    const vbv_record_sink sink{
        [&walk](const vehicle_info& vehicle, unsigned type) { walk.add(vehicle, type); },
        [&walk](const event_record& event) { walk.add(event); },
    };
    walk_vbv_data(input, header, ctx.settings, zedirozed, sink);

    s.groups.resize(groups);
    s.groups[0].key = "all";
    s.groups[1].key = "1";
    s.groups[2].key = "2";
    for (std::size_t g = 0; g < groups; ++g) {
        fill_group(s.groups[g], walk.tally[g], header, s);
    }
    s.survey.vehicles = walk.tally[0].vehicles;
    for (std::size_t lane = 0; lane < walk.lanes.size(); ++lane) {
        if (walk.lanes[lane] != 0) {
            s.lanes.push_back(count_of(std::to_string(lane + 1), walk.lanes[lane], s.survey.vehicles));
        }
    }
    std::int64_t events = 0;
    for (const auto& codes : walk.events) {
        for (const std::int64_t count : codes) {
            events += count;
        }
    }
    for (std::size_t c = 0; c < walk.events.size(); ++c) {
        for (std::size_t code = 0; code < walk.events[c].size(); ++code) {
            if (walk.events[c][code] != 0) {
                s.survey.events.push_back(count_of(event_kind(c, code), walk.events[c][code], events));
            }
        }
    }
    const unsigned present = walk.present;
    const vehicle_tally& all = walk.tally[0];
    s.has_speed = all.speeds != std::vector<std::int64_t>(256);
    s.has_class = (present & has_class) != 0 && s.survey.vehicles > 0;
    s.has_axles = (present & has_axles) != 0 && s.survey.vehicles > 0;
    s.has_headway = s.groups[0].headways.total > 0;
    s.has_gap = s.groups[0].gaps.total > 0;
    s.has_length = s.groups[0].lengths.total > 0;
    s.weigh_site = s.groups[0].gross_weights.total > 0;

    // The recording: from the header's start (a wrapped memory: its oldest
    // vehicle) to its stop (a file not closed correctly: its last vehicle).
    std::optional<study_instant> first_instant;
    std::optional<study_instant> last_instant;
    if (walk.first_time) {
        first_instant = walk.first_time->instant();
        last_instant = walk.last_time->instant();
    }
    if (header.wrapped != 0 && first_instant) {
        const std::optional<std::int64_t> start = seconds_of(s.survey.start);
        if (!start || *seconds_of(first_instant) > *start) {
            s.survey.start = first_instant;
        }
    }
    if (!s.survey.start) {
        s.survey.start = first_instant;
    }
    if (header.closed_ok == 0 || !s.survey.stop) {
        s.survey.stop = last_instant;
        s.survey.stop_at_last_record = header.closed_ok == 0;
    }
    fill_volumes(s, walk.days, recording_span{seconds_of(s.survey.start), seconds_of(s.survey.stop)},
                 peak_parts::quarter_hours);
    fill_tables(s, walk.tables);
    if (walk.crossing_gaps) {
        walk.crossing_gaps->finish();
        gap_study_result& r = s.gap_study.emplace();
        r.adequate_gap_s = static_cast<double>(walk.crossing_gaps->adequate_ms) / 1000;
        r.rear_to_front = gap_settings.rear_to_front;
        r.period_from = gap_settings.period_from;
        r.period_to = gap_settings.period_to;
        for (const study_day& d : s.daily) {
            const std::optional<long> day = day_number(d.date.year, d.date.month, d.date.day);
            if (d.full_day && d.valid && day) {
                char date[16];
                std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.date.year, d.date.month, d.date.day);
                r.days.push_back(gap_day(*walk.crossing_gaps, *day, date, r.period_from, r.period_to));
            }
        }
    }
}

} // namespace tallycnv
