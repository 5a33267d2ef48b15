#include "matrixconfigsignals.h"

namespace pral_matrixConfig {

MatrixConfigSignals::MatrixConfigSignals(QObject* parent)
    : QObject(parent)
{
}

MatrixConfigSignals::~MatrixConfigSignals() = default;

} // namespace pral_matrixConfig
