#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/line_figures.h"

namespace quillon {

// Text as it may stand in HTML, in an element or a quoted attribute: bytes that are no UTF-8
// character, and control characters, as "<HH>" (PrintableText), then & < > " ' as references.
std::string HtmlText(std::string_view text);

// A number as the page writes it: up to three decimals, no trailing zeros ("2.5", "0.333").
std::string ValueText(double value);

// The top of a figure's value axis: its fixed maximum, else a round number at or above every
// value of every series (so that the charts of one figure compare at a glance).
double AxisMaximum(const Figure& figure);

struct ChartSize {
    int width;
    int height;
};

// One series of `figure` as an inline SVG bar chart, the value axis from 0 to `maximum`. Each
// bar is a <rect class="bar"> with data-figure, data-grouping, data-series, data-label and
// data-value (a label without a value has no bar) and a <title> for the pointer.
std::string BarChartSvg(const Figure& figure, std::size_t series, double maximum, ChartSize size);

}  // namespace quillon
