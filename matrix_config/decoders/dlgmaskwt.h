#pragma once

#include "matrix_config_global.h"
#include "suspendlayerwt.h"

#include <QPixmap>

namespace pral_matrixConfig {

/**
 * @brief Half-transparent black layer over a window while one of its modal
 * dialogs runs; made on the caller's stack next to the dialog.
 *
 * It never covers the dialog it serves: whenever the layer shows or rises,
 * the dialog is raised above it, which holds without a window manager too.
 * Where windows cannot be translucent (X11 without a compositing manager) the
 * layer shows a darkened picture of the owner instead of plain black.
 */
class MATRIX_CONFIG_EXPORT DlgMaskWt : public PCOMMON::SuspendLayerWt
{
    Q_OBJECT

public:
    DlgMaskWt(QWidget* owner, QWidget* dialog);
    ~DlgMaskWt() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToOwner();
    void keepDialogOnTop();

    QWidget* owner;
    QWidget* dialog;
    /** The owner, darkened, when the layer cannot be see-through. */
    QPixmap picture;
};

} // namespace pral_matrixConfig
