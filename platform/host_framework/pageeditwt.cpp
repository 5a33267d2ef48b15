#include "pageeditwt.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace PCOMMON {

namespace {
QPushButton* makeButton(const QString& name, const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(28, 24);
    return button;
}
} // namespace

PageEditWt::PageEditWt(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(
        "QLabel{color:#ebf3fa;background:transparent;}"
        "QPushButton{color:#ebf3fa;background:#172335;border:1px solid #2a3a55;border-radius:2px;}"
        "QPushButton:hover{background:#266baf;}"
        "QPushButton:pressed{background:#858fa2;}"
        "QPushButton:disabled{color:#5a6478;background:#141f30;}"
        "QLineEdit{color:#ebf3fa;background:#0b121e;border:1px solid #2a3a55;border-radius:2px;}"));

    sizeCombo = new QComboBox(this);
    sizeCombo->setObjectName(QStringLiteral("pageSizeCombo"));
    sizeCombo->setFixedHeight(24);
    auto* perPage = new QLabel(tr("per page"), this);
    totalLabel = new QLabel(this);
    totalLabel->setObjectName(QStringLiteral("totalLabel"));
    firstBtn = makeButton(QStringLiteral("firstBtn"), QStringLiteral("|<"), tr("First page"), this);
    prevBtn = makeButton(QStringLiteral("prevBtn"), QStringLiteral("<"), tr("Previous page"), this);
    pageLabel = new QLabel(this);
    pageLabel->setObjectName(QStringLiteral("pageLabel"));
    pageLabel->setAlignment(Qt::AlignCenter);
    pageLabel->setMinimumWidth(48);
    nextBtn = makeButton(QStringLiteral("nextBtn"), QStringLiteral(">"), tr("Next page"), this);
    lastBtn = makeButton(QStringLiteral("lastBtn"), QStringLiteral(">|"), tr("Last page"), this);
    pageEdit = new QLineEdit(this);
    pageEdit->setObjectName(QStringLiteral("pageEdit"));
    pageEdit->setFixedSize(48, 24);
    pageEdit->setAlignment(Qt::AlignCenter);
    pageEdit->setValidator(new QIntValidator(1, 999999, pageEdit));
    goBtn = makeButton(QStringLiteral("goBtn"), tr("Go"), tr("Go to page"), this);
    goBtn->setFixedWidth(40);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->setSpacing(6);
    layout->addWidget(totalLabel);
    layout->addStretch(1);
    layout->addWidget(sizeCombo);
    layout->addWidget(perPage);
    layout->addSpacing(12);
    layout->addWidget(firstBtn);
    layout->addWidget(prevBtn);
    layout->addWidget(pageLabel);
    layout->addWidget(nextBtn);
    layout->addWidget(lastBtn);
    layout->addSpacing(12);
    layout->addWidget(pageEdit);
    layout->addWidget(goBtn);

    setPageSizes({10, 20, 50, 100});

    connect(sizeCombo, qOverload<int>(&QComboBox::activated), this, &PageEditWt::onPageSizeActivated);
    connect(firstBtn, &QPushButton::clicked, this, &PageEditWt::firstPage);
    connect(prevBtn, &QPushButton::clicked, this, &PageEditWt::prevPage);
    connect(nextBtn, &QPushButton::clicked, this, &PageEditWt::nextPage);
    connect(lastBtn, &QPushButton::clicked, this, &PageEditWt::lastPage);
    connect(goBtn, &QPushButton::clicked, this, [this] {
        if (!pageEdit->text().isEmpty())
            gotoPage(pageEdit->text().toInt());
    });
    connect(pageEdit, &QLineEdit::returnPressed, goBtn, &QPushButton::click);
    refresh();
}

PageEditWt::~PageEditWt() = default;

void PageEditWt::updateTotalCnt(int newTotal)
{
    total = qMax(0, newTotal);
    refresh();
}

int PageEditWt::pageCount() const
{
    return qMax(1, (total + pageSize - 1) / pageSize);
}

void PageEditWt::setPageSizes(const QList<int>& sizes)
{
    QList<int> usable;
    for (int size : sizes) {
        if (size >= 1 && !usable.contains(size))
            usable.append(size);
    }
    if (usable.isEmpty())
        return;
    std::sort(usable.begin(), usable.end());
    sizeCombo->clear();
    for (int size : qAsConst(usable))
        sizeCombo->addItem(QString::number(size), size);
    setPageSize(pageSize);
}

QList<int> PageEditWt::pageSizes() const
{
    QList<int> sizes;
    for (int i = 0; i < sizeCombo->count(); ++i)
        sizes.append(sizeCombo->itemData(i).toInt());
    return sizes;
}

void PageEditWt::setPageSize(int size)
{
    if (size < 1)
        return;
    int index = sizeCombo->findData(size);
    if (index < 0) {
        index = 0;
        while (index < sizeCombo->count() && sizeCombo->itemData(index).toInt() < size)
            ++index;
        sizeCombo->insertItem(index, QString::number(size), size);
    }
    sizeCombo->setCurrentIndex(index);
    if (size == pageSize)
        return;
    pageSize = size;
    curPage = 1;
    refresh();
    emit signalPageSizeChanged(pageSize);
}

void PageEditWt::onPageSizeActivated(int index)
{
    setPageSize(sizeCombo->itemData(index).toInt());
}

void PageEditWt::gotoPage(int page)
{
    curPage = qBound(1, page, pageCount());
    refresh();
    emit signalGotoPage(curPage, pageSize);
}

void PageEditWt::navigate(int page)
{
    // The arrows do nothing at the ends; only "go" asks for the same page again.
    const int target = qBound(1, page, pageCount());
    if (target != curPage)
        gotoPage(target);
}

void PageEditWt::firstPage()
{
    navigate(1);
}

void PageEditWt::prevPage()
{
    navigate(qMin(curPage, pageCount()) - 1);
}

void PageEditWt::nextPage()
{
    navigate(curPage + 1);
}

void PageEditWt::lastPage()
{
    navigate(pageCount());
}

void PageEditWt::refresh()
{
    const int count = pageCount();
    pageLabel->setText(QStringLiteral("%1/%2").arg(curPage).arg(count));
    totalLabel->setText(tr("Total %1").arg(total));
    firstBtn->setEnabled(curPage != 1);
    prevBtn->setEnabled(curPage > 1);
    nextBtn->setEnabled(curPage < count);
    lastBtn->setEnabled(curPage != count);
}

} // namespace PCOMMON
