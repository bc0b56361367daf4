#include "records/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "records/escaped_text.h"

namespace quillon {

namespace {

// Room around the plot for the value axis's numbers and the labels below.
struct PlotRoom {
    int left;
    int right;
    int top;
    int bottom;
};
constexpr PlotRoom kRoom{48, 8, 10, 78};
constexpr int kTicks = 4;
constexpr double kBarShare = 0.8;
// Labels stand level under their bars when the bars are this wide, else slanted, at least
// kLabelPitch pixels apart (others are left out). A label is cut to what fits (the table has
// it whole): a slanted one to kSlantedChars, a level one to its bar's width.
constexpr double kLevelBand = 60;
constexpr int kLevelBottom = 22;
constexpr double kLabelPitch = 14;
constexpr std::size_t kSlantedChars = 16;
constexpr double kCharWidth = 6.5;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Cuts UTF-8 text at a character's start, so that the cut text is still UTF-8.
std::string AxisLabel(const std::string& label, std::size_t chars) {
    if (label.size() <= chars) {
        return label;
    }
    std::size_t end = chars - 1;
    while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) {
        --end;
    }
    return label.substr(0, end) + "\xE2\x80\xA6";  // the ellipsis
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    for (const char c : PrintableText(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string ValueText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out = text;
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') {
        out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

double AxisMaximum(const Figure& figure) {
    if (figure.fixedMaximum) {
        return *figure.fixedMaximum;
    }
    double highest = 0;
    for (const auto& series : figure.series) {
        for (const auto& value : series.values) {
            highest = std::max(highest, value.value_or(0));
        }
    }
    if (highest <= 0) {
        return 1;
    }
    // A round step (1, 2 or 5 times a power of ten) that reaches the highest value in kTicks.
    const double rough = highest / kTicks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    return step * kTicks;
}

std::string BarChartSvg(const Figure& figure, std::size_t series, double maximum, ChartSize size) {
    const double plotWidth = size.width - kRoom.left - kRoom.right;
    const double plotHeight = size.height - kRoom.top - kRoom.bottom;
    const double bottom = kRoom.top + plotHeight;
    const std::size_t count = std::max<std::size_t>(figure.labels.size(), 1);
    const double band = plotWidth / static_cast<double>(count);
    const auto every = static_cast<std::size_t>(std::ceil(kLabelPitch / band));
    const bool level = band >= kLevelBand;
    // Level labels take one line below the plot; slanted ones the whole room.
    const std::string svgHeight =
        std::to_string(size.height - (level ? kRoom.bottom - kLevelBottom : 0));
    const FigureSeries& shown = figure.series[series];
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"" +
                      std::to_string(size.width) + "\" height=\"" + svgHeight +
                      "\" viewBox=\"0 0 " + std::to_string(size.width) + " " + svgHeight +
                      "\" role=\"img\" aria-label=\"" + HtmlText(figure.title + ", " + shown.name) +
                      "\">\n";
    for (int tick = 0; tick <= kTicks; ++tick) {
        const double value = maximum * tick / kTicks;
        const std::string y = Number(bottom - plotHeight * tick / kTicks);
        svg += "<line class=\"grid\" x1=\"" + std::to_string(kRoom.left) + "\" x2=\"" +
               Number(kRoom.left + plotWidth) + "\" y1=\"" + y + "\" y2=\"" + y + "\"/>";
        svg += "<text class=\"tick\" x=\"" + std::to_string(kRoom.left - 4) + "\" y=\"" + y +
               "\" dy=\"4\" text-anchor=\"end\">" + ValueText(value) + "</text>\n";
    }
    for (std::size_t i = 0; i < figure.labels.size(); ++i) {
        const std::string& label = figure.labels[i];
        const double centre = kRoom.left + band * (static_cast<double>(i) + 0.5);
        if (const auto& value = shown.values[i]) {
            const double height = plotHeight * std::clamp(*value / maximum, 0.0, 1.0);
            const std::string note = shown.notes[i].empty() ? "" : " (" + shown.notes[i] + ")";
            svg += "<rect class=\"bar\" data-figure=\"" + figure.id + "\" data-grouping=\"" +
                   figure.grouping + "\" data-series=\"" + HtmlText(shown.name) +
                   "\" data-label=\"" + HtmlText(label) + "\" data-value=\"" + ValueText(*value) +
                   "\" x=\"" + Number(centre - band * kBarShare / 2) + "\" y=\"" +
                   Number(bottom - height) + "\" width=\"" + Number(band * kBarShare) +
                   "\" height=\"" + Number(height) + "\"><title>" +
                   HtmlText(label + ": " + ValueText(*value) + " " + figure.valueHeading + note) +
                   "</title></rect>\n";
        }
        const std::string x = Number(centre);
        const std::string y = Number(bottom + 14);
        if (level) {
            const auto chars = static_cast<std::size_t>(band / kCharWidth);
            svg += "<text class=\"label\" x=\"" + x + "\" y=\"" + y + "\" text-anchor=\"middle\">" +
                   HtmlText(AxisLabel(PrintableText(label), chars)) + "</text>\n";
        } else if (i % every == 0) {
            svg += "<text class=\"label\" x=\"" + x + "\" y=\"" + y +
                   "\" text-anchor=\"end\" transform=\"rotate(-40 " + x + " " + y + ")\">" +
                   HtmlText(AxisLabel(PrintableText(label), kSlantedChars)) + "</text>\n";
        }
    }
    svg += "<line class=\"axis\" x1=\"" + std::to_string(kRoom.left) + "\" x2=\"" +
           Number(kRoom.left + plotWidth) + "\" y1=\"" + Number(bottom) + "\" y2=\"" +
           Number(bottom) + "\"/>\n</svg>\n";
    return svg;
}

}  // namespace quillon
