#pragma once

#include "moveabledialog.h"

namespace PCOMMON {

/**
 * @brief Base of the modules' dialogs: frameless and movable, with the slots
 * that a designer title bar's buttons connect to; it closes itself when the
 * application quits.
 *
 * It adds no chrome of its own: each dialog brings its own title bar.
 */
class HOST_FRAMEWORK_EXPORT CommonDialog : public MoveableDialog
{
    Q_OBJECT

public:
    /**
     * @param resizable the user may resize the dialog (a size grip appears at the bottom right)
     * @param movable dragging the title strip moves the dialog
     */
    explicit CommonDialog(QWidget* parent = nullptr, bool resizable = false, bool movable = true);
    ~CommonDialog() override;

public slots:
    virtual void slotMinimizeBtClicked();
    /** true maximizes, false restores the normal size. */
    virtual void slotMaximizeBtClicked(bool maximize);
    virtual void slotCloseBtClicked();
    /** The application quits: an open dialog goes away as if cancelled. */
    virtual void quitSystem();
};

} // namespace PCOMMON
