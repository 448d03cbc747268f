// The study of a vehicle-by-vehicle file: every vehicle of the CSV export,
// with its values as the export writes them, tallied in histograms (memory
// does not grow with the number of vehicles), by direction and in all.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "study/study_compute.h"
#include "vbv/vbv_driver.h"
#include "vbv/vehicle_csv.h"

namespace tallycnv {

namespace {

constexpr int groups = 3;                     // all, direction 1, direction 2
constexpr std::size_t time_bins = 11;         // 1 s bins to 10 s, then the open bin
constexpr std::size_t headway_seconds = 3601; // 1 s bins to an hour, then the open bin

// A vehicle measured outside these bounds (0 is "not measured", not a measurement) is implausible: it
// counts in the volumes but not in the speed and length figures.
constexpr unsigned lowest_speed_kmh = 5;
constexpr unsigned highest_speed_kmh = 250;
constexpr unsigned shortest_cm = 100;
constexpr unsigned longest_cm = 4000;

bool implausible(const vehicle_info& v, bool speed, bool length) {
    return (speed && v.speed != 0 && (v.speed < lowest_speed_kmh || v.speed > highest_speed_kmh)) ||
           (length && v.length != 0 && (v.length < shortest_cm || v.length > longest_cm));
}

// What one group's vehicles add up to. Speeds are tallied as stored (whole
// km/h) and converted when the figures are taken, so that no statistic works
// on a rounded value.
struct vehicle_tally {
    std::vector<std::int64_t> speeds = std::vector<std::int64_t>(256);
    std::vector<std::int64_t> free_flow_speeds = std::vector<std::int64_t>(256);
    std::array<std::int64_t, time_bins> headways{};
    std::vector<std::int64_t> headway_seconds;
    std::vector<std::int64_t> fine_weights;
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
    unsigned measured = ~0U; // measured_fields of the sensor configuration
    day_table days;
    std::array<vehicle_tally, groups> tally;
    std::array<std::int64_t, 8> lanes{};
    std::array<std::array<std::int64_t, 3>, 8> lane_directions{}; // by lane and group (1, 2)
    std::array<std::array<std::int64_t, 8>, 5> events{};          // by card category and event code
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
    std::array<unsigned, groups> lane_masks{}; // the lanes each group's vehicles drove in
    std::int64_t undated = 0;                  // vehicles of a date or time that does not exist
    // Per lane: hundredths of a second since 1970 and minute of the day of the last dated vehicle.
    std::array<std::optional<std::int64_t>, 8> last_stamp{};
    std::array<int, 8> last_minute{};
    std::uint64_t record_end = 0;           // where the last complete vehicle or event record ends
    std::int64_t records = 0;               // vehicle and event records read
    std::optional<gap_tally> crossing_gaps; // --gap-study
    table_tally tables;

    void add(const vehicle_info& v, unsigned record_type) {
        const unsigned fields = carried_fields(record_type, stream_param, v) & measured;
        const auto has = [fields](unsigned field) { return (fields & field) != 0; };
        if (taken != nullptr && has(has_time) && !taken_at(v)) {
            return; // another source gives this span
        }
        present |= fields;
        const int direction = has(has_direction) ? (v.direction != 0 ? 2 : 1) : 0;
        if (has(has_lane)) {
            ++lanes[v.lane & 7U];
            ++lane_directions[v.lane & 7U][static_cast<std::size_t>(direction)];
            lane_masks[0] |= 1U << (v.lane & 7U);
            lane_masks[static_cast<std::size_t>(direction)] |= 1U << (v.lane & 7U);
        }
        day_table::day_counts* day = has(has_time) ? add_time(v, direction) : nullptr;
        // A speed or length of 0 was not measured; an implausible one is left out of the figures.
        const bool odd = implausible(v, has(has_speed), has(has_length));
        const int speed = has(has_speed) && v.speed != 0 && !odd ? v.speed : -1;
        if (day != nullptr) {
            day_checks& checks = day->checks[0];
            checks.implausible += odd ? 1 : 0;
            if (has(has_class)) {
                ++checks.classed;
                checks.unclassified += v.class_code == 0 ? 1 : 0;
            }
        }
        if (day != nullptr && has(has_class)) {
            count_in(day->classes, v.class_code);
        }
        if (crossing_gaps && day != nullptr) {
            add_gap(v, has(has_length) && has(has_speed) && v.speed > 0);
        }
        std::optional<long> table_day;
        int hour = -1;
        if (day != nullptr) {
            const int minute = v.hour * 60 + v.minute;
            table_day = *last_date_day + minute / 1440;
            hour = minute % 1440 / 60;
        }
        // The tables tally whole speeds in the report's unit (mph to the nearest).
        const int table_speed = speed < 0  ? -1
                                : imperial ? static_cast<int>(std::lround(mph_of(v.speed)))
                                           : speed;
        tables.add(table_day, hour, table_speed, has(has_class) ? v.class_code : -1,
                   has(has_headway) ? static_cast<int>(v.headway) : -1);
        const bool weighed = has(has_gross_weight) && v.gross_weight != 0;
        double esal = 0;
        if (weighed && has(has_axle_weights)) {
            for (std::size_t i = 0; i < v.axles && i < v.axle_weight.size(); ++i) {
                esal += equivalent_axles(csv_weight(v.axle_weight[i], imperial), imperial);
            }
            if (day != nullptr) {
                day->esal[0] += esal;
                if (direction != 0) {
                    day->esal[static_cast<std::size_t>(direction)] += esal;
                }
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
                count_in(t.headway_seconds, std::min<std::size_t>(v.headway / 10U, headway_seconds - 1));
                t.short_headways += v.headway < 20 ? 1 : 0;
            }
            if (has(has_gap)) {
                ++t.gaps[std::min<std::size_t>(v.gap / 10U, time_bins - 1)];
            }
            if (has(has_length) && v.length != 0 && !odd) {
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
                count_in(t.fine_weights, gross / 100);
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

    // A combined study: whether the vehicle's instant lies in a span taken from its source.
    const time_spans* taken = nullptr;
    bool taken_at(const vehicle_info& v) {
        const std::optional<long> day = date_day(v);
        if (!day) {
            return true;
        }
        const std::int64_t at = *day * 86400LL + v.hour * 3600LL + v.minute * 60LL + v.second;
        return std::any_of(taken->begin(), taken->end(),
                           [at](const auto& span) { return span.first <= at && at < span.second; });
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

    // Vehicles come in date order: the day number is worked out once per date.
    std::optional<long> date_day(const vehicle_info& v) {
        const std::uint32_t date_key = std::uint32_t{v.year} << 16 | std::uint32_t{v.month} << 8 | v.day;
        if (date_key != last_date_key) {
            last_date_key = date_key;
            last_date_day = day_number(v.year, v.month + 1, v.day);
        }
        return last_date_day;
    }

    // The vehicle's day and quarter hour; a date or time that does not exist counts in the totals only.
    day_table::day_counts* add_time(const vehicle_info& v, int direction) {
        if (!date_day(v) || v.minute > 59 || v.second > 59) {
            ++undated;
            return nullptr;
        }
        int minute = v.hour * 60 + v.minute;
        // An hour past 23 (a damaged time field) lies on the next day, as a clock would put it.
        const long day = *last_date_day + minute / 1440;
        minute %= 1440;
        days.add(day, minute, direction, 1);
        day_checks& checks = days.cached->checks[0];
        checks.invalid_time += v.hour >= 48 ? 1 : 0; // past the next midnight: no clock says that
        // The clock going back in a lane: the largest step of the day, and where it went from and to.
        // (Lanes are judged apart: a long vehicle may be reported after a car that passed beside it.)
        const std::size_t lane = v.lane & 7U;
        const std::int64_t stamp =
            (static_cast<std::int64_t>(day) * 1440 + minute) * 6000 + v.second * 100 + v.millisecond / 10;
        if (last_stamp[lane] && stamp < *last_stamp[lane]) {
            const double back = static_cast<double>(*last_stamp[lane] - stamp) / 100;
            if (back > checks.largest_back) {
                checks.largest_back = back;
                checks.back_from = last_minute[lane];
                checks.back_to = minute;
            }
        }
        last_stamp[lane] = stamp;
        last_minute[lane] = minute;
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
    return study_count{std::move(key), count, share_of(count, whole), {}};
}

void fill_group(study_group& g, const vehicle_tally& t, const k479_defn& header, const study& s) {
    g.volume.total = t.vehicles;
    const double per_kmh = s.units.imperial ? mph_of(1) : 1.0;
    g.speed = speed_figures(t.speeds, s.speed_limit, per_kmh);
    std::int64_t free_flow = 0;
    for (const std::int64_t count : t.free_flow_speeds) {
        free_flow += count;
    }
    g.speed.free_flow_count = free_flow;
    const std::optional<double> p85 = percentile_of(t.free_flow_speeds, free_flow, 85);
    if (p85) {
        g.speed.p85_free_flow = *p85 * per_kmh;
    }

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
    g.headway_seconds = histogram(t.headway_seconds, 1, t.headway_seconds.size() == headway_seconds);
    g.gaps = histogram({t.gaps.begin(), t.gaps.end()}, 1, true);
    g.headway_under_2s_share = share_of(t.short_headways, g.headways.total);
    g.lengths = histogram(t.lengths, s.units.length_bin_width, false);
    g.gross_weights = histogram(t.weights, s.units.weight_bin_width, false);
    g.gross_weights_fine = histogram(t.fine_weights, 100, false);
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

// A lane's heading from the header, without its padding.
std::string heading_of(const k479_defn& header, std::size_t lane) {
    std::string_view heading = field_text(header.headings[lane]);
    while (!heading.empty() && (heading.back() == ' ' || heading.back() == '\0')) {
        heading.remove_suffix(1);
    }
    return std::string(heading);
}

// The published names of the FHWA 13-class scheme.
constexpr std::array<const char*, 13> fhwa13_names = {
    "Motorcycles",
    "Passenger Cars",
    "Other Two-Axle Four-Tire Single Unit Vehicles",
    "Buses",
    "Two-Axle Six-Tire Single-Unit Trucks",
    "Three-Axle Single-Unit Trucks",
    "Four or More Axle Single-Unit Trucks",
    "Four or Fewer Axle Single-Trailer Trucks",
    "Five-Axle Single-Trailer Trucks",
    "Six or More Axle Single-Trailer Trucks",
    "Five or Fewer Axle Multi-Trailer Trucks",
    "Six-Axle Multi-Trailer Trucks",
    "Seven or More Axle Multi-Trailer Trucks",
};
constexpr unsigned fhwa13_scheme = 2;

void name_classes(study& s, const k479_defn& header) {
    if (header.binning.class_scheme != fhwa13_scheme) {
        return;
    }
    for (study_group& g : s.groups) {
        for (study_count& c : g.classes) {
            const int code = std::stoi(c.key);
            if (code >= 1 && code <= 13) {
                c.name = fhwa13_names[static_cast<std::size_t>(code - 1)];
            }
        }
    }
}

// A direction that no vehicle took is not shown: the file does not use it.
void drop_unused_directions(study& s) {
    for (std::size_t g = s.groups.size(); g-- > 1;) {
        if (s.groups[g].volume.total != 0) {
            continue;
        }
        s.groups.erase(s.groups.begin() + static_cast<std::ptrdiff_t>(g));
        for (study_day& d : s.daily) {
            if (g - 1 < d.by_group.size()) {
                d.by_group.erase(d.by_group.begin() + static_cast<std::ptrdiff_t>(g - 1));
            }
            if (g - 1 < d.esal_by_group.size()) {
                d.esal_by_group.erase(d.esal_by_group.begin() + static_cast<std::ptrdiff_t>(g - 1));
            }
        }
    }
}

std::string event_kind(std::size_t category, std::size_t code) {
    constexpr std::array<const char*, 5> cards = {"other card", "loop card", "WIM card", "axle WIM card",
                                                  "piezo card"};
    return std::string(cards[category]) + " event " + std::to_string(code);
}

} // namespace

study_speed speed_figures(const std::vector<std::int64_t>& speeds, double speed_limit, double per_unit) {
    study_speed f;
    const auto value = [per_unit](std::size_t v) { return static_cast<double>(v) * per_unit; };
    double sum = 0;
    for (std::size_t v = 0; v < speeds.size(); ++v) {
        const std::int64_t n = speeds[v];
        if (n == 0) {
            continue;
        }
        if (!f.min) {
            f.min = value(v);
        }
        f.max = value(v);
        f.count += n;
        sum += static_cast<double>(n) * value(v);
    }
    if (f.count == 0) {
        f.histogram = histogram({}, 1, false);
        return f;
    }
    // The chart's 1-unit bins, up to the fastest vehicle's.
    std::vector<std::int64_t> bins(static_cast<std::size_t>(*f.max) + 1);
    for (std::size_t v = 0; v < speeds.size(); ++v) {
        if (speeds[v] != 0) {
            bins[static_cast<std::size_t>(value(v))] += speeds[v];
        }
    }
    f.histogram = histogram(bins, 1, false);
    const double n = static_cast<double>(f.count);
    f.mean = sum / n;
    if (f.count > 1) {
        // Sum of squared deviations from the mean, the sample standard deviation.
        double deviations = 0;
        for (std::size_t v = 0; v < speeds.size(); ++v) {
            const double d = value(v) - *f.mean;
            deviations += static_cast<double>(speeds[v]) * d * d;
        }
        f.stddev = std::sqrt(deviations / (n - 1));
    }
    constexpr std::array<int, 4> points = {15, 50, 85, 95};
    for (std::size_t i = 0; i < points.size(); ++i) {
        f.percentiles[i].n = points[i];
        const std::optional<double> at = percentile_of(speeds, f.count, points[i]);
        if (at) {
            f.percentiles[i].value = *at * per_unit;
        }
    }
    // The pace: the 10-unit range from a speed some vehicle drove up to (not
    // including) 10 more, holding the most vehicles; the slowest such start on a tie.
    std::int64_t window = 0;
    std::int64_t best = -1;
    std::size_t best_from = 0;
    std::size_t end = 0;
    for (std::size_t from = 0; from < speeds.size(); ++from) {
        for (; end < speeds.size() && static_cast<double>(end - from) * per_unit < 10; ++end) {
            window += speeds[end];
        }
        if (speeds[from] != 0 && window > best) {
            best = window;
            best_from = from;
        }
        window -= speeds[from];
    }
    f.pace_from = value(best_from);
    f.pace_to = *f.pace_from + 10;
    f.pace_count = best;
    f.pace_share = share_of(best, f.count);
    if (speed_limit > 0) {
        std::int64_t above = 0;
        std::int64_t above_10 = 0;
        for (std::size_t v = 0; v < speeds.size(); ++v) {
            above += value(v) > speed_limit ? speeds[v] : 0;
            above_10 += value(v) > speed_limit + 10 ? speeds[v] : 0;
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
    std::vector<study_source> one{study_source{&input, &header, {}}};
    compute_vehicle_sources(ctx, one, s);
}

void compute_vehicle_sources(const run_context& ctx, std::vector<study_source>& sources, study& s) {
    const k479_defn& header = *sources.front().header;
    const bool combined = sources.size() > 1;
    vehicle_study walk;
    walk.imperial = s.units.imperial;
    const int config = config_type(header);
    walk.measured = measured_fields(config);
    s.senses_axles = config >= 1;
    s.weighs = config == 2;
    if (!s.senses_axles) {
        s.axles_not_measured = "no axle sensor, loops only";
    }
    if (!s.weighs) {
        s.weight_not_measured = "no weighing sensor";
    }
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
    // Where the data area begins, read before the walk (finding it repositions the source).
    const std::uint64_t data_start = combined ? 0 : start_of_data(*sources.front().input);
    for (study_source& source : sources) {
        byte_stream& input = *source.input;
        walk.stream_param = source.header->stream_param;
        walk.taken = combined ? &source.taken : nullptr;
        walk.last_date_key = 0xFFFFFFFFU;
        zedirozed_state zedirozed;
        const vbv_record_sink sink{
            [&walk, &input](const vehicle_info& vehicle, unsigned type) {
                walk.add(vehicle, type);
                walk.record_end = input.tell();
                ++walk.records;
            },
            [&walk, &input](const event_record& event) {
                walk.add(event);
                walk.record_end = input.tell();
                ++walk.records;
            },
        };
        walk_vbv_data(input, *source.header, ctx.settings, zedirozed, sink);
    }
    // Data that stop before the header's end of data (or, without one, before
    // its binding record count): a download that broke off. A combined study
    // judges its sources' spans instead.
    const byte_stream& input = *sources.front().input;
    const bool binding = header.num_records != 0 && header.closed_ok != 0;
    const bool cut = !combined && header.wrapped == 0 && input.eof() &&
                     (header.data_end != 0 ? input.tell() < header.data_end
                                           : binding && walk.records < header.num_records);

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
            s.lanes.back().name = heading_of(header, lane);
        }
    }
    // A direction is named by the heading its lanes share, when they all have the same one.
    for (std::size_t g = 1; g < groups; ++g) {
        std::optional<std::string> shared;
        for (std::size_t lane = 0; lane < walk.lanes.size(); ++lane) {
            if (walk.lane_directions[lane][g] == 0) {
                continue;
            }
            const std::string heading = heading_of(header, lane);
            if (shared && *shared != heading) {
                shared = std::string();
                break;
            }
            shared = heading;
        }
        s.groups[g].name = shared.value_or("");
    }
    name_classes(s, header);
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
    s.weigh_site = s.weighs && s.groups[0].gross_weights.total > 0;

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
    if (header.closed_ok == 0 || cut || !s.survey.stop) {
        s.survey.stop = last_instant;
        s.survey.stop_at_last_record = header.closed_ok == 0 || cut;
    }
    if (cut) {
        study_cut_short c;
        c.at = last_instant;
        c.byte_offset = walk.records > 0 ? walk.record_end : data_start;
        c.promised_offset = header.data_end;
        c.records = walk.records;
        c.promised_records = binding ? header.num_records : 0;
        s.quality.cut_short = c;
    }
    recording_span span{seconds_of(s.survey.start), seconds_of(s.survey.stop), {}};
    if (combined) {
        span = combined_span(sources);
        s.survey.start = instant_at(span.start);
        s.survey.stop = instant_at(span.stop);
        s.survey.stop_at_last_record = false;
    }
    quality_walk judged;
    for (const unsigned mask : walk.lane_masks) {
        judged.lanes.push_back(std::popcount(mask));
    }
    judged.directions = true;
    judged.undated = walk.undated;
    judge_days(s, walk.days, span, judged);
    fill_volumes(s, walk.days, span, peak_parts::quarter_hours);
    drop_unused_directions(s);
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
