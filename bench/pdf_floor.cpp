// The floor for "mxcfg binder" as a whole process: a program that links
// QtGui, reads each folder's two files and lays the same sheets out once,
// with QTextDocument, at the text size the binder gives them, printing them
// one after another into one QPdfWriter.
//   mx_pdf_floor POINTS OUT FOLDER...

#include "config_files.h"
#include "config_sheet.h"
#include "sheet_pages.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <algorithm>
#include <string>

namespace {

bool readFolder(const char* folder, mx::ChannelConfig& config) {
    QByteArray bytes;
    for (const char* name : {mx::SwitchFileName, mx::SettingsFileName}) {
        QFile file(QFile::decodeName(folder) + "/" + name);
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        bytes += file.readAll();
    }
    if (bytes.size() != mx::SwitchBlockSize + mx::RecallBlockSize) {
        return false;
    }
    mx::SwitchBlock block{};
    std::copy_n(bytes.constData(), block.size(), block.begin());
    mx::overwriteFromBlock(config.Switches, block);
    config.Recall = {static_cast<std::uint8_t>(bytes[mx::SwitchBlockSize]),
                     static_cast<std::uint8_t>(bytes[mx::SwitchBlockSize + 1])};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const QGuiApplication application(argc, argv);
    constexpr int First = 3;
    if (argc <= First) {
        return 2;
    }
    const double points = std::stod(argv[1]);
    QPdfWriter writer(QFile::decodeName(argv[2]));
    writer.setPageLayout(mx::sheetPageLayout());
    const QRectF page = writer.pageLayout().paintRectPixels(writer.logicalDpiX());
    QPainter painter(&writer);
    for (int i = First; i < argc; ++i) {
        mx::ChannelConfig config;
        if (!readFolder(argv[i], config)) {
            return 1;
        }
        QTextDocument sheet;
        QFont font = sheet.defaultFont();
        font.setPointSizeF(points);
        sheet.setDefaultFont(font);
        sheet.documentLayout()->setPaintDevice(&writer);
        sheet.setPageSize(page.size());
        sheet.setHtml(QString::fromStdString(configSheet(config, {argv[i], "now"})));
        if (i > First) {
            writer.newPage();
        }
        sheet.drawContents(&painter, QRectF(QPointF(), page.size()));
    }
    return 0;
}
