#pragma once

#include "matrix_config_global.h"
#include "moduleinitialization.h"
#include "psingleton.h"

namespace pral_base {
class BaseForm;
}

namespace pral_matrixConfig {

/**
 * @brief Entry object of the TV-wall configuration module: the host asks it
 * for the module's page.
 */
class MATRIX_CONFIG_EXPORT matrixConfigModuleInit : public pral_base::ModuleInitialization,
                                                    public PSingleton<matrixConfigModuleInit>
{
    Q_OBJECT
    friend class PSingleton<matrixConfigModuleInit>;

public:
    /** A new page on every call; the caller owns it. */
    pral_base::BaseForm* createMatrixConfigForm();

    /** The module keeps no state of its own at this level, so there is nothing to reset. */
    void recoveryToInitialState() override;

private:
    explicit matrixConfigModuleInit(QObject* parent = nullptr);
    ~matrixConfigModuleInit() override;
};

} // namespace pral_matrixConfig
