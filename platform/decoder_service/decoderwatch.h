#pragma once

#include "decoder_service_global.h"
#include "decoderbackend.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMetaType>
#include <QMutex>
#include <QObject>

#include <functional>

class QTimer;

namespace pral_matrix {

/** A change after which a decoder is watched until it is back and shows the change. */
enum class ChangeKind
{
    Import,
    Upgrade,
    Password,
    Address,
    Reset,
};

/** What to watch for; the fields a kind does not use stay empty. */
struct DECODER_SERVICE_EXPORT WatchRequest
{
    ChangeKind kind = ChangeKind::Import;
    /** Where the decoder is to answer: after an address change, its new address. */
    QString ip;
    /** The credentials of the look: after a password change, the new password. */
    QString userName;
    QString password;
    /** When known: a decoder found back at formerIp must carry it. */
    QString deviceId;
    /** Address: where it was; a decoder found there again went back. */
    QString formerIp;
    /** Address: the mask it was given. */
    QString expectedMask;
    /** Upgrade: the version before, and the image's when it tells. */
    QString formerVersion;
    QString expectedVersion;
    /**
     * Upgrade: the boot the decoder ran before, when it tells (-1 otherwise).
     * A decoder still answering from it has not restarted yet: it is looked at
     * again, not judged by the version it still runs.
     */
    int formerBootId = -1;
    /** Import: the marker of the file (DecoderConfigFile::marker). */
    QString expectedMarker;
    /**
     * Who asked: 0 for the watch after an operator's change, which the page
     * tells; otherwise a batch of upgrades, which tells its outcomes itself.
     */
    quint64 tag = 0;
};

/** Where a watch stands, and once it ended, how. */
struct DECODER_SERVICE_EXPORT WatchOutcome
{
    enum Verdict
    {
        Watching,
        /** Back, and the change is what was asked. */
        Verified,
        /** Back, but without the change (or with another one). */
        NotApplied,
        /** Back, but it refused the login of the look. */
        Refused,
        /** Nothing answered within the time. */
        NotBack,
        /** Address: the new address was never confirmed, and the decoder is back at its former one. */
        Returned,
        /** The back end cannot look at decoders. */
        Unchecked,
    };

    ChangeKind kind = ChangeKind::Import;
    Verdict verdict = Watching;
    /** Where the decoder is now (for Returned, its former address). */
    QString ip;
    /** The address watched. */
    QString watchedIp;
    QString formerIp;
    /** For the operator, without the decoder's address: "back on line, version V2.4.0 (was V2.3.1)". */
    QString text;
    /** The version the decoder reported once it was logged in to; empty before. */
    QString version;
    /** The request's tag. */
    quint64 tag = 0;
    qint64 elapsedMs = 0;
    int timeoutMs = 0;

    bool ended() const { return verdict != Watching; }
    bool verified() const { return verdict == Verified; }
};

/**
 * @brief Watches decoders after a change that restarts or moves them until
 * they answer again, and reads back whether the change took.
 *
 * Each watch looks at its decoder through DecoderBackend::probe: a login of
 * its own with no handle and no connection result anyone sees, then what the
 * change was to do (the firmware version, the configuration's marker, the
 * new password, the new address and mask, which it also confirms, the
 * factory state). A decoder that does not answer is looked at again every
 * retry interval until the timeout; one that answers with a refused login is
 * not asked again, so a watch never locks an account. After an address change
 * the former address is looked at too: a decoder back there went back by
 * itself, and the return handler is told.
 *
 * The object lives on the service thread with its back end; watch() and the
 * options may be used from any thread. Both signals come from the service
 * thread: connect them queued (automatic), never blocking, so that watches
 * never hold up the service's other results. A new watch of an address
 * replaces the one running there.
 */
class DECODER_SERVICE_EXPORT DecoderWatch : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        /** How long a decoder has to come back. */
        int timeoutMs = 180000;
        /** Between two looks at a decoder that did not answer. */
        int retryMs = 1000;
    };

    /** The back end of the moment (service thread), and who moves a record back after a return. */
    DecoderWatch(std::function<DecoderBackend*()> backend,
                 std::function<void(const QString& formerIp, const QString& newIp)> returned,
                 QObject* parent = nullptr);
    ~DecoderWatch() override;

    void watch(const WatchRequest& request);
    void setOptions(const Options& options);
    Options options() const;
    /** Watches running now. */
    int activeCount() const;
    /** Ends every watch without an outcome (the decoders went with their back end); service thread. */
    void forgetAll();

    /** "firmware upgrade" and the like, for the operator. */
    static QString kindText(ChangeKind kind);

signals:
    void signalWatchStarted(pral_matrix::WatchOutcome state);
    /**
     * The decoder answers at the address watched (after an upgrade: from a
     * new boot), once per watch; what the change was to do is read next.
     */
    void signalWatchReached(pral_matrix::WatchOutcome state);
    void signalWatchFinished(pral_matrix::WatchOutcome outcome);

private:
    struct Entry
    {
        WatchRequest request;
        QElapsedTimer clock;
        int timeoutMs = 0;
        int looks = 0;
        bool reached = false;
        QString version;
        QTimer* timer = nullptr;
    };

    void start(const WatchRequest& request);
    void look(quint64 id);
    void onLook(quint64 id, const QString& target, const DecoderBackend::ProbeResult& result);
    void again(quint64 id);
    void finish(quint64 id, WatchOutcome::Verdict verdict, const QString& text, const QString& whereNow);
    void drop(quint64 id);
    WatchOutcome stateOf(const Entry& entry) const;

    std::function<DecoderBackend*()> currentBackend;
    std::function<void(const QString&, const QString&)> returnHandler;
    mutable QMutex optionMutex;
    Options opts;
    QAtomicInt running;
    QMap<quint64, Entry> entries;
    quint64 nextId = 1;
};

} // namespace pral_matrix

Q_DECLARE_METATYPE(pral_matrix::WatchOutcome)
