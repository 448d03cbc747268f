#include "headers/header_lines.h"

#include <cstdint>

#include "datafile/vocabulary.h"

namespace tallycnv {

namespace {

// A NUL-terminated copy for printf's "%s" and "%.20s".
std::string text(std::string_view view) {
    return std::string(view);
}

const char* comparison_text(unsigned comparison) {
    switch (comparison) {
    case 0:
    case 61:
        return "=";
    case 1:
    case 60:
        return "<";
    case 2:
    case 62:
        return ">";
    case 3:
        return "<>";
    case 4:
        return "<=";
    default:
        return ">=";
    }
}

// The filter value in the header's own unit system, rounded half up.
std::uint32_t filter_value(const run_context& ctx, filter_info filter) {
    const unsigned units = ctx.settings.k479.units;
    float factor = 0.0F;
    switch (filter.operand) {
    case 1:
        factor = factor_at(speed_conv, units);
        break;
    case 2:
    case 3:
        factor = factor_at(weight_conv, units);
        break;
    case 4:
    case 5:
        factor = factor_at(length_conv, units);
        break;
    default:
        return filter.value;
    }
    const float converted = static_cast<float>(filter.value) * factor;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<double>(converted) + 0.5));
}

} // namespace

void print_headings(report_sink& out, bool csv, const k479_defn& header) {
    for (int i = 0; i < 8; ++i) {
        const std::string heading = text(field_text(header.headings[i]));
        if (csv) {
            out.printf("\"%s\"%s", heading.c_str(), i < 7 ? "," : "");
        } else {
            out.printf("%s ", heading.c_str());
        }
    }
    out.put('\n');
}

void fprintf_filter(const run_context& ctx, std::string_view title, filter_info filter, bool csv) {
    report_sink& out = ctx.out;
    out.write(title);
    out.write(csv ? "\",\"" : " = ");
    out.write(name_at(param_str, filter.operand));
    if (filter.operand == 0 || filter.operand == 13) {
        // No comparison belongs to NONE or ALL; the record-coded form still closes its quote.
        out.write(csv ? "\"\n" : "\n");
        return;
    }
    const std::uint32_t value = filter_value(ctx, filter);
    const char* comparison = comparison_text(filter.comparison);
    if (csv) {
        out.printf("\",\"%s\",", comparison);
    } else {
        out.printf("%s", comparison);
    }
    out.printf("%u%s", value, "\n");
}

std::string class_scheme_name(const k479_defn& header, bool merge_cars, const language_texts& lang) {
    const unsigned scheme = header.binning.class_scheme;
    if (scheme > 36) {
        return "SPECIAL" + std::to_string(header.binning.num_classes);
    }
    if (scheme == 36) {
        return "LENGTH" + std::to_string(header.binning.num_classes);
    }
    if (scheme == 25) {
        if (merge_cars) {
            return text(class_names[4]);
        }
        if (!lang.swed14_name.empty() && lang.swed14_name.front() != '\n') {
            return lang.swed14_name;
        }
        return text(class_names[25]);
    }
    if (scheme == 18) {
        // A scheme defined in the instrument carries its own name.
        return text(field_text(header.binning.custom_scheme_name));
    }
    return text(class_names[scheme]);
}

void print_class_line(const run_context& ctx, const k479_defn& header, bool csv) {
    const std::string name = class_scheme_name(header, ctx.settings.merge_cars, ctx.lang);
    if (csv) {
        ctx.out.printf("60,\"CLASS\",\"%s\"%s", name.c_str(), "\n");
    } else {
        ctx.out.printf("* CLASS = %s%s", name.c_str(), "\n");
    }
}

void print_record_date(report_sink& out, bool csv, int date_format, int day, int month, int year) {
    const int yy = year % 100;
    int first = yy;
    int second = month;
    int third = day;
    if (date_format == 0) {
        first = day;
        second = month;
        third = yy;
    } else if (date_format == 1) {
        first = month;
        second = day;
        third = yy;
    }
    if (csv) {
        out.printf("%02d,%02d,%02d%s", first, second, third, "\n");
    } else {
        out.printf("%02d/%02d/%02d%s", first, second, third, "\n");
    }
}

void print_start_stop(report_sink& out, bool csv, const k479_defn& header) {
    const start_rec_t& start = header.start_rec;
    const stop_rec_t& stop = header.stop_rec;
    if (csv) {
        out.printf("72,\"STARTREC\",%02d,%02d,", start.rec_start_hour, start.rec_start_minute);
    } else {
        out.printf("* STARTREC = %02d:%02d ", start.rec_start_hour, start.rec_start_minute);
    }
    print_record_date(out, csv, header.date_format, start.rec_start_day, start.rec_start_month,
                      start.rec_start_year);
    if (csv) {
        out.printf("73,\"STOPREC\",%02d,%02d,", stop.rec_stop_hour, stop.rec_stop_minute);
    } else {
        out.printf("* STOPREC  = %02d:%02d ", stop.rec_stop_hour, stop.rec_stop_minute);
    }
    print_record_date(out, csv, header.date_format, stop.rec_stop_day, stop.rec_stop_month,
                      stop.rec_stop_year);
}

void print_sensors(const run_context& ctx, const k479_defn& header, bool csv) {
    report_sink& out = ctx.out;
    const std::array<std::uint16_t, 8> sensors = sensor_types(header);
    const int inputs = input_count(header);
    out.write(csv ? "29,\"SENSORS\"," : "* SENSORS = ");
    for (int i = 0; i < inputs; ++i) {
        const std::string name = text(name_at(ctx.lang.sensor_names, sensors[i]));
        if (csv) {
            out.printf("\"%s\"%s", name.c_str(), i + 1 < inputs ? "," : "");
        } else {
            out.printf("%s ", name.c_str());
        }
    }
    out.put('\n');
}

void print_identification(const run_context& ctx, const k479_defn& header, bool csv,
                          std::string_view format_name) {
    report_sink& out = ctx.out;
    const std::string format = text(format_name);
    const std::string model = text(field_text(header.model));
    const std::string serial = text(field_text(header.serial_number));
    const std::string release = text(field_text(header.instrument_release));
    const std::string file_name = text(field_text(header.file_name));
    const std::string site = text(field_text(header.site));
    const std::string location = text(field_text(header.location));
    const std::string grid = text(field_text(header.grid_reference));
    const std::string date_form = text(name_at(date_form_str, header.date_format));
    const double battery = header.battery / 10.0;
    if (csv) {
        out.printf("20,\"BEGIN\"%s22,\"FORMAT\",\"%s\"%s", "\n", format.c_str(), "\n");
        out.printf("23,\"FORMATTER\",\"TALLYCNV\",\"Release\",%s%s", version_number, "\n");
        out.printf("24,\"INSTRUMENT\",\"K%s\",\"Serial\",%s,\"Release\",%s%s", model.c_str(), serial.c_str(),
                   release.c_str(), "\n");
        out.printf("25,\"FILENAME\",\"%.20s\"%s", file_name.c_str(), "\n");
        out.printf("26,\"SITE\",\"%.20s\"%s", site.c_str(), "\n");
        out.printf("27,\"LOCATION\",\"%.20s\"%s", location.c_str(), "\n");
        out.printf("31,\"GRIDREF\",\"%s\"%s", grid.c_str(), "\n");
        out.write("32,\"HEADINGS\",");
    } else {
        out.printf("* BEGIN%s* FORMAT = %s%s", "\n", format.c_str(), "\n");
        out.printf("* FORMATTER = TALLYCNV Release = %s%s", version_number, "\n");
        out.printf("* INSTRUMENT = K%s Serial = %s Release = %s%s", model.c_str(), serial.c_str(),
                   release.c_str(), "\n");
        out.printf("* FILENAME = %.20s%s", file_name.c_str(), "\n");
        out.printf("* SITE = %.20s%s", site.c_str(), "\n");
        out.printf("* LOCATION = %.20s%s", location.c_str(), "\n");
        out.printf("* GRIDREF = %s%s", grid.c_str(), "\n");
        out.write("* HEADINGS = ");
    }
    print_headings(out, csv, header);
    print_start_stop(out, csv, header);
    if (csv) {
        out.printf("28,\"BATTERY\",%.2f,%.2f %s", battery, battery, "\n");
    } else {
        out.printf("* BATTERY = %.2f %.2f %s", battery, battery, "\n");
    }
    print_sensors(ctx, header, csv);
    if (csv) {
        out.printf("30,\"DATEFORM\",\"%s\"%s", date_form.c_str(), "\n");
    } else {
        out.printf("* DATEFORM = %s%s", date_form.c_str(), "\n");
    }
}

void print_units_line(const run_context& ctx, bool csv) {
    const std::string name = text(name_at(ctx.lang.units_names, ctx.settings.k479.units));
    if (csv) {
        ctx.out.printf("89,\"UNITS\",\"%s\"%s", name.c_str(), "\n");
    } else {
        ctx.out.printf("* UNITS = %s%s", name.c_str(), "\n");
    }
}

void print_prunits_line(const run_context& ctx, bool csv) {
    const std::string name = text(name_at(prunits_names, ctx.settings.k479.print_units));
    if (csv) {
        ctx.out.printf("80,\"PRUNITS\",\"%s\"%s", name.c_str(), "\n");
    } else {
        ctx.out.printf("* PRUNITS = %s%s", name.c_str(), "\n");
    }
}

} // namespace tallycnv
