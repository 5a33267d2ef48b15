#include "checkpwdstrength.h"

#include <QChar>
#include <QVector>

namespace PCOMMON {

int checkPwdStrength(const QString& password)
{
    constexpr int MinLength = 8;
    constexpr int MaxLength = 16;

    const QVector<uint> codePoints = password.toUcs4();
    if (codePoints.size() < MinLength || codePoints.size() > MaxLength)
        return -1;

    bool digit = false;
    bool lower = false;
    bool upper = false;
    bool other = false;
    for (uint c : codePoints) {
        if (QChar::isDigit(c))
            digit = true;
        else if (QChar::isLower(c))
            lower = true;
        else if (QChar::isUpper(c))
            upper = true;
        else if (QChar::isPrint(c))
            other = true;
    }
    const int kinds = int(digit) + int(lower) + int(upper) + int(other);
    if (kinds < 2)
        return 0;
    return kinds == 2 ? 1 : 2;
}

} // namespace PCOMMON
