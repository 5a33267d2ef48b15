#include "commondialog.h"

#include "systemmsg.h"

namespace PCOMMON {

CommonDialog::CommonDialog(QWidget* parent, bool resizable, bool movable)
    : MoveableDialog(parent)
{
    setMovable(movable);
    // A frameless window has no border to drag; a grip in the corner gives the user one.
    setSizeGripEnabled(resizable);
    connect(&pral_base::SystemMsg::_instance(), &pral_base::SystemMsg::signalQuitSystem, this,
            &CommonDialog::quitSystem);
}

CommonDialog::~CommonDialog() = default;

void CommonDialog::slotMinimizeBtClicked()
{
    showMinimized();
}

void CommonDialog::slotMaximizeBtClicked(bool maximize)
{
    if (maximize)
        showMaximized();
    else
        showNormal();
}

void CommonDialog::slotCloseBtClicked()
{
    reject();
}

void CommonDialog::quitSystem()
{
    reject();
}

} // namespace PCOMMON
