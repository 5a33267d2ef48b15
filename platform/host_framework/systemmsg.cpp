#include "systemmsg.h"

namespace pral_base {

SystemMsg::SystemMsg(QObject* parent)
    : QObject(parent)
{
}

SystemMsg::~SystemMsg() = default;

} // namespace pral_base
