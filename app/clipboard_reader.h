#pragma once

#include "channel_clipboard.h"

#include <QString>
#include <chrono>

namespace mx {

// The clipboard, read without ever holding up the editor for more than a
// moment. On X11 Qt waits for the program that owns the clipboard, up to
// five seconds for each of its requests, and one that does not answer would
// freeze the editor that long. So a clipboard another program owns is read
// there by a short-lived helper (this program, started with
// --read-clipboard), which is given a second. On Wayland Qt waits a second
// for each type it asks for, so one type is asked for. A clipboard this
// program owns, and the clipboards of other platforms, are read directly.
class BoundedClipboard : public ClipboardSource {
public:
    static constexpr std::chrono::milliseconds Patience{1000};
    static constexpr const char* HelperOption = "read-clipboard";

    // program is this program's executable.
    explicit BoundedClipboard(QString program);

    std::optional<ClipboardContent> read() override;

private:
    QString program_;
};

// The helper's side, for --read-clipboard: writes what the clipboard holds
// to standard output. Needs a QGuiApplication.
int printClipboard();

} // namespace mx
