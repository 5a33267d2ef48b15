#pragma once

#include "matrix_config_global.h"
#include "matrixsdkworker.h"
#include "pwidget.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QStringList>

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
 */
class MATRIX_CONFIG_EXPORT DecoderDeviceTree : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    explicit DecoderDeviceTree(QWidget* parent = nullptr);
    ~DecoderDeviceTree() override;

    void clearTree();
    void showTvWalls(const QMap<QString, pral_matrix::TvWallManagement>& walls);
    void showOutputs(const QString& tvWallName, const QStringList& outputIds);
    void lock();
    void unlock();
    bool isLocked() const;
    void selectOutput(const QString& id);
    void setTvWallConnected(const QString& name, bool connected);
    QString takeCurrentTvWall();
    QString currentTvWallName() const;
    QString shownTvWallName() const { return shownWall; }
    void setShownTvWallName(const QString& name);
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

public slots:
    void slotShowMatrixLayout(QString tvwallName);

private slots:
    void slotRsItemPressed(QTreeWidgetItem* item, int column);
    void slotConnectOneMatrixClicked(QWidget* item, QString tvWallName);
    void slotShowMatrixLayout(QWidget* item, QString id);
    void slotCheckScreenOperClicked(QWidget* item);
    void slotTimeout();
    void slotMapping(QString outputId, bool mapped);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void splitOutputId(const QString& text, QString* address, int* location);
    void forgetRows(const QList<MatrixTreeItem*>& rows);
    friend class RowRecycler;
    ConnectMatrixItem* takeWallRow(const QString& id, const QString& text);
    CheckScreenTreeItem* addOutputRow(QTreeWidgetItem* parent, const QString& outputId, int kind,
                                      bool canCheck, bool draggable);

    Ui::DecoderDeviceTree* ui;
    DisabledWt* disabledWt = nullptr;
    QList<QPair<CheckScreenTreeItem*, QTimer*>> checkTimers;
    QStringList tvWallNames;
    QString shownWall;
    // Row widgets in tree order and the ones showing the mapped mark: the
    // mapping notices arrive once per screen and must not walk the view.
    QList<MatrixTreeItem*> rows;
    QSet<MatrixTreeItem*> mappedRows;
    // Rows of earlier fills, hidden and waiting to be used again: polishing a
    // new row widget costs far more than refilling an old one. They are taken
    // in tree order, so that refilling the same walls changes no row at all.
    QList<ConnectMatrixItem*> spareWallRows;
    QList<CheckScreenTreeItem*> spareOutputRows;
    bool recycling = false;
    Qt::MouseButtons pressButtons = Qt::NoButton;
    QLabel* emptyHint = nullptr;

    void updateEmptyHint();
};

} // namespace pral_matrixConfig
