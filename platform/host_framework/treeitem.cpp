#include "treeitem.h"

namespace pral_base {

TreeItem::TreeItem(int type)
    : QTreeWidgetItem(type)
{
}

TreeItem::TreeItem(QTreeWidget* parent, int type)
    : QTreeWidgetItem(parent, type)
{
}

TreeItem::TreeItem(QTreeWidgetItem* parent, int type)
    : QTreeWidgetItem(parent, type)
{
}

TreeItem::~TreeItem() = default;

void TreeItem::setId(const QString& newId, const QString& newSecondId)
{
    id = newId;
    secondId = newSecondId;
}

} // namespace pral_base
