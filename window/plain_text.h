#pragma once

// What the user or the disk gives (names of units and channels, folder and
// file names, messages that quote them) is shown as the very characters it
// holds. Tool tips and labels guess whether a text is rich text, and would
// take a channel named "<img src=/dev/zero>" for markup and load the
// "image": every such text goes through here on its way to one of them.

#include <QString>

namespace mx {

// The text for a tool tip or an automatic-format label: as it is when Qt
// would show it as plain text anyway, else escaped, so that Qt shows it
// literally.
QString asPlainText(const QString& text);

} // namespace mx
