#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"
#include "upgradeexclusion.h"

#include <QDateTime>
#include <QList>

#include <functional>

class QTableWidget;

namespace pral_matrixConfig {

namespace Ui {
class BatchUpgradeDlg;
}

/**
 * @brief Upgrades the firmware of many decoders from one image: checks each
 * decoder before anything is sent, then upgrades the ones that passed a few at
 * a time, each on its own, and lists how each ended.
 *
 * The checks (connected, the image made for the decoder's model, its version
 * newer than the running one, the image sound) leave out the decoders that
 * fail one, with the reason. Each upgrade goes through the service's own
 * per-decoder reports (MatrixSdkWorker::upgradeDecoder), never through those
 * of the single-decoder dialog, and ends once the decoder is back with the new
 * version or has failed; a failure ends that decoder's row only. At most the
 * chosen number of decoders are out of service at once, from the start of
 * their upload until they are checked back.
 *
 * "cancel" leaves out the decoders not started yet and never interrupts one
 * under way; closing the window does the same and waits until none is under
 * way. Decoders that answered after their restart are logged in again through
 * the list's own connection (reconnect). The results export to CSV.
 *
 * The reports arrive queued, never blocking: the service's other results go
 * on while this window updates. GUI thread only.
 */
class MATRIX_CONFIG_EXPORT BatchUpgradeDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** Upgrades at a time unless the operator chooses another number. */
    static constexpr int DefaultConcurrency = 4;

    /**
     * @param decoders the decoders chosen, with the credentials the list keeps for them
     * @param reconnect logs a decoder in again the way the list does
     */
    BatchUpgradeDlg(const QList<pral_matrix::MatrixInfo>& decoders,
                    std::function<void(const QString&)> reconnect, QWidget* parent = nullptr);
    ~BatchUpgradeDlg() override;

    QString imagePath() const { return path; }
    /** Checks the decoders against the image at file, as when the operator picks it. */
    void chooseImage(const QString& file);
    /** Decoders being upgraded now: sending, restarting or being checked. */
    int runningCount() const;
    /** The result table as a CSV file: decoder, model, before, after, outcome, time. */
    QByteArray csv() const;

public slots:
    void slotOnFileDlg();
    void slotOnStartBt();
    void slotOnRetryBt();
    /** "cancel": the decoders not started yet are left out. */
    void slotOnCancelBt();
    void slotOnExportBt();
    /** "close", the close button and Escape: see the class comment. */
    void slotOnCloseBt();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class State
    {
        Unchecked,
        Checking,
        Ready,
        LeftOut,
        Waiting,
        Sending,
        Restarting,
        Verifying,
        Done,
        Failed,
        Cancelled,
    };

    struct Row
    {
        pral_matrix::MatrixInfo decoder;
        QString model;
        /** The check's cells: connected, model, running version, image. */
        bool connected = false;
        QString before;
        QString after;
        State state = State::Unchecked;
        int percent = 0;
        /** Why it was left out, or how it ended. */
        QString outcome;
        /** When the outcome was reached. */
        QDateTime at;
        /** The id of its latest start: reports of any other are not its own. */
        quint64 attempt = 0;
        /** Its place in the result table; -1 before the run. */
        int runRow = -1;
    };

    void onCheckResult(quint64 run, const pral_matrix::FirmwareImageInfo& image,
                       const QList<pral_matrix::DecoderFirmwareInfo>& decoders);
    void onReport(const pral_matrix::BatchUpgradeReport& report);
    /** Why the decoder cannot take the image; empty when it can. */
    QString leftOutReason(const pral_matrix::DecoderFirmwareInfo& decoder) const;
    QString failureText(const pral_matrix::BatchUpgradeReport& report) const;
    QString stateText(const Row& row) const;
    /** Starts waiting decoders while fewer than the chosen number are under way. */
    void startWaiting();
    void end(Row& row, State state, const QString& outcome);
    void showCheckRow(int index);
    void showRunRow(const Row& row);
    void updateSummary();
    void updateButtons();
    bool refusedByOtherWindow() const;
    bool anyWaiting() const;

    Ui::BatchUpgradeDlg* ui;
    QList<Row> rows;
    std::function<void(const QString&)> reconnect;
    QString path;
    pral_matrix::FirmwareImageInfo image;
    quint64 checkRun = 0;
    bool runStarted = false;
    UpgradeExclusion exclusion{UpgradeExclusion::Batch};
};

} // namespace pral_matrixConfig
