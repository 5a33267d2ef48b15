#pragma once

#include "decoder_service_global.h"

#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QString>

namespace pral_matrix {
class MatrixSdkWorker;
}

/**
 * @brief The live connection to one decoder, as the service hands it out.
 *
 * Read-only for everyone but the service: a handle describes the login that
 * made it (address, credentials, decoder type, version, model and boot) and
 * never changes.
 * Always held as QSharedPointer<CSharedHandle>; a null pointer means "not
 * connected".
 */
class DECODER_SERVICE_EXPORT CSharedHandle : public QObject
{
public:
    ~CSharedHandle() override;

    QString ip() const { return handleIp; }
    QString userName() const { return handleUser; }
    QString password() const { return handlePassword; }
    int matrixType() const { return handleType; }
    QString version() const { return handleVersion; }
    /** What firmware images must be made for; empty when the decoder did not tell. */
    QString model() const { return handleModel; }
    /** The decoder's boot when it was logged in to; -1 when it did not tell. */
    int bootId() const { return handleBoot; }

private:
    friend class pral_matrix::MatrixSdkWorker;

    CSharedHandle(const QString& ip, const QString& userName, const QString& password, int matrixType,
                  const QString& version, const QString& model = QString(), int bootId = -1);

    const QString handleIp;
    const QString handleUser;
    const QString handlePassword;
    const int handleType;
    const QString handleVersion;
    const QString handleModel;
    const int handleBoot;
};

namespace pral_matrix {
using ::CSharedHandle;
}

// Without this the smart-pointer helper would name the type after QObject's
// meta-object ("QSharedPointer<QObject>"), since the handle has none of its own.
Q_DECLARE_METATYPE(QSharedPointer<CSharedHandle>)
