// One connection result as an operator meets it: the page with its decoder
// management dialog open, a row logged in again with a wrong password and then
// with the right one. Each result comes from the service thread through the
// blocking-queued receivers; the figure is the time the GUI thread spends on
// events from the result's arrival until nothing but fading notices is left.

#include "benchutil.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "systemassistant.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using namespace pral_matrix;
using pral_matrixConfig::DecoderDeviceTree;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;

namespace bench {
namespace {

constexpr int Side = 10;
// A simulated decoder has at most 64 outputs: a wall's screens are spread over decoders of 50.
constexpr int OutputsPerDecoder = 50;
constexpr int StatusColumn = 5;
constexpr int IpColumn = 2;
constexpr int Pairs = 5;
// "Idle": no event for the page, its dialogs or the service's receivers for this long.
constexpr int QuietMs = 200;
const char* const Password = "Bench@2024";
const char* const WrongPassword = "Mistyped@2024";

int perWall(int outputs)
{
    return (outputs + OutputsPerDecoder - 1) / OutputsPerDecoder;
}

QString addressOf(int i)
{
    return QStringLiteral("10.50.%1.%2").arg(i / 200).arg(i % 200 + 1);
}

QByteArray fleetJson(int decoders)
{
    QJsonArray list;
    for (int i = 0; i < decoders; ++i)
        list.append(QJsonObject{{"ip", addressOf(i)},
                                {"deviceId", QStringLiteral("RES-%1").arg(i)},
                                {"type", 3},
                                {"channels", OutputsPerDecoder},
                                {"password", Password}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", list}}).toJson();
}

QList<MatrixInfo> storedDecoders(int decoders)
{
    QList<MatrixInfo> list;
    for (int i = 0; i < decoders; ++i) {
        MatrixInfo info;
        info.ip = addressOf(i);
        info.deviceId = QStringLiteral("RES-%1").arg(i);
        info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        info.channelCount = OutputsPerDecoder;
        info.userName = QStringLiteral("admin");
        info.password = QString::fromLatin1(Password);
        info.version = QStringLiteral("V2.3.1 build 240611");
        info.activated = true;
        list.append(info);
    }
    return list;
}

QString wallName(int w)
{
    return QStringLiteral("Wall %1").arg(w + 1, 4, 10, QLatin1Char('0'));
}

QList<TvWallManagement> storedWalls(int walls, int outputs)
{
    const int cols = std::min(Side, outputs);
    QList<TvWallManagement> list;
    for (int w = 0; w < walls; ++w) {
        TvWallManagement wall;
        wall.tvWallName = wallName(w);
        wall.mainIp = addressOf(w * perWall(outputs));
        wall.row = (outputs + cols - 1) / cols;
        wall.col = cols;
        wall.mainMatrix.ip = wall.mainIp;
        wall.mainMatrix.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        for (int n = 0; n < outputs; ++n) {
            MatrixInfo screen;
            screen.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
            screen.ip = addressOf(w * perWall(outputs) + n / OutputsPerDecoder);
            screen.channel = n % OutputsPerDecoder + 1;
            screen.row = n / cols;
            screen.column = n % cols;
            wall.matrixInfoList.append(screen);
        }
        list.append(wall);
    }
    return list;
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

QString rowStatus(DecoderManagementDlg* dialog, const QString& ip)
{
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, IpColumn)->text() == ip)
            return table->item(row, StatusColumn)->text();
    }
    return QString();
}

/** Types the credentials into the next login dialog and confirms it, as the operator does. */
class LoginAnswer : public QObject
{
public:
    LoginAnswer(const QString& password)
        : password(password)
    {
        BusyClock::ignore(this);
        BusyClock::ignore(&poll);
        poll.setInterval(2);
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->inherits("pral_matrix::UserLoginDlg") || !modal->isVisible())
                return;
            poll.stop();
            modal->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->setText(QStringLiteral("admin"));
            modal->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(this->password);
            modal->findChild<QAbstractButton*>(QStringLiteral("okBtn"))->click();
            answered = true;
        });
        poll.start();
    }
    ~LoginAnswer() override
    {
        BusyClock::forget(&poll);
        BusyClock::forget(this);
    }

    bool answered = false;

private:
    QString password;
    QTimer poll;
};

/** Runs the event loop until nothing but fading notices has had an event for QuietMs. */
bool runUntilIdle(int timeoutMs = 60000)
{
    QEventLoop loop;
    QTimer check;
    BusyClock::ignore(&check);
    BusyClock::ignore(&loop);
    QElapsedTimer waited;
    waited.start();
    bool idle = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (BusyClock::started() && BusyClock::msSinceLastEvent() >= QuietMs) {
            idle = true;
            loop.quit();
        } else if (waited.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
    BusyClock::forget(&check);
    BusyClock::forget(&loop);
    return idle;
}

/** The GUI thread left alone until the loop has been quiet for QuietMs. */
void settleQuietly()
{
    BusyClock::startNow();
    runUntilIdle();
    BusyClock::stop();
}

struct Sample
{
    double busyMs = 0;
    double cpuMs = 0;
    int windowsShown = 0;
};

struct Figures
{
    int walls = 0;
    int decoders = 0;
    double failure = 0;
    double success = 0;
    double failureCpu = 0;
    double successCpu = 0;
    int failureWindows = 0;
    int successWindows = 0;
};

/** The page, its management dialog open, every decoder logged in. */
class Site
{
public:
    Site(int walls, int outputs)
        : decoders(walls * perWall(outputs))
    {
        QString error;
        if (!worker().loadFleet(fleetJson(decoders), &error))
            qFatal("bench fleet: %s", qPrintable(error));
        worker().setResultDelay(0);
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
        MatrixSdkWorker::addDecoderToJson(storedDecoders(decoders));
        MatrixSdkWorker::addMatrixToJson(storedWalls(walls, outputs));
        MatrixSdkWorker::flushStore();

        form = new MatrixConfigForm;
        form->resize(1400, 900);
        form->show();
        QElapsedTimer wait;
        wait.start();
        while (!(dialog = managementDialog()) && wait.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!dialog)
            qFatal("the page made no management dialog");
        // The operator works in the dialog, which shows its list over the page.
        dialog->show();
        tree = form->findChild<DecoderDeviceTree*>();
        // Logins answer in the order of the addresses as text, not of the walls: every wall is looked at.
        const auto allConnected = [this, walls] {
            if (form->isUpdatePending() || tree->listedTvWallNames().size() != walls)
                return false;
            for (int w = 0; w < walls; ++w) {
                if (!tree->isTvWallConnected(wallName(w)))
                    return false;
            }
            return true;
        };
        while (!allConnected() && wait.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!allConnected())
            qFatal("the page did not log into its decoders");
        settleQuietly();
    }

    ~Site()
    {
        pral_worker::SystemAssistant::_instance().closeAll();
        delete form;
        worker().disconnectAllMatrix();
        releaseDataDirectory(dir.filePath(QStringLiteral("released")));
    }

    /** Logs the row of ip in again with password; returns what the result cost the GUI thread. */
    Sample login(const QString& ip, const QString& password)
    {
        pral_worker::SystemAssistant::_instance().closeAll();
        settleQuietly();
        LoginAnswer answer(password);
        // The clock starts when the result reaches the page or the dialog, not while the login dialog runs.
        BusyClock::startAtCallTo({form, dialog});
        QMetaObject::invokeMethod(dialog, "slot_changeLocalDecoderPwd", Q_ARG(QString, ip));
        if (!answer.answered)
            qFatal("the login dialog was not answered");
        if (!runUntilIdle())
            qFatal("the page did not come to rest after a connection result");
        Sample sample{BusyClock::busyMs(), BusyClock::cpuMs(), BusyClock::windowsShown()};
        BusyClock::stop();
        return sample;
    }

    static MatrixSdkWorker& worker() { return PSingleton<MatrixSdkWorker>::_instance(); }

    QTemporaryDir dir;
    int decoders;
    MatrixConfigForm* form = nullptr;
    DecoderManagementDlg* dialog = nullptr;
    DecoderDeviceTree* tree = nullptr;
};

Figures measure(int walls, int outputs)
{
    Site site(walls, outputs);
    // The main decoder of a wall in the middle of the list: its success also brings the wall's layout back.
    const int wall = walls / 2;
    const QString ip = addressOf(wall * perWall(outputs));
    std::vector<double> failures;
    std::vector<double> successes;
    std::vector<double> failureCpu;
    std::vector<double> successCpu;
    Figures f;
    f.walls = walls;
    f.decoders = site.decoders;
    for (int i = 0; i < Pairs; ++i) {
        const Sample failed = site.login(ip, QString::fromLatin1(WrongPassword));
        if (rowStatus(site.dialog, ip) != DecoderManagementDlg::tr("connect failed") ||
            site.tree->isTvWallConnected(wallName(wall)))
            qFatal("a wrong password did not show the decoder failed");
        const Sample succeeded = site.login(ip, QString::fromLatin1(Password));
        if (rowStatus(site.dialog, ip) != DecoderManagementDlg::tr("connect success") ||
            !site.tree->isTvWallConnected(wallName(wall)))
            qFatal("the right password did not show the decoder connected");
        failures.push_back(failed.busyMs);
        successes.push_back(succeeded.busyMs);
        failureCpu.push_back(failed.cpuMs);
        successCpu.push_back(succeeded.cpuMs);
        f.failureWindows = std::max(f.failureWindows, failed.windowsShown);
        f.successWindows = std::max(f.successWindows, succeeded.windowsShown);
    }
    // What the operator typed last is what is stored.
    MatrixSdkWorker::flushStore();
    const MatrixInfo stored = MatrixSdkWorker::getDecoderFromJson().value(ip);
    if (stored.password != QString::fromLatin1(Password) || stored.connectStatus != 1)
        qFatal("the store does not hold the decoder's last login");
    f.failure = median(failures);
    f.success = median(successes);
    f.failureCpu = median(failureCpu);
    f.successCpu = median(successCpu);
    return f;
}

} // namespace

void runResultBench()
{
    // Each wrong password is a notice; its log line is not what is measured.
    QLoggingCategory::setFilterRules(QStringLiteral("tvwall.alert.info=false"));
    const Size& base = size();
    QList<Figures> rows;
    QList<int> factors = base.scale;
    if (!factors.contains(1))
        factors.prepend(1);
    for (int factor : qAsConst(factors))
        rows.append(measure(base.walls * factor, base.outputs));
    const Figures& f = rows.first();
    const QString label = QStringLiteral("%1 walls x %2").arg(f.walls).arg(base.outputs);
    const QString target = QStringLiteral("<= 16 ms GUI-thread work until idle, independent of walls");
    report(QStringLiteral("one connection result, wrong password, ") + label, f.failure, QStringLiteral("ms"),
           0, target);
    report(QStringLiteral("  the same, GUI thread's CPU time"), f.failureCpu, QStringLiteral("ms"), 0,
           QString());
    report(QStringLiteral("one connection result, success, ") + label, f.success, QStringLiteral("ms"), 0,
           target);
    report(QStringLiteral("  the same, GUI thread's CPU time"), f.successCpu, QStringLiteral("ms"), 0,
           QString());
    if (base.scale.size() > 1) {
        ScaleTable table(
            QStringLiteral("Scale: one connection result through the service, page and open "
                           "management dialog, GUI-thread work until idle (ms, median of %1; "
                           "cpu: the GUI thread's CPU time in it; windows: top-level windows "
                           "shown per result)")
                .arg(Pairs),
            {"walls", "decoders", "wrong password", "cpu", "windows", "success", "cpu", "windows"});
        for (const Figures& r : qAsConst(rows)) {
            if (!base.scale.contains(r.walls / base.walls))
                continue;
            table.add({QString::number(r.walls), QString::number(r.decoders), ms(r.failure), ms(r.failureCpu),
                       QString::number(r.failureWindows), ms(r.success), ms(r.successCpu),
                       QString::number(r.successWindows)});
        }
        table.print();
    }
}

} // namespace bench
