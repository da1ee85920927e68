#include "clipboard_reader.h"

#include <QClipboard>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>

namespace mx {

namespace {

// On Wayland each type asked of the owner is a wait of up to a second when
// it does not answer, so only one is asked for: the best that the offer
// lists (the list itself costs no wait). An offered type that comes back
// empty is an owner that did not answer.
std::optional<ClipboardContent> readOneOffered() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) {
        return ClipboardContent{};
    }
    const QStringList offered = data->formats();
    for (const QString& type :
         {QString(ChannelMimeType), QString("text/plain;charset=utf-8"), QString("text/plain")}) {
        if (!offered.contains(type)) {
            continue;
        }
        const QByteArray bytes = data->data(type);
        if (bytes.isEmpty()) {
            return std::nullopt;
        }
        return type == ChannelMimeType ? ClipboardContent{bytes, {}}
                                       : ClipboardContent{{}, QString::fromUtf8(bytes)};
    }
    return ClipboardContent{};
}

} // namespace

BoundedClipboard::BoundedClipboard(QString program) : program_(std::move(program)) {}

std::optional<ClipboardContent> BoundedClipboard::read() {
    if (QGuiApplication::clipboard()->ownsClipboard()) {
        return DirectClipboard().read();
    }
    if (QGuiApplication::platformName().startsWith("wayland")) {
        return readOneOffered();
    }
    if (QGuiApplication::platformName() != "xcb") {
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
