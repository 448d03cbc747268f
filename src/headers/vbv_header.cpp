#include "headers/vbv_header.h"

#include <string>

#include "datafile/vocabulary.h"
#include "headers/header_lines.h"

namespace tallycnv {

namespace {

// Column tails of the vehicle listing by sensor configuration.
const char* osp_tail(int config) {
    switch (config) {
    case 0:
        return "    CS CH";
    case 1:
        return " AX CS WBTOT W1-2 W2-3 W3-4 W4-5 W5-6 W6-7 W7-8 W8-9";
    default:
        return " AX CS WBTOT W1-2 W2-3 W3-4 W4-5 W5-6 W6-7 W7-8 W8-9"
               " GWTOT  AWT1  AWT2  AWT3  AWT4  AWT5  AWT6  AWT7  AWT8  AWT9";
    }
}

void print_weigh_calibration(const run_context& ctx, const k479_defn& header, bool csv) {
    report_sink& out = ctx.out;
    out.write(csv ? "81,\"WTCAL\"" : "* WTCAL = ");
    for (int i = 0; i < 16; ++i) {
        const int value = header.weight_calibration[i];
        if (csv) {
            out.printf(",%d", value);
        } else {
            out.printf("%4d ", value);
        }
    }
    out.put('\n');

    const char* state = header.weight_autocal != 0 ? "ON" : "OFF";
    // Single-precision product, truncated toward zero.
    const float weight =
        static_cast<float>(header.autocal_weight) * factor_at(weight_conv, ctx.settings.k479.units);
    const int count = header.autocal_count;
    if (csv) {
        out.printf("82,\"WTAUTCAL\",\"%s\",%d,%d%s", state, count, static_cast<int>(weight), "\n");
    } else {
        out.printf("* WTAUTCAL %s %d %d%s", state, count, static_cast<int>(weight), "\n");
    }
}

} // namespace

void print_vbv_header(const run_context& ctx, const k479_defn& header) {
    const int print_format = ctx.settings.print_format;
    const bool csv = print_format == 2;

    print_identification(ctx, header, csv, "VBV-" + std::to_string(print_format));
    print_units_line(ctx, csv);
    print_prunits_line(ctx, csv);
    print_class_line(ctx, header, csv);
    if (header.vbv_filter.operand != 13) {
        fprintf_filter(ctx, csv ? "61,\"VBVFILTER" : "* VBVFILTER", header.vbv_filter, csv);
    }
    if (header.tte_filter.operand != 0) {
        fprintf_filter(ctx, csv ? "62,\"TTEFILTER" : "* TTEFILTER", header.tte_filter, csv);
    }
    if (config_type(header) == 2) {
        print_weigh_calibration(ctx, header, csv);
    }
    print_osp_header(ctx, header);
}

void print_osp_header(const run_context& ctx, const k479_defn& header) {
    report_sink& out = ctx.out;
    const std::string date_form = std::string(name_at(date_form_s, header.date_format));
    const char* tail = osp_tail(config_type(header));
    switch (ctx.settings.print_format) {
    case 1:
        if (ctx.settings.taxo) {
            out.printf("* SITE    HEAD   %s HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH", date_form.c_str());
        } else {
            out.printf("* HEAD %s HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH", date_form.c_str());
        }
        out.printf("%s\n", tail);
        break;
    case 2:
        out.printf("39,\"HEAD %s HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH", date_form.c_str());
        out.printf("%s\"\n", tail);
        break;
    case 3:
        out.write("* HEAD ------------------------------------------------------------------------\n");
        break;
    case 4: {
        const unsigned units = ctx.settings.k479.print_units;
        const bool metric = units == 0 || units == 1 || units == 6;
        out.printf("* HEAD   L GP SPD AX CL LEGAL    %s\n", metric
                                                                ? "MTRS.3...5...7....10........15........20"
                                                                : "FEET....20...30...40........60........80");
        break;
    }
    default:
        break;
    }
}

} // namespace tallycnv
