#include "toolscollection.h"

namespace PCOMMON {

QString ToolsCollection::reverseString(const QString& text)
{
    QString reversed;
    reversed.reserve(text.size());
    for (int i = text.size() - 1; i >= 0; --i) {
        const QChar c = text.at(i);
        if (c.isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()) {
            reversed.append(text.at(i - 1));
            reversed.append(c);
            --i;
        } else {
            reversed.append(c);
        }
    }
    return reversed;
}

} // namespace PCOMMON
