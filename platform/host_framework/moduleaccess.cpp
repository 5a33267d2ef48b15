#include "moduleaccess.h"

namespace pral_base {

ModuleAccess::ModuleAccess(QObject* parent)
    : QObject(parent)
{
}

ModuleAccess::~ModuleAccess() = default;

} // namespace pral_base
