#include "headers/interval_header.h"

#include <algorithm>
#include <string>

#include "io/fatal.h"
#include "datafile/vocabulary.h"
#include "headers/bin_lines.h"
#include "headers/cordon_header.h"
#include "headers/header_lines.h"
#include "headers/int3_header.h"

namespace tallycnv {

namespace {

// The binning definition holds three operands; a larger count names those three.
int operand_count(const k479_defn& header) {
    return std::min<int>(header.binning.spec_count, 3);
}

void print_binned_headings(const run_context& ctx, const k479_defn& header, const bin_counts& bins) {
    report_sink& out = ctx.out;
    const DataSpecificationType dspec = header.binning.data_spec;
    const char* h1 = ctx.settings.taxo ? "* SITE    HEAD HHMM C " : "* HEAD HHMM C ";
    const char* h3 = ctx.settings.taxo ? "* SITE    HEAD HHMM C      " : "* HEAD HHMM C      ";
    const std::string tag2(operand_tag(dspec.operands[2]));
    const std::string tag1(operand_tag(dspec.operands[1]));

    out.write(h1);
    if (dspec.operators[0] == 1) {
        if (dspec.operators[1] == 1) {
            out.printf("%2s", tag2.c_str());
        } else {
            out.write("  ");
        }
        out.printf(" %2s", tag1.c_str());
    } else {
        out.write("     ");
    }
    print_bin_columns(out, dspec.operands[0], bins.prnbins[0]);
    out.put('\n');

    if (dspec.operands[1] == 0 && dspec.operands[0] != 10) {
        return;
    }
    if (dspec.operators[0] == 0) {
        out.write(h1);
        out.write("   ");
        if (dspec.operators[1] == 1) {
            out.printf("%2s", tag2.c_str());
        } else {
            out.write("  ");
        }
        print_bin_columns(out, dspec.operands[1], bins.prnbins[1]);
        out.put('\n');
    }
    if (dspec.operators[1] == 0 && header.binning.spec_count == 3) {
        out.write(h3);
        print_bin_columns(out, dspec.operands[2], bins.prnbins[2]);
        out.put('\n');
    }
}

} // namespace

std::string_view operand_tag(unsigned operand) {
    return name_at(short_spec_operands, operand);
}

void print_bin_columns(report_sink& out, unsigned operand, std::uint32_t count) {
    const std::string tag(operand_tag(operand));
    for (std::uint32_t j = 1; j <= count; ++j) {
        out.printf(" %s%2u", tag.c_str(), j);
    }
}

void print_interval_timing(report_sink& out, const k479_defn& header, bool csv) {
    const peak_info peak = header.peak;
    out.printf(csv ? "40,\"INTERVAL\",%d %s" : "* INTERVAL = %d %s", header.interval, "\n");
    out.write(csv ? "43,\"PEAKTIME\"" : "* PEAKTIME =");
    for (const peak_time& t : peak.peak_times) {
        out.printf(csv ? ",%02d,%02d" : " %02d:%02d", t.hour, t.minute);
    }
    out.put('\n');
    out.printf(csv ? "43,\"PEAKINT\",%d %s" : "* PEAKINT = %d %s", peak.peak_interval, "\n");
}

void print_intspec(const run_context& ctx, const k479_defn& header, bool csv) {
    report_sink& out = ctx.out;
    const DataSpecificationType dspec = header.binning.data_spec;
    out.write(csv ? "42,\"INTSPEC\"" : "* INTSPEC =");
    for (int i = 0; i < operand_count(header); ++i) {
        if (i > 0) {
            const std::string op(name_at(spec_operators, dspec.operators[i - 1]));
            out.printf(csv ? ",\"%s\"" : " %s", op.c_str());
        }
        const std::string name(name_at(ctx.lang.spec_operands, dspec.operands[i]));
        out.printf(csv ? ",\"%s\"" : " %s", name.c_str());
    }
    out.put('\n');
}

void print_channel_asign(const run_context& ctx, const k479_defn& header) {
    const int anl_format = ctx.settings.anl_format;
    const int print_format = ctx.settings.print_format;
    const bool comma = anl_format == 3 || (print_format == 2 && anl_format != 2);
    const bool drop_last = anl_format == 3 || print_format == 2;
    std::string line;
    unsigned previous = 0;
    for (int i = 0; i < 8; ++i) {
        const unsigned channel = header.binning.channel_assignment[i];
        if (channel < previous) {
            break;
        }
        line += std::to_string(channel);
        line += comma ? ',' : ' ';
        previous = channel;
    }
    if (drop_last && !line.empty()) {
        line.pop_back();
    }
    line += '\n';
    ctx.out.write(line);
}

void print_count_header(const run_context& ctx, std::string_view head, int width) {
    std::string line(head);
    for (int c = 0; c <= 11; ++c) {
        line += ' ';
        line.append(static_cast<std::size_t>(std::max(0, width - (c <= 9 ? 2 : 3))), '.');
        line += std::to_string(c);
    }
    if (ctx.settings.anl_format == 3) {
        line += '"';
    }
    line += '\n';
    ctx.out.write(line);
}

void print_interval_1_and_2_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins) {
    const run_settings& settings = ctx.settings;
    report_sink& out = ctx.out;
    const DataSpecificationType dspec = header.binning.data_spec;
    const bool count_only = count_only_cfg(dspec);
    if (!count_only && settings.anl_format == 1) {
        fail(1, "\nError : Can't display non-volumetric file in INT-1 format\n");
    }
    if (count_only && settings.anl_format == 2) {
        fail(1, "\nError : Can't display volumetric file in INT-2 format\n");
    }

    const char* format_name = settings.anl_format == 8 ? "WEEKLY SUMMARY" : count_only ? "INT-1" : "INT-2";
    print_identification(ctx, header, false, format_name);
    print_units_line(ctx, false);
    if (!count_only) {
        print_prunits_line(ctx, false);
    }
    if (is_axle_count(card_types(header), input_count(header))) {
        out.printf("* AXFACTOR = %4.2f%s", static_cast<double>(settings.k479.axle_factor), "\n");
    }
    print_interval_timing(out, header, false);
    out.write("* CHANNELS = ");
    print_channel_asign(ctx, header);
    print_intspec(ctx, header, false);
    if (!count_only) {
        for (const std::uint16_t operand : dspec.operands) {
            if (operand != 0) {
                print_bins(ctx, operand, header);
            }
        }
    }
    if (header.interval_filter.operand != 13) {
        fprintf_filter(ctx, "* INTFILTER", header.interval_filter, false);
    }
    if (!count_only) {
        print_binned_headings(ctx, header, bins);
    } else if (settings.anl_format != 8) {
        print_count_header(ctx, settings.taxo ? "* SITE    HEAD HHMM C" : "* HEAD HHMM C",
                           settings.col_width);
    }
}

void print_interval_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins) {
    const int anl_format = ctx.settings.anl_format;
    if (anl_format == 8 && header.interval > 60) {
        fail(1, "\nError : File has an invalid Interval for weekly format\n");
    }
    switch (anl_format) {
    case 0:
    case 1:
    case 2:
    case 8:
        print_interval_1_and_2_header(ctx, header, bins);
        break;
    case 3:
        print_interval_3_header(ctx, header, bins);
        break;
    case 4:
        print_interval_header_cordon(ctx, header);
        break;
    default:
        break;
    }
}

} // namespace tallycnv
