#include "combobox.h"

#include <QWheelEvent>

namespace PCOMMON {

ComboBox::ComboBox(QWidget* parent)
    : PComboBox(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

ComboBox::~ComboBox() = default;

void ComboBox::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    PComboBox::wheelEvent(event);
}

} // namespace PCOMMON
