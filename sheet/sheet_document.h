#pragma once

// What a PDF of sheets is made of. QtCore only, so that mxcfg can say what
// it wants drawn without linking what draws it.

#include <QString>
#include <vector>

namespace mx {

// One part of a PDF, starting on a page of its own: a sheet, or a binder's
// list of units.
struct SheetPart {
    QString html;
    // What the foot of each of its pages names, beside the page number.
    QString label;
    // Laid out at the text size of the part before it, or smaller where it
    // does not fit across the page: a binder's sheets share one size.
    bool previousSize = false;
};

// A PDF made of parts, one after another.
struct SheetDocument {
    QString title;
    std::vector<SheetPart> parts;
    // Each page's foot carries its part's label and "Page N of M".
    bool numbered = false;
};

} // namespace mx
