#include "faultinjector.h"

namespace pral_matrix {

void FaultInjector::setLoginFault(const QString& ip, LoginFault fault, int code)
{
    QMutexLocker lock(&mutex);
    if (fault == LoginFault::None)
        logins.remove(ip);
    else
        logins.insert(ip, Login{fault, code});
}

void FaultInjector::failLayout(const QString& ip, int code)
{
    QMutexLocker lock(&mutex);
    layouts.insert(ip, code);
}

void FaultInjector::failUpgrade(int card, int code)
{
    QMutexLocker lock(&mutex);
    upgrades.insert(card, code);
}

void FaultInjector::failUpgradeOf(const QString& ip, int code)
{
    QMutexLocker lock(&mutex);
    decoderUpgrades.insert(ip, code);
}

void FaultInjector::keepFirmware(const QString& ip)
{
    QMutexLocker lock(&mutex);
    keptFirmware.insert(ip);
}

void FaultInjector::breakTransfers(const QString& ip)
{
    QMutexLocker lock(&mutex);
    brokenTransfers.insert(ip);
}

void FaultInjector::setUnreachable(const QString& ip, bool unreachable)
{
    QMutexLocker lock(&mutex);
    if (unreachable)
        unreachableIps.insert(ip);
    else
        unreachableIps.remove(ip);
}

void FaultInjector::clear()
{
    QMutexLocker lock(&mutex);
    unreachableIps.clear();
    logins.clear();
    layouts.clear();
    upgrades.clear();
    decoderUpgrades.clear();
    keptFirmware.clear();
    brokenTransfers.clear();
}

FaultInjector::LoginFault FaultInjector::loginFault(const QString& ip, int* code) const
{
    QMutexLocker lock(&mutex);
    const Login login = logins.value(ip);
    if (code)
        *code = login.code;
    return login.fault;
}

bool FaultInjector::layoutFault(const QString& ip, int* code) const
{
    QMutexLocker lock(&mutex);
    const auto it = layouts.constFind(ip);
    if (it == layouts.constEnd())
        return false;
    *code = it.value();
    return true;
}

bool FaultInjector::upgradeFault(int card, int* code) const
{
    QMutexLocker lock(&mutex);
    const auto it = upgrades.constFind(card);
    if (it == upgrades.constEnd())
        return false;
    *code = it.value();
    return true;
}

bool FaultInjector::upgradeFaultOf(const QString& ip, int* code) const
{
    QMutexLocker lock(&mutex);
    const auto it = decoderUpgrades.constFind(ip);
    if (it == decoderUpgrades.constEnd())
        return false;
    *code = it.value();
    return true;
}

bool FaultInjector::keepsFirmware(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return keptFirmware.contains(ip);
}

bool FaultInjector::transferBreaks(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return brokenTransfers.contains(ip);
}

bool FaultInjector::unreachable(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return unreachableIps.contains(ip);
}

} // namespace pral_matrix
