// On a screen scaled to 200 % (CTest runs this test with QT_SCALE_FACTOR=2), set up as the
// application sets itself up: the page and the search dialog show the 2x images, not the
// plain ones scaled up, and their texts still fit.

#include "globalstyle.h"
#include "highdpi.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixtreeitem.h"
#include "showntexts.h"

#include <QApplication>
#include <QLabel>

using namespace mgmt;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;

namespace {

/// "" when the pixmap has the screen's pixels for its logical size, else what it has.
QString notSharp(const QPixmap& pixmap, QSize logical)
{
    if (pixmap.devicePixelRatio() == 2.0 && pixmap.size() == logical * 2)
        return QString();
    return QStringLiteral("%1x%2 pixels at ratio %3 for %4x%5")
        .arg(pixmap.width())
        .arg(pixmap.height())
        .arg(pixmap.devicePixelRatio())
        .arg(logical.width())
        .arg(logical.height());
}

} // namespace

class TestHighDpi : public QObject
{
    Q_OBJECT

    Fixture fx;

public:
    // Runs before the QApplication is made, like the start of the application's main().
    static void initMain() { PCOMMON::enableHighDpi(); }

private slots:
    void initTestCase()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        PCOMMON::applyGlobalStyleSheet(*qApp);
    }

    void init() { QVERIFY(fx.setUp()); }

    void cleanup()
    {
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void pageTreeIconsAreSharp()
    {
        storeControlRoom();
        MatrixConfigForm form;
        form.resize(1280, 760);
        form.show();
        QTRY_VERIFY(wallRow(&form, "Control room"));
        QTRY_VERIFY(!form.isUpdatePending());

        const auto rows = form.findChildren<pral_matrixConfig::MatrixTreeItem*>();
        QStringList blurred;
        int icons = 0;
        for (const auto* row : rows) {
            const auto* icon = row->findChild<QLabel*>(QStringLiteral("iconLabel"));
            if (!row->isVisibleTo(&form) || !icon || icon->pixmap(Qt::ReturnByValue).isNull())
                continue;
            ++icons;
            const QString fault = notSharp(icon->pixmap(Qt::ReturnByValue), QSize(16, 16));
            if (!fault.isEmpty())
                blurred << row->text() + QLatin1String(": ") + fault;
        }
        // The wall and its twelve outputs.
        QCOMPARE(icons, 13);
        QVERIFY2(blurred.isEmpty(), qPrintable(blurred.join('\n')));
        // Drawn with four times the pixels: the same layout, not a page at half size.
        QCOMPARE(form.grab().size(), form.size() * 2);
        const QStringList clipped = clippedTexts(&form);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    }

    void searchDialogIconsAreSharp_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("refresh") << "refreshBtn";
        QTest::newRow("activate") << "pathActiveBtn";
    }

    void searchDialogIconsAreSharp()
    {
        QFETCH(QString, button);
        DecoderManagementDlg dialog(found({Other, Fresh, Control}), MatrixInfoMap(), true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* b = dialog.findChild<QAbstractButton*>(button);
        QVERIFY(b && b->isVisible());
        const QString fault = notSharp(b->icon().pixmap(b->iconSize()), b->iconSize());
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        const QStringList clipped = clippedTexts(&dialog);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    }
};

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
