#pragma once

#include "host_framework_global.h"

#include <QString>

namespace pral_contact {

/**
 * @brief Fixed keys shared between the host and its modules; the alert kinds
 * select the colour of a SystemAssistant notice.
 */
class HOST_FRAMEWORK_EXPORT DictDef
{
public:
    static inline const QString alertSuccess = QStringLiteral("success");
    static inline const QString alertWarning = QStringLiteral("warning");
    static inline const QString alertNotice = QStringLiteral("notice");

private:
    DictDef() = delete;
};

} // namespace pral_contact
