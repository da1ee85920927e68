#pragma once

// The configuration sheet on paper and in PDF: the sheet's HTML laid out by
// Qt's rich text on landscape pages, so that what prints, what the editor
// saves as PDF and what mxcfg writes are one layout of one sheet. QtGui
// only: the editor and mxcfg's PDF module both link it.

#include "sheet_document.h"

#include <QByteArray>
#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

namespace mx {

// A landscape page of the paper the user's country prints on (Letter in
// the United States, A4 elsewhere), with margins that every printer can
// print within.
QPageLayout sheetPageLayout();

// The largest text a sheet is laid out with, in points.
inline constexpr double LargestSheetPoints = 11;

// Lays the sheet out on the device's pages, less `footHeight` at the foot
// of each, its text as large as fits across a page up to `largestPoints`;
// sheet.pageCount() then says how many pages it takes.
void layOutSheet(QTextDocument& sheet, const QString& html, QPagedPaintDevice& device,
                 qreal footHeight = 0, double largestPoints = LargestSheetPoints);

// Lays the sheet out on the printer's pages and prints it there.
void paintSheet(const QString& html, QPagedPaintDevice& printer);

// The document as PDF on pages of `layout`.
QByteArray sheetPdf(const SheetDocument& document, const QPageLayout& layout);

} // namespace mx
