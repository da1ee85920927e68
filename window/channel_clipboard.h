#pragma once

// Channels on the system clipboard. A copied channel goes there in two
// forms: its exact bytes under an application MIME type, for pasting between
// editors, and the readable text form, for people and other programs. A
// paste takes the exact form, or reads the text forgivingly: quoted in a
// mail, with a greeting around it, or a whole exported configuration.

#include "channel_config.h"
#include "config_text.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

class QMimeData;

namespace mx {

inline constexpr const char* ChannelMimeType = "application/x-mx-config-channel";

// A new QMimeData holding the channel (index 0..7) in both forms.
QMimeData* channelMimeData(int channel, const ChannelSettings& settings);

// What the clipboard held when it was read.
struct ClipboardContent {
    QByteArray exact; // the exact form, if there
    QString text;     // its text, if any

    static ClipboardContent of(const QMimeData* data);
};

// Where the window reads the clipboard from, only when the user pastes or
// opens its menu. Reading may take long: the program that owns the clipboard
// is asked for it, and one that does not answer would freeze the editor.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;
    // What the clipboard holds, or nothing when it did not answer in time.
    virtual std::optional<ClipboardContent> read() = 0;
};

// Reads the application's clipboard directly: at once for a clipboard this
// program owns, and where the platform's clipboard itself gives up in time.
class DirectClipboard : public ClipboardSource {
public:
    std::optional<ClipboardContent> read() override;
};

// The channels the clipboard held, each with the channel it was copied from
// (-1 for the exact form, which does not say), or why there are none.
struct ClipboardChannels {
    std::vector<ChannelText> channels;
    QString problem;
};

// What can be pasted from the content, or, from nothing, that the clipboard
// did not answer.
ClipboardChannels channelsOnClipboard(const std::optional<ClipboardContent>& content);

} // namespace mx
