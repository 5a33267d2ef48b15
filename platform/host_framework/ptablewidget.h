#pragma once

#include "host_framework_global.h"

#include <QTableWidget>

namespace PCOMMON {

/**
 * @brief Table widget without focus frames on its cells, selecting whole rows.
 */
class HOST_FRAMEWORK_EXPORT PTableWidget : public QTableWidget
{
    Q_OBJECT

public:
    explicit PTableWidget(QWidget* parent = nullptr);
    PTableWidget(int rows, int columns, QWidget* parent = nullptr);
    ~PTableWidget() override;

private:
    void init();
};

} // namespace PCOMMON
