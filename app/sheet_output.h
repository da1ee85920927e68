#pragma once

// The configuration sheet on paper and in PDF: the sheet's HTML laid out by
// Qt's rich text on landscape pages, so that what prints and what is saved
// as PDF are one layout of one sheet.

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

// Lays the sheet out on the device's pages, its text as large as fits across
// a page; sheet.pageCount() then says how many pages it takes.
void layOutSheet(QTextDocument& sheet, const QString& html, QPagedPaintDevice& device);

// Lays the sheet out on the device's pages and paints it there.
void paintSheet(const QString& html, QPagedPaintDevice& device);

// The sheet as a PDF document on pages of `layout`.
QByteArray sheetPdf(const QString& html, const QPageLayout& layout, const QString& title);

} // namespace mx
