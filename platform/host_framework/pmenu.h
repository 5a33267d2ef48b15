#pragma once

#include "host_framework_global.h"

#include <QMenu>

namespace PCOMMON {

/**
 * @brief Context menu in the host's dark look.
 */
class HOST_FRAMEWORK_EXPORT PMenu : public QMenu
{
    Q_OBJECT

public:
    explicit PMenu(QWidget* parent = nullptr);
    explicit PMenu(const QString& title, QWidget* parent = nullptr);
    ~PMenu() override;

    static QString defaultStyleSheet();
};

} // namespace PCOMMON
