#pragma once

#include "host_framework_global.h"

#include <QTimer>
#include <QUuid>
#include <QWidget>

namespace PCOMMON {

/**
 * @brief Busy overlay: darkens its parent completely, shows a spinner and a
 * text, and takes the mouse away from what it covers until it is destroyed.
 *
 * It registers itself with DisabledWaitingWtManager, through which callers
 * destroy it by its id when the awaited result arrives.
 */
class HOST_FRAMEWORK_EXPORT DisabledWaitingWt : public QWidget
{
    Q_OBJECT

public:
    /**
     * @param text the main line under the spinner
     * @param text2 an optional smaller second line
     * @param autoShow true shows and raises the overlay at once; false leaves that to the caller
     */
    DisabledWaitingWt(QWidget* parent, const QString& text, const QString& text2 = QString(),
                      bool autoShow = false);
    ~DisabledWaitingWt() override;

    QUuid getUuid() const { return uuid; }
    QString text() const { return mainText; }
    QString secondText() const { return subText; }
    void setText(const QString& text);

    /** Current angle step of the spinner, 0..SpinnerDots-1. */
    int spinnerStep() const { return step; }
    static constexpr int SpinnerDots = 12;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fitToParent();

    QUuid uuid;
    QString mainText;
    QString subText;
    QTimer spinTimer;
    int step = 0;
};

} // namespace PCOMMON
