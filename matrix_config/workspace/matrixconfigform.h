#pragma once

#include "baseform.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <functional>

class QTreeWidgetItem;

namespace pral_matrixConfig {

namespace Ui {
class MatrixConfigForm;
}

class DecoderManagementDlg;

/**
 * @brief The module's page: the TV walls in a device tree on the left, the
 * screens of one wall on the right. Switched to the embedded mode it is the
 * binding area of the TV-wall wizard.
 */
class MATRIX_CONFIG_EXPORT MatrixConfigForm : public pral_base::BaseForm
{
    Q_OBJECT

public:
    explicit MatrixConfigForm(QWidget* parent = nullptr);
    ~MatrixConfigForm() override;

    int getFormType() override;

    /** Connects every decoder of the wall that is not connected yet. */
    void connectTvWall(const QString& tvWallName);

    // Operations for the wizard, which embeds a second form.
    void setEmbeddedMode();
    void showOutputs(const QString& tvWallName, const QStringList& outputIds);
    void screenBinding(int screenWtId, QString& outputKey, int& outputNumberId, int& outputNumber) const;
    void bindScreen(int screenWtId, const QString& outputId);
    void getLayout(int& rows, int& columns) const;
    void setLayout(int rows, int columns);
    bool allScreensBound() const;

    /** True while a report of the decoder management dialog waits to be drawn and stored. */
    bool isUpdatePending() const { return pendingUpdate != 0; }

protected:
    void showEvent(QShowEvent* event) override;

    /**
     * Runs the TV-wall wizard modally under a mask over the page. The first
     * list is the offered decoder addresses when adding and the wall's bound
     * outputs when editing. Returns true, with the wall to store in result,
     * when the wizard was saved; false when it was cancelled.
     */
    virtual bool execTvWallWizard(const QStringList& decodersOrBoundOutputs, const QStringList& outputIds,
                                  const QStringList& wallNames, bool addMode,
                                  const pral_matrix::TvWallManagement& wall,
                                  pral_matrix::TvWallManagement& result);

private slots:
    void slotAddBtnClicked();
    void slotEditBtnClicked();
    void slotDeleteBtnClicked();
    void slotDecoderManagementBtnClicked();
    void slotSetLayoutBtnClicked();
    void slotSplit4BtnClicked();
    void slotSplit6BtnClicked();
    void slotSplit9BtnClicked();
    void slotSplit12BtnClicked();
    void slotScreenClicked();
    void slotDropEvent(int screenWtId, QString itemId, int itemType);
    void slotUnbingding();
    void slotAllUnbingding();
    void slotOnScreenPressed(QString id);
    void slotShowMatrixLayout(int type, QString tvWallName);
    void slotOpenScreenCheck(QString ip, int location);
    void slotCloseScreenCheck(QString ip, int location);
    void slotTreeItemDoubleClicked(QTreeWidgetItem* item, int column);
    void slotOnDecoderTreePressItem(QString id);
    void slotCheckScreen(int result);
    void slotConnectMatrixResult(QSharedPointer<CSharedHandle> mHandle, int result, int type, void* pUser);
    void slotShowEvent();
    void slotQuitSystem();
    void slotPrepareCloseMatrixConfigForm();
    void slotFlushPendingUpdate();

private:
    /** What a report of the decoder management dialog left to redraw and to store. */
    enum PendingUpdate
    {
        UpdateWallStates = 0x1,
        UpdateRedraw = 0x2,
        UpdateUnbindWithoutShownWall = 0x4,
        UpdateStoreTvWalls = 0x8,
        UpdateStoreDecoders = 0x10,
        // Only decoders' connection states changed: walls' states and check buttons, no refill.
        UpdateConnectionStates = 0x20,
    };

    void applyLook();

    // Reports of the decoder management dialog.
    void onMatrixInfoChanged(const MatrixInfoMap& matrixInfoMap);
    void onTvWallManagementChanged(const pral_matrix::TvWallManagement& wall);
    void onIpChanged(const QString& mainIp, const QString& formerIp);
    void onDeleteTvwallItem(const QString& ip);
    /** The operator has seen the wall: it no longer carries the changed-on-decoder mark. */
    void onTvWallOpened(const QString& tvWallName);

    /** What this desk last exchanged with each main decoder, for the wizard to compare with. */
    QMap<QString, pral_matrix::TvWallManagement> wallsSeenOnDecoders() const;
    /** Keeps what the wizard left on the decoder as the copy of the wall it was saved as. */
    void keepWizardCopy(const QString& tvWallName);
    void setChangedOnDecoder(const QString& tvWallName, bool changed);

    static QStringList wallDecoderIps(const pral_matrix::TvWallManagement& wall);
    void refreshTvWallStates();
    /** Recomputes the states of the walls that use a decoder whose state changed since the last draw. */
    QStringList refreshChangedWallStates();
    /** What a report of the decoder list changed, as far as the page is concerned. */
    enum Takeover
    {
        StatesOnly,
        CredentialsChanged,
        AddressesChanged,
    };
    /**
     * Makes the page's decoder list the reported one and notes the decoders whose connection state changed.
     */
    Takeover takeOverDecoders(const MatrixInfoMap& reported);
    /** Copies a changed record; false when its credentials changed. */
    bool takeOverRecord(const QString& ip, pral_matrix::MatrixInfo& mine,
                        const pral_matrix::MatrixInfo& theirs);
    void indexWallDecoders();
    /** Steps (b) and (c): the grid unbound, the tree refilled, the shown wall drawn again. */
    void redraw();
    /** What a redraw does to the grid, around show(), keeping the selected screen of a wall drawn again. */
    void redrawGrid(const std::function<void()>& show);
    /** A redraw's outcome for connection states alone: the walls' states, check buttons, the grid if needed.
     */
    void drawConnectionStates();
    void storeTvWalls();
    void storeTvWallsNow();
    void removeFirstWallWithMainIp(const QString& mainIp);
    void collectOfferedOutputs(QStringList* decoderIps, QStringList* outputIds) const;
    void rebuildGrid(int rows, int columns);
    void scheduleUpdate(int what);
    /** For an operator's change: drawn and on disk before the next input event. */
    void applyUpdateNow(int what);

    Ui::MatrixConfigForm* ui;
    QSharedPointer<CSharedHandle> bannerHandle;
    QUuid waitingUuid;
    bool firstShow = true;
    QMap<QString, pral_matrix::MatrixInfo> decoderMap;
    QMap<QString, pral_matrix::TvWallManagement> tvWallMap;
    bool embedded = false;
    DecoderManagementDlg* decoderManagementDlg = nullptr;
    int pendingConnectCount = 0;
    QString connectingTvWallName;
    bool allConnectedOk = true;

    // Decoders whose connection state changed since the last draw, and the walls each decoder is in.
    QSet<QString> changedDecoders;
    QHash<QString, QStringList> wallsOfDecoder;
    // The wall whose bindings the grid shows; empty when the grid shows anything else.
    QString drawnWall;
    // Whether the tree lists the walls of tvWallMap at all: before the first redraw it lists nothing.
    bool wallsListed = false;

    // What the last accepted wizard left on the main decoder, until the wall is stored under its name.
    pral_matrix::DecoderWallCopy wizardCopy;

    int pendingUpdate = 0;
    QTimer updateTimer;
    QElapsedTimer pendingSince;
};

} // namespace pral_matrixConfig
