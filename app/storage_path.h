#pragma once

#include <QString>
#include <string>

namespace mx {

// A path as storage takes it: on POSIX the bytes of the name, as the file
// system holds them; on Windows UTF-8, which storage turns into the wide
// names Windows holds (the ANSI code page would lose characters).
std::string storagePath(const QString& path);
QString fromStoragePath(const std::string& path);

} // namespace mx
