#include "pmessagebox.h"

#include "globalstyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace PCOMMON {

namespace {
constexpr int TitleHeight = 36;

QRect centringArea(QWidget* parent)
{
    QWidget* reference = parent ? parent->window() : QApplication::activeWindow();
    if (reference && reference->isVisible())
        return reference->frameGeometry();
    QScreen* screen = reference ? reference->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

PMessageBox::PMessageBox(QWidget* parent, const QString& title, const QString& text, short buttons,
                         bool richText)
    : MoveableDialog(parent)
{
    setObjectName(QStringLiteral("PMessageBox"));
    setWindowTitle(title);
    setTitleHeight(TitleHeight);
    setBackgroundColor(QColor(0x17, 0x23, 0x35));
    setMinimumWidth(380);
    setStyleSheet(commonPropertyStyleSheet() +
                  QStringLiteral("QWidget#titleBar{background:#0e1624;}"
                                 "QLabel#textLabel{color:#ebf3fa;font-size:14px;}"));

    auto* titleBar = new QWidget(this);
    titleBar->setObjectName(QStringLiteral("titleBar"));
    titleBar->setAttribute(Qt::WA_StyledBackground);
    titleBar->setFixedHeight(TitleHeight);
    auto* titleLabel = new QLabel(title, titleBar);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setProperty("common_label_style1", true);
    auto* closeBtn = new QPushButton(titleBar);
    closeBtn->setObjectName(QStringLiteral("closeBtn"));
    closeBtn->setProperty("common_close_bt_style1", true);
    closeBtn->setFixedSize(14, 14);
    closeBtn->setFocusPolicy(Qt::NoFocus);
    closeBtn->setToolTip(tr("Close"));
    auto* titleLayout = new QHBoxLayout(titleBar);
    titleLayout->setContentsMargins(16, 0, 12, 0);
    titleLayout->addWidget(titleLabel);
    titleLayout->addStretch(1);
    titleLayout->addWidget(closeBtn);

    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("textLabel"));
    textLabel->setTextFormat(richText ? Qt::RichText : Qt::PlainText);
    textLabel->setWordWrap(true);
    textLabel->setAlignment(Qt::AlignCenter);
    textLabel->setText(text);
    // A window does not ask a word-wrapped label for its height at the window's width: the box reserves
    // the height that the text needs at the width it gets, so that a long text is not cut off.
    textLabel->ensurePolished();
    constexpr int MinTextWidth = 330;
    constexpr int MaxTextWidth = 460;
    constexpr int TextMargin = 24;
    const int textWidth = qBound(MinTextWidth, textLabel->sizeHint().width(), MaxTextWidth);
    textLabel->setMinimumSize(textWidth, qMax(60, textLabel->heightForWidth(textWidth)));
    setMinimumWidth(qMax(minimumWidth(), textWidth + 2 * TextMargin + 2));

    auto* okBtn = new QPushButton(tr("OK"), this);
    okBtn->setObjectName(QStringLiteral("okBtn"));
    okBtn->setProperty("common_bt_style1", true);
    okBtn->setFixedSize(88, 30);
    okBtn->setDefault(true);
    auto* buttonLayout = new QHBoxLayout;
    buttonLayout->setSpacing(16);
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(okBtn);
    if (buttons & Cancel) {
        auto* cancelBtn = new QPushButton(tr("Cancel"), this);
        cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
        cancelBtn->setProperty("common_bt_style2", true);
        cancelBtn->setFixedSize(88, 30);
        buttonLayout->addWidget(cancelBtn);
        connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    }
    buttonLayout->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 20);
    layout->setSpacing(0);
    layout->addWidget(titleBar);
    layout->addSpacing(16);
    auto* textLayout = new QHBoxLayout;
    textLayout->setContentsMargins(TextMargin, 0, TextMargin, 0);
    textLayout->addWidget(textLabel);
    layout->addLayout(textLayout, 1);
    layout->addSpacing(20);
    layout->addLayout(buttonLayout);

    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);
}

PMessageBox::~PMessageBox() = default;

QString PMessageBox::text() const
{
    return textLabel->text();
}

int PMessageBox::information(QWidget* parent, const QString& text, short buttons, bool richText)
{
    return run(parent, tr("Tips"), text, buttons, richText);
}

int PMessageBox::question(QWidget* parent, const QString& text, short buttons, bool richText)
{
    return run(parent, tr("Confirm"), text, buttons, richText);
}

int PMessageBox::run(QWidget* parent, const QString& title, const QString& text, short buttons, bool richText)
{
    PMessageBox box(parent, title, text, buttons, richText);
    return box.exec() == QDialog::Accepted ? 1 : 0;
}

void PMessageBox::showEvent(QShowEvent* event)
{
    MoveableDialog::showEvent(event);
    adjustSize();
    const QRect area = centringArea(parentWidget());
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void PMessageBox::paintEvent(QPaintEvent* event)
{
    MoveableDialog::paintEvent(event);
    // A dark box over a dark window needs an edge to be seen.
    QPainter painter(this);
    painter.setPen(QColor(0x2a, 0x3a, 0x55));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace PCOMMON
