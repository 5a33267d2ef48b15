#include "tableoperwt.h"

#include <QTableWidget>

namespace PCOMMON {

TableOperWt::TableOperWt(QWidget* parent)
    : QWidget(parent)
{
    // Cell widgets style their buttons with a sheet of their own; let it draw the background too.
    setAttribute(Qt::WA_StyledBackground);
}

TableOperWt::~TableOperWt() = default;

QTableWidget* TableOperWt::table() const
{
    // A cell widget sits in the table's viewport, one level below the table.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* table = qobject_cast<QTableWidget*>(w))
            return table;
    }
    return nullptr;
}

int TableOperWt::currentRow() const
{
    QTableWidget* owner = table();
    if (!owner)
        return -1;
    for (int row = 0; row < owner->rowCount(); ++row) {
        for (int column = 0; column < owner->columnCount(); ++column) {
            if (owner->cellWidget(row, column) == this)
                return row;
        }
    }
    return -1;
}

} // namespace PCOMMON
