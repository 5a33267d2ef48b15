// The mask under a modal dialog on a real X server (run under xvfb-run), as
// control rooms run it: with no window manager, with one, and with a
// compositor. The dialog must stay visible over its mask, and the page under
// the mask must show darkened, not black. Each case leaves a picture of the
// screen in TVWALL_SHOT_DIR for people to look at.
//
// CTest runs each case in a fresh X server, as a session starts: a window
// manager started after this process has had windows of its own may leave its
// next window unmanaged, which would test the window manager, not the mask.

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

#include <memory>

using pral_matrix::MatrixSdkWorker;
using pral_matrixConfig::DecoderManagementDlg;

namespace {

bool selectionOwned(const QByteArray& name)
{
    xcb_connection_t* c = QX11Info::connection();
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    free(owner);
    free(atom);
    return owned;
}

/** Set by a window manager once it manages windows (owning its selection comes earlier). */
bool windowManagerReady()
{
    xcb_connection_t* c = QX11Info::connection();
    const QByteArray name = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, QX11Info::appRootWindow(), atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool set = reply && xcb_get_property_value_length(reply) > 0;
    free(reply);
    free(atom);
    return set;
}

/** Mean difference per colour channel between two pictures of the same size. */
double difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); y += 2) {
        for (int x = 0; x < a.width(); x += 2) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * ((a.width() + 1) / 2) * ((a.height() + 1) / 2));
}

QImage darkened(QImage image)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(qRed(line[x]) / 2, qGreen(line[x]) / 2, qBlue(line[x]) / 2);
    }
    return image;
}

QImage screenArea(const QRect& area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<DecoderManagementDlg*>(w))
            return dialog;
    }
    return nullptr;
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

    void cleanupTestCase() { MatrixSdkWorker::setDataDirectory(dir.filePath("unused")); }

    void cleanup()
    {
        for (QProcess* helper : {&compositor, &windowManager}) {
            helper->terminate();
            helper->waitForFinished();
        }
        QTRY_VERIFY(!selectionOwned("WM_S0") && !selectionOwned("_NET_WM_CM_S0"));
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void managementDialogShowsOverItsMask_data()
    {
        QTest::addColumn<bool>("withWindowManager");
        QTest::addColumn<bool>("withCompositor");
        QTest::newRow("no window manager") << false << false;
        QTest::newRow("window manager") << true << false;
        QTest::newRow("window manager and compositor") << true << true;
    }

    void managementDialogShowsOverItsMask()
    {
        QFETCH(bool, withWindowManager);
        QFETCH(bool, withCompositor);
        if (withWindowManager) {
            windowManager.start("openbox", QStringList());
            QVERIFY2(windowManager.waitForStarted(), "openbox is missing (Debian package openbox)");
            QTRY_VERIFY_WITH_TIMEOUT(selectionOwned("WM_S0") && windowManagerReady(), 10000);
        }
        if (withCompositor) {
            compositor.start("xcompmgr", QStringList());
            QVERIFY2(compositor.waitForStarted(), "xcompmgr is missing (Debian package xcompmgr)");
            QTRY_VERIFY_WITH_TIMEOUT(QX11Info::isCompositingManagerRunning(), 10000);
        }

        // The page inside a host with a bright border, which makes black and darkened easy to tell apart.
        QWidget host;
        host.setObjectName("host");
        host.setStyleSheet("QWidget#host{background:#e09040;}");
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(60, 60, 60, 60);
        layout->addWidget(new pral_matrixConfig::MatrixConfigForm(&host));
        host.setGeometry(40, 40, 1100, 700);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTRY_VERIFY(managementDialog());

        double dialogDifference = 255;
        double borderDifference = 255;
        int borderBrightness = 0;
        ModalAnswerer answer("pral_matrixConfig::DecoderManagementDlg", [&](QWidget* shown) {
            const QRect dialogArea(shown->mapToGlobal(QPoint(0, 0)), shown->size());
            const QRect border(host.mapToGlobal(QPoint(0, 0)), QSize(host.width(), 50));
            const QImage dialogAlone = shown->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage hostDarkened = darkened(host.grab(QRect(0, 0, host.width(), 50)).toImage());
            // Whatever paints last (the compositor) has had its turn once both areas look settled.
            (void)QTest::qWaitFor(
                [&] {
                    dialogDifference = difference(screenArea(dialogArea), dialogAlone);
                    borderDifference = difference(screenArea(border), hostDarkened);
                    return dialogDifference < 6 && borderDifference < 10;
                },
                5000);
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            borderBrightness = qGray(screen.pixel(border.center()));
            screen.save(QDir(shotDir()).filePath(
                QStringLiteral("mask-%1.png").arg(QTest::currentDataTag()).replace(' ', '-')));
            static_cast<QDialog*>(shown)->reject();
        });
        QTest::mouseClick(host.findChild<QWidget*>("decoderManagementBtn"), Qt::LeftButton);
        QVERIFY(answer.answered());
        // The dialog on top, as it looks on its own; the page under the mask darkened, not black.
        QVERIFY2(dialogDifference < 6, qPrintable(QString::number(dialogDifference)));
        QVERIFY2(borderDifference < 10, qPrintable(QString::number(borderDifference)));
        QVERIFY(borderBrightness > 40);
    }

private:
    static QString shotDir()
    {
        const QString d = qEnvironmentVariableIsSet("TVWALL_SHOT_DIR")
                              ? qEnvironmentVariable("TVWALL_SHOT_DIR")
                              : QDir::temp().filePath("tvwall-shots");
        QDir().mkpath(d);
        return d;
    }

    QTemporaryDir dir;
    QProcess windowManager;
    QProcess compositor;
};

QTEST_MAIN(TestDialogMask)
#include "tst_dialogmask.moc"
