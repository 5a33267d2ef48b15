#include "testdesk.h"

#include "addmatrixdlg.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "systemassistant.h"
#include "walldifferencedlg.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <unistd.h>

namespace {

using pral_matrixConfig::AddMatrixDlg;
using pral_matrixConfig::DecoderDeviceTree;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;
using pral_matrixConfig::WallDifferenceDlg;

constexpr int PollMs = 20;
constexpr int GiveUpMs = 60000;
const char* const ConnectedWord = "connect success";

void say(const QString& line)
{
    std::printf("desk: %s\n", qPrintable(line));
    std::fflush(stdout);
}

/** Clicks after the poll has returned: a click may run a modal dialog of its own. */
void clickLater(QWidget* parent, const char* name)
{
    if (auto* button = parent->findChild<QPushButton*>(QLatin1String(name)))
        QTimer::singleShot(0, button, &QPushButton::click);
}

class Desk : public QObject
{
public:
    Desk(QWidget* window, const QByteArray& script)
        : QObject(window)
        , window(window)
    {
        const QStringList words = QString::fromUtf8(script).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        saving = words.value(0) == QLatin1String("save");
        wallName = words.value(1);
        outputs = words.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts);
        choice = words.value(3);
        connect(&PSingleton<pral_worker::SystemAssistant>::_instance(),
                &pral_worker::SystemAssistant::signalAlert, this,
                [](const QString& kind, const QString& text) {
                    say(QStringLiteral("alert %1 %2").arg(kind, text));
                });
        connect(&poll, &QTimer::timeout, this, &Desk::step);
        poll.start(PollMs);
        QTimer::singleShot(GiveUpMs, this, [] {
            say(QStringLiteral("timeout"));
            QCoreApplication::exit(3);
        });
    }

private:
    enum Stage
    {
        WaitingForWalls,
        Settling,
        WaitingForWizard,
        InWizard,
        WaitingForGo,
        Saving,
        Finished,
    };

    MatrixConfigForm* page() const { return window->findChild<MatrixConfigForm*>(); }

    /**
     * Every stored decoder has answered its login: a wall's state may come from the list as stored, but a
     * row says "connect success" only once the page has handled the connection (and asked for the wall
     * its decoder holds).
     */
    static bool decodersConnected()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<DecoderManagementDlg*>(w);
            auto* table =
                dialog ? dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget")) : nullptr;
            if (!table)
                continue;
            for (int row = 0; row < table->rowCount(); ++row) {
                // The word in the page's language; this hook adds no text of its own to translate.
                if (table->item(row, 5)->text() !=
                    QCoreApplication::translate(DecoderManagementDlg::staticMetaObject.className(),
                                                ConnectedWord))
                    return false;
            }
            return table->rowCount() > 0;
        }
        return false;
    }

    bool wallsReady() const
    {
        MatrixConfigForm* form = page();
        auto* tree = form ? form->findChild<DecoderDeviceTree*>() : nullptr;
        if (!tree || !decodersConnected() || form->isUpdatePending())
            return false;
        const QStringList names = saving ? QStringList{wallName} : tree->listedTvWallNames();
        for (const QString& name : names) {
            if (!tree->isTvWallConnected(name))
                return false;
        }
        return true;
    }

    void step()
    {
        switch (stage) {
        case WaitingForWalls:
            if (!wallsReady())
                return;
            // The takeovers asked for on connecting are answered in order, before this.
            stage = Settling;
            PSingleton<pral_matrix::MatrixSdkWorker>::_instance().invokeOnServiceThread([this] {
                QMetaObject::invokeMethod(
                    this, [this] { settled = true; }, Qt::QueuedConnection);
            });
            return;
        case Settling:
            if (!settled || page()->isUpdatePending())
                return;
            saving ? openWizard() : finish();
            return;
        case WaitingForWizard:
        case InWizard:
        case Saving:
            answerDialogs();
            return;
        case WaitingForGo:
        case Finished:
            return;
        }
    }

    void openWizard()
    {
        auto* tree = page()->findChild<DecoderDeviceTree*>();
        auto* list = tree->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"));
        list->setCurrentItem(list->topLevelItem(tree->listedTvWallNames().indexOf(wallName)));
        stage = WaitingForWizard;
        QMetaObject::invokeMethod(page(), "slotEditBtnClicked", Qt::QueuedConnection);
    }

    void answerDialogs()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal == answered)
            return;
        if (auto* wizard = qobject_cast<AddMatrixDlg*>(modal)) {
            if (stage == WaitingForWizard) {
                stage = InWizard;
                wizardSeen = wizard;
                auto* binding = wizard->findChild<MatrixConfigForm*>(QStringLiteral("bindingMatrixWt"));
                for (int i = 0; i < outputs.size(); ++i)
                    binding->bindScreen(i, outputs.at(i));
                waitForGo(wizard);
            } else if (stage == Saving && differenceCancelled) {
                // Back in the wizard after a cancelled difference: it closes without saving.
                answered = wizard;
                clickLater(wizard, "cancelForEditBtn");
            }
            return;
        }
        if (modal && modal->inherits("PCOMMON::PMessageBox")) {
            answered = modal;
            clickLater(modal, "okBtn");
            return;
        }
        if (auto* difference = qobject_cast<WallDifferenceDlg*>(modal)) {
            answered = modal;
            const QStringList rows = difference->shownRows();
            for (const QString& row : rows)
                say(QStringLiteral("difference %1").arg(row));
            differenceCancelled = choice == QLatin1String("cancel");
            clickLater(difference, choice == QLatin1String("take")     ? "takeBtn"
                                   : choice == QLatin1String("cancel") ? "cancelBtn"
                                                                       : "overwriteBtn");
            return;
        }
        if (!modal && stage == Saving && !wizardSeen)
            finish();
    }

    void waitForGo(QWidget* wizard)
    {
        stage = WaitingForGo;
        say(QStringLiteral("ready"));
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(input, &QSocketNotifier::activated, this, [this, input, wizard] {
            char c = 0;
            while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
            }
            input->setEnabled(false);
            input->deleteLater();
            stage = Saving;
            clickLater(wizard, "saveForEditBtn");
        });
    }

    void finish()
    {
        stage = Finished;
        poll.stop();
        auto* tree = page()->findChild<DecoderDeviceTree*>();
        const QStringList names = tree->listedTvWallNames();
        for (const QString& name : names) {
            if (tree->isTvWallChangedOnDecoder(name))
                say(QStringLiteral("marked %1").arg(name));
        }
        say(QStringLiteral("done"));
        // The notices have been told; their windows would outlive the event loop.
        PSingleton<pral_worker::SystemAssistant>::_instance().closeAll();
        QCoreApplication::exit(0);
    }

    QWidget* window;
    bool saving = false;
    QString wallName;
    QStringList outputs;
    QString choice;
    Stage stage = WaitingForWalls;
    bool settled = false;
    bool differenceCancelled = false;
    QPointer<QWidget> wizardSeen;
    QPointer<QWidget> answered;
    QTimer poll;
};

} // namespace

void TestDesk::start(QWidget* window, const QByteArray& script)
{
    new Desk(window, script);
}
