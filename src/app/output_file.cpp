#include "app/output_file.h"

#include <cstring>

#include "app/combine.h"
#include "control/control_file.h"
#include "interval/interval_driver.h"
#include "io/fatal.h"
#include "study/study_run.h"
#include "vbv/vbv_driver.h"

namespace tallycnv {

namespace {

// The header's site text without the blanks that pad it.
std::string site_text(const k479_defn& header) {
    std::string_view text = field_text(header.site);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

byte_stream open_source(const run_settings& settings) {
    std::optional<byte_stream> input = byte_stream::open(settings.sfn);
    if (!input) {
        fail(1, "\nError : File " + settings.sfn + " does not exist\n");
    }
    return std::move(*input);
}

// The header's first byte names the file's type. Only a data file of a known
// type gets a report: the destination is opened (an existing file replaced)
// here, so a run on a missing or foreign file leaves it as it was.
void open_report_for(const run_context& ctx, const k479_defn& header) {
    if (header.type != 'V' && header.type != 'm') {
        fail(2, "\nError : Invalid or corrupt input file\n");
    }
    ctx.out.open();
}

// The traffic study's formats: the study consumes the data in place of a listing.
bool study_format(const run_settings& settings) {
    const int format = settings.anl_format;
    return format == anl_format_study || format == anl_format_json || format == anl_format_html ||
           format == anl_format_flags || format == anl_format_factors;
}

} // namespace

void output_file(const run_context& ctx) {
    byte_stream input = open_source(ctx.settings);
    output_file(ctx, input);
}

void output_file(const run_context& ctx, byte_stream& input) {
    k479_defn header{};
    read_header_block(input, header);
    if (ctx.settings.quillon_mode) {
        update_quillon(header);
    }
    // Data-line printers take the date form and the site from the output record.
    run_settings file_settings = ctx.settings;
    file_settings.k479.date_format = header.date_format;
    std::memcpy(file_settings.k479.site, header.site, sizeof header.site);
    if (const station_row* station =
            station_of(ctx.settings.year.stations, site_text(header), ctx.settings.sfn)) {
        file_settings.year.factor_group = station->factor_group;
    }
    const run_context file_ctx{file_settings, ctx.lang, ctx.out};

    open_report_for(ctx, header);
    if (study_format(ctx.settings)) {
        output_study(file_ctx, input, header);
    } else if (header.type == 'V') {
        output_vbv_file(file_ctx, input, header);
    } else {
        output_interval_file(file_ctx, input, header);
    }
}

void out_header_only(const run_context& ctx) {
    byte_stream input = open_source(ctx.settings);
    out_header_only(ctx, input);
}

void out_header_only(const run_context& ctx, byte_stream& input) {
    k479_defn header{};
    read_header_block(input, header);
    open_report_for(ctx, header);
    if (study_format(ctx.settings)) {
        study_header_only(ctx, header);
    } else if (header.type == 'V') {
        vbv_header_only(ctx, header);
    } else {
        interval_header_only(ctx, header);
    }
}

void format_source(const run_context& ctx) {
    if (ctx.settings.hdr_only) {
        out_header_only(ctx);
    } else {
        output_file(ctx);
    }
}

fatal_error format_report(const run_settings& settings, const language_texts& lang, report_sink& out,
                          void (*driver)(const run_context&)) {
    try {
        driver(run_context{settings, lang, out});
    } catch (const fatal_error& error) {
        out.flush();
        return error;
    }
    if (!out.flush()) {
        return fatal_error{3, write_failure_message};
    }
    return fatal_error{out.notice_code(), out.notice()};
}

} // namespace tallycnv
