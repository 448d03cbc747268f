// The study's run: the survey from the header, the figures from the data area, then the writer.
#include "study/study_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// The day the study is made: SOURCE_DATE_EPOCH (seconds since 1970, the
// reproducible-builds convention) when it holds a number, else today (UTC).
std::string made_on() {
    std::int64_t seconds = static_cast<std::int64_t>(std::time(nullptr));
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
        char* end = nullptr;
        const long long value = std::strtoll(epoch, &end, 10);
        if (*end == '\0' && value >= 0 && value < 253402300800LL) {
            seconds = value;
        }
    }
    const study_date d = date_of_day(static_cast<long>(seconds / 86400));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
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
    s.made_by = std::string("tallycnv ") + version_number;
    s.made_on = made_on();
    s.quality.rules = ctx.settings.quality;
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
    for (const std::array<int, 3>& date : ctx.settings.year.exclude) {
        if (const std::optional<long> day = day_number(date[0], date[1], date[2])) {
            s.excluded_days.push_back(*day);
        }
    }
    std::sort(s.excluded_days.begin(), s.excluded_days.end());
    if (!survey.interval_file) {
        s.class_count = header.binning.num_classes;
    }
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
    fill_annual(s, ctx.settings);
    if (ctx.settings.gap_study.asked && !s.gap_study) {
        s.gap_study.emplace().vehicle_file = false; // an interval file holds no gaps
    }
    if (ctx.settings.warrants.asked) {
        s.warrants = judge_study_warrants(ctx, s.units.imperial);
    }
    write_study(ctx, s);
    // The word on standard error, for the study formats only: the flags table is itself that word.
    if (ctx.settings.anl_format != anl_format_flags) {
        const bool failed = s.quality.cut_short || s.quality.critical;
        ctx.out.set_notice(quality_notice(s, ctx.settings.sfn),
                           ctx.settings.quality.strict && failed ? judged_exit_code : 0);
    } else if (ctx.settings.quality.strict && (s.quality.cut_short || s.quality.critical)) {
        ctx.out.set_notice("", judged_exit_code);
    }
}

void study_header_only(const run_context& ctx, const k479_defn& header) {
    study s = make_study(ctx, header);
    s.header_only = true;
    write_study(ctx, s);
}

} // namespace tallycnv
