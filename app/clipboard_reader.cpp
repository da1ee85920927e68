#include "clipboard_reader.h"

#include <QClipboard>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>

namespace mx {

BoundedClipboard::BoundedClipboard(QString program) : program_(std::move(program)) {}

std::optional<ClipboardContent> BoundedClipboard::read() {
    if (QGuiApplication::platformName() != "xcb" || QGuiApplication::clipboard()->ownsClipboard()) {
        return DirectClipboard().read();
    }
    QProcess helper;
    helper.start(program_, {QString("--") + HelperOption});
    if (!helper.waitForFinished(static_cast<int>(Patience.count()))) {
        helper.kill();
        helper.waitForFinished();
        return std::nullopt;
    }
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0) {
        return std::nullopt;
    }
    QDataStream in(helper.readAllStandardOutput());
    ClipboardContent content;
    in >> content.exact >> content.text;
    if (in.status() != QDataStream::Ok) {
        return std::nullopt;
    }
    return content;
}

int printClipboard() {
    const ClipboardContent content = DirectClipboard().read().value_or(ClipboardContent{});
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << content.exact << content.text;
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly) || output.write(bytes) != bytes.size()) {
        return 1;
    }
    return output.flush() ? 0 : 1;
}

} // namespace mx
