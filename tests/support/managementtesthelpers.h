#pragma once

// Helpers of the decoder management tests: the default fleet's decoders, the
// dialog's table read the way an operator sees it, and answers for the modal
// dialogs that its flows open.

#include "connectmatrixitem.h"
#include "decodermanagementdlg.h"
#include "decoderoprwt.h"
#include "dictdef.h"
#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "servicespy.h"
#include "systemassistant.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace mgmt {

inline pral_matrix::MatrixSdkWorker& worker()
{
    return PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
}

// Decoders of the default fleet.
inline const QString Main = QStringLiteral("192.0.2.10");    // four outputs, holds "Lobby wall"
inline const QString Single = QStringLiteral("192.0.2.11");  // one output
inline const QString Eight = QStringLiteral("192.0.2.12");   // eight outputs
inline const QString Other = QStringLiteral("192.0.2.13");   // one output
inline const QString Fresh = QStringLiteral("192.0.2.20");   // not activated
inline const QString Fresh2 = QStringLiteral("192.0.2.21");  // not activated
inline const QString Control = QStringLiteral("192.0.2.30"); // sixteen outputs, holds "Control room"
inline const QString Password = QStringLiteral("Tvwall@2024");

inline const QString Up = QStringLiteral("connect success");
inline const QString Down = QStringLiteral("connect failed");

inline const char* const SearchClass = "pral_matrixConfig::DecoderManagementDlg";
inline const char* const LoginClass = "pral_matrix::UserLoginDlg";
inline const char* const BoxClass = "PCOMMON::PMessageBox";
inline const char* const SyncClass = "pral_matrixConfig::MatrixInfoSyncDlg";
inline const char* const ActiveClass = "pral_matrixConfig::DevActiveDlg";
inline const char* const NetworkClass = "pral_matrixConfig::DecoderNetworkConfigDlg";

constexpr int NumberColumn = 1;
constexpr int IpColumn = 2;
constexpr int StatusColumn = 5;

/** A decoder as the client stores it before it has connected. */
inline pral_matrix::MatrixInfo stored(const QString& ip, const QString& password = Password)
{
    pral_matrix::MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = password;
    info.activated = true;
    return info;
}

inline MatrixInfoMap mapOf(const QList<pral_matrix::MatrixInfo>& list)
{
    MatrixInfoMap map;
    for (const pral_matrix::MatrixInfo& info : list)
        map.insert(info.ip, info);
    return map;
}

/** What a search of the default fleet reports about these decoders. */
inline MatrixInfoMap found(const QStringList& ips)
{
    ServiceSpy results(&pral_matrix::MatrixSdkWorker::signalSearchMatrixResult);
    worker().searchMatrix();
    if (!QTest::qWaitFor([&] { return !results.isEmpty(); }))
        return {};
    const MatrixInfoMap all = results.at(0).at(0).value<MatrixInfoMap>();
    MatrixInfoMap chosen;
    for (const QString& ip : ips)
        chosen.insert(ip, all.value(ip));
    return chosen;
}

inline QTableWidget* table(QWidget* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
}

inline int rowOf(QWidget* dialog, const QString& ip)
{
    QTableWidget* t = table(dialog);
    for (int row = 0; row < t->rowCount(); ++row) {
        if (t->item(row, IpColumn)->text() == ip)
            return row;
    }
    return -1;
}

inline QString cell(QWidget* dialog, int row, int column)
{
    const QTableWidgetItem* item = table(dialog)->item(row, column);
    return item ? item->text() : QString();
}

/** The status word of the decoder's row, or "no row". */
inline QString status(QWidget* dialog, const QString& ip)
{
    const int row = rowOf(dialog, ip);
    return row < 0 ? QStringLiteral("no row") : cell(dialog, row, StatusColumn);
}

/** Waits until every listed decoder's row shows the word. */
inline bool settle(QWidget* dialog, const QStringList& ips, const QString& word = Up)
{
    return QTest::qWaitFor([&] {
        return std::all_of(ips.begin(), ips.end(), [&](auto& ip) { return status(dialog, ip) == word; });
    });
}

inline QStringList listedIps(QWidget* dialog)
{
    QStringList ips;
    for (int row = 0; row < table(dialog)->rowCount(); ++row)
        ips << cell(dialog, row, IpColumn);
    return ips;
}

inline QCheckBox* rowBox(QWidget* dialog, const QString& ip)
{
    return qobject_cast<QCheckBox*>(table(dialog)->cellWidget(rowOf(dialog, ip), 0));
}

inline pral_matrixConfig::DecoderOprWt* rowOpr(QWidget* dialog, const QString& ip)
{
    return qobject_cast<pral_matrixConfig::DecoderOprWt*>(table(dialog)->cellWidget(rowOf(dialog, ip), 6));
}

inline void clickRowButton(QWidget* dialog, const QString& ip, const char* button)
{
    QTest::mouseClick(rowOpr(dialog, ip)->findChild<QPushButton*>(QString::fromLatin1(button)),
                      Qt::LeftButton);
}

/** Clicks the box where the operator would: on its indicator, wherever its padding puts it. */
inline void clickCheckBox(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

inline void clickRowBox(QWidget* dialog, const QString& ip)
{
    clickCheckBox(rowBox(dialog, ip));
}

inline void click(QWidget* parent, const char* name)
{
    QTest::mouseClick(parent->findChild<QAbstractButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

/** Types the credentials into the service's login dialog and confirms. */
inline ModalAnswerer::Action loginWith(const QString& userName, const QString& password)
{
    return [userName, password](QWidget* dialog) {
        auto* user = dialog->findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
        auto* pass = dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
        user->clear();
        QTest::keyClicks(user, userName);
        pass->clear();
        QTest::keyClicks(pass, password);
        ModalAnswerer::clickButton(dialog, QStringLiteral("okBtn"));
    };
}

/** Confirms a message box, keeping its text in *text. */
inline ModalAnswerer::Action confirm(QString* text = nullptr, bool yes = true)
{
    return [text, yes](QWidget* box) {
        if (text)
            *text = static_cast<PCOMMON::PMessageBox*>(box)->text();
        ModalAnswerer::clickButton(box, yes ? QStringLiteral("okBtn") : QStringLiteral("cancelBtn"));
    };
}

/** Types a password twice into the activation dialog and confirms. */
inline ModalAnswerer::Action activateWith(const QString& password)
{
    return [password](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("pwdEdt")), password);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("confirmPwdEdt")), password);
        ModalAnswerer::clickButton(dialog, QStringLiteral("okBt"));
    };
}

/** A management dialog over the stored decoders. */
inline std::unique_ptr<pral_matrixConfig::DecoderManagementDlg>
management(const QList<pral_matrix::MatrixInfo>& decoders, bool shown = true)
{
    auto made = std::make_unique<pral_matrixConfig::DecoderManagementDlg>(mapOf(decoders), MatrixInfoMap(),
                                                                          false, nullptr);
    if (shown)
        made->show();
    return made;
}

/** Stores the "Control room" wall: 3 x 4 screens, each bound to one output of Control. */
inline void storeControlRoom()
{
    pral_matrix::MatrixInfo decoder = stored(Control);
    decoder.matrixType = pral_matrix::MATRIX_TYPE_MULTI_OUTPUT;
    decoder.channelCount = 16;
    pral_matrix::MatrixSdkWorker::addDecoderToJson({decoder});

    pral_matrix::TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Control room");
    wall.mainIp = Control;
    wall.row = 3;
    wall.col = 4;
    wall.mainMatrix = decoder;
    for (int i = 0; i < 12; ++i) {
        pral_matrix::MatrixInfo screen = decoder;
        screen.channel = i + 1;
        screen.row = i / 4;
        screen.column = i % 4;
        wall.matrixInfoList.append(screen);
    }
    pral_matrix::MatrixSdkWorker::addMatrixToJson({wall});
    pral_matrix::MatrixSdkWorker::flushStore();
}

/** The page's tree entry of the TV wall with this name, or null. */
inline pral_matrixConfig::ConnectMatrixItem* wallRow(QWidget* form, const QString& name)
{
    for (auto* row : form->findChildren<pral_matrixConfig::ConnectMatrixItem*>()) {
        if (row->isVisibleTo(form) && row->text() == name)
            return row;
    }
    return nullptr;
}

/** Per test: an empty store, the default fleet answering at once, and the notices reported. */
class Fixture
{
public:
    bool setUp()
    {
        // The store lets go of the last test's folder (writing what is pending there and unlocking it)
        // before that folder is removed: removed first, it would be made again by that write.
        auto made = std::make_unique<QTemporaryDir>();
        pral_matrix::MatrixSdkWorker::setDataDirectory(made->filePath(QStringLiteral("data")));
        pral_matrix::MatrixSdkWorker::setSecretKeyFile(made->filePath(QStringLiteral("store.key")));
        dir = std::move(made);
        QString error;
        if (!dir->isValid() || !worker().loadFleet(pral_matrix::MatrixSdkWorker::defaultFleetJson(), &error))
            return false;
        worker().setResultDelay(0);
        worker().faults().clear();
        alertSpy = std::make_unique<QSignalSpy>(&PSingleton<pral_worker::SystemAssistant>::_instance(),
                                                &pral_worker::SystemAssistant::signalAlert);
        return true;
    }

    void tearDown()
    {
        alertSpy.reset();
        PSingleton<pral_worker::SystemAssistant>::_instance().closeAll();
        worker().faults().clear();
    }

    /** The notices reported so far: every report of the decoder dialogs is one. */
    QStringList alerts() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alertSpy) {
            if (args.at(0).toString() == pral_contact::DictDef::alertNotice)
                texts << args.at(1).toString();
        }
        return texts;
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSignalSpy> alertSpy;
};

} // namespace mgmt
