#include "plain_text.h"

#include <QTextDocument>

namespace mx {

QString asPlainText(const QString& text) {
    // Qt decides by the same test: what it would not read as markup is left
    // alone, so that ordinary tips are stored exactly as written.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

} // namespace mx
