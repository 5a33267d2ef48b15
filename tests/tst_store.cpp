#include "matrixsdkworker.h"
#include "matrixstore.h"
#include "readonlyfolder.h"
#include "servicespy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace pral_matrix;

namespace {

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

MatrixInfo decoder(const QString& ip, const QString& password)
{
    MatrixInfo info;
    info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
    info.deviceId = QStringLiteral("DEV-") + ip;
    info.ip = ip;
    info.spare1 = 1;
    info.spare2 = 2;
    info.spare3 = 3;
    info.userName = QStringLiteral("admin");
    info.password = password;
    info.outputList = {OutputInfo{101, 1, 7}, OutputInfo{102, 2, 0}};
    MatrixInfo sub;
    sub.ip = QStringLiteral("192.0.2.11");
    sub.channel = 1;
    sub.column = 1;
    sub.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
    info.subMatrixList = {sub};
    info.extraValue = 42;
    info.channelCount = 2;
    info.activated = true;
    info.connectStatus = 1;
    info.spare4 = Q_INT64_C(0x7000000000000001);
    info.version = QStringLiteral("V2.3.1");
    return info;
}

TvWallManagement wall(const QString& name, const QString& mainIp)
{
    TvWallManagement w;
    w.tvWallName = name;
    w.mainIp = mainIp;
    w.row = 1;
    w.col = 2;
    MatrixInfo left;
    left.ip = mainIp;
    left.channel = 1;
    left.row = 0;
    left.column = 0;
    MatrixInfo right = left;
    right.channel = 2;
    right.column = 1;
    w.matrixInfoList = {left, right};
    w.mainMatrix.ip = mainIp;
    w.mainMatrix.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
    w.connected = true;
    return w;
}

/** Every field on one line: a round trip compares in one step and the message shows what differs. */
QString dump(const MatrixInfo& m)
{
    QStringList f{QString::number(m.matrixType), m.deviceId, m.ip, m.userName, m.password, m.version};
    for (const qint64 n : {qint64(m.spare1), qint64(m.spare2), qint64(m.spare3), qint64(m.column),
                           qint64(m.row), qint64(m.extraValue), qint64(m.channel), qint64(m.channelCount),
                           qint64(m.activated), qint64(m.connectStatus), qint64(m.spare4)})
        f << QString::number(n);
    for (const OutputInfo& o : m.outputList)
        f << QStringLiteral("out %1/%2/%3").arg(o.outputId).arg(o.outputNo).arg(o.outputSpare);
    for (const MatrixInfo& s : m.subMatrixList)
        f << QLatin1Char('{') + dump(s) + QLatin1Char('}');
    return f.join(QLatin1Char('|'));
}

QString dump(const TvWallManagement& w)
{
    QStringList f{w.tvWallName,
                  w.mainIp,
                  QString::number(w.row),
                  QString::number(w.col),
                  QString::number(w.connected),
                  dump(w.mainMatrix)};
    for (const MatrixInfo& s : w.matrixInfoList)
        f << QLatin1Char('{') + dump(s) + QLatin1Char('}');
    return f.join(QLatin1Char('#'));
}

/** What a copy of a decoder's wall keeps: name, grid, and each screen's kind, output and place. */
QString copyText(const TvWallManagement& w)
{
    QStringList f{w.tvWallName, w.mainIp, QString::number(w.row), QString::number(w.col),
                  QString::number(w.mainMatrix.matrixType)};
    for (const MatrixInfo& s : w.matrixInfoList)
        f << QStringLiteral("%1:%2/%3@%4,%5")
                 .arg(s.matrixType)
                 .arg(s.ip)
                 .arg(s.channel)
                 .arg(s.row)
                 .arg(s.column);
    return f.join(QLatin1Char(' '));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

/** The sealed password of each decoder entry in a stored list, by address. */
QMap<QString, QString> sealedValues(const QByteArray& json)
{
    QMap<QString, QString> values;
    const QJsonArray list = QJsonDocument::fromJson(json).object().value("decoders").toArray();
    for (const QJsonValue& v : list)
        values.insert(v["ip"].toString(), v["passwordSealed"].toString());
    return values;
}

QByteArray decoderDocument(const QByteArray& entries)
{
    return R"({"format":"tvwall-decoders","version":1,"decoders":[)" + entries + "]}";
}

const QString Main = QStringLiteral("192.0.2.10");
const QString Single = QStringLiteral("192.0.2.11");
const QString Other = QStringLiteral("192.0.2.13");
const QString FleetPassword = QStringLiteral("Tvwall@2024");

} // namespace

/**
 * @brief The stored decoder and TV-wall lists: what goes in comes back, the
 * disk follows, damaged files are kept, and passwords never lie in clear.
 */
class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        temp = std::make_unique<QTemporaryDir>();
        QVERIFY(temp->isValid());
        dataDir = temp->filePath(QStringLiteral("data"));
        keyFile = temp->filePath(QStringLiteral("config/store.key"));
        MatrixSdkWorker::setSecretKeyFile(keyFile);
        MatrixSdkWorker::setDataDirectory(dataDir);
        QVERIFY(worker().loadFleet(MatrixSdkWorker::defaultFleetJson()));
        worker().setResultDelay(0);
    }

    void cleanup()
    {
        MatrixSdkWorker::flushStore();
        // This test's reports are not the next one's.
        QCoreApplication::processEvents();
        // Detach from the folder before it is deleted.
        MatrixSdkWorker::setDataDirectory(temp->filePath(QStringLiteral("unused")));
        temp.reset();
    }

    void listsRoundTripThroughTheDisk()
    {
        const MatrixInfo a = decoder(QStringLiteral("192.0.2.10"), QStringLiteral("Pässw0rd-ä"));
        const MatrixInfo b = decoder(QStringLiteral("192.0.2.12"), QString());
        MatrixInfo unset;
        unset.ip = QStringLiteral("192.0.2.13");
        MatrixSdkWorker::addDecoderToJson({a, b, unset});
        MatrixSdkWorker::addMatrixToJson(
            {wall(QStringLiteral("Lobby"), a.ip), wall(QStringLiteral("Hall"), b.ip)});
        QVERIFY(MatrixSdkWorker::flushStore());

        // Point at the same folder again: everything is read back from disk.
        MatrixSdkWorker::setDataDirectory(dataDir);
        const MatrixInfoMap decoders = MatrixSdkWorker::getDecoderFromJson();
        QCOMPARE(decoders.keys(), (QStringList{a.ip, b.ip, unset.ip}));
        QCOMPARE(dump(decoders.value(a.ip)), dump(a));
        QCOMPARE(dump(decoders.value(b.ip)), dump(b));
        // The "never set" device id survives although JSON cannot carry it as text.
        QCOMPARE(dump(decoders.value(unset.ip)), dump(unset));

        const auto walls = MatrixSdkWorker::getMatrixFromJson();
        QCOMPARE(walls.keys(), (QStringList{QStringLiteral("Hall"), QStringLiteral("Lobby")}));
        QCOMPARE(dump(walls.value(QStringLiteral("Lobby"))), dump(wall(QStringLiteral("Lobby"), a.ip)));
        QCOMPARE(dump(walls.value(QStringLiteral("Hall"))), dump(wall(QStringLiteral("Hall"), b.ip)));
    }

    void replaceIsVisibleAtOnceAndOnDiskWhenIdle()
    {
        MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.10"), QString())});
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().keys(), QStringList{QStringLiteral("192.0.2.10")});
        MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.12"), QString())});
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().keys(), QStringList{QStringLiteral("192.0.2.12")});
        QTRY_VERIFY(readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.12"));
        QVERIFY(!readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.10"));
    }

    void burstOfReplacesEndsWithTheLastList()
    {
        QList<MatrixInfo> list;
        for (int i = 1; i <= 300; ++i) {
            list.append(
                decoder(QStringLiteral("192.0.2.%1").arg(i % 250 + 1), QStringLiteral("pw%1").arg(i)));
            MatrixSdkWorker::addDecoderToJson(list);
        }
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().size(), 250);
        QTRY_VERIFY(readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.250"));
        MatrixSdkWorker::setDataDirectory(dataDir);
        const MatrixInfoMap back = MatrixSdkWorker::getDecoderFromJson();
        QCOMPARE(back.size(), 250);
        QCOMPARE(back.value(QStringLiteral("192.0.2.51")).password, QStringLiteral("pw300"));
    }

    // A fleet logging in replaces the list once per connection result: the disk gets the stream once it
    // pauses, and while it goes on at the longest delay, not a write per result; a flush writes at once.
    void streamOfReplacesIsWrittenWhenItPauses()
    {
        const QString path = dataPath(MatrixStore::DecoderFileName);
        MatrixSdkWorker::addDecoderToJson({decoder(Main, QStringLiteral("first"))});
        QVERIFY(MatrixSdkWorker::flushStore());
        const QByteArray before = readAll(path);
        for (int i = 1; i <= 20; ++i) {
            MatrixSdkWorker::addDecoderToJson({decoder(Main, QStringLiteral("pw%1").arg(i)),
                                               decoder(Single, QStringLiteral("turn%1").arg(i))});
            QCoreApplication::processEvents();
        }
        QCOMPARE(readAll(path), before);
        QTRY_VERIFY(readAll(path).contains(Single.toUtf8()));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, QStringLiteral("pw20"));

        // A stream that does not pause is written while it goes on.
        const QByteArray settled = readAll(path);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; readAll(path) == settled && clock.elapsed() < 10000; ++i) {
            MatrixSdkWorker::addDecoderToJson({decoder(Main, QStringLiteral("long%1").arg(i))});
            if (QTest::qWaitFor([&] { return readAll(path) != settled; }, 20))
                break;
        }
        QVERIFY(readAll(path) != settled);
        QVERIFY2(clock.elapsed() >= MatrixStore::MaxWriteDelayMs / 2,
                 qPrintable(QString::number(clock.elapsed())));

        MatrixSdkWorker::addDecoderToJson({decoder(Other, QStringLiteral("now"))});
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(readAll(path).contains(Other.toUtf8()));
    }

    // A write after a change of one entry reuses the other entries' texts: the file must still be the
    // document as Qt writes it, every entry (sealed passwords included) as it is now.
    void changedEntryIsWrittenAmongItsUnchangedNeighbours()
    {
        MatrixInfo a = decoder(Main, QStringLiteral("alpha"));
        MatrixInfo b = decoder(Single, QStringLiteral("beta"));
        MatrixInfo c = decoder(Other, QStringLiteral("gamma"));
        const MatrixInfo unchanged = decoder(QStringLiteral("192.0.2.14"), QStringLiteral("epsilon"));
        a.subMatrixList = {decoder(QStringLiteral("192.0.2.40"), QString()), decoder(Single, QString())};
        a.outputList = {OutputInfo{3, 1, 0}};
        QList<TvWallManagement> walls{wall(QStringLiteral("Hall"), Main),
                                      wall(QStringLiteral("Lobby"), Other)};
        const QString decoders = dataPath(MatrixStore::DecoderFileName);
        const QString tvWalls = dataPath(MatrixStore::TvWallFileName);
        const auto asQtWritesIt = [](const QByteArray& text) {
            return QJsonDocument::fromJson(text).toJson(QJsonDocument::Indented) == text;
        };
        MatrixSdkWorker::addDecoderToJson({a, b, c, unchanged});
        MatrixSdkWorker::addMatrixToJson(walls);
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(asQtWritesIt(readAll(decoders)));
        QVERIFY(asQtWritesIt(readAll(tvWalls)));
        const QMap<QString, QString> firstSeals = sealedValues(readAll(decoders));

        b.connectStatus = 1;
        c.password = QStringLiteral("delta");
        a.subMatrixList[1].channel = 7;
        walls[1].matrixInfoList[0].channel = 9;
        MatrixSdkWorker::addDecoderToJson({a, b, c, unchanged});
        MatrixSdkWorker::addMatrixToJson(walls);
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(asQtWritesIt(readAll(decoders)));
        QVERIFY(asQtWritesIt(readAll(tvWalls)));
        const QMap<QString, QString> seals = sealedValues(readAll(decoders));
        // Unchanged credentials keep their sealed value; new ones are sealed anew.
        QCOMPARE(seals.value(unchanged.ip), firstSeals.value(unchanged.ip));
        QVERIFY(seals.value(Other) != firstSeals.value(Other));

        MatrixSdkWorker::setDataDirectory(dataDir);
        const MatrixInfoMap back = MatrixSdkWorker::getDecoderFromJson();
        QCOMPARE(dump(back.value(Main)), dump(a));
        QCOMPARE(dump(back.value(Single)), dump(b));
        QCOMPARE(dump(back.value(Other)), dump(c));
        QCOMPARE(dump(back.value(unchanged.ip)), dump(unchanged));
        const auto wallsBack = MatrixSdkWorker::getMatrixFromJson();
        QCOMPARE(dump(wallsBack.value(QStringLiteral("Lobby"))), dump(walls.at(1)));
        QCOMPARE(dump(wallsBack.value(QStringLiteral("Hall"))), dump(walls.at(0)));

        MatrixSdkWorker::addDecoderToJson({});
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(asQtWritesIt(readAll(decoders)));
        QVERIFY(MatrixSdkWorker::getDecoderFromJson().isEmpty());
    }

    void missingFilesAreEmptyLists()
    {
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);
        QVERIFY(MatrixSdkWorker::getDecoderFromJson().isEmpty());
        QVERIFY(MatrixSdkWorker::getMatrixFromJson().isEmpty());
        QVERIFY(!QFile::exists(dataPath(MatrixStore::DecoderFileName)));
        QVERIFY(!problems.wait(50));
    }

    void damagedFileIsKeptAsideAndReported_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("savedFirst");
        QTest::newRow("cut off") << QByteArray(
                                        R"({"format":"tvwall-decoders","version":1,"decoders":[{"ip":)")
                                 << false;
        QTest::newRow("not an object") << QByteArray("[1, 2, 3]") << false;
        QTest::newRow("another document")
            << QByteArray(R"({"format":"tvwall-tvwalls","version":1,"tvWalls":[]})") << false;
        QTest::newRow("newer version")
            << QByteArray(R"({"format":"tvwall-decoders","version":9,"decoders":[]})") << false;
        // Replaced before anything was read: the damaged file must still be kept first.
        QTest::newRow("saved before read") << QByteArray("[1, 2, 3]") << true;
    }

    void damagedFileIsKeptAsideAndReported()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, savedFirst);
        QVERIFY(QDir().mkpath(dataDir));
        QVERIFY(writeAll(dataPath(MatrixStore::DecoderFileName), content));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);

        if (savedFirst)
            MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.10"), QString())});
        else
            QVERIFY(MatrixSdkWorker::getDecoderFromJson().isEmpty());
        QVERIFY(problems.wait());
        QVERIFY(problems.first().first().toString().contains(QLatin1String("decoders.json")));
        const QStringList aside =
            QDir(dataDir).entryList({QStringLiteral("decoders.json.corrupt-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(QDir(dataDir).filePath(aside.first())), content);

        // New data goes to a fresh file; the kept one is left alone.
        MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.10"), QString())});
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.10"));
        QCOMPARE(readAll(QDir(dataDir).filePath(aside.first())), content);
    }

    void everyDamagedFileGetsItsOwnName()
    {
        QVERIFY(QDir().mkpath(dataDir));
        for (int round = 0; round < 3; ++round) {
            QVERIFY(writeAll(dataPath(MatrixStore::TvWallFileName), "broken " + QByteArray::number(round)));
            MatrixSdkWorker::setDataDirectory(dataDir);
            QVERIFY(MatrixSdkWorker::getMatrixFromJson().isEmpty());
        }
        const QStringList aside =
            QDir(dataDir).entryList({QStringLiteral("tvwalls.json.corrupt-*")}, QDir::Files);
        QCOMPARE(aside.size(), 3);
        QSet<QByteArray> contents;
        for (const QString& name : aside)
            contents.insert(readAll(QDir(dataDir).filePath(name)));
        QCOMPARE(contents, (QSet<QByteArray>{"broken 0", "broken 1", "broken 2"}));
    }

    void failedWriteLeavesTheOldFileIntact_data()
    {
        QTest::addColumn<int>("decoders");
        // A small list stays in the file's buffer until the last flush, which is where a full disk shows.
        QTest::newRow("buffered") << 1;
        QTest::newRow("written through") << 40;
    }

    void failedWriteLeavesTheOldFileIntact()
    {
        QFETCH(int, decoders);
        MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.200"), QString())});
        QVERIFY(MatrixSdkWorker::flushStore());
        const QByteArray before = readAll(dataPath(MatrixStore::DecoderFileName));
        QVERIFY(!before.isEmpty());

        // A file-size limit makes the write fail part-way, as a full disk would;
        // it holds for root as well.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved;
        tight.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        QList<MatrixInfo> list;
        for (int i = 1; i <= decoders; ++i)
            list.append(decoder(QStringLiteral("192.0.2.%1").arg(i), QString()));
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);
        MatrixSdkWorker::addDecoderToJson(list);
        const bool written = MatrixSdkWorker::flushStore();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QCOMPARE(readAll(dataPath(MatrixStore::DecoderFileName)), before);
        QCOMPARE(QDir(dataDir).entryList({"*.json*"}, QDir::Files), QStringList{"decoders.json"});
        QVERIFY(problems.wait());
        // Still pending: the next chance writes it.
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().size(), decoders);
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.1\""));
    }

    void readOnlyDirectoryIsReportedOncePerFailure()
    {
        MatrixSdkWorker::addDecoderToJson({decoder(Main, QString())});
        QVERIFY(MatrixSdkWorker::flushStore());
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);
        {
            ReadOnlyFolder readOnly(dataDir);
            QVERIFY(readOnly.isReadOnly());
            for (int i = 1; i <= 6; ++i) {
                MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.%1").arg(i), QString())});
                QVERIFY(!MatrixSdkWorker::flushStore());
            }
            QTRY_COMPARE(problems.count(), 1);
        }
        // Writable again: the pending list is written and the operator learns it.
        QVERIFY(MatrixSdkWorker::flushStore());
        QTRY_COMPARE(problems.count(), 2);
        QVERIFY(problems.last().first().toString().contains("saved again"));
        QVERIFY(readAll(dataPath(MatrixStore::DecoderFileName)).contains("192.0.2.6"));
    }

    void damagedFileThatCannotBeKeptAsideIsNotWrittenOver()
    {
        QVERIFY(QDir().mkpath(dataDir));
        QVERIFY(writeAll(dataPath(MatrixStore::DecoderFileName), "not json"));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);
        {
            ReadOnlyFolder readOnly(dataDir);
            QVERIFY(readOnly.isReadOnly());
            QVERIFY(MatrixSdkWorker::getDecoderFromJson().isEmpty());
        }
        QVERIFY(problems.wait());
        // The folder is writable again, but nothing may replace the file nobody could keep.
        MatrixSdkWorker::addDecoderToJson({decoder(Main, QString())});
        QVERIFY(!MatrixSdkWorker::flushStore());
        QCOMPARE(readAll(dataPath(MatrixStore::DecoderFileName)), QByteArray("not json"));
    }

    void partlyDamagedListIsKeptBeforeItsRemainsAreUsed_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("lost");
        const QByteArray walls = R"({"format":"tvwall-tvwalls","version":1,"tvWalls":[)";
        QTest::newRow("one address twice")
            << "decoders.json" << decoderDocument(R"({"ip":"192.0.2.10"},{"ip":"192.0.2.10","userName":"b"})")
            << QStringList{Main} << "entries 1 and 2 are both 192.0.2.10";
        QTest::newRow("not an object") << "decoders.json" << decoderDocument(R"(7,{"ip":"192.0.2.10"})")
                                       << QStringList{Main} << "entry 1 is not a decoder";
        QTest::newRow("no address") << "decoders.json"
                                    << decoderDocument(R"({"userName":"a"},{"ip":"192.0.2.10"})")
                                    << QStringList{Main} << "entry 1 has no address";
        QTest::newRow("wrong type") << "decoders.json"
                                    << decoderDocument(R"({"ip":"192.0.2.10","channelCount":"4"})")
                                    << QStringList{Main} << "\"channelCount\" is not a whole number";
        QTest::newRow("half a surrogate pair")
            << "decoders.json" << decoderDocument(R"({"ip":"192.0.2.10","version":"\ud800"})")
            << QStringList{Main} << "\"version\" is not valid text";
        QTest::newRow("one wall name twice")
            << "tvwalls.json" << walls + R"({"tvWallName":"Lobby"},{"tvWallName":"Lobby","row":2}]})"
            << QStringList{"Lobby"} << "entries 1 and 2 are both \"Lobby\"";
        // A damaged copy of the decoder's wall is left out; the wall itself is kept.
        QTest::newRow("copy not an object")
            << "tvwalls.json" << walls + R"({"tvWallName":"Lobby","decoderCopy":[1]}]})"
            << QStringList{"Lobby"} << "Lobby: \"decoderCopy\" is not an object";
        QTest::newRow("copy's field of the wrong type")
            << "tvwalls.json" << walls + R"({"tvWallName":"Lobby","decoderCopy":{"row":"2"}}]})"
            << QStringList{"Lobby"} << "Lobby/decoderCopy: \"row\" is not a whole number";
        QTest::newRow("copy's screen not an object")
            << "tvwalls.json" << walls + R"({"tvWallName":"Lobby","decoderCopy":{"screens":[{},3]}}]})"
            << QStringList{"Lobby"} << "\"screens\" screen 2 is not an object";
        QByteArray many;
        for (int i = 0; i < 101; ++i)
            many += i ? ",{}" : "{}";
        QTest::newRow("copy with more screens than a wall has")
            << "tvwalls.json"
            << walls + R"({"tvWallName":"Lobby","decoderCopy":{"screens":[)" + many + "]}}]}"
            << QStringList{"Lobby"} << "\"screens\" has more than 100 screens";
    }

    void partlyDamagedListIsKeptBeforeItsRemainsAreUsed()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, entries);
        QFETCH(QStringList, kept);
        QFETCH(QString, lost);
        QVERIFY(QDir().mkpath(dataDir));
        QVERIFY(writeAll(QDir(dataDir).filePath(file), entries));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);

        const MatrixInfoMap decoders = MatrixSdkWorker::getDecoderFromJson();
        const auto walls = MatrixSdkWorker::getMatrixFromJson();
        QCOMPARE(file == "decoders.json" ? decoders.keys() : walls.keys(), kept);
        QVERIFY(problems.wait());
        QVERIFY2(problems.first().first().toString().contains(lost),
                 qPrintable(problems.first().first().toString()));
        const QStringList aside = QDir(dataDir).entryList({file + ".damaged-*"}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        // What the page writes back replaces the file; the original stays as it was.
        MatrixSdkWorker::addDecoderToJson(decoders.values());
        MatrixSdkWorker::addMatrixToJson(walls.values());
        QVERIFY(MatrixSdkWorker::flushStore());
        QCOMPARE(readAll(QDir(dataDir).filePath(aside.first())), entries);
    }

    // Each wall keeps what this desk last exchanged with its decoder, written with the wall and only while
    // the wall is listed; lists written before copies were kept read as walls without one.
    void wallCopiesGoWithTheirWalls()
    {
        TvWallManagement held = wall(QStringLiteral("Lobby"), Main);
        held.matrixInfoList[1].matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
        held.mainMatrix.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        held.connected = false;
        const DecoderWallCopy copy{true, held, true};
        // A copy may come before its wall is listed (the wizard's, before the page stores the wall).
        MatrixSdkWorker::setWallCopyToJson(QStringLiteral("Lobby"), copy);
        MatrixSdkWorker::addMatrixToJson(
            {wall(QStringLiteral("Lobby"), Main), wall(QStringLiteral("Hall"), Single)});
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(!readAll(dataPath(MatrixStore::TvWallFileName)).contains("passwordSealed"));

        MatrixSdkWorker::setDataDirectory(dataDir);
        const DecoderWallCopy back = MatrixSdkWorker::getWallCopyFromJson(QStringLiteral("Lobby"));
        QVERIFY(back.kept && back.changedOnDecoder);
        QCOMPARE(copyText(back.wall), copyText(held));
        QVERIFY(!MatrixSdkWorker::getWallCopyFromJson(QStringLiteral("Hall")).kept);

        // A list without the wall forgets its copy; the same name listed again has none.
        MatrixSdkWorker::addMatrixToJson({wall(QStringLiteral("Hall"), Single)});
        MatrixSdkWorker::addMatrixToJson(
            {wall(QStringLiteral("Lobby"), Main), wall(QStringLiteral("Hall"), Single)});
        QVERIFY(!MatrixSdkWorker::getWallCopyFromJson(QStringLiteral("Lobby")).kept);
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(!readAll(dataPath(MatrixStore::TvWallFileName)).contains("decoderCopy"));

        // A copy set for a listed wall reaches the disk by itself.
        MatrixSdkWorker::setWallCopyToJson(QStringLiteral("Hall"), DecoderWallCopy{true, held, false});
        QTRY_VERIFY(readAll(dataPath(MatrixStore::TvWallFileName)).contains("decoderCopy"));
    }

    void firstFormatOpensOnceAndIsSealedAgain()
    {
        QVERIFY(QDir().mkpath(QFileInfo(keyFile).absolutePath()) && QDir().mkpath(dataDir));
        QVERIFY(writeAll(keyFile, QByteArray::fromBase64("AwoRGB8mLTQ7QklQV15lbHN6gYiPlp2kq7K5wMfO1dw=")));
        const QByteArray old = "sb1:nKkLzoSvJwbE9rSlL2e2idD2vWFMPO+YSekqn4thgG2Ru5cAFVIfNihyXnCtbE9WzkA=";
        QVERIFY(writeAll(dataPath(MatrixStore::DecoderFileName),
                         decoderDocument("{\"ip\":\"192.0.2.10\",\"passwordSealed\":\"" + old + "\"}")));
        MatrixSdkWorker::setSecretKeyFile(keyFile);
        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, QStringLiteral("Legacy-Pw1"));
        QTRY_VERIFY(
            sealedValues(readAll(dataPath(MatrixStore::DecoderFileName))).value(Main).startsWith("xc2:"));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, QStringLiteral("Legacy-Pw1"));
    }

    void unopenablePasswordsAreKeptAndNotTried_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("missing") << "missing";
        QTest::newRow("empty") << "empty";
        QTest::newRow("short") << "short";
        QTest::newRow("long") << "long";
        QTest::newRow("another key") << "other";
        QTest::newRow("unreadable") << "unreadable";
        // The key is fine, but each decoder got the other one's sealed password.
        QTest::newRow("values swapped") << "swapped";
    }

    void unopenablePasswordsAreKeptAndNotTried()
    {
        QFETCH(QString, damage);
        MatrixSdkWorker::addDecoderToJson({decoder(Main, FleetPassword), decoder(Single, "second-Pw2")});
        QVERIFY(MatrixSdkWorker::flushStore());
        const QByteArray goodKey = readAll(keyFile);
        const QByteArray goodList = readAll(dataPath(MatrixStore::DecoderFileName));
        const QMap<QString, QString> sealed = sealedValues(goodList);
        if (damage == "swapped") {
            QByteArray swapped = goodList;
            swapped.replace(sealed[Main].toLatin1(), "@")
                .replace(sealed[Single].toLatin1(), sealed[Main].toLatin1());
            QVERIFY(writeAll(dataPath(MatrixStore::DecoderFileName),
                             swapped.replace("@", sealed[Single].toLatin1())));
        } else {
            QVERIFY(QFile::remove(keyFile));
            if (damage == "unreadable")
                QVERIFY(QDir().mkpath(keyFile));
            else if (damage != "missing")
                QVERIFY(writeAll(keyFile, damage == "empty"   ? QByteArray()
                                          : damage == "short" ? goodKey.left(31)
                                          : damage == "long"  ? goodKey + "x"
                                                              : QByteArray(32, 'k')));
        }
        const QByteArray damagedKey = readAll(keyFile);
        const QMap<QString, QString> sealedBefore =
            sealedValues(readAll(dataPath(MatrixStore::DecoderFileName)));

        MatrixSdkWorker::setSecretKeyFile(keyFile);
        MatrixSdkWorker::setDataDirectory(dataDir);
        QSignalSpy keyProblems(&worker(), &MatrixSdkWorker::signalStoreKeyProblem);
        const MatrixInfoMap read = MatrixSdkWorker::getDecoderFromJson();
        QCOMPARE(read.value(Main).password + read.value(Single).password, QString());
        QVERIFY(keyProblems.wait());
        QVERIFY(keyProblems.first().first().toString().contains(Main));

        // The page stores what it read: the sealed values stay, and no key replaces the damaged one.
        MatrixSdkWorker::addDecoderToJson(read.values());
        QVERIFY(MatrixSdkWorker::flushStore());
        QCOMPARE(sealedValues(readAll(dataPath(MatrixStore::DecoderFileName))), sealedBefore);
        QCOMPARE(QFileInfo::exists(keyFile), damage != "missing");
        QCOMPARE(readAll(keyFile), damagedKey);

        // No login with a password nobody knows: the decoder's tries stay untouched.
        ServiceSpy errors(&MatrixSdkWorker::signalConnectErrorMsg);
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(read.value(Main), this);
        QTRY_COMPARE(results.count(), 1);
        QVERIFY(results.first().at(1).toInt() != 0);
        QCOMPARE(errors.first().at(1).value<ConnectErrorMsgInfo>().errorCount, -1);
        MatrixInfo typo = read.value(Main);
        typo.password = QStringLiteral("typo");
        worker().connectMatrix(typo, this);
        QTRY_COMPARE(errors.count(), 2);
        QCOMPARE(errors.last().at(1).value<ConnectErrorMsgInfo>().errorCount, 1);

        // The right key and list back, every password with them.
        QDir(keyFile).removeRecursively(); // the unreadable key is a folder
        QFile::remove(keyFile);
        QVERIFY(writeAll(keyFile, goodKey) && writeAll(dataPath(MatrixStore::DecoderFileName), goodList));
        MatrixSdkWorker::setSecretKeyFile(keyFile);
        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, FleetPassword);
    }

    void newKeyOnlyOnceNoStoredPasswordWaitsForIt()
    {
        MatrixSdkWorker::addDecoderToJson({decoder(Main, "first-Pw1"), decoder(Single, "second-Pw2")});
        QVERIFY(MatrixSdkWorker::flushStore());
        const QMap<QString, QString> sealedBefore =
            sealedValues(readAll(dataPath(MatrixStore::DecoderFileName)));
        QVERIFY(QFile::remove(keyFile));
        MatrixSdkWorker::setSecretKeyFile(keyFile);
        MatrixSdkWorker::setDataDirectory(dataDir);
        MatrixInfoMap decoders = MatrixSdkWorker::getDecoderFromJson();

        // One decoder gets its password again: the other still waits for the old key.
        decoders[Main].password = QStringLiteral("new-Pw1");
        MatrixSdkWorker::addDecoderToJson(decoders.values());
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(!QFileInfo::exists(keyFile));
        QCOMPARE(sealedValues(readAll(dataPath(MatrixStore::DecoderFileName))), sealedBefore);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, QStringLiteral("new-Pw1"));

        decoders[Single].password = QStringLiteral("new-Pw2");
        MatrixSdkWorker::addDecoderToJson(decoders.values());
        QVERIFY(MatrixSdkWorker::flushStore());
        QVERIFY(QFileInfo::exists(keyFile));
        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Main).password, QStringLiteral("new-Pw1"));
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(Single).password, QStringLiteral("new-Pw2"));
    }

    void passwordsAreNeverStoredInClear()
    {
        const QString secret = QStringLiteral("Xy7-secret-Pw");
        MatrixInfo screenOwner = decoder(QStringLiteral("192.0.2.10"), secret);
        TvWallManagement w = wall(QStringLiteral("Lobby"), screenOwner.ip);
        w.mainMatrix.password = secret;
        MatrixSdkWorker::addDecoderToJson({screenOwner});
        MatrixSdkWorker::addMatrixToJson({w});
        QVERIFY(MatrixSdkWorker::flushStore());

        for (const char* file : {MatrixStore::DecoderFileName, MatrixStore::TvWallFileName}) {
            const QByteArray bytes = readAll(dataPath(file));
            QVERIFY(!bytes.isEmpty());
            QVERIFY2(!bytes.contains(secret.toUtf8()), file);
            QVERIFY2(!bytes.contains(secret.toUtf8().toBase64()), file);
        }
        const QFile::Permissions keyPermissions = QFile::permissions(keyFile);
        QVERIFY(keyPermissions.testFlag(QFile::ReadOwner) && keyPermissions.testFlag(QFile::WriteOwner));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(int(keyPermissions & others), 0);
        QVERIFY(!keyFile.startsWith(dataDir));

        MatrixSdkWorker::setDataDirectory(dataDir);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(screenOwner.ip).password, secret);
        QCOMPARE(MatrixSdkWorker::getMatrixFromJson().value(QStringLiteral("Lobby")).mainMatrix.password,
                 secret);
    }

    void environmentChoosesTheDataDirectory()
    {
        const QString fromEnv = temp->filePath(QStringLiteral("env-data"));
        qputenv("TVWALL_DATA_DIR", fromEnv.toLocal8Bit());
        MatrixSdkWorker::setDataDirectory(QString());
        const QString chosen = MatrixSdkWorker::dataDirectory();
        MatrixSdkWorker::addDecoderToJson({decoder(QStringLiteral("192.0.2.10"), QString())});
        const bool written = MatrixSdkWorker::flushStore();
        qunsetenv("TVWALL_DATA_DIR");
        QCOMPARE(chosen, fromEnv);
        QVERIFY(written);
        QVERIFY(QFile::exists(QDir(fromEnv).filePath(QStringLiteral("decoders.json"))));
        QVERIFY(!QFile::exists(dataPath(MatrixStore::DecoderFileName)));
        // An explicit directory wins over the environment.
        qputenv("TVWALL_DATA_DIR", fromEnv.toLocal8Bit());
        MatrixSdkWorker::setDataDirectory(dataDir);
        const QString explicitDir = MatrixSdkWorker::dataDirectory();
        qunsetenv("TVWALL_DATA_DIR");
        QCOMPARE(explicitDir, dataDir);
    }

private:
    QString dataPath(const char* file) const { return QDir(dataDir).filePath(QString::fromLatin1(file)); }
    std::unique_ptr<QTemporaryDir> temp;
    QString dataDir;
    QString keyFile;
};

QTEST_MAIN(TestStore)
#include "tst_store.moc"
