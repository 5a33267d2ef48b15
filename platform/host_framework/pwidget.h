#pragma once

#include "host_framework_global.h"

#include <QColor>
#include <QWidget>

namespace PCOMMON {

/**
 * @brief Plain widget whose background can be set by colour and whose own
 * style sheet is drawn (a bare QWidget subclass ignores it).
 */
class HOST_FRAMEWORK_EXPORT PWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~PWidget() override;

    /** Fills the background with color; an invalid colour stops filling. A style sheet background still wins.
     */
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return bgColor; }

private:
    QColor bgColor;
};

} // namespace PCOMMON
