// The study's run: the survey from the header, the figures from the data area, then the writer.
#include "study/study_run.h"

#include <string>

#include "headers/header_lines.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

// A header text without the blanks that pad it.
std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace

study make_study(const run_context& ctx, const k479_defn& header) {
    study s;
    s.units.imperial = ctx.settings.k479.units == 1;
    if (s.units.imperial) {
        s.units.speed = "mph";
        s.units.length = "ft";
        s.units.weight = "lb";
        s.units.weight_bin = "kip";
        s.units.length_bin_width = 3;
        s.units.weight_bin_width = 2000;
    }
    s.speed_limit = ctx.settings.speed_limit;
    s.keep_day_slots = ctx.settings.warrants.asked;
    study_survey& survey = s.survey;
    survey.interval_file = header.type == 'm';
    survey.site = trimmed(field_text(header.site));
    survey.location = trimmed(field_text(header.location));
    survey.instrument = "K" + trimmed(field_text(header.model));
    const std::string serial = trimmed(field_text(header.serial_number));
    if (!serial.empty()) {
        survey.instrument += " serial " + serial;
    }
    survey.class_scheme = class_scheme_name(header, ctx.settings.merge_cars, ctx.lang);
    const start_rec_t& start = header.start_rec;
    const stop_rec_t& stop = header.stop_rec;
    survey.start = instant_of(start.rec_start_year, start.rec_start_month, start.rec_start_day,
                              start.rec_start_hour, start.rec_start_minute, start.rec_start_second);
    survey.stop = instant_of(stop.rec_stop_year, stop.rec_stop_month, stop.rec_stop_day, stop.rec_stop_hour,
                             stop.rec_stop_minute, stop.rec_stop_second);
    if (survey.interval_file) {
        survey.interval_minutes = header.interval;
        survey.peak_interval_minutes = header.peak.peak_interval;
        survey.channels = header.binning.no_chans;
        survey.count_only = count_only_cfg(header.binning.data_spec);
    }
    return s;
}

void output_study(const run_context& ctx, byte_stream& input, const k479_defn& header) {
    study s = make_study(ctx, header);
    if (header.type == 'V') {
        compute_vehicle_study(ctx, input, header, s);
    } else {
        compute_interval_study(ctx, input, header, s);
    }
    if (ctx.settings.gap_study.asked && !s.gap_study) {
        s.gap_study.emplace().vehicle_file = false; // an interval file holds no gaps
    }
    if (ctx.settings.warrants.asked) {
        s.warrants = judge_study_warrants(ctx, s.units.imperial);
    }
    write_study(ctx, s);
}

void study_header_only(const run_context& ctx, const k479_defn& header) {
    study s = make_study(ctx, header);
    s.header_only = true;
    write_study(ctx, s);
}

} // namespace tallycnv
