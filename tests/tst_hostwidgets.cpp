#include "datetimespanselwt.h"
#include "ipeditwt.h"
#include "pageeditwt.h"
#include "passwordlineedit.h"
#include "seldirlineet.h"
#include "tableoperwt.h"
#include "timespacelineet.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace PCOMMON;

namespace {
// Keys go to whichever field has the focus, as they do for a person typing; QTest::keyClicks
// would keep sending to the first field and hide every jump.
void typeIntoFocus(const QString& text)
{
    for (const QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, c.toLatin1());
    }
}

/** An address edit in an active window, with the focus in its first field. */
IpEditWt* focusedIpEdit(QWidget* window)
{
    auto* edit = new IpEditWt(window);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return nullptr;
    edit->setFocus();
    return QApplication::focusWidget() == edit->octetEdit(0) ? edit : nullptr;
}

template <typename T>
T* child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}
} // namespace

/** Paging, address entry, time spans and the small edits of the host, driven as a user would. */
class TestHostWidgets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // ---- PageEditWt: paging arithmetic and the signals that the log dialog pages with ----

    void pageCount_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty list still has one page") << 0 << 10 << 1;
        QTest::newRow("exactly full") << 10 << 10 << 1;
        QTest::newRow("one over") << 11 << 10 << 2;
        QTest::newRow("odd size") << 101 << 7 << 15;
    }
    void pageCount()
    {
        QFETCH(int, total);
        QFETCH(int, pageSize);
        QFETCH(int, pages);
        PageEditWt pager;
        pager.setPageSize(pageSize);
        pager.updateTotalCnt(total);
        QCOMPARE(pager.pageCount(), pages);
        QCOMPARE(child<QLabel>(&pager, "pageLabel")->text(), QStringLiteral("1/%1").arg(pages));
    }

    void buttonsNavigateAndClamp()
    {
        PageEditWt pager;
        pager.updateTotalCnt(25);
        pager.show();
        QSignalSpy spy(&pager, &PageEditWt::signalGotoPage);
        auto* first = child<QPushButton>(&pager, "firstBtn");
        auto* prev = child<QPushButton>(&pager, "prevBtn");
        auto* next = child<QPushButton>(&pager, "nextBtn");
        auto* last = child<QPushButton>(&pager, "lastBtn");
        QVERIFY(!prev->isEnabled());

        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last(), (QList<QVariant>{2, 10}));
        QTest::mouseClick(last, Qt::LeftButton);
        QCOMPARE(spy.last(), (QList<QVariant>{3, 10}));
        QCOMPARE(pager.getCurPageIndex(), 3);
        QVERIFY(!next->isEnabled());
        // The disabled arrow must not be reachable from code either.
        pager.nextPage();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(pager.getCurPageIndex(), 3);

        QTest::mouseClick(prev, Qt::LeftButton);
        QCOMPARE(spy.last(), (QList<QVariant>{2, 10}));
        QTest::mouseClick(first, Qt::LeftButton);
        QCOMPARE(spy.last(), (QList<QVariant>{1, 10}));
        pager.prevPage();
        QCOMPARE(spy.count(), 4);
        QCOMPARE(pager.getCurPageIndex(), 1);

        // A refresh with fewer entries redraws the page the user was on; the next click brings him back in
        // range.
        pager.gotoPage(3);
        pager.updateTotalCnt(5);
        QCOMPARE(pager.getCurPageIndex(), 3);
        QCOMPARE(pager.pageCount(), 1);
        pager.prevPage();
        QCOMPARE(spy.last(), (QList<QVariant>{1, 10}));
    }

    void goToTypedPage()
    {
        PageEditWt pager;
        pager.updateTotalCnt(25);
        pager.show();
        QSignalSpy spy(&pager, &PageEditWt::signalGotoPage);
        auto* edit = child<QLineEdit>(&pager, "pageEdit");
        QTest::keyClicks(edit, QStringLiteral("7"));
        QTest::mouseClick(child<QPushButton>(&pager, "goBtn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last(), (QList<QVariant>{3, 10}));

        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("2"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(spy.last(), (QList<QVariant>{2, 10}));

        // Page 0 cannot be shown; it goes to the first page.
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("-0"));
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QTest::mouseClick(child<QPushButton>(&pager, "goBtn"), Qt::LeftButton);
        QCOMPARE(spy.last(), (QList<QVariant>{1, 10}));
    }

    void choosingPageSizeRestartsAtPageOne()
    {
        PageEditWt pager;
        pager.updateTotalCnt(95);
        pager.show();
        pager.gotoPage(4);
        QSignalSpy sizeSpy(&pager, &PageEditWt::signalPageSizeChanged);
        auto* combo = child<QComboBox>(&pager, "pageSizeCombo");
        QCOMPARE(combo->currentText(), QStringLiteral("10"));
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(sizeSpy.count(), 1);
        QCOMPARE(sizeSpy.last().at(0).toInt(), 20);
        QCOMPARE(pager.getPageSize(), 20);
        QCOMPARE(pager.getCurPageIndex(), 1);
        QCOMPARE(pager.pageCount(), 5);
    }

    void setPageSizeAddsMissingSizesAndRefusesZero()
    {
        PageEditWt pager;
        QSignalSpy sizeSpy(&pager, &PageEditWt::signalPageSizeChanged);
        pager.setPageSize(15);
        QCOMPARE(pager.getPageSize(), 15);
        QCOMPARE(pager.pageSizes(), (QList<int>{10, 15, 20, 50, 100}));
        QCOMPARE(child<QComboBox>(&pager, "pageSizeCombo")->currentText(), QStringLiteral("15"));
        pager.setPageSize(0);
        pager.setPageSize(-5);
        QCOMPARE(pager.getPageSize(), 15);
        pager.setPageSize(15);
        QCOMPARE(sizeSpy.count(), 1);
    }

    // ---- IpEditWt: the four-field address entry of the network dialog ----

    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const QString& keys, const QString& text) {
            QTest::newRow(name) << keys << text;
        };
        row("dotted", "192.168.1.20", "192.168.1.20");
        // "0" is complete and jumps; the dot after it must not skip a second field.
        row("zeros", "0.0.0.0", "0.0.0.0");
        row("full octets jump", "255255255255", "255.255.255.255");
        row("no digit can follow 26", "26010", "26.0.10.");
        row("256 refused", "256.1.2.3", "25.1.2.3");
        row("double dot", "1..2", "1.2..");
        row("letters refused", "1a.b2", "1.2..");
    }
    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QWidget window;
        IpEditWt* edit = focusedIpEdit(&window);
        QVERIFY(edit);
        typeIntoFocus(keys);
        QCOMPARE(edit->text(), text);
    }

    void backspaceOnEmptyFieldGoesBack()
    {
        QWidget window;
        IpEditWt* edit = focusedIpEdit(&window);
        QVERIFY(edit);
        typeIntoFocus(QStringLiteral("12.3"));
        QCOMPARE(QApplication::focusWidget(), edit->octetEdit(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(edit->octetEdit(1)->text(), QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(QApplication::focusWidget(), edit->octetEdit(0));
        QCOMPARE(edit->octetEdit(0)->text(), QStringLiteral("12"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("1..."));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
    }

    void setTextRoundTrip_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char* name, const QString& input, const QString& text, bool valid) {
            QTest::newRow(name) << input << text << valid;
        };
        row("address", "10.20.30.40", "10.20.30.40", true);
        row("limits", "0.0.255.255", "0.0.255.255", true);
        row("empty", "", "", false);
        row("three parts", "1.2.3", "1.2.3.", false);
        row("octet too big", "300.1.1.1", ".1.1.1", false);
        row("leading zero", "010.1.1.1", ".1.1.1", false);
        row("not numbers", "a.b.c.d", "", false);
        row("extra part ignored", "1.2.3.4.5", "1.2.3.4", true);
        row("cleared", "<clear>", "", false);
    }
    void setTextRoundTrip()
    {
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        IpEditWt edit;
        edit.setText(QStringLiteral("9.9.9.9"));
        QSignalSpy spy(&edit, &IpEditWt::textChanged);
        const auto enter = [&edit, &input] {
            input == "<clear>" ? edit.clear() : edit.setText(input);
        };
        enter();
        QCOMPARE(edit.text(), text);
        QCOMPARE(edit.isValid(), valid);
        // One notice for the whole address, not one per field, and none when nothing changes.
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toString(), text);
        enter();
        QCOMPARE(spy.count(), 1);
    }

    // ---- the span field and its chooser, as the log dialog couples them ----

    void pressOnFieldOpensChooserWhoseOkFillsIt()
    {
        TimeSpaceLineEt field;
        DatetimeSpanSelWt chooser(nullptr, false);
        // The log dialog's coupling: a left press opens the chooser, its confirmation fills the field.
        connect(&field, &TimeSpaceLineEt::signalClicked, &chooser, &QWidget::show);
        connect(&chooser, &DatetimeSpanSelWt::signalDatetimeSpanSelChanged, &field,
                &TimeSpaceLineEt::setDateTimeSpace);
        field.show();
        QTest::mouseClick(&field, Qt::RightButton);
        QVERIFY(!chooser.isVisible());
        QTest::mouseClick(&field, Qt::LeftButton);
        QVERIFY(chooser.isVisible());
        const QDateTime start(QDate(2024, 2, 29), QTime(8, 30, 0));
        const QDateTime end(QDate(2024, 3, 1), QTime(23, 59, 59));
        chooser.setDateTimeSpace(start, end);
        QTest::mouseClick(child<QPushButton>(&chooser, "okBtn"), Qt::LeftButton);
        QCOMPARE(field.text(), QStringLiteral("2024-02-29 08:30:00 - 2024-03-01 23:59:59"));
        QDateTime gotStart;
        QDateTime gotEnd;
        field.getDateTimeSpace(gotStart, gotEnd);
        QCOMPARE(gotStart, start);
        QCOMPARE(gotEnd, end);
        chooser.close();
    }

    void maxSpan_data()
    {
        QTest::addColumn<qint64>("spanSecs");
        QTest::addColumn<bool>("accepted");
        constexpr qint64 limit = 8035200; // 93 days
        QTest::newRow("exactly the limit") << limit << true;
        QTest::newRow("one second over") << limit + 1 << false;
        QTest::newRow("end before start") << qint64(-1) << false;
        QTest::newRow("empty span") << qint64(0) << true;
    }
    void maxSpan()
    {
        QFETCH(qint64, spanSecs);
        QFETCH(bool, accepted);
        QWidget owner;
        // The log dialog's way: a pop-up owned by the dialog.
        DatetimeSpanSelWt chooser(&owner, true);
        chooser.setMaxSpanSecs(8035200);
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0, 0));
        chooser.setDateTimeSpace(start, start.addSecs(spanSecs));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QSignalSpy spy(&chooser, &DatetimeSpanSelWt::signalDatetimeSpanSelChanged);
        QTest::mouseClick(child<QPushButton>(&chooser, "okBtn"), Qt::LeftButton);
        QCOMPARE(spy.count(), accepted ? 1 : 0);
        QCOMPARE(chooser.isVisible(), !accepted);
        auto* note = child<QLabel>(&chooser, "noteLabel");
        QCOMPARE(note->isVisible(), !accepted);
        if (!accepted) {
            // Changing the span takes the refusal away again.
            chooser.setDateTimeSpace(start, start.addSecs(60));
            QVERIFY(!note->isVisible());
            QTest::mouseClick(child<QPushButton>(&chooser, "okBtn"), Qt::LeftButton);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.last().at(1).toDateTime(), start.addSecs(60));
        }
        chooser.close();
    }

    // ---- small line edits and the cell widget base ----

    void passwordEyeTogglesEcho()
    {
        PasswordLineEdit edit;
        edit.show();
        QCOMPARE(edit.echoMode(), QLineEdit::Password);
        QTest::keyClicks(&edit, QStringLiteral("Secret#1"));
        edit.toggleAction()->trigger();
        QCOMPARE(edit.echoMode(), QLineEdit::Normal);
        edit.toggleAction()->trigger();
        QCOMPARE(edit.echoMode(), QLineEdit::Password);
        QCOMPARE(edit.text(), QStringLiteral("Secret#1"));
    }

    void selDirFieldReportsClicksOnFieldAndButton()
    {
        SelDirLineEt field;
        field.resize(314, 28);
        field.show();
        QSignalSpy spy(&field, &SelDirLineEt::signalClicked);
        QTest::mouseClick(&field, Qt::LeftButton, Qt::NoModifier, QPoint(20, 14));
        QCOMPARE(spy.count(), 1);
        QVERIFY(field.rect().contains(field.browseButton()->geometry()));
        QTest::mouseClick(field.browseButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
    }

    void tableOperWtFollowsRowRemoval()
    {
        QTableWidget table(3, 2);
        auto* rowOne = new TableOperWt(&table);
        auto* rowTwo = new TableOperWt(&table);
        table.setCellWidget(1, 1, rowOne);
        table.setCellWidget(2, 1, rowTwo);
        QCOMPARE(rowOne->currentRow(), 1);
        QCOMPARE(rowTwo->currentRow(), 2);
        table.removeRow(0);
        QCOMPARE(rowOne->currentRow(), 0);
        QCOMPARE(rowTwo->currentRow(), 1);
        TableOperWt loose;
        QCOMPARE(loose.currentRow(), -1);
    }
};

QTEST_MAIN(TestHostWidgets)
#include "tst_hostwidgets.moc"
