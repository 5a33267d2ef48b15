#include "matrixtreeitem.h"
#include "ui_matrixtreeitem.h"

#include "highdpi.h"

#include <QDrag>
#include <QHash>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyle>

namespace pral_matrixConfig {

namespace {
const char* const BgStateProperty = "bgState";
const QString MappedIcon = QStringLiteral(":/matrixConfig_images/images/ip_h.png");

// A refill makes thousands of rows with the same few icons; QPixmap's own cache
// asks the file system for every one of them. The labels show them at their own
// size, so a 200 % screen needs the @2x files.
QPixmap icon(const QString& path)
{
    static QHash<QString, QPixmap> icons;
    auto found = icons.constFind(path);
    if (found == icons.constEnd())
        found = icons.insert(path, PCOMMON::imagePixmap(path));
    return found.value();
}
} // namespace

MatrixTreeItem::MatrixTreeItem(const QString& id, int type, const QString& text, const QString& iconPath,
                               QWidget* parent)
    : PCOMMON::PWidget(parent)
    , ui(new Ui::MatrixTreeItem)
    , id(id)
    , type(type)
    , iconPath(iconPath)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setProperty(BgStateProperty, 0);
    ui->itemName->setText(text);
    ui->iconLabel->setPixmap(icon(iconPath));
    setFixedHeight(30);
    ui->operBt->hide();
    ui->matrix_cnt->hide();
    connect(ui->operBt, SIGNAL(clicked()), this, SLOT(slotOperBtnClicked()));
}

MatrixTreeItem::~MatrixTreeItem()
{
    delete ui;
}

void MatrixTreeItem::reuse(const QString& id, int type, const QString& text, const QString& iconPath)
{
    this->id = id;
    this->type = type;
    this->iconPath = iconPath;
    mapped = false;
    ui->iconLabel->setPixmap(icon(iconPath));
    ui->itemName->setText(text);
    ui->matrix_cnt->hide();
    setBackgroundState(0);
    operEnabled = true;
    draggable = false;
    hideOperOnLeave = true;
    showOperButton(false);
}

QString MatrixTreeItem::mimeFormat()
{
    return QStringLiteral("matrixtreeitem");
}

QString MatrixTreeItem::treeStyleSheet()
{
    const QString img = QStringLiteral(":/matrixConfig_images/images/");
    return QStringLiteral(
               "pral_matrixConfig--MatrixTreeItem{background-color:transparent;}"
               "pral_matrixConfig--MatrixTreeItem[bgState=\"1\"]{background-color:#131d2d;}"
               "pral_matrixConfig--MatrixTreeItem[bgState=\"2\"]{background-color:#266bef;}"
               "pral_matrixConfig--MatrixTreeItem QLabel#itemName{color:#ccd3dd;border:0px;font-size:13px;"
               "font-family:microsoft yahei;padding-right:6px;}"
               "pral_matrixConfig--MatrixTreeItem[bgState=\"2\"] QLabel#itemName{color:#ffffff;}"
               "QPushButton#connectBt[connected=\"true\"]{border:0px;border-image:url(%1connect_n.png);}"
               "QPushButton#connectBt[connected=\"false\"]{border:0px;border-image:url(%1unconnect_n.png);}"
               "QPushButton#connectBt[connected=\"false\"]:hover{border-image:url(%1unconnect_h.png);}"
               "QPushButton#operBt[checking=\"false\"]{border:0px;border-image:url(%1cs_open_n.png);}"
               "QPushButton#operBt[checking=\"false\"]:hover{border-image:url(%1cs_open_p.png);}"
               "QPushButton#operBt[checking=\"false\"]:pressed{border-image:url(%1cs_open_p.png);}"
               "QPushButton#operBt[checking=\"true\"]{border:0px;border-image:url(%1cs_runing.png);}")
        .arg(img);
}

void MatrixTreeItem::repolish(QWidget* w)
{
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

void MatrixTreeItem::setOperButton(const QString& styleSheet, const QString& tooltip)
{
    ui->operBt->setStyleSheet(styleSheet);
    ui->operBt->setToolTip(tooltip);
}

void MatrixTreeItem::setBackgroundState(int state)
{
    if (state < 0 || state > 2 || state == bgState)
        return;
    bgState = state;
    setProperty(BgStateProperty, state);
    repolish(this);
    repolish(ui->itemName);
}

void MatrixTreeItem::setOperEnabled(bool enabled)
{
    operEnabled = enabled;
    if (!enabled)
        showOperButton(false);
}

void MatrixTreeItem::setDraggable(bool enable)
{
    draggable = enable;
}

void MatrixTreeItem::setHideOperOnLeave(bool hide)
{
    hideOperOnLeave = hide;
}

void MatrixTreeItem::showOperButton(bool show)
{
    ui->operBt->setVisible(show);
    ui->itemLayout->setContentsMargins(0, 0, show ? 10 : 26, 0);
}

bool MatrixTreeItem::isOperButtonShown() const
{
    return !ui->operBt->isHidden();
}

QString MatrixTreeItem::text() const
{
    return ui->itemName->text();
}

void MatrixTreeItem::setText(const QString& text)
{
    ui->itemName->setText(text);
}

void MatrixTreeItem::setMapped(bool mapped)
{
    if (this->mapped == mapped)
        return;
    this->mapped = mapped;
    ui->iconLabel->setPixmap(icon(mapped ? MappedIcon : iconPath));
}

void MatrixTreeItem::setCount(int count)
{
    ui->matrix_cnt->setText(QString::number(count));
}

void MatrixTreeItem::slotOperBtnClicked()
{
    emit signalOperClicked(this);
}

void MatrixTreeItem::mousePressEvent(QMouseEvent* event)
{
    pressPos = event->localPos();
    // Left unaccepted so that the tree under the row selects it and reports the press.
    PCOMMON::PWidget::mousePressEvent(event);
}

void MatrixTreeItem::mouseMoveEvent(QMouseEvent* event)
{
    if (!draggable) {
        PCOMMON::PWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF delta = event->localPos() - pressPos;
    if (qAbs(delta.x()) <= 10 && qAbs(delta.y()) <= 10) {
        PCOMMON::PWidget::mouseMoveEvent(event);
        return;
    }
    if (event->buttons() & Qt::RightButton)
        return;

    setBackgroundState(2);
    const QPixmap picture = grab();
    setBackgroundState(0);

    auto* mime = new QMimeData;
    mime->setData(mimeFormat(), QStringLiteral("%1~%2").arg(type).arg(id).toLocal8Bit());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(picture);
    execDrag(drag);
}

void MatrixTreeItem::execDrag(QDrag* drag)
{
    drag->exec(Qt::MoveAction);
    drag->deleteLater();
}

void MatrixTreeItem::enterEvent(QEvent* event)
{
    if (operEnabled)
        showOperButton(true);
    PCOMMON::PWidget::enterEvent(event);
}

void MatrixTreeItem::leaveEvent(QEvent* event)
{
    if (hideOperOnLeave)
        showOperButton(false);
    PCOMMON::PWidget::leaveEvent(event);
}

} // namespace pral_matrixConfig
