#pragma once

#include "matrixrecords.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace pral_matrix {

class SecretBox;

/**
 * @brief The client's decoder and TV-wall lists, kept as two JSON documents
 * in a data directory.
 *
 * The lists in memory are authoritative: a replace is visible to the next
 * read at once, and the disk follows on the next event-loop turn, at most
 * once per MinWriteGapMs, so that a burst of replaces costs one write.
 * Writes are atomic. A document that cannot be read is moved aside under a
 * new name (never overwritten) and reported, and the list reads as empty.
 */
class DECODER_SERVICE_EXPORT MatrixStore : public QObject
{
    Q_OBJECT

public:
    static constexpr int MinWriteGapMs = 100;
    static const char* const DecoderFileName;
    static const char* const TvWallFileName;

    explicit MatrixStore(QObject* parent = nullptr);
    ~MatrixStore() override;

    MatrixInfoMap decoders();
    QMap<QString, TvWallManagement> tvWalls();
    void replaceDecoders(const QList<MatrixInfo>& list);
    void replaceTvWalls(const QList<TvWallManagement>& list);

    /** Writes what is pending now; false when a write failed (it stays pending). */
    bool flush();

    /** Empty: back to TVWALL_DATA_DIR or, without it, the application data location. */
    void setDataDirectory(const QString& dir);
    QString dataDirectory() const;
    /** Empty: back to TVWALL_KEY_FILE or, without it, the default key file. */
    void setKeyFile(const QString& path);
    QString keyFile() const;

    /** Called with a human-readable text whenever something could not be read or written. */
    void setProblemReporter(std::function<void(const QString&)> reporter);

private:
    enum Document
    {
        DecoderDoc = 1,
        TvWallDoc = 2,
    };

    void ensureLoadedLocked();
    QJsonArray readDocumentLocked(int doc, const QString& fileName, const QString& format,
                                  const QString& listKey);
    bool writeDocumentLocked(const QString& fileName, const QString& format, const QString& listKey,
                             const QJsonArray& list);
    void scheduleWriteLocked();
    void writePending();
    bool flushLocked();
    void moveAsideLocked(int doc, const QString& path, const QString& why);
    void deliverProblems();
    void reportLocked(const QString& text);
    SecretBox& secretsLocked();
    QString resolvedDataDirLocked() const;
    QString resolvedKeyFileLocked() const;

    mutable QMutex mutex;
    QString explicitDataDir;
    QString explicitKeyFile;
    bool loaded = false;
    int dirty = 0;
    /** Documents whose damaged file could not be moved aside: never written. */
    int blocked = 0;
    MatrixInfoMap decoderMap;
    QMap<QString, TvWallManagement> tvWallMap;
    std::unique_ptr<SecretBox> secrets;
    QTimer writeTimer;
    QElapsedTimer sinceLastWrite;
    std::function<void(const QString&)> problemReporter;
    QStringList pendingProblems;
};

} // namespace pral_matrix
