#include "interval/interval_csv.h"

#include <algorithm>
#include <string_view>

#include "datafile/vocabulary.h"
#include "interval/block_printer.h"
#include "interval/interval_state.h"
#include "io/csv_format.h"
#include "io/latin1.h"
#include "vbv/vehicle_csv.h"

namespace tallycnv {

bool last_bin_closed(const bin_info& bins) {
    constexpr std::size_t boundaries = sizeof bins.threshold / sizeof bins.threshold[0];
    return bins.count >= 1 && bins.count < boundaries &&
           bins.threshold[bins.count] > bins.threshold[bins.count - 1];
}

namespace {

// The row before the bins: the site quoted (42 bytes), the end (at most 22),
// the minutes, the peak flag, the channel (10 each at most) and the heading
// quoted (12), their line feeds as CR LF at most doubling them; then three bin
// labels of at most 96 bytes quoted, the count and the line end.
constexpr std::size_t max_prefix_size = 256;
constexpr std::size_t max_row_size = max_prefix_size + 3 * (2 * 96 + 3) + 16;

enum class bound_unit { speed, length, weight, time, plain };

// A boundary in the units of the export: km/h or mph (whole, rounded as the
// bin lines of the header round them), metres or feet, kilograms or pounds,
// seconds, or a plain number.
char* put_bound(char* p, std::uint16_t boundary, bound_unit unit, bool imperial) {
    switch (unit) {
    case bound_unit::speed:
        if (imperial) {
            const float mph = static_cast<float>(boundary) * speed_conv[1];
            return put_int(p, static_cast<std::uint32_t>(static_cast<double>(mph) + 0.5));
        }
        return put_int(p, boundary);
    case bound_unit::length:
        return put_csv_length(p, boundary, imperial);
    case bound_unit::weight:
        return put_csv_weight(p, boundary, imperial);
    case bound_unit::time:
        return put_csv_scaled(p, boundary, 1);
    case bound_unit::plain:
        break;
    }
    return put_int(p, boundary);
}

// "NAME lo-hi" for a bin between two boundaries (the last one too when the
// header gives its upper edge), "NAME >lo" for an open last bin; a bin past
// the fifteen boundaries a header holds is numbered instead.
std::string bounded_label(std::string_view name, const bin_info& bins, std::uint64_t bin, bound_unit unit,
                          bool imperial) {
    char text[96 + report_sink::slack]; // the formatters' scratch bytes after the label
    char* p = put_text(text, name);
    *p++ = ' ';
    constexpr std::uint64_t boundaries = sizeof bins.threshold / sizeof bins.threshold[0];
    if (bin >= boundaries) {
        p = put_int(p, bin + 1);
    } else if ((bin + 1 < bins.count || (bin + 1 == bins.count && last_bin_closed(bins))) &&
               bin + 1 < boundaries) {
        p = put_bound(p, bins.threshold[bin], unit, imperial);
        *p++ = '-';
        p = put_bound(p, bins.threshold[bin + 1], unit, imperial);
    } else {
        *p++ = '>';
        p = put_bound(p, bins.threshold[bin], unit, imperial);
    }
    return {text, p};
}

std::string numbered_label(std::string_view name, std::uint64_t number) {
    return std::string(name) + ' ' + std::to_string(number);
}

// The operands binned between boundaries, by operand code: their name, bin
// definition and unit (no name: the operand's bins are labelled otherwise).
struct bounded_operand {
    std::string_view name;
    bin_info binning_parameters::*bins = nullptr;
    bound_unit unit = bound_unit::plain;
};
const std::array<bounded_operand, 13> bounded_operands = {{
    {},
    {"SPEED", &binning_parameters::speed_bins, bound_unit::speed},
    {"GAP", &binning_parameters::time_bins, bound_unit::time},
    {"HEADWAY", &binning_parameters::time_bins, bound_unit::time},
    {"LENGTH", &binning_parameters::length_bins, bound_unit::length},
    {"GROSS WEIGHT", &binning_parameters::weight_bins, bound_unit::weight},
    {"AXLE WEIGHT", &binning_parameters::weight_bins, bound_unit::weight},
    {},
    {"AXLES", &binning_parameters::axle_bins, bound_unit::plain},
    {},
    {},
    {"WHEELBASE", &binning_parameters::length_bins, bound_unit::length},
    {"SPEED", &binning_parameters::speed_bins, bound_unit::speed}, // then two summary values
}};

std::string csv_text(std::string_view text) {
    std::string field(2 * text.size() + 2, '\0');
    field.resize(static_cast<std::size_t>(put_csv_text(field.data(), text) - field.data()));
    return field;
}

// The interval's end: 24:00 is 00:00 of the next day.
char* put_interval_end(char* p, const interval_clock& clock) {
    start_rec_t date = clock.retdate;
    std::uint32_t minutes = clock.retmins;
    if (minutes >= 1440) {
        minutes -= 1440;
        next_day(date);
    }
    return put_csv_date_time(p, date.rec_start_year, date.rec_start_month, date.rec_start_day, minutes / 60,
                             minutes % 60);
}

} // namespace

std::string bin_label(unsigned type, std::uint64_t bin, const binning_parameters& b, bool imperial) {
    constexpr std::array<std::string_view, 3> gas = {"GAS CO(AVE)", "GAS CO(PK)", "GAS TEMP"};
    switch (type) {
    case 0:
        return "COUNT";
    case 7:
        return numbered_label("CLASS", bin + 1);
    case 9:
        return numbered_label("DIRECTION", bin + 1);
    case 10:
        return std::string(name_at(gas, bin));
    case 12:
        if (bin >= b.speed_bins.count) {
            return numbered_label("SPEED SUMMARY", bin - b.speed_bins.count + 1);
        }
        break;
    default:
        break;
    }
    if (type >= bounded_operands.size()) {
        return numbered_label("OPERAND " + std::to_string(type), bin + 1);
    }
    const bounded_operand& operand = bounded_operands[type];
    return bounded_label(operand.name, b.*operand.bins, bin, operand.unit, imperial);
}

interval_csv make_interval_csv(const run_settings& settings, const k479_defn& header,
                               const std::array<std::uint32_t, 3>& printed) {
    interval_csv table;
    table.site = csv_text(utf8_from_latin1(field_text(header.site)));
    for (std::size_t c = 0; c < table.headings.size(); ++c) {
        table.headings[c] = csv_text(utf8_from_latin1(field_text(header.headings[c])));
    }
    if (count_only_cfg(header.binning.data_spec)) {
        return table;
    }
    const bool imperial = settings.k479.units == 1;
    for (std::size_t list = 0; list < 3; ++list) {
        const unsigned type = header.binning.data_spec.operands[list];
        for (std::uint64_t bin = 0; bin < printed[list]; ++bin) {
            table.bin_labels[list].push_back(csv_text(bin_label(type, bin, header.binning, imperial)));
        }
    }
    return table;
}

void print_interval_csv_header(const run_context& ctx) {
    ctx.out.write("site,end,minutes,peak,channel,heading,bin_1,bin_2,bin_3,count\n");
}

void print_interval_csv(const run_context& ctx, const interval_csv& table, const interval_state& st,
                        std::span<const std::int16_t> block, const binning_parameters& binning, bool merge) {
    const bool peak = st.print_peak != 0;
    const std::uint32_t minutes = peak ? st.clock.retr_peak.peak_interval : st.clock.recintvl;
    std::string_view heading;
    if (st.curr_chan < table.headings.size()) {
        heading = table.headings[st.curr_chan];
    }

    // Everything before the bins is the same for every row of the channel.
    char prefix[max_prefix_size + report_sink::slack]; // the formatters' scratch bytes after the prefix
    char* p = put_text(prefix, table.site);
    *p++ = ',';
    p = put_interval_end(p, st.clock);
    *p++ = ',';
    p = put_int(p, minutes);
    *p++ = ',';
    *p++ = peak ? '1' : '0';
    *p++ = ',';
    p = put_int(p, st.curr_chan + 1);
    *p++ = ',';
    p = put_csv_field(p, heading);
    *p++ = ',';
    const report_text head = make_report_text(std::string_view(prefix, static_cast<std::size_t>(p - prefix)));

    const auto write_row = [&](const std::array<std::string_view, 3>& labels, int value) {
        char* q = ctx.out.put_lines(ctx.out.reserve(max_row_size), head);
        for (const std::string_view label : labels) {
            q = put_csv_field(q, label);
            *q++ = ',';
        }
        ctx.out.end_line(put_int(q, value));
    };

    if (count_only_cfg(st.ret_spec)) {
        write_row({}, st.curr_chan < block.size() ? block[st.curr_chan] : 0);
        return;
    }
    const auto label = [&](const run_axis& axis, std::uint64_t bin) -> std::string_view {
        const std::vector<std::string>& labels = table.bin_labels[static_cast<std::size_t>(axis.list)];
        return bin < labels.size() ? labels[bin] : std::string_view();
    };
    for_each_binned_run(st, binning, [&](const binned_run& run) {
        std::array<std::string_view, 3> labels{};
        for (const run_axis& axis : run.fixed) {
            if (axis.list >= 0) {
                labels[static_cast<std::size_t>(axis.list)] = label(axis, axis.bin);
            }
        }
        for (std::uint64_t i = 0; i < run.count; ++i) {
            labels[static_cast<std::size_t>(run.along.list)] = label(run.along, i);
            write_row(labels, run_value(block, run, i, merge));
        }
    });
}

} // namespace tallycnv
