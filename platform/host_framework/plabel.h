#pragma once

#include "host_framework_global.h"

#include <QLabel>

namespace PCOMMON {

/**
 * @brief Label that can be clicked and that can elide a text too long for it.
 */
class HOST_FRAMEWORK_EXPORT PLabel : public QLabel
{
    Q_OBJECT

public:
    explicit PLabel(QWidget* parent = nullptr);
    explicit PLabel(const QString& text, QWidget* parent = nullptr);
    ~PLabel() override;

    /** Qt::ElideNone (the default) shows the text as QLabel does; otherwise a plain text too long for the
     * label is elided. */
    void setElideMode(Qt::TextElideMode mode);
    Qt::TextElideMode elideMode() const { return elide; }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode elide = Qt::ElideNone;
};

} // namespace PCOMMON
