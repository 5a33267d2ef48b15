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

    void showsOnlyOverADisabledWidget_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("enabled") << true;
        QTest::newRow("disabled") << false;
    }

    void showsOnlyOverADisabledWidget()
    {
        QFETCH(bool, enabled);
        QWidget window;
        auto* covered = new QWidget(&window);
        covered->resize(120, 80);
        covered->hide();
        covered->setEnabled(enabled);
        auto* overlay = new DisabledWt(covered);
        overlay->hide();
        window.show();
        covered->show();
        QCOMPARE(overlay->isVisible(), !enabled);
        if (!enabled)
            QCOMPARE(overlay->geometry(), QRect(0, 0, 120, 80));
    }

    void followsSizeAndHide()
    {
        QWidget window;
        auto* covered = new QWidget(&window);
        covered->resize(100, 60);
        covered->setEnabled(false);
        auto* overlay = new DisabledWt(covered);
        window.show();
        overlay->show();
        covered->resize(200, 90);
        QCOMPARE(overlay->geometry(), QRect(0, 0, 200, 90));
        covered->hide();
        QVERIFY(overlay->isHidden());
        covered->show();
        QVERIFY(overlay->isVisible());
        QColor shade = overlay->palette().color(overlay->backgroundRole());
        QCOMPARE(shade.rgb(), QColor(19, 25, 41).rgb());
        QCOMPARE(qRound(shade.alphaF() * 100), 65);
        QVERIFY(overlay->autoFillBackground());
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
        QCOMPARE(qRound(mask.windowOpacity() * 10), 5);
        QVERIFY(!mask.isVisible());
        dialog.show();
        QVERIFY(mask.isVisible());
        dialog.hide();
    }

    void followsResizeNotMove()
    {
        QWidget owner;
        owner.setGeometry(100, 120, 400, 300);
        owner.show();
        QDialog dialog(&owner);
        DlgMaskWt mask(&owner, &dialog);
        dialog.show();
        const QPoint topLeft = mask.pos();
        owner.resize(500, 350);
        QCOMPARE(mask.size(), QSize(500, 350));
        owner.move(300, 300);
        QCOMPARE(mask.pos(), topLeft);
        dialog.hide();
    }

    void hidesAndShowsWithTheOwner()
    {
        QWidget owner;
        owner.resize(300, 200);
        owner.show();
        QDialog dialog(&owner);
        DlgMaskWt mask(&owner, &dialog);
        dialog.show();
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
