#pragma once

#include "host_framework_global.h"

#include <QStyledItemDelegate>

namespace PCOMMON {

/**
 * @brief Item delegate that never draws the dotted focus frame on the current item.
 */
class HOST_FRAMEWORK_EXPORT NoFocusStyledItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit NoFocusStyledItemDelegate(QObject* parent = nullptr);
    ~NoFocusStyledItemDelegate() override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace PCOMMON
