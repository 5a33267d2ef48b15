#pragma once

#include "host_framework_global.h"
#include "psingleton.h"

#include <QObject>

namespace pral_base {

/**
 * @brief Process-wide channel through which module pages tell the host what
 * they agreed to (for example that the page may close).
 */
class HOST_FRAMEWORK_EXPORT ModuleAccess : public QObject, public PSingleton<ModuleAccess>
{
    Q_OBJECT
    friend class PSingleton<ModuleAccess>;

signals:
    /** The TV-wall page agreed to close. */
    void signalMatrixConfigFormClosed();

private:
    explicit ModuleAccess(QObject* parent = nullptr);
    ~ModuleAccess() override;
};

} // namespace pral_base
