#include "decoderdevicetree.h"
#include "ui_decoderdevicetree.h"

#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"
#include "disabledwt.h"
#include "matrixconfigform.h"
#include "treeitem.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

namespace pral_matrixConfig {

using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;

namespace {
const int WallItemType = 5;
const int OutputItemType = 8;
const int CheckDurationMs = 60000;
const int RowHeight = 30;
const QString WallIcon = QStringLiteral(":/matrixConfig_images/images/jmq_n.png");
const QString OutputIcon = QStringLiteral(":/matrixConfig_images/images/ip_n.png");

// What an entry's row shows, kept in the tree item; Qt::UserRole + 1 holds a wall's main decoder.
enum EntryRole
{
    RowIdRole = Qt::UserRole + 10,
    TextRole,
    KindRole,
    ConnectedRole,
    WizardRole,
    CheckableRole,
    DraggableRole,
    MappedRole,
    CheckingRole,
    ChangedRole,
};

bool isSet(const QTreeWidgetItem* item, int role)
{
    return item->data(0, role).toBool();
}

QString textOf(const QTreeWidgetItem* item)
{
    return item->data(0, TextRole).toString();
}

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

/** Names an entry across a refill: a wall by its name, an output by its wall, id and occurrence. */
QString entryKey(const QTreeWidgetItem* item)
{
    const QTreeWidgetItem* wall = item->parent();
    if (!wall)
        return textOf(item);
    const QString id = textOf(item);
    int nth = 0;
    for (int i = wall->indexOfChild(const_cast<QTreeWidgetItem*>(item)) - 1; i >= 0; --i)
        nth += textOf(wall->child(i)) == id ? 1 : 0;
    return textOf(wall) + QLatin1Char('\n') + id + QLatin1Char('\n') + QString::number(nth);
}
} // namespace

struct DecoderDeviceTree::Kept
{
    QList<QPair<QString, QTimer*>> checks; // oldest first
    QStringList selected;
    QString current;
    int scroll = 0;
};

/**
 * @brief Row widgets the view lets go (scrolled out, tree cleared) go back to
 * the tree's pool instead of being deleted; every row is 30 pixels high, with
 * or without its widget.
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
        if (auto* row = qobject_cast<MatrixTreeItem*>(editor)) {
            tree->recycle(row);
            return;
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), RowHeight);
    }

private:
    DecoderDeviceTree* tree;
};

DecoderDeviceTree::DecoderDeviceTree(QWidget* parent)
    : PCOMMON::PWidget(parent)
    , ui(new Ui::DecoderDeviceTree)
    , timerHolder(new QObject(this))
{
    ui->setupUi(this);
    setBackgroundColor(QColor(QStringLiteral("#141f30")));
    QTreeWidget* tree = ui->rsTreeWidget;
    // One sheet for the view and every row widget in it, parsed once.
    tree->setStyleSheet(tree->styleSheet() + MatrixTreeItem::treeStyleSheet());
    tree->clear();
    tree->hide();
    // Every row is as high as a row widget: the rows' places do not depend on which ones have widgets,
    // and the view need not ask each row for its height.
    tree->setUniformRowHeights(true);
    tree->viewport()->installEventFilter(this);
    tree->setItemDelegate(new RowRecycler(this));

    connect(tree, SIGNAL(itemPressed(QTreeWidgetItem*, int)), this,
            SLOT(slotRsItemPressed(QTreeWidgetItem*, int)));
    connect(tree, SIGNAL(itemDoubleClicked(QTreeWidgetItem*, int)), this,
            SIGNAL(signalRsItemDoubleClicked(QTreeWidgetItem*, int)));
    // These come while the view lays its rows out: asking it where rows are then would lay them out again
    // under its own feet. The rows follow on the next turn of the event loop.
    connect(tree->verticalScrollBar(), &QScrollBar::valueChanged, this, &DecoderDeviceTree::syncRowsLater);
    connect(tree, &QTreeWidget::itemExpanded, this, &DecoderDeviceTree::syncRowsLater);
    connect(tree, &QTreeWidget::itemCollapsed, this, &DecoderDeviceTree::syncRowsLater);
    connect(&service(), &MatrixSdkWorker::signalScreenMapping, this, &DecoderDeviceTree::slotMapping);
}

DecoderDeviceTree::~DecoderDeviceTree()
{
    // The timers outlive this body; their destroyed notices must not reach a tree whose members are gone.
    for (const auto& check : qAsConst(checkTimers))
        check.second->disconnect(this);
    // The viewport's own end sends events while the view around it is half gone.
    ui->rsTreeWidget->viewport()->removeEventFilter(this);
    // The view may hand its row widgets back through the delegate while it goes: while the pools exist.
    // The pooled rows are the viewport's children and go with it.
    delete ui->rsTreeWidget;
    spareWallRows.clear();
    spareOutputRows.clear();
    delete ui;
}

bool DecoderDeviceTree::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->rsTreeWidget->viewport()) {
        // The view reports a press without its button: remember which buttons it came with.
        if (event->type() == QEvent::MouseButtonPress)
            pressButtons = static_cast<QMouseEvent*>(event)->buttons();
        else if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            syncRowsLater();
    }
    return PCOMMON::PWidget::eventFilter(watched, event);
}

// ---- entries and their row widgets ----

QTreeWidgetItem* DecoderDeviceTree::addWallEntry(const QString& id, const QString& text,
                                                 const QString& mainIp)
{
    auto* item = new pral_base::TreeItem(WallItemType);
    if (!mainIp.isNull())
        item->setData(0, Qt::UserRole + 1, mainIp);
    item->setData(0, RowIdRole, id);
    item->setData(0, TextRole, text);
    item->setData(0, KindRole, 1);
    entriesByText[text].append(item);
    return item;
}

void DecoderDeviceTree::addOutputEntry(QTreeWidgetItem* wall, const QString& outputId, int kind,
                                       bool canCheck, bool draggable)
{
    auto* item = new pral_base::TreeItem(wall, OutputItemType);
    item->setId(outputId, QString());
    item->setData(0, RowIdRole, outputId);
    item->setData(0, TextRole, outputId);
    item->setData(0, KindRole, kind);
    item->setData(0, CheckableRole, canCheck);
    if (draggable)
        item->setData(0, DraggableRole, true);
    entriesByText[outputId].append(item);
    QString address;
    int location = 1;
    splitOutputId(outputId, &address, &location);
    outputsByAddress[address].append(item);
    // An address whose entries were listed with different check buttons has no one state to compare with.
    const auto known = checkableOfAddress.constFind(address);
    if (known == checkableOfAddress.constEnd())
        checkableOfAddress.insert(address, canCheck ? 1 : 0);
    else if (known.value() != (canCheck ? 1 : 0))
        checkableOfAddress.insert(address, -1);
}

void DecoderDeviceTree::finishListing()
{
    QTreeWidget* tree = ui->rsTreeWidget;
    tree->show();
    tree->expandAll();
    syncRows();
}

QTreeWidgetItem* DecoderDeviceTree::wallEntry(int index) const
{
    QTreeWidgetItem* item = ui->rsTreeWidget->topLevelItem(index);
    return item && item->type() == WallItemType ? item : nullptr;
}

MatrixTreeItem* DecoderDeviceTree::takeRow(bool wall)
{
    QWidget* viewport = ui->rsTreeWidget->viewport();
    if (wall) {
        if (!spareWallRows.isEmpty())
            return spareWallRows.takeLast();
        auto* row = new ConnectMatrixItem(QString(), 1, 0, QString(), WallIcon, viewport);
        connect(row, SIGNAL(signalOperClicked(QWidget*, QString)), this,
                SLOT(slotConnectOneMatrixClicked(QWidget*, QString)));
        connect(row, SIGNAL(signalShowLayout(QWidget*, QString)), this,
                SLOT(slotShowMatrixLayout(QWidget*, QString)));
        return row;
    }
    if (!spareOutputRows.isEmpty())
        return spareOutputRows.takeLast();
    auto* row = new CheckScreenTreeItem(QString(), 1, 0, QString(), OutputIcon, viewport);
    connect(row, SIGNAL(signalOperClicked(QWidget*)), this, SLOT(slotCheckScreenOperClicked(QWidget*)));
    return row;
}

void DecoderDeviceTree::applyStates(QTreeWidgetItem* item, MatrixTreeItem* row) const
{
    const bool wall = item->type() == WallItemType;
    row->reuse(item->data(0, RowIdRole).toString(), item->data(0, KindRole).toInt(), textOf(item),
               wall ? WallIcon : OutputIcon);
    if (auto* wallRow = qobject_cast<ConnectMatrixItem*>(row)) {
        const bool wizard = isSet(item, WizardRole);
        wallRow->setFixedWidth(wizard ? 220 : 258);
        wallRow->setConnected(isSet(item, ConnectedRole));
        wallRow->setChangedOnDecoder(isSet(item, ChangedRole));
        if (wizard) {
            wallRow->hideConnectButton();
            wallRow->setCount(1);
        }
    } else if (auto* outputRow = qobject_cast<CheckScreenTreeItem*>(row)) {
        outputRow->setFixedWidth(198);
        if (isSet(item, CheckingRole))
            outputRow->setChecking(true);
        // A check that outlived its decoder's connection runs out with its button hidden.
        outputRow->setOperEnabled(isSet(item, CheckableRole));
        outputRow->setDraggable(isSet(item, DraggableRole));
    }
    row->setMapped(isSet(item, MappedRole));
}

void DecoderDeviceTree::attachRow(QTreeWidgetItem* item)
{
    MatrixTreeItem* row = takeRow(item->type() == WallItemType);
    applyStates(item, row);
    rowOfItem.insert(item, row);
    itemOfRow.insert(row, item);
    if (isSet(item, CheckingRole)) {
        for (const auto& check : qAsConst(checkTimers)) {
            if (check.first == item)
                check.second->setParent(row);
        }
    }
    ui->rsTreeWidget->setItemWidget(item, 0, row);
}

void DecoderDeviceTree::detachRow(QTreeWidgetItem* item)
{
    // The view hands the widget to the delegate, which gives it back to recycle().
    ui->rsTreeWidget->closePersistentEditor(item, 0);
}

void DecoderDeviceTree::recycle(MatrixTreeItem* row)
{
    QTreeWidgetItem* item = itemOfRow.take(row);
    rowOfItem.remove(item);
    // A running check's timer stays with its entry, not with the widget.
    for (QTimer* timer : row->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->setParent(timerHolder);
    if (dropping) {
        delete row;
        return;
    }
    row->hide();
    if (auto* wallRow = qobject_cast<ConnectMatrixItem*>(row))
        spareWallRows.append(wallRow);
    else if (auto* outputRow = qobject_cast<CheckScreenTreeItem*>(row))
        spareOutputRows.append(outputRow);
}

void DecoderDeviceTree::syncRows()
{
    syncPending = false;
    if (syncing)
        return;
    syncing = true;
    QTreeWidget* tree = ui->rsTreeWidget;
    const int height = tree->viewport()->height();
    QVector<QTreeWidgetItem*> inView;
    QSet<QTreeWidgetItem*> wanted;
    for (QTreeWidgetItem* item = tree->itemAt(0, 0); item; item = tree->itemBelow(item)) {
        if (tree->visualItemRect(item).top() >= height)
            break;
        inView.append(item);
        wanted.insert(item);
    }
    const QList<QTreeWidgetItem*> attached = rowOfItem.keys();
    for (QTreeWidgetItem* item : attached) {
        if (!wanted.contains(item))
            detachRow(item);
    }
    for (QTreeWidgetItem* item : qAsConst(inView)) {
        if (!rowOfItem.contains(item))
            attachRow(item);
    }
    syncing = false;
}

void DecoderDeviceTree::syncRowsLater()
{
    if (syncPending)
        return;
    syncPending = true;
    QMetaObject::invokeMethod(this, &DecoderDeviceTree::syncRows, Qt::QueuedConnection);
}

void DecoderDeviceTree::setState(QTreeWidgetItem* item, int role, bool value)
{
    if (isSet(item, role) == value)
        return;
    item->setData(0, role, value);
    MatrixTreeItem* row = rowOf(item);
    if (!row)
        return;
    switch (role) {
    case ConnectedRole:
        if (auto* wallRow = qobject_cast<ConnectMatrixItem*>(row))
            wallRow->setConnected(value);
        break;
    case MappedRole:
        row->setMapped(value);
        break;
    case ChangedRole:
        if (auto* wallRow = qobject_cast<ConnectMatrixItem*>(row))
            wallRow->setChangedOnDecoder(value);
        break;
    case CheckableRole:
        row->setOperEnabled(value);
        break;
    case CheckingRole:
        if (auto* outputRow = qobject_cast<CheckScreenTreeItem*>(row)) {
            outputRow->setChecking(value);
            if (!row->isOperEnabled())
                row->setOperEnabled(false);
        }
        break;
    default:
        break;
    }
}

void DecoderDeviceTree::forgetEntries()
{
    tvWallNames.clear();
    listedNames.clear();
    entriesByText.clear();
    outputsByAddress.clear();
    checkableOfAddress.clear();
    checkedHandleChanges = -1;
    listedOutputs.clear();
    mappedEntries.clear();
}

// ---- listing ----

void DecoderDeviceTree::clearTree()
{
    // A running check goes with its entry: its timer must never fire for the entry's successor.
    QList<QTimer*> timers;
    for (const auto& check : qAsConst(checkTimers))
        timers.append(check.second);
    qDeleteAll(timers);
    forgetEntries();
    ui->rsTreeWidget->clear();
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
    if (!emptyHint)
        return;
    const bool shown = !emptyHint->text().isEmpty() && tvWallNames.isEmpty();
    emptyHint->setVisible(shown);
    // The hint takes the empty view's place at the top: beside it, it would sink below the view.
    if (shown)
        ui->rsTreeWidget->hide();
}

void DecoderDeviceTree::noteHandlesRead(int changesBefore, bool allEntries)
{
    // The entries listed before agree with the handles as they were then; all of them agree with these
    // reads only when no handle came or went in between.
    checkedHandleChanges = allEntries || checkedHandleChanges == changesBefore ? changesBefore : -1;
}

void DecoderDeviceTree::showTvWalls(const QMap<QString, TvWallManagement>& walls)
{
    const int handleChanges = service().handleTableChanges();
    const bool firstListing = outputsByAddress.isEmpty();
    QHash<QString, bool> connectedIps;
    QList<QTreeWidgetItem*> added;
    for (const TvWallManagement& wall : walls) {
        if (listedNames.contains(wall.tvWallName))
            continue;
        tvWallNames.append(wall.tvWallName);
        listedNames.insert(wall.tvWallName);
        QTreeWidgetItem* wallItem = addWallEntry(wall.tvWallName, wall.tvWallName, wall.mainIp);
        if (wall.connected)
            wallItem->setData(0, ConnectedRole, true);
        if (changedWalls.contains(wall.tvWallName))
            wallItem->setData(0, ChangedRole, true);
        for (const pral_matrix::MatrixInfo& screen : wall.matrixInfoList) {
            auto known = connectedIps.constFind(screen.ip);
            if (known == connectedIps.constEnd())
                known = connectedIps.insert(screen.ip, !service().getHandleByIp(screen.ip).isNull());
            addOutputEntry(wallItem, outputIdOf(screen), screen.matrixType == 1 ? 1 : 3, known.value(),
                           false);
        }
        added.append(wallItem);
    }
    noteHandlesRead(handleChanges, firstListing);
    // Whole walls go in at once: the view takes one insertion instead of one per entry.
    ui->rsTreeWidget->addTopLevelItems(added);
    finishListing();
    updateEmptyHint();
    slotShowMatrixLayout(shownWall);
}

DecoderDeviceTree::Kept DecoderDeviceTree::keep() const
{
    Kept kept;
    for (const auto& check : checkTimers)
        kept.checks.append(qMakePair(entryKey(check.first), check.second));
    QTreeWidget* tree = ui->rsTreeWidget;
    for (const QTreeWidgetItem* item : tree->selectedItems())
        kept.selected.append(entryKey(item));
    if (tree->currentItem())
        kept.current = entryKey(tree->currentItem());
    kept.scroll = tree->verticalScrollBar()->value();
    return kept;
}

void DecoderDeviceTree::restore(Kept& kept)
{
    QTreeWidget* tree = ui->rsTreeWidget;
    const auto find = [this](const QString& key) -> QTreeWidgetItem* {
        const QStringList parts = key.split(QLatin1Char('\n'));
        for (QTreeWidgetItem* wall : entriesByText.value(parts.at(0))) {
            if (wall->parent() || wall->type() != WallItemType)
                continue;
            if (parts.size() < 3)
                return wall;
            int nth = parts.at(2).toInt();
            for (int i = 0; i < wall->childCount(); ++i) {
                if (textOf(wall->child(i)) == parts.at(1) && nth-- == 0)
                    return wall->child(i);
            }
            return nullptr;
        }
        return nullptr;
    };
    for (const auto& check : qAsConst(kept.checks)) {
        QTreeWidgetItem* item = find(check.first);
        if (!item) {
            delete check.second;
            continue;
        }
        startCheck(item, check.second);
    }
    if (QTreeWidgetItem* current = find(kept.current))
        tree->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (const QString& key : qAsConst(kept.selected)) {
        if (QTreeWidgetItem* item = find(key))
            item->setSelected(true);
    }
    tree->verticalScrollBar()->setValue(kept.scroll);
    syncRows();
}

void DecoderDeviceTree::refillTvWalls(const QMap<QString, TvWallManagement>& walls)
{
    Kept kept = keep();
    // The kept checks' timers survive the clear; their entries do not.
    for (const auto& check : qAsConst(kept.checks))
        check.second->setParent(timerHolder);
    checkTimers.clear();
    clearTree();
    showTvWalls(walls);
    restore(kept);
}

void DecoderDeviceTree::showOutputs(const QString& tvWallName, const QStringList& outputIds)
{
    const int handleChanges = service().handleTableChanges();
    const bool firstListing = outputsByAddress.isEmpty();
    QTreeWidgetItem* wallItem = addWallEntry(QStringLiteral("id"), tvWallName, QString());
    wallItem->setData(0, WizardRole, true);
    QHash<QString, bool> connectedIps;
    for (const QString& outputId : outputIds) {
        QString address;
        int location = 1;
        splitOutputId(outputId, &address, &location);
        auto known = connectedIps.constFind(address);
        if (known == connectedIps.constEnd())
            known = connectedIps.insert(address, !service().getHandleByIp(address).isNull());
        addOutputEntry(wallItem, outputId, outputId.contains(QLatin1Char('-')) ? 3 : 1, known.value(), true);
    }
    noteHandlesRead(handleChanges, firstListing);
    ui->rsTreeWidget->addTopLevelItem(wallItem);
    listedOutputs = outputIds;
    finishListing();
}

bool DecoderDeviceTree::relistOutputs(const QString& tvWallName, const QStringList& outputIds)
{
    QTreeWidget* tree = ui->rsTreeWidget;
    QTreeWidgetItem* wallItem = tree->topLevelItemCount() == 1 ? tree->topLevelItem(0) : nullptr;
    if (!wallItem || !isSet(wallItem, WizardRole) || wallItem->childCount() != outputIds.size() ||
        !(listedOutputs.isSharedWith(outputIds) || listedOutputs == outputIds))
        return false;

    // The same outputs again under another name (a keystroke of the rename): the entries are left in place
    // and brought to what a new listing would show, instead of thousands of entries made anew.
    const QString oldName = textOf(wallItem);
    if (oldName != tvWallName) {
        entriesByText[oldName].removeOne(wallItem);
        if (entriesByText.value(oldName).isEmpty())
            entriesByText.remove(oldName);
        wallItem->setData(0, TextRole, tvWallName);
        entriesByText[tvWallName].prepend(wallItem);
        // The row in view shows the new name; a row widget set anew would have the view lay out every entry.
        if (MatrixTreeItem* row = rowOf(wallItem))
            applyStates(wallItem, row);
    }
    // A new listing has no running checks (their timers go as a clear takes them), no marks, nothing
    // selected or current, every entry expanded and the list at its top.
    QList<QTimer*> timers;
    for (const auto& check : qAsConst(checkTimers)) {
        setState(check.first, CheckingRole, false);
        timers.append(check.second);
    }
    qDeleteAll(timers);
    checkTimers.clear();
    for (QTreeWidgetItem* item : qAsConst(mappedEntries))
        setState(item, MappedRole, false);
    mappedEntries.clear();
    refreshCheckButtons();
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
    tree->show();
    if (!wallItem->isExpanded())
        tree->expandAll();
    tree->verticalScrollBar()->setValue(0);
    syncRows();
    return true;
}

// ---- operations for the page ----

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
    ui->rsTreeWidget->clearSelection();
    for (QTreeWidgetItem* item : entriesByText.value(id)) {
        auto* entry = dynamic_cast<pral_base::TreeItem*>(item);
        if (entry && entry->getId() == id)
            item->setSelected(true);
    }
}

void DecoderDeviceTree::setTvWallConnected(const QString& name, bool connected)
{
    for (QTreeWidgetItem* item : entriesByText.value(name)) {
        if (!item->parent() && item->type() == WallItemType) {
            setState(item, ConnectedRole, connected);
            return;
        }
    }
}

void DecoderDeviceTree::setTvWallChangedOnDecoder(const QString& name, bool changed)
{
    if (changed)
        changedWalls.insert(name);
    else
        changedWalls.remove(name);
    for (QTreeWidgetItem* item : entriesByText.value(name)) {
        if (!item->parent() && item->type() == WallItemType && !isSet(item, WizardRole))
            setState(item, ChangedRole, changed);
    }
}

bool DecoderDeviceTree::isTvWallConnected(const QString& name) const
{
    for (const QTreeWidgetItem* item : entriesByText.value(name)) {
        if (!item->parent() && item->type() == WallItemType)
            return isSet(item, ConnectedRole);
    }
    return false;
}

void DecoderDeviceTree::refreshCheckButtons()
{
    // Each connection result and each keystroke of the wizard's rename asks: the handles are read again only
    // when one came or went, and only the outputs of a decoder whose connection came or went are touched.
    const int handleChanges = service().handleTableChanges();
    if (handleChanges == checkedHandleChanges)
        return;
    for (auto it = outputsByAddress.constBegin(); it != outputsByAddress.constEnd(); ++it) {
        const int canCheck = service().getHandleByIp(it.key()).isNull() ? 0 : 1;
        int& shown = checkableOfAddress[it.key()];
        if (shown == canCheck)
            continue;
        for (QTreeWidgetItem* item : it.value())
            setState(item, CheckableRole, canCheck != 0);
        shown = canCheck;
    }
    checkedHandleChanges = handleChanges;
}

QString DecoderDeviceTree::takeCurrentTvWall()
{
    QTreeWidget* tree = ui->rsTreeWidget;
    QTreeWidgetItem* current = tree->currentItem();
    if (!current || current->parent() || current->type() != WallItemType)
        return QString();
    const QString name = textOf(current);
    if (isSet(current, ConnectedRole))
        shownWall.clear();

    QList<QTreeWidgetItem*> gone{current};
    for (int i = 0; i < current->childCount(); ++i)
        gone.append(current->child(i));
    for (QTreeWidgetItem* item : qAsConst(gone)) {
        for (int i = checkTimers.size() - 1; i >= 0; --i) {
            if (checkTimers.at(i).first == item)
                delete checkTimers.at(i).second;
        }
        mappedEntries.remove(item);
        entriesByText[textOf(item)].removeOne(item);
        if (item != current) {
            QString address;
            int location = 1;
            splitOutputId(textOf(item), &address, &location);
            outputsByAddress[address].removeOne(item);
        }
    }
    // The widgets of a wall that is gone are not needed again.
    dropping = true;
    for (QTreeWidgetItem* item : qAsConst(gone)) {
        if (rowOf(item))
            detachRow(item);
    }
    dropping = false;
    delete tree->takeTopLevelItem(tree->indexOfTopLevelItem(current));
    syncRows();
    return name;
}

QString DecoderDeviceTree::currentTvWallName() const
{
    QTreeWidgetItem* current = ui->rsTreeWidget->currentItem();
    return current && current->type() == WallItemType ? textOf(current) : QString();
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
    emit signalTvWallOpened(wallRow->text());
}

QString DecoderDeviceTree::chooseTvWall(const QString& name) const
{
    const QTreeWidgetItem* first = nullptr;
    const QTreeWidgetItem* chosen = nullptr;
    for (int i = 0; i < ui->rsTreeWidget->topLevelItemCount() && !chosen; ++i) {
        const QTreeWidgetItem* wall = wallEntry(i);
        if (!wall)
            continue;
        if (!first)
            first = wall;
        if (isSet(wall, ConnectedRole) && (name.isEmpty() || wall->data(0, RowIdRole).toString() == name))
            chosen = wall;
    }
    if (!chosen)
        chosen = first;
    return chosen ? chosen->data(0, RowIdRole).toString() : QString();
}

void DecoderDeviceTree::slotShowMatrixLayout(QString tvwallName)
{
    const QString chosen = chooseTvWall(tvwallName);
    if (chosen.isNull())
        return;
    shownWall = chosen;
    // Every listed wall entry is of type 1.
    emit signalShowMatrixLayout(1, chosen);
}

void DecoderDeviceTree::splitOutputId(const QString& text, QString* address, int* location)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    *address = dash < 0 ? text : text.left(dash);
    *location = dash < 0 ? 1 : text.mid(dash + 1).toInt();
}

// ---- on-screen check ----

void DecoderDeviceTree::startCheck(QTreeWidgetItem* item, QTimer* timer)
{
    MatrixTreeItem* row = rowOf(item);
    timer->setParent(row ? static_cast<QObject*>(row) : timerHolder);
    checkTimers.append(qMakePair(item, timer));
    setState(item, CheckingRole, true);
}

void DecoderDeviceTree::slotCheckScreenOperClicked(QWidget* widget)
{
    auto* row = qobject_cast<CheckScreenTreeItem*>(widget);
    QTreeWidgetItem* item = row ? itemOfRow.value(row) : nullptr;
    if (!item)
        return;
    QString address;
    int location = 1;
    splitOutputId(textOf(item), &address, &location);

    if (isSet(item, CheckingRole)) {
        emit signalCloseScreenCheck(address, location);
        setState(item, CheckingRole, false);
        for (int i = 0; i < checkTimers.size(); ++i) {
            if (checkTimers.at(i).first == item) {
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
    startCheck(item, timer);
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
    QTreeWidgetItem* item = checkTimers.takeFirst().first;
    if (!isSet(item, CheckingRole))
        return;
    QString address;
    int location = 1;
    splitOutputId(textOf(item), &address, &location);
    emit signalCloseScreenCheck(address, location);
    setState(item, CheckingRole, false);
}

// ---- mapped marks ----

void DecoderDeviceTree::slotMapping(QString outputId, bool mapped)
{
    if (outputId.isEmpty() && !mapped) {
        for (QTreeWidgetItem* item : qAsConst(mappedEntries))
            setState(item, MappedRole, false);
        mappedEntries.clear();
        return;
    }
    QTreeWidget* tree = ui->rsTreeWidget;
    if (tree->topLevelItemCount() == 0 || tree->topLevelItem(0)->childCount() == 0)
        return;
    const auto found = entriesByText.constFind(outputId);
    if (found == entriesByText.constEnd() || found->isEmpty())
        return;
    QTreeWidgetItem* item = found->first();
    setState(item, MappedRole, mapped);
    if (mapped)
        mappedEntries.insert(item);
    else
        mappedEntries.remove(item);
}

} // namespace pral_matrixConfig
