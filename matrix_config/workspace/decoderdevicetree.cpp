#include "decoderdevicetree.h"
#include "ui_decoderdevicetree.h"

#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"
#include "disabledwt.h"
#include "matrixconfigform.h"
#include "treeitem.h"

#include <QHash>
#include <QLabel>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidgetItemIterator>

namespace pral_matrixConfig {

using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;

namespace {
const int WallItemType = 5;
const int OutputItemType = 8;
const int CheckDurationMs = 60000;
const QString WallIcon = QStringLiteral(":/matrixConfig_images/images/jmq_n.png");
const QString OutputIcon = QStringLiteral(":/matrixConfig_images/images/ip_n.png");

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

QString outputIdOf(const pral_matrix::MatrixInfo& screen)
{
    if (screen.matrixType == 1)
        return screen.ip;
    return screen.ip + QLatin1Char('-') + QString::number(screen.channel);
}
} // namespace

/**
 * @brief Keeps the row widgets that the view lets go while the tree is being
 * cleared, instead of having them deleted.
 */
class RowRecycler : public QStyledItemDelegate
{
public:
    explicit RowRecycler(DecoderDeviceTree* tree)
        : QStyledItemDelegate(tree)
        , tree(tree)
    {
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (tree->recycling && qobject_cast<MatrixTreeItem*>(editor)) {
            editor->hide();
            return;
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

private:
    DecoderDeviceTree* tree;
};

DecoderDeviceTree::DecoderDeviceTree(QWidget* parent)
    : PCOMMON::PWidget(parent)
    , ui(new Ui::DecoderDeviceTree)
{
    ui->setupUi(this);
    setBackgroundColor(QColor(QStringLiteral("#141f30")));
    // One sheet for the view and every row widget in it, parsed once.
    ui->rsTreeWidget->setStyleSheet(ui->rsTreeWidget->styleSheet() + MatrixTreeItem::treeStyleSheet());
    ui->rsTreeWidget->clear();
    ui->rsTreeWidget->hide();
    ui->rsTreeWidget->viewport()->installEventFilter(this);
    ui->rsTreeWidget->setItemDelegate(new RowRecycler(this));

    connect(ui->rsTreeWidget, SIGNAL(itemPressed(QTreeWidgetItem*, int)), this,
            SLOT(slotRsItemPressed(QTreeWidgetItem*, int)));
    connect(ui->rsTreeWidget, SIGNAL(itemDoubleClicked(QTreeWidgetItem*, int)), this,
            SIGNAL(signalRsItemDoubleClicked(QTreeWidgetItem*, int)));
    connect(&service(), &MatrixSdkWorker::signalScreenMapping, this, &DecoderDeviceTree::slotMapping);
}

DecoderDeviceTree::~DecoderDeviceTree()
{
    // The rows and their check timers outlive this body; their destroyed notices must not
    // reach a tree whose members are already gone.
    const auto timers = ui->rsTreeWidget->viewport()->findChildren<QTimer*>();
    for (QTimer* timer : timers)
        timer->disconnect(this);
    delete ui;
}

bool DecoderDeviceTree::eventFilter(QObject* watched, QEvent* event)
{
    // The view reports a press without its button: remember which buttons it came with.
    if (watched == ui->rsTreeWidget->viewport() && event->type() == QEvent::MouseButtonPress)
        pressButtons = static_cast<QMouseEvent*>(event)->buttons();
    return PCOMMON::PWidget::eventFilter(watched, event);
}

void DecoderDeviceTree::forgetRows(const QList<MatrixTreeItem*>& gone)
{
    for (MatrixTreeItem* row : gone) {
        rows.removeOne(row);
        mappedRows.remove(row);
    }
}

void DecoderDeviceTree::clearTree()
{
    tvWallNames.clear();
    // A running check goes with its row: its timer must never fire for the row's next entry.
    QList<QTimer*> timers;
    for (const auto& check : qAsConst(checkTimers))
        timers.append(check.second);
    qDeleteAll(timers);

    for (MatrixTreeItem* row : qAsConst(rows)) {
        if (auto* wallRow = qobject_cast<ConnectMatrixItem*>(row))
            spareWallRows.append(wallRow);
        else if (auto* outputRow = qobject_cast<CheckScreenTreeItem*>(row))
            spareOutputRows.append(outputRow);
    }
    rows.clear();
    mappedRows.clear();
    recycling = true;
    ui->rsTreeWidget->clear();
    recycling = false;
    updateEmptyHint();
}

void DecoderDeviceTree::setEmptyHint(const QString& text)
{
    if (!emptyHint) {
        emptyHint = new QLabel(this);
        emptyHint->setObjectName(QStringLiteral("emptyHintLabel"));
        emptyHint->setWordWrap(true);
        emptyHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        emptyHint->setStyleSheet(QStringLiteral("color:#858fa2;font-size:13px;padding:14px 12px;"));
        layout()->addWidget(emptyHint);
    }
    emptyHint->setText(text);
    updateEmptyHint();
}

void DecoderDeviceTree::updateEmptyHint()
{
    if (emptyHint)
        emptyHint->setVisible(!emptyHint->text().isEmpty() && tvWallNames.isEmpty());
}

ConnectMatrixItem* DecoderDeviceTree::takeWallRow(const QString& id, const QString& text)
{
    if (!spareWallRows.isEmpty()) {
        ConnectMatrixItem* row = spareWallRows.takeFirst();
        row->reuse(id, 1, text, WallIcon);
        return row;
    }
    auto* row = new ConnectMatrixItem(id, 1, 0, text, WallIcon, ui->rsTreeWidget->viewport());
    connect(row, SIGNAL(signalOperClicked(QWidget*, QString)), this,
            SLOT(slotConnectOneMatrixClicked(QWidget*, QString)));
    connect(row, SIGNAL(signalShowLayout(QWidget*, QString)), this,
            SLOT(slotShowMatrixLayout(QWidget*, QString)));
    return row;
}

CheckScreenTreeItem* DecoderDeviceTree::addOutputRow(QTreeWidgetItem* parent, const QString& outputId,
                                                     int kind, bool canCheck, bool draggable)
{
    auto* item = new pral_base::TreeItem(parent, OutputItemType);
    item->setId(outputId, QString());
    CheckScreenTreeItem* row = nullptr;
    if (!spareOutputRows.isEmpty()) {
        row = spareOutputRows.takeFirst();
        row->reuse(outputId, kind, outputId, OutputIcon);
    } else {
        row = new CheckScreenTreeItem(outputId, kind, 0, outputId, OutputIcon, ui->rsTreeWidget->viewport());
        connect(row, SIGNAL(signalOperClicked(QWidget*)), this, SLOT(slotCheckScreenOperClicked(QWidget*)));
    }
    row->setFixedWidth(198);
    row->setOperEnabled(canCheck);
    row->setDraggable(draggable);
    ui->rsTreeWidget->setItemWidget(item, 0, row);
    rows.append(row);
    return row;
}

void DecoderDeviceTree::showTvWalls(const QMap<QString, TvWallManagement>& walls)
{
    QTreeWidget* tree = ui->rsTreeWidget;
    // Rows are built while the view is hidden: each one shown into a visible view
    // would be polished and laid out on its own.
    tree->hide();
    QHash<QString, bool> connectedIps;
    for (const TvWallManagement& wall : walls) {
        if (tvWallNames.contains(wall.tvWallName))
            continue;
        tvWallNames.append(wall.tvWallName);

        auto* wallItem = new pral_base::TreeItem(WallItemType);
        wallItem->setData(0, Qt::UserRole + 1, wall.mainIp);
        ConnectMatrixItem* wallRow = takeWallRow(wall.tvWallName, wall.tvWallName);
        wallRow->setFixedWidth(258);
        wallRow->setConnected(wall.connected);
        tree->addTopLevelItem(wallItem);
        tree->setItemWidget(wallItem, 0, wallRow);
        rows.append(wallRow);

        for (const pral_matrix::MatrixInfo& screen : wall.matrixInfoList) {
            auto known = connectedIps.constFind(screen.ip);
            if (known == connectedIps.constEnd())
                known = connectedIps.insert(screen.ip, !service().getHandleByIp(screen.ip).isNull());
            addOutputRow(wallItem, outputIdOf(screen), screen.matrixType == 1 ? 1 : 3, known.value(), false);
        }
    }
    // Expanding and placing the rows while the view is still hidden moves every row once, off
    // screen: moved in a visible view, each row would be clipped against all of its siblings.
    tree->expandAll();
    tree->doItemsLayout();
    tree->show();
    updateEmptyHint();
    slotShowMatrixLayout(shownWall);
}

void DecoderDeviceTree::showOutputs(const QString& tvWallName, const QStringList& outputIds)
{
    QTreeWidget* tree = ui->rsTreeWidget;
    tree->hide();
    auto* wallItem = new pral_base::TreeItem(WallItemType);
    ConnectMatrixItem* wallRow = takeWallRow(QStringLiteral("id"), tvWallName);
    wallRow->hideConnectButton();
    wallRow->setCount(1);
    wallRow->setFixedWidth(220);
    tree->addTopLevelItem(wallItem);
    tree->setItemWidget(wallItem, 0, wallRow);
    rows.append(wallRow);
    for (const QString& outputId : outputIds) {
        QString address;
        int location = 1;
        splitOutputId(outputId, &address, &location);
        const bool canCheck = !service().getHandleByIp(address).isNull();
        addOutputRow(wallItem, outputId, outputId.contains(QLatin1Char('-')) ? 3 : 1, canCheck, true);
    }
    tree->expandAll();
    tree->doItemsLayout();
    tree->show();
}

void DecoderDeviceTree::lock()
{
    if (!ui->rsTreeWidget->isEnabled())
        return;
    ui->rsTreeWidget->setEnabled(false);
    delete disabledWt;
    disabledWt = new DisabledWt(ui->rsTreeWidget);
    disabledWt->show();
}

void DecoderDeviceTree::unlock()
{
    delete disabledWt;
    disabledWt = nullptr;
    ui->rsTreeWidget->setEnabled(true);
}

bool DecoderDeviceTree::isLocked() const
{
    return !ui->rsTreeWidget->isEnabled();
}

void DecoderDeviceTree::selectOutput(const QString& id)
{
    if (id.isEmpty())
        return;
    for (QTreeWidgetItemIterator it(ui->rsTreeWidget); *it; ++it) {
        auto* item = dynamic_cast<pral_base::TreeItem*>(*it);
        if (item)
            item->setSelected(item->getId() == id);
        else
            (*it)->setSelected(false);
    }
}

void DecoderDeviceTree::setTvWallConnected(const QString& name, bool connected)
{
    for (int i = 0; i < ui->rsTreeWidget->topLevelItemCount(); ++i) {
        auto* wallRow = qobject_cast<ConnectMatrixItem*>(
            ui->rsTreeWidget->itemWidget(ui->rsTreeWidget->topLevelItem(i), 0));
        if (wallRow && wallRow->text() == name) {
            wallRow->setConnected(connected);
            return;
        }
    }
}

QString DecoderDeviceTree::takeCurrentTvWall()
{
    QTreeWidget* tree = ui->rsTreeWidget;
    QTreeWidgetItem* current = tree->currentItem();
    if (!current || current->parent())
        return QString();
    auto* wallRow = qobject_cast<ConnectMatrixItem*>(tree->itemWidget(current, 0));
    if (!wallRow)
        return QString();
    const QString name = wallRow->text();
    if (wallRow->isConnected())
        shownWall.clear();

    // The view forgets the widgets of child rows only lazily; they go before the rows do.
    QList<MatrixTreeItem*> gone{wallRow};
    for (int i = 0; i < current->childCount(); ++i) {
        if (auto* row = qobject_cast<MatrixTreeItem*>(tree->itemWidget(current->child(i), 0))) {
            gone.append(row);
            tree->removeItemWidget(current->child(i), 0);
        }
    }
    tree->removeItemWidget(current, 0);
    forgetRows(gone);
    delete tree->takeTopLevelItem(tree->indexOfTopLevelItem(current));
    qDeleteAll(gone);
    return name;
}

QString DecoderDeviceTree::currentTvWallName() const
{
    QTreeWidgetItem* current = ui->rsTreeWidget->currentItem();
    if (!current)
        return QString();
    auto* wallRow = qobject_cast<ConnectMatrixItem*>(ui->rsTreeWidget->itemWidget(current, 0));
    return wallRow ? wallRow->text() : QString();
}

void DecoderDeviceTree::setShownTvWallName(const QString& name)
{
    shownWall = name;
}

void DecoderDeviceTree::slotRsItemPressed(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(column)
    if (!(pressButtons & Qt::LeftButton))
        return;
    if (auto* treeItem = dynamic_cast<pral_base::TreeItem*>(item))
        emit signalRSPressItem(treeItem->getId());
}

void DecoderDeviceTree::slotConnectOneMatrixClicked(QWidget* item, QString tvWallName)
{
    Q_UNUSED(item)
    QWidget* holder = parentWidget() ? parentWidget()->parentWidget() : nullptr;
    if (auto* form = qobject_cast<MatrixConfigForm*>(holder))
        form->connectTvWall(tvWallName);
}

void DecoderDeviceTree::slotShowMatrixLayout(QWidget* item, QString id)
{
    Q_UNUSED(id)
    auto* wallRow = qobject_cast<ConnectMatrixItem*>(item);
    if (!wallRow || !wallRow->isConnected())
        return;
    shownWall = wallRow->text();
    emit signalShowMatrixLayout(wallRow->itemType(), wallRow->itemId());
}

void DecoderDeviceTree::slotShowMatrixLayout(QString tvwallName)
{
    ConnectMatrixItem* first = nullptr;
    ConnectMatrixItem* chosen = nullptr;
    for (int i = 0; i < ui->rsTreeWidget->topLevelItemCount() && !chosen; ++i) {
        auto* wallRow = qobject_cast<ConnectMatrixItem*>(
            ui->rsTreeWidget->itemWidget(ui->rsTreeWidget->topLevelItem(i), 0));
        if (!wallRow)
            continue;
        if (!first)
            first = wallRow;
        if (wallRow->isConnected() && (tvwallName.isEmpty() || wallRow->itemId() == tvwallName))
            chosen = wallRow;
    }
    if (!chosen)
        chosen = first;
    if (!chosen)
        return;
    shownWall = chosen->itemId();
    emit signalShowMatrixLayout(chosen->itemType(), chosen->itemId());
}

void DecoderDeviceTree::splitOutputId(const QString& text, QString* address, int* location)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    *address = dash < 0 ? text : text.left(dash);
    *location = dash < 0 ? 1 : text.mid(dash + 1).toInt();
}

void DecoderDeviceTree::slotCheckScreenOperClicked(QWidget* item)
{
    auto* row = qobject_cast<CheckScreenTreeItem*>(item);
    if (!row)
        return;
    QString address;
    int location = 1;
    splitOutputId(row->text(), &address, &location);

    if (row->isChecking()) {
        emit signalCloseScreenCheck(address, location);
        row->setChecking(false);
        for (int i = 0; i < checkTimers.size(); ++i) {
            if (checkTimers.at(i).first == row) {
                QTimer* timer = checkTimers.takeAt(i).second;
                timer->stop();
                timer->disconnect(this);
                timer->deleteLater();
                break;
            }
        }
        return;
    }

    emit signalOpenScreenCheck(address, location);
    row->setChecking(true);
    auto* timer = new QTimer(row);
    timer->setSingleShot(true);
    connect(timer, SIGNAL(timeout()), this, SLOT(slotTimeout()));
    connect(timer, &QObject::destroyed, this, [this](QObject* gone) {
        for (int i = 0; i < checkTimers.size(); ++i) {
            if (checkTimers.at(i).second == gone) {
                checkTimers.removeAt(i);
                return;
            }
        }
    });
    timer->start(CheckDurationMs);
    checkTimers.append(qMakePair(row, timer));
}

void DecoderDeviceTree::slotTimeout()
{
    if (QObject* fired = sender()) {
        fired->disconnect(this);
        fired->deleteLater();
        // Normally the oldest check's own timer; one that fired out of turn must not stay listed.
        for (int i = 1; i < checkTimers.size(); ++i) {
            if (checkTimers.at(i).second == fired) {
                checkTimers.removeAt(i);
                break;
            }
        }
    }
    if (checkTimers.isEmpty())
        return;
    CheckScreenTreeItem* row = checkTimers.takeFirst().first;
    if (!row->isChecking())
        return;
    QString address;
    int location = 1;
    splitOutputId(row->text(), &address, &location);
    emit signalCloseScreenCheck(address, location);
    row->setChecking(false);
}

void DecoderDeviceTree::slotMapping(QString outputId, bool mapped)
{
    if (outputId.isEmpty() && !mapped) {
        for (MatrixTreeItem* row : qAsConst(mappedRows))
            row->setMapped(false);
        mappedRows.clear();
        return;
    }
    QTreeWidget* tree = ui->rsTreeWidget;
    if (tree->topLevelItemCount() == 0 || tree->topLevelItem(0)->childCount() == 0)
        return;
    for (MatrixTreeItem* row : qAsConst(rows)) {
        if (row->text() != outputId)
            continue;
        row->setMapped(mapped);
        if (mapped)
            mappedRows.insert(row);
        else
            mappedRows.remove(row);
        return;
    }
}

} // namespace pral_matrixConfig
