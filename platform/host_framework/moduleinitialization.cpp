#include "moduleinitialization.h"

namespace pral_base {

ModuleInitialization::ModuleInitialization(QObject* parent)
    : QObject(parent)
{
}

ModuleInitialization::~ModuleInitialization() = default;

void ModuleInitialization::recoveryToInitialState() {}

void ModuleInitialization::moduleInit() {}

void ModuleInitialization::init()
{
    initialized = true;
}

} // namespace pral_base
