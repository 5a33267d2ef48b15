#pragma once

#include "matrix_config_global.h"
#include "psingleton.h"

#include <QObject>

namespace pral_matrixConfig {

/**
 * @brief Process-wide hub for notices between the host's modules; within this
 * module only the screens listen, to signalDeleteMatrix.
 */
class MATRIX_CONFIG_EXPORT MatrixConfigSignals : public QObject, public PSingleton<MatrixConfigSignals>
{
    Q_OBJECT
    friend class PSingleton<MatrixConfigSignals>;

signals:
    void signalSelectedCardClicked(int index);
    void signalRefreshTree();
    void signalReloadMapInfo(QString matrixid);
    void signalDeleteMatrix(QString matrixKey);

private:
    explicit MatrixConfigSignals(QObject* parent = nullptr);
    ~MatrixConfigSignals() override;
};

} // namespace pral_matrixConfig
