#include "vbv/zedirozed.h"

#include "vbv/line_format.h"

namespace tallycnv {

int zedirozed_class(unsigned lane, unsigned axles, unsigned wheelbase) {
    if (lane != 0) {
        return (axles == 2 && wheelbase <= 319) ? 2 : 14;
    }
    if (axles == 2) {
        if (wheelbase <= 319) {
            return 1;
        }
        if (wheelbase <= 529) {
            return 3;
        }
        return wheelbase <= 639 ? 4 : 5;
    }
    if (axles == 3 || axles == 4) {
        return 5;
    }
    return 14;
}

instant vehicle_instant(const vehicle_info& vehicle) {
    return instant{vehicle.year % 100, vehicle.month,  vehicle.day,
                   vehicle.hour,       vehicle.minute, vehicle.second};
}

namespace {

void count_class(zedirozed_state& state, unsigned class_code) {
    if (class_code < state.marsum.size()) {
        ++state.marsum[class_code];
    }
}

// The window opens at the first vehicle strictly between start and stop and
// closes at the first vehicle at or after the stop; it never reopens.
void count_in_window(const run_settings& settings, const vehicle_info& vehicle, zedirozed_state& state) {
    state.mart = vehicle_instant(vehicle);
    switch (state.marpm) {
    case 0:
        if (settings.mars < state.mart && state.mart < settings.marf) {
            count_class(state, vehicle.class_code);
            state.marpm = 1;
        }
        break;
    case 1:
        if (state.mart < settings.marf) {
            count_class(state, vehicle.class_code);
        } else {
            state.marpm = 2;
            state.marp = true;
        }
        break;
    default:
        break;
    }
}

} // namespace

void zedirozed_reclassify(const run_settings& settings, vehicle_info& vehicle, zedirozed_state& state) {
    if (!settings.zedirozed) {
        return;
    }
    vehicle.class_code =
        static_cast<std::uint8_t>(zedirozed_class(vehicle.lane, vehicle.axles, vehicle.wheelbase));
    vehicle.lane = static_cast<std::uint8_t>((vehicle.lane + 2) % 8);
    if (settings.print_format == 5) {
        count_in_window(settings, vehicle, state);
    }
}

void print_zedirozed_summary(const run_context& ctx, zedirozed_state& state) {
    if (!state.marp) {
        return;
    }
    const run_settings& s = ctx.settings;
    const int date_format = s.k479.date_format;
    report_sink& out = ctx.out;
    out.write("\nZedirozed Summary\n=================\n");
    const char* const time_labels[2] = {"Start Time = ", "Stop  Time = "};
    const char* const date_labels[2] = {"Start Date = ", "Stop  Date = "};
    for (int k = 0; k < 2; ++k) {
        const std::array<int, 3> d = ordered_date(date_format, s.m_day[k], s.m_mon[k], s.m_yr[k]);
        out.printf("%s%02d:%02d\n", time_labels[k], s.m_hrs[k], s.m_mins[k]);
        out.printf("%s%02d/%02d/%02d\n", date_labels[k], d[0], d[1], d[2]);
    }
    out.write("\n");
    for (int c = 1; c <= 5; ++c) {
        out.printf("Class  %d = %u\n", c, state.marsum[c]);
    }
    out.printf("Class 14 = %u\n", state.marsum[14]);
    out.write("\n");
    state.marp = false;
    state.marpp = true;
}

} // namespace tallycnv
