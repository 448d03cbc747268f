// The study of an interval file: the channels of every block as the interval
// reports see them (clock, peak periods, wrap-round, dropped partial
// intervals, merged car classes, axle counts), per channel and in all.
#include <algorithm>
#include <numeric>
#include <string>

#include "datafile/vocabulary.h"
#include "interval/block_printer.h"
#include "interval/interval_csv.h"
#include "interval/interval_driver.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

// Channels with figures of their own; a header announcing more counts the rest in "all" only.
constexpr std::uint32_t max_channels = 8;

constexpr unsigned operand_speed = 1;
constexpr unsigned operand_gas = 10;

struct channel_tally {
    std::int64_t total = 0;
    std::array<std::vector<std::int64_t>, 3> bins;
};

struct interval_study {
    day_table days;
    std::vector<channel_tally> channels; // [0] all
    std::optional<std::int64_t> first_start;
    std::optional<std::int64_t> last_end;
    std::int64_t blocks = 0; // blocks read
    const time_spans* taken = nullptr;

    void channel(const interval_state& st, std::span<const std::int16_t> block,
                 const binning_parameters& binning, bool merge) {
        const bool count_only = count_only_cfg(st.ret_spec);
        std::int64_t count = 0;
        // The lowest single reading of the channel: a count below 0 is no count of vehicles.
        std::int64_t lowest = 0;
        if (count_only) {
            count = st.curr_chan < block.size() ? block[st.curr_chan] : 0;
            lowest = count;
        } else {
            count = count_intspec(st, block, binning);
        }
        blocks += st.curr_chan == 0 ? 1 : 0;
        // A combined study: an interval outside the spans taken from its source is another source's.
        if (taken != nullptr) {
            const start_rec_t& at = st.clock.retdate;
            const std::optional<long> on =
                day_number(at.rec_start_year, at.rec_start_month, at.rec_start_day);
            const std::uint32_t minutes =
                st.print_peak != 0 ? st.clock.retr_peak.peak_interval : st.clock.recintvl;
            const std::int64_t end = on ? *on * 86400LL + st.clock.retmins * 60LL : 0;
            const std::int64_t begin = end - minutes * 60LL;
            if (on && std::none_of(taken->begin(), taken->end(), [&](const auto& span) {
                    return span.first <= begin && end <= span.second;
                })) {
                return;
            }
        }
        const int group = st.curr_chan < max_channels ? static_cast<int>(st.curr_chan) + 1 : -1;
        for (const int g : {0, group}) {
            if (g < 0 || static_cast<std::size_t>(g) >= channels.size()) {
                continue;
            }
            channel_tally& t = channels[static_cast<std::size_t>(g)];
            t.total += count;
            if (!count_only) {
                // The first pass over the values also finds the lowest.
                add_bins(t, st, block, binning, merge, g == 0 ? &lowest : nullptr);
            }
        }

        // The interval ends on the clock's label (24:00 ends the day); its count belongs to the minute
        // before.
        const start_rec_t& date = st.clock.retdate;
        std::optional<long> day = day_number(date.rec_start_year, date.rec_start_month, date.rec_start_day);
        if (!day) {
            return;
        }
        const std::int64_t end = *day * 86400LL + st.clock.retmins * 60LL;
        const std::uint32_t length =
            st.print_peak != 0 ? st.clock.retr_peak.peak_interval : st.clock.recintvl;
        if (!first_start) {
            first_start = end - length * 60LL;
        }
        last_end = end;
        const std::uint32_t minute = st.clock.retmins > 0 ? st.clock.retmins - 1 : 0;
        days.add(*day + minute / 1440, static_cast<int>(minute % 1440), group, count);
        if (lowest < 0) {
            for (const int g : {0, group}) {
                if (g < 0) {
                    continue;
                }
                day_checks& checks = days.cached->checks[static_cast<std::size_t>(g)];
                if (checks.negative == 0 || lowest < checks.lowest) {
                    checks.lowest = lowest;
                    checks.lowest_end = static_cast<int>(minute % 1440) + 1;
                    checks.lowest_minutes = static_cast<int>(length);
                }
                ++checks.negative;
            }
        }
        if (days.keeps_ends && st.clock.retmins >= 1 && st.clock.retmins <= 1440) {
            days.end_at(*day, static_cast<int>(st.clock.retmins));
        }
    }

    // Adds the channel's binned values to its lists' totals; with `lowest`, keeps the lowest of the
    // values that count vehicles (gas readings and a speed summary's values do not).
    static void add_bins(channel_tally& t, const interval_state& st, std::span<const std::int16_t> block,
                         const binning_parameters& binning, bool merge, std::int64_t* lowest) {
        for (std::size_t list = 0; list < 3; ++list) {
            t.bins[list].resize(st.prnbins[list]);
        }
        for_each_binned_run(st, binning, [&](const binned_run& run) {
            const bool counts =
                lowest != nullptr && run.along.type != operand_gas && run.along.type != operand_speed_summary;
            for (std::uint64_t i = 0; i < run.count; ++i) {
                const int value = run_value(block, run, i, merge);
                if (counts && value < *lowest) {
                    *lowest = value;
                }
                add_to(t, run.along, i, value);
                for (const run_axis& axis : run.fixed) {
                    add_to(t, axis, axis.bin, value);
                }
            }
        });
    }

    static void add_to(channel_tally& t, const run_axis& axis, std::uint64_t bin, int value) {
        if (axis.list < 0) {
            return;
        }
        std::vector<std::int64_t>& bins = t.bins[static_cast<std::size_t>(axis.list)];
        if (bin < bins.size()) {
            bins[bin] += value;
        }
    }
};

struct operand_name {
    const char* name;
    int unit; // 0 none, 1 speed, 2 time, 3 length, 4 weight
};
constexpr std::array<operand_name, 13> operand_names = {{
    {"COUNT", 0},
    {"SPEED", 1},
    {"GAP", 2},
    {"HEADWAY", 2},
    {"LENGTH", 3},
    {"GROSS WEIGHT", 4},
    {"AXLE WEIGHT", 4},
    {"CLASS", 0},
    {"AXLES", 0},
    {"DIRECTION", 0},
    {"GAS", 0},
    {"WHEELBASE", 3},
    {"SPEED", 1},
}};

std::string unit_text(int unit, const study_units& units) {
    switch (unit) {
    case 1:
        return units.speed;
    case 2:
        return units.time;
    case 3:
        return units.length;
    case 4:
        return units.weight;
    default:
        return {};
    }
}

// A speed bin edge as the bin labels write it.
double speed_edge(std::uint16_t threshold, bool imperial) {
    if (imperial) {
        const float mph = static_cast<float>(threshold) * speed_conv[1];
        return static_cast<double>(static_cast<std::uint32_t>(static_cast<double>(mph) + 0.5));
    }
    return threshold;
}

// The share of the binned vehicles above `limit`: exact when the limit is a
// bin edge (the bins from it up), else the bins wholly above it (at least)
// and those with any part above it (at most).
void share_above(const std::vector<double>& low, const std::vector<double>& high,
                 const std::vector<bool>& open, const std::vector<std::int64_t>& totals, std::int64_t count,
                 double limit, std::optional<double>& at_least, std::optional<double>& at_most) {
    std::int64_t surely = 0;
    std::int64_t maybe = 0;
    for (std::size_t i = 0; i < low.size(); ++i) {
        if (low[i] >= limit) {
            surely += totals[i];
        } else if (open[i] || high[i] > limit) {
            maybe += totals[i];
        }
    }
    at_least = share_of(surely, count);
    if (maybe != 0) {
        at_most = share_of(surely + maybe, count);
    }
}

// The mean and percentiles of a speed list from its bins: a bin counts at its
// middle, an open last bin at its lower edge; percentiles interpolate
// linearly within the bin that holds the point. The last bin is closed when
// the header gives a boundary above its lower edge.
study_speed binned_speeds(const std::vector<std::int64_t>& totals, const bin_info& bins, bool imperial,
                          double speed_limit) {
    study_speed f;
    constexpr std::size_t edges = sizeof bins.threshold / sizeof bins.threshold[0];
    const std::size_t n = std::min<std::size_t>({totals.size(), bins.count, edges});
    std::vector<double> low(n);
    std::vector<double> high(n);
    std::vector<bool> is_open(n);
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        low[i] = speed_edge(bins.threshold[i], imperial);
        const bool open = i + 1 == n && !last_bin_closed(bins);
        is_open[i] = open;
        high[i] = open ? low[i] : speed_edge(bins.threshold[i + 1], imperial);
        f.count += totals[i];
        sum += static_cast<double>(totals[i]) * (low[i] + high[i]) / 2;
        if (open && totals[i] > 0) {
            f.mean_is_lower_bound = true;
        }
    }
    if (f.count <= 0) {
        return f;
    }
    f.mean = sum / static_cast<double>(f.count);
    constexpr std::array<int, 4> points = {15, 50, 85, 95};
    for (std::size_t p = 0; p < points.size(); ++p) {
        study_percentile& q = f.percentiles[p];
        q.n = points[p];
        const double target = static_cast<double>(f.count) * points[p] / 100.0;
        double below = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double c = static_cast<double>(totals[i]);
            if (c > 0 && below + c >= target) {
                if (is_open[i]) {
                    q.above = low[i];
                } else {
                    q.value = low[i] + (target - below) / c * (high[i] - low[i]);
                }
                break;
            }
            below += c;
        }
    }
    if (speed_limit > 0) {
        share_above(low, high, is_open, totals, f.count, speed_limit, f.share_above_limit,
                    f.share_above_limit_most);
        share_above(low, high, is_open, totals, f.count, speed_limit + 10, f.share_above_limit_10,
                    f.share_above_limit_10_most);
    }
    return f;
}

void fill_bin_lists(study_group& g, const channel_tally& t, const k479_defn& header, const interval_state& st,
                    const study& s) {
    const binning_parameters& binning = header.binning;
    for (std::size_t list = 0; list < 3; ++list) {
        const unsigned type = binning.data_spec.operands[list];
        if (st.prnbins[list] == 0 || (list > 0 && type == 0)) {
            continue;
        }
        study_bin_list b;
        b.list = static_cast<int>(list) + 1;
        b.operand = type;
        if (type < operand_names.size()) {
            b.name = operand_names[type].name;
            b.unit = unit_text(operand_names[type].unit, s.units);
        } else {
            b.name = "OPERAND " + std::to_string(type);
        }
        for (std::uint64_t bin = 0; bin < st.prnbins[list]; ++bin) {
            b.labels.push_back(bin_label(type, bin, binning, s.units.imperial));
        }
        b.totals = t.bins[list];
        b.totals.resize(b.labels.size());
        if (type == operand_speed || type == operand_speed_summary) {
            b.speed = binned_speeds(b.totals, binning.speed_bins, s.units.imperial, s.speed_limit);
        }
        g.bin_lists.push_back(std::move(b));
    }
}

// What the peak hours' factor of an interval file comes from, or why it has none.
struct interval_peaks {
    peak_parts parts = peak_parts::none;
    int step = 60;          // the finest grid of the ends: the intervals' greatest common divisor
    std::string reason;     // why there are no peak hours
    std::string phf_reason; // why there is no PHF
};

// Peak hours need every interval in force (the normal one, and the peak one
// when a peak period exists) to divide the hour, so that the hours hold whole
// intervals; the PHF needs quarter hours: every interval dividing 15 minutes.
interval_peaks interval_peak_rule(const k479_defn& header) {
    interval_peaks p;
    std::vector<unsigned> lengths{header.interval};
    for (unsigned m = 1; m <= 1440; ++m) {
        if (peak_period(m, header.peak) != 0) {
            lengths.push_back(header.peak.peak_interval);
            break;
        }
    }
    p.step = static_cast<int>(std::gcd(lengths.front(), lengths.back()));
    for (const unsigned length : lengths) {
        if (length == 0 || length > 60 || 60 % length != 0) {
            p.reason = "the counting interval does not divide the hour";
            return p;
        }
    }
    for (const unsigned length : lengths) {
        if (15 % length != 0) {
            p.parts = peak_parts::intervals;
            p.phf_reason = "the PHF needs 15-minute counts and the " + std::to_string(length) +
                           "-minute intervals do not make up quarter hours";
            return p;
        }
    }
    p.parts = peak_parts::quarter_hours;
    return p;
}

} // namespace

void compute_interval_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s) {
    std::vector<study_source> one{study_source{&input, &header, {}}};
    compute_interval_sources(ctx, one, s);
}

void compute_interval_sources(const run_context& ctx, std::vector<study_source>& sources, study& s) {
    const k479_defn& header = *sources.front().header;
    const bool combined = sources.size() > 1;
    const interval_state layout = publish_interval_state(header, ctx.settings);
    const std::uint32_t channels = std::min<std::uint32_t>(layout.no_chans, max_channels);
    interval_study walk;
    walk.channels.resize(channels + 1);

    const interval_peaks peaks = interval_peak_rule(header);
    walk.days.groups = static_cast<int>(channels) + 1;
    // Slots of the finest grid in force for the peak hours, else hours for the profile.
    walk.days.slot_minutes = peaks.reason.empty() ? peaks.step : 60;
    walk.days.keeps_ends = peaks.reason.empty();

    const interval_consumer consumer{[&walk](const interval_state& st, std::span<const std::int16_t> block,
                                             const binning_parameters& binning,
                                             bool merge) { walk.channel(st, block, binning, merge); }};
    for (study_source& source : sources) {
        walk.taken = combined ? &source.taken : nullptr;
        consume_interval_file(ctx, *source.input, *source.header, consumer);
    }
    byte_stream& input = *sources.front().input;
    // Fewer blocks than the header counts: the data stop early (a download that broke off). With -S
    // the partial first and last intervals are not read as blocks. A combined study judges its
    // sources' spans instead.
    const std::int64_t promised = static_cast<std::int64_t>(header.num_records) - header.records_lost;
    const std::int64_t dropped = ctx.settings.skip_partial ? 2 : 0;
    if (!combined && header.wrapped == 0 && input.eof() && walk.blocks + dropped < promised) {
        study_cut_short c;
        if (walk.last_end) {
            const std::int64_t end = *walk.last_end;
            c.at = study_instant{date_of_day(static_cast<long>(end / 86400)),
                                 static_cast<int>(end % 86400 / 3600), static_cast<int>(end % 3600 / 60), 0};
        }
        c.byte_offset = start_of_data(input) + static_cast<std::uint64_t>(walk.blocks) * header.block_size;
        c.promised_offset = start_of_data(input) + static_cast<std::uint64_t>(promised) * header.block_size;
        c.records = walk.blocks;
        c.promised_records = promised;
        c.blocks = true;
        s.quality.cut_short = c;
    }

    s.groups.resize(channels + 1);
    s.groups[0].key = "all";
    for (std::uint32_t c = 0; c <= channels; ++c) {
        study_group& g = s.groups[c];
        if (c > 0) {
            g.key = std::to_string(c);
            std::string_view heading = field_text(header.headings[c - 1]);
            while (!heading.empty() && heading.back() == ' ') {
                heading.remove_suffix(1);
            }
            g.heading = std::string(heading);
        }
        g.volume.total = walk.channels[c].total;
        if (!s.survey.count_only) {
            fill_bin_lists(g, walk.channels[c], header, layout, s);
        }
    }
    s.survey.vehicles = walk.channels[0].total;
    for (const study_bin_list& list : s.groups[0].bin_lists) {
        s.has_speed = s.has_speed || (list.speed && list.speed->count > 0);
    }
    s.peak_hours_omitted = !peaks.reason.empty();
    s.peak_hours_omitted_reason = peaks.reason;
    s.peak_grid_minutes = peaks.step;
    s.peak_by_quarters = peaks.parts == peak_parts::quarter_hours;
    s.phf_omitted_reason = peaks.phf_reason;
    // The recording: the blocks present, from the first one's start to the last one's end.
    recording_span span{walk.first_start, walk.last_end, {}};
    if (combined) {
        span = combined_span(sources);
        s.survey.start = instant_at(span.start);
        s.survey.stop = instant_at(span.stop);
    }
    quality_walk judged;
    judged.lanes.assign(channels + 1, 1);
    judged.lanes[0] = 0;
    for (std::uint32_t c = 1; c <= channels; ++c) {
        judged.lanes[0] += s.groups[c].volume.total != 0 ? 1 : 0;
    }
    // Intervals longer than an hour put whole counts into every other hour or fewer.
    judged.hourly = header.interval <= 60;
    for (unsigned m = 1; m <= 1440 && judged.hourly; ++m) {
        judged.hourly = peak_period(m, header.peak) == 0 || header.peak.peak_interval <= 60;
    }
    judge_days(s, walk.days, span, judged);
    fill_volumes(s, walk.days, span, peaks.parts);
}

} // namespace tallycnv
