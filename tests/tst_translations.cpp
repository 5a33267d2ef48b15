// The translations: every catalogue translates every text of its library's sources and
// keeps each text's %N markers, and with zh_CN installed the connection error reports read
// in Chinese with their values in place, as do the store's reports of a data directory in use
// and of a damaged list, while the one notice the page shows untranslated stays as it is.
// (tst_pageshots_zh_CN_200 looks at the page and the dialogs in Chinese.)

#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixstore.h"
#include "servicethread.h"
#include "testlanguage.h"

#include <QApplication>
#include <QGlyphRun>
#include <QLockFile>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>
#include <QTextLayout>

#ifndef TVWALL_LUPDATE
#error "TVWALL_LUPDATE must name Qt's lupdate"
#endif

using namespace mgmt;

namespace {

/// "%2 of %1" gives "%1 %2": a text's markers, whatever their order.
QString markers(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d+"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found.join(QLatin1Char(' '));
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    Fixture fx;

private slots:
    void initTestCase()
    {
        QCOMPARE(installTestLanguage(QStringLiteral("zh_CN")), QStringLiteral("zh_CN"));
        // Qt's own texts (standard buttons, the line edit's menu) follow.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        // Han characters in their Chinese shapes, not a Japanese face's, whatever the system's language.
        QTextLayout layout(QStringLiteral("解码器"), QApplication::font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QCOMPARE(layout.glyphRuns().constFirst().rawFont().familyName(), QStringLiteral("Noto Sans CJK SC"));
    }

    void cleanupTestCase() { PCOMMON::UiLanguage::uninstall(); }
    void init() { QVERIFY(fx.setUp()); }

    void cleanup()
    {
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void catalogueIsComplete_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("sources");
        // "<ts file>=<source folder>" per catalogue and language, from the build.
        for (const QString& row : QStringLiteral(TVWALL_CATALOGUE_TABLE).split(QLatin1Char('|'))) {
            const QStringList parts = row.split(QLatin1Char('='));
            QTest::newRow(qPrintable(QFileInfo(parts.at(0)).fileName())) << parts.at(0) << parts.at(1);
        }
    }

    void catalogueIsComplete()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, sources);
        // lupdate works on a copy: the catalogue as it would be with the sources' texts merged in.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(catalogue).fileName());
        QVERIFY(QFile::copy(catalogue, copy));
        QProcess lupdate;
        lupdate.start(QStringLiteral(TVWALL_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"), sources,
                       QStringLiteral("-ts"), copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());

        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        static const QRegularExpression message(
            QStringLiteral(
                "<source>(.*?)</source>.*?<translation( type=\"unfinished\")?>(.*?)</translation>"),
            QRegularExpression::DotMatchesEverythingOption);
        int texts = 0;
        QStringList faults;
        for (auto it = message.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext(); ++texts) {
            const QRegularExpressionMatch m = it.next();
            if (!m.captured(2).isEmpty() || m.captured(3).isEmpty())
                faults << QLatin1String("not translated: ") + m.captured(1);
            // A lost or extra %N drops a value or shows a bare "%2" to the operator.
            else if (markers(m.captured(1)) != markers(m.captured(3)))
                faults << QLatin1String("other markers: ") + m.captured(1) + QLatin1String(" -> ") +
                              m.captured(3);
        }
        // A wrong source folder would find nothing and leave nothing unfinished.
        QVERIFY(texts > 0);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void connectionErrorsReadInChinese_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QString>("message");
        // Distinct numbers, so that a translation that swaps two of them shows.
        QTest::newRow("password, counters")
            << "PASSWDERR" << QList<int>{2, 5, 30, -1}
            << QStringLiteral(
                   "解码器(192.0.2.11)连接失败：用户名或密码错误，已错误2次，错误5次将锁定30分钟！");
        QTest::newRow("password, no counters")
            << "PASSWDERR" << QList<int>{-1, -1, -1, -1}
            << QStringLiteral("解码器(192.0.2.11)连接失败：用户名或密码错误！");
        QTest::newRow("locked") << "USERLOCK" << QList<int>{-1, -1, -1, 90}
                                << QStringLiteral("解码器(192.0.2.11)已被锁定，将在90秒后解锁。");
        QTest::newRow("not active") << "DEVNOACTIVE" << QList<int>{-1, -1, -1, -1}
                                    << QStringLiteral("解码器(192.0.2.11)连接失败：设备未激活！");
        QTest::newRow("anything else") << "TIMEOUT" << QList<int>{3, 5, 30, 60}
                                       << QStringLiteral("解码器(192.0.2.11)连接失败：未知错误！");
    }

    void connectionErrorsReadInChinese()
    {
        QFETCH(QString, type);
        QFETCH(QList<int>, numbers);
        QFETCH(QString, message);
        auto dialog = management({stored(Single)});
        QVERIFY(settle(dialog.get(), {Single}, QStringLiteral("连接成功")));
        pral_matrix::ConnectErrorMsgInfo info;
        info.errorType = type;
        info.errorCount = numbers.at(0);
        info.lockThreshold = numbers.at(1);
        info.lockMinutes = numbers.at(2);
        info.unlockSeconds = numbers.at(3);
        auto* target = dialog.get();
        QVERIFY(runOnServiceThread([&] { emit worker().signalConnectErrorMsg(Single, info, target); }));
        QCOMPARE(fx.alerts(), QStringList{message});
    }

    void storeProblemsReadInChinese()
    {
        using pral_matrix::MatrixSdkWorker;
        using pral_matrix::MatrixStore;
        const QDir dir(MatrixSdkWorker::dataDirectory());
        QVERIFY(dir.mkpath(QStringLiteral(".")));
        {
            QLockFile other(dir.filePath(QString::fromLatin1(MatrixStore::LockFileName)));
            QVERIFY(other.tryLock(0));
            QString why;
            QVERIFY(!MatrixSdkWorker::lockDataDirectory(&why));
            QCOMPARE(why, QStringLiteral("数据目录 %1 正被进程 %2（%4 上的 %3）占用")
                              .arg(dir.path())
                              .arg(QCoreApplication::applicationPid())
                              .arg(QCoreApplication::applicationName(), QSysInfo::machineHostName()));
        }

        // What the list and one record lost are both told, each in Chinese.
        const QString list = dir.filePath(QString::fromLatin1(MatrixStore::DecoderFileName));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            R"({"format":"tvwall-decoders","version":1,"decoders":[7,{"ip":"192.0.2.10","row":1.5}]})");
        file.close();
        MatrixSdkWorker::setDataDirectory(dir.path());
        QSignalSpy problems(&worker(), &MatrixSdkWorker::signalStoreProblem);
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().keys(), QStringList{"192.0.2.10"});
        QVERIFY(problems.wait());
        const QStringList kept = dir.entryList({QStringLiteral("decoders.json.damaged-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(problems.first().first().toString(),
                 QStringLiteral("%1 已损坏，无法使用的内容已略去：第 1 项不是解码器；"
                                "192.0.2.10：“row”不是有效范围内的整数。原文件已另存为 %2。")
                     .arg(list, dir.filePath(kept.first())));
    }

    void noticeShownUntranslatedStaysEnglish()
    {
        // Beside a wall of its own decoder, a wall whose decoder the client does not have.
        storeControlRoom();
        pral_matrix::TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Stray wall");
        wall.mainIp = Other;
        wall.row = wall.col = 1;
        wall.matrixInfoList = {stored(Other)};
        pral_matrix::MatrixSdkWorker::addMatrixToJson(
            pral_matrix::MatrixSdkWorker::getMatrixFromJson().values() << wall);
        pral_matrix::MatrixSdkWorker::flushStore();
        pral_matrixConfig::MatrixConfigForm form;
        form.show();
        QTRY_VERIFY(wallRow(&form, "Stray wall"));
        QTest::mouseClick(wallRow(&form, "Stray wall")->findChild<QPushButton*>("connectBt"), Qt::LeftButton);
        QCOMPARE(fx.alerts(), QStringList{"There is no decoder added, TV wall connection failed!"});
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
