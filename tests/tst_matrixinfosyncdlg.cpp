#include "matrixinfosyncdlg.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QtTest>

using namespace pral_matrixConfig;

namespace {

const QStringList Addresses{QStringLiteral("192.0.2.12"), QStringLiteral("192.0.2.10"),
                            QStringLiteral("192.0.2.11")};

/** Clicks a check box or radio button on its indicator, where the operator clicks. */
void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

/** Clicks, in order: an address by its index in the list, or a button by name. */
void clickAll(QWidget* dialog, const QStringList& steps)
{
    auto* list = dialog->findChild<QListWidget*>("ipListWt");
    for (const QString& step : steps) {
        bool isIndex = false;
        const int index = step.toInt(&isIndex);
        click(isIndex ? qobject_cast<QAbstractButton*>(list->itemWidget(list->item(index)))
                      : dialog->findChild<QAbstractButton*>(step));
    }
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

    void choiceFollowsClicks_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<bool>("checkAll");
        QTest::newRow("no: nothing can be checked")
            << Addresses << QStringList{"0", "checkAllCheckBox"} << QStringList() << false;
        QTest::newRow("yes: list order") << Addresses << QStringList{"yesBtn", "2", "0"}
                                         << QStringList{Addresses.at(0), Addresses.at(2)} << false;
        QTest::newRow("unchecked again")
            << Addresses << QStringList{"yesBtn", "2", "0", "2"} << QStringList{Addresses.at(0)} << false;
        QTest::newRow("every one checked")
            << Addresses << QStringList{"yesBtn", "0", "1", "2"} << Addresses << true;
        QTest::newRow("one unchecked of all") << Addresses << QStringList{"yesBtn", "0", "1", "2", "1"}
                                              << QStringList{Addresses.at(0), Addresses.at(2)} << false;
        QTest::newRow("check all") << Addresses << QStringList{"yesBtn", "1", "checkAllCheckBox"} << Addresses
                                   << true;
        QTest::newRow("check all twice")
            << Addresses << QStringList{"yesBtn", "1", "checkAllCheckBox", "checkAllCheckBox"}
            << QStringList() << false;
        QTest::newRow("no clears") << Addresses << QStringList{"yesBtn", "checkAllCheckBox", "noBtn"}
                                   << QStringList() << false;
        QTest::newRow("yes again is empty")
            << Addresses << QStringList{"yesBtn", "checkAllCheckBox", "noBtn", "yesBtn"} << QStringList()
            << false;
        QTest::newRow("empty list") << QStringList() << QStringList{"yesBtn", "checkAllCheckBox"}
                                    << QStringList() << true;
    }

    void choiceFollowsClicks()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, chosen);
        QFETCH(bool, checkAll);
        MatrixInfoSyncDlg dialog(addresses, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* all = dialog.findChild<QCheckBox*>("checkAllCheckBox");
        QSignalSpy checkAllClicked(all, &QCheckBox::clicked);
        clickAll(&dialog, steps);
        QCOMPARE(dialog.getCheckedIpList(), chosen);
        QCOMPARE(all->isChecked(), checkAll);
        // The boxes can be clicked only after yes; following them is no click on "chexk all".
        bool yes = false;
        int allClicks = 0;
        for (const QString& step : steps) {
            yes = step == "yesBtn" || (yes && step != "noBtn");
            allClicks += yes && step == "checkAllCheckBox" ? 1 : 0;
        }
        QCOMPARE(dialog.findChild<QWidget*>("ipShowWt")->isEnabled(), yes);
        QCOMPARE(checkAllClicked.count(), allClicks);
    }

    // As the search dialog runs it after adding decoders: modal, read only when accepted.
    void modalRunGivesTheChoice_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("no") << QStringList{"okBtn"} << int(QDialog::Accepted) << QStringList();
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
        ModalAnswerer answer(QStringLiteral("pral_matrixConfig::MatrixInfoSyncDlg"),
                             [steps](QWidget* dlg) { clickAll(dlg, steps); });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(answer.answered());
        // The caller ignores the list of a cancelled dialog; it still tells what was checked.
        QCOMPARE(dialog.getCheckedIpList(), chosen);
    }
};

QTEST_MAIN(TestMatrixInfoSyncDlg)
#include "tst_matrixinfosyncdlg.moc"
