#pragma once

#include <QString>
#include <string>

namespace mx {

// Text from outside (a folder's name, a message naming a file) as the window
// shows it: control characters and bytes that are no UTF-8 escaped, as mxcfg
// prints them, so that a name cannot break or disguise a caption or message.
QString shown(const QString& text);
// The same for bytes, such as storage's messages, whose names are bytes.
QString shown(const std::string& bytes);

} // namespace mx
