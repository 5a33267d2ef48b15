#include "disabledwt.h"
#include "dlgmaskwt.h"

#include <QApplication>
#include <QDialog>
#include <QTest>

using namespace pral_matrixConfig;

class TestDisabledWt : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void showsOverADisabledWidgetAndFollowsIt()
    {
        QWidget window;
        auto* covered = new QWidget(&window);
        covered->resize(100, 60);
        covered->hide();
        auto* overlay = new DisabledWt(covered);
        overlay->hide();
        window.show();
        covered->show();
        QVERIFY(!overlay->isVisible());
        covered->hide();
        covered->setEnabled(false);
        covered->show();
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->geometry(), QRect(0, 0, 100, 60));
        covered->resize(200, 90);
        QCOMPARE(overlay->geometry(), QRect(0, 0, 200, 90));
        covered->hide();
        QVERIFY(overlay->isHidden());
        covered->show();
        QVERIFY(overlay->isVisible());
    }
};

class TestDlgMaskWt : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void coversTheOwnerWhileTheDialogRuns()
    {
        QWidget owner;
        owner.setGeometry(100, 120, 400, 300);
        owner.show();
        QDialog dialog(&owner);
        DlgMaskWt mask(&owner, &dialog);
        QCOMPARE(mask.geometry(), QRect(owner.mapToGlobal(QPoint(0, 0)), owner.size()));
        QVERIFY(!mask.isVisible());
        dialog.show();
        QVERIFY(mask.isVisible());
        // It follows the owner's size, not its moves.
        const QPoint topLeft = mask.pos();
        owner.resize(500, 350);
        QCOMPARE(mask.size(), QSize(500, 350));
        owner.move(300, 300);
        QCOMPARE(mask.pos(), topLeft);
        owner.hide();
        QVERIFY(!mask.isVisible());
        owner.show();
        QVERIFY(mask.isVisible());
        dialog.hide();
    }

    void withoutOwnerShowsWithTheDialog()
    {
        QDialog dialog;
        DlgMaskWt mask(nullptr, &dialog);
        const QRect before = mask.geometry();
        QVERIFY(!mask.isVisible());
        dialog.show();
        QVERIFY(mask.isVisible());
        QCOMPARE(mask.geometry().size(), before.size());
        dialog.hide();
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestDisabledWt disabled;
        status |= QTest::qExec(&disabled, argc, argv);
    }
    {
        TestDlgMaskWt mask;
        status |= QTest::qExec(&mask, argc, argv);
    }
    return status;
}

#include "tst_overlays.moc"
