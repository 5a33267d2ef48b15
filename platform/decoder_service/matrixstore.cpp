#include "matrixstore.h"

#include "recordjson.h"
#include "secretbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

namespace pral_matrix {

const char* const MatrixStore::DecoderFileName = "decoders.json";
const char* const MatrixStore::TvWallFileName = "tvwalls.json";

namespace {

const QString DecoderFormat = QStringLiteral("tvwall-decoders");
const QString TvWallFormat = QStringLiteral("tvwall-tvwalls");
const QString DecoderListKey = QStringLiteral("decoders");
const QString TvWallListKey = QStringLiteral("tvWalls");
constexpr int FormatVersion = 1;

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
}

void MatrixStore::setProblemReporter(std::function<void(const QString&)> reporter)
{
    QMutexLocker lock(&mutex);
    problemReporter = std::move(reporter);
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

void MatrixStore::setDataDirectory(const QString& dir)
{
    QMutexLocker lock(&mutex);
    // What was changed belongs to the old directory.
    flushLocked();
    explicitDataDir = dir;
    loaded = false;
    blocked = 0;
    dirty = 0;
    decoderMap.clear();
    tvWallMap.clear();
}

void MatrixStore::setKeyFile(const QString& path)
{
    QMutexLocker lock(&mutex);
    flushLocked();
    explicitKeyFile = path;
    secrets.reset();
    loaded = false;
    blocked = 0;
    dirty = 0;
    decoderMap.clear();
    tvWallMap.clear();
}

SecretBox& MatrixStore::secretsLocked()
{
    if (!secrets)
        secrets = std::make_unique<SecretBox>(resolvedKeyFileLocked());
    return *secrets;
}

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

void MatrixStore::replaceDecoders(const QList<MatrixInfo>& list)
{
    QMutexLocker lock(&mutex);
    // Loading first moves a damaged document aside before it can be replaced.
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
    dirty |= TvWallDoc;
    scheduleWriteLocked();
}

void MatrixStore::scheduleWriteLocked()
{
    if (writeTimer.isActive())
        return;
    const qint64 since = sinceLastWrite.isValid() ? sinceLastWrite.elapsed() : MinWriteGapMs;
    const int wait = since >= MinWriteGapMs ? 0 : int(MinWriteGapMs - since);
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

bool MatrixStore::flushLocked()
{
    bool ok = true;
    const RecordJson::PasswordCodec seal = [this](const QString& plain) {
        const QString sealed = secretsLocked().seal(plain);
        if (sealed.isEmpty())
            reportLocked(
                QStringLiteral("A decoder password was not saved: %1").arg(secretsLocked().lastError()));
        return sealed;
    };
    if (dirty & blocked) {
        reportLocked(
            QStringLiteral("A list was not saved: its damaged file could not be moved out of the way."));
        dirty &= ~blocked;
        ok = false;
    }
    if (dirty & DecoderDoc) {
        QJsonArray list;
        for (const MatrixInfo& info : qAsConst(decoderMap))
            list.append(RecordJson::toJson(info, seal));
        if (writeDocumentLocked(QString::fromLatin1(DecoderFileName), DecoderFormat, DecoderListKey, list))
            dirty &= ~DecoderDoc;
        else
            ok = false;
    }
    if (dirty & TvWallDoc) {
        QJsonArray list;
        for (const TvWallManagement& wall : qAsConst(tvWallMap))
            list.append(RecordJson::toJson(wall, seal));
        if (writeDocumentLocked(QString::fromLatin1(TvWallFileName), TvWallFormat, TvWallListKey, list))
            dirty &= ~TvWallDoc;
        else
            ok = false;
    }
    sinceLastWrite.start();
    return ok;
}

bool MatrixStore::writeDocumentLocked(const QString& fileName, const QString& format, const QString& listKey,
                                      const QJsonArray& list)
{
    const QString dir = resolvedDataDirLocked();
    if (!QDir().mkpath(dir)) {
        reportLocked(QStringLiteral("Cannot create the data directory %1").arg(dir));
        return false;
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), format);
    root.insert(QStringLiteral("version"), FormatVersion);
    root.insert(listKey, list);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

    QSaveFile file(QDir(dir).filePath(fileName));
    if (!file.open(QIODevice::WriteOnly)) {
        reportLocked(QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        reportLocked(QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}

void MatrixStore::ensureLoadedLocked()
{
    if (loaded)
        return;
    loaded = true;
    const RecordJson::PasswordCodec open = [this](const QString& sealed) {
        QString plain;
        if (!secretsLocked().open(sealed, &plain))
            reportLocked(QStringLiteral("A stored decoder password could not be recovered: %1")
                             .arg(secretsLocked().lastError()));
        return plain;
    };
    const QJsonArray decoders =
        readDocumentLocked(DecoderDoc, QString::fromLatin1(DecoderFileName), DecoderFormat, DecoderListKey);
    for (const QJsonValue& v : decoders) {
        const MatrixInfo info = RecordJson::matrixInfoFromJson(v.toObject(), open);
        decoderMap.insert(info.ip, info);
    }
    const QJsonArray walls =
        readDocumentLocked(TvWallDoc, QString::fromLatin1(TvWallFileName), TvWallFormat, TvWallListKey);
    for (const QJsonValue& v : walls) {
        const TvWallManagement wall = RecordJson::tvWallFromJson(v.toObject(), open);
        tvWallMap.insert(wall.tvWallName, wall);
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
        moveAsideLocked(docId, path, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
        return QJsonArray();
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    file.close();
    if (parseError.error != QJsonParseError::NoError) {
        moveAsideLocked(docId, path,
                        QStringLiteral("is not valid JSON (%1 at byte %2)")
                            .arg(parseError.errorString())
                            .arg(parseError.offset));
        return QJsonArray();
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QStringLiteral("format")).toString() != format ||
        !root.value(listKey).isArray()) {
        moveAsideLocked(docId, path, QStringLiteral("is not a %1 document").arg(format));
        return QJsonArray();
    }
    if (root.value(QStringLiteral("version")).toInt() > FormatVersion) {
        moveAsideLocked(docId, path, QStringLiteral("was written by a newer version"));
        return QJsonArray();
    }
    return root.value(listKey).toArray();
}

void MatrixStore::moveAsideLocked(int doc, const QString& path, const QString& why)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = QStringLiteral("%1.corrupt-%2").arg(path, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.corrupt-%2-%3").arg(path, stamp).arg(n);
    if (QFile::rename(path, aside)) {
        reportLocked(
            QStringLiteral("%1 %2; it was kept as %3 and an empty list is used.").arg(path, why, aside));
    } else {
        reportLocked(
            QStringLiteral("%1 %2 and could not be moved aside; an empty list is used.").arg(path, why));
        // The file stays where it is, so it must not be written over either.
        blocked |= doc;
    }
}

void MatrixStore::reportLocked(const QString& text)
{
    qWarning("decoder store: %s", qPrintable(text));
    pendingProblems.append(text);
    if (pendingProblems.size() > 1)
        return;
    // Reports leave from the event loop, never from inside a caller's read or write.
    QMetaObject::invokeMethod(this, &MatrixStore::deliverProblems, Qt::QueuedConnection);
}

void MatrixStore::deliverProblems()
{
    QMutexLocker lock(&mutex);
    const QStringList problems = pendingProblems;
    pendingProblems.clear();
    const auto reporter = problemReporter;
    lock.unlock();
    if (reporter) {
        for (const QString& text : problems)
            reporter(text);
    }
}

} // namespace pral_matrix
