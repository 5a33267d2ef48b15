#include "checkscreentreeitem.h"

#include "ui_matrixtreeitem.h"

namespace pral_matrixConfig {

CheckScreenTreeItem::CheckScreenTreeItem(const QString& id, int type, int level, const QString& text,
                                         const QString& iconPath, QWidget* parent)
    : MatrixTreeItem(id, type, text, iconPath, parent)
    , level(level)
{
    QPushButton* button = ui->operBt;
    button->setProperty("checking", false);
    button->setToolTip(tr("check screen"));
}

CheckScreenTreeItem::~CheckScreenTreeItem() = default;

void CheckScreenTreeItem::reuse(const QString& id, int type, const QString& text, const QString& iconPath)
{
    if (checking)
        setChecking(false);
    MatrixTreeItem::reuse(id, type, text, iconPath);
}

void CheckScreenTreeItem::setChecking(bool checking)
{
    this->checking = checking;
    QPushButton* button = ui->operBt;
    button->setProperty("checking", checking);
    button->setToolTip(checking ? tr("checking") : tr("check screen"));
    repolish(button);
    setHideOperOnLeave(!checking);
    showOperButton(checking);
}

} // namespace pral_matrixConfig
