#include "shown_text.h"

#include "printable_text.h"

namespace mx {

QString shown(const QString& text) {
    return shown(text.toStdString());
}

QString shown(const std::string& bytes) {
    return QString::fromStdString(printable(bytes));
}

} // namespace mx
