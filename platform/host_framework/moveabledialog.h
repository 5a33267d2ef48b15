#pragma once

#include "host_framework_global.h"

#include <QColor>
#include <QDialog>
#include <QPoint>

namespace PCOMMON {

/**
 * @brief Frameless dialog that the user moves by dragging its top strip, where
 * the dialog's own title bar sits.
 */
class HOST_FRAMEWORK_EXPORT MoveableDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int DefaultTitleHeight = 40;

    explicit MoveableDialog(QWidget* parent = nullptr);
    ~MoveableDialog() override;

    /** Colour of the dialog body; an invalid colour leaves the background to the palette or style sheet. */
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return bgColor; }

    /** Height of the strip at the top that moves the dialog; 0 makes the dialog unmovable. */
    void setTitleHeight(int height);
    int titleHeight() const { return dragHeight; }

    void setMovable(bool movable) { moveEnabled = movable; }
    bool isMovable() const { return moveEnabled; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool startsDrag(const QPoint& pos) const;

    QColor bgColor;
    int dragHeight = DefaultTitleHeight;
    bool moveEnabled = true;
    bool dragging = false;
    QPoint dragOffset;
};

} // namespace PCOMMON
