#include "matrixconfigmoduleinit.h"

#include "matrixconfigform.h"

namespace pral_matrixConfig {

matrixConfigModuleInit::matrixConfigModuleInit(QObject* parent)
    : pral_base::ModuleInitialization(parent)
{
    init();
}

matrixConfigModuleInit::~matrixConfigModuleInit() = default;

pral_base::BaseForm* matrixConfigModuleInit::createMatrixConfigForm()
{
    return new MatrixConfigForm();
}

void matrixConfigModuleInit::recoveryToInitialState() {}

} // namespace pral_matrixConfig
