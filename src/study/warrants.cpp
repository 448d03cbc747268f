// Warrant 1 and the volume parts of Warrant 3 from the hourly volumes of the
// major street and of each minor approach.
#include "study/warrants.h"

#include <algorithm>
#include <functional>

namespace tallycnv {

namespace {

// Table 4C-1, vehicles per hour at 100, 80, 70 and 56 %: [condition][lanes - 1][column].
constexpr int major_volumes[2][2][4] = {
    {{500, 400, 350, 280}, {600, 480, 420, 336}}, // Condition A: one lane, two or more
    {{750, 600, 525, 420}, {900, 720, 630, 504}}, // Condition B
};
constexpr int minor_volumes[2][2][4] = {
    {{150, 120, 105, 84}, {200, 160, 140, 112}},
    {{75, 60, 53, 42}, {100, 80, 70, 56}},
};

constexpr int column_100 = 0;
constexpr int column_80 = 1;
constexpr int column_70 = 2;
constexpr int column_56 = 3;

// A curve of Figure 4C-3 or 4C-4: the minor approach's volume at major
// volumes from `first` up in steps of 100; 0 marks a point the curve lacks.
struct curve_points {
    int first;
    std::array<int, 14> minor; // 0 after the last point
};

// Columns: one lane each; two or more major and one minor lane (also one major
// and two or more minor lanes); two or more each.
constexpr curve_points peak_hour_curves[3] = {
    {500, {420, 360, 325, 285, 245, 200, 175, 150, 130, 120, 100, 100, 100, 100}},
    {500, {0, 460, 420, 360, 325, 285, 250, 220, 190, 155, 145, 120, 100, 100}},
    {500, {0, 590, 540, 475, 425, 370, 340, 285, 250, 220, 180, 170, 150, 150}},
};
constexpr curve_points reduced_peak_hour_curves[3] = {
    {400, {260, 220, 170, 145, 120, 100, 80, 75, 75, 75, 0, 0, 0, 0}},
    {400, {340, 280, 245, 200, 160, 140, 120, 100, 80, 75, 0, 0, 0, 0}},
    {400, {0, 370, 315, 260, 225, 175, 150, 120, 100, 100, 0, 0, 0, 0}},
};

int lane_index(int lanes) {
    return lanes >= 2 ? 1 : 0;
}

// The start minutes of the hours that pass `test`: clock hours, or without
// overlap the earliest-ending windows of four consecutive quarter hours.
std::vector<int> qualifying_hours(const warrant_inputs& in,
                                  const std::function<bool(double, const std::vector<double>&)>& test) {
    std::vector<int> hours;
    const int step = in.quarter_hours ? 1 : 4;
    std::vector<double> minor(in.minor.size());
    for (int q = 0; q + 4 <= quarters_per_day;) {
        double major = 0;
        std::fill(minor.begin(), minor.end(), 0.0);
        for (int k = q; k < q + 4; ++k) {
            const auto i = static_cast<std::size_t>(k);
            major += in.major[i];
            for (std::size_t a = 0; a < minor.size(); ++a) {
                minor[a] += in.minor[a][i];
            }
        }
        if (test(major, minor)) {
            hours.push_back(q * 15);
            q += 4;
        } else {
            q += step;
        }
    }
    return hours;
}

// The hours meeting Condition A or B at a column of Table 4C-1: the major
// street and one minor approach, each at least its volume in the same hour.
std::vector<int> condition_hours(const warrant_inputs& in, bool condition_b, int column) {
    const int c = condition_b ? 1 : 0;
    return qualifying_hours(in, [&](double major, const std::vector<double>& minor) {
        if (major < major_volumes[c][lane_index(in.major_lanes)][column]) {
            return false;
        }
        for (std::size_t a = 0; a < minor.size(); ++a) {
            const int lanes = a < in.minor_lanes.size() ? in.minor_lanes[a] : 1;
            if (minor[a] >= warrant_1_minor_volume(condition_b, in.major_lanes, lanes, column)) {
                return true;
            }
        }
        return false;
    });
}

} // namespace

int warrant_1_major_volume(bool condition_b, int major_lanes, int column) {
    return major_volumes[condition_b ? 1 : 0][lane_index(major_lanes)][column];
}

int warrant_1_minor_volume(bool condition_b, int /*major_lanes*/, int minor_lanes, int column) {
    return minor_volumes[condition_b ? 1 : 0][lane_index(minor_lanes)][column];
}

std::optional<double> warrant_3_curve(double major, int major_lanes, int minor_lanes, bool reduced) {
    const int column =
        major_lanes >= 2 && minor_lanes >= 2 ? 2 : (major_lanes >= 2 || minor_lanes >= 2 ? 1 : 0);
    const curve_points& curve = (reduced ? reduced_peak_hour_curves : peak_hour_curves)[column];
    const double floor = reduced ? (minor_lanes >= 2 ? 100 : 75) : (minor_lanes >= 2 ? 150 : 100);
    std::size_t first = 0;
    while (curve.minor[first] == 0) {
        ++first;
    }
    std::size_t last = first;
    while (last + 1 < curve.minor.size() && curve.minor[last + 1] != 0) {
        ++last;
    }
    const auto volume_at = [&](std::size_t i) { return curve.first + 100.0 * static_cast<double>(i); };
    if (major < volume_at(first)) {
        return std::nullopt;
    }
    if (major >= volume_at(last)) {
        return floor;
    }
    const auto i = static_cast<std::size_t>((major - curve.first) / 100);
    const double t = (major - volume_at(i)) / 100;
    const double value = curve.minor[i] + t * (curve.minor[i + 1] - curve.minor[i]);
    return std::max(value, floor);
}

bool reduced_warrant_rule(std::optional<double> major_speed, bool imperial, bool isolated) {
    return isolated || (major_speed && *major_speed > (imperial ? 40.0 : 64.4));
}

warrant_day_result judge_warrants(const warrant_inputs& in) {
    warrant_day_result r;
    warrant_1_result& w1 = r.warrant_1;
    const int column = in.reduced ? column_70 : column_100;
    w1.percent = in.reduced ? 70 : 100;
    w1.combination_percent = in.reduced ? 56 : 80;
    w1.condition_a.hours = condition_hours(in, false, column);
    w1.condition_a.met = w1.condition_a.hours.size() >= 8;
    w1.condition_b.hours = condition_hours(in, true, column);
    w1.condition_b.met = w1.condition_b.hours.size() >= 8;
    const int combination = in.reduced ? column_56 : column_80;
    w1.combination_a_hours = condition_hours(in, false, combination);
    w1.combination_b_hours = condition_hours(in, true, combination);
    w1.combination_volumes_satisfied =
        w1.combination_a_hours.size() >= 8 && w1.combination_b_hours.size() >= 8;
    if (w1.condition_a.met) {
        w1.met_by = "A";
    } else if (w1.condition_b.met) {
        w1.met_by = "B";
    } else if (in.adequate_trial && w1.combination_volumes_satisfied) {
        w1.met_by = "A+B";
    }
    w1.met = !w1.met_by.empty();

    warrant_3_result& w3 = r.warrant_3;
    w3.percent = in.reduced ? 70 : 100;
    const auto lanes_of = [&](std::size_t a) { return a < in.minor_lanes.size() ? in.minor_lanes[a] : 1; };
    w3.hours = qualifying_hours(in, [&](double major, const std::vector<double>& minor) {
        for (std::size_t a = 0; a < minor.size(); ++a) {
            const std::optional<double> curve =
                warrant_3_curve(major, in.major_lanes, lanes_of(a), in.reduced);
            if (curve && minor[a] >= *curve) {
                return true;
            }
        }
        return false;
    });
    w3.met = !w3.hours.empty();
    const double entering = in.approaches <= 3 ? 650 : 800;
    w3.volume_part_hours = qualifying_hours(in, [&](double major, const std::vector<double>& minor) {
        double total = major;
        bool approach = false;
        for (std::size_t a = 0; a < minor.size(); ++a) {
            total += minor[a];
            approach = approach || minor[a] >= (lanes_of(a) >= 2 ? 150 : 100);
        }
        return approach && total >= entering;
    });
    return r;
}

} // namespace tallycnv
