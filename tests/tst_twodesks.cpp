// One wall, two desks: this process is one desk (its own service, its own data directory, the real page and
// wizard), a real tvwall process is the other (its own data directory, driven through TVWALL_TEST_DESK), and
// both talk ONVIF to one tvwall-decoderd on loopback. Whatever order they change the wall in, and when they
// save at the same time, no change is lost without a desk being told: a save shows what the other desk
// changed before it sends, and a connection marks a wall the other desk changed.

#include "addmatrixdlg.h"
#include "connectmatrixitem.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "onvifbackend.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "servicespy.h"
#include "walldifferencedlg.h"
#include "wizardtesthelpers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::OnvifBackend;

namespace {

const QString Main = QStringLiteral("127.0.0.40"); // four outputs, main decoder of the wall
const QString Single = QStringLiteral("127.0.0.41");
const QString Password = QStringLiteral("Desks@2024");
const QString Wall = QStringLiteral("Lobby");
const char* const DifferenceClass = "pral_matrixConfig::WallDifferenceDlg";

// Versions of the wall: the screens row by row.
const QStringList Initial{Main + "-1", Main + "-2", Single, Main + "-3"};
const QStringList Ours{Main + "-1", Main + "-2", Single, Main + "-4"};   // this desk re-binds 2-2
const QStringList Theirs{Main + "-2", Main + "-1", Single, Main + "-3"}; // the other desk swaps 1-1, 1-2

QByteArray fleetJson()
{
    const auto decoder = [](const QString& ip, int type, int channels, const QString& id) {
        return QJsonObject{{"ip", ip},
                           {"deviceId", id},
                           {"type", type},
                           {"channels", channels},
                           {"password", Password},
                           {"activated", true},
                           {"daemon", QJsonObject{{"address", ip}}}};
    };
    QJsonObject main = decoder(Main, 3, 4, QStringLiteral("DSK-04-0001"));
    main.insert("tvWall", QJsonObject{{"name", Wall},
                                      {"rows", 2},
                                      {"cols", 2},
                                      {"screens", QJsonArray::fromStringList(Initial)}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0},
                                     {"decoders", QJsonArray{main, decoder(Single, 1, 1, "DSK-01-0002")}}})
        .toJson();
}

/** "ip-channel" of each screen, row by row, or the bare address of a single output. */
QString screensOf(const QList<pral_matrix::MatrixInfo>& screens)
{
    QMap<QPair<int, int>, QString> cells;
    for (const pral_matrix::MatrixInfo& s : screens)
        cells.insert({s.row, s.column},
                     s.ip == Single ? s.ip : QStringLiteral("%1-%2").arg(s.ip).arg(s.channel));
    return QStringList(cells.values()).join(' ');
}

} // namespace

class TestTwoDesks : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QProcess daemon;
    quint16 port = 0;
    quint16 discoveryPort = 0;
    std::unique_ptr<MatrixConfigForm> form;
    std::unique_ptr<QSignalSpy> alerts;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QFile fleet(dir->filePath("fleet.json"));
        QVERIFY(fleet.open(QIODevice::WriteOnly) && fleet.write(fleetJson()) > 0);
        fleet.close();
        daemon.start(QStringLiteral(TVWALL_DAEMON_FILE), {"--fleet", fleet.fileName(), "--port", "0"});
        QVERIFY(daemon.waitForStarted());
        QVERIFY(daemon.waitForReadyRead(30000));
        // "listening FIRST-LAST port P discovery D"
        const QList<QByteArray> words = daemon.readLine().trimmed().split(' ');
        port = quint16(words.value(3).toUInt());
        discoveryPort = quint16(words.value(5).toUInt());
        QVERIFY2(port != 0, words.join(' ').constData());

        // This desk: its own data directory, decoders and the wall as the demonstration stores them.
        MatrixSdkWorker::setDataDirectory(dir->filePath("desk-a"));
        MatrixSdkWorker::setSecretKeyFile(dir->filePath("desk-a.key"));
        OnvifBackend::Options options;
        options.targets = QStringList{Main, Single};
        options.httpPort = port;
        options.discoveryPort = discoveryPort;
        options.linkCheckMs = 0;
        mgmt::worker().setBackend(std::make_unique<OnvifBackend>(options));
        mgmt::worker().setResultDelay(0);
        MatrixSdkWorker::addDecoderToJson({decoder(Main), decoder(Single)});
        pral_matrix::TvWallManagement wall;
        wall.tvWallName = Wall;
        wall.mainIp = Main;
        wall.row = wall.col = 2;
        for (int i = 0; i < Initial.size(); ++i) {
            pral_matrix::MatrixInfo screen;
            screen.ip = Initial.at(i).section('-', 0, 0);
            screen.channel = Initial.at(i).contains('-') ? Initial.at(i).section('-', 1).toInt() : 1;
            screen.row = i / 2;
            screen.column = i % 2;
            wall.matrixInfoList << screen;
        }
        MatrixSdkWorker::addMatrixToJson({wall});
        alerts = std::make_unique<QSignalSpy>(&pral_worker::SystemAssistant::_instance(),
                                              &pral_worker::SystemAssistant::signalAlert);
        openPage();
    }

    void cleanup()
    {
        form.reset();
        mgmt::worker().disconnectAllMatrix();
        pral_worker::SystemAssistant::_instance().closeAll();
        daemon.terminate();
        if (!daemon.waitForFinished(10000))
            daemon.kill();
        MatrixSdkWorker::flushStore();
        MatrixSdkWorker::setDataDirectory(dir->filePath("unused"));
        dir.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // This desk saves first; the other desk's save then shows what changed and does what its operator
    // chooses.
    void otherDeskSeesThisDesksSave_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QString>("told");
        QTest::newRow("overwrite") << "overwrite" << Theirs << "alert success Set the TV wall successfully!";
        QTest::newRow("take the decoder's")
            << "take" << Ours
            << "alert notice The TV wall \"Lobby\" is taken as decoder 127.0.0.40 holds it; "
               "nothing was sent.";
    }

    void otherDeskSeesThisDesksSave()
    {
        QFETCH(QString, choice);
        QFETCH(QStringList, held);
        QFETCH(QString, told);
        // The other desk is connected and has the wall open in its wizard while this one saves.
        QProcess other;
        startDesk(other, "save Lobby " + Theirs.join(',') + ' ' + choice);
        QVERIFY(waitForLine(other, "desk: ready"));
        QVERIFY(saveHere(Ours, nullptr));
        QCOMPARE(heldOnDecoder(), Ours.join(' '));

        other.write("go\n");
        QTRY_COMPARE_WITH_TIMEOUT(other.state(), QProcess::NotRunning, 60000);
        const QStringList out = lines(other);
        QVERIFY2(ranWell(out), qPrintable(out.join('\n')));
        QCOMPARE(out.filter("difference"), (QStringList{"desk: difference 2-2 | bound | 127.0.0.40-4",
                                                        "desk: difference 2-2 | unbound | 127.0.0.40-3"}));
        QCOMPARE(out.filter("alert"), QStringList{"desk: " + told});
        QCOMPARE(heldOnDecoder(), held.join(' '));
        // The other desk's list shows what the decoder holds, whichever way it went.
        QCOMPARE(storedThere(), held.join(' '));
    }

    // The other desk saves first; this desk's save then shows what changed before anything is sent.
    void thisDeskSeesTheOtherDesksSave()
    {
        const QStringList out = runDesk("save Lobby " + Theirs.join(',') + " overwrite");
        QVERIFY2(ranWell(out), qPrintable(out.join('\n')));
        QVERIFY(out.filter("difference").isEmpty());
        QCOMPARE(heldOnDecoder(), Theirs.join(' '));

        QStringList rows;
        QString heldWhileAsked;
        ModalAnswerer difference(DifferenceClass, [&](QWidget* shown) {
            rows = static_cast<WallDifferenceDlg*>(shown)->shownRows();
            heldWhileAsked = heldOnDecoder();
            QTest::mouseClick(shown->findChild<QPushButton*>("takeBtn"), Qt::LeftButton);
        });
        QVERIFY(saveHere(Ours, nullptr));
        QVERIFY(difference.answered());
        QCOMPARE(rows, (QStringList{"1-1 | moved | 127.0.0.40-2, from screen 1-2",
                                    "1-2 | moved | 127.0.0.40-1, from screen 1-1"}));
        QCOMPARE(heldWhileAsked, Theirs.join(' '));
        QCOMPARE(heldOnDecoder(), Theirs.join(' '));
        // Taken: this desk's page and list show the other desk's wall.
        QCOMPARE(screensOf(MatrixSdkWorker::getMatrixFromJson().value(Wall).matrixInfoList),
                 Theirs.join(' '));
    }

    // Saved at one desk, the wall is marked at the other when it connects, in either order.
    void connectionMarksWhatTheOtherDeskChanged()
    {
        QVERIFY(saveHere(Ours, nullptr));
        QStringList out = runDesk("connect");
        QVERIFY2(ranWell(out) && out.contains("desk: marked Lobby"), qPrintable(out.join('\n')));
        QCOMPARE(storedThere(), Ours.join(' '));

        out = runDesk("save Lobby " + Theirs.join(',') + " overwrite");
        QVERIFY2(ranWell(out), qPrintable(out.join('\n')));
        // Its own save is not a change from elsewhere for the other desk.
        QVERIFY(!out.contains("desk: marked Lobby"));
        QVERIFY(!wallRow()->isChangedOnDecoder());
        form.reset();
        openPage();
        QTRY_VERIFY(wallRow() && wallRow()->isChangedOnDecoder());
        QCOMPARE(screensOf(MatrixSdkWorker::getMatrixFromJson().value(Wall).matrixInfoList),
                 Theirs.join(' '));
    }

    // Both desks save at once. The decoder ends with one whole version; the desk whose version it is not is
    // told at once (the read back, or the difference before it sent), or finds its wall marked on its next
    // connection.
    void concurrentSavesLoseNothingSilently()
    {
        QProcess other;
        startDesk(other, "save Lobby " + Theirs.join(',') + " overwrite");
        QVERIFY(waitForLine(other, "desk: ready"));
        bool askedHere = false;
        ModalAnswerer difference(DifferenceClass, [&](QWidget* shown) {
            askedHere = true;
            QTest::mouseClick(shown->findChild<QPushButton*>("overwriteBtn"), Qt::LeftButton);
        });
        QVERIFY(saveHere(Ours, &other));
        // It may well have ended while this desk's wizard was open.
        QTRY_COMPARE_WITH_TIMEOUT(other.state(), QProcess::NotRunning, 60000);
        const QStringList out = lines(other);
        QVERIFY2(ranWell(out), qPrintable(out.join('\n')));

        const QString held = heldOnDecoder();
        QVERIFY2(held == Ours.join(' ') || held == Theirs.join(' '), qPrintable(held));
        const bool toldHere = askedHere || !warnings().filter("stored another TV wall").isEmpty();
        const bool toldThere =
            !out.filter("difference").isEmpty() || !out.filter("stored another TV wall").isEmpty();
        // Which way it went depends on timing; each way must hold.
        qInfo("the decoder holds %s; this desk was told: %d, the other: %d",
              held == Ours.join(' ') ? "ours" : "theirs", int(toldHere), int(toldThere));
        if (held != Ours.join(' ') && !toldHere) {
            form.reset();
            openPage();
            QTRY_VERIFY2(wallRow() && wallRow()->isChangedOnDecoder(), "this desk lost its save silently");
        }
        if (held != Theirs.join(' ') && !toldThere) {
            const QStringList next = runDesk("connect");
            QVERIFY2(ranWell(next) && next.contains("desk: marked Lobby"),
                     "the other desk lost its save silently");
        }
    }

private:
    static pral_matrix::MatrixInfo decoder(const QString& ip)
    {
        pral_matrix::MatrixInfo info = mgmt::stored(ip, Password);
        return info;
    }

    void openPage()
    {
        form = std::make_unique<MatrixConfigForm>();
        form->resize(1280, 760);
        form->show();
        // A wall's state may come from the list as stored; a row's status only from a login.
        QTRY_VERIFY_WITH_TIMEOUT(managementRows() == QStringList({mgmt::Up, mgmt::Up}), 30000);
        QTRY_VERIFY(wallRow() && wallRow()->isConnected());
        // The takeover the connection asked for has been answered and drawn.
        QVERIFY(runOnServiceThread([] {}));
        QTRY_VERIFY(!form->isUpdatePending());
    }

    static QStringList managementRows()
    {
        QStringList statuses;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<DecoderManagementDlg*>(w)) {
                for (const QString& ip : {Main, Single})
                    statuses << mgmt::status(dialog, ip);
            }
        }
        return statuses;
    }

    ConnectMatrixItem* wallRow() const { return mgmt::wallRow(form.get(), Wall); }

    /**
     * Edits the wall on this desk's page: binds the screens by dropping outputs, saves and confirms. With
     * other, tells that desk to save just before this one does. True once the wizard has closed or sits
     * idle after a cancelled difference.
     */
    bool saveHere(const QStringList& screens, QProcess* other)
    {
        auto* tree = form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"));
        tree->setCurrentItem(tree->topLevelItem(0));
        bool closed = false;
        ModalAnswerer editor("pral_matrixConfig::AddMatrixDlg", [&](QWidget* wizard) {
            QTest::mouseClick(wizard->findChild<QWidget*>("previewWt")->findChild<QPushButton*>("editBtn"),
                              Qt::LeftButton);
            ScreenLayoutWt* view = wiz::view(wizard, "bindingMatrixWt");
            for (int i = 0; i < screens.size(); ++i) {
                const QByteArray kind = screens.at(i).contains('-') ? "3~" : "1~";
                if (!wiz::drop(view->screen(i), kind + screens.at(i).toLatin1()))
                    return;
            }
            wiz::clickIn(wizard, "widget_bottom", "saveForEditBtn"); // back to the preview
            if (other)
                other->write("go\n");
            closed = wiz::answered(wizard, "saveForEditBtn", true) &&
                     QTest::qWaitFor([wizard] { return !wizard->isVisible(); }, 60000);
        });
        mgmt::click(form.get(), "editBtn");
        return editor.answered() && closed;
    }

    /** What the main decoder holds, read over this desk's connection. */
    QString heldOnDecoder()
    {
        ServiceSpy read(&MatrixSdkWorker::signalGetLayoutInfoResult);
        int tag = 0;
        mgmt::worker().getLayout(mgmt::worker().getHandleByIp(Main), &tag);
        for (int waited = 0; waited < 100; ++waited) {
            for (const QList<QVariant>& r : read.all()) {
                if (r.at(6).value<void*>() == &tag)
                    return screensOf(r.at(2).value<MatrixInfoList>());
            }
            read.wait(100);
        }
        return QStringLiteral("<no answer>");
    }

    /** The wall as the other desk's list keeps it. */
    QString storedThere() const
    {
        QFile file(dir->filePath("desk-b/tvwalls.json"));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("<no list>");
        const QJsonArray walls = QJsonDocument::fromJson(file.readAll()).object().value("tvWalls").toArray();
        QList<pral_matrix::MatrixInfo> screens;
        for (const QJsonValue& w : walls) {
            for (const QJsonValue& s : w.toObject().value("matrixInfoList").toArray()) {
                pral_matrix::MatrixInfo screen;
                screen.ip = s["ip"].toString();
                screen.channel = s["channel"].toInt();
                screen.row = s["row"].toInt();
                screen.column = s["column"].toInt();
                screens << screen;
            }
        }
        return screensOf(screens);
    }

    QStringList warnings() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alerts) {
            if (args.at(0).toString() == pral_contact::DictDef::alertWarning)
                texts << args.at(1).toString();
        }
        return texts;
    }

    void startDesk(QProcess& process, const QString& script)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TVWALL_KEY_FILE", dir->filePath("desk-b.key"));
        env.insert("TVWALL_TEST_DESK", script);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(TVWALL_APP_FILE),
                      {"--backend", "onvif", "--fleet", dir->filePath("fleet.json"), "--demo", "--discover",
                       Main + ',' + Single, "--onvif-port", QString::number(port), "--discovery-port",
                       QString::number(discoveryPort), "--link-check-ms", "0", "--lang", "en", "--data-dir",
                       dir->filePath("desk-b")});
        QVERIFY(process.waitForStarted());
    }

    /** Runs the other desk to its end with script; a save goes on as soon as it is ready. */
    QStringList runDesk(const QString& script)
    {
        QProcess process;
        startDesk(process, script);
        if (script.startsWith("save") && waitForLine(process, "desk: ready"))
            process.write("go\n");
        if (!process.waitForFinished(60000))
            process.kill();
        return lines(process);
    }

    bool waitForLine(QProcess& process, const QByteArray& line)
    {
        return QTest::qWaitFor(
                   [&] {
                       seen += process.readAllStandardOutput();
                       return seen.contains(line + '\n') || process.state() == QProcess::NotRunning;
                   },
                   60000) &&
               seen.contains(line + '\n');
    }

    /** What the other desk said, and last "desk: exit N" once it has ended. */
    QStringList lines(QProcess& process)
    {
        seen += process.readAllStandardOutput();
        QStringList result;
        for (const QByteArray& line : seen.split('\n')) {
            if (line.startsWith("desk: "))
                result << QString::fromUtf8(line);
        }
        seen.clear();
        if (process.state() == QProcess::NotRunning)
            result << QStringLiteral("desk: exit %1")
                          .arg(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1);
        return result;
    }

    /** The other desk did what it was told and ended cleanly (under the sanitizers: nothing leaked). */
    static bool ranWell(const QStringList& out)
    {
        return out.contains("desk: done") && out.last() == QLatin1String("desk: exit 0");
    }

    QByteArray seen;
};

QTEST_MAIN(TestTwoDesks)
#include "tst_twodesks.moc"
