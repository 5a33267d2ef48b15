#pragma once

#include "host_framework_global.h"

#include <QString>

namespace PCOMMON {

/**
 * @brief Small text helpers shared by the modules.
 */
class HOST_FRAMEWORK_EXPORT ToolsCollection
{
public:
    /** The characters of text in opposite order; a surrogate pair stays one character. */
    static QString reverseString(const QString& text);

private:
    ToolsCollection() = delete;
};

} // namespace PCOMMON
