#pragma once

#include <QString>

namespace mx {

// Help → Keyboard and mouse: every key, and what the boxes' marks mean.
QString keysHelpText();
// Help → About MX_config: the version, the licence, and where the editor
// keeps what it keeps.
QString aboutText(const QString& recoveryFolder, const QString& recentFile);

} // namespace mx
