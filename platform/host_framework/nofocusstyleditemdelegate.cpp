#include "nofocusstyleditemdelegate.h"

namespace PCOMMON {

NoFocusStyledItemDelegate::NoFocusStyledItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

NoFocusStyledItemDelegate::~NoFocusStyledItemDelegate() = default;

void NoFocusStyledItemDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~QStyle::State_HasFocus;
}

} // namespace PCOMMON
