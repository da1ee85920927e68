// The floor for "mxcfg binder" as a whole process: a program that links
// QtGui, reads each folder's two files and draws the same cells straight
// into one QPdfWriter with QPainter, at the text size the binder gives
// them, on a fixed grid that measures nothing: a list of the units, then a
// page for each with its title lines, the two header rows, its 48 switch
// cells and the unnamed bits' column in each group's row, the recall rows,
// the lines between them, the notes and the page's foot.
//   mx_pdf_floor POINTS OUT FOLDER...

#include "config_files.h"
#include "config_sheet.h"
#include "sheet_pages.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <functional>
#include <string>

namespace {

using namespace mx;

bool readFolder(const char* folder, ChannelConfig& config) {
    QByteArray bytes;
    for (const char* name : {SwitchFileName, SettingsFileName}) {
        QFile file(QFile::decodeName(folder) + "/" + name);
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        bytes += file.readAll();
    }
    if (bytes.size() != SwitchBlockSize + RecallBlockSize) {
        return false;
    }
    SwitchBlock block{};
    std::copy_n(bytes.constData(), block.size(), block.begin());
    overwriteFromBlock(config.Switches, block);
    config.Recall = {static_cast<std::uint8_t>(bytes[SwitchBlockSize]),
                     static_cast<std::uint8_t>(bytes[SwitchBlockSize + 1])};
    return true;
}

// One grid: a column for the group, 48 for the switches, one for bits 32
// and 64; a row for each group and each recall flag.
struct Grid {
    QRectF page;
    qreal line;

    qreal columnX(int column) const {
        const qreal group = page.width() * 0.16;
        const qreal cell = page.width() * 0.72 / 48;
        return column == 0 ? 0 : group + cell * (column - 1);
    }
    qreal rowY(int row) const { return line * (4 + row * 1.4); }
};

// The body's rows start under the two header rows.
constexpr int HeadRows = 2;

void drawHead(QPainter& painter, const Grid& grid,
              const std::function<void(int, int, const QString&)>& cell) {
    cell(0, 0, "Group");
    for (int channel = 0; channel < ChannelCount; ++channel) {
        cell(0, 1 + channel * 6, QString("Channel %1").arg(channel + 1));
        for (int i = 0; i < 6; ++i) {
            cell(1, 1 + channel * 6 + i, QString(MaskBitSymbols[static_cast<std::size_t>(i)]));
        }
    }
    cell(0, 49, "Bits 32, 64: channels");
    painter.drawText(QPointF(0, grid.rowY(0) - grid.line), "Switches of each channel: P PGM, 1 "
                                                           "to 4 TB 1 to TB 4, H PH PWR.");
}

void drawUnit(QPainter& painter, const Grid& grid, const ChannelConfig& config, const QString& name,
              const QString& foot) {
    painter.drawText(QPointF(0, grid.line), name);
    painter.drawText(QPointF(0, grid.line * 2.2), "Made now.");
    const auto cell = [&](int row, int column, const QString& text) {
        painter.drawText(
            QPointF(grid.columnX(column) + grid.line * 0.3, grid.rowY(row + 1) - grid.line * 0.4),
            text);
    };
    drawHead(painter, grid, cell);
    for (const SwitchField field : AllSwitchFields) {
        const int row = HeadRows + static_cast<int>(field);
        cell(row, 0, fieldCaption(field));
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const SwitchMask mask =
                fieldOf(config.Switches.Channels[static_cast<std::size_t>(channel)], field);
            for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
                const int column = 1 + channel * 6 + static_cast<int>(i);
                const bool on = (mask & AllSwitches[i]) != 0;
                if ((editableSwitches(field) & AllSwitches[i]) == 0) {
                    painter.fillRect(QRectF(grid.columnX(column), grid.rowY(row),
                                            grid.columnX(column + 1) - grid.columnX(column),
                                            grid.rowY(row + 1) - grid.rowY(row)),
                                     QColor(0xd0, 0xd0, 0xd0));
                    cell(row, column, on ? SheetGreyedOn : SheetGreyedOff);
                } else {
                    cell(row, column, on ? SheetOn : SheetOff);
                }
            }
        }
        cell(row, 49, "32: 1, 3; 64: 2");
    }
    for (const RecallField field : AllRecallFields) {
        const int row = HeadRows + SwitchFieldCount + static_cast<int>(field);
        cell(row, 0, recallCaption(field));
        for (int channel = 0; channel < ChannelCount; ++channel) {
            cell(row, 1 + channel * 6 + 3,
                 testRecall(config.Recall, channel, field).value() ? SheetOn : SheetOff);
        }
    }
    constexpr int Rows = HeadRows + SwitchFieldCount + 2;
    QList<QLineF> lines;
    for (int row = 0; row <= Rows; ++row) {
        lines.append({0, grid.rowY(row), grid.columnX(50), grid.rowY(row)});
    }
    for (int column = 0; column <= 50; ++column) {
        lines.append({grid.columnX(column), grid.rowY(0), grid.columnX(column), grid.rowY(Rows)});
    }
    painter.drawLines(lines);
    painter.drawText(QPointF(0, grid.rowY(Rows) + grid.line * 1.5), "No bit 32 or 64 is set.");
    painter.drawText(QPointF(0, grid.page.height() - grid.line), name);
    painter.drawText(QPointF(grid.page.width() * 0.9, grid.page.height() - grid.line), foot);
}

} // namespace

int main(int argc, char** argv) {
    const QGuiApplication application(argc, argv);
    constexpr int First = 3;
    if (argc <= First) {
        return 2;
    }
    QPdfWriter writer(QFile::decodeName(argv[2]));
    writer.setPageLayout(sheetPageLayout());
    QPainter painter(&writer);
    QFont font("DejaVu Sans");
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(std::stod(argv[1]));
    painter.setFont(font);
    const Grid grid{writer.pageLayout().paintRectPixels(writer.logicalDpiX()),
                    QFontMetricsF(font, &writer).height()};
    for (int i = First; i < argc; ++i) {
        painter.drawText(QPointF(0, grid.rowY(i - First)), QFile::decodeName(argv[i]));
    }
    for (int i = First; i < argc; ++i) {
        ChannelConfig config;
        if (!readFolder(argv[i], config)) {
            return 1;
        }
        writer.newPage();
        drawUnit(painter, grid, config, QFile::decodeName(argv[i]),
                 QString("Page %1 of %2").arg(i - First + 2).arg(argc - First + 1));
    }
    return 0;
}
