// The study as one JSON document (UTF-8): the survey, the volumes, the peak
// hours and every distribution, in all and by direction or channel. Texts
// from the file are decoded as Latin-1 and escaped, so the document is valid
// whatever bytes the file holds.
#include <cmath>
#include <cstdio>
#include <string>

#include "study/study.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

// Builds the document: values and keys in order, commas where they belong.
class json_writer {
  public:
    void begin_object() { open('{', false); }
    void end_object() { close('}'); }
    void begin_array() { open('[', false); }
    void end_array() { close(']'); }
    // An object or array written on one line, with everything in it.
    void begin_compact_object() { open('{', true); }
    void begin_row() { open('[', true); }

    json_writer& key(std::string_view name) {
        separate();
        string(name);
        text_ += ": ";
        after_key_ = true;
        return *this;
    }

    void value(std::string_view utf8) {
        item();
        string(utf8);
    }
    void value(const char* utf8) { value(std::string_view(utf8)); }
    void value(bool b) {
        item();
        text_ += b ? "true" : "false";
    }
    void value(std::int64_t n) {
        item();
        text_ += std::to_string(n);
    }
    void value(int n) { value(static_cast<std::int64_t>(n)); }
    void value(double x) {
        item();
        if (!std::isfinite(x)) {
            text_ += "null";
            return;
        }
        char number[32];
        std::snprintf(number, sizeof number, "%.10g", x);
        text_ += number;
    }
    template <typename T> void value(const std::optional<T>& v) {
        if (v) {
            value(*v);
        } else {
            null();
        }
    }
    void null() {
        item();
        text_ += "null";
    }

    // The document, ending in a line end.
    std::string finish() {
        text_ += '\n';
        return std::move(text_);
    }

  private:
    void open(char bracket, bool compact) {
        item();
        text_ += bracket;
        first_ = true;
        ++depth_;
        if (compact && compact_depth_ == 0) {
            compact_depth_ = depth_;
        }
    }
    void close(char bracket) {
        if (compact_depth_ == 0 && !first_) {
            text_ += '\n';
            --depth_;
            indent();
        } else {
            --depth_;
        }
        if (compact_depth_ > depth_) {
            compact_depth_ = 0;
        }
        text_ += bracket;
        first_ = false;
    }
    // Before a value: it follows its key, or takes its place in an array.
    void item() {
        if (after_key_) {
            after_key_ = false;
        } else if (depth_ > 0) {
            separate();
        }
    }
    // Before a member or an array element: a comma, then a new line (or a blank on a compact line).
    void separate() {
        if (compact_depth_ != 0) {
            text_ += first_ ? "" : ", ";
        } else {
            text_ += first_ ? "\n" : ",\n";
            indent();
        }
        first_ = false;
    }
    void indent() { text_.append(static_cast<std::size_t>(2 * depth_), ' '); }
    void string(std::string_view utf8) {
        text_ += '"';
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (byte < 0x20 || byte == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                text_ += escape;
            } else {
                text_ += c;
            }
        }
        text_ += '"';
    }

    std::string text_;
    int depth_ = 0;
    int compact_depth_ = 0; // the depth of the compact object or array being written; 0: none
    bool first_ = true;
    bool after_key_ = false;
};

std::string date_text(const study_date& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string instant_text(const study_instant& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02d", date_text(t.date).c_str(), t.hour, t.minute,
                  t.second);
    return text;
}

std::string minute_text(int minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 100, minutes % 60);
    return text;
}

constexpr std::array<const char*, 7> weekday_names = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

void write_instant(json_writer& j, const std::optional<study_instant>& t) {
    if (t) {
        j.value(instant_text(*t));
    } else {
        j.null();
    }
}

// {"key": count, ...}
void write_counts(json_writer& j, const std::vector<study_count>& counts) {
    j.begin_object();
    for (const study_count& c : counts) {
        j.key(utf8_from_latin1(c.key)).value(c.count);
    }
    j.end_object();
}

// [{"key": .., "count": .., "share": ..}, ...]
void write_count_list(json_writer& j, const std::vector<study_count>& counts, const char* key_name) {
    j.begin_array();
    for (const study_count& c : counts) {
        j.begin_compact_object();
        j.key(key_name).value(utf8_from_latin1(c.key));
        if (!c.name.empty()) {
            j.key("name").value(utf8_from_latin1(c.name));
        }
        j.key("count").value(c.count);
        j.key("share").value(c.share);
        j.end_object();
    }
    j.end_array();
}

void write_histogram(json_writer& j, const study_histogram& h, const std::string& unit) {
    j.begin_object();
    j.key("unit").value(unit);
    j.key("bin_width").value(h.width);
    j.key("first_lower").value(h.first_lower);
    j.key("open_last").value(h.open_last);
    j.key("total").value(h.total);
    j.key("counts").begin_row();
    for (const std::int64_t c : h.counts) {
        j.value(c);
    }
    j.end_array();
    j.end_object();
}

void write_profile(json_writer& j, const std::array<std::optional<double>, 24>& profile) {
    j.begin_row();
    for (const std::optional<double>& hour : profile) {
        j.value(hour);
    }
    j.end_array();
}

void write_peak(json_writer& j, const std::optional<study_peak>& peak, bool by_quarters) {
    if (!peak) {
        j.null();
        return;
    }
    j.begin_compact_object();
    j.key("start").value(minute_text(peak->start_minute));
    j.key("end").value(minute_text(peak->start_minute + 60));
    j.key("volume").value(peak->volume);
    if (by_quarters) {
        j.key("largest_quarter").value(peak->largest_part);
    } else {
        j.key("largest_interval").value(peak->largest_part);
        j.key("largest_interval_minutes").value(peak->largest_part_minutes);
        j.key("largest_interval_hourly_rate").value(peak->largest_part * 60 / peak->largest_part_minutes);
    }
    j.key("phf").value(peak->factor);
    j.end_object();
}

void write_peak_hours(json_writer& j, const study& s, const study_group& g) {
    if (s.peak_hours_omitted) {
        j.null();
        return;
    }
    j.begin_array();
    for (const study_peak_day& day : g.volume.peak_hours) {
        j.begin_object();
        if (day.date) {
            j.key("date").value(date_text(*day.date));
        } else {
            j.key("date").value("mean weekday");
        }
        j.key("am");
        write_peak(j, day.am, s.peak_by_quarters);
        j.key("pm");
        write_peak(j, day.pm, s.peak_by_quarters);
        j.key("day");
        write_peak(j, day.day, s.peak_by_quarters);
        j.end_object();
    }
    j.end_array();
}

// A share, or {"at_least", "at_most"} where binned speeds bound it.
void write_bounded_share(json_writer& j, const std::optional<double>& at_least,
                         const std::optional<double>& at_most) {
    if (!at_most) {
        j.value(at_least);
        return;
    }
    j.begin_compact_object();
    j.key("at_least").value(at_least);
    j.key("at_most").value(at_most);
    j.end_object();
}

void write_speed(json_writer& j, const study_speed& f, bool vehicles, const std::string& unit) {
    j.begin_object();
    j.key("count").value(f.count);
    j.key("mean").value(f.mean);
    if (!vehicles) {
        j.key("mean_is_lower_bound").value(f.mean_is_lower_bound);
    }
    const char* const names[] = {"p15", "p50", "p85", "p95"};
    for (std::size_t i = 0; i < f.percentiles.size(); ++i) {
        const study_percentile& p = f.percentiles[i];
        if (p.above) {
            j.key(names[i]).begin_compact_object();
            j.key("above").value(*p.above);
            j.end_object();
        } else {
            j.key(names[i]).value(p.value);
        }
    }
    if (!vehicles) {
        j.key("share_above_limit");
        write_bounded_share(j, f.share_above_limit, f.share_above_limit_most);
        j.key("share_above_limit_plus_10");
        write_bounded_share(j, f.share_above_limit_10, f.share_above_limit_10_most);
        j.end_object();
        return;
    }
    j.key("stddev").value(f.stddev);
    j.key("min").value(f.min);
    j.key("max").value(f.max);
    j.key("p85_free_flow").value(f.p85_free_flow);
    j.key("free_flow_count").value(f.free_flow_count);
    j.key("pace").begin_compact_object();
    j.key("from").value(f.pace_from);
    j.key("to").value(f.pace_to);
    j.key("count").value(f.pace_count);
    j.key("share").value(f.pace_share);
    j.end_object();
    j.key("share_above_limit").value(f.share_above_limit);
    j.key("share_above_limit_plus_10").value(f.share_above_limit_10);
    j.key("histogram");
    write_histogram(j, f.histogram, unit);
    j.end_object();
}

// The figures of one group: "all" at the top level, each direction or channel below.
void write_group(json_writer& j, const study& s, const study_group& g, bool top) {
    const bool vehicles = !s.survey.interval_file;
    j.key("volume").begin_object();
    j.key("total").value(g.volume.total);
    if (top) {
        const char* const by = vehicles ? "by_direction" : "by_channel";
        j.key(by).begin_object();
        for (std::size_t i = 1; i < s.groups.size(); ++i) {
            j.key(s.groups[i].key).value(s.groups[i].volume.total);
        }
        j.end_object();
        if (vehicles) {
            j.key("by_lane");
            write_counts(j, s.lanes);
            j.key("lane_names").begin_object();
            for (const study_count& lane : s.lanes) {
                if (!lane.name.empty()) {
                    j.key(lane.key).value(utf8_from_latin1(lane.name));
                }
            }
            j.end_object();
        }
        j.key("daily").begin_array();
        for (const study_day& day : s.daily) {
            j.begin_compact_object();
            j.key("date").value(date_text(day.date));
            j.key("weekday").value(weekday_names[static_cast<std::size_t>(day.date.weekday)]);
            j.key("total").value(day.total);
            j.key(by).begin_object();
            for (std::size_t i = 0; i < day.by_group.size() && i + 1 < s.groups.size(); ++i) {
                j.key(s.groups[i + 1].key).value(day.by_group[i]);
            }
            j.end_object();
            j.key("full_day").value(day.full_day);
            j.key("valid").value(day.valid);
            if (day.excluded_by_date) {
                j.key("excluded").value("excluded_date");
            }
            if (s.weigh_site) {
                j.key("esal").value(day.esal);
            }
            if (day.factored) {
                j.key("factored").value(*day.factored);
            }
            j.end_object();
        }
        j.end_array();
    }
    j.key("adt").value(g.volume.adt);
    j.key("adt_weekday").value(g.volume.adt_weekday);
    if (top && g.volume.aadt_estimate) {
        j.key("aadt_estimate").value(g.volume.aadt_estimate);
    }
    j.key("hourly_profile").begin_object();
    j.key("full_weekdays").value(g.volume.full_weekdays);
    j.key("full_weekend_days").value(g.volume.full_weekend_days);
    j.key("weekday");
    write_profile(j, g.volume.weekday_profile);
    j.key("weekend");
    write_profile(j, g.volume.weekend_profile);
    j.end_object();
    j.end_object();

    j.key("peak_hours");
    write_peak_hours(j, s, g);

    if (!vehicles) {
        j.key("bins").begin_array();
        for (const study_bin_list& list : g.bin_lists) {
            j.begin_object();
            j.key("list").value(list.list);
            j.key("operand").value(static_cast<int>(list.operand));
            j.key("name").value(list.name);
            j.key("unit").value(list.unit);
            j.key("totals").begin_array();
            for (std::size_t i = 0; i < list.labels.size(); ++i) {
                j.begin_compact_object();
                j.key("bin").value(list.labels[i]);
                j.key("count").value(list.totals[i]);
                j.end_object();
            }
            j.end_array();
            if (list.speed) {
                j.key("speed");
                write_speed(j, *list.speed, false, list.unit);
            }
            j.end_object();
        }
        j.end_array();
        return;
    }

    j.key("speed");
    write_speed(j, g.speed, true, s.units.speed);
    j.key("classes");
    write_count_list(j, g.classes, "class");
    j.key("axles");
    if (s.senses_axles) {
        write_count_list(j, g.axles, "axles");
    } else {
        j.null();
    }
    j.key("headways");
    write_histogram(j, g.headways, s.units.time);
    j.key("headway_under_2s_share").value(g.headway_under_2s_share);
    j.key("gaps");
    write_histogram(j, g.gaps, s.units.time);
    j.key("lengths");
    write_histogram(j, g.lengths, s.units.length);
    if (!s.weighs) {
        j.key("gross_weights").null();
        j.key("weight_by_class").null();
        j.key("esal").null();
        return;
    }
    j.key("gross_weights");
    write_histogram(j, g.gross_weights, s.units.weight);
    j.key("weight_by_class").begin_array();
    for (const study_class_weight& w : g.weight_by_class) {
        j.begin_compact_object();
        j.key("class").value(w.key);
        j.key("weighed").value(w.weighed);
        j.key("mean_gross_weight").value(w.mean_gross_weight);
        j.end_object();
    }
    j.end_array();
    j.key("esal").begin_object();
    j.key("total").value(g.esal);
    j.key("per_full_day").value(g.esal_per_full_day);
    j.key("by_class").begin_object();
    for (const study_class_weight& w : g.weight_by_class) {
        j.key(w.key).value(w.esal);
    }
    j.end_object();
    j.end_object();
}

// The judgement of the data: where they were cut short, the rules in force, what fired, the days left out.
void write_quality(json_writer& j, const study& s) {
    const study_quality& q = s.quality;
    j.key("quality").begin_object();
    j.key("cut_short");
    if (q.cut_short) {
        const study_cut_short& c = *q.cut_short;
        j.begin_object();
        j.key("at");
        write_instant(j, c.at);
        j.key("byte_offset").value(static_cast<std::int64_t>(c.byte_offset));
        j.key("header_byte_offset");
        if (c.promised_offset != 0) {
            j.value(static_cast<std::int64_t>(c.promised_offset));
        } else {
            j.null();
        }
        j.key(c.blocks ? "blocks" : "records").value(c.records);
        j.key(c.blocks ? "header_blocks" : "header_records");
        if (c.promised_records != 0) {
            j.value(c.promised_records);
        } else {
            j.null();
        }
        j.end_object();
    } else {
        j.null();
    }
    j.key("rules").begin_object();
    for (std::size_t i = 0; i < qc_rule_count; ++i) {
        j.key(qc_rules[i].name).begin_compact_object();
        j.key("level").value(qc_rules[i].critical ? "critical" : "caution");
        j.key("threshold").value(q.rules.threshold[i]);
        j.end_object();
    }
    j.end_object();
    j.key("flags").begin_array();
    for (const quality_flag& f : q.flags) {
        j.begin_compact_object();
        j.key("rule").value(rule_name(f.rule));
        j.key("level").value(rule_critical(f.rule) ? "critical" : "caution");
        j.key("date");
        if (f.date) {
            j.value(date_text(*f.date));
        } else {
            j.null();
        }
        j.key("direction");
        if (f.group.empty()) {
            j.null();
        } else {
            j.value(f.group);
        }
        j.key("from").value(minute_text(f.from_minute));
        j.key("to").value(minute_text(f.to_minute));
        j.key("value").value(f.value);
        j.key("threshold").value(f.threshold);
        j.end_object();
    }
    j.end_array();
    j.key("excluded_days").begin_row();
    for (const study_date& d : q.excluded_days) {
        j.value(date_text(d));
    }
    j.end_array();
    j.key("implausible_vehicles").value(q.implausible_vehicles);
    j.key("undated_vehicles").value(q.undated_vehicles);
    j.end_object();
}

void write_survey(json_writer& j, const study& s) {
    const study_survey& v = s.survey;
    j.key("survey").begin_object();
    j.key("file").value(v.interval_file ? "interval" : "vehicles");
    j.key("site").value(utf8_from_latin1(v.site));
    j.key("location").value(utf8_from_latin1(v.location));
    j.key("instrument").value(utf8_from_latin1(v.instrument));
    j.key("class_scheme").value(utf8_from_latin1(v.class_scheme));
    j.key("start");
    write_instant(j, v.start);
    j.key("stop");
    write_instant(j, v.stop);
    if (!s.header_only) {
        j.key("stop_at_last_record").value(v.stop_at_last_record);
        j.key("full_days").value(v.full_days);
        j.key(v.interval_file ? "count" : "vehicles").value(v.vehicles);
    }
    if (v.interval_file) {
        j.key("interval_minutes").value(v.interval_minutes);
        j.key("peak_interval_minutes").value(v.peak_interval_minutes);
        j.key("channels").value(v.channels);
        j.key("count_only").value(v.count_only);
    } else if (!s.header_only) {
        j.key("events").begin_object();
        for (const study_count& e : v.events) {
            j.key(e.key).value(e.count);
        }
        j.end_object();
    }
    j.end_object();
}

template <std::size_t N> void write_by_month(json_writer& j, const std::array<std::optional<double>, N>& v) {
    j.begin_compact_object();
    for (std::size_t i = 0; i < N; ++i) {
        j.key(std::to_string(i + 1)).value(v[i]);
    }
    j.end_object();
}

void write_by_weekday(json_writer& j, const std::array<std::optional<double>, 7>& v) {
    j.begin_compact_object();
    for (std::size_t d = 0; d < 7; ++d) {
        j.key(weekday_names[d]).value(v[d]);
    }
    j.end_object();
}

void write_month_weekday(json_writer& j, const std::array<std::array<std::optional<double>, 7>, 12>& v) {
    j.begin_object();
    for (std::size_t m = 0; m < 12; ++m) {
        j.key(std::to_string(m + 1));
        write_by_weekday(j, v[m]);
    }
    j.end_object();
}

// The year's figures: one object per calendar year the recording touches.
void write_annual(json_writer& j, const study& s) {
    j.key("annual").begin_array();
    for (const study_year& y : s.annual) {
        j.begin_object();
        j.key("year").value(y.year);
        j.key("valid_days").value(y.valid_days);
        j.key("excluded_days").value(y.excluded_days);
        j.key("aadt").value(y.aadt);
        j.key("aadt_missing_cells").value(y.aadt_missing_cells);
        j.key("adt_mean").value(y.adt_mean);
        j.key("aawdt").value(y.aawdt);
        j.key("madt");
        write_by_month(j, y.madt);
        j.key("madw");
        write_month_weekday(j, y.madw);
        j.key("aadw");
        write_by_weekday(j, y.aadw);
        j.key("k30").value(y.k30);
        j.key("k50").value(y.k50);
        j.key("k100").value(y.k100);
        j.key("dhv30").value(y.dhv30);
        j.key("d30").value(y.d30);
        j.key("factors").begin_object();
        j.key("monthly");
        write_by_month(j, y.monthly_factor);
        j.key("weekday");
        write_by_weekday(j, y.weekday_factor);
        j.key("month_weekday");
        write_month_weekday(j, y.month_weekday_factor);
        j.end_object();
        j.key("by_class").begin_object();
        for (const study_year_class& c : y.by_class) {
            j.key(c.key).value(c.aadt);
        }
        j.end_object();
        j.key("heavy_share").value(y.heavy_share);
        if (s.weigh_site) {
            j.key("esal").value(y.esal);
            j.key("esal_per_day").value(y.esal_per_day);
        }
        j.end_object();
    }
    j.end_array();
}

void write_hours(json_writer& j, const std::vector<int>& hours) {
    j.begin_row();
    for (const int minute : hours) {
        j.value(minute_text(minute));
    }
    j.end_array();
}

// The analysed days of --warrants; hours name the start of the hour.
void write_warrants(json_writer& j, const warrant_report& r) {
    j.key("warrants").begin_array();
    for (const warrant_day_report& d : r.days) {
        const warrant_1_result& w1 = d.result.warrant_1;
        j.begin_object();
        j.key("day").value(d.day);
        j.key("warrant_1").begin_object();
        j.key("percent").value(w1.percent);
        j.key("major_speed").value(r.major_speed);
        j.key("speed_source").value(r.speed_given ? "given" : "p85");
        for (const auto& [name, c] :
             {std::pair{"condition_a", &w1.condition_a}, {"condition_b", &w1.condition_b}}) {
            j.key(name).begin_compact_object();
            j.key("hours");
            write_hours(j, c->hours);
            j.key("met").value(c->met);
            j.end_object();
        }
        j.key("combination").begin_object();
        j.key("percent").value(w1.combination_percent);
        j.key("condition_a_hours");
        write_hours(j, w1.combination_a_hours);
        j.key("condition_b_hours");
        write_hours(j, w1.combination_b_hours);
        j.key("volumes_satisfied").value(w1.combination_volumes_satisfied);
        j.end_object();
        j.key("met").value(w1.met);
        j.key("met_by");
        if (w1.met_by.empty()) {
            j.null();
        } else {
            j.value(w1.met_by);
        }
        j.end_object();
        const warrant_3_result& w3 = d.result.warrant_3;
        j.key("warrant_3").begin_object();
        j.key("percent").value(w3.percent);
        j.key("hours");
        write_hours(j, w3.hours);
        j.key("met").value(w3.met);
        j.key("condition_a_volume_hours");
        write_hours(j, w3.volume_part_hours);
        j.end_object();
        j.end_object();
    }
    j.end_array();
}

// A combined study: its files in time order and the spans two of them cover.
void write_sources(json_writer& j, const study& s) {
    j.key("sources").begin_array();
    for (const std::string& file : s.sources) {
        j.value(utf8_from_latin1(file));
    }
    j.end_array();
    j.key("overlaps").begin_array();
    for (const study_overlap& o : s.overlaps) {
        j.begin_compact_object();
        j.key("flag").value("overlap");
        j.key("level").value("caution");
        j.key("kept").value(utf8_from_latin1(o.kept));
        j.key("dropped").value(utf8_from_latin1(o.dropped));
        j.key("from");
        write_instant(j, o.from);
        j.key("to");
        write_instant(j, o.to);
        j.end_object();
    }
    j.end_array();
}

void write_row(json_writer& j, const std::vector<std::int64_t>& counts) {
    j.begin_row();
    for (const std::int64_t n : counts) {
        j.value(n);
    }
    j.end_array();
}

// Hour by day (every file family) and, for vehicle files, the speed, class,
// headway, following and heavy-vehicle tables.
void write_tables(json_writer& j, const study& s) {
    j.key("hour_by_day").begin_object();
    j.key("dates").begin_row();
    for (const study_day& d : s.daily) {
        j.value(date_text(d.date));
    }
    j.end_array();
    j.key("full_day").begin_row();
    for (const study_day& d : s.daily) {
        j.value(d.full_day);
    }
    j.end_array();
    j.key("valid").begin_row();
    for (const study_day& d : s.daily) {
        j.value(d.valid);
    }
    j.end_array();
    const auto hours_of = [](const study_day& d, std::size_t g) {
        std::vector<std::int64_t> hours(24, 0);
        for (std::size_t h = 0; h < 24 && g * 24 + h < d.hours.size(); ++h) {
            hours[h] = d.hours[g * 24 + h];
        }
        return hours;
    };
    j.key("all").begin_array();
    for (const study_day& d : s.daily) {
        write_row(j, hours_of(d, 0));
    }
    j.end_array();
    j.key(s.survey.interval_file ? "by_channel" : "by_direction").begin_object();
    for (std::size_t g = 1; g < s.groups.size(); ++g) {
        j.key(s.groups[g].key).begin_array();
        for (const study_day& d : s.daily) {
            write_row(j, hours_of(d, g));
        }
        j.end_array();
    }
    j.end_object();
    j.key("weekday_mean");
    write_profile(j, s.groups.front().volume.weekday_profile);
    j.key("weekend_mean");
    write_profile(j, s.groups.front().volume.weekend_profile);
    j.end_object();
    const study_tables& t = s.tables;
    if (!t.vehicle_tables) {
        return;
    }
    j.key("speed_by_hour").begin_array();
    for (std::size_t h = 0; h < 24; ++h) {
        const speed_hour& f = t.speed_by_hour[h];
        j.begin_compact_object();
        j.key("hour").value(minute_text(static_cast<int>(h) * 60));
        j.key("vehicles").value(f.vehicles);
        j.key("mean").value(f.mean);
        const char* names[4] = {"p15", "p50", "p85", "p95"};
        for (std::size_t i = 0; i < 4; ++i) {
            j.key(names[i]).value(f.percentiles[i]);
        }
        j.key("bins").begin_compact_object();
        j.key("first_lower").value(0);
        j.key("width").value(10);
        j.key("counts");
        write_row(j, f.bins);
        j.end_object();
        j.end_object();
    }
    j.end_array();
    j.key("class_by_speed").begin_object();
    j.key("first_lower").value(0);
    j.key("width").value(10);
    j.key("classes").begin_object();
    for (const auto& [code, row] : t.class_by_speed) {
        j.key(code);
        write_row(j, row);
    }
    j.end_object();
    j.end_object();
    j.key("speed_by_headway").begin_object();
    j.key("speed").begin_compact_object();
    j.key("first_lower").value(0);
    j.key("width").value(10);
    j.end_object();
    j.key("headway_edges").begin_row();
    for (const int e : headway_edges_tenths) {
        j.value(e / 10);
    }
    j.end_array();
    j.key("counts").begin_array();
    for (const auto& row : t.speed_by_headway) {
        write_row(j, std::vector<std::int64_t>(row.begin(), row.end()));
    }
    j.end_array();
    j.end_object();
    j.key("following").begin_object();
    j.key("headway_under_s").value(t.following_s);
    std::int64_t following = 0;
    std::int64_t headways = 0;
    j.key("share_by_hour").begin_row();
    for (std::size_t h = 0; h < 24; ++h) {
        following += t.following_by_hour[h];
        headways += t.headways_by_hour[h];
        j.value(share_of(t.following_by_hour[h], t.headways_by_hour[h]));
    }
    j.end_array();
    j.key("vehicles").value(headways);
    j.key("following").value(following);
    j.key("share").value(share_of(following, headways));
    j.end_object();
    j.key("heavy_vehicles").begin_object();
    if (t.heavy_basis.empty()) {
        j.key("basis").null();
    } else {
        j.key("basis").value(t.heavy_basis);
    }
    j.key("vehicles").value(t.heavy_base);
    j.key("heavy").value(t.heavy);
    j.key("share").value(share_of(t.heavy, t.heavy_base));
    j.key("single_unit_share").value(t.single_unit ? share_of(*t.single_unit, t.heavy_base) : std::nullopt);
    j.key("combination_share").value(t.combination ? share_of(*t.combination, t.heavy_base) : std::nullopt);
    j.end_object();
}

// The crossing gap study: each full valid day's 5-minute periods of the crossing period.
void write_gap_study(json_writer& j, const gap_study_result& r) {
    j.key("gap_study").begin_object();
    if (!r.vehicle_file) {
        j.key("adequate_gap_s").null();
        j.key("reason").value("an interval file holds no gaps");
        j.key("days").begin_array();
        j.end_array();
        j.end_object();
        return;
    }
    j.key("adequate_gap_s").value(r.adequate_gap_s);
    j.key("measure").value(r.rear_to_front ? "gap" : "headway");
    j.key("crossing_period").begin_compact_object();
    j.key("start").value(minute_text(r.period_from));
    j.key("end").value(minute_text(r.period_to));
    j.end_object();
    j.key("days").begin_array();
    for (const gap_study_day& d : r.days) {
        j.begin_object();
        j.key("date").value(d.date);
        j.key("periods").begin_array();
        for (const gap_study_period& p : d.periods) {
            j.begin_compact_object();
            j.key("start").value(minute_text(p.start));
            j.key("end").value(minute_text(p.end));
            j.key("adequate_gaps").value(p.adequate_gaps);
            j.key("minutes").value(p.minutes);
            j.key("deficient").value(p.deficient);
            j.end_object();
        }
        j.end_array();
        j.key("adequate_gaps").value(d.adequate_gaps);
        j.key("minutes").value(d.minutes);
        j.key("warrant_5_gap_criterion_met").value(d.criterion_met);
        j.end_object();
    }
    j.end_array();
    j.end_object();
}

} // namespace

void write_study_json(const run_context& ctx, const study& s) {
    json_writer j;
    j.begin_object();
    j.key("units").begin_compact_object();
    j.key("speed").value(s.units.speed);
    j.key("length").value(s.units.length);
    j.key("weight").value(s.units.weight);
    j.key("time").value(s.units.time);
    j.end_object();
    j.key("header_only").value(s.header_only);
    write_survey(j, s);
    if (!s.header_only) {
        j.key("speed_limit");
        if (s.speed_limit > 0) {
            j.value(s.speed_limit);
        } else {
            j.null();
        }
        j.key("present").begin_object();
        j.key("speed").value(s.has_speed);
        j.key("class").value(s.has_class);
        j.key("axles").value(s.has_axles);
        j.key("headway").value(s.has_headway);
        j.key("gap").value(s.has_gap);
        j.key("length").value(s.has_length);
        j.key("weight").value(s.weigh_site);
        j.end_object();
        j.key("peak_hours_omitted").value(s.peak_hours_omitted);
        if (s.peak_hours_omitted) {
            j.key("peak_hours_omitted_reason").value(s.peak_hours_omitted_reason);
        } else {
            j.key("peak_hours_omitted_reason").null();
        }
        j.key("peak_grid_minutes").value(s.peak_grid_minutes);
        if (s.peak_by_quarters) {
            j.key("phf_omitted_reason").null();
        } else {
            j.key("phf_omitted_reason").value(s.phf_omitted_reason);
        }
        if (!s.survey.interval_file) {
            j.key("not_measured").begin_object();
            if (!s.axles_not_measured.empty()) {
                j.key("axles").value(s.axles_not_measured);
            }
            if (!s.weight_not_measured.empty()) {
                j.key("weight").value(s.weight_not_measured);
            }
            j.end_object();
        }
        write_quality(j, s);
        if (!s.groups.empty()) {
            write_group(j, s, s.groups[0], true);
            j.key(s.survey.interval_file ? "channels" : "directions").begin_object();
            for (std::size_t i = 1; i < s.groups.size(); ++i) {
                j.key(s.groups[i].key).begin_object();
                if (s.survey.interval_file) {
                    j.key("heading").value(utf8_from_latin1(s.groups[i].heading));
                } else if (!s.groups[i].name.empty()) {
                    j.key("name").value(utf8_from_latin1(s.groups[i].name));
                }
                write_group(j, s, s.groups[i], false);
                j.end_object();
            }
            j.end_object();
        }
        write_annual(j, s);
        if (!s.sources.empty()) {
            write_sources(j, s);
        }
        write_tables(j, s);
        if (s.warrants) {
            write_warrants(j, *s.warrants);
        }
        if (s.gap_study) {
            write_gap_study(j, *s.gap_study);
        }
    }
    j.end_object();
    ctx.out.write(j.finish());
}

} // namespace tallycnv
