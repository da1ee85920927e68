#include "sheet_output.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QLocale>
#include <QPdfWriter>
#include <QTextDocument>

namespace mx {

namespace {

constexpr double MarginMillimetres = 12;
// The sheet's text is as large as fits across the page, between these.
constexpr double LargestPoints = 11;
constexpr double SmallestPoints = 6;
constexpr double PointStep = 0.5;

} // namespace

QPageLayout sheetPageLayout() {
    const QPageSize paper(QLocale().measurementSystem() == QLocale::ImperialUSSystem
                              ? QPageSize::Letter
                              : QPageSize::A4);
    const QMarginsF margins(MarginMillimetres, MarginMillimetres, MarginMillimetres,
                            MarginMillimetres);
    return QPageLayout(paper, QPageLayout::Landscape, margins, QPageLayout::Millimeter);
}

void layOutSheet(QTextDocument& sheet, const QString& html, QPagedPaintDevice& device) {
    // Laid out with the device's own metrics, on its page, so that what is
    // measured here is what prints.
    sheet.documentLayout()->setPaintDevice(&device);
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    sheet.setPageSize(page.size());
    QFont font = sheet.defaultFont();
    for (double points = LargestPoints;; points -= PointStep) {
        font.setPointSizeF(points);
        sheet.setDefaultFont(font);
        sheet.setHtml(html);
        if (sheet.idealWidth() <= page.width() || points - PointStep < SmallestPoints) {
            return;
        }
    }
}

void paintSheet(const QString& html, QPagedPaintDevice& device) {
    QTextDocument sheet;
    layOutSheet(sheet, html, device);
    sheet.print(&device);
}

QByteArray sheetPdf(const QString& html, const QPageLayout& layout, const QString& title) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        // The writer finishes the document when it goes.
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setTitle(title);
        writer.setCreator("MX_config");
        paintSheet(html, writer);
    }
    return pdf;
}

} // namespace mx
