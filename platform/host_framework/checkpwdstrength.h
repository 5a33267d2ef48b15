#pragma once

#include "host_framework_global.h"

#include <QString>

namespace PCOMMON {

/**
 * Rates a password.
 *
 * Characters are counted as Unicode code points, and each belongs to one kind:
 * digit, lower-case letter, upper-case letter or other printable character
 * (non-printable ones belong to none).
 *
 * @return -1 when the length is not 8 to 16; 0 when fewer than two kinds are used;
 *         1 with two kinds; 2 with three or four kinds.
 */
HOST_FRAMEWORK_EXPORT int checkPwdStrength(const QString& password);

} // namespace PCOMMON
