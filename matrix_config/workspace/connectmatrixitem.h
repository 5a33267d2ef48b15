#pragma once

#include "matrixtreeitem.h"

namespace PCOMMON {
class PPushButton;
}

namespace pral_matrixConfig {

/**
 * @brief Row of a TV wall in the device tree, with the button that connects
 * all decoders of the wall.
 */
class MATRIX_CONFIG_EXPORT ConnectMatrixItem : public MatrixTreeItem
{
    Q_OBJECT

public:
    ConnectMatrixItem(const QString& id, int type, int level, const QString& text, const QString& iconPath,
                      QWidget* parent = nullptr);
    ~ConnectMatrixItem() override;

    void reuse(const QString& id, int type, const QString& text, const QString& iconPath) override;

    void setConnected(bool connected);
    bool isConnected() const { return connected; }
    /**
     * A wall whose decoder holds another version than this desk last saw shows
     * a mark in place of its icon, and says so in its tooltip.
     */
    void setChangedOnDecoder(bool changed);
    bool isChangedOnDecoder() const { return changedOnDecoder; }
    /** The wizard lists outputs under a wall that has nothing to connect. */
    void hideConnectButton();
    int itemLevel() const { return level; }

signals:
    void signalOperClicked(QWidget* item, QString id);
    void signalShowLayout(QWidget* item, QString id);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int level;
    bool connected = false;
    bool changedOnDecoder = false;
    QString ownIconPath;
    PCOMMON::PPushButton* connectBt;
};

} // namespace pral_matrixConfig
