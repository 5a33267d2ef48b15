#pragma once

#include "matrix_config_global.h"
#include "pwidget.h"

#include <QString>

namespace pral_matrixConfig {

namespace Ui {
class ScreenWt;
}

/**
 * @brief One physical screen of a TV wall: shows its position and the output
 * bound to it, and takes outputs dropped on it.
 */
class MATRIX_CONFIG_EXPORT ScreenWt : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    ScreenWt(QWidget* parent, int screenWtId);
    ~ScreenWt() override;

    /** An empty matrix key unbinds the screen. */
    void setBinding(const QString& matrixKey, const QString& outputKey, int outputId, int outputNo);
    void binding(QString* matrixKey, QString* outputKey, int* outputId, int* outputNo) const;
    QString boundMatrixKey() const { return matrixKey; }
    void setPosition(int row, int column);
    /** Makes the screen as a new one of that id would be: unbound, without position; announces nothing. */
    void reset(int screenWtId);
    int screenWtId() const { return wtId; }
    QString labelText() const;
    QString positionText() const;

signals:
    void signalScreenWtClicked(int screenWtId);
    void signaldropEvent(int screenWtId, QString itemId, int itemType);

public slots:
    void slotDeleteMatrix(QString matrixKey);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showLabel();
    static void announceMapping(const QString& outputKey, bool mapped);

    Ui::ScreenWt* ui;
    int wtId;
    QString matrixKey;
    int outputId = -1;
    int outputNo = -1;
    QString outputKey;
    int row = 0;
    int column = 0;
};

} // namespace pral_matrixConfig
