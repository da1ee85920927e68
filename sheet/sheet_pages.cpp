#include "sheet_pages.h"

#include "sheet_layout.h"

#include <QBuffer>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <optional>

namespace mx {

namespace {

constexpr double MarginMillimetres = 12;
// A numbered page's foot: small text, with a gap of half a line above it.
constexpr double FootPoints = 8;
constexpr double FootLines = 1.5;

QRectF paintRect(const QPagedPaintDevice& device) {
    return device.pageLayout().paintRectPixels(device.logicalDpiX());
}

// How many pages the document takes: a one-page sheet takes one, a list
// what it runs on to.
int pageCount(const SheetDocument& document, QPagedPaintDevice& device, QSizeF area) {
    int pages = 0;
    for (std::size_t i = 0; i < document.sheets; ++i) {
        const Sheet sheet = document.sheetAt(i);
        pages +=
            sheet.onePage ? 1 : SheetLayout(sheet, device, area, LargestSheetPoints).pageCount();
    }
    return pages;
}

} // namespace

QPageLayout sheetPageLayout() {
    const QPageSize paper(QLocale().measurementSystem() == QLocale::ImperialUSSystem
                              ? QPageSize::Letter
                              : QPageSize::A4);
    const QMarginsF margins(MarginMillimetres, MarginMillimetres, MarginMillimetres,
                            MarginMillimetres);
    return QPageLayout(paper, QPageLayout::Landscape, margins, QPageLayout::Millimeter);
}

SheetFit fitSheet(const Sheet& sheet, QPagedPaintDevice& device) {
    const SheetLayout layout(sheet, device, paintRect(device).size(), LargestSheetPoints);
    return {layout.points(), layout.pageCount(), layout.whole()};
}

void paintSheets(const SheetDocument& document, QPagedPaintDevice& device) {
    const SheetFonts foot(FootPoints, device);
    const QFontMetricsF footMetrics(foot.plain, &device);
    const QRectF page = paintRect(device);
    const qreal footHeight = document.numbered ? footMetrics.height() * FootLines : 0;
    const QSizeF area(page.width(), page.height() - footHeight);
    const QRectF footLine(0, page.height() - footMetrics.height(), page.width(),
                          footMetrics.height());
    // Counted first, so that each foot can say how many pages there are;
    // then each sheet is made, drawn and let go in turn.
    const int pages = document.numbered ? pageCount(document, device, area) : 0;
    QPainter painter(&device);
    int number = 0;
    std::optional<double> shared;
    for (std::size_t i = 0; i < document.sheets; ++i) {
        const Sheet sheet = document.sheetAt(i);
        const bool sharing = document.oneSize && sheet.onePage;
        const SheetLayout layout(sheet, device, area,
                                 sharing ? shared.value_or(LargestSheetPoints)
                                         : LargestSheetPoints);
        if (sharing && !shared) {
            shared = layout.points();
        }
        for (int sheetPage = 0; sheetPage < layout.pageCount(); ++sheetPage) {
            if (number++ > 0) {
                device.newPage();
            }
            layout.drawPage(painter, sheetPage);
            if (document.numbered) {
                painter.setFont(foot.plain);
                painter.drawText(footLine, Qt::AlignLeft | Qt::AlignVCenter,
                                 QString::fromStdString(sheet.foot));
                painter.drawText(footLine, Qt::AlignRight | Qt::AlignVCenter,
                                 QString("Page %1 of %2").arg(number).arg(pages));
            }
        }
    }
}

QByteArray sheetPdf(const SheetDocument& document, const QPageLayout& layout) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        // The writer finishes the document when it goes.
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setTitle(QString::fromStdString(document.title));
        writer.setCreator("MX_config");
        paintSheets(document, writer);
    }
    return pdf;
}

} // namespace mx
