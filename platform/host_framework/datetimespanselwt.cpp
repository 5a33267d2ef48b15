#include "datetimespanselwt.h"

#include <QCalendarWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace PCOMMON {

namespace {
constexpr qint64 SecsPerDay = 24 * 60 * 60;

QCalendarWidget* makeCalendar(const QString& name, QWidget* parent)
{
    auto* calendar = new QCalendarWidget(parent);
    calendar->setObjectName(name);
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setGridVisible(false);
    return calendar;
}

QTimeEdit* makeTimeEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QTimeEdit(parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    edit->setFixedHeight(26);
    return edit;
}
} // namespace

DatetimeSpanSelWt::DatetimeSpanSelWt(QWidget* parent, bool popup)
    : QWidget(parent, popup ? Qt::Popup | Qt::FramelessWindowHint : Qt::WindowFlags())
{
    setObjectName(QStringLiteral("DatetimeSpanSelWt"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(
        "QWidget#DatetimeSpanSelWt{background:#172335;border:1px solid #2a3a55;}"
        "QLabel{color:#ebf3fa;background:transparent;}"
        "QLabel#noteLabel{color:#f35424;}"
        "QCalendarWidget QWidget#qt_calendar_navigationbar{background:#0e1624;}"
        "QCalendarWidget QToolButton{color:#ebf3fa;background:transparent;border:none;padding:2px 6px;}"
        "QCalendarWidget QToolButton:hover{background:#266baf;}"
        "QCalendarWidget QAbstractItemView{background:#0b121e;color:#ebf3fa;"
        "selection-background-color:#266baf;selection-color:#ffffff;outline:0px;}"
        "QCalendarWidget QAbstractItemView:disabled{color:#5a6478;}"
        "QTimeEdit{color:#ebf3fa;background:#0b121e;border:1px solid #2a3a55;padding:0px 4px;}"));

    startCalendar = makeCalendar(QStringLiteral("startCalendar"), this);
    endCalendar = makeCalendar(QStringLiteral("endCalendar"), this);
    startTimeEdit = makeTimeEdit(QStringLiteral("startTimeEdit"), this);
    endTimeEdit = makeTimeEdit(QStringLiteral("endTimeEdit"), this);
    auto* startLabel = new QLabel(tr("Start time"), this);
    auto* endLabel = new QLabel(tr("End time"), this);
    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setWordWrap(true);
    noteLabel->hide();

    auto* okBtn = new QPushButton(tr("OK"), this);
    okBtn->setObjectName(QStringLiteral("okBtn"));
    okBtn->setProperty("common_bt_style1", true);
    okBtn->setFixedSize(80, 28);
    auto* cancelBtn = new QPushButton(tr("Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setProperty("common_bt_style2", true);
    cancelBtn->setFixedSize(80, 28);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    grid->addWidget(startLabel, 0, 0);
    grid->addWidget(endLabel, 0, 1);
    grid->addWidget(startCalendar, 1, 0);
    grid->addWidget(endCalendar, 1, 1);
    grid->addWidget(startTimeEdit, 2, 0);
    grid->addWidget(endTimeEdit, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(noteLabel, 1);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    const auto clearNote = [this] {
        noteLabel->hide();
        noteLabel->clear();
    };
    connect(startCalendar, &QCalendarWidget::selectionChanged, this, clearNote);
    connect(endCalendar, &QCalendarWidget::selectionChanged, this, clearNote);
    connect(startTimeEdit, &QTimeEdit::timeChanged, this, clearNote);
    connect(endTimeEdit, &QTimeEdit::timeChanged, this, clearNote);
    connect(okBtn, &QPushButton::clicked, this, &DatetimeSpanSelWt::onOk);
    connect(cancelBtn, &QPushButton::clicked, this, [this] {
        if (isWindow())
            hide();
    });

    const QDate today = QDate::currentDate();
    setDateTimeSpace(QDateTime(today, QTime(0, 0)), QDateTime(today, QTime(23, 59, 59)));
}

DatetimeSpanSelWt::~DatetimeSpanSelWt() = default;

void DatetimeSpanSelWt::setMaxSpanSecs(qint64 secs)
{
    maxSecs = secs;
}

void DatetimeSpanSelWt::setDateTimeSpace(const QDateTime& start, const QDateTime& end)
{
    startCalendar->setSelectedDate(start.date());
    startTimeEdit->setTime(start.time());
    endCalendar->setSelectedDate(end.date());
    endTimeEdit->setTime(end.time());
    noteLabel->hide();
    noteLabel->clear();
}

QDateTime DatetimeSpanSelWt::startDateTime() const
{
    return QDateTime(startCalendar->selectedDate(), startTimeEdit->time());
}

QDateTime DatetimeSpanSelWt::endDateTime() const
{
    return QDateTime(endCalendar->selectedDate(), endTimeEdit->time());
}

QString DatetimeSpanSelWt::noteText() const
{
    return noteLabel->text();
}

void DatetimeSpanSelWt::onOk()
{
    const QDateTime start = startDateTime();
    const QDateTime end = endDateTime();
    QString refusal;
    if (end < start) {
        refusal = tr("The end time cannot be earlier than the start time!");
    } else if (maxSecs > 0 && start.secsTo(end) > maxSecs) {
        refusal = maxSecs % SecsPerDay == 0
                      ? tr("The time span cannot exceed %1 days!").arg(maxSecs / SecsPerDay)
                      : tr("The time span cannot exceed %1 seconds!").arg(maxSecs);
    }
    if (!refusal.isEmpty()) {
        noteLabel->setText(refusal);
        noteLabel->show();
        return;
    }
    if (isWindow())
        hide();
    emit signalDatetimeSpanSelChanged(start, end);
}

} // namespace PCOMMON
