#include "pdf_module.h"

#include "sheet_pages.h"

#include <QGuiApplication>
#include <array>
#include <cstdio>
#include <string>
#include <type_traits>

namespace {

// Qt's own notes on the way (no runtime folder, a font substituted) are not
// the user's business: mxcfg says itself what failed. Only Qt's critical
// messages go through.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "mxcfg: %s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

} // namespace

extern "C" Q_DECL_EXPORT void mxcfgRenderPdfs(const std::vector<mx::SheetDocument>& documents,
                                              std::vector<QByteArray>& pdfs) {
    const QtMessageHandler previous = qInstallMessageHandler(quietMessages);
    {
        // Drawing needs fonts, not a display: mxcfg runs in scripts, over
        // ssh and where no desktop is. Windows' own platform opens no window
        // and has the system's fonts, which the offscreen one lacks there.
#if defined(Q_OS_WIN)
        std::array<std::string, 3> words = {"mxcfg", "-platform", "windows"};
#else
        std::array<std::string, 3> words = {"mxcfg", "-platform", "offscreen"};
#endif
        std::array<char*, 4> arguments = {words[0].data(), words[1].data(), words[2].data(),
                                          nullptr};
        int count = static_cast<int>(words.size());
        const QGuiApplication application(count, arguments.data());
        const QPageLayout layout = mx::sheetPageLayout();
        for (const mx::SheetDocument& document : documents) {
            pdfs.push_back(mx::sheetPdf(document, layout));
        }
    }
    qInstallMessageHandler(previous);
}

static_assert(std::is_same_v<decltype(&mxcfgRenderPdfs), mx::RenderPdfs>,
              "mxcfg calls the module through RenderPdfs");
