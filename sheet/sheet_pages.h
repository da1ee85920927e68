#pragma once

// The configuration sheet on paper and in PDF: each sheet drawn straight
// onto landscape pages, so that what prints, what the editor saves as PDF
// and what mxcfg writes are one drawing of one sheet. QtGui only: the
// editor and mxcfg's PDF module both link it.

#include "sheet.h"

#include <QByteArray>
#include <QPageLayout>

class QPagedPaintDevice;

namespace mx {

// A landscape page of the paper the user's country prints on (Letter in
// the United States, A4 elsewhere), with margins that every printer can
// print within.
QPageLayout sheetPageLayout();

// The largest text a sheet is drawn with, in points.
inline constexpr double LargestSheetPoints = 12;

// How a sheet lies on a device's pages.
struct SheetFit {
    double points = 0;
    int pages = 0;
    // Nothing runs off a page.
    bool whole = false;
};
SheetFit fitSheet(const Sheet& sheet, QPagedPaintDevice& device);

// Draws the document's sheets on the device's pages, from its current
// page on: a printer's, or a PDF writer's.
void paintSheets(const SheetDocument& document, QPagedPaintDevice& device);

// The document as PDF on pages of `layout`.
QByteArray sheetPdf(const SheetDocument& document, const QPageLayout& layout);

} // namespace mx
