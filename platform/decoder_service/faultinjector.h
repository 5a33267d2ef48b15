#pragma once

#include "decoder_service_global.h"

#include <QMap>
#include <QMutex>
#include <QSet>
#include <QString>

namespace pral_matrix {

/**
 * @brief Faults that tests and demonstrations arm on purpose; the back ends
 * consult it on the service thread.
 *
 * Every fault stays armed until it is cleared. All members may be called from
 * any thread.
 */
class DECODER_SERVICE_EXPORT FaultInjector
{
public:
    enum class LoginFault
    {
        None,
        /** The decoder does not answer the login: a plain failure with the armed code. */
        Refuse,
        /** Counted like a mistyped password, whatever was typed. */
        WrongPassword,
        /** The account reports itself locked for a full lock period. */
        Locked,
        /** The device reports itself not activated. */
        NotActivated,
    };

    FaultInjector() = default;
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    /** code is the connection result of a refused login (ignored for the other faults). */
    void setLoginFault(const QString& ip, LoginFault fault, int code = -4);
    /** getLayout and setLayout of the wall held by ip fail with code. */
    void failLayout(const QString& ip, int code);
    /** The upgrade of the card-th device (from 1) of every upgrade fails with code. */
    void failUpgrade(int card, int code);
    /** Every upgrade of the decoder at ip fails with code, wherever it stands in its list. */
    void failUpgradeOf(const QString& ip, int code);
    /**
     * The decoder at ip takes a firmware image and restarts to run it, but
     * comes back running the version it had.
     */
    void keepFirmware(const QString& ip);
    /**
     * The connection to ip breaks in the middle of each configuration import
     * or firmware upgrade of that decoder: nothing of the file is applied.
     */
    void breakTransfers(const QString& ip);
    /**
     * Nothing answers a login at ip, as with an address this client has no
     * route to; connections already made go on.
     */
    void setUnreachable(const QString& ip, bool unreachable = true);
    /** Every armed fault is cleared. */
    void clear();

    LoginFault loginFault(const QString& ip, int* code = nullptr) const;
    bool layoutFault(const QString& ip, int* code) const;
    bool upgradeFault(int card, int* code) const;
    bool upgradeFaultOf(const QString& ip, int* code) const;
    bool keepsFirmware(const QString& ip) const;
    bool transferBreaks(const QString& ip) const;
    bool unreachable(const QString& ip) const;

private:
    struct Login
    {
        LoginFault fault = LoginFault::None;
        int code = 0;
    };

    mutable QMutex mutex;
    QMap<QString, Login> logins;
    QMap<QString, int> layouts;
    QMap<int, int> upgrades;
    QMap<QString, int> decoderUpgrades;
    QSet<QString> keptFirmware;
    QSet<QString> brokenTransfers;
    QSet<QString> unreachableIps;
};

} // namespace pral_matrix
