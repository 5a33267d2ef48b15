#pragma once

#include "matrix_config_global.h"

#include <QWidget>

namespace pral_matrixConfig {

/**
 * @brief Dark translucent layer inside a disabled widget, following its size.
 */
class MATRIX_CONFIG_EXPORT DisabledWt : public QWidget
{
    Q_OBJECT

public:
    explicit DisabledWt(QWidget* parent = nullptr);
    ~DisabledWt() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToCovered();

    QWidget* covered;
};

} // namespace pral_matrixConfig
