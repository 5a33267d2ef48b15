#pragma once

#include "host_framework_global.h"

#include <QString>

namespace PCOMMON {

/**
 * @brief Where the application's own read-only files lie: the translation catalogues and the
 * screen-adjustment test pictures.
 *
 * They sit in share/tvwall beside the folder of the program (bin/), so that one tree works
 * wherever it is put: installed under /usr or /opt/tvwall, in a temporary prefix, or in a
 * build folder, which lays its files out the same way. Everything is found from
 * QCoreApplication::applicationDirPath(), so a QCoreApplication must exist. Any thread.
 */
class HOST_FRAMEWORK_EXPORT AppFiles
{
public:
    /** share/tvwall of the tree the program belongs to. */
    static QString sharedDirectory();
    /** The compiled catalogues ("matrix_config_zh_CN.qm" ...). */
    static QString translationsDirectory();
    /** The test pictures ("red.jpg" ...), in a folder named "resources" as the module names it. */
    static QString testPicturesDirectory();

private:
    AppFiles() = delete;
};

} // namespace PCOMMON
