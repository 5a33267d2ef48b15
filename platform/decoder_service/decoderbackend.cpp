#include "decoderbackend.h"

namespace pral_matrix {

DecoderBackend::DecoderBackend(QObject* parent)
    : QObject(parent)
{
}

DecoderBackend::~DecoderBackend() = default;

void DecoderBackend::endSession(const QString& ip)
{
    if (sessionEnded)
        sessionEnded(ip);
}

} // namespace pral_matrix
