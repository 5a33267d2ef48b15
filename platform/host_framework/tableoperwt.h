#pragma once

#include "host_framework_global.h"

#include <QWidget>

class QTableWidget;

namespace PCOMMON {

/**
 * @brief Base of the button widgets placed in table cells (one per row); it
 * finds its table and its current row, which shift as rows are removed.
 */
class HOST_FRAMEWORK_EXPORT TableOperWt : public QWidget
{
    Q_OBJECT

public:
    explicit TableOperWt(QWidget* parent = nullptr);
    ~TableOperWt() override;

    /** The table whose cell holds this widget, or null. */
    QTableWidget* table() const;
    /** The row whose cell holds this widget now, or -1. */
    int currentRow() const;
};

} // namespace PCOMMON
