#pragma once

#include "matrix_config_global.h"
#include "matrixsdkworker.h"
#include "pwidget.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVector>

class QLabel;
class QTimer;
class QTreeWidgetItem;

namespace pral_matrixConfig {

namespace Ui {
class DecoderDeviceTree;
}

class CheckScreenTreeItem;
class ConnectMatrixItem;
class DisabledWt;
class MatrixTreeItem;

/**
 * @brief Left pane of the page: the TV walls with the outputs bound on their
 * screens, or, in the wizard, the outputs that may be dragged onto screens.
 *
 * A control room lists thousands of outputs. Every entry keeps its states in
 * its tree item (connected, mapped, checking, check button usable, draggable),
 * and only the entries in view carry a row widget, made from those states when
 * they scroll in and taken back into a pool when they scroll out. A running
 * check's timer belongs to the row widget while the entry is in view.
 */
class MATRIX_CONFIG_EXPORT DecoderDeviceTree : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    explicit DecoderDeviceTree(QWidget* parent = nullptr);
    ~DecoderDeviceTree() override;

    void clearTree();
    void showTvWalls(const QMap<QString, pral_matrix::TvWallManagement>& walls);
    /**
     * clearTree() and showTvWalls(), keeping what the operator set on the entries
     * that are listed again: running checks with their timers, the selected and
     * the current entry, the scroll position.
     */
    void refillTvWalls(const QMap<QString, pral_matrix::TvWallManagement>& walls);
    void showOutputs(const QString& tvWallName, const QStringList& outputIds);
    /**
     * What clearTree() and showOutputs() would show, done in place when the tree lists exactly these outputs
     * already; false, with nothing changed, when it does not.
     */
    bool relistOutputs(const QString& tvWallName, const QStringList& outputIds);
    void lock();
    void unlock();
    bool isLocked() const;
    void selectOutput(const QString& id);
    void setTvWallConnected(const QString& name, bool connected);
    bool isTvWallConnected(const QString& name) const;
    /** Marks the wall, now and in later listings, as changed on its decoder since this desk last saw it. */
    void setTvWallChangedOnDecoder(const QString& name, bool changed);
    bool isTvWallChangedOnDecoder(const QString& name) const { return changedWalls.contains(name); }
    /** Check buttons follow the decoders' connection handles, read again here. */
    void refreshCheckButtons();
    QString takeCurrentTvWall();
    QString currentTvWallName() const;
    QString shownTvWallName() const { return shownWall; }
    void setShownTvWallName(const QString& name);
    /** The wall slotShowMatrixLayout(name) would show, without showing it; empty without walls. */
    QString chooseTvWall(const QString& name) const;
    /** Names listed since the last clear. */
    QStringList listedTvWallNames() const { return tvWallNames; }
    /** Shown in place of the list while it holds no TV wall; empty shows nothing. */
    void setEmptyHint(const QString& text);

signals:
    void signalShowMatrixLayout(int type, QString tvWallName);
    void signalOpenScreenCheck(QString matrixIp, int location);
    void signalCloseScreenCheck(QString matrixIp, int location);
    void signalRsItemDoubleClicked(QTreeWidgetItem* item, int column);
    void signalRSPressItem(QString id);
    /** The operator opened a wall: clicked its entry and its layout is shown. */
    void signalTvWallOpened(QString tvWallName);

public slots:
    void slotShowMatrixLayout(QString tvwallName);

private slots:
    void slotRsItemPressed(QTreeWidgetItem* item, int column);
    void slotConnectOneMatrixClicked(QWidget* item, QString tvWallName);
    void slotShowMatrixLayout(QWidget* item, QString id);
    void slotCheckScreenOperClicked(QWidget* item);
    void slotTimeout();
    void slotMapping(QString outputId, bool mapped);
    void syncRows();
    void syncRowsLater();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class RowRecycler;
    /** What the operator set on the entries; carried over a refill. */
    struct Kept;

    static void splitOutputId(const QString& text, QString* address, int* location);
    QTreeWidgetItem* addWallEntry(const QString& id, const QString& text, const QString& mainIp);
    void addOutputEntry(QTreeWidgetItem* wall, const QString& outputId, int kind, bool canCheck,
                        bool draggable);
    void finishListing();
    QTreeWidgetItem* wallEntry(int index) const;

    MatrixTreeItem* rowOf(QTreeWidgetItem* item) const { return rowOfItem.value(item); }
    MatrixTreeItem* takeRow(bool wall);
    void attachRow(QTreeWidgetItem* item);
    void detachRow(QTreeWidgetItem* item);
    /** Takes back a row widget the view has let go: into the pool, or deleted while dropping. */
    void recycle(MatrixTreeItem* row);
    void applyStates(QTreeWidgetItem* item, MatrixTreeItem* row) const;
    void setState(QTreeWidgetItem* item, int role, bool value);
    void forgetEntries();
    void startCheck(QTreeWidgetItem* item, QTimer* timer);
    Kept keep() const;
    void restore(Kept& kept);

    Ui::DecoderDeviceTree* ui;
    DisabledWt* disabledWt = nullptr;
    // Running checks, oldest first: the entry and its single-shot timer.
    QList<QPair<QTreeWidgetItem*, QTimer*>> checkTimers;
    QStringList tvWallNames;
    QSet<QString> listedNames;
    QString shownWall;
    QSet<QString> changedWalls;

    // Entries by the text their row shows, in tree order (mapped marks), and outputs by decoder address
    // (check buttons): the mapping notices arrive once per screen and must not walk the list.
    QHash<QString, QVector<QTreeWidgetItem*>> entriesByText;
    QHash<QString, QVector<QTreeWidgetItem*>> outputsByAddress;
    // The check buttons' state of each address's outputs: 1 usable, 0 not, -1 not the same for all.
    QHash<QString, int> checkableOfAddress;
    // The handle table's changes count when every entry's check button last agreed with it; -1: unknown.
    int checkedHandleChanges = -1;
    void noteHandlesRead(int changesBefore, bool allEntries);
    // The outputs of the wizard's listing, as given.
    QStringList listedOutputs;
    QSet<QTreeWidgetItem*> mappedEntries;

    // Row widgets of the entries in view, and the pools of the others.
    QHash<QTreeWidgetItem*, MatrixTreeItem*> rowOfItem;
    QHash<MatrixTreeItem*, QTreeWidgetItem*> itemOfRow;
    QList<ConnectMatrixItem*> spareWallRows;
    QList<CheckScreenTreeItem*> spareOutputRows;
    QObject* timerHolder = nullptr;
    bool dropping = false;
    bool syncing = false;
    bool syncPending = false;

    Qt::MouseButtons pressButtons = Qt::NoButton;
    QLabel* emptyHint = nullptr;

    void updateEmptyHint();
};

} // namespace pral_matrixConfig
