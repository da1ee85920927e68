#pragma once

// One channel on the system clipboard, in two forms: its exact bytes under
// an application MIME type, for pasting between editors, and the readable
// text form, for people and other programs.

#include "channel_config.h"

#include <optional>

class QMimeData;

namespace mx {

inline constexpr const char* ChannelMimeType = "application/x-mx-config-channel";

// A new QMimeData holding the channel (index 0..7) in both forms.
QMimeData* channelMimeData(int channel, const ChannelSettings& settings);

// The channel on the clipboard: the exact form when it is there, else the
// text form when it reads completely as one channel; nothing otherwise.
std::optional<ChannelSettings> channelFromMimeData(const QMimeData* data);

} // namespace mx
