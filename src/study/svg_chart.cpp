#include "study/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "study/html_text.h"

namespace tallycnv {

namespace {

// The drawing: a 640 x 300 box (about 17 cm wide on A4; the page scales it
// down to fit narrower paper), the plot inside the margins.
constexpr double width = 640;
constexpr double height = 300;
constexpr double left = 68;
constexpr double right = 16;
constexpr double top = 48;
constexpr double bottom = 52;
constexpr double plot_w = width - left - right;
constexpr double plot_h = height - top - bottom;
constexpr double char_w = 6.2; // width of a character of the 10 px labels

// Colours that stay apart for the colour-blind and in grey print.
constexpr const char* palette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#9467bd",
                                   "#8c564b", "#e377c2", "#7f7f7f", "#17becf"};
constexpr const char* marker_colours[] = {"#222222", "#d62728", "#2ca02c", "#9467bd"};
constexpr const char* marker_dashes[] = {"6 3", "none", "2 3", "8 3 2 3"};

const char* colour(std::size_t i) {
    return palette[i % std::size(palette)];
}

// A number with as many decimals as the step of its axis needs.
std::string number(double v, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

int decimals_of(double step) {
    int decimals = 0;
    while (decimals < 6 &&
           std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
               1e-9 * std::pow(10.0, decimals)) {
        ++decimals;
    }
    return decimals;
}

std::string coordinate(double v) {
    return number(v, 1);
}

double largest_value(const chart& c) {
    double most = 0;
    for (const chart_series& s : c.series) {
        for (const double v : s.values) {
            if (std::isfinite(v)) {
                most = std::max(most, v);
            }
        }
    }
    return most;
}

bool all_whole(const chart& c) {
    for (const chart_series& s : c.series) {
        for (const double v : s.values) {
            if (v != std::floor(v)) {
                return false;
            }
        }
    }
    return true;
}

void text_at(report_sink& out, double x, double y, const char* attributes, std::string_view text) {
    out.printf("<text x=\"%s\" y=\"%s\"%s>", coordinate(x).c_str(), coordinate(y).c_str(), attributes);
    write_escaped(out, text);
    out.write("</text>\n");
}

// The legend: one row under the title, entries from left to right; a
// series or the pale note shows a box of its colour, a marker its line.
struct legend_entry {
    std::string text;
    const char* colour;
    const char* dash = nullptr; // a marker's line
    bool pale = false;
};

std::vector<legend_entry> legend_of(const chart& c) {
    std::vector<legend_entry> entries;
    if (c.series.size() > 1) {
        for (std::size_t i = 0; i < c.series.size(); ++i) {
            entries.push_back({c.series[i].name, colour(i)});
        }
    }
    for (std::size_t i = 0; i < c.markers.size(); ++i) {
        const std::size_t k = i % std::size(marker_colours);
        entries.push_back({c.markers[i].label, marker_colours[k], marker_dashes[k]});
    }
    if (!c.pale_note.empty() && std::find(c.pale.begin(), c.pale.end(), true) != c.pale.end()) {
        entries.push_back({c.pale_note, colour(0), nullptr, true});
    }
    return entries;
}

void write_legend(report_sink& out, const chart& c) {
    double x = left;
    const double y = 26;
    for (const legend_entry& e : legend_of(c)) {
        if (e.dash != nullptr) {
            out.printf("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2\" "
                       "stroke-dasharray=\"%s\"/>\n",
                       coordinate(x).c_str(), coordinate(y + 5).c_str(), coordinate(x + 14).c_str(),
                       coordinate(y + 5).c_str(), e.colour, e.dash);
        } else {
            out.printf("<rect x=\"%s\" y=\"%s\" width=\"14\" height=\"10\" fill=\"%s\"%s/>\n",
                       coordinate(x).c_str(), coordinate(y).c_str(), e.colour,
                       e.pale ? " fill-opacity=\"0.35\"" : "");
        }
        text_at(out, x + 18, y + 9, " font-size=\"10\"", e.text);
        x += 18 + char_w * static_cast<double>(e.text.size()) + 14;
    }
}

// The value axis: grid lines, tick labels and the rotated title.
double write_value_axis(report_sink& out, const chart& c) {
    double most = largest_value(c);
    for (const chart_marker& m : c.markers) {
        if (c.kind == chart_kind::bars && std::isfinite(m.x)) {
            most = std::max(most, m.x);
        }
    }
    const double step = nice_step(most, 5, all_whole(c) ? 1 : 0);
    const double axis_top = std::max(step, std::ceil(most / step - 1e-9) * step);
    const int decimals = decimals_of(step);
    for (double v = 0; v <= axis_top + step / 2; v += step) {
        const double y = top + plot_h - v / axis_top * plot_h;
        out.printf("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#dddddd\"/>\n",
                   coordinate(left).c_str(), coordinate(y).c_str(), coordinate(left + plot_w).c_str(),
                   coordinate(y).c_str());
        text_at(out, left - 6, y + 3.5, " font-size=\"10\" text-anchor=\"end\"", number(v, decimals));
    }
    out.printf("<text transform=\"translate(14 %s) rotate(-90)\" font-size=\"11\" text-anchor=\"middle\">",
               coordinate(top + plot_h / 2).c_str());
    write_escaped(out, c.y_title);
    out.write("</text>\n");
    return axis_top;
}

void write_axes(report_sink& out, const chart& c) {
    out.printf("<path d=\"M%s %sV%sH%s\" fill=\"none\" stroke=\"#333333\"/>\n", coordinate(left).c_str(),
               coordinate(top).c_str(), coordinate(top + plot_h).c_str(), coordinate(left + plot_w).c_str());
    text_at(out, left + plot_w / 2, height - 8, " font-size=\"11\" text-anchor=\"middle\"", c.x_title);
}

// Category labels under the slots, every k-th where all would not fit.
void write_category_labels(report_sink& out, const chart& c, double slot) {
    std::size_t longest = 1;
    for (const std::string& label : c.categories) {
        longest = std::max(longest, label.size());
    }
    const auto every = static_cast<std::size_t>(
        std::max(1.0, std::ceil((static_cast<double>(longest) * char_w + 4) / std::max(slot, 1.0))));
    for (std::size_t i = 0; i < c.categories.size(); i += every) {
        text_at(out, left + (static_cast<double>(i) + 0.5) * slot, top + plot_h + 14,
                " font-size=\"10\" text-anchor=\"middle\"", c.categories[i]);
    }
}

void write_value_title(report_sink& out, const std::string& name, const std::string& label, double v) {
    out.write("<title>");
    if (!name.empty()) {
        write_escaped(out, name);
        out.write(", ");
    }
    write_escaped(out, label);
    out.write(": ");
    write_escaped(out, number(v, v == std::floor(v) ? 0 : 1));
    out.write("</title>");
}

void write_bars(report_sink& out, const chart& c, double axis_top) {
    const std::size_t n = c.categories.size();
    const double slot = plot_w / static_cast<double>(std::max<std::size_t>(n, 1));
    const double bar = slot * 0.8 / static_cast<double>(std::max<std::size_t>(c.series.size(), 1));
    for (std::size_t s = 0; s < c.series.size(); ++s) {
        const chart_series& series = c.series[s];
        out.printf("<g fill=\"%s\">\n", colour(s));
        for (std::size_t i = 0; i < n && i < series.values.size(); ++i) {
            const double v = std::max(0.0, series.values[i]);
            const double h = v / axis_top * plot_h;
            const double x = left + static_cast<double>(i) * slot + slot * 0.1 + static_cast<double>(s) * bar;
            const bool pale = i < c.pale.size() && c.pale[i];
            out.printf("<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\"%s>", coordinate(x).c_str(),
                       coordinate(top + plot_h - h).c_str(), coordinate(bar).c_str(), coordinate(h).c_str(),
                       pale ? " fill-opacity=\"0.35\"" : "");
            write_value_title(out, series.name, c.categories[i], v);
            out.write("</rect>\n");
        }
        out.write("</g>\n");
    }
    for (std::size_t i = 0; i < c.markers.size(); ++i) {
        if (!std::isfinite(c.markers[i].x)) {
            continue;
        }
        const std::size_t k = i % std::size(marker_colours);
        const double y = top + plot_h - std::max(0.0, c.markers[i].x) / axis_top * plot_h;
        out.printf("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2\" "
                   "stroke-dasharray=\"%s\"><title>",
                   coordinate(left).c_str(), coordinate(y).c_str(), coordinate(left + plot_w).c_str(),
                   coordinate(y).c_str(), marker_colours[k], marker_dashes[k]);
        write_escaped(out, c.markers[i].label);
        out.write("</title></line>\n");
    }
    write_category_labels(out, c, slot);
}

void write_lines(report_sink& out, const chart& c, double axis_top) {
    const std::size_t n = c.categories.size();
    const double slot = plot_w / static_cast<double>(std::max<std::size_t>(n, 1));
    for (std::size_t s = 0; s < c.series.size(); ++s) {
        const chart_series& series = c.series[s];
        const std::size_t points = std::min(n, series.values.size());
        out.printf("<g stroke=\"%s\" fill=\"%s\">\n<polyline fill=\"none\" stroke-width=\"2\" points=\"",
                   colour(s), colour(s));
        for (std::size_t i = 0; i < points; ++i) {
            const double y = top + plot_h - std::max(0.0, series.values[i]) / axis_top * plot_h;
            out.printf("%s%s,%s", i == 0 ? "" : " ",
                       coordinate(left + (static_cast<double>(i) + 0.5) * slot).c_str(),
                       coordinate(y).c_str());
        }
        out.write("\"/>\n");
        for (std::size_t i = 0; i < points; ++i) {
            const double v = std::max(0.0, series.values[i]);
            out.printf("<circle cx=\"%s\" cy=\"%s\" r=\"2.5\">",
                       coordinate(left + (static_cast<double>(i) + 0.5) * slot).c_str(),
                       coordinate(top + plot_h - v / axis_top * plot_h).c_str());
            write_value_title(out, series.name, c.categories[i], v);
            out.write("</circle>\n");
        }
        out.write("</g>\n");
    }
    write_category_labels(out, c, slot);
}

void write_histogram(report_sink& out, const chart& c, double axis_top) {
    const std::size_t bins = c.edges.size() - 1;
    double x_most = c.edges.back();
    for (const chart_marker& m : c.markers) {
        if (std::isfinite(m.x)) {
            x_most = std::max(x_most, m.x);
        }
    }
    const double x_step = nice_step(x_most, 8, 0);
    const double x_top = std::max(x_step, std::ceil(x_most / x_step - 1e-9) * x_step);
    const auto x_of = [&](double v) { return left + std::clamp(v, 0.0, x_top) / x_top * plot_w; };
    const int decimals = decimals_of(x_step);
    for (double v = 0; v <= x_top + x_step / 2; v += x_step) {
        const double x = x_of(v);
        out.printf("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#333333\"/>\n",
                   coordinate(x).c_str(), coordinate(top + plot_h).c_str(), coordinate(x).c_str(),
                   coordinate(top + plot_h + 4).c_str());
        text_at(out, x, top + plot_h + 15, " font-size=\"10\" text-anchor=\"middle\"", number(v, decimals));
    }
    const std::vector<double>& values = c.series.front().values;
    // Bins narrower than a few pixels go without the white line between them.
    out.printf("<g fill=\"%s\"%s>\n", colour(0),
               plot_w / static_cast<double>(std::max<std::size_t>(bins, 1)) >= 4
                   ? " stroke=\"#ffffff\" stroke-width=\"0.5\""
                   : "");
    for (std::size_t i = 0; i < bins && i < values.size(); ++i) {
        const double v = std::max(0.0, values[i]);
        const double h = v / axis_top * plot_h;
        const double x0 = x_of(c.edges[i]);
        const double x1 = x_of(c.edges[i + 1]);
        const bool open = c.open_last && i + 1 == bins;
        out.printf("<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\"%s>", coordinate(x0).c_str(),
                   coordinate(top + plot_h - h).c_str(), coordinate(std::max(0.0, x1 - x0)).c_str(),
                   coordinate(h).c_str(), open ? " fill-opacity=\"0.5\"" : "");
        const int edge_decimals = decimals_of(c.edges[i + 1] - c.edges[i]);
        write_value_title(out, "",
                          open ? "above " + number(c.edges[i], edge_decimals)
                               : number(c.edges[i], edge_decimals) + " to " +
                                     number(c.edges[i + 1], edge_decimals),
                          v);
        out.write("</rect>\n");
        if (open && v > 0) {
            text_at(out, (x0 + x1) / 2, top + plot_h - h - 4,
                    " font-size=\"9\" text-anchor=\"middle\" fill=\"#333333\" stroke=\"none\"",
                    "above " + number(c.edges[i], edge_decimals));
        }
    }
    out.write("</g>\n");
    for (std::size_t i = 0; i < c.markers.size(); ++i) {
        if (!std::isfinite(c.markers[i].x)) {
            continue;
        }
        const std::size_t k = i % std::size(marker_colours);
        const double x = x_of(c.markers[i].x);
        out.printf("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2\" "
                   "stroke-dasharray=\"%s\"><title>",
                   coordinate(x).c_str(), coordinate(top).c_str(), coordinate(x).c_str(),
                   coordinate(top + plot_h).c_str(), marker_colours[k], marker_dashes[k]);
        write_escaped(out, c.markers[i].label);
        out.write("</title></line>\n");
    }
}

} // namespace

bool chart_has_data(const chart& c) {
    if (c.kind == chart_kind::histogram ? c.edges.size() < 2 : c.categories.empty()) {
        return false;
    }
    return largest_value(c) > 0;
}

double nice_step(double top, int ticks, double least) {
    if (!(top > 0) || !std::isfinite(top)) {
        return std::max(least, 1.0);
    }
    const double rough = top / std::max(ticks, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (rough <= factor * power * (1 + 1e-9)) {
            step = factor * power;
            break;
        }
    }
    return std::max(step, least);
}

void write_svg_chart(report_sink& out, const chart& c) {
    if (!chart_has_data(c)) {
        out.write("<p class=\"nodata\">");
        write_escaped(out, c.no_data);
        out.write("</p>\n");
        return;
    }
    out.printf(
        "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" "
        "height=\"%.0f\" role=\"img\" font-family=\"sans-serif\">\n<title>",
        width, height, width, height);
    write_escaped(out, c.title);
    out.write("</title>\n");
    text_at(out, left, 16, " font-size=\"13\" font-weight=\"bold\"", c.title);
    write_legend(out, c);
    const double axis_top = write_value_axis(out, c);
    switch (c.kind) {
    case chart_kind::bars:
        write_bars(out, c, axis_top);
        break;
    case chart_kind::line:
        write_lines(out, c, axis_top);
        break;
    case chart_kind::histogram:
        write_histogram(out, c, axis_top);
        break;
    }
    write_axes(out, c);
    out.write("</svg>\n");
}

} // namespace tallycnv
