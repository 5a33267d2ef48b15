#pragma once

#include "host_framework_global.h"

#include <QPushButton>

namespace PCOMMON {

/**
 * @brief Push button with a pointing-hand cursor that can be drawn by images
 * for its normal, hover and pressed states.
 */
class HOST_FRAMEWORK_EXPORT PPushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit PPushButton(QWidget* parent = nullptr);
    explicit PPushButton(const QString& text, QWidget* parent = nullptr);
    ~PPushButton() override;

    /**
     * Draws the button with border images. A hover or pressed image that does not exist falls
     * back to the normal one, so a button never turns blank on hover.
     */
    void setImages(const QString& normal, const QString& hover = QString(),
                   const QString& pressed = QString());

    /** The style sheet that setImages applies, exposed for widgets that combine it with their own. */
    static QString imageStyleSheet(const QString& normal, const QString& hover, const QString& pressed);
};

} // namespace PCOMMON
