// The charts of the study page: inline SVG bar charts, histograms and line
// charts written through the report sink. A chart carries its title, axis
// titles with units and a legend; the value axis starts at 0 and steps by
// 1, 2 or 5 times a power of ten. A chart without data writes one sentence
// instead of an empty frame.
#pragma once

#include <string>
#include <vector>

#include "io/report_sink.h"

namespace tallycnv {

enum class chart_kind {
    bars,      // one group of bars per category, one bar per series
    histogram, // contiguous bins on a numeric axis from `edges`, one series
    line,      // one point per category joined by lines, one line per series
};

struct chart_series {
    std::string name; // legend text (UTF-8)
    std::vector<double> values;
};

// A vertical line on a histogram's axis, such as the mean or the limit; on a
// bar chart a horizontal line at a value, such as a threshold.
struct chart_marker {
    std::string label; // UTF-8, e.g. "p85 58.0"
    double x = 0;      // on the histogram's axis, or the bar chart's value
};

// Every text is UTF-8 and is escaped when written.
struct chart {
    chart_kind kind = chart_kind::bars;
    std::string title;
    std::string x_title; // axis title with its unit: "Speed (km/h)"
    std::string y_title;
    std::string no_data; // the sentence written instead of a chart without data
    // Bars and lines: one label per category. A category marked in `pale`
    // is drawn lighter and `pale_note` explains it in the legend.
    std::vector<std::string> categories;
    std::vector<bool> pale;
    std::string pale_note;
    // Histograms: the bin edges (one more than the bins); the last bin is
    // open ("above its lower edge") when `open_last` is set.
    std::vector<double> edges;
    bool open_last = false;
    std::vector<chart_series> series;
    std::vector<chart_marker> markers;
};

// True when the chart has something to draw: a category or bin with a value above 0.
[[nodiscard]] bool chart_has_data(const chart& c);

// The step of a value axis from 0 to `top`: 1, 2 or 5 times a power of ten
// giving about `ticks` steps; at least `least` (1 for counts).
[[nodiscard]] double nice_step(double top, int ticks, double least);

// Writes the chart as an <svg> element, or `<p class="nodata">` with the
// no-data sentence.
void write_svg_chart(report_sink& out, const chart& c);

} // namespace tallycnv
