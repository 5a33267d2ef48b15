#pragma once

#include "pcombobox.h"

namespace PCOMMON {

/**
 * @brief Dialog combo box: like PComboBox, but the mouse wheel only changes it
 * when it has the focus, so scrolling past it never changes a setting.
 */
class HOST_FRAMEWORK_EXPORT ComboBox : public PComboBox
{
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent = nullptr);
    ~ComboBox() override;

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace PCOMMON
