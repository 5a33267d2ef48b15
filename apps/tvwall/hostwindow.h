#pragma once

#include <QMainWindow>
#include <QPointer>

#include "baseform.h"

/**
 * @brief The host application's main window: a header with the client's
 * modules and the TV-wall management page below it.
 */
class HostWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit HostWindow(QWidget* parent = nullptr);
    ~HostWindow() override;

    pral_base::BaseForm* page() const { return form; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void slotPageAgreedToClose();
    void slotQuit();

    QPointer<pral_base::BaseForm> form;
    bool pageAgreed = false;
};
