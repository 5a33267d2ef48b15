#include "seldirlineet.h"

#include <QFile>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>

namespace PCOMMON {

namespace {
const QString FolderIcon = QStringLiteral(":/images/images/folder.png");
constexpr int ButtonMargin = 4;
// folder.png's own size (and half of its @2x file's): drawn any larger, it would be scaled up.
constexpr int IconSide = 16;
} // namespace

SelDirLineEt::SelDirLineEt(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    browseBtn = new QToolButton(this);
    browseBtn->setObjectName(QStringLiteral("browseBtn"));
    browseBtn->setCursor(Qt::PointingHandCursor);
    browseBtn->setFocusPolicy(Qt::NoFocus);
    browseBtn->setToolTip(tr("Browse"));
    browseBtn->setStyleSheet(QStringLiteral("QToolButton{border:none;background:transparent;color:#ebf3fa;}"
                                            "QToolButton:hover{background:#266baf;border-radius:2px;}"));
    if (QFile::exists(FolderIcon))
        browseBtn->setIcon(QIcon(FolderIcon));
    else
        browseBtn->setText(QStringLiteral("..."));
    connect(browseBtn, &QToolButton::clicked, this, &SelDirLineEt::signalClicked);
}

SelDirLineEt::~SelDirLineEt() = default;

void SelDirLineEt::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled())
        emit signalClicked();
}

void SelDirLineEt::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    const int side = qMax(16, height() - 2 * ButtonMargin);
    browseBtn->setGeometry(width() - side - ButtonMargin, (height() - side) / 2, side, side);
    const int icon = qMin(side - 6, IconSide);
    browseBtn->setIconSize(QSize(icon, icon));
    // The text must stop before the button.
    setTextMargins(0, 0, side + ButtonMargin, 0);
}

} // namespace PCOMMON
