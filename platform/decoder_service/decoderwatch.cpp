#include "decoderwatch.h"

#include <QPointer>
#include <QTimer>

namespace pral_matrix {

namespace {

/** The decoder itself answered the login, whatever it said: it is back. */
bool answered(int result)
{
    return result == RESULT_OK || result == RESULT_WRONG_PASSWORD || result == RESULT_USER_LOCKED ||
           result == RESULT_NOT_ACTIVATED;
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

DecoderWatch::DecoderWatch(std::function<DecoderBackend*()> backend,
                           std::function<void(const QString&, const QString&)> returned, QObject* parent)
    : QObject(parent)
    , currentBackend(std::move(backend))
    , returnHandler(std::move(returned))
{
    qRegisterMetaType<WatchOutcome>("pral_matrix::WatchOutcome");
}

DecoderWatch::~DecoderWatch() = default;

QString DecoderWatch::kindText(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Import:
        return tr("configuration import");
    case ChangeKind::Upgrade:
        return tr("firmware upgrade");
    case ChangeKind::Password:
        return tr("password change");
    case ChangeKind::Address:
        return tr("address change");
    case ChangeKind::Reset:
        return tr("factory reset");
    }
    return QString();
}

void DecoderWatch::setOptions(const Options& options)
{
    QMutexLocker lock(&optionMutex);
    opts.timeoutMs = qMax(0, options.timeoutMs);
    opts.retryMs = qMax(1, options.retryMs);
}

DecoderWatch::Options DecoderWatch::options() const
{
    QMutexLocker lock(&optionMutex);
    return opts;
}

int DecoderWatch::activeCount() const
{
    return running.loadAcquire();
}

void DecoderWatch::watch(const WatchRequest& request)
{
    if (request.ip.isEmpty())
        return;
    running.ref();
    QMetaObject::invokeMethod(
        this, [this, request] { start(request); }, Qt::QueuedConnection);
}

void DecoderWatch::start(const WatchRequest& request)
{
    // The latest change of an address is the one to verify.
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->request.ip == request.ip) {
            drop(it.key());
            break;
        }
    }
    const quint64 id = nextId++;
    Entry entry;
    entry.request = request;
    entry.timeoutMs = options().timeoutMs;
    entry.clock.start();
    entry.timer = new QTimer(this);
    entry.timer->setSingleShot(true);
    connect(entry.timer, &QTimer::timeout, this, [this, id] { look(id); });
    entries.insert(id, entry);
    emit signalWatchStarted(stateOf(entry));
    // Not within the request that started it: the change may still be on its way to the decoder.
    entry.timer->start(0);
}

WatchOutcome DecoderWatch::stateOf(const Entry& entry) const
{
    WatchOutcome state;
    state.kind = entry.request.kind;
    state.ip = entry.request.ip;
    state.watchedIp = entry.request.ip;
    state.formerIp = entry.request.formerIp;
    state.tag = entry.request.tag;
    state.version = entry.version;
    state.timeoutMs = entry.timeoutMs;
    state.elapsedMs = entry.clock.elapsed();
    state.text = tr("waiting up to %1 s for the decoder to come back").arg(seconds(entry.timeoutMs));
    return state;
}

void DecoderWatch::look(quint64 id)
{
    const auto it = entries.find(id);
    if (it == entries.end())
        return;
    DecoderBackend* backend = currentBackend ? currentBackend() : nullptr;
    if (!backend) {
        finish(id, WatchOutcome::Unchecked, tr("cannot be checked over this connection"), it->request.ip);
        return;
    }
    const WatchRequest& r = it->request;
    // After an address change every other look goes to the former address.
    const bool former =
        r.kind == ChangeKind::Address && !r.formerIp.isEmpty() && r.formerIp != r.ip && it->looks % 2 == 1;
    ++it->looks;
    DecoderBackend::Probe probe;
    probe.ip = former ? r.formerIp : r.ip;
    probe.userName = r.userName;
    probe.password = r.password;
    probe.readNetwork = r.kind == ChangeKind::Address && !former;
    // Only a new address waits for its confirmation.
    probe.confirmAddress = probe.readNetwork && !r.formerIp.isEmpty() && r.formerIp != r.ip;
    const QString target = probe.ip;
    const QPointer<DecoderWatch> self(this);
    backend->probe(probe, [self, id, target](const DecoderBackend::ProbeResult& result) {
        if (self)
            self->onLook(id, target, result);
    });
}

void DecoderWatch::again(quint64 id)
{
    const auto it = entries.find(id);
    if (it == entries.end())
        return;
    const qint64 left = it->timeoutMs - it->clock.elapsed();
    if (left <= 0) {
        const WatchRequest& r = it->request;
        const QString text = r.kind == ChangeKind::Address && !r.formerIp.isEmpty() && r.formerIp != r.ip
                                 ? tr("not back within %1 s, neither at %2 nor at %3")
                                       .arg(seconds(it->timeoutMs), r.ip, r.formerIp)
                                 : tr("not back within %1 s").arg(seconds(it->timeoutMs));
        finish(id, WatchOutcome::NotBack, text, r.ip);
        return;
    }
    it->timer->start(int(qMin<qint64>(options().retryMs, left)));
}

void DecoderWatch::onLook(quint64 id, const QString& target, const DecoderBackend::ProbeResult& look)
{
    const auto it = entries.find(id);
    if (it == entries.end())
        return;
    const WatchRequest r = it->request;
    if (look.result == RESULT_UNSUPPORTED) {
        finish(id, WatchOutcome::Unchecked, tr("cannot be checked over this connection"), r.ip);
        return;
    }
    if (!answered(look.result)) {
        again(id);
        return;
    }
    if (target != r.ip) {
        // Someone answers at the former address: the decoder, if it lets us in and is the one that moved.
        const bool same = look.result == RESULT_OK &&
                          (r.deviceId.isEmpty() || look.deviceId.isEmpty() || look.deviceId == r.deviceId);
        if (!same) {
            again(id);
            return;
        }
        if (returnHandler)
            returnHandler(r.formerIp, r.ip);
        finish(id, WatchOutcome::Returned,
               tr("went back to %1: the new address %2 could not be confirmed from this computer")
                   .arg(r.formerIp, r.ip),
               r.formerIp);
        return;
    }

    const bool loggedIn = look.result == RESULT_OK;
    // A decoder that still runs the boot it had when its upgrade began is still installing.
    if (r.kind == ChangeKind::Upgrade && loggedIn && r.formerBootId >= 0 && look.bootId == r.formerBootId) {
        again(id);
        return;
    }
    if (loggedIn)
        it->version = look.version;
    if (!it->reached) {
        it->reached = true;
        emit signalWatchReached(stateOf(*it));
    }
    if (r.kind == ChangeKind::Reset) {
        if (look.result == RESULT_NOT_ACTIVATED)
            finish(id, WatchOutcome::Verified, tr("back in its factory state, waiting for activation"), r.ip);
        else
            finish(id, WatchOutcome::NotApplied, tr("back, but still activated"), r.ip);
        return;
    }
    if (r.kind == ChangeKind::Password) {
        if (loggedIn)
            finish(id, WatchOutcome::Verified, tr("the new password works"), r.ip);
        else if (look.result == RESULT_NOT_ACTIVATED)
            finish(id, WatchOutcome::NotApplied, tr("back, but not activated"), r.ip);
        else
            finish(id, WatchOutcome::Refused, tr("the new password is refused"), r.ip);
        return;
    }
    if (!loggedIn) {
        finish(id, WatchOutcome::Refused,
               look.result == RESULT_NOT_ACTIVATED
                   ? tr("back, but not activated")
                   : tr("back, but the login was refused: the change cannot be read back"),
               r.ip);
        return;
    }

    switch (r.kind) {
    case ChangeKind::Upgrade:
        if (!r.formerVersion.isEmpty() && look.version == r.formerVersion)
            finish(id, WatchOutcome::NotApplied, tr("back, but still at %1").arg(look.version), r.ip);
        else if (!r.expectedVersion.isEmpty() && look.version != r.expectedVersion)
            finish(id, WatchOutcome::NotApplied,
                   tr("back, but at version %1 instead of %2").arg(look.version, r.expectedVersion), r.ip);
        else if (!r.formerVersion.isEmpty())
            finish(id, WatchOutcome::Verified,
                   tr("back on line, version %1 (was %2)").arg(look.version, r.formerVersion), r.ip);
        else
            finish(id, WatchOutcome::Verified, tr("back on line, version %1").arg(look.version), r.ip);
        return;
    case ChangeKind::Import:
        // A decoder of ours tells its boot, and with it the marker (empty before any import).
        if (r.expectedMarker.isEmpty() || look.bootId < 0)
            finish(id, WatchOutcome::Verified,
                   tr("back on line; it does not tell which configuration it runs"), r.ip);
        else if (look.configMarker == r.expectedMarker)
            finish(id, WatchOutcome::Verified, tr("back on line with the imported configuration"), r.ip);
        else
            finish(id, WatchOutcome::NotApplied, tr("back, but the imported configuration is not in use"),
                   r.ip);
        return;
    case ChangeKind::Address: {
        // A confirmation that did not get through is tried again: without it the decoder goes back.
        if (look.confirmResult != RESULT_OK && look.confirmResult != RESULT_UNSUPPORTED) {
            again(id);
            return;
        }
        if (look.address != r.ip) {
            finish(id, WatchOutcome::NotApplied,
                   tr("on line at %1, but it reports the address %2").arg(r.ip, look.address), r.ip);
        } else if (!r.expectedMask.isEmpty() && look.mask != r.expectedMask) {
            finish(id, WatchOutcome::NotApplied,
                   tr("on line at %1, but with mask %2 instead of %3").arg(r.ip, look.mask, r.expectedMask),
                   r.ip);
        } else if (look.confirmResult == RESULT_OK) {
            finish(id, WatchOutcome::Verified,
                   tr("on line at %1, mask %2; the change is confirmed").arg(r.ip, look.mask), r.ip);
        } else if (r.formerIp.isEmpty() || r.formerIp == r.ip) {
            finish(id, WatchOutcome::Verified, tr("on line at %1, mask %2").arg(r.ip, look.mask), r.ip);
        } else {
            finish(id, WatchOutcome::Verified,
                   tr("on line at %1, mask %2; this decoder takes a new address without confirmation: "
                      "it could not have gone back to %3 by itself")
                       .arg(r.ip, look.mask, r.formerIp),
                   r.ip);
        }
        return;
    }
    case ChangeKind::Password:
    case ChangeKind::Reset:
        break;
    }
}

void DecoderWatch::finish(quint64 id, WatchOutcome::Verdict verdict, const QString& text,
                          const QString& whereNow)
{
    const auto it = entries.find(id);
    if (it == entries.end())
        return;
    WatchOutcome outcome = stateOf(*it);
    outcome.verdict = verdict;
    outcome.text = text;
    outcome.ip = whereNow;
    drop(id);
    emit signalWatchFinished(outcome);
}

void DecoderWatch::drop(quint64 id)
{
    const auto it = entries.find(id);
    if (it == entries.end())
        return;
    delete it->timer;
    entries.erase(it);
    running.deref();
}

void DecoderWatch::forgetAll()
{
    while (!entries.isEmpty())
        drop(entries.firstKey());
}

} // namespace pral_matrix
