#include "interval/block_printer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "io/fatal.h"
#include "io/text_format.h"

namespace tallycnv {

namespace {

constexpr int format_int3 = 3;
constexpr int format_cordon = 4;
constexpr int format_weekly = 8;

void appendf(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& text, const char* format, ...) {
    char local[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(local, sizeof local, format, args);
    va_end(args);
    if (n > 0) {
        text.append(local, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof local - 1));
    }
}

// Number of lists in use: the header's spec_count as recorded. Only a count
// of exactly 3 brings in list 2, as the header's third heading row does.
unsigned lists_in_use(const binning_parameters& binning) {
    return binning.spec_count;
}

// The list sizes and layout of a block, taken once per call.
struct layout {
    std::uint64_t n[3];
    unsigned type[3];
    unsigned op0;
    unsigned op1;
    unsigned lists;
};

layout layout_of(const interval_state& st, const binning_parameters& binning) {
    layout l{};
    for (int i = 0; i < 3; ++i) {
        l.n[i] = st.retnbins[i];
        l.type[i] = st.ret_spec.operands[i];
    }
    l.op0 = st.ret_spec.operators[0];
    l.op1 = st.ret_spec.operators[1];
    l.lists = lists_in_use(binning);
    return l;
}

// Separate lists: list 1 follows list 0 when two lists are in use or list 0
// holds gas readings; list 2 follows when all three are in use.
bool separate_list1(const layout& l) {
    return l.lists > 1 || l.type[0] == operand_gas;
}
bool separate_list2(const layout& l) {
    return l.lists == 3;
}

std::uint64_t size_of(const layout& l) {
    if (l.op0 == 0 && l.op1 == 0) {
        return l.n[0] + (separate_list1(l) ? l.n[1] : 0) + (separate_list2(l) ? l.n[2] : 0);
    }
    if (l.op0 == 1 && l.op1 == 0) {
        return l.n[0] * l.n[1] + (separate_list2(l) ? l.n[2] : 0);
    }
    if (l.op0 == 0 && l.op1 == 1) {
        return l.n[0] + l.n[1] * l.n[2];
    }
    if (l.op0 == 1 && l.op1 == 1) {
        return l.n[0] * l.n[1] * l.n[2];
    }
    return 0;
}

int value_at(std::span<const std::int16_t> values, std::uint64_t position) {
    return position < values.size() ? values[position] : 0;
}

long sum_of(std::span<const std::int16_t> values, std::uint64_t start, std::uint64_t count) {
    long total = 0;
    const std::uint64_t end = std::min<std::uint64_t>(start + count, values.size());
    for (std::uint64_t p = start; p < end; ++p) {
        total += values[p];
    }
    return total;
}

// Date in the order of the output record's date form: 0 day first, 1 month
// first, any other form year first (as the header's STARTREC line reads it).
void append_date(std::string& text, const run_settings& settings, const start_rec_t& date, bool split) {
    int a = date.rec_start_day;
    int b = date.rec_start_month;
    int c = date.rec_start_year % 100;
    if (settings.k479.date_format == 1) {
        std::swap(a, b);
    } else if (settings.k479.date_format != 0) {
        std::swap(a, c);
    }
    if (split) {
        appendf(text, "%02d,%02d,%02d,", a, b, c);
    } else {
        appendf(text, "%02d%02d%02d", a, b, c);
    }
}

void append_site(std::string& text, const run_settings& settings, bool int3) {
    if (!settings.taxo) {
        return;
    }
    const std::string site(field_text(settings.k479.site).substr(0, 8));
    appendf(text, int3 ? "%8s," : "%8s  ", site.c_str());
}

void align_down(std::uint32_t& minutes, std::uint32_t step) {
    if (step != 0) {
        minutes = step * (minutes / step);
    }
}

void announce(const run_context& ctx, interval_state& st, bool count_only) {
    const int format = ctx.settings.anl_format;
    if (count_only && format != format_cordon) {
        print_part_block(ctx, st);
    }
    if (st.consumer == nullptr && format != format_cordon && format != format_weekly) {
        if (st.print_peak != 0) {
            ctx.out.printf("* PEAKINT = %d\n", static_cast<int>(st.clock.retr_peak.peak_interval));
        } else {
            ctx.out.printf("* INTERVAL = %d\n", static_cast<int>(st.clock.recintvl));
        }
    }
}

// Moves the clock to the end of the interval of this block, once per block,
// announcing each change between normal and peak intervals.
void step_clock(const run_context& ctx, interval_state& st, bool count_only) {
    interval_clock& clock = st.clock;
    const auto in_peak = [&](std::uint32_t minute) { return peak_period(minute, clock.retr_peak); };
    // The clock moves once per block, on the first channel's step; the later
    // channels of the block leave it as they find it. Aligning it again there
    // could only hold it or take it back: at the end of a peak period whose
    // interval does not divide it, back onto the peak grid, where the next
    // block would find it in the peak again and every later block would be
    // labelled alike.
    if (st.curr_chan != 0) {
        return;
    }
    const std::uint32_t began = clock.retmins;
    int prev = st.print_peak;
    st.print_peak = in_peak(clock.retmins);
    if (st.print_peak != prev) {
        announce(ctx, st, count_only);
        align_down(clock.retmins, interval_step(clock, clock.retmins));
        prev = st.print_peak;
    }
    align_down(clock.retmins, interval_step(clock, clock.retmins));
    // The next interval's end, on the clock's own scale: 24:00 is the end of
    // the day (a peak period may end there), only later times wrap round.
    std::uint32_t ahead = clock.retmins + clock.retr_peak.peak_interval;
    if (ahead > 1440) {
        ahead %= 1440;
    }
    std::uint32_t step = 0;
    if (in_peak(ahead) != 0) {
        step = clock.retr_peak.peak_interval;
        st.print_peak = 1;
    } else {
        step = clock.recintvl;
        st.print_peak = 0;
    }
    if (st.print_peak != prev) {
        announce(ctx, st, count_only);
        align_down(clock.retmins, step);
    }
    // Aligning to the grids of both interval lengths can take the clock back by
    // a whole step (a peak period that begins off the normal grid), which would
    // label every later block alike: the clock then steps on from where it began.
    if (clock.retmins + step <= began) {
        clock.retmins = began;
    }
    clock.retmins += step;
    if (clock.retmins > 1440) {
        clock.retmins %= 1440;
        next_day(clock.retdate);
        if (ctx.settings.anl_format == format_weekly && next_weekday(st.week)) {
            output_weekly_anal(ctx, st.week); // the finished week, before the new day's first interval
        }
    }
}

// Axle sensors count axles: the counts become vehicles by dividing by the
// axle factor rounded up. Gas readings are measurements and stay as read.
void divide_axle_counts(const run_context& ctx, const interval_state& st, const layout& l,
                        std::span<std::int16_t> block) {
    const double factor = static_cast<double>(ctx.settings.k479.axle_factor) + 0.99;
    if (!(factor >= 1.0 && factor < 32768.0)) {
        return;
    }
    const int divisor = static_cast<int>(factor);
    std::vector<bool> gas(block.size(), false);
    const auto keep = [&](std::uint64_t base, std::uint64_t first) {
        for (std::uint64_t p = base + first; p < base + first + 3 && p < gas.size(); ++p) {
            gas[p] = true;
        }
    };
    const std::uint64_t size = size_of(l);
    const std::uint64_t channels = size == 0 ? 1 : st.no_chans;
    for (std::uint64_t c = 0; c < channels && c * size < block.size(); ++c) {
        const std::uint64_t base = c * size;
        if (l.type[0] == operand_gas) {
            keep(base, 0);
        }
        if (l.type[1] == operand_gas) {
            keep(base, l.n[0]);
        }
        if (l.type[2] == operand_gas && l.op0 == 0) {
            keep(base, l.n[0] + l.n[1]);
        }
        if (l.type[2] == operand_gas && l.op0 == 1) {
            keep(base, l.n[0] * l.n[1]);
        }
    }
    for (std::size_t p = 0; p < block.size(); ++p) {
        if (!gas[p]) {
            block[p] = static_cast<std::int16_t>(block[p] / divisor);
        }
    }
}

// One binned data line: the prefix, "%02d%c%02d" of the list and row tags,
// then "%c%04d" of each value, formatted straight into the report.
template <typename Value>
void write_binned_line(report_sink& out, const report_text& prefix, char s, std::uint64_t list_tag,
                       std::uint64_t row_tag, std::uint64_t count, Value value) {
    constexpr std::size_t value_room = 24; // a separator and an int, with room to spare
    char* p = out.reserve(prefix.bytes.size() + 2 * value_room + count * value_room);
    p = out.put_lines(p, prefix);
    p = put_int(p, static_cast<int>(list_tag), 2, '0');
    p = put_int(put_char(p, s), static_cast<int>(row_tag), 2, '0');
    for (std::uint64_t i = 0; i < count; ++i) {
        p = put_int(put_char(p, s), value(i), 4, '0');
    }
    out.end_line(p);
}

void print_binned_lines(const run_context& ctx, const interval_state& st, const binning_parameters& binning,
                        std::span<const std::int16_t> block, bool merge) {
    const bool int3 = ctx.settings.anl_format == format_int3;
    const char s = int3 ? ',' : ' ';
    std::string text;
    append_site(text, ctx.settings, int3);
    append_date(text, ctx.settings, st.clock.retdate, false);
    appendf(text, "%c%02d%02d%c%d%c", s, static_cast<int>(st.clock.retmins / 60),
            static_cast<int>(st.clock.retmins % 60), s, static_cast<int>(st.curr_chan + 1), s);
    const report_text prefix = make_report_text(text);

    for_each_binned_run(st, binning, [&](const binned_run& run) {
        write_binned_line(ctx.out, prefix, s, run.list_tag, run.row_tag, run.count,
                          [&](std::uint64_t i) { return run_value(block, run, i, merge); });
    });
}

// A cordon value covers one normal recording interval: the totals of peak
// sub-intervals are carried until the clock is back on the normal grid.
void cordon_total(const run_context& ctx, interval_state& st, long total) {
    if (st.cord_count.size() < st.no_chans) {
        st.cord_count.resize(st.no_chans, 0);
    }
    long& carried = st.cord_count[st.curr_chan];
    if (st.clock.recintvl != 0 && st.clock.retmins % st.clock.recintvl != 0) {
        carried += total;
        return;
    }
    char* p = ctx.out.reserve(32);
    ctx.out.commit(put_char(put_int(p, total + carried, 4, '0'), ',')); // "%04ld,"
    carried = 0;
    if (++st.int1_pos == 12) {
        st.int1_pos = 0;
        ctx.out.end_line(ctx.out.reserve(2));
    }
}

void start_count_rows(const run_context& ctx, interval_state& st) {
    const bool int3 = ctx.settings.anl_format == format_int3;
    st.int1_lines.assign(st.no_chans, std::string());
    for (std::uint32_t c = 0; c < st.no_chans; ++c) {
        std::string& row = st.int1_lines[c];
        append_site(row, ctx.settings, int3);
        append_date(row, ctx.settings, st.clock.retdate, int3);
        if (!int3) {
            row += ' ';
        }
        appendf(row, int3 ? "%02d,%02d,%d," : "%02d%02d %d", static_cast<int>(st.clock.retmins / 60),
                static_cast<int>(st.clock.retmins % 60), static_cast<int>(c + 1));
    }
}

void print_count_block(const run_context& ctx, interval_state& st, std::span<const std::int16_t> block) {
    const int count = value_at(block, st.curr_chan);
    if (ctx.settings.anl_format == format_cordon) {
        cordon_total(ctx, st, count);
        return;
    }
    if (st.int1_pos == 0 && st.curr_chan == 0) {
        start_count_rows(ctx, st);
    }
    if (st.int1_lines.size() < st.no_chans) {
        st.int1_lines.resize(st.no_chans);
    }
    st.int1_lines[st.curr_chan] +=
        str_formatter(ctx.settings.col_width, count, ctx.settings.anl_format == format_int3);
    if (st.curr_chan + 1 == st.no_chans) {
        if (++st.int1_pos == 12) {
            print_part_block(ctx, st);
        }
    }
}

} // namespace

bool merge_active(const run_settings& settings, const binning_parameters& binning) {
    return settings.merge_cars && binning.class_scheme == 25 && binning.num_classes >= 14;
}

std::array<std::uint32_t, 3> printed_bins(const std::array<std::uint32_t, 3>& retnbins,
                                          const run_settings& settings, const binning_parameters& binning) {
    std::array<std::uint32_t, 3> printed = retnbins;
    if (merge_active(settings, binning)) {
        for (int i = 0; i < 3; ++i) {
            if (binning.data_spec.operands[i] == operand_class && printed[i] > 0) {
                --printed[i];
            }
        }
    }
    return printed;
}

std::uint64_t channel_size(const interval_state& st, const binning_parameters& binning) {
    return size_of(layout_of(st, binning));
}

std::uint64_t get_size(const interval_state& st, const binning_parameters& binning) {
    return st.curr_chan * channel_size(st, binning);
}

int get_bin(std::span<const std::int16_t> values, std::uint64_t position, bool merge, unsigned list_type,
            std::uint64_t bin, std::uint64_t stride) {
    const int value = value_at(values, position);
    if (merge && list_type == operand_class && bin == 0) {
        return value + 2 * value_at(values, position + 13 * stride);
    }
    return value;
}

int run_value(std::span<const std::int16_t> block, const binned_run& run, std::uint64_t i, bool merge) {
    const std::uint64_t position = run.start + i;
    if (merge && run.along.type == operand_class && i == 0) {
        return get_bin(block, position, merge, operand_class, 0, 1);
    }
    for (const run_axis& axis : run.fixed) {
        if (merge && axis.list >= 0 && axis.type == operand_class && axis.bin == 0) {
            return get_bin(block, position, merge, operand_class, 0, axis.stride);
        }
    }
    return value_at(block, position);
}

void for_each_binned_run(const interval_state& st, const binning_parameters& binning,
                         const std::function<void(const binned_run&)>& visit) {
    const layout l = layout_of(st, binning);
    const std::uint64_t b = st.curr_chan * size_of(l);
    const std::uint64_t n0 = l.n[0];
    const std::uint64_t n1 = l.n[1];
    const auto list = [&](int i, std::uint64_t bin = 0, std::uint64_t stride = 1) {
        return run_axis{i, l.type[i], bin, stride};
    };
    const auto along = [&](std::uint64_t list_tag, std::uint64_t row_tag, std::uint64_t start, int i,
                           std::array<run_axis, 2> fixed = {}) {
        visit(binned_run{list_tag, row_tag, start, st.prnbins[i], list(i), fixed});
    };

    if (l.op0 == 0 && l.op1 == 0) {
        along(0, separate_list1(l) ? 1 : 0, b, 0);
        if (separate_list1(l)) {
            along(0, 2, b + n0, 1);
        }
        if (separate_list2(l)) {
            along(0, 3, b + n0 + n1, 2);
        }
    } else if (l.op0 == 1 && l.op1 == 0) {
        for (std::uint64_t j = 0; j < st.prnbins[1]; ++j) {
            along(separate_list2(l) ? 1 : 0, j + 1, b + j * n0, 0, {list(1, j, n0)});
        }
        if (separate_list2(l)) {
            along(2, 0, b + n0 * n1, 2);
        }
    } else if (l.op0 == 0 && l.op1 == 1) {
        along(1, 0, b, 0);
        for (std::uint64_t j = 0; j < st.prnbins[2]; ++j) {
            along(2, j + 1, b + n0 + j * n1, 1, {list(2, j, n1)});
        }
    } else if (l.op0 == 1 && l.op1 == 1) {
        for (std::uint64_t k = 0; k < st.prnbins[2]; ++k) {
            for (std::uint64_t j = 0; j < st.prnbins[1]; ++j) {
                along(k + 1, j + 1, b + k * n0 * n1 + j * n0, 0, {list(1, j, n0), list(2, k, n0 * n1)});
            }
        }
    }
}

std::string str_formatter(int width, int value, bool int3) {
    char text[64];
    if (int3) {
        return std::string(text, put_char(put_int(text, value), ',')); // "%d,"
    }
    char* end = put_int(text, value, std::min(width, 32)); // "%*d"
    if (end - text > width) {
        fail(1, "\nError : Interval Recording Column Width Overflow\n");
    }
    return std::string(text, end);
}

long count_intspec(const interval_state& st, std::span<const std::int16_t> block,
                   const binning_parameters& binning) {
    const layout l = layout_of(st, binning);
    const std::uint64_t b = st.curr_chan * size_of(l);
    const auto counted = [&](int i) -> std::uint64_t {
        if (l.type[i] == operand_gas) {
            return 0;
        }
        if (l.type[i] == operand_speed_summary) {
            return l.n[i] >= 2 ? l.n[i] - 2 : 0;
        }
        return l.n[i];
    };
    const std::uint64_t n0 = l.n[0];
    const std::uint64_t n1 = l.n[1];
    const std::uint64_t n2 = l.n[2];
    if (l.op0 == 0 && l.op1 == 0) {
        const long s0 = sum_of(block, b, counted(0));
        const long s1 = separate_list1(l) ? sum_of(block, b + n0, counted(1)) : 0;
        const long s2 = separate_list2(l) ? sum_of(block, b + n0 + n1, counted(2)) : 0;
        return std::max({s0, s1, s2});
    }
    if (l.op0 == 0 && l.op1 == 1) {
        const long s0 = sum_of(block, b, counted(0));
        const bool gas = l.type[1] == operand_gas || l.type[2] == operand_gas;
        const long table = gas ? 0 : sum_of(block, b + n0, n1 * n2);
        return std::max(s0, table);
    }
    if (l.op0 == 1 && l.op1 == 0) {
        const long table = sum_of(block, b, n0 * n1);
        const bool list2 = separate_list2(l) && l.type[2] != operand_gas;
        const long s2 = list2 ? sum_of(block, b + n0 * n1, n2) : 0;
        return std::max(table, s2);
    }
    if (l.op0 == 1 && l.op1 == 1) {
        return sum_of(block, b, n0 * n1 * n2);
    }
    return 0;
}

void print_part_block(const run_context& ctx, interval_state& st) {
    if (st.int1_pos <= 0) {
        return;
    }
    const bool int3 = ctx.settings.anl_format == format_int3;
    for (std::string& row : st.int1_lines) {
        if (int3 && !row.empty() && row.back() == ',') {
            row.pop_back();
        }
        row += '\n';
        ctx.out.write(row); // the site column may hold a line feed of its own
    }
    st.int1_lines.clear();
    st.int1_pos = 0;
}

void print_block(const run_context& ctx, interval_state& st, std::span<std::int16_t> block,
                 const binning_parameters& binning, const std::array<std::uint16_t, 8>& card_type,
                 int inputs) {
    if (st.no_chans == 0) {
        st.read_next_block = true;
        return;
    }
    const layout l = layout_of(st, binning);
    const bool count_only = count_only_cfg(st.ret_spec);
    if (st.curr_chan == 0 && is_axle_count(card_type, inputs)) {
        divide_axle_counts(ctx, st, l, block);
    }
    step_clock(ctx, st, count_only);

    const int format = ctx.settings.anl_format;
    if (st.consumer != nullptr) {
        st.consumer->channel(st, block, binning, merge_active(ctx.settings, binning));
    } else if (count_only) {
        if (format == format_weekly) {
            update_array(st.week, st.clock.retmins, value_at(block, st.curr_chan));
        } else {
            print_count_block(ctx, st, block);
        }
    } else if (format == format_weekly) {
        update_array(st.week, st.clock.retmins, count_intspec(st, block, binning));
    } else if (format == format_cordon) {
        cordon_total(ctx, st, count_intspec(st, block, binning));
    } else {
        print_binned_lines(ctx, st, binning, block, merge_active(ctx.settings, binning));
    }

    st.curr_chan = (st.curr_chan + 1) % st.no_chans;
    st.read_next_block = st.curr_chan == 0;
}

} // namespace tallycnv
