#include "sheet_layout.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

namespace mx {

namespace {

// The text is made smaller in these steps until the sheet fits, down to
// the smallest size anyone reads on paper.
constexpr double SmallestPoints = 5;
constexpr double PointStep = 0.25;
// Sizes in ems of the sheet's text.
constexpr qreal PadX = 0.25;
constexpr qreal PadY = 0.2;
constexpr qreal Gap = 0.5;
constexpr qreal LineGap = 0.15;
constexpr qreal TitleScale = 1.8;
constexpr qreal SmallScale = 0.85;
// A word in a cell that may wrap is kept whole up to this width, and
// broken anywhere beyond: a long path widens no column to the page.
constexpr qreal WholeWordEms = 8;
// The grid, and the frame that marks a cell that differs: heavy enough to
// read on any black-and-white printer.
constexpr qreal ThinPoints = 0.5;
constexpr qreal HeavyPoints = 1.75;
// Shading that every printer prints as a light grey.
constexpr QRgb Shade = 0xd0d0d0;

qreal pixels(qreal points, const QPaintDevice& device) {
    return points * device.logicalDpiY() / 72.0;
}

QFont sheetFont(double points, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    // No ligatures, so that the PDF's text reads and searches as it was
    // written ("Differs", not "Diﬀers"); drawn quicker, too.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Text broken into lines within a width, where it may wrap, and aligned
// there; '\n' starts a line.
class TextBlock {
public:
    TextBlock(const QString& text, const QFont& font, const QPaintDevice& device, qreal width,
              Qt::Alignment alignment, bool wraps)
        : layout_(QString(text).replace(u'\n', QChar::LineSeparator), font, &device) {
        QTextOption option(alignment);
        option.setWrapMode(wraps ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
        layout_.setTextOption(option);
        layout_.beginLayout();
        for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, height_));
            height_ += line.height();
        }
        layout_.endLayout();
    }

    qreal height() const { return height_; }
    void draw(QPainter& painter, QPointF topLeft) const { layout_.draw(&painter, topLeft); }

private:
    QTextLayout layout_;
    qreal height_ = 0;
};

const QFont& lineFont(const SheetFonts& fonts, SheetLineStyle style) {
    switch (style) {
    case SheetLineStyle::Title:
        return fonts.title;
    case SheetLineStyle::Path:
        return fonts.small;
    case SheetLineStyle::Strong:
        return fonts.bold;
    case SheetLineStyle::Plain:
        break;
    }
    return fonts.plain;
}

// Makes the columns from first on together at least `needed` wide, the
// extra shared evenly.
void widen(std::vector<qreal>& widths, std::size_t first, std::size_t count, qreal needed) {
    const auto begin = widths.begin() + static_cast<std::ptrdiff_t>(first);
    const qreal has = std::accumulate(begin, begin + static_cast<std::ptrdiff_t>(count), 0.0);
    if (needed > has) {
        std::for_each(begin, begin + static_cast<std::ptrdiff_t>(count),
                      [&](qreal& width) { width += (needed - has) / static_cast<qreal>(count); });
    }
}

// The widths of texts in a sheet's fonts, each measured once: most of a
// sheet's cells hold one of a few symbols.
class TextWidths {
public:
    TextWidths(const SheetFonts& fonts, const QPaintDevice& device)
        : plain_(fonts.plain, &device), bold_(fonts.bold, &device) {}

    qreal operator()(bool bold, QStringView text) {
        QHash<QString, qreal>& known = known_[bold ? 1 : 0];
        const QString key = text.toString();
        const auto found = known.constFind(key);
        return found != known.cend() ? *found
                                     : known[key] = (bold ? bold_ : plain_).horizontalAdvance(key);
    }

private:
    QFontMetricsF plain_;
    QFontMetricsF bold_;
    std::array<QHash<QString, qreal>, 2> known_;
};

// The widths of the columns: each as wide as its text on one line where the
// width allows, as HTML lays a table out. Else a column whose text fits on
// one line within an even share of the width gets its line, and the room
// left is shared out among the others in proportion to what each would
// take beyond its narrowest, so that a short name is not broken for the
// sake of a long sentence beside it.
std::vector<qreal> columnWidths(const std::vector<qreal>& least, const std::vector<qreal>& most,
                                qreal available) {
    const auto sum = [](const std::vector<qreal>& widths, auto&& which) {
        qreal total = 0;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            total += which(column) ? widths[column] : 0;
        }
        return total;
    };
    const qreal share = available / static_cast<qreal>(std::max<std::size_t>(most.size(), 1));
    const auto fits = [&](std::size_t column) { return most[column] <= share; };
    const auto rest = [&](std::size_t column) { return !fits(column); };
    const auto all = [](std::size_t) { return true; };
    const bool shortFirst = available - sum(most, fits) >= sum(least, rest);
    const qreal room = shortFirst ? available - sum(most, fits) : available;
    const qreal narrowest = shortFirst ? sum(least, rest) : sum(least, all);
    const qreal widest = shortFirst ? sum(most, rest) : sum(most, all);
    const qreal part = widest <= room      ? 1
                       : narrowest >= room ? 0
                                           : (room - narrowest) / (widest - narrowest);
    std::vector<qreal> widths;
    for (std::size_t column = 0; column < most.size(); ++column) {
        widths.push_back(shortFirst && fits(column)
                             ? most[column]
                             : least[column] + (most[column] - least[column]) * part);
    }
    return widths;
}

// The lines between a table's cells, each cell's right and bottom edge
// joined into whole lines where they meet end to end: a sheet has about
// seventy lines, not two for each of its nine hundred cells.
class GridLines {
public:
    void add(const QLineF& line) {
        if (line.x1() == line.x2()) {
            vertical_[line.x1()].push_back({line.y1(), line.y2()});
        } else {
            horizontal_[line.y1()].push_back({line.x1(), line.x2()});
        }
    }

    QList<QLineF> lines() {
        QList<QLineF> lines;
        for (auto& [x, spans] : vertical_) {
            for (const auto& [from, to] : joined(spans)) {
                lines.append({x, from, x, to});
            }
        }
        for (auto& [y, spans] : horizontal_) {
            for (const auto& [from, to] : joined(spans)) {
                lines.append({from, y, to, y});
            }
        }
        return lines;
    }

private:
    using Spans = std::vector<std::pair<qreal, qreal>>;

    static Spans joined(Spans& spans) {
        std::sort(spans.begin(), spans.end());
        Spans whole;
        for (const auto& span : spans) {
            if (!whole.empty() && span.first <= whole.back().second) {
                whole.back().second = std::max(whole.back().second, span.second);
            } else {
                whole.push_back(span);
            }
        }
        return whole;
    }

    std::map<qreal, Spans> vertical_;
    std::map<qreal, Spans> horizontal_;
};

} // namespace

SheetFonts::SheetFonts(double points, const QPaintDevice& device)
    : points(points), plain(sheetFont(points)), bold(sheetFont(points, true)),
      title(sheetFont(points * TitleScale, true)), small(sheetFont(points * SmallScale)),
      em(pixels(points, device)), padX(PadX * em), padY(PadY * em),
      thinLine(pixels(ThinPoints, device)), heavyLine(pixels(HeavyPoints, device)), gap(Gap * em) {}

SheetLayout::SheetLayout(const Sheet& sheet, QPaintDevice& device, QSizeF area,
                         double largestPoints)
    : sheet_(sheet), device_(device), area_(area), fonts_(largestPoints, device) {
    placeCells();
    for (double points = largestPoints;;) {
        layOut(points);
        const qreal infinite = std::numeric_limits<qreal>::infinity();
        const qreal across = narrowest_ > 0 ? area_.width() / narrowest_ : infinite;
        const qreal down = sheet_.onePage && height_ > 0 ? area_.height() / height_ : infinite;
        const qreal ratio = std::min(across, down);
        if (ratio >= 1 || points <= SmallestPoints) {
            whole_ = ratio >= 1;
            return;
        }
        // Most of the sheet scales with its text, so the ratio comes close
        // to the size that fits at once.
        points =
            std::max(SmallestPoints, std::min(points - PointStep,
                                              std::floor(points * ratio / PointStep) * PointStep));
    }
}

void SheetLayout::placeCells() {
    // As HTML places cells: a cell that spans rows keeps its columns from
    // the rows under it.
    std::vector<std::size_t> freeFrom;
    for (const std::vector<SheetRow>* rows : {&sheet_.table.head, &sheet_.table.body}) {
        for (const SheetRow& row : *rows) {
            std::size_t column = 0;
            for (const SheetCell& cell : row) {
                while (column < freeFrom.size() && freeFrom[column] > rowCount_) {
                    ++column;
                }
                const auto columns = static_cast<std::size_t>(std::max(cell.columns, 1));
                const auto rows = static_cast<std::size_t>(std::max(cell.rows, 1));
                cells_.push_back({&cell, QString::fromStdString(cell.text), 0, rowCount_, column,
                                  rows, columns});
                freeFrom.resize(std::max(freeFrom.size(), column + columns), 0);
                std::fill_n(freeFrom.begin() + static_cast<std::ptrdiff_t>(column), columns,
                            rowCount_ + rows);
                column += columns;
            }
            ++rowCount_;
        }
    }
    headRows_ = sheet_.table.head.size();
    columnCount_ = freeFrom.size();
}

void SheetLayout::layOut(double points) {
    fonts_ = SheetFonts(points, device_);
    measureColumns();
    measureRows();
    paginate();
}

void SheetLayout::measureColumns() {
    TextWidths widths(fonts_, device_);
    std::vector<qreal> least(columnCount_, 0);
    std::vector<qreal> most(columnCount_, 0);
    std::vector<std::pair<const Cell*, std::pair<qreal, qreal>>> spanning;
    for (Cell& cell : cells_) {
        qreal widest = 0;
        qreal longestWord = 0;
        for (const QStringView line : QStringView(cell.text).split(u'\n')) {
            widest = std::max(widest, widths(cell.cell->heading, line));
            for (const QStringView word : cell.cell->wraps ? line.split(u' ') : QList{line}) {
                longestWord = std::max(longestWord, widths(cell.cell->heading, word));
            }
        }
        cell.width = widest;
        const qreal pads = 2 * fonts_.padX;
        const std::pair extent{
            pads + (cell.cell->wraps ? std::min(longestWord, WholeWordEms * fonts_.em) : widest),
            pads + widest};
        if (cell.columns > 1) {
            spanning.push_back({&cell, extent});
        } else {
            least[cell.column] = std::max(least[cell.column], extent.first);
            most[cell.column] = std::max(most[cell.column], extent.second);
        }
    }
    for (const auto& [cell, extent] : spanning) {
        widen(least, cell->column, cell->columns, extent.first);
        widen(most, cell->column, cell->columns, extent.second);
    }
    for (std::size_t column = 0; column < columnCount_; ++column) {
        most[column] = std::max(most[column], least[column]);
    }
    narrowest_ = std::accumulate(least.begin(), least.end(), 0.0);
    columnX_.assign(1, 0);
    for (const qreal width : columnWidths(least, most, area_.width())) {
        columnX_.push_back(columnX_.back() + width);
    }
}

qreal SheetLayout::cellWidth(const Cell& cell) const {
    return columnX_[cell.column + cell.columns] - columnX_[cell.column];
}

qreal SheetLayout::cellHeight(const Cell& cell) const {
    const std::size_t end = std::min(rowCount_, cell.row + cell.rows);
    return std::accumulate(rowHeights_.begin() + static_cast<std::ptrdiff_t>(cell.row),
                           rowHeights_.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
}

bool SheetLayout::isBlock(const Cell& cell) {
    return cell.cell->wraps || cell.text.contains(u'\n');
}

void SheetLayout::measureRows() {
    const qreal lineHeight = QFontMetricsF(fonts_.plain, &device_).height();
    rowHeights_.assign(rowCount_, 0);
    // Cells of one row first, then those spanning rows, which make the last
    // of their rows taller where they need it.
    for (const bool spanning : {false, true}) {
        for (const Cell& cell : cells_) {
            if ((cell.rows > 1) != spanning) {
                continue;
            }
            const QFont& font = cell.cell->heading ? fonts_.bold : fonts_.plain;
            const qreal text = isBlock(cell) ? TextBlock(cell.text, font, device_,
                                                         cellWidth(cell) - 2 * fonts_.padX,
                                                         Qt::AlignLeft, cell.cell->wraps)
                                                   .height()
                                             : lineHeight;
            const qreal needed = text + 2 * fonts_.padY;
            const std::size_t last = std::min(rowCount_, cell.row + cell.rows) - 1;
            rowHeights_[last] += std::max<qreal>(0, needed - cellHeight(cell));
        }
    }
}

qreal SheetLayout::linesHeight(const std::vector<SheetLine>& lines) const {
    qreal height = 0;
    for (const SheetLine& line : lines) {
        height += TextBlock(QString::fromStdString(line.text), lineFont(fonts_, line.style),
                            device_, area_.width(), Qt::AlignLeft, true)
                      .height() +
                  LineGap * fonts_.em;
    }
    return height;
}

qreal SheetLayout::aboveHeight() const {
    qreal height = linesHeight(sheet_.above);
    if (!sheet_.table.caption.empty()) {
        height += fonts_.gap + linesHeight({{sheet_.table.caption}});
    }
    return height + (rowCount_ > 0 ? fonts_.gap : 0);
}

void SheetLayout::paginate() {
    pages_.clear();
    const qreal head = std::accumulate(
        rowHeights_.begin(), rowHeights_.begin() + static_cast<std::ptrdiff_t>(headRows_), 0.0);
    const std::size_t bodyRows = rowCount_ - headRows_;
    const bool flows = !sheet_.onePage;
    Page page{.above = true};
    qreal y = aboveHeight() + head;
    for (std::size_t row = 0; row < bodyRows; ++row) {
        const qreal height = rowHeights_[headRows_ + row];
        // A row that does not fit goes on to the next page, under the head
        // again; a page holds at least one row, however tall.
        if (flows && y + height > area_.height() && page.endRow > page.firstRow) {
            pages_.push_back(page);
            page = {false, row, row, false};
            y = head;
        }
        page.endRow = row + 1;
        y += height;
    }
    const qreal below = sheet_.below.empty() ? 0 : fonts_.gap + linesHeight(sheet_.below);
    if (flows && y + below > area_.height()) {
        pages_.push_back(page);
        page = {false, bodyRows, bodyRows, false};
        y = 0;
    }
    page.below = true;
    pages_.push_back(page);
    height_ = pages_.size() == 1 ? y + below : area_.height();
}

void SheetLayout::drawPage(QPainter& painter, int index) const {
    const Page& page = pages_.at(static_cast<std::size_t>(index));
    painter.setPen(Qt::black);
    qreal y = 0;
    if (page.above) {
        y = drawLines(painter, sheet_.above, y);
        if (!sheet_.table.caption.empty()) {
            y = drawLines(painter, {{sheet_.table.caption}}, y + fonts_.gap);
        }
        y += fonts_.gap;
    }
    if (rowCount_ > 0 && (page.above || page.endRow > page.firstRow)) {
        y = drawRows(painter, page.firstRow, page.endRow, y);
    }
    if (page.below && !sheet_.below.empty()) {
        drawLines(painter, sheet_.below, y + (y > 0 ? fonts_.gap : 0));
    }
}

qreal SheetLayout::drawLines(QPainter& painter, const std::vector<SheetLine>& lines,
                             qreal top) const {
    for (const SheetLine& line : lines) {
        const TextBlock block(QString::fromStdString(line.text), lineFont(fonts_, line.style),
                              device_, area_.width(), Qt::AlignLeft, true);
        block.draw(painter, {0, top});
        top += block.height() + LineGap * fonts_.em;
    }
    return top;
}

void SheetLayout::drawCell(QPainter& painter, const Cell& cell, const QRectF& rect,
                           const QFontMetricsF& metrics) const {
    const QFont& font = cell.cell->heading ? fonts_.bold : fonts_.plain;
    const QRectF inner = rect.adjusted(fonts_.padX, fonts_.padY, -fonts_.padX, -fonts_.padY);
    const Qt::Alignment alignment = cell.cell->left ? Qt::AlignLeft : Qt::AlignHCenter;
    if (isBlock(cell)) {
        const TextBlock block(cell.text, font, device_, inner.width(), alignment, cell.cell->wraps);
        block.draw(painter, {inner.left(), inner.top() + (inner.height() - block.height()) / 2});
        return;
    }
    // One line, placed by the width measured for the columns: the quick
    // way, for the hundreds of symbols of a sheet.
    if (painter.font() != font) {
        painter.setFont(font);
    }
    const qreal x =
        cell.cell->left ? inner.left() : inner.left() + (inner.width() - cell.width) / 2;
    const qreal y = inner.top() + (inner.height() - metrics.height()) / 2 + metrics.ascent();
    painter.drawText(QPointF(x, y), cell.text);
}

qreal SheetLayout::drawRows(QPainter& painter, std::size_t first, std::size_t end,
                            qreal top) const {
    // The head's rows, then the page's run of the body's.
    std::vector<qreal> tops(rowCount_, -1);
    qreal y = top;
    for (std::size_t row = 0; row < rowCount_; ++row) {
        if (row < headRows_ || (row >= headRows_ + first && row < headRows_ + end)) {
            tops[row] = y;
            y += rowHeights_[row];
        }
    }
    GridLines grid;
    grid.add({0, top, columnX_.back(), top});
    grid.add({0, top, 0, y});
    std::vector<QRectF> framed;
    const QFontMetricsF plain(fonts_.plain, &device_);
    const QFontMetricsF bold(fonts_.bold, &device_);
    for (const Cell& cell : cells_) {
        if (tops[cell.row] < 0) {
            continue;
        }
        const QRectF rect(columnX_[cell.column], tops[cell.row], cellWidth(cell), cellHeight(cell));
        if (cell.cell->shaded) {
            painter.fillRect(rect, QColor(Shade));
        }
        drawCell(painter, cell, rect, cell.cell->heading ? bold : plain);
        grid.add({rect.topRight(), rect.bottomRight()});
        grid.add({rect.bottomLeft(), rect.bottomRight()});
        if (cell.cell->differs) {
            framed.push_back(rect);
        }
    }
    painter.setPen(QPen(Qt::black, fonts_.thinLine));
    painter.drawLines(grid.lines());
    // Inside the cell, clear of its neighbours' frames.
    const qreal inset = fonts_.heavyLine / 2;
    painter.setPen(QPen(Qt::black, fonts_.heavyLine, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const QRectF& rect : framed) {
        painter.drawRect(rect.adjusted(inset, inset, -inset, -inset));
    }
    painter.setPen(Qt::black);
    return y;
}

} // namespace mx
