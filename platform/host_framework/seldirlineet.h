#pragma once

#include "host_framework_global.h"

#include <QLineEdit>

class QToolButton;

namespace PCOMMON {

/**
 * @brief Read-only path field with a browse button. A click on either emits
 * signalClicked; the owner decides which file dialog to open.
 */
class HOST_FRAMEWORK_EXPORT SelDirLineEt : public QLineEdit
{
    Q_OBJECT

public:
    explicit SelDirLineEt(QWidget* parent = nullptr);
    ~SelDirLineEt() override;

    QToolButton* browseButton() const { return browseBtn; }

signals:
    void signalClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* browseBtn = nullptr;
};

} // namespace PCOMMON
