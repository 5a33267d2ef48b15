#include "checkpwdstrength.h"
#include "combobox.h"
#include "customaction.h"
#include "formsmgr.h"
#include "modalanswerer.h"
#include "nofocusstyleditemdelegate.h"
#include "pfiledialog.h"
#include "ppushbutton.h"
#include "pwidget.h"
#include "readonlyfolder.h"
#include "suspendlayerwt.h"
#include "toolscollection.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using namespace PCOMMON;

namespace {
QString writeImage(const QTemporaryDir& dir, const QString& name, const QColor& colour)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    image.save(path, "PNG");
    return path;
}

QColor centreOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

/** Types the name into the dialog's file field and presses Return, as a person would. */
void typeFileName(QWidget* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) {
        static_cast<QDialog*>(dialog)->reject();
        return;
    }
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

/** Exposes the protected step of the delegate. */
class ProbeDelegate : public NoFocusStyledItemDelegate
{
public:
    using NoFocusStyledItemDelegate::initStyleOption;
};
} // namespace

/** Text tools, small framework classes, looks and file choosers of the host. */
class TestHostFramework : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qApp->setStyleSheet(QString());
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // ---- password rating and string helpers that the activation dialog relies on ----

    void checkPwdStrength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("rating");
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("7 characters, two kinds") << "abcdef1" << -1;
        QTest::newRow("8 characters, one kind") << "abcdefgh" << 0;
        QTest::newRow("8 digits") << "12345678" << 0;
        QTest::newRow("8 upper-case") << "ABCDEFGH" << 0;
        QTest::newRow("8 symbols") << "!@#$%^&*" << 0;
        QTest::newRow("8 characters, two kinds") << "abcdefg1" << 1;
        QTest::newRow("upper and lower") << "Abcdefgh" << 1;
        QTest::newRow("three kinds") << "Abcdefg1" << 2;
        QTest::newRow("four kinds") << "Abcdef1!" << 2;
        QTest::newRow("16 characters") << "abcdefgh12345678" << 1;
        QTest::newRow("17 characters") << "abcdefgh123456789" << -1;
        QTest::newRow("user name") << "admin" << -1;
        QTest::newRow("space is a symbol") << "abc defg" << 1;
        QTest::newRow("tab is no kind") << "abcdefg\t" << 0;
        QTest::newRow("accented lower-case") << QString::fromUtf8("pässwört") << 0;
        QTest::newRow("accented three kinds") << QString::fromUtf8("Ünïcödé1") << 2;
        // 9 code points but 17 UTF-16 units: the length rule counts characters, not units.
        QTest::newRow("emoji count once") << QString::fromUtf8("😀😀😀😀😀😀😀😀a") << 1;
        QTest::newRow("emoji too long") << QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀a") << -1;
    }
    void checkPwdStrength()
    {
        QFETCH(QString, password);
        QFETCH(int, rating);
        QCOMPARE(PCOMMON::checkPwdStrength(password), rating);
    }

    void reverseString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reversed");
        const auto row = [](const char* name, const char* text, const char* reversed) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(reversed);
        };
        row("user name", "admin", "nimda");
        row("empty", "", "");
        row("one", "a", "a");
        row("surrogate pair kept", "a😀b", "b😀a");
    }
    void reverseString()
    {
        QFETCH(QString, text);
        QFETCH(QString, reversed);
        QCOMPARE(ToolsCollection::reverseString(text), reversed);
    }

    // ---- small framework classes: actions, delegate, singletons, the modal registry ----

    void customActionIconStates()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString normal = writeImage(dir, QStringLiteral("off_n.png"), Qt::red);
        const QString hover = writeImage(dir, QStringLiteral("off_h.png"), Qt::green);
        const QString missing = dir.filePath(QStringLiteral("off_p.png"));
        QWidget owner;
        CustomAction action(&owner, QStringLiteral("unbind"), normal, hover, missing);
        QCOMPARE(centreOf(action.icon().pixmap(16, QIcon::Normal)), QColor(Qt::red));
        QCOMPARE(centreOf(action.icon().pixmap(16, QIcon::Active)), QColor(Qt::green));
        // A missing pressed image shows the normal one, not a blank entry.
        QCOMPARE(action.pressedIconPath(), normal);
        QCOMPARE(centreOf(action.icon().pixmap(16, QIcon::Selected)), QColor(Qt::red));
    }

    void pushButtonImagesFallBackToNormal()
    {
        QTemporaryDir dir;
        const QString normal = writeImage(dir, QStringLiteral("add_n.png"), Qt::blue);
        const QString pressed = writeImage(dir, QStringLiteral("add_p.png"), Qt::cyan);
        const QString sheet =
            PPushButton::imageStyleSheet(normal, dir.filePath(QStringLiteral("add_h.png")), pressed);
        QVERIFY(!sheet.contains(QStringLiteral("add_h.png")));
        QCOMPARE(sheet.count(normal), 2);
        QVERIFY(sheet.contains(pressed));
    }

    void delegateDropsFocusFrame()
    {
        QStandardItemModel model(1, 1);
        ProbeDelegate delegate;
        QStyleOptionViewItem option;
        option.state = QStyle::State_Enabled | QStyle::State_Selected | QStyle::State_HasFocus;
        delegate.initStyleOption(&option, model.index(0, 0));
        QVERIFY(!(option.state & QStyle::State_HasFocus));
        QVERIFY(option.state & QStyle::State_Selected);
    }

    void formsMgrForgetsDestroyedDialog()
    {
        QVERIFY(!pral_base::FormsMgr::curModalDlg());
        auto* dialog = new QDialog;
        pral_base::FormsMgr::setCurModalDlg(dialog);
        QCOMPARE(pral_base::FormsMgr::curModalDlg(), dialog);
        pral_base::FormsMgr::setCurModalDlg(nullptr);
        QVERIFY(!pral_base::FormsMgr::curModalDlg());
        pral_base::FormsMgr::setCurModalDlg(dialog);
        delete dialog;
        QVERIFY(!pral_base::FormsMgr::curModalDlg());
    }

    void comboBoxIgnoresWheelWithoutFocus()
    {
        QWidget window;
        auto* combo = new ComboBox(&window);
        combo->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        auto* other = new QPushButton(&window);
        other->move(0, 40);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        const auto scrollDown = [combo] {
            QWheelEvent wheel(QPointF(5, 5), QPointF(combo->mapToGlobal(QPoint(5, 5))), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(combo, &wheel);
        };
        scrollDown();
        QCOMPARE(combo->currentIndex(), 0);
        combo->setFocus();
        scrollDown();
        QCOMPARE(combo->currentIndex(), 1);
    }

    // ---- backgrounds and layers ----

    void pwidgetBackgrounds()
    {
        PWidget widget;
        widget.resize(40, 40);
        // A bare QWidget subclass would ignore its own style sheet; the log dialog's pager relies on it.
        widget.setStyleSheet(QStringLiteral("background:#323e58;"));
        QCOMPARE(widget.grab().toImage().pixelColor(20, 20), QColor(QStringLiteral("#323e58")));
    }

    void suspendLayerIsOwnWindowAboveOwner()
    {
        QWidget owner;
        owner.setGeometry(100, 100, 400, 300);
        owner.show();
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        SuspendLayerWt layer(&owner);
        QVERIFY(layer.isWindow());
        layer.setGeometry(QRect(owner.mapToGlobal(QPoint(0, 0)), owner.size()));
        layer.show();
        QCOMPARE(layer.geometry().topLeft(), owner.mapToGlobal(QPoint(0, 0)));
        // The mask must leave the activation with the window that the user works in.
        QCOMPARE(QApplication::activeWindow(), &owner);
    }

    // ---- the host's file choosers, answered like a person would ----

    void fileChoosers_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("dirArg");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        // File names are in a fresh directory; no typed name accepts what is offered.
        const auto row = [](const char* name, bool save, const QString& dirArg, const QString& filter,
                            const QString& typed, const QString& chosen) {
            QTest::newRow(name) << save << dirArg << filter << typed << chosen;
        };
        const QString matrix = QStringLiteral("File(*.matrix)");
        row("open returns the chosen file", false, QString(), matrix, "wall.matrix", "wall.matrix");
        row("open cancelled", false, QString(), matrix, "<cancel>", QString());
        row("save adds the filter's suffix", true, QString(), matrix, "backup", "backup.matrix");
        // The log export passes the suggested file name as the directory argument.
        const QString suggested = QStringLiteral("Decoder_system_log_2024-03-31-10-00-00.tgz");
        row("save offers the suggested name", true, suggested, QString(), QString(), suggested);
    }
    void fileChoosers()
    {
        QFETCH(bool, save);
        QFETCH(QString, dirArg);
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        QFile existing(dir.filePath(QStringLiteral("wall.matrix")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        ModalAnswerer answer(QStringLiteral("QFileDialog"), [&](QWidget* w) {
            if (typed == QLatin1String("<cancel>"))
                static_cast<QDialog*>(w)->reject();
            else if (typed.isEmpty())
                static_cast<QDialog*>(w)->accept();
            else
                typeFileName(w, dir.filePath(typed));
        });
        const QString start = dirArg.isEmpty() ? dir.path() : dir.filePath(dirArg);
        const QString caption = QStringLiteral("Select the file");
        QCOMPARE(save ? PFileDialog::getSaveFileName(nullptr, caption, start, filter)
                      : PFileDialog::getOpenFileName(nullptr, caption, start, filter),
                 chosen.isEmpty() ? QString() : dir.filePath(chosen));
        QVERIFY(answer.answered());
    }

    // An installed program's folder (/usr/bin) is no place for the operator's files: a save dialog
    // that would start there starts in the documents folder, or the home folder without one.
    void saveStartFolder_data()
    {
        QTest::addColumn<QString>("offered"); // what the folder offered is
        QTest::addColumn<bool>("documents");  // the home folder has a documents folder
        QTest::addColumn<QString>("start");   // "offered", "documents" or "home"
        QTest::newRow("a folder the operator can write") << "writable" << true << "offered";
        QTest::newRow("a read-only folder") << "read-only" << true << "documents";
        QTest::newRow("a read-only folder, no documents folder") << "read-only" << false << "home";
        QTest::newRow("no such folder") << "missing" << true << "documents";
        QTest::newRow("a file, not a folder") << "file" << true << "documents";
        QTest::newRow("nothing offered") << "" << false << "home";
    }
    void saveStartFolder()
    {
        QFETCH(QString, offered);
        QFETCH(bool, documents);
        QFETCH(QString, start);
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        // A home of its own, without the user-dirs settings that could name another documents folder.
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        if (documents)
            QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));

        QTemporaryDir work;
        QString folder;
        std::unique_ptr<ReadOnlyFolder> readOnly;
        if (offered == QLatin1String("writable")) {
            folder = work.path();
        } else if (offered == QLatin1String("read-only")) {
            folder = work.filePath(QStringLiteral("bin"));
            readOnly = std::make_unique<ReadOnlyFolder>(folder);
            QVERIFY(readOnly->isReadOnly());
        } else if (offered == QLatin1String("missing")) {
            folder = work.filePath(QStringLiteral("gone"));
        } else if (offered == QLatin1String("file")) {
            folder = work.filePath(QStringLiteral("tvwall"));
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString expected = start == QLatin1String("offered") ? folder
                                 : start == QLatin1String("documents")
                                     ? home.filePath(QStringLiteral("Documents"))
                                     : home.path();
        QCOMPARE(PFileDialog::saveStartFolder(folder), expected);
        // Trying the folder leaves nothing in it.
        if (offered == QLatin1String("writable"))
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
    }

    void defaultSuffix_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("matrix") << QStringLiteral("File(*.matrix)") << QStringLiteral("matrix");
        QTest::newRow("two filters") << QStringLiteral("Logs (*.txt);;All (*)") << QStringLiteral("txt");
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("any file") << QStringLiteral("All (*)") << QString();
    }
    void defaultSuffix()
    {
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        QCOMPARE(PFileDialog::defaultSuffixOf(filter), suffix);
    }
};

QTEST_MAIN(TestHostFramework)
#include "tst_hostframework.moc"
