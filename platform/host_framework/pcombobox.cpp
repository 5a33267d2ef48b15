#include "pcombobox.h"

#include "nofocusstyleditemdelegate.h"

namespace PCOMMON {

PComboBox::PComboBox(QWidget* parent)
    : QComboBox(parent)
{
    // The default combo delegate ignores style sheet rules for QAbstractItemView::item.
    setItemDelegate(new NoFocusStyledItemDelegate(this));
}

PComboBox::~PComboBox() = default;

} // namespace PCOMMON
