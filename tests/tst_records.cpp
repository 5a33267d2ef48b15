#include "matrixsdkworker.h"
#include "recordjson.h"

#include <QtTest>

#include <cstring>

using namespace pral_matrix;

/**
 * @brief The shared records: the defaults clients rely on, the meta-type
 * names signatures use, and the JSON form every field survives.
 */
class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerMatrixMetaTypes(); }

    void defaultMatrixInfoMarksEverythingUnset()
    {
        const MatrixInfo info;
        QCOMPARE(int(info.matrixType), -1);
        // One code unit 0xFFFF, not an empty string: "no id yet" differs from "empty id".
        QCOMPARE(info.deviceId.size(), 1);
        QCOMPARE(info.deviceId.at(0).unicode(), ushort(0xFFFF));
        QCOMPARE(info.column, -1);
        QCOMPARE(info.row, -1);
        QCOMPARE(info.connectStatus, 0);
        QCOMPARE(info.channel, 0);
        QVERIFY(!info.activated);
    }

    void defaultRecordsHoldTheirDocumentedValues()
    {
        const ScreenColor color;
        QCOMPARE(color.brightness, 87);
        QCOMPARE(color.contrast, 87);
        QCOMPARE(color.chroma, 87);
        QCOMPARE(color.sharpness, 87);
        const ConnectErrorMsgInfo error;
        QCOMPARE(error.errorCount, -1);
        QCOMPARE(error.lockThreshold, -1);
        QCOMPARE(error.lockMinutes, -1);
        QCOMPARE(error.unlockSeconds, -1);
        const MatrixWindowInfo window;
        QCOMPARE(window.windowParam1, -1);
        QCOMPARE(window.windowParam3, 1);
        QCOMPARE(window.columnCount, 1);
        QCOMPARE(window.width, 0);
        const WindowSourceInfo source;
        QCOMPARE(source.sourceSlot, -1);
        QCOMPARE(source.sourceParam3, -1);
        QCOMPARE(source.pictureMode, 0);
        const WindowScreenInfo screen;
        QCOMPARE(screen.screenNo, -1);
        const TvWallManagement wall;
        QCOMPARE(int(wall.mainMatrix.matrixType), -1);
        QVERIFY(!wall.connected);
    }

    void typesAreKnownUnderTheirSignatureNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("id");
        QTest::newRow("MatrixInfoMap") << QByteArray("MatrixInfoMap") << qMetaTypeId<MatrixInfoMap>();
        QTest::newRow("MatrixInfoList") << QByteArray("MatrixInfoList") << qMetaTypeId<MatrixInfoList>();
        QTest::newRow("CMHandle") << QByteArray("CMHandle") << qMetaTypeId<CMHandle>();
        QTest::newRow("handle pointer")
            << QByteArray("QSharedPointer<CSharedHandle>") << qMetaTypeId<CMHandle>();
        QTest::newRow("TvWallManagement")
            << QByteArray("pral_matrix::TvWallManagement") << qMetaTypeId<TvWallManagement>();
        QTest::newRow("ConnectErrorMsgInfo")
            << QByteArray("pral_matrix::ConnectErrorMsgInfo") << qMetaTypeId<ConnectErrorMsgInfo>();
        QTest::newRow("ScreenColor") << QByteArray("pral_matrix::ScreenColor") << qMetaTypeId<ScreenColor>();
        QTest::newRow("ScreenResolution_t")
            << QByteArray("ScreenResolution_t") << qMetaTypeId<ScreenResolution_t>();
        QTest::newRow("DeviceNetworkCfg_t")
            << QByteArray("DeviceNetworkCfg_t") << qMetaTypeId<DeviceNetworkCfg_t>();
    }

    void typesAreKnownUnderTheirSignatureNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, id);
        QCOMPARE(QMetaType::type(name.constData()), id);
    }

    void recordsSurviveQueuedCalls()
    {
        // A queued call copies its arguments through the meta-type system, so a
        // record with a broken registration would arrive default-constructed.
        auto& worker = PSingleton<MatrixSdkWorker>::_instance();
        DeviceNetworkCfg_t sent{};
        std::strcpy(sent.ipv4Addr, "192.0.2.44");
        sent.ipv6PrefixLen = 48;
        DeviceNetworkCfg_t received{};
        QObject receiver;
        connect(
            &worker, &MatrixSdkWorker::signalGetMatrixNetworkResult, &receiver,
            [&received](const DeviceNetworkCfg_t& cfg, const QString&, int) { received = cfg; },
            Qt::QueuedConnection);
        emit worker.signalGetMatrixNetworkResult(sent, QStringLiteral("192.0.2.44"), 3);
        QTRY_COMPARE(received.ipv6PrefixLen, 48);
        QCOMPARE(QByteArray(received.ipv4Addr), QByteArray("192.0.2.44"));
    }

    void jsonCarriesEveryFieldAndSealsPasswords()
    {
        MatrixInfo info;
        info.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
        info.deviceId = QString();
        info.ip = QStringLiteral("192.0.2.10");
        info.userName = QStringLiteral("admin");
        info.password = QStringLiteral("secret");
        info.spare4 = Q_INT64_C(-9000000000000000001);
        const QJsonObject object = RecordJson::toJson(
            info,
            [](const MatrixInfo& entry, const QString&) {
                return QStringLiteral("sealed:") + entry.password;
            },
            info.ip);
        QVERIFY(!object.contains(QStringLiteral("password")));
        QCOMPARE(object.value(QStringLiteral("passwordSealed")).toString(), QStringLiteral("sealed:secret"));
        const MatrixInfo back = RecordJson::matrixInfoFromJson(
            object, [](const QString& sealed, const MatrixInfo&, const QString&) { return sealed.mid(7); },
            info.ip);
        QCOMPARE(int(back.matrixType), 1);
        // An empty id stays empty and is not mistaken for "never set".
        QVERIFY(back.deviceId.isEmpty());
        QCOMPARE(back.password, QStringLiteral("secret"));
        // Beyond what a double holds: the JSON must not carry it as a number.
        QCOMPARE(back.spare4, info.spare4);
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
