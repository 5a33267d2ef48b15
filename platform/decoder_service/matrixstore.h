#pragma once

#include "decoderwallcopy.h"
#include "matrixrecords.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QLockFile;

namespace pral_matrix {

class SecretBox;

/**
 * @brief The client's decoder and TV-wall lists, kept as two JSON documents
 * in a data directory.
 *
 * The lists in memory are authoritative: a replace is visible to the next
 * read at once, and the disk follows once replaces have paused for
 * QuietWriteMs, or MaxWriteDelayMs after the first unwritten one while they
 * go on, so that a burst of replaces (the connection states of a fleet
 * logging in) costs one write; flush() writes at once, which is how an
 * operator's change reaches the disk before the next input. Writes are
 * atomic and only made by the process that holds the directory's lock file.
 *
 * Nothing is lost silently: a document that cannot be read is moved aside
 * under a new name and the list reads as empty; one that reads only in part
 * (entries without an address or name, two entries for one address or name,
 * fields of the wrong type) is copied aside before its remains are used; a
 * file that cannot be kept aside is never written over. A sealed password
 * that cannot be opened (lost or damaged key, value moved between entries)
 * reads as empty but stays in the file, in its place, until the operator
 * gives that entry a new password. Each problem is reported once.
 */
class DECODER_SERVICE_EXPORT MatrixStore : public QObject
{
    Q_OBJECT

public:
    enum ProblemKind
    {
        /** A list could not be read or written. */
        ListProblem,
        /** Stored passwords cannot be opened: the operator has to act. */
        KeyProblem,
    };

    static constexpr int QuietWriteMs = 250;
    static constexpr int MaxWriteDelayMs = 2000;
    static const char* const DecoderFileName;
    static const char* const TvWallFileName;
    static const char* const LockFileName;

    explicit MatrixStore(QObject* parent = nullptr);
    ~MatrixStore() override;

    MatrixInfoMap decoders();
    QMap<QString, TvWallManagement> tvWalls();
    void replaceDecoders(const QList<MatrixInfo>& list);
    /** Copies of walls that list leaves out are forgotten. */
    void replaceTvWalls(const QList<TvWallManagement>& list);

    /** The copy kept for the wall called name; kept is false when there is none. */
    DecoderWallCopy wallCopy(const QString& tvWallName);
    /**
     * Keeps copy for the wall called name; it is written with the wall, and
     * forgotten when a list without that wall replaces the walls.
     */
    void setWallCopy(const QString& tvWallName, const DecoderWallCopy& copy);

    /** Writes what is pending now; false when a write failed (it stays pending). */
    bool flush();

    /** Empty: back to TVWALL_DATA_DIR or, without it, the application data location. */
    void setDataDirectory(const QString& dir);
    QString dataDirectory() const;
    /** Empty: back to TVWALL_KEY_FILE or, without it, the default key file. */
    void setKeyFile(const QString& path);
    QString keyFile() const;

    /**
     * Takes the data directory for this process (the lists are read and
     * written by one process at a time; a lock left by a process that is gone
     * is taken over). false, with *why naming the process that has it, when
     * another process uses the directory.
     */
    bool lockDirectory(QString* why = nullptr);

    /** The stored password of the decoder at ip could not be opened and no new one was given. */
    bool isPasswordUnavailable(const QString& ip) const;

    /** Called with a human-readable text whenever something could not be read or written. */
    void setProblemReporter(std::function<void(ProblemKind, const QString&)> reporter);

private:
    enum Document
    {
        DecoderDoc = 1,
        TvWallDoc = 2,
    };

    /** A sealed value that did not open, kept for its entry's place in the document. */
    struct KeptSeal
    {
        QString sealed;
        QString reason;
    };

    void ensureLoadedLocked();
    QJsonArray readDocumentLocked(int doc, const QString& fileName, const QString& format,
                                  const QString& listKey);
    /** Each entry's text as it stands in the document. */
    QList<QByteArray> buildDocumentLocked(int doc, bool* passwordsLost);
    bool writeDocumentLocked(const QString& fileName, const QString& format, const QString& listKey,
                             const QList<QByteArray>& items, QString* why);
    static QByteArray itemText(const QJsonObject& entry);
    static QByteArray documentText(const QString& format, const QString& listKey,
                                   const QList<QByteArray>& items);
    bool mayMakeKeyLocked();
    void scheduleWriteLocked();
    void writePending();
    bool flushLocked();
    bool holdLockLocked(QString* why);
    void releaseLockLocked();
    void resetLocked();
    void moveAsideLocked(int doc, const QString& path, const QString& why);
    void keepDamagedCopyLocked(int doc, const QString& fileName, const QStringList& issues);
    void noteWriteLocked(int doc, bool ok, const QString& why);
    void reportKeyProblemLocked();
    void deliverProblems();
    void reportLocked(const QString& text, ProblemKind kind = ListProblem);
    SecretBox& secretsLocked();
    QString resolvedDataDirLocked() const;
    QString resolvedKeyFileLocked() const;
    static QString docName(int doc);

    mutable QMutex mutex;
    QString explicitDataDir;
    QString explicitKeyFile;
    bool loaded = false;
    int dirty = 0;
    /** Documents whose damaged file could not be kept aside: never written. */
    int blocked = 0;
    /** Documents whose last write failed, so that a failure is reported once. */
    int failing = 0;
    MatrixInfoMap decoderMap;
    QMap<QString, TvWallManagement> tvWallMap;
    QHash<QString, DecoderWallCopy> wallCopies;
    /** By document, then by the entry's path in it. */
    QHash<int, QHash<QString, KeptSeal>> keptSeals;
    /** An entry as last written, its text, and the paths of the records in it. */
    /** A wall as it is written: with the copy of it this desk last saw on its main decoder. */
    struct WallEntry
    {
        TvWallManagement wall;
        DecoderWallCopy copy;
    };
    struct CachedEntry
    {
        MatrixInfo decoder;
        TvWallManagement wall;
        DecoderWallCopy copy;
        QByteArray text;
        QStringList paths;
        void keep(const MatrixInfo& record) { decoder = record; }
        void keep(const WallEntry& record)
        {
            wall = record.wall;
            copy = record.copy;
        }
    };
    /** By document, then by address or wall name. */
    QHash<int, QHash<QString, CachedEntry>> entryTexts;
    bool passwordsUnsavedReported = false;
    std::unique_ptr<SecretBox> secrets;
    std::unique_ptr<QLockFile> lockFile;
    QTimer writeTimer;
    QElapsedTimer sinceFirstUnwritten;
    std::function<void(ProblemKind, const QString&)> problemReporter;
    QList<QPair<ProblemKind, QString>> pendingProblems;
};

} // namespace pral_matrix
