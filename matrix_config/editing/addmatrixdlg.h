#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

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
    /** Reads the grid into the wall and sends it to the main decoder, after the operator confirms. */
    void sendLayout();
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
    /** A layout was sent and its result has not come back. */
    bool layoutPending = false;
};

} // namespace pral_matrixConfig
