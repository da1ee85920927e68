#pragma once

// A sheet as data: what a printed page of a unit (or a binder's list of
// units) says, and nothing of how it is drawn. The painter draws it on
// paper and in PDF, sheetHtml() writes it as HTML; neither adds content of
// its own, so what prints, what a PDF holds and what `mxcfg sheet` writes
// cannot drift apart.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mx {

// How a line above or below the table reads.
enum class SheetLineStyle {
    Title,  // the unit's name, first and largest
    Path,   // where the unit is kept, in small text
    Plain,  // a sentence
    Strong, // what the reader must not miss
};

struct SheetLine {
    std::string text{};
    SheetLineStyle style = SheetLineStyle::Plain;

    friend bool operator==(const SheetLine&, const SheetLine&) = default;
};

// One cell of the table. Its text is printable already; '\n' parts lines.
struct SheetCell {
    std::string text{};
    int columns = 1;
    int rows = 1;
    // Names its row or its columns.
    bool heading = false;
    // Aligned to the left, where centred would read badly: captions and
    // lists.
    bool left = false;
    // May be broken onto more lines where the table is too narrow for it.
    bool wraps = false;
    // Shaded: bits the editor shows as loaded and never changes.
    bool shaded = false;
    // Framed: differs from the unit the sheet is compared with.
    bool differs = false;

    friend bool operator==(const SheetCell&, const SheetCell&) = default;
};

using SheetRow = std::vector<SheetCell>;

struct SheetTable {
    // Says what the cells mean; stands above the table.
    std::string caption{};
    // Heads the table, and each page a long table runs on to.
    std::vector<SheetRow> head{};
    std::vector<SheetRow> body{};
};

struct Sheet {
    // What the document is called where a reader lists documents.
    std::string title{};
    std::vector<SheetLine> above{};
    SheetTable table{};
    std::vector<SheetLine> below{};
    // What each page's foot names: the unit, or the binder's list.
    std::string foot{};
    // A unit's sheet is one page, its text made as small as that needs; a
    // list of units runs on over as many pages as it takes.
    bool onePage = true;
};

// A PDF of sheets, one after another, each from a page of its own. The
// sheets are made as they are drawn, so that a binder of a thousand units
// never holds more than one.
struct SheetDocument {
    std::string title{};
    std::size_t sheets = 0;
    std::function<Sheet(std::size_t)> sheetAt{};
    // Each page's foot names its sheet and says "Page N of M".
    bool numbered = false;
    // The one-page sheets are drawn at the first one's text size, smaller
    // only where a sheet needs it: a binder reads alike throughout.
    bool oneSize = false;
};

// A document of one sheet, made already.
inline SheetDocument oneSheet(Sheet sheet) {
    std::string title = sheet.title;
    return {std::move(title), 1, [sheet = std::move(sheet)](std::size_t) { return sheet; }};
}

} // namespace mx
