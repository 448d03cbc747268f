#include "headers/bin_lines.h"

#include <algorithm>
#include <cstdint>

#include "datafile/vocabulary.h"
#include "headers/header_lines.h"

namespace tallycnv {

namespace {

// A bin record holds fifteen boundaries; a larger count prints the fifteen that exist.
int last_boundary(const bin_info& bins) {
    return std::min<int>(bins.count, 14);
}

unsigned long threshold_value(std::uint16_t boundary, float factor) {
    const float converted = static_cast<float>(boundary) * factor;
    return static_cast<std::uint32_t>(static_cast<double>(converted) + 0.5);
}

double time_value(std::uint16_t boundary, float factor) {
    const float converted = static_cast<float>(boundary) * factor;
    return static_cast<double>(converted) / 10.0;
}

enum class bin_line { none, thresholds, times, class_line, gas };

struct operand_line {
    bin_line kind = bin_line::none;
    const char* star_title = "";
    const char* coded_title = "";
    bin_info bins{};
    float factor = 1.0F;
};

operand_line line_for(unsigned operand, const k479_defn& header, unsigned units) {
    const binning_parameters& b = header.binning;
    switch (operand) {
    case 1:
    case 12:
        return {bin_line::thresholds, "* SPDBINS", "53,\"SPDBINS\"", b.speed_bins,
                factor_at(speed_conv, units)};
    case 2:
    case 3:
        return {bin_line::times, "* TIMEBINS", "54,\"TIMEBINS\"", b.time_bins, factor_at(none_conv, units)};
    case 4:
    case 11:
        return {bin_line::thresholds, "* LENBINS", "52,\"LENBINS\"", b.length_bins,
                factor_at(length_conv, units)};
    case 5:
    case 6:
        return {bin_line::thresholds, "* WTBINS", "55,\"WTBINS\"", b.weight_bins,
                factor_at(weight_conv, units)};
    case 7:
        return {bin_line::class_line};
    case 8:
        // Axle counts have no unit.
        return {bin_line::thresholds, "* ACTBINS", "50,\"ACTBINS\"", b.axle_bins, speed_conv[0]};
    case 10:
        return {bin_line::gas};
    default:
        return {};
    }
}

void print_operand_line(const run_context& ctx, unsigned operand, const k479_defn& header, bool csv) {
    const operand_line line = line_for(operand, header, ctx.settings.k479.units);
    report_sink& out = ctx.out;
    switch (line.kind) {
    case bin_line::none:
        return;
    case bin_line::thresholds:
        if (csv) {
            print_thresholds_int3(out, line.coded_title, line.bins, line.factor);
        } else {
            print_thresholds(out, line.star_title, line.bins, line.factor);
        }
        break;
    case bin_line::times:
        if (csv) {
            print_timethrs_int3(out, line.coded_title, line.bins, line.factor);
        } else {
            print_timethrs(out, line.star_title, line.bins, line.factor);
        }
        break;
    case bin_line::class_line:
        print_class_line(ctx, header, csv);
        return;
    case bin_line::gas:
        out.write(csv ? "59,\"GAS\",\"CO(AVE)\",\"CO(PK)\",\"TEMP\"" : "* GAS  CO(AVE) CO(PK) TEMP");
        break;
    }
    out.put('\n');
}

} // namespace

void print_thresholds(report_sink& out, std::string_view title, bin_info bins, float factor) {
    out.write(title);
    out.write(" =");
    for (int i = 0; i <= last_boundary(bins); ++i) {
        out.printf(" %lu", threshold_value(bins.threshold[i], factor));
    }
}

void print_timethrs(report_sink& out, std::string_view title, bin_info bins, float factor) {
    out.write(title);
    out.write(" =");
    for (int i = 0; i <= last_boundary(bins); ++i) {
        out.printf(" %.1f", time_value(bins.threshold[i], factor));
    }
}

void print_thresholds_int3(report_sink& out, std::string_view title, bin_info bins, float factor) {
    out.write(title);
    out.write(",");
    const int last = last_boundary(bins);
    for (int i = 0; i <= last; ++i) {
        out.printf("%lu%s", threshold_value(bins.threshold[i], factor), i < last ? "," : "");
    }
}

void print_timethrs_int3(report_sink& out, std::string_view title, bin_info bins, float factor) {
    out.write(title);
    out.write(",");
    const int last = last_boundary(bins);
    for (int i = 0; i <= last; ++i) {
        out.printf("%.1f%s", time_value(bins.threshold[i], factor), i < last ? "," : "");
    }
}

void print_bins(const run_context& ctx, unsigned operand, const k479_defn& header) {
    print_operand_line(ctx, operand, header, false);
}

void print_bins_int3(const run_context& ctx, unsigned operand, const k479_defn& header) {
    if (count_only_cfg(header.binning.data_spec)) {
        return;
    }
    print_operand_line(ctx, operand, header, true);
}

} // namespace tallycnv
