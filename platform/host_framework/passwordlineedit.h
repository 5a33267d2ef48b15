#pragma once

#include "host_framework_global.h"

#include <QLineEdit>

class QAction;

namespace PCOMMON {

/**
 * @brief Password field with an eye button at its right end that shows or
 * hides the typed text.
 */
class HOST_FRAMEWORK_EXPORT PasswordLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit PasswordLineEdit(QWidget* parent = nullptr);
    ~PasswordLineEdit() override;

    /** true shows the text in clear, false masks it. */
    void setPasswordVisible(bool visible);
    bool isPasswordVisible() const;
    QAction* toggleAction() const { return eyeAction; }

private:
    QAction* eyeAction = nullptr;
};

} // namespace PCOMMON
