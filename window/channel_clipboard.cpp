#include "channel_clipboard.h"

#include "config_text.h"

#include <QMimeData>

namespace mx {

namespace {

// The exact form: the fourteen mask bytes in record order, then one byte of
// recall flags.
constexpr qsizetype ExactSize = SwitchFieldCount + 1;
constexpr std::uint8_t AllRecallFlags = RecallFlagNames[0].bit | RecallFlagNames[1].bit;

// Clipboard text longer than this is no channel: not worth reading on every
// clipboard change.
constexpr qsizetype LongestChannelText = 16 * 1024;

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

std::optional<ChannelSettings> channelFromMimeData(const QMimeData* data) {
    if (data == nullptr) {
        return std::nullopt;
    }
    if (data->hasFormat(ChannelMimeType)) {
        const QByteArray exact = data->data(ChannelMimeType);
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
    if (!data->hasText()) {
        return std::nullopt;
    }
    const QString text = data->text();
    if (text.size() > LongestChannelText) {
        return std::nullopt;
    }
    ChannelText channel;
    if (channelFromText(text.toStdString(), channel)) {
        return std::nullopt;
    }
    return channel.settings;
}

} // namespace mx
