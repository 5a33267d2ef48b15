#include "connectstatetipwt.h"

#include "ui_connectstatetipwt.h"

#include <QGuiApplication>
#include <QScreen>

namespace pral_matrix {

namespace {
constexpr int ScreenMargin = 16;
}

ConnectStateTipWt::ConnectStateTipWt(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , ui(new Ui::ConnectStateTipWt)
{
    ui->setupUi(this);
    // A notice must not steal the keyboard from the dialog the user works in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        QStringLiteral("pral_matrix--ConnectStateTipWt{background-color:#172335;border:1px solid #2c3b55;}"
                       "QLabel{color:#ccd3dd;font-size:13px;}"
                       "QLabel#titleLabel{color:#ebf3fa;}"));
    ui->closeBtn->setProperty("common_close_bt_style1", true);
    ui->reconnectBtn->setProperty("common_bt_style1", true);

    connect(ui->reconnectBtn, &QPushButton::clicked, this, &ConnectStateTipWt::singalReconnect);
    connect(ui->closeBtn, &QPushButton::clicked, this, [this] {
        hide();
        emit signalHideWt(connectIp);
    });
}

ConnectStateTipWt::~ConnectStateTipWt()
{
    delete ui;
}

void ConnectStateTipWt::setTipContent(const QString& text)
{
    ui->tipLabel->setText(text);
}

QString ConnectStateTipWt::tipContent() const
{
    return ui->tipLabel->text();
}

void ConnectStateTipWt::setConnectIp(const QString& ip)
{
    connectIp = ip;
}

QString ConnectStateTipWt::getConnectIp() const
{
    return connectIp;
}

void ConnectStateTipWt::showEvent(QShowEvent* event)
{
    if (!parentWidget())
        placeAtScreenCorner();
    QWidget::showEvent(event);
}

void ConnectStateTipWt::placeAtScreenCorner()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.right() - width() - ScreenMargin, area.bottom() - height() - ScreenMargin);
}

} // namespace pral_matrix
