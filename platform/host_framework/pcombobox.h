#pragma once

#include "host_framework_global.h"

#include <QComboBox>

namespace PCOMMON {

/**
 * @brief Combo box whose drop-down follows the style sheet (item heights and
 * colours) and draws no focus frame on its entries.
 */
class HOST_FRAMEWORK_EXPORT PComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PComboBox(QWidget* parent = nullptr);
    ~PComboBox() override;
};

} // namespace PCOMMON
