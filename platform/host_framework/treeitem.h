#pragma once

#include "host_framework_global.h"

#include <QTreeWidgetItem>

namespace pral_base {

/**
 * @brief Tree entry that carries a type and two ids, so that trees can find
 * their entries by id instead of by text.
 */
class HOST_FRAMEWORK_EXPORT TreeItem : public QTreeWidgetItem
{
public:
    explicit TreeItem(int type = QTreeWidgetItem::UserType);
    TreeItem(QTreeWidget* parent, int type);
    TreeItem(QTreeWidgetItem* parent, int type);
    ~TreeItem() override;

    void setId(const QString& id, const QString& secondId = QString());
    QString getId() const { return id; }
    QString getSecondId() const { return secondId; }
    /** The type given at construction (the same as QTreeWidgetItem::type()). */
    int itemType() const { return type(); }

private:
    QString id;
    QString secondId;
};

} // namespace pral_base
