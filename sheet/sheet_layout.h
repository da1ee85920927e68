#pragma once

// One sheet laid out on a device's pages: its text as large as fits, its
// table's columns as wide as their text needs, measured with the device's
// own metrics so that what is measured is what prints.

#include "sheet.h"

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QFontMetricsF;
class QPainter;
class QPaintDevice;

namespace mx {

// The fonts of a sheet at one text size, and the sizes that follow from it,
// in the device's pixels.
struct SheetFonts {
    SheetFonts(double points, const QPaintDevice& device);

    double points;
    QFont plain;
    QFont bold;
    QFont title;
    QFont small;
    qreal em;
    qreal padX;
    qreal padY;
    qreal thinLine;
    qreal heavyLine;
    qreal gap;
};

class SheetLayout {
public:
    // Lays the sheet out on pages of `area`; a one-page sheet's text is as
    // large as fits on one, a list's as fits across one, and never larger
    // than `largestPoints`. The sheet must outlive the layout.
    SheetLayout(const Sheet& sheet, QPaintDevice& device, QSizeF area, double largestPoints);

    double points() const { return fonts_.points; }
    int pageCount() const { return static_cast<int>(pages_.size()); }
    // Nothing runs off a page: the smallest text was not too large.
    bool whole() const { return whole_; }

    // Draws one page with its top left corner at the painter's origin.
    void drawPage(QPainter& painter, int page) const;

private:
    struct Cell {
        const SheetCell* cell;
        QString text;
        // The widest of its lines.
        qreal width;
        std::size_t row;
        std::size_t column;
        std::size_t rows;
        std::size_t columns;
    };
    // What one page holds: the lines above, a run of body rows under the
    // table's head, the lines below.
    struct Page {
        bool above = false;
        std::size_t firstRow = 0;
        std::size_t endRow = 0;
        bool below = false;
    };

    void placeCells();
    void layOut(double points);
    void measureColumns();
    void measureRows();
    void paginate();
    qreal cellWidth(const Cell& cell) const;
    qreal cellHeight(const Cell& cell) const;
    // Drawn as a block of lines, not as one line of text.
    static bool isBlock(const Cell& cell);
    qreal linesHeight(const std::vector<SheetLine>& lines) const;
    qreal aboveHeight() const;
    qreal drawLines(QPainter& painter, const std::vector<SheetLine>& lines, qreal top) const;
    void drawCell(QPainter& painter, const Cell& cell, const QRectF& rect,
                  const QFontMetricsF& metrics) const;
    qreal drawRows(QPainter& painter, std::size_t first, std::size_t end, qreal top) const;

    const Sheet& sheet_;
    QPaintDevice& device_;
    QSizeF area_;
    SheetFonts fonts_;
    std::vector<Cell> cells_;
    std::size_t headRows_ = 0;
    std::size_t rowCount_ = 0;
    std::size_t columnCount_ = 0;
    // Left edges of the columns, and the table's right edge last.
    std::vector<qreal> columnX_;
    std::vector<qreal> rowHeights_;
    // The table's width with each column at its narrowest.
    qreal narrowest_ = 0;
    // What the first page takes, or the whole page where the sheet runs on.
    qreal height_ = 0;
    std::vector<Page> pages_;
    bool whole_ = true;
};

} // namespace mx
