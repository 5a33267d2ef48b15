// The mask under a modal dialog on a real X server (xvfb-run): with no window
// manager, with one, and with a compositor. The dialog stays visible over its
// mask and the page under the mask shows darkened, not black. Each case leaves
// a picture of the screen in TVWALL_SHOT_DIR.
//
// CTest runs each case in a fresh X server, as a session starts: a window
// manager started after this process has had windows may leave its next
// window unmanaged, which would test the window manager, not the mask.

#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QX11Info>

#include <xcb/xcb.h>

using pral_matrix::MatrixSdkWorker;

namespace {

/** Set by a window manager once it manages windows. */
bool windowManagerRuns()
{
    xcb_connection_t* c = QX11Info::connection();
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 24, "_NET_SUPPORTING_WM_CHECK"), nullptr);
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, QX11Info::appRootWindow(), atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool set = reply && xcb_get_property_value_length(reply) > 0;
    free(reply);
    free(atom);
    return set;
}

bool managementDialogMade()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](QWidget* w) { return w->inherits("pral_matrixConfig::DecoderManagementDlg"); });
}

QImage onScreen(const QRect& area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

/** Mean difference per colour channel from expected, whose channels are first divided by divisor. */
double difference(const QImage& seen, QImage expected, int divisor = 1)
{
    expected = expected.convertToFormat(QImage::Format_RGB32);
    if (seen.size() != expected.size())
        return 255;
    qint64 sum = 0;
    for (int y = 0; y < seen.height(); ++y) {
        for (int x = 0; x < seen.width(); ++x) {
            const QRgb p = seen.pixel(x, y);
            const QRgb q = expected.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q) / divisor) + qAbs(qGreen(p) - qGreen(q) / divisor) +
                   qAbs(qBlue(p) - qBlue(q) / divisor);
        }
    }
    return double(sum) / (3.0 * seen.width() * seen.height());
}

} // namespace

class TestDialogMask : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QX11Info::isPlatformX11(), "needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb");
        MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
    }

    void cleanupTestCase()
    {
        for (QProcess* helper : {&compositor, &windowManager}) {
            helper->terminate();
            helper->waitForFinished();
        }
        MatrixSdkWorker::setDataDirectory(dir.filePath("unused"));
    }

    void managementDialogShowsOverItsMask_data()
    {
        QTest::addColumn<QStringList>("helpers");
        QTest::newRow("no window manager") << QStringList();
        QTest::newRow("window manager") << QStringList{"openbox"};
        QTest::newRow("window manager and compositor") << QStringList{"openbox", "xcompmgr"};
    }

    void managementDialogShowsOverItsMask()
    {
        QFETCH(QStringList, helpers);
        if (helpers.contains("openbox")) {
            windowManager.start("openbox", QStringList());
            QVERIFY2(windowManager.waitForStarted(), "openbox is missing (Debian package openbox)");
            QTRY_VERIFY_WITH_TIMEOUT(windowManagerRuns(), 10000);
        }
        if (helpers.contains("xcompmgr")) {
            compositor.start("xcompmgr", QStringList());
            QVERIFY2(compositor.waitForStarted(), "xcompmgr is missing (Debian package xcompmgr)");
            QTRY_VERIFY_WITH_TIMEOUT(QX11Info::isCompositingManagerRunning(), 10000);
        }

        // The page inside a bright border, on which black and darkened are easy to tell apart.
        QWidget host;
        host.setObjectName("host");
        host.setStyleSheet("QWidget#host{background:#e09040;}");
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(60, 60, 60, 60);
        layout->addWidget(new pral_matrixConfig::MatrixConfigForm(&host));
        host.setGeometry(40, 40, 1100, 700);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTRY_VERIFY(managementDialogMade());

        double dialogDifference = 255;
        double borderDifference = 255;
        ModalAnswerer answer("pral_matrixConfig::DecoderManagementDlg", [&](QWidget* shown) {
            const QRect dialogArea(shown->mapToGlobal(QPoint(0, 0)), shown->size());
            const QRect border(host.mapToGlobal(QPoint(0, 0)), QSize(host.width(), 50));
            const QImage dialogAlone = shown->grab().toImage();
            const QImage borderAlone = host.grab(QRect(0, 0, host.width(), 50)).toImage();
            // The dialog as it looks on its own; the border at half its brightness, as the mask dims it.
            // Waited for: the window manager and the compositor paint when they get to it.
            (void)QTest::qWaitFor(
                [&] {
                    dialogDifference = difference(onScreen(dialogArea), dialogAlone);
                    borderDifference = difference(onScreen(border), borderAlone, 2);
                    return dialogDifference < 6 && borderDifference < 10;
                },
                5000);
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QDir(qEnvironmentVariable("TVWALL_SHOT_DIR", QDir::tempPath()))
                    .filePath(QStringLiteral("mask-%1.png").arg(QTest::currentDataTag()).replace(' ', '-')));
            static_cast<QDialog*>(shown)->reject();
        });
        QTest::mouseClick(host.findChild<QWidget*>("decoderManagementBtn"), Qt::LeftButton);
        QVERIFY(answer.answered());
        QVERIFY2(dialogDifference < 6, qPrintable(QString::number(dialogDifference)));
        QVERIFY2(borderDifference < 10, qPrintable(QString::number(borderDifference)));
    }

private:
    QTemporaryDir dir;
    QProcess windowManager;
    QProcess compositor;
};

QTEST_MAIN(TestDialogMask)
#include "tst_dialogmask.moc"
