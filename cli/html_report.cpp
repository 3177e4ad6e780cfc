// The HTML report: one self-contained page. Everything is in the markup, so
// it reads without script; the one inline script only adds the filters.
// Every text from the project is escaped before it reaches the page.

#include <stdio.h>

#include <algorithm>
#include <string>

#include "report_formats.h"

namespace tokenweave_cli {

namespace {

// Lines shown above and below a sent value's line.
enum { CONTEXT_LINES = 2 };

const char PAGE_STYLE[] = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; margin: 0 0 .3em; }
.query, .weights { color: #555; margin: .2em 0; }
.filters { margin: 1em 0; }
.filters input { margin-right: 1em; padding: .2em .4em; }
table.pairs { border-collapse: collapse; width: 100%; }
table.pairs th { text-align: left; border-bottom: 2px solid #999; padding: .3em .5em; }
tr.pair td { border-top: 1px solid #ddd; padding: .3em .5em; vertical-align: top; }
td.grade { font-variant-numeric: tabular-nums; }
code { background: #f4f4f4; padding: 0 .2em; }
.badge { background: #c60; color: #fff; border-radius: .6em; padding: 0 .5em; font-size: .8em; margin-left: .4em; }
tr.detail td { padding: 0 .5em .5em 2em; }
details summary { cursor: pointer; color: #036; }
pre.script { background: #f7f7f2; padding: .4em; margin: .3em 0; overflow-x: auto; }
pre.script .sent { background: #ffe9a8; display: inline-block; width: 100%; }
table.grid { border-collapse: collapse; margin: .3em 0; }
table.grid th, table.grid td { border: 1px solid #bbb; padding: .1em .5em; }
table.grid th { background: #eee; }
table.grid td.matched { background: #ffd34d; font-weight: bold; outline: 2px solid #c60; }
.bars { margin: .3em 0; }
.bar { display: flex; align-items: center; gap: .5em; font-size: .9em; }
.bar .name { width: 11em; }
.bar .track { width: 12em; height: .8em; background: #eee; display: inline-block; }
.bar .fill { height: 100%; background: #4a7; display: block; }
.bar .numbers { color: #555; font-variant-numeric: tabular-nums; }
.more summary { color: #555; }
.diagnostics { color: #a40; }
)";

const char FILTER_SCRIPT[] = R"(
(function () {
  var filters = document.querySelector('.filters');
  filters.hidden = false;
  var byFile = document.getElementById('file-filter');
  var byValue = document.getElementById('value-filter');
  function apply() {
    var file = byFile.value.toLowerCase();
    var value = byValue.value.toLowerCase();
    document.querySelectorAll('tbody.entry').forEach(function (entry) {
      var shown = entry.dataset.files.toLowerCase().indexOf(file) >= 0 &&
                  entry.dataset.value.toLowerCase().indexOf(value) >= 0;
      entry.hidden = !shown;
    });
  }
  byFile.addEventListener('input', apply);
  byValue.addEventListener('input', apply);
})();
)";

std::string escape(const std::string &bytes) {
    std::string text = display_text(bytes);
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string place(const std::string &file, int line) {
    return escape(file) + "(" + std::to_string(line) + ")";
}

std::string script_context(const pair_record &pair, project_sources &sources) {
    int line = pair.input.line;
    std::string html = "<pre class=\"script\">";
    for (int number = std::max(1, line - CONTEXT_LINES); number <= line + CONTEXT_LINES; ++number) {
        if (static_cast<size_t>(number) > sources.lines(pair.input.path).size()) {
            break;
        }
        char label[16];
        snprintf(label, sizeof label, "%5d  ", number);
        std::string text = label + escape(sources.line(pair.input.path, number));
        html += number == line ? "<span class=\"sent\">" + text + "</span>\n" : text + "\n";
    }
    return html + "</pre>";
}

std::string grid_context(const output_site &output) {
    const grid_row_view &row = output.row_view;
    if (!row.found) {
        return "<p>The grid row cannot be read from the project now.</p>";
    }
    std::string html = "<table class=\"grid\"><tr>";
    for (const std::string &name : row.header) {
        html += "<th>" + escape(name) + "</th>";
    }
    html += "</tr><tr>";
    for (size_t i = 0; i < row.cells.size(); ++i) {
        bool matched = static_cast<int>(i) + 1 == row.position;
        html += matched ? "<td class=\"matched\">" : "<td>";
        html += escape(row.cells[i]) + "</td>";
    }
    return html + "</tr></table>";
}

std::string bar_chart(const grade_breakdown_t &breakdown) {
    std::string html = "<div class=\"bars\">";
    for (int i = 0; i < breakdown.part_count; ++i) {
        const grade_part_t &part = breakdown.parts[i];
        float width = std::min(1.0f, std::max(0.0f, part.score)) * 100.0f;
        char style[48];
        snprintf(style, sizeof style, "width:%.1f%%", static_cast<double>(width));
        html += std::string("<div class=\"bar\" data-heuristic=\"") + part.name +
                "\"><span class=\"name\">" + part.name +
                "</span><span class=\"track\"><span class=\"fill\" style=\"" + style +
                "\"></span></span><span class=\"numbers\">score " + exact_float(part.score) +
                " &#215; weight " + exact_float(part.weight) + " &#8594; " +
                exact_float(part.contribution) + "</span></div>";
    }
    return html + "</div>";
}

std::string returned_at(const output_site &output) {
    std::string html = place(output.file, output.line) + ", grid " + std::to_string(output.grid) +
                       ", row " + std::to_string(output.row) + ", column ";
    if (output.row_view.position > 0) {
        html += std::to_string(output.row_view.position) + " <code>" + escape(output.column_name) +
                "</code>";
    } else {
        html += std::to_string(output.column);
    }
    return html;
}

std::string pair_rows(const pair_record &pair, project_sources &sources) {
    std::string badge;
    if (!pair.ambiguity.unique_best) {
        badge = "<span class=\"badge\" title=\"" +
                std::to_string(pair.ambiguity.best_sources.size()) +
                " sources share the best grade\">ambiguous</span>";
    }
    std::string html = "<tr class=\"pair\" id=\"pair-" + std::to_string(pair.rank) + "\"><td>" +
                       std::to_string(pair.rank) + "</td><td class=\"grade\">" +
                       exact_float(pair.grade) + "</td><td class=\"value\"><code>" +
                       escape(pair.value) + "</code>" + badge + "</td><td>" +
                       place(pair.input.file, pair.input.line) +
                       (pair.input.call.empty() ? "" : " " + escape(pair.input.call)) +
                       "</td><td>" + returned_at(pair.output) + "</td></tr>\n";
    html +=
        "<tr class=\"detail\"><td colspan=\"5\"><details><summary>Script, grid row and "
        "grade</summary>" +
        script_context(pair, sources) + grid_context(pair.output) + bar_chart(pair.breakdown) +
        "</details></td></tr>\n";
    return html;
}

}  // namespace

std::string html_report(const report_heading &heading, const std::vector<pair_record> &pairs,
                        project_sources &sources) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
        "<title>tokenweave " +
        escape(heading.command) + " report</title>\n<style>" + PAGE_STYLE +
        "</style></head>\n<body>\n";
    html += "<h1>tokenweave " + escape(heading.command) + ": " + std::to_string(pairs.size()) +
            (pairs.size() == 1 ? " pair" : " pairs") + "</h1>\n";
    html += "<p class=\"query\">Query: <code>" + escape(heading.query.dump()) + "</code></p>\n";
    html += "<p class=\"weights\">Weights file: <code>" + escape(heading.weights_file) +
            "</code></p>\n";
    if (!heading.diagnostics.empty()) {
        html += "<ul class=\"diagnostics\">";
        for (const auto &diagnostic : heading.diagnostics) {
            std::string where = diagnostic.value("file", "");
            int line = diagnostic.value("line", 0);
            if (line > 0) {
                where += "(" + std::to_string(line) + ")";
            }
            html += "<li>" + escape(where + ": " + diagnostic.value("reason", "")) + "</li>";
        }
        html += "</ul>\n";
    }
    html +=
        "<div class=\"filters\" hidden><label>File <input id=\"file-filter\" "
        "type=\"search\"></label><label>Value <input id=\"value-filter\" "
        "type=\"search\"></label></div>\n";
    if (pairs.empty()) {
        html += "<p>Nothing found.</p>\n";
    }
    html +=
        "<table class=\"pairs\"><thead><tr><th>#</th><th>Grade</th><th>Value</th><th>Sent "
        "at</th><th>Returned at</th></tr></thead>\n";
    for (const auto &group : group_by_input(pairs)) {
        const pair_record &first = *group.front();
        std::string files = display_text(first.input.file);
        for (const pair_record *pair : group) {
            files += " " + display_text(pair->output.file);
        }
        html += "<tbody class=\"entry\" data-files=\"" + escape(files) + "\" data-value=\"" +
                escape(first.value) + "\">\n" + pair_rows(first, sources);
        if (group.size() > 1) {
            html += "<tr class=\"more\"><td colspan=\"5\"><details class=\"more\"><summary>and " +
                    std::to_string(group.size() - 1) +
                    " more for this value here</summary><table class=\"pairs\">\n";
            for (size_t i = 1; i < group.size(); ++i) {
                html += pair_rows(*group[i], sources);
            }
            html += "</table></details></td></tr>\n";
        }
        html += "</tbody>\n";
    }
    html += "</table>\n<script>" + std::string(FILTER_SCRIPT) + "</script>\n</body></html>\n";
    return html;
}

}  // namespace tokenweave_cli
