#include "connectmatrixitem.h"

#include "ui_matrixtreeitem.h"

#include "highdpi.h"
#include "ppushbutton.h"

#include <QMouseEvent>

namespace pral_matrixConfig {

namespace {
const QString ChangedIcon = QStringLiteral(":/matrixConfig_images/images/jmq_changed.png");
}

ConnectMatrixItem::ConnectMatrixItem(const QString& id, int type, int level, const QString& text,
                                     const QString& iconPath, QWidget* parent)
    : MatrixTreeItem(id, type, text, iconPath, parent)
    , level(level)
    , ownIconPath(iconPath)
    , connectBt(new PCOMMON::PPushButton(this))
{
    connectBt->setObjectName(QStringLiteral("connectBt"));
    connectBt->setFocusPolicy(Qt::NoFocus);
    connectBt->setGeometry(210, 7, 16, 16);
    connectBt->setProperty("connected", false);
    // A wall's operation is its connect button; the hover button belongs to outputs.
    setOperEnabled(false);
    connect(connectBt, &QPushButton::clicked, this, [this] { emit signalOperClicked(this, itemId()); });
}

ConnectMatrixItem::~ConnectMatrixItem() = default;

void ConnectMatrixItem::reuse(const QString& id, int type, const QString& text, const QString& iconPath)
{
    MatrixTreeItem::reuse(id, type, text, iconPath);
    ownIconPath = iconPath;
    changedOnDecoder = false;
    setToolTip(QString());
    setOperEnabled(false);
    setConnected(false);
    connectBt->show();
}

void ConnectMatrixItem::setConnected(bool connected)
{
    if (connectBt->property("connected").toBool() == connected) {
        this->connected = connected;
        return;
    }
    this->connected = connected;
    connectBt->setProperty("connected", connected);
    repolish(connectBt);
}

void ConnectMatrixItem::setChangedOnDecoder(bool changed)
{
    if (changed == changedOnDecoder)
        return;
    changedOnDecoder = changed;
    // Few walls carry the mark at a time: their icons need no cache.
    ui->iconLabel->setPixmap(PCOMMON::imagePixmap(changed ? ChangedIcon : ownIconPath));
    setToolTip(changed
                   ? tr("Changed on the decoder since this desk last saw it. Click the TV wall to see it.")
                   : QString());
}

void ConnectMatrixItem::hideConnectButton()
{
    connectBt->hide();
}

void ConnectMatrixItem::mouseReleaseEvent(QMouseEvent* event)
{
    emit signalShowLayout(this, itemId());
    MatrixTreeItem::mouseReleaseEvent(event);
}

} // namespace pral_matrixConfig
