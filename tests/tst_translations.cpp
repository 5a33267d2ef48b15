// The Chinese user interface: every catalogue translates every text of its library's
// sources and keeps each text's placeholders, and with the zh_CN translation installed
// the page, the decoder management dialog and the connection error reports read in
// Chinese, with their values in place and nothing clipped.

#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "screenlayoutwt.h"
#include "servicethread.h"
#include "showntexts.h"
#include "testlanguage.h"

#include <QApplication>
#include <QGlyphRun>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QXmlStreamReader>

#include <algorithm>

#ifndef TVWALL_LUPDATE
#error "TVWALL_LUPDATE must name Qt's lupdate"
#endif

using namespace mgmt;
using pral_matrix::ConnectErrorMsgInfo;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;

namespace {

struct Entry
{
    QString context;
    QString source;
    QString translation;
    bool unfinished = false;
};

QList<Entry> readCatalogue(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> entries;
    QString context;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entries.append({context, {}, {}, false});
        } else if (xml.name() == QLatin1String("source")) {
            entries.last().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entries.last().unfinished =
                xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            entries.last().translation = xml.readElementText();
        }
    }
    return entries;
}

/// The placeholders of a text, in order of their numbers: "%2 of %1" gives {1, 2}.
QList<int> placeholders(const QString& text)
{
    QList<int> numbers;
    static const QRegularExpression marker(QStringLiteral("%(\\d+)"));
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        numbers << it.next().captured(1).toInt();
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QString translated(const char* context, const char* text)
{
    return QCoreApplication::translate(context, text);
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
        QCOMPARE(translated("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
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
        // lupdate works on a copy: the catalogue as it would be after the sources' texts are merged in.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(catalogue).fileName());
        QVERIFY(QFile::copy(catalogue, copy));
        QProcess lupdate;
        lupdate.start(QStringLiteral(TVWALL_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"), sources,
                       QStringLiteral("-ts"), copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());

        const QList<Entry> entries = readCatalogue(copy);
        // A wrong source folder would find nothing and leave nothing unfinished.
        QVERIFY(!entries.isEmpty());
        QStringList unfinished;
        QStringList changedPlaceholders;
        for (const Entry& entry : entries) {
            if (entry.unfinished || entry.translation.isEmpty())
                unfinished << entry.context + QLatin1String(": ") + entry.source;
            else if (placeholders(entry.source) != placeholders(entry.translation))
                changedPlaceholders << entry.source + QLatin1String(" -> ") + entry.translation;
        }
        QVERIFY2(unfinished.isEmpty(),
                 qPrintable(QLatin1String("not translated:\n") + unfinished.join('\n')));
        // A lost or extra %N drops a value or shows a bare "%2" to the operator.
        QVERIFY2(changedPlaceholders.isEmpty(), qPrintable(changedPlaceholders.join('\n')));
    }

    void pageReadsInChinese()
    {
        storeControlRoom();
        // A wall of a decoder the client does not have: its notice is one the page shows as is.
        pral_matrix::TvWallManagement stray;
        stray.tvWallName = QStringLiteral("Stray wall");
        stray.mainIp = Other;
        stray.row = 1;
        stray.col = 1;
        MatrixInfo screen = stored(Other);
        stray.matrixInfoList = {screen};
        MatrixSdkWorker::addMatrixToJson(MatrixSdkWorker::getMatrixFromJson().values() << stray);
        MatrixSdkWorker::flushStore();
        worker().faults().setLoginFault(Control, pral_matrix::FaultInjector::LoginFault::Refuse);

        MatrixConfigForm form;
        form.resize(1280, 760);
        form.show();
        QTRY_VERIFY(wallRow(&form, "Control room") && wallRow(&form, "Stray wall"));
        QTRY_VERIFY(!form.isUpdatePending());
        worker().faults().clear();

        QTest::mouseClick(wallRow(&form, "Stray wall")->findChild<QPushButton*>("connectBt"), Qt::LeftButton);
        QTest::mouseClick(wallRow(&form, "Control room")->findChild<QPushButton*>("connectBt"),
                          Qt::LeftButton);
        QTRY_COMPARE(fx.alerts().size(), 2);
        QCOMPARE(fx.alerts().at(0), QStringLiteral("There is no decoder added, TV wall connection failed!"));
        QCOMPARE(fx.alerts().at(1), QStringLiteral("电视墙(Control room)：连接成功！"));
        QTRY_VERIFY(wallRow(&form, "Control room")->isConnected());
        QTest::mouseClick(wallRow(&form, "Control room"), Qt::LeftButton);
        QTRY_VERIFY(form.findChild<pral_matrixConfig::ScreenLayoutWt*>()->screenCount() == 12);

        const QList<ShownText> shown = shownTexts(&form);
        QVERIFY(shown.size() > 20);
        const QStringList english = englishTexts(shown, {"Control room", "Stray wall"});
        QVERIFY2(english.isEmpty(), qPrintable(english.join('\n')));
        const QStringList clipped = clippedTexts(&form);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    }

    void managementDialogReadsInChinese_data()
    {
        QTest::addColumn<bool>("searching");
        QTest::newRow("managed decoders") << false;
        QTest::newRow("search results") << true;
    }

    void managementDialogReadsInChinese()
    {
        QFETCH(bool, searching);
        MatrixInfoMap decoders =
            searching ? found({Other, Fresh, Control}) : mapOf({stored(Main), stored(Single)});
        // A decoder that has gone from the network, to show a failed connection.
        if (!searching)
            decoders.insert(QStringLiteral("192.0.2.99"), stored(QStringLiteral("192.0.2.99")));
        DecoderManagementDlg dialog(decoders, MatrixInfoMap(), searching);
        dialog.show();
        if (searching) {
            QCOMPARE(status(&dialog, Fresh), translated(SearchClass, "unactivated"));
            QCOMPARE(status(&dialog, Other), QStringLiteral("已激活"));
        } else {
            QVERIFY(settle(&dialog, {Main, Single}, QStringLiteral("连接成功")));
            QVERIFY(
                settle(&dialog, {QStringLiteral("192.0.2.99")}, translated(SearchClass, "connect failed")));
        }

        const QList<ShownText> shown = shownTexts(&dialog);
        QVERIFY(shown.size() > 10);
        // Versions and device identifiers are the decoders' own.
        QStringList data;
        for (const MatrixInfo& decoder : qAsConst(decoders))
            data << decoder.version << decoder.deviceId;
        const QStringList english = englishTexts(shown, data);
        QVERIFY2(english.isEmpty(), qPrintable(english.join('\n')));
        const QStringList clipped = clippedTexts(&dialog);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
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
        QVERIFY(settle(dialog.get(), {Single}, translated(SearchClass, "connect success")));
        ConnectErrorMsgInfo info;
        info.errorType = type;
        info.errorCount = numbers.at(0);
        info.lockThreshold = numbers.at(1);
        info.lockMinutes = numbers.at(2);
        info.unlockSeconds = numbers.at(3);
        DecoderManagementDlg* target = dialog.get();
        QVERIFY(runOnServiceThread([&] { emit worker().signalConnectErrorMsg(Single, info, target); }));
        QCOMPARE(fx.alerts(), QStringList{message});
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
