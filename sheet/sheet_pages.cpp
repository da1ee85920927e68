#include "sheet_pages.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <memory>

namespace mx {

namespace {

constexpr double MarginMillimetres = 12;
// The sheet's text is as large as fits across the page, down to this.
constexpr double SmallestPoints = 6;
constexpr double PointStep = 0.5;
// A numbered page's foot: small text, with a gap of half a line above it.
constexpr double FootPoints = 8;
constexpr double FootLines = 1.5;

// Paints one laid-out page of a part, as QTextDocument::print does.
void paintPage(QPainter& painter, const QTextDocument& part, int page) {
    const QSizeF size = part.pageSize();
    const QRectF view(0, page * size.height(), size.width(), size.height());
    painter.save();
    painter.translate(0, -view.top());
    painter.setClipRect(view);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = view;
    // Black on paper, whatever the desktop's palette says text is.
    context.palette.setColor(QPalette::Text, Qt::black);
    part.documentLayout()->draw(&painter, context);
    painter.restore();
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

void layOutSheet(QTextDocument& sheet, const QString& html, QPagedPaintDevice& device,
                 qreal footHeight, double largestPoints) {
    // Laid out with the device's own metrics, on its page, so that what is
    // measured here is what prints.
    sheet.documentLayout()->setPaintDevice(&device);
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    sheet.setPageSize(QSizeF(page.width(), page.height() - footHeight));
    QFont font = sheet.defaultFont();
    for (double points = largestPoints;; points -= PointStep) {
        font.setPointSizeF(points);
        sheet.setDefaultFont(font);
        sheet.setHtml(html);
        if (sheet.idealWidth() <= page.width() || points - PointStep < SmallestPoints) {
            return;
        }
    }
}

void paintSheet(const QString& html, QPagedPaintDevice& printer) {
    QTextDocument sheet;
    layOutSheet(sheet, html, printer);
    sheet.print(&printer);
}

namespace {

// Paints the document's parts, one after another, on the writer's pages.
void paintDocument(const SheetDocument& document, QPdfWriter& writer) {
    QFont footFont;
    footFont.setPointSizeF(FootPoints);
    const QFontMetricsF footMetrics(footFont, &writer);
    const qreal footHeight = document.numbered ? footMetrics.height() * FootLines : 0;

    // Every part laid out first, so that each foot can say how many pages
    // there are.
    std::vector<std::unique_ptr<QTextDocument>> parts;
    int pages = 0;
    double points = LargestSheetPoints;
    for (const SheetPart& part : document.parts) {
        parts.push_back(std::make_unique<QTextDocument>());
        layOutSheet(*parts.back(), part.html, writer, footHeight,
                    part.previousSize ? points : LargestSheetPoints);
        points = parts.back()->defaultFont().pointSizeF();
        pages += parts.back()->pageCount();
    }
    QPainter painter(&writer);
    painter.setFont(footFont);
    const QRectF page = writer.pageLayout().paintRectPixels(writer.logicalDpiX());
    const QRectF foot(0, page.height() - footMetrics.height(), page.width(), footMetrics.height());
    int number = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (int partPage = 0; partPage < parts[i]->pageCount(); ++partPage) {
            if (number++ > 0) {
                writer.newPage();
            }
            paintPage(painter, *parts[i], partPage);
            if (document.numbered) {
                painter.setPen(Qt::black);
                painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, document.parts[i].label);
                painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                                 QString("Page %1 of %2").arg(number).arg(pages));
            }
        }
    }
}

} // namespace

QByteArray sheetPdf(const SheetDocument& document, const QPageLayout& layout) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        // The writer finishes the document when it goes.
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setTitle(document.title);
        writer.setCreator("MX_config");
        paintDocument(document, writer);
    }
    return pdf;
}

} // namespace mx
