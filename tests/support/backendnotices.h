#pragma once

#include "onvifbackend.h"

#include <QMutex>
#include <QStringList>

#include <memory>

/**
 * The network back end's notices, taken from whichever thread tells them. A back end given to the
 * service outlives the test function that wired it and keeps checking its decoders' links from its pool:
 * what it tells afterwards must land in texts that still exist, so they are shared with the connection,
 * which is cut when the notices go.
 */
struct BackendNotices
{
    struct Texts
    {
        QMutex mutex;
        QStringList list;
    };
    std::shared_ptr<Texts> texts = std::make_shared<Texts>();
    QMetaObject::Connection connection;

    BackendNotices() = default;
    BackendNotices(const BackendNotices&) = delete;
    BackendNotices& operator=(const BackendNotices&) = delete;
    ~BackendNotices() { QObject::disconnect(connection); }

    void wire(pral_matrix::OnvifBackend* backend)
    {
        connection = QObject::connect(
            backend, &pral_matrix::OnvifBackend::signalNetworkProblem, backend,
            [texts = texts](const QString&, const QString& text) {
                QMutexLocker lock(&texts->mutex);
                texts->list << text;
            },
            Qt::DirectConnection);
    }
    QStringList all() const
    {
        QMutexLocker lock(&texts->mutex);
        return texts->list;
    }
    QString joined() const { return all().join(QLatin1Char('\n')); }
};
