// The application as an operator runs it: one process per data directory, and
// a quit by signal that writes the lists and disconnects the decoders. The
// last case ends this test's own event loop and the service with it, so it
// runs last.

#include "matrixconfigform.h"
#include "matrixsdkworker.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;

namespace {

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        data = dir->filePath(QStringLiteral("data"));
        lockFile = data + QStringLiteral("/tvwall.lock");
    }

    void cleanup()
    {
        for (QProcess* process : {&first, &second}) {
            process->kill();
            process->waitForFinished();
        }
        MatrixSdkWorker::setDataDirectory(dir->filePath(QStringLiteral("unused")));
    }

    void secondProcessIsToldWhoHasTheDirectory()
    {
        start(first, {"--data-dir", data});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockFile), 30000);
        const QByteArray pid = QByteArray::number(first.processId());

        start(second, {"--data-dir", data, "--screenshot", dir->filePath("second.png")});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 2);
        const QByteArray told = second.readAllStandardError();
        QVERIFY2(told.contains("in use by process " + pid), told.constData());

        // This process is told the same, and takes the directory over once its holder is gone.
        MatrixSdkWorker::setDataDirectory(data);
        QString why;
        QVERIFY(!MatrixSdkWorker::lockDataDirectory(&why));
        QVERIFY2(why.contains("process " + pid), qPrintable(why));
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(lockFile));
        QVERIFY2(MatrixSdkWorker::lockDataDirectory(&why), qPrintable(why));
    }

    void signalsQuitInOrder_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void signalsQuitInOrder()
    {
        QFETCH(int, signalNumber);
        start(first, {"--data-dir", data, "--demo"});
        // The page has logged in to the decoders and stored what it learnt.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(data + "/decoders.json").contains("\"connectStatus\": 1"), 60000);
        QCOMPARE(::kill(pid_t(first.processId()), signalNumber), 0);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        // Only an orderly end releases the directory.
        QVERIFY(!QFile::exists(lockFile));
    }

    void quitHandlingStillReachesTheService()
    {
        MatrixSdkWorker::setDataDirectory(data);
        MatrixSdkWorker::setSecretKeyFile(dir->filePath(QStringLiteral("store.key")));
        QVERIFY(worker().loadFleet(MatrixSdkWorker::defaultFleetJson()));
        worker().setResultDelay(0);
        MatrixInfo decoder;
        decoder.ip = QStringLiteral("192.0.2.10");
        decoder.userName = QStringLiteral("admin");
        decoder.password = QStringLiteral("Tvwall@2024");
        worker().connectMatrix(decoder, this);
        QTRY_VERIFY(worker().getHandleByIp(decoder.ip));

        // As the host does: the page's quit handling runs when the event loop ends.
        pral_matrixConfig::MatrixConfigForm page;
        connect(qApp, &QCoreApplication::aboutToQuit, &page,
                [&page] { QMetaObject::invokeMethod(&page, "slotQuitSystem"); });
        bool disconnectedFirst = false;
        bool ran = false;
        connect(qApp, &QCoreApplication::aboutToQuit, this, [&] {
            worker().invokeOnServiceThread([&] {
                disconnectedFirst = worker().getHandleByIp(decoder.ip).isNull();
                ran = true;
            });
        });
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        qApp->exec();
        // What the end of the application object does.
        worker().shutdown();
        QVERIFY(ran);
        QVERIFY(disconnectedFirst);
    }

private:
    void start(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TVWALL_KEY_FILE"), dir->filePath(QStringLiteral("app.key")));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TVWALL_APP_FILE), arguments);
        QVERIFY(process.waitForStarted());
    }

    std::unique_ptr<QTemporaryDir> dir;
    QString data;
    QString lockFile;
    QProcess first;
    QProcess second;
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
