#include "highdpi.h"

#include <QCoreApplication>
#include <QIcon>

namespace PCOMMON {

void enableHighDpi()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}

QPixmap imagePixmap(const QString& path)
{
    // A plain QPixmap never looks for the @2x file; an icon made from the path does, and
    // lists the plain file's size first.
    const QIcon icon(path);
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QPixmap(path) : icon.pixmap(sizes.constFirst());
}

} // namespace PCOMMON
