#include "records/html_report.h"

#include <algorithm>
#include <map>

#include "config/atomic_file.h"
#include "records/line_figures.h"
#include "records/svg_chart.h"

namespace quillon {

namespace {

// The whole line's chart, and each station's or board's in the small multiples.
constexpr ChartSize kWideChart{760, 300};
constexpr ChartSize kSmallChart{370, 230};
constexpr double kPercent = 100.0;

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 1.5em; color: #222; max-width: 1200px; }
h1 { font-size: 1.5em; } h2 { margin-top: 2em; border-bottom: 1px solid #ccc; }
h3 { font-size: 1.05em; margin-bottom: 0.3em; }
.summary td { padding: 0.1em 1em 0.1em 0; }
.charts { display: flex; flex-wrap: wrap; gap: 0.5em 1.5em; }
figure { margin: 0; } figcaption { font-size: 0.9em; font-weight: bold; }
svg.chart { background: #fff; font-size: 11px; }
svg.chart .bar { fill: #3a76b4; } svg.chart .grid { stroke: #e3e3e3; }
svg.chart .axis { stroke: #555; } svg.chart text { fill: #444; }
section.yield svg.chart .bar { fill: #3d9a50; }
section.failures-by-cause svg.chart .bar { fill: #c0463c; }
table.numbers { border-collapse: collapse; font-size: 0.85em; margin: 0.6em 0 1.2em; }
table.numbers th, table.numbers td { border: 1px solid #ccc; padding: 0.15em 0.6em; }
table.numbers td.value { text-align: right; }
)";

std::string Row(const std::string& heading, const std::string& value) {
    return "<tr><th scope=\"row\">" + HtmlText(heading) + "</th><td>" + HtmlText(value) +
           "</td></tr>\n";
}

std::string Summary(const std::vector<StoredUnit>& units, const std::string& source,
                    const std::string& made) {
    const auto passed = std::count_if(units.begin(), units.end(),
                                      [](const StoredUnit& u) { return u.outcome == "ok"; });
    std::string html = "<table class=\"summary\">\n" + Row("Records", source) +
                       Row("Units", std::to_string(units.size())) +
                       Row("Passed", std::to_string(passed));
    if (!units.empty()) {
        const auto [first, last] = std::minmax_element(
            units.begin(), units.end(),
            [](const StoredUnit& a, const StoredUnit& b) { return a.time < b.time; });
        html += Row("Yield", ValueText(kPercent * static_cast<double>(passed) /
                                       static_cast<double>(units.size())) +
                                 " %") +
                Row("First unit", first->time) + Row("Last unit", last->time);
    }
    return html + Row("Made", made) + "</table>\n";
}

// The numbers of every series of a figure, one row per label.
std::string Table(const Figure& figure) {
    std::string html = "<table class=\"numbers\" data-figure=\"" + figure.id +
                       "\" data-grouping=\"" + figure.grouping + "\">\n<tr><th>" +
                       HtmlText(figure.labelHeading) + "</th>";
    for (const auto& series : figure.series) {
        html += "<th>" + HtmlText(series.name + " (" + figure.valueHeading + ")") + "</th>";
    }
    html += "</tr>\n";
    for (std::size_t i = 0; i < figure.labels.size(); ++i) {
        html += "<tr><td>" + HtmlText(figure.labels[i]) + "</td>";
        for (const auto& series : figure.series) {
            const auto& value = series.values[i];
            const std::string& note = series.notes[i];
            html += "<td class=\"value\" data-series=\"" + HtmlText(series.name) + "\"" +
                    (value ? " data-value=\"" + ValueText(*value) + "\">" + ValueText(*value)
                           : std::string(">-")) +
                    (note.empty() ? "" : " (" + HtmlText(note) + ")") + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

std::string Charts(const Figure& figure) {
    static const std::map<std::string, std::string> kHeadings = {
        {"line", "Whole line"}, {"station", "Per station"}, {"board", "Per board"}};
    std::string html = "<h3>" + kHeadings.at(figure.grouping) + "</h3>\n<div class=\"charts\">\n";
    const double maximum = AxisMaximum(figure);
    const bool alone = figure.series.size() == 1;
    for (std::size_t s = 0; s < figure.series.size(); ++s) {
        html += "<figure data-series=\"" + HtmlText(figure.series[s].name) + "\">";
        if (!alone) {
            html += "<figcaption>" + HtmlText(figure.series[s].name) + "</figcaption>\n";
        }
        html += BarChartSvg(figure, s, maximum, alone ? kWideChart : kSmallChart) + "</figure>\n";
    }
    return html + "</div>\n" + Table(figure);
}

}  // namespace

std::string LineReportHtml(const std::vector<StoredUnit>& units, const std::string& source,
                           const std::string& made) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Line report: " +
        HtmlText(source) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" +
        "<h1>Line report</h1>\n" + Summary(units, source, made);
    if (units.empty()) {
        return html + "<p>No units in these records.</p>\n</body>\n</html>\n";
    }
    const std::vector<Figure> figures = LineFigures(units);
    std::string open;
    for (const auto& figure : figures) {
        if (figure.id != open) {
            html += (open.empty() ? "" : "</section>\n") + std::string("<section class=\"") +
                    figure.id + "\" id=\"" + figure.id + "\">\n<h2>" + HtmlText(figure.title) +
                    "</h2>\n";
            open = figure.id;
        }
        if (figure.labels.empty()) {
            // Said once: the station's and the board's figures have the same labels.
            html += figure.grouping == "line" ? "<p>None.</p>\n" : "";
            continue;
        }
        html += Charts(figure);
    }
    return html + "</section>\n</body>\n</html>\n";
}

void WriteLineReport(const std::filesystem::path& file, const std::string& html) {
    WriteFileAtomically(file, html);
}

}  // namespace quillon
