#pragma once

// Text from outside (a folder's name, a message naming a file) as the window
// shows it: the one escaping of printable_text.h, which mxcfg prints with,
// for Qt's strings, so that a name cannot break or disguise a caption or a
// message.

#include "printable_text.h"

#include <QString>
#include <string>

namespace mx {

inline QString printable(const std::string& bytes) {
    return QString::fromStdString(printable(std::string_view(bytes)));
}

inline QString printable(const QString& text) {
    return printable(text.toStdString());
}

} // namespace mx
