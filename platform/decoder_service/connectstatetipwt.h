#pragma once

#include "decoder_service_global.h"

#include <QWidget>

namespace pral_matrix {

namespace Ui {
class ConnectStateTipWt;
}

/**
 * @brief A small notice window at the bottom right of the screen about the
 * connection to one decoder, with a way to reconnect it or give it up.
 *
 * It stays above other windows without taking focus away from them; its
 * owner decides when it shows and what it says.
 */
class DECODER_SERVICE_EXPORT ConnectStateTipWt : public QWidget
{
    Q_OBJECT

public:
    explicit ConnectStateTipWt(QWidget* parent = nullptr);
    ~ConnectStateTipWt() override;

    void setTipContent(const QString& text);
    QString tipContent() const;
    /** The decoder the tip is about; empty when it is about none. */
    void setConnectIp(const QString& ip);
    QString getConnectIp() const;

signals:
    /** The user asks to connect the tip's decoder again. */
    void singalReconnect();
    /** The user dismissed the tip, which is now hidden; carries its address. */
    void signalHideWt(QString ip);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeAtScreenCorner();

    Ui::ConnectStateTipWt* ui;
    QString connectIp;
};

} // namespace pral_matrix
