#include "matrixstore.h"

#include "recordjson.h"
#include "safefile.h"
#include "secretbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLockFile>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

namespace pral_matrix {

const char* const MatrixStore::DecoderFileName = "decoders.json";
const char* const MatrixStore::TvWallFileName = "tvwalls.json";
const char* const MatrixStore::LockFileName = "tvwall.lock";

namespace {

const QString DecoderFormat = QStringLiteral("tvwall-decoders");
const QString TvWallFormat = QStringLiteral("tvwall-tvwalls");
const QString DecoderListKey = QStringLiteral("decoders");
const QString TvWallListKey = QStringLiteral("tvWalls");
constexpr int FormatVersion = 1;
/** Lines of a report that lists what a damaged document lost. */
constexpr int MaxIssuesShown = 8;

QString stampedName(const QString& path, const QString& label)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString name = QStringLiteral("%1.%2-%3").arg(path, label, stamp);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1.%2-%3-%4").arg(path, label, stamp).arg(n);
    return name;
}

template <typename T>
bool sameValue(const T& a, const T& b)
{
    return a.isSharedWith(b) || a == b;
}

bool sameOutputs(const QList<OutputInfo>& a, const QList<OutputInfo>& b)
{
    if (a.isSharedWith(b))
        return true;
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).outputId != b.at(i).outputId || a.at(i).outputNo != b.at(i).outputNo ||
            a.at(i).outputSpare != b.at(i).outputSpare)
            return false;
    }
    return true;
}

// Every field the document keeps; copies of one record share their texts and lists, which settles most
// comparisons without reading them.
bool sameEntry(const MatrixInfo& a, const MatrixInfo& b)
{
    if (a.matrixType != b.matrixType || a.spare1 != b.spare1 || a.spare2 != b.spare2 ||
        a.spare3 != b.spare3 || a.column != b.column || a.row != b.row || a.extraValue != b.extraValue ||
        a.channel != b.channel || a.channelCount != b.channelCount || a.activated != b.activated ||
        a.connectStatus != b.connectStatus || a.spare4 != b.spare4 || !sameValue(a.deviceId, b.deviceId) ||
        !sameValue(a.ip, b.ip) || !sameValue(a.userName, b.userName) || !sameValue(a.password, b.password) ||
        !sameValue(a.version, b.version) || !sameOutputs(a.outputList, b.outputList))
        return false;
    if (a.subMatrixList.isSharedWith(b.subMatrixList))
        return true;
    if (a.subMatrixList.size() != b.subMatrixList.size())
        return false;
    for (int i = 0; i < a.subMatrixList.size(); ++i) {
        if (!sameEntry(a.subMatrixList.at(i), b.subMatrixList.at(i)))
            return false;
    }
    return true;
}

bool sameEntry(const TvWallManagement& a, const TvWallManagement& b)
{
    if (!sameValue(a.tvWallName, b.tvWallName) || !sameValue(a.mainIp, b.mainIp) || a.row != b.row ||
        a.col != b.col || a.connected != b.connected || !sameEntry(a.mainMatrix, b.mainMatrix))
        return false;
    if (a.matrixInfoList.isSharedWith(b.matrixInfoList))
        return true;
    if (a.matrixInfoList.size() != b.matrixInfoList.size())
        return false;
    for (int i = 0; i < a.matrixInfoList.size(); ++i) {
        if (!sameEntry(a.matrixInfoList.at(i), b.matrixInfoList.at(i)))
            return false;
    }
    return true;
}

bool sameCopy(const DecoderWallCopy& a, const DecoderWallCopy& b)
{
    return a.kept == b.kept && a.changedOnDecoder == b.changedOnDecoder && sameEntry(a.wall, b.wall);
}

} // namespace

MatrixStore::MatrixStore(QObject* parent)
    : QObject(parent)
{
    writeTimer.setSingleShot(true);
    connect(&writeTimer, &QTimer::timeout, this, &MatrixStore::writePending);
}

MatrixStore::~MatrixStore()
{
    QMutexLocker lock(&mutex);
    flushLocked();
    releaseLockLocked();
}

void MatrixStore::setProblemReporter(std::function<void(ProblemKind, const QString&)> reporter)
{
    QMutexLocker lock(&mutex);
    problemReporter = std::move(reporter);
}

QString MatrixStore::docName(int doc)
{
    return QString::fromLatin1(doc == DecoderDoc ? DecoderFileName : TvWallFileName);
}

QString MatrixStore::resolvedDataDirLocked() const
{
    if (!explicitDataDir.isEmpty())
        return explicitDataDir;
    const QString fromEnv = qEnvironmentVariable("TVWALL_DATA_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString MatrixStore::resolvedKeyFileLocked() const
{
    if (!explicitKeyFile.isEmpty())
        return explicitKeyFile;
    const QString fromEnv = qEnvironmentVariable("TVWALL_KEY_FILE");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return SecretBox::defaultKeyFile();
}

QString MatrixStore::dataDirectory() const
{
    QMutexLocker lock(&mutex);
    return resolvedDataDirLocked();
}

QString MatrixStore::keyFile() const
{
    QMutexLocker lock(&mutex);
    return resolvedKeyFileLocked();
}

void MatrixStore::resetLocked()
{
    loaded = false;
    blocked = 0;
    dirty = 0;
    failing = 0;
    passwordsUnsavedReported = false;
    decoderMap.clear();
    tvWallMap.clear();
    wallCopies.clear();
    keptSeals.clear();
    entryTexts.clear();
}

void MatrixStore::setDataDirectory(const QString& dir)
{
    QMutexLocker lock(&mutex);
    // What was changed belongs to the old directory.
    flushLocked();
    releaseLockLocked();
    explicitDataDir = dir;
    resetLocked();
}

void MatrixStore::setKeyFile(const QString& path)
{
    QMutexLocker lock(&mutex);
    flushLocked();
    explicitKeyFile = path;
    secrets.reset();
    resetLocked();
}

SecretBox& MatrixStore::secretsLocked()
{
    if (!secrets)
        secrets = std::make_unique<SecretBox>(resolvedKeyFileLocked());
    return *secrets;
}

// ---- the lock ----

bool MatrixStore::lockDirectory(QString* why)
{
    QMutexLocker lock(&mutex);
    return holdLockLocked(why);
}

bool MatrixStore::holdLockLocked(QString* why)
{
    if (lockFile && lockFile->isLocked())
        return true;
    const QString dir = resolvedDataDirLocked();
    const QString path = QDir(dir).filePath(QString::fromLatin1(LockFileName));
    QDir().mkpath(dir);
    lockFile = std::make_unique<QLockFile>(path);
    // Only a holder that is gone makes a lock stale, however old it is.
    lockFile->setStaleLockTime(0);
    if (lockFile->tryLock(0))
        return true;
    if (why) {
        qint64 pid = 0;
        QString host;
        QString app;
        if (lockFile->error() == QLockFile::LockFailedError && lockFile->getLockInfo(&pid, &host, &app))
            *why = tr("the data directory %1 is in use by process %2 (%3 on %4)")
                       .arg(dir)
                       .arg(pid)
                       .arg(app.isEmpty() ? tr("unnamed") : app, host);
        else
            *why = tr("the lock file %1 cannot be made").arg(path);
    }
    lockFile.reset();
    return false;
}

void MatrixStore::releaseLockLocked()
{
    if (lockFile)
        lockFile->unlock();
    lockFile.reset();
}

// ---- reading ----

MatrixInfoMap MatrixStore::decoders()
{
    QMutexLocker lock(&mutex);
    ensureLoadedLocked();
    return decoderMap;
}

QMap<QString, TvWallManagement> MatrixStore::tvWalls()
{
    QMutexLocker lock(&mutex);
    ensureLoadedLocked();
    return tvWallMap;
}

bool MatrixStore::isPasswordUnavailable(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return keptSeals.value(DecoderDoc).contains(ip) && decoderMap.value(ip).password.isEmpty();
}

void MatrixStore::ensureLoadedLocked()
{
    if (loaded)
        return;
    loaded = true;
    // The first process to use the directory keeps it; a second one reads but never writes.
    holdLockLocked(nullptr);

    int resealDocs = 0;
    int doc = DecoderDoc;
    const RecordJson::Opener open = [this, &doc, &resealDocs](const QString& sealed, const MatrixInfo& entry,
                                                              const QString& path) {
        QString plain;
        bool oldFormat = false;
        if (secretsLocked().open(sealed, RecordJson::passwordIdentity(entry), &plain, &oldFormat)) {
            if (oldFormat)
                resealDocs |= doc;
            return plain;
        }
        keptSeals[doc].insert(path, KeptSeal{sealed, secretsLocked().lastError()});
        return QString();
    };

    QStringList issues;
    const QJsonArray decoders =
        readDocumentLocked(DecoderDoc, QString::fromLatin1(DecoderFileName), DecoderFormat, DecoderListKey);
    QHash<QString, int> entryOfIp;
    for (int i = 0; i < decoders.size(); ++i) {
        if (!decoders.at(i).isObject()) {
            issues.append(tr("entry %1 is not a decoder").arg(i + 1));
            continue;
        }
        const QJsonObject object = decoders.at(i).toObject();
        const QString path = object.value(QStringLiteral("ip")).toString();
        // A later entry replaces an earlier one of the same address, and so does its kept password.
        keptSeals[DecoderDoc].remove(path);
        // Keyed by the record as read: the key and the record's address must never differ.
        const MatrixInfo info = RecordJson::matrixInfoFromJson(object, open, path, &issues);
        if (info.ip.isEmpty()) {
            issues.append(tr("entry %1 has no address").arg(i + 1));
            continue;
        }
        if (entryOfIp.contains(info.ip))
            issues.append(tr("entries %1 and %2 are both %3; entry %1 is dropped")
                              .arg(entryOfIp.value(info.ip))
                              .arg(i + 1)
                              .arg(info.ip));
        entryOfIp.insert(info.ip, i + 1);
        decoderMap.insert(info.ip, info);
    }
    if (!issues.isEmpty())
        keepDamagedCopyLocked(DecoderDoc, QString::fromLatin1(DecoderFileName), issues);

    issues.clear();
    doc = TvWallDoc;
    const QJsonArray walls =
        readDocumentLocked(TvWallDoc, QString::fromLatin1(TvWallFileName), TvWallFormat, TvWallListKey);
    QHash<QString, int> entryOfName;
    for (int i = 0; i < walls.size(); ++i) {
        const TvWallManagement wall = walls.at(i).isObject()
                                          ? RecordJson::tvWallFromJson(walls.at(i).toObject(), open, &issues)
                                          : TvWallManagement();
        if (wall.tvWallName.isEmpty()) {
            issues.append(tr("entry %1 is not a named TV wall").arg(i + 1));
            continue;
        }
        if (entryOfName.contains(wall.tvWallName))
            issues.append(tr("entries %1 and %2 are both \"%3\"; entry %1 is dropped")
                              .arg(entryOfName.value(wall.tvWallName))
                              .arg(i + 1)
                              .arg(wall.tvWallName));
        entryOfName.insert(wall.tvWallName, i + 1);
        tvWallMap.insert(wall.tvWallName, wall);
        // A later entry of the same name replaces the copy of an earlier one, or drops it.
        wallCopies.remove(wall.tvWallName);
        const QJsonValue copy = walls.at(i).toObject().value(QStringLiteral("decoderCopy"));
        if (copy.isObject()) {
            const DecoderWallCopy read = RecordJson::wallCopyFromJson(
                copy.toObject(), wall.tvWallName + QStringLiteral("/decoderCopy"), &issues);
            if (read.kept)
                wallCopies.insert(wall.tvWallName, read);
        } else if (!copy.isUndefined()) {
            issues.append(
                QCoreApplication::translate("pral_matrix::RecordJson", "%1: \"%2\" %3")
                    .arg(wall.tvWallName, QStringLiteral("decoderCopy"),
                         QCoreApplication::translate("pral_matrix::RecordJson", "is not an object")));
        }
    }
    if (!issues.isEmpty())
        keepDamagedCopyLocked(TvWallDoc, QString::fromLatin1(TvWallFileName), issues);

    // Only the decoder list matters to the operator: its decoders are the ones not logged in.
    if (!keptSeals.value(DecoderDoc).isEmpty())
        reportKeyProblemLocked();
    // Values of the first format are sealed again, bound to their entries, at the next write.
    if (resealDocs) {
        dirty |= resealDocs;
        scheduleWriteLocked();
    }
}

QJsonArray MatrixStore::readDocumentLocked(int docId, const QString& fileName, const QString& format,
                                           const QString& listKey)
{
    const QString path = QDir(resolvedDataDirLocked()).filePath(fileName);
    QFile file(path);
    if (!file.exists())
        return QJsonArray();
    if (!file.open(QIODevice::ReadOnly)) {
        moveAsideLocked(docId, path, tr("cannot be read (%1)").arg(file.errorString()));
        return QJsonArray();
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    file.close();
    if (parseError.error != QJsonParseError::NoError) {
        moveAsideLocked(
            docId, path,
            tr("is not valid JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
        return QJsonArray();
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QStringLiteral("format")).toString() != format ||
        !root.value(listKey).isArray()) {
        moveAsideLocked(docId, path, tr("is not a %1 document").arg(format));
        return QJsonArray();
    }
    if (root.value(QStringLiteral("version")).toInt() > FormatVersion) {
        moveAsideLocked(docId, path, tr("was written by a newer version"));
        return QJsonArray();
    }
    return root.value(listKey).toArray();
}

void MatrixStore::moveAsideLocked(int doc, const QString& path, const QString& why)
{
    const QString aside = stampedName(path, QStringLiteral("corrupt"));
    if (QFile::rename(path, aside)) {
        reportLocked(tr("%1 %2; it was kept as %3 and an empty list is used.").arg(path, why, aside));
    } else {
        reportLocked(tr("%1 %2 and could not be moved aside; an empty list is used and the file "
                        "will not be written over.")
                         .arg(path, why));
        // The file stays where it is, so it must not be written over either.
        blocked |= doc;
    }
}

void MatrixStore::keepDamagedCopyLocked(int doc, const QString& fileName, const QStringList& issues)
{
    const QString path = QDir(resolvedDataDirLocked()).filePath(fileName);
    QStringList shown = issues.mid(0, MaxIssuesShown);
    if (issues.size() > MaxIssuesShown)
        shown.append(tr("%1 more").arg(issues.size() - MaxIssuesShown));
    //: Between the problems of a damaged list, within one sentence.
    const QString lost = shown.join(tr("; "));
    // A copy, not a move: the remains are in use, and the file is whole until the next write replaces it.
    const QString aside = stampedName(path, QStringLiteral("damaged"));
    if (QFile::copy(path, aside)) {
        reportLocked(tr("%1 is damaged; what could not be used is left out: %2. The file as it was "
                        "is kept as %3.")
                         .arg(path, lost, aside));
    } else {
        reportLocked(tr("%1 is damaged (%2) and could not be copied aside; it will not be written "
                        "over, so changes to this list are not saved.")
                         .arg(path, lost));
        blocked |= doc;
    }
}

void MatrixStore::reportKeyProblemLocked()
{
    const QHash<QString, KeptSeal> waiting = keptSeals.value(DecoderDoc);
    QStringList where = waiting.keys();
    where.sort();
    const QString reason = waiting.constBegin()->reason;
    const bool keyGone = secretsLocked().keyState() != SecretBox::KeyReady;
    QString text = tr("The stored passwords of %1 decoder(s) cannot be opened: %2. They are not "
                      "logged in: %3.")
                       .arg(where.size())
                       .arg(reason, where.join(QStringLiteral(", ")));
    if (keyGone)
        text += tr(" To recover them, quit and put the original key file back at %1; nothing is "
                   "lost meanwhile. If it is lost for good, log in to each of these decoders again "
                   "(Decoder Management, the row's login button); a new key is made once no decoder "
                   "waits for the old one.")
                    .arg(secretsLocked().keyFile());
    else
        text += tr(" They were sealed under another key or altered. Log in to each of these decoders "
                   "again (Decoder Management, the row's login button); until then the old values "
                   "are kept.");
    reportLocked(text, KeyProblem);
}

// ---- writing ----

void MatrixStore::replaceDecoders(const QList<MatrixInfo>& list)
{
    QMutexLocker lock(&mutex);
    // Loading first keeps a damaged document aside before it can be replaced.
    ensureLoadedLocked();
    decoderMap.clear();
    for (const MatrixInfo& info : list)
        decoderMap.insert(info.ip, info);
    dirty |= DecoderDoc;
    scheduleWriteLocked();
}

void MatrixStore::replaceTvWalls(const QList<TvWallManagement>& list)
{
    QMutexLocker lock(&mutex);
    ensureLoadedLocked();
    tvWallMap.clear();
    for (const TvWallManagement& wall : list)
        tvWallMap.insert(wall.tvWallName, wall);
    for (auto it = wallCopies.begin(); it != wallCopies.end();) {
        if (tvWallMap.contains(it.key()))
            ++it;
        else
            it = wallCopies.erase(it);
    }
    dirty |= TvWallDoc;
    scheduleWriteLocked();
}

DecoderWallCopy MatrixStore::wallCopy(const QString& tvWallName)
{
    QMutexLocker lock(&mutex);
    ensureLoadedLocked();
    return wallCopies.value(tvWallName);
}

void MatrixStore::setWallCopy(const QString& tvWallName, const DecoderWallCopy& copy)
{
    QMutexLocker lock(&mutex);
    ensureLoadedLocked();
    if (copy.kept)
        wallCopies.insert(tvWallName, copy);
    else
        wallCopies.remove(tvWallName);
    // Written with its wall; a wall not listed yet takes it along when the list comes.
    if (tvWallMap.contains(tvWallName)) {
        dirty |= TvWallDoc;
        scheduleWriteLocked();
    }
}

void MatrixStore::scheduleWriteLocked()
{
    // Each replace puts the write off until the stream pauses, but not past the longest delay.
    if (!sinceFirstUnwritten.isValid())
        sinceFirstUnwritten.start();
    const qint64 left = MaxWriteDelayMs - sinceFirstUnwritten.elapsed();
    const int wait = int(qBound<qint64>(0, left, QuietWriteMs));
    // The timer belongs to the thread that made the store; a replace from any
    // other thread must not touch it directly.
    if (thread() == QThread::currentThread())
        writeTimer.start(wait);
    else
        QMetaObject::invokeMethod(&writeTimer, "start", Qt::QueuedConnection, Q_ARG(int, wait));
}

void MatrixStore::writePending()
{
    QMutexLocker lock(&mutex);
    flushLocked();
}

bool MatrixStore::flush()
{
    QMutexLocker lock(&mutex);
    return flushLocked();
}

bool MatrixStore::mayMakeKeyLocked()
{
    // A new key would leave every password sealed under the old one unopenable for good, even once the old
    // key file is back: only when no decoder of the list still waits for its password is a new key made.
    // The TV walls' records carry mere copies, which nothing logs in with; they do not hold the key back.
    const QHash<QString, KeptSeal> waiting = keptSeals.value(DecoderDoc);
    for (auto it = waiting.constBegin(); it != waiting.constEnd(); ++it) {
        const auto decoder = decoderMap.constFind(it.key());
        if (decoder != decoderMap.constEnd() && decoder->password.isEmpty())
            return false;
    }
    return true;
}

QList<QByteArray> MatrixStore::buildDocumentLocked(int doc, bool* passwordsLost)
{
    SecretBox& box = secretsLocked();
    QHash<QString, KeptSeal>& kept = keptSeals[doc];
    QSet<QString> replaced;
    QSet<QString> present;
    QStringList* touched = nullptr;
    bool keyTried = false;
    const RecordJson::Sealer seal = [&](const MatrixInfo& entry, const QString& path) {
        present.insert(path);
        if (touched)
            touched->append(path);
        const auto old = kept.constFind(path);
        if (!entry.password.isEmpty()) {
            if (!keyTried && box.keyState() != SecretBox::KeyReady && mayMakeKeyLocked()) {
                const SecretBox::KeyState before = box.keyState();
                if (!box.makeKey())
                    reportLocked(
                        tr("No key for the decoder passwords could be made: %1").arg(box.lastError()),
                        KeyProblem);
                else if (before != SecretBox::KeyMissing)
                    reportLocked(tr("The key file %1 was damaged; it was moved aside and a new key "
                                    "was made.")
                                     .arg(box.keyFile()));
            }
            keyTried = true;
            const QString sealed = box.seal(entry.password, RecordJson::passwordIdentity(entry));
            if (!sealed.isEmpty()) {
                replaced.insert(path);
                return sealed;
            }
            *passwordsLost = true;
        }
        // Kept in its place until the entry gets a password that can be sealed.
        return old != kept.constEnd() ? old->sealed : QString();
    };
    // An entry that is as it was at an earlier write keeps its text, sealed values included: a change of one
    // decoder writes the list without sealing and formatting thousands of unchanged entries again.
    QHash<QString, CachedEntry>& cache = entryTexts[doc];
    QHash<QString, CachedEntry> next;
    QList<QByteArray> items;
    const auto take = [&](const QString& key, const auto& record, const auto& same, const auto& toJson) {
        const auto cached = cache.constFind(key);
        if (cached != cache.constEnd() && same(*cached, record)) {
            for (const QString& path : cached->paths)
                present.insert(path);
            items.append(cached->text);
            next.insert(key, *cached);
            return;
        }
        CachedEntry entry;
        const bool lostBefore = *passwordsLost;
        touched = &entry.paths;
        entry.text = itemText(toJson(record));
        touched = nullptr;
        items.append(entry.text);
        if (*passwordsLost == lostBefore) {
            entry.keep(record);
            next.insert(key, entry);
        }
    };
    if (doc == DecoderDoc) {
        for (const MatrixInfo& info : qAsConst(decoderMap))
            take(
                info.ip, info,
                [](const CachedEntry& c, const MatrixInfo& r) { return sameEntry(c.decoder, r); },
                [&seal](const MatrixInfo& r) { return RecordJson::toJson(r, seal, r.ip); });
    } else {
        for (const TvWallManagement& wall : qAsConst(tvWallMap))
            take(
                wall.tvWallName, WallEntry{wall, wallCopies.value(wall.tvWallName)},
                [](const CachedEntry& c, const WallEntry& r) {
                    return sameEntry(c.wall, r.wall) && sameCopy(c.copy, r.copy);
                },
                [&seal](const WallEntry& r) {
                    QJsonObject entry = RecordJson::toJson(r.wall, seal);
                    if (r.copy.kept)
                        entry.insert(QStringLiteral("decoderCopy"), RecordJson::toJson(r.copy));
                    return entry;
                });
    }
    cache = next;
    // Values whose entry is gone or carries a new password are no longer kept once this list is written;
    // until then a failed write keeps them.
    for (auto it = kept.begin(); it != kept.end();) {
        if (!present.contains(it.key()) || replaced.contains(it.key()))
            it = kept.erase(it);
        else
            ++it;
    }
    return items;
}

bool MatrixStore::flushLocked()
{
    bool ok = true;
    for (const int doc : {int(DecoderDoc), int(TvWallDoc)}) {
        if (!(dirty & doc))
            continue;
        QString why;
        if (blocked & doc) {
            why = tr("its damaged file could not be kept aside");
        } else if (holdLockLocked(&why)) {
            bool passwordsLost = false;
            const QHash<QString, KeptSeal> keptBefore = keptSeals.value(doc);
            const QList<QByteArray> list = buildDocumentLocked(doc, &passwordsLost);
            const bool written =
                doc == DecoderDoc
                    ? writeDocumentLocked(docName(doc), DecoderFormat, DecoderListKey, list, &why)
                    : writeDocumentLocked(docName(doc), TvWallFormat, TvWallListKey, list, &why);
            if (written) {
                dirty &= ~doc;
                if (passwordsLost && !passwordsUnsavedReported) {
                    passwordsUnsavedReported = true;
                    reportLocked(tr("Decoder passwords entered now are used but not saved: %1.")
                                     .arg(secretsLocked().lastError()),
                                 KeyProblem);
                }
            } else {
                keptSeals[doc] = keptBefore;
                // The kept values are back as they were; the next write makes every entry's text anew.
                entryTexts.remove(doc);
            }
        }
        noteWriteLocked(doc, !(dirty & doc), why);
        ok = ok && !(dirty & doc);
    }
    sinceFirstUnwritten.invalidate();
    return ok;
}

void MatrixStore::noteWriteLocked(int doc, bool ok, const QString& why)
{
    const QString file = QDir(resolvedDataDirLocked()).filePath(docName(doc));
    if (ok) {
        if (failing & doc)
            reportLocked(tr("%1 is saved again.").arg(file));
        failing &= ~doc;
        return;
    }
    // One report per failure, however many writes it costs: the list stays pending and is written as soon
    // as it can be.
    if (!(failing & doc))
        reportLocked(tr("Changes to %1 are not saved: %2.").arg(file, why));
    failing |= doc;
}

bool MatrixStore::writeDocumentLocked(const QString& fileName, const QString& format, const QString& listKey,
                                      const QList<QByteArray>& items, QString* why)
{
    const QString dir = resolvedDataDirLocked();
    if (!QDir().mkpath(dir)) {
        *why = tr("the data directory %1 cannot be made").arg(dir);
        return false;
    }
    return SafeFile::write(QDir(dir).filePath(fileName), documentText(format, listKey, items), why);
}

QByteArray MatrixStore::itemText(const QJsonObject& entry)
{
    // As QJsonDocument indents an entry of the list: two levels deep.
    const QByteArray alone = QJsonDocument(entry).toJson(QJsonDocument::Indented);
    const QByteArray indent(8, ' ');
    QByteArray text;
    text.reserve(alone.size() + alone.count('\n') * indent.size());
    text += indent;
    // Line by line, without the final line break.
    const int end = alone.size() - 1;
    for (int from = 0; from < end;) {
        const int lineEnd = alone.indexOf('\n', from);
        if (lineEnd < 0 || lineEnd >= end) {
            text.append(alone.constData() + from, end - from);
            break;
        }
        text.append(alone.constData() + from, lineEnd + 1 - from);
        text += indent;
        from = lineEnd + 1;
    }
    return text;
}

QByteArray MatrixStore::documentText(const QString& format, const QString& listKey,
                                     const QList<QByteArray>& items)
{
    // The document as QJsonDocument writes it, its list put together from the entries' texts.
    QJsonObject root;
    root.insert(QStringLiteral("format"), format);
    root.insert(QStringLiteral("version"), FormatVersion);
    root.insert(listKey, QJsonArray());
    QByteArray text = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (items.isEmpty())
        return text;
    const QByteArray emptyList = '"' + listKey.toUtf8() + "\": [\n    ]";
    const int at = text.indexOf(emptyList);
    QByteArray list = '"' + listKey.toUtf8() + "\": [\n";
    qsizetype size = list.size() + 6;
    for (const QByteArray& item : items)
        size += item.size() + 2;
    list.reserve(int(size));
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0)
            list += ",\n";
        list += items.at(i);
    }
    list += "\n    ]";
    text.replace(at, emptyList.size(), list);
    return text;
}

// ---- reports ----

void MatrixStore::reportLocked(const QString& text, ProblemKind kind)
{
    qWarning("decoder store: %s", qPrintable(text));
    pendingProblems.append({kind, text});
    if (pendingProblems.size() > 1)
        return;
    // Reports leave from the event loop, never from inside a caller's read or write.
    QMetaObject::invokeMethod(this, &MatrixStore::deliverProblems, Qt::QueuedConnection);
}

void MatrixStore::deliverProblems()
{
    QMutexLocker lock(&mutex);
    const auto problems = pendingProblems;
    pendingProblems.clear();
    const auto reporter = problemReporter;
    lock.unlock();
    if (reporter) {
        for (const auto& problem : problems)
            reporter(problem.first, problem.second);
    }
}

} // namespace pral_matrix
