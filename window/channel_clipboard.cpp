#include "channel_clipboard.h"

#include "printable_text.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace mx {

namespace {

// The exact form: the fourteen mask bytes in record order, then one byte of
// recall flags.
constexpr qsizetype ExactSize = SwitchFieldCount + 1;
constexpr std::uint8_t AllRecallFlags = RecallFlagNames[0].bit | RecallFlagNames[1].bit;

// Clipboard text longer than this holds no configuration.
constexpr qsizetype LongestText = 64 * 1024;

std::optional<ChannelSettings> fromExact(const QByteArray& exact) {
    if (exact.size() != ExactSize) {
        return std::nullopt;
    }
    const auto flags = static_cast<std::uint8_t>(exact.back());
    if ((flags & ~AllRecallFlags) != 0) {
        return std::nullopt;
    }
    ChannelSettings settings;
    for (std::size_t i = 0; i < SwitchFieldCount; ++i) {
        fieldOf(settings.Switches, AllSwitchFields[i]) =
            static_cast<SwitchMask>(exact[static_cast<qsizetype>(i)]);
    }
    setRecallFlags(settings, flags);
    return settings;
}

} // namespace

QMimeData* channelMimeData(int channel, const ChannelSettings& settings) {
    QByteArray exact;
    for (const SwitchField field : AllSwitchFields) {
        exact.append(static_cast<char>(fieldOf(settings.Switches, field)));
    }
    exact.append(static_cast<char>(recallFlags(settings)));
    auto* data = new QMimeData;
    data->setData(ChannelMimeType, exact);
    data->setText(QString::fromStdString(channelToText(channel, settings)));
    return data;
}

ClipboardContent ClipboardContent::of(const QMimeData* data) {
    if (data == nullptr) {
        return {};
    }
    return {data->data(ChannelMimeType), data->hasText() ? data->text() : QString()};
}

std::optional<ClipboardContent> DirectClipboard::read() {
    return ClipboardContent::of(QGuiApplication::clipboard()->mimeData());
}

ClipboardChannels channelsOnClipboard(const std::optional<ClipboardContent>& content) {
    if (!content) {
        return {{},
                "The clipboard did not answer: the program that holds it may be busy. Try "
                "again, or copy again."};
    }
    if (const auto exact = fromExact(content->exact)) {
        return {{{-1, *exact, {}}}, {}};
    }
    const QString none = "The clipboard holds no channel. Copy a channel in MX_config, or text "
                         "that has a \"Channel N\" line and the lines of its groups.";
    if (content->text.size() > LongestText) {
        return {{}, none};
    }
    ConfigTextReader reader(TextReading::Forgiving);
    reader.feed(content->text.toStdString());
    std::vector<ChannelText> channels;
    if (const auto error = reader.finish(channels)) {
        return {{},
                QString("The text on the clipboard cannot be pasted as a channel: %1.")
                    .arg(QString::fromStdString(printable(error->describe())))};
    }
    if (channels.empty()) {
        return {{}, none};
    }
    return {channels, {}};
}

} // namespace mx
