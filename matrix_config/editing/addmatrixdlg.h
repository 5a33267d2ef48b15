#pragma once

#include "commondialog.h"
#include "decoderwallcopy.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QMap>
#include <QSize>
#include <QStringList>
#include <QUuid>

namespace pral_matrixConfig {

namespace Ui {
class AddMatrixDlg;
}

/**
 * @brief The TV-wall wizard. Adding, it names the wall, takes its main decoder
 * and the bindings of its screens; editing, it opens on a preview from which
 * the name, the bindings and the screens' image parameters are changed.
 *
 * Either way it ends by sending the layout to the main decoder and is
 * accepted only when the decoder took it. Runs modally on the GUI thread; the
 * layout result arrives through an automatic (queued) connection made for the
 * dialog's lifetime.
 *
 * Other desks may change the same wall on the decoder. Given what this desk
 * last saw on the main decoders (setWallsSeenOnDecoders), a save first reads
 * the wall the main decoder holds; when it is not the one this desk saw, the
 * difference is shown and nothing is sent until the operator has chosen to
 * overwrite it, to take the decoder's version, or to cancel. After a layout
 * was taken, the wall is read back: a decoder that stored something else is
 * reported, and the wizard's result is the wall as the decoder holds it.
 */
class MATRIX_CONFIG_EXPORT AddMatrixDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /**
     * decoderIps: the decoders offered as main decoder when adding (the page
     * passes the wall's bound outputs when editing, unused here).
     */
    AddMatrixDlg(const QStringList& decoderIps, const QStringList& outputIds, const QStringList& wallNames,
                 bool addMode, const pral_matrix::TvWallManagement& wall, QWidget* parent = nullptr);
    ~AddMatrixDlg() override;

    /** The wall as saved, with the name and main decoder chosen; read it after the dialog was accepted. */
    pral_matrix::TvWallManagement tvWallResult();

    /**
     * The wall this desk last received from or sent to each main decoder, by
     * the decoder's address; a decoder that is not listed held no wall as far
     * as this desk knows. Without it a save compares nothing before it sends.
     */
    void setWallsSeenOnDecoders(const QMap<QString, pral_matrix::TvWallManagement>& byMainIp);
    /**
     * What the main decoder holds after the dialog was accepted: what it
     * stored (read back), or the version taken from it. kept is false when
     * nothing was compared.
     */
    pral_matrix::DecoderWallCopy decoderCopyResult() const { return decoderCopy; }

public slots:
    void slot_cancelBtnClieked();
    void slot_lastStepBtnClieked();
    void slot_nextStepBtnClieked();
    void slot_previewBtnClieked();
    void slot_saveBtnClieked();
    void slot_cancelForEditBtnClieked();
    void slot_saveForEditBtnClieked();
    void slot_editBtnClieked();
    void slotAdjustBtnClicked();
    void slot_setLayoutResult(int ret);
    void slotrestoreMatrixScene();

private slots:
    /** The wall the main decoder holds, read before a save or after it. */
    void slotDecoderWallRead(QString mainMatrixIp, int maintype, MatrixInfoList screens, int row, int col,
                             QString matrixName, void* user);

protected:
    /** Escape does what the cancel button of the page does (and nothing while a layout is on its way). */
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int AdjustSceneNo = 6;

    void applyLook();
    void setTitles(const QString& text);
    /** Shows the add-mode buttons of the current step and sizes and centres the dialog for it. */
    void updateStepButtons();
    void showCurrentPage();
    void shiftBy(int dx, int dy);
    /** False, with a warning and tvWallName cleared, when the name is empty, too long or taken. */
    bool checkName(const QString& name);
    /** Where a save stands with the main decoder. */
    enum class Exchange
    {
        Idle,
        /** Reading the decoder's wall before anything is sent. */
        Checking,
        Sending,
        /** Reading back what the decoder stored. */
        ReadingBack,
    };

    /** Reads the grid into the wall and sends it to the main decoder, after the operator confirms. */
    void sendLayout();
    void showBusy();
    void sendToDecoder();
    /** Nothing is sent until the operator has chosen what to do about the decoder's other version. */
    void askAboutDecoderVersion(const pral_matrix::TvWallManagement& seen,
                                const pral_matrix::TvWallManagement& held);
    /** Ends a save with what the decoder holds after it; no wall: it could not be read back. */
    void finishReadBack(const pral_matrix::TvWallManagement& held);
    /** Makes the decoder's version the wizard's result. */
    void takeWall(const pral_matrix::TvWallManagement& held);
    void leaveAdjustPage();
    /**
     * Lists the offered outputs under the wall's name on the binding page. A fleet offers thousands:
     * they are listed when the page is about to show, not on every change of the name.
     */
    void listOutputs();

    Ui::AddMatrixDlg* ui;
    bool addMode;
    qint32 curStep = 0;
    QString tvWallName;
    QStringList wallNames;
    QStringList decoderIps;
    QString mainIp;
    QStringList outputIds;
    QSize normalSize;
    QSize wideSize;
    pral_matrix::TvWallManagement wall;
    QUuid overlayId;
    QSharedPointer<CSharedHandle> sceneHandle;
    Exchange exchange = Exchange::Idle;
    bool compareWithDecoder = false;
    QMap<QString, pral_matrix::TvWallManagement> seenOnDecoders;
    pral_matrix::DecoderWallCopy decoderCopy;
};

} // namespace pral_matrixConfig
