#include "matrixinfosyncdlg.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace pral_matrixConfig;

namespace {

const QStringList Addresses{QStringLiteral("192.0.2.12"), QStringLiteral("192.0.2.10"),
                            QStringLiteral("192.0.2.11")};

template <typename T = QWidget>
T* child(QWidget* parent, const char* name)
{
    auto* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

/** The address check boxes in list order. */
QList<QCheckBox*> addressBoxes(QWidget* dialog)
{
    auto* list = child<QListWidget>(dialog, "ipListWt");
    QList<QCheckBox*> boxes;
    for (int i = 0; i < list->count(); ++i)
        boxes.append(qobject_cast<QCheckBox*>(list->itemWidget(list->item(i))));
    return boxes;
}

/** Clicks a check box or radio button on its indicator, where the operator clicks. */
void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

} // namespace

/**
 * @brief The TV-wall takeover question: yes/no, the address check boxes, "chexk all", and the list the
 * caller reads.
 */
class TestMatrixInfoSyncDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void opensWithNoAndTheAddressesUnchecked()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Matrix Info Sync"));
        QVERIFY(child<QRadioButton>(&dialog, "noBtn")->isChecked());
        QVERIFY(!child<QRadioButton>(&dialog, "yesBtn")->isChecked());
        QVERIFY(!child(&dialog, "ipShowWt")->isEnabled());
        QCOMPARE(child<QCheckBox>(&dialog, "checkAllCheckBox")->text(), QStringLiteral("chexk all"));
        const QList<QCheckBox*> boxes = addressBoxes(&dialog);
        QCOMPARE(boxes.size(), Addresses.size());
        for (int i = 0; i < boxes.size(); ++i) {
            QVERIFY(boxes.at(i));
            QCOMPARE(boxes.at(i)->text(), Addresses.at(i));
            QVERIFY(!boxes.at(i)->isChecked());
        }
    }

    void addressesCannotBeCheckedWhileNoIsChosen()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(addressBoxes(&dialog).at(0));
        click(child<QCheckBox>(&dialog, "checkAllCheckBox"));
        QVERIFY(dialog.getCheckedIpList().isEmpty());
    }

    void checkedAddressesComeBackInListOrder()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(child<QRadioButton>(&dialog, "yesBtn"));
        QVERIFY(child(&dialog, "ipShowWt")->isEnabled());
        const QList<QCheckBox*> boxes = addressBoxes(&dialog);
        click(boxes.at(2));
        click(boxes.at(0));
        QCOMPARE(dialog.getCheckedIpList(), (QStringList{Addresses.at(0), Addresses.at(2)}));
        click(boxes.at(2));
        QCOMPARE(dialog.getCheckedIpList(), QStringList{Addresses.at(0)});
    }

    void checkingEveryAddressChecksCheckAll()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(child<QRadioButton>(&dialog, "yesBtn"));
        auto* checkAll = child<QCheckBox>(&dialog, "checkAllCheckBox");
        QSignalSpy checkAllClicked(checkAll, &QCheckBox::clicked);
        const QList<QCheckBox*> boxes = addressBoxes(&dialog);
        click(boxes.at(0));
        click(boxes.at(1));
        QVERIFY(!checkAll->isChecked());
        click(boxes.at(2));
        QVERIFY(checkAll->isChecked());
        click(boxes.at(1));
        QVERIFY(!checkAll->isChecked());
        // Following the boxes does not count as a click on "chexk all", which would change them all.
        QCOMPARE(checkAllClicked.count(), 0);
        QCOMPARE(dialog.getCheckedIpList(), (QStringList{Addresses.at(0), Addresses.at(2)}));
    }

    void checkAllSetsEveryAddress()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(child<QRadioButton>(&dialog, "yesBtn"));
        auto* checkAll = child<QCheckBox>(&dialog, "checkAllCheckBox");
        click(addressBoxes(&dialog).at(1));
        click(checkAll);
        QVERIFY(checkAll->isChecked());
        QCOMPARE(dialog.getCheckedIpList(), Addresses);
        click(checkAll);
        QVERIFY(!checkAll->isChecked());
        QVERIFY(dialog.getCheckedIpList().isEmpty());
    }

    void switchingToNoClearsTheChoice()
    {
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(child<QRadioButton>(&dialog, "yesBtn"));
        click(child<QCheckBox>(&dialog, "checkAllCheckBox"));
        QCOMPARE(dialog.getCheckedIpList(), Addresses);
        click(child<QRadioButton>(&dialog, "noBtn"));
        QVERIFY(!child(&dialog, "ipShowWt")->isEnabled());
        QVERIFY(dialog.getCheckedIpList().isEmpty());
        QVERIFY(!child<QCheckBox>(&dialog, "checkAllCheckBox")->isChecked());
        // Yes again: the panel comes back empty.
        click(child<QRadioButton>(&dialog, "yesBtn"));
        QVERIFY(child(&dialog, "ipShowWt")->isEnabled());
        QVERIFY(dialog.getCheckedIpList().isEmpty());
    }

    // As the search dialog runs it after adding decoders: modal, read only when accepted.
    void modalRunGivesTheChoice_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("no") << QStringList{"okBtn"} << int(QDialog::Accepted) << QStringList();
        QTest::newRow("yes, nothing checked")
            << QStringList{"yesBtn", "okBtn"} << int(QDialog::Accepted) << QStringList();
        QTest::newRow("yes, one") << QStringList{"yesBtn", "1", "okBtn"} << int(QDialog::Accepted)
                                  << QStringList{Addresses.at(1)};
        QTest::newRow("yes, all") << QStringList{"yesBtn", "checkAllCheckBox", "okBtn"}
                                  << int(QDialog::Accepted) << Addresses;
        QTest::newRow("cancelled") << QStringList{"yesBtn", "checkAllCheckBox", "cancelBtn"}
                                   << int(QDialog::Rejected) << Addresses;
    }

    void modalRunGivesTheChoice()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, result);
        QFETCH(QStringList, chosen);
        MatrixInfoSyncDlg dialog(Addresses, nullptr);
        ModalAnswerer answer(QStringLiteral("pral_matrixConfig::MatrixInfoSyncDlg"), [steps](QWidget* dlg) {
            for (const QString& step : steps) {
                bool isIndex = false;
                const int index = step.toInt(&isIndex);
                click(isIndex ? addressBoxes(dlg).at(index)
                              : child<QAbstractButton>(dlg, step.toLatin1().constData()));
            }
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(answer.answered());
        // The caller ignores the list of a cancelled dialog; it still tells what was checked.
        QCOMPARE(dialog.getCheckedIpList(), chosen);
    }

    void emptyListOffersNothing()
    {
        MatrixInfoSyncDlg dialog(QStringList(), nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(child<QRadioButton>(&dialog, "yesBtn"));
        QCOMPARE(child<QListWidget>(&dialog, "ipListWt")->count(), 0);
        click(child<QCheckBox>(&dialog, "checkAllCheckBox"));
        QVERIFY(dialog.getCheckedIpList().isEmpty());
    }
};

QTEST_MAIN(TestMatrixInfoSyncDlg)
#include "tst_matrixinfosyncdlg.moc"
