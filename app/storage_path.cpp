#include "storage_path.h"

#include <QFile>

namespace mx {

std::string storagePath(const QString& path) {
#if defined(Q_OS_WIN)
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString fromStoragePath(const std::string& path) {
#if defined(Q_OS_WIN)
    return QString::fromStdString(path);
#else
    return QFile::decodeName(QByteArray::fromStdString(path));
#endif
}

} // namespace mx
