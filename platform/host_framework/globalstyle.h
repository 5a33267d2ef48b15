#pragma once

#include "host_framework_global.h"

#include <QString>

class QApplication;

namespace PCOMMON {

/**
 * The host's application style sheet: the dark defaults of common widgets and the looks of the
 * dynamic properties "common_bt_style1" (affirmative button), "common_bt_style2" (cancel button),
 * "common_close_bt_style1" (title-bar close button) and "common_label_style1" (title label).
 */
HOST_FRAMEWORK_EXPORT QString globalStyleSheet();

/** Only the rules of the four dynamic properties, for windows that must look right without the global sheet.
 */
HOST_FRAMEWORK_EXPORT QString commonPropertyStyleSheet();

/**
 * The face of the host's file dialog, set on the dialog itself: a dialog opened from another window
 * inherits that window's style sheet, whose text colours are made for another background, and a
 * widget's own sheet is preferred to every inherited one.
 */
HOST_FRAMEWORK_EXPORT QString fileDialogStyleSheet();

/**
 * Installs globalStyleSheet() on the application, and gives texts that have no size of their own
 * the 12 px that the forms are laid out for, whatever the desktop's font size.
 */
HOST_FRAMEWORK_EXPORT void applyGlobalStyleSheet(QApplication& app);

} // namespace PCOMMON
