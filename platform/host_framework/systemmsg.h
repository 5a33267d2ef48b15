#pragma once

#include "host_framework_global.h"
#include "psingleton.h"

#include <QObject>

namespace pral_base {

/**
 * @brief Process-wide notices of the host application to every module.
 */
class HOST_FRAMEWORK_EXPORT SystemMsg : public QObject, public PSingleton<SystemMsg>
{
    Q_OBJECT
    friend class PSingleton<SystemMsg>;

signals:
    /** The application is about to quit: close dialogs, drop what could still emit. */
    void signalQuitSystem();

private:
    explicit SystemMsg(QObject* parent = nullptr);
    ~SystemMsg() override;
};

} // namespace pral_base
