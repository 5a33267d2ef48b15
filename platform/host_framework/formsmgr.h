#pragma once

#include "host_framework_global.h"

class QDialog;

namespace pral_base {

/**
 * @brief Knows the modal dialog that is open right now, so that the host can
 * close it when it has to (quit, lock, module switch).
 */
class HOST_FRAMEWORK_EXPORT FormsMgr
{
public:
    /** Registers the open modal dialog; null clears. The dialog is not owned. */
    static void setCurModalDlg(QDialog* dialog);
    /** The registered dialog, or null when none is registered or it was destroyed. */
    static QDialog* curModalDlg();

private:
    FormsMgr() = delete;
};

} // namespace pral_base
