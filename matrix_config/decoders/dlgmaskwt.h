#pragma once

#include "matrix_config_global.h"
#include "suspendlayerwt.h"

namespace pral_matrixConfig {

/**
 * @brief Half-transparent black layer over a window while one of its modal
 * dialogs runs; made on the caller's stack next to the dialog.
 */
class MATRIX_CONFIG_EXPORT DlgMaskWt : public PCOMMON::SuspendLayerWt
{
    Q_OBJECT

public:
    DlgMaskWt(QWidget* owner, QWidget* dialog);
    ~DlgMaskWt() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToOwner();

    QWidget* owner;
    QWidget* dialog;
};

} // namespace pral_matrixConfig
