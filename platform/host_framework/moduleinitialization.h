#pragma once

#include "host_framework_global.h"

#include <QObject>

namespace pral_base {

/**
 * @brief Base of a module's entry object: the host asks it for pages and
 * tells it when to reset.
 */
class HOST_FRAMEWORK_EXPORT ModuleInitialization : public QObject
{
    Q_OBJECT

public:
    explicit ModuleInitialization(QObject* parent = nullptr);
    ~ModuleInitialization() override;

    /** Called by the host to bring the module back to its state after start-up. */
    virtual void recoveryToInitialState();
    /** Called by the host once all modules are loaded. */
    virtual void moduleInit();
    /** Called by the module's own constructor; records that the module is up. */
    void init();

    bool isInitialized() const { return initialized; }

private:
    bool initialized = false;
};

} // namespace pral_base
