// Fuzz target: the stored decoder list, the stored TV-wall list and the fleet
// file. The first byte chooses which one the rest of the input is.
//
// Besides crashes, hangs, leaks and undefined behaviour, it fails when a list
// file is lost: whatever the store could not use in full must still be on
// disk byte for byte (in place or kept aside), and what the store writes back
// must read back the same, without a complaint.

#include "matrixstore.h"
#include "recordjson.h"
#include "simulatedfleet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace pral_matrix;

namespace {

QTemporaryDir* workDir = nullptr;
QString keyFile;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "store_fuzzer: %s\n", what);
    std::abort();
}

bool keptSomewhere(const QString& dir, const QByteArray& bytes)
{
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files);
    for (const QFileInfo& info : files) {
        QFile file(info.filePath());
        if (info.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes)
            return true;
    }
    return false;
}

/** Everything a store holds, passwords aside, in one comparable text. */
QByteArray contentOf(MatrixStore& store)
{
    QJsonArray decoders;
    const MatrixInfoMap decoderMap = store.decoders();
    for (const MatrixInfo& info : decoderMap)
        decoders.append(RecordJson::toJson(info, nullptr, info.ip));
    QJsonArray walls;
    const auto wallMap = store.tvWalls();
    for (const TvWallManagement& wall : wallMap) {
        QJsonObject entry = RecordJson::toJson(wall, nullptr);
        const DecoderWallCopy copy = store.wallCopy(wall.tvWallName);
        if (copy.kept)
            entry.insert(QStringLiteral("decoderCopy"), RecordJson::toJson(copy));
        walls.append(entry);
    }
    return QJsonDocument(QJsonArray{decoders, walls}).toJson(QJsonDocument::Compact);
}

/** The list problems a store reported so far (delivered from the event loop). */
struct Problems
{
    explicit Problems(MatrixStore& store)
    {
        store.setProblemReporter([this](MatrixStore::ProblemKind kind, const QString&) {
            if (kind == MatrixStore::ListProblem)
                ++count;
        });
    }
    int delivered()
    {
        QCoreApplication::sendPostedEvents();
        return count;
    }
    int count = 0;
};

void fuzzList(const char* fileName, const QByteArray& bytes)
{
    const QString dir = workDir->filePath(QStringLiteral("data"));
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile file(QDir(dir).filePath(QString::fromLatin1(fileName)));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("cannot set up the input file");
    file.close();

    QByteArray content;
    {
        MatrixStore store;
        Problems problems(store);
        store.setKeyFile(keyFile);
        store.setDataDirectory(dir);
        const MatrixInfoMap decoders = store.decoders();
        const auto walls = store.tvWalls();
        if (!keptSomewhere(dir, bytes))
            fail("the list file is gone after reading");
        store.replaceDecoders(decoders.values());
        store.replaceTvWalls(walls.values());
        if (!store.flush())
            fail("what was read cannot be written back");
        if (problems.delivered() > 0 && !keptSomewhere(dir, bytes))
            fail("a file the store could not use in full was written over without a copy");
        content = contentOf(store);
    }
    MatrixStore again;
    Problems problems(again);
    again.setKeyFile(keyFile);
    again.setDataDirectory(dir);
    if (contentOf(again) != content)
        fail("what was written reads back different");
    if (problems.delivered() > 0)
        fail("what was written reads back with a complaint");
}

void fuzzFleet(const QByteArray& bytes)
{
    QString error;
    std::unique_ptr<SimulatedFleet> fleet = SimulatedFleet::fromJson(bytes, &error);
    if (fleet)
        fleet->search();
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QCoreApplication(appArgc, appArgv);
    // Every damaged input is reported as a warning; at thousands of inputs a second that is only noise.
    qInstallMessageHandler(quiet);
    // On a tmpfs when there is one: each input writes and syncs files.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    workDir = new QTemporaryDir(base + QStringLiteral("/store_fuzzer-XXXXXX"));
    keyFile = workDir->filePath(QStringLiteral("store.key"));
    QFile key(keyFile);
    if (!workDir->isValid() || !key.open(QIODevice::WriteOnly) || key.write(QByteArray(32, '\x5a')) != 32)
        fail("cannot set up the work folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    switch (data[0] % 3) {
    case 0:
        fuzzList(MatrixStore::DecoderFileName, bytes);
        break;
    case 1:
        fuzzList(MatrixStore::TvWallFileName, bytes);
        break;
    default:
        fuzzFleet(bytes);
        break;
    }
    return 0;
}
