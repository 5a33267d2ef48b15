#pragma once

#include "moveabledialog.h"

class QLabel;
class QPushButton;

namespace PCOMMON {

/**
 * @brief Modal message box in the host's dark look, with a confirm button and
 * optionally a cancel button.
 */
class HOST_FRAMEWORK_EXPORT PMessageBox : public MoveableDialog
{
    Q_OBJECT

public:
    /** Bits of the buttons argument. */
    enum Button : short
    {
        Ok = 1,
        Cancel = 2,
    };

    /**
     * Shows text with a confirm button (and a cancel button when buttons has the Cancel bit)
     * and waits. Returns 1 when confirmed, 0 when cancelled or closed.
     * @param richText true shows text as rich text, false as plain text
     * A null parent centres the box on the active window or, without one, on the screen.
     */
    static int information(QWidget* parent, const QString& text, short buttons = Ok, bool richText = false);
    /** The same as information, with a confirm and a cancel button by default. */
    static int question(QWidget* parent, const QString& text, short buttons = Ok | Cancel,
                        bool richText = false);

    PMessageBox(QWidget* parent, const QString& title, const QString& text, short buttons, bool richText);
    ~PMessageBox() override;

    QString text() const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    static int run(QWidget* parent, const QString& title, const QString& text, short buttons, bool richText);

    QLabel* textLabel = nullptr;
};

} // namespace PCOMMON
