#include "decoderbackend.h"

namespace pral_matrix {

DecoderBackend::DecoderBackend(QObject* parent)
    : QObject(parent)
{
}

DecoderBackend::~DecoderBackend() = default;

void DecoderBackend::endSession(const QString& ip, SessionEnd why)
{
    if (sessionEnded)
        sessionEnded(ip, why);
}

void DecoderBackend::probe(const Probe& probe, std::function<void(const ProbeResult&)> done)
{
    Q_UNUSED(probe)
    ProbeResult result;
    result.result = RESULT_UNSUPPORTED;
    QMetaObject::invokeMethod(
        this, [done, result] { done(result); }, Qt::QueuedConnection);
}

} // namespace pral_matrix
