#include "interval/interval_driver.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "interval/block_printer.h"
#include "interval/interval_csv.h"
#include "interval/weekly.h"
#include "io/fatal.h"

namespace tallycnv {

namespace {

constexpr int format_int3 = 3;
constexpr int format_cordon = 4;
constexpr int format_weekly = 8;

bool normal_date(const start_rec_t& date) {
    return date.rec_start_month >= 1 && date.rec_start_month <= 12 && date.rec_start_day >= 1 &&
           date.rec_start_day <= days_in_month(date.rec_start_month, date.rec_start_year);
}

// Moves a clock date `days` days on. Every run of 1461 days holds exactly one
// 29 February, so it brings a valid date back to the same day four years on.
void advance_days(start_rec_t& date, std::uint64_t days) {
    while (days > 0 && !normal_date(date)) {
        next_day(date);
        --days;
    }
    date.rec_start_year = static_cast<std::uint16_t>(date.rec_start_year + 4 * (days / 1461));
    for (days %= 1461; days > 0; --days) {
        next_day(date);
    }
}

// An interval is partial when its time is off the grid of the interval in
// force, or when it starts or stops on a seconds value the instrument did not
// synchronise. A peak interval of 0 has no grid: the time counts as aligned.
bool partial_interval(std::uint8_t sync, std::uint8_t second, std::uint32_t minutes,
                      const interval_clock& clock) {
    if (sync == 0 && second != 0) {
        return true;
    }
    if (peak_period(minutes, clock.retr_peak) != 0) {
        const std::uint32_t step = clock.retr_peak.peak_interval;
        return step != 0 && minutes % step != 0;
    }
    return clock.recintvl != 0 && minutes % clock.recintvl != 0;
}

// A value outside what the instrument can count marks a faulty reading in the
// reports; a consumer (the CSV export, the study) gets every value as the file holds it.
std::int16_t clamp_count(std::int16_t value, bool keep) {
    return !keep && (value < -100 || value > 9999) ? 9999 : value;
}

// The week being tallied is set up from the date the clock stands on when the
// first block is tallied (or when the data ends without one). A clock that
// stands on 24:00 outside a peak period is first written as 00:00 of the next
// day, where the first tallied interval lies: the labels that follow are the
// same, and the week then begins on the day the data begins.
void set_up_week(const run_settings& settings, interval_state& st) {
    if (st.clock.retmins == 1440 && peak_period(1440, st.clock.retr_peak) == 0) {
        st.clock.retmins = 0;
        next_day(st.clock.retdate);
    }
    const start_rec_t& date = st.clock.retdate;
    st.week.start_day_weekly = settings.start_day_weekly;
    setup_week(st.week, date.rec_start_day, date.rec_start_month, date.rec_start_year);
}

void write_end_record(const run_context& ctx) {
    const long lines = ctx.out.line_count() + 1;
    if (ctx.settings.print_format == 3 || ctx.settings.anl_format == format_int3) {
        ctx.out.printf("21,\"END\",%ld,\"FFFF\"\n", lines);
    } else if (ctx.settings.print_format == 4 || ctx.settings.anl_format == format_cordon) {
        ctx.out.printf("%sxxxx%s", "\n", "\n");
    } else {
        ctx.out.printf("* END %ld FFFF\n", lines);
    }
}

} // namespace

run_settings effective_settings(const run_settings& settings) {
    run_settings effective = settings;
    if (effective.anl_format > 3) {
        effective.print_format = effective.anl_format - 3;
    }
    return effective;
}

interval_state publish_interval_state(const k479_defn& header, const run_settings& settings) {
    interval_state st;
    st.ret_spec = header.binning.data_spec;
    for (int i = 0; i < 3; ++i) {
        st.retnbins[i] = max_bins(header.binning.data_spec.operands[i], header);
    }
    st.prnbins = printed_bins(st.retnbins, settings, header.binning);
    st.no_chans = header.binning.no_chans;
    st.curr_chan = 0;
    st.clock.retr_peak = header.peak;
    st.clock.recintvl = header.interval;
    return st;
}

bin_counts bins_of(const interval_state& st) {
    bin_counts bins;
    bins.retnbins = st.retnbins;
    bins.prnbins = st.prnbins;
    return bins;
}

bool block_holds_layout(const interval_state& st, const k479_defn& header) {
    // Bounded so that the product cannot overflow; a block holds at most 32767 values.
    const std::uint64_t size = std::min<std::uint64_t>(channel_size(st, header.binning), 1ULL << 32);
    // A channel without values (an unknown operator, a list of no bins) would let
    // any number of channels pass, each handled once per block for nothing.
    if (st.no_chans == 0 || size == 0) {
        return false;
    }
    return header.block_size / 2U >= st.no_chans * size;
}

void advance_intervals(interval_clock& clock, std::uint64_t count) {
    // After a midnight the clock's course depends only on its time of day, so
    // once a time after midnight repeats, the days between repeat for ever.
    std::array<std::uint64_t, 1440> seen_step{};
    std::array<std::uint64_t, 1440> seen_day{};
    std::uint64_t done = 0;
    std::uint64_t days = 0;
    bool skipped = false;
    while (done < count) {
        if (interval_step(clock, clock.retmins) == 0) {
            return;
        }
        const start_rec_t before = clock.retdate;
        advance_interval(clock);
        ++done;
        if (std::memcmp(&before, &clock.retdate, sizeof before) == 0) {
            continue;
        }
        ++days;
        if (skipped || clock.retmins >= 1440) {
            continue;
        }
        if (seen_step[clock.retmins] == 0) {
            seen_step[clock.retmins] = done;
            seen_day[clock.retmins] = days;
            continue;
        }
        const std::uint64_t cycle_steps = done - seen_step[clock.retmins];
        const std::uint64_t cycle_days = days - seen_day[clock.retmins];
        const std::uint64_t cycles = (count - done) / cycle_steps;
        done += cycles * cycle_steps;
        advance_days(clock.retdate, cycles * cycle_days);
        skipped = true;
    }
}

void format_interval_data(const run_context& ctx, byte_stream& input, const k479_defn& header,
                          interval_state& st) {
    const run_settings& settings = ctx.settings;
    const bool weekly = settings.anl_format == format_weekly;
    const bool consumed = st.consumer != nullptr;
    const bool count_only = count_only_cfg(header.binning.data_spec);

    st.clock.retmins = header.start_rec.rec_start_hour * 60U + header.start_rec.rec_start_minute;
    const std::uint32_t stop_minutes = header.stop_rec.rec_stop_hour * 60U + header.stop_rec.rec_stop_minute;
    st.clock.recintvl = header.interval;
    st.clock.retdate = header.start_rec;
    if (weekly) {
        clear_weekly_tally(st.week); // every hour without a record
    }

    // Without an interval length the blocks have no time: header and END record only.
    if (st.clock.recintvl != 0) {
        const std::uint64_t data_start = start_of_data(input);
        const std::uint32_t rec_size = header.block_size;
        std::vector<std::uint8_t> raw(rec_size);
        std::vector<std::int16_t> block(rec_size / 2);
        const bool wrapped = header.wrapped != 0;
        const std::int64_t written = header.num_records;
        const std::int64_t lost = header.records_lost;
        std::int64_t num_recs = written - lost;
        std::int64_t before_wrap = 0;
        bool skip_first = false;

        input.seek(data_start);
        if (wrapped) {
            // The oldest surviving block is block number `lost`; the clock names it first.
            advance_intervals(st.clock, static_cast<std::uint64_t>(lost));
            const std::int64_t slot = num_recs > 0 ? lost % num_recs : 0;
            before_wrap = num_recs - slot;
            input.seek(data_start + static_cast<std::uint64_t>(slot) * rec_size);
        } else if (settings.skip_partial) {
            skip_first = partial_interval(header.start_sync, header.start_rec.rec_start_second,
                                          st.clock.retmins, st.clock);
        }
        if (settings.skip_partial &&
            partial_interval(header.stop_sync, header.stop_rec.rec_stop_second, stop_minutes, st.clock)) {
            --num_recs;
        }

        const std::array<std::uint16_t, 8> card_type = card_types(header);
        const int inputs = input_count(header);
        bool week_ready = false;
        bool reading = true;
        std::size_t got = 0;
        st.read_next_block = true;
        while (reading) {
            if (st.read_next_block) {
                got = input.read(raw.data(), rec_size);
                --num_recs;
                --before_wrap;
                for (std::size_t i = 0; i < block.size(); ++i) {
                    block[i] =
                        clamp_count(static_cast<std::int16_t>(raw[2 * i] | raw[2 * i + 1] << 8), consumed);
                }
            }
            if (got == rec_size && num_recs >= 0) {
                if (skip_first) {
                    advance_interval(st.clock); // the partial first interval is dropped unprinted
                    skip_first = false;
                } else {
                    if (weekly && !week_ready) {
                        set_up_week(settings, st);
                        week_ready = true;
                    }
                    print_block(ctx, st, block, header.binning, card_type, inputs);
                }
            } else {
                reading = false;
            }
            // The recording memory wrapped: after its physical end come the newer blocks at its start
            // (only while blocks remain to be read: a source read forward only then still ends cleanly).
            if (reading && wrapped && num_recs > 0 && (input.eof() || before_wrap == 0)) {
                input.seek(data_start);
            }
        }

        if (weekly) {
            if (!week_ready) {
                set_up_week(settings, st);
            }
            output_weekly_anal(ctx, st.week);
        }
    }

    if (count_only && st.int1_pos != 0 && settings.anl_format != format_cordon) {
        print_part_block(ctx, st);
    }
    st.week.arraypointer.clear();
    st.week.arraypointer.shrink_to_fit();
    if (!consumed) {
        write_end_record(ctx);
    }
}

namespace {

// The format check and the layout check every run on an interval file makes first.
interval_state checked_interval_state(const run_context& ctx, const k479_defn& header) {
    const int format = ctx.settings.anl_format;
    if (format >= 5 && format <= 7) {
        fail(1, "\nError : Can't display an interval file in a VBV format\n");
    }
    interval_state st = publish_interval_state(header, ctx.settings);
    if (!block_holds_layout(st, header)) {
        fail(2, "\nError : Invalid or corrupt input file\n");
    }
    return st;
}

} // namespace

void output_interval_file(const run_context& ctx, byte_stream& input, const k479_defn& header) {
    interval_state st = checked_interval_state(ctx, header);
    const run_settings settings = effective_settings(ctx.settings);
    const run_context report{settings, ctx.lang, ctx.out};
    if (settings.anl_format == anl_format_csv) {
        const interval_csv table = make_interval_csv(settings, header, st.prnbins);
        print_interval_csv_header(report);
        const interval_consumer csv{[&](const interval_state& at, std::span<const std::int16_t> block,
                                        const binning_parameters& binning, bool merge) {
            print_interval_csv(report, table, at, block, binning, merge);
        }};
        st.consumer = &csv;
        format_interval_data(report, input, header, st);
        return;
    }
    print_interval_header(report, header, bins_of(st));
    format_interval_data(report, input, header, st);
}

void consume_interval_file(const run_context& ctx, byte_stream& input, const k479_defn& header,
                           const interval_consumer& consumer) {
    interval_state st = checked_interval_state(ctx, header);
    st.consumer = &consumer;
    format_interval_data(ctx, input, header, st);
}

void interval_header_only(const run_context& ctx, const k479_defn& header) {
    if (ctx.settings.anl_format == anl_format_csv) {
        print_interval_csv_header(ctx);
        return;
    }
    const interval_state st = publish_interval_state(header, ctx.settings);
    const run_settings settings = effective_settings(ctx.settings);
    print_interval_header(run_context{settings, ctx.lang, ctx.out}, header, bins_of(st));
}

} // namespace tallycnv
