#include "ptablewidget.h"

#include "nofocusstyleditemdelegate.h"

namespace PCOMMON {

PTableWidget::PTableWidget(QWidget* parent)
    : QTableWidget(parent)
{
    init();
}

PTableWidget::PTableWidget(int rows, int columns, QWidget* parent)
    : QTableWidget(rows, columns, parent)
{
    init();
}

PTableWidget::~PTableWidget() = default;

void PTableWidget::init()
{
    setItemDelegate(new NoFocusStyledItemDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

} // namespace PCOMMON
