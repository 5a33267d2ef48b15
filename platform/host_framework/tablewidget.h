#pragma once

#include "ptablewidget.h"

namespace PCOMMON {

/**
 * @brief List table in the modules' dark look: no grid, no frame, read-only,
 * hover and selection in the host's colours.
 */
class HOST_FRAMEWORK_EXPORT TableWidget : public PTableWidget
{
    Q_OBJECT

public:
    explicit TableWidget(QWidget* parent = nullptr);
    ~TableWidget() override;

    static QString defaultStyleSheet();
};

} // namespace PCOMMON
