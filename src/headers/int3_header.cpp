#include "headers/int3_header.h"

#include <string>

#include "headers/bin_lines.h"
#include "headers/header_lines.h"

namespace tallycnv {

namespace {

void print_int3_headings(const run_context& ctx, const k479_defn& header, const bin_counts& bins) {
    report_sink& out = ctx.out;
    const run_settings& settings = ctx.settings;
    const DataSpecificationType dspec = header.binning.data_spec;
    if (dspec.operands[0] == 0) {
        if (count_only_cfg(dspec)) {
            // Without a site column the count rows start with the date.
            print_count_header(ctx, settings.taxo ? "39,\"SITE     HEAD HHMM C" : "39,\"HEAD HHMM C",
                               settings.col_width);
        }
        return;
    }
    const char* h1 = settings.taxo ? "39,\"SITE     HEAD HHMM C " : "39,\"HEAD HHMM C ";
    const char* h3 = settings.taxo ? "39,\"SITE     HEAD HHMM C      " : "39,\"HEAD HHMM C      ";
    const std::string tag2(operand_tag(dspec.operands[2]));
    const std::string tag1(operand_tag(dspec.operands[1]));
    auto prefix = [&] {
        if (dspec.operators[1] == 1) {
            out.printf("%2s", tag2.c_str());
        } else {
            out.write("  ");
        }
    };

    out.write(h1);
    prefix();
    if (dspec.operators[0] == 1) {
        out.printf(" %2s", tag1.c_str());
    } else {
        out.write("   ");
    }
    print_bin_columns(out, dspec.operands[0], bins.prnbins[0]);
    out.write("\"\n");

    if (header.binning.spec_count <= 1 && dspec.operands[0] != 10) {
        return;
    }
    if (dspec.operators[0] == 0) {
        out.write(h1);
        prefix();
        out.write("   ");
        print_bin_columns(out, dspec.operands[1], bins.prnbins[1]);
        out.write("\"\n");
    }
    if (dspec.operators[1] == 0 && header.binning.spec_count == 3) {
        out.write(h3);
        print_bin_columns(out, dspec.operands[2], bins.prnbins[2]);
        out.write("\"\n");
    }
}

} // namespace

void print_interval_3_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins) {
    report_sink& out = ctx.out;
    print_identification(ctx, header, true, "INT-3");
    print_units_line(ctx, true);
    print_prunits_line(ctx, true);
    if (is_axle_count(card_types(header), input_count(header))) {
        out.printf("45,\"AXFACTOR\",%2.3f%s", static_cast<double>(ctx.settings.k479.axle_factor), "\n");
    }
    print_interval_timing(out, header, true);
    out.write("41,\"CHANNELS\",");
    print_channel_asign(ctx, header);
    print_intspec(ctx, header, true);
    const DataSpecificationType dspec = header.binning.data_spec;
    for (const std::uint16_t operand : dspec.operands) {
        if (operand != 0) {
            print_bins_int3(ctx, operand, header);
        }
    }
    if (header.interval_filter.operand != 13) {
        fprintf_filter(ctx, "64,\"INTFILTER", header.interval_filter, true);
    }
    print_int3_headings(ctx, header, bins);
}

} // namespace tallycnv
