#include "sheet_html.h"

#include <string_view>

namespace mx {

namespace {

// Markup characters as entities; the sheet's text is printable already.
// A line break in a cell is a break in the page.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
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
        case '\n':
            out += "<br/>";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Kept to what browsers print in black and white.
constexpr std::string_view Style = R"(
body { font-family: 'DejaVu Sans', sans-serif; }
h1 { font-size: xx-large; margin-bottom: 0pt; }
p { margin-top: 2pt; margin-bottom: 2pt; }
p.path { font-size: small; }
p.strong { font-weight: bold; }
table { border-collapse: collapse; margin-top: 8pt; margin-bottom: 6pt; }
caption { text-align: left; }
th, td { border: 1px solid #000000; text-align: center; padding: 3px 5px; }
.left { text-align: left; }
.nowrap { white-space: nowrap; }
.shaded { background-color: #d0d0d0; }
.differs { border: 3px solid #000000; }
)";

std::string line(const SheetLine& line) {
    switch (line.style) {
    case SheetLineStyle::Title:
        return "<h1>" + escaped(line.text) + "</h1>\n";
    case SheetLineStyle::Path:
        return "<p class=\"path\">" + escaped(line.text) + "</p>\n";
    case SheetLineStyle::Strong:
        return "<p class=\"strong\">" + escaped(line.text) + "</p>\n";
    case SheetLineStyle::Plain:
        break;
    }
    return "<p>" + escaped(line.text) + "</p>\n";
}

std::string cell(const SheetCell& cell, bool inHead) {
    const std::string element = cell.heading ? "th" : "td";
    std::string html = "<" + element;
    if (cell.heading) {
        html += std::string(" scope=\"") +
                (!inHead            ? "row"
                 : cell.columns > 1 ? "colgroup"
                                    : "col") +
                "\"";
    }
    if (cell.columns > 1) {
        html += " colspan=\"" + std::to_string(cell.columns) + "\"";
    }
    if (cell.rows > 1) {
        html += " rowspan=\"" + std::to_string(cell.rows) + "\"";
    }
    std::string classes;
    for (const auto& [set, name] : {std::pair{cell.left, "left"},
                                    {!cell.wraps, "nowrap"},
                                    {cell.shaded, "shaded"},
                                    {cell.differs, "differs"}}) {
        if (set) {
            classes += (classes.empty() ? "" : " ") + std::string(name);
        }
    }
    if (!classes.empty()) {
        html += " class=\"" + classes + "\"";
    }
    return html + ">" + escaped(cell.text) + "</" + element + ">";
}

std::string rows(const std::vector<SheetRow>& rows, bool inHead) {
    std::string html;
    for (const SheetRow& row : rows) {
        html += "<tr>";
        for (const SheetCell& each : row) {
            html += cell(each, inHead);
        }
        html += "</tr>\n";
    }
    return html;
}

} // namespace

std::string sheetHtml(const Sheet& sheet) {
    std::string html = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                       "lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
                       escaped(sheet.title) + "</title>\n<style>" + std::string(Style) +
                       "</style>\n</head>\n<body>\n";
    for (const SheetLine& each : sheet.above) {
        html += line(each);
    }
    if (!sheet.table.head.empty() || !sheet.table.body.empty()) {
        html += "<table>\n";
        if (!sheet.table.caption.empty()) {
            html += "<caption>" + escaped(sheet.table.caption) + "</caption>\n";
        }
        html += "<thead>\n" + rows(sheet.table.head, true) + "</thead>\n<tbody>\n" +
                rows(sheet.table.body, false) + "</tbody>\n</table>\n";
    }
    for (const SheetLine& each : sheet.below) {
        html += line(each);
    }
    return html + "</body>\n</html>\n";
}

} // namespace mx
