#include "timespacelineet.h"

#include <QAction>
#include <QFile>
#include <QMouseEvent>

namespace PCOMMON {

namespace {
const QString CalendarIcon = QStringLiteral(":/images/images/calendar.png");
}

TimeSpaceLineEt::TimeSpaceLineEt(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setCursor(Qt::PointingHandCursor);
    setContextMenuPolicy(Qt::NoContextMenu);
    if (QFile::exists(CalendarIcon)) {
        QAction* icon = addAction(QIcon(CalendarIcon), QLineEdit::TrailingPosition);
        connect(icon, &QAction::triggered, this, &TimeSpaceLineEt::signalClicked);
    }
}

TimeSpaceLineEt::~TimeSpaceLineEt() = default;

void TimeSpaceLineEt::setDateTimeSpace(const QDateTime& start, const QDateTime& end)
{
    startTime = start;
    endTime = end;
    setText(QStringLiteral("%1 - %2").arg(start.toString(DisplayFormat), end.toString(DisplayFormat)));
    setCursorPosition(0);
}

void TimeSpaceLineEt::getDateTimeSpace(QDateTime& start, QDateTime& end) const
{
    start = startTime;
    end = endTime;
}

void TimeSpaceLineEt::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled())
        emit signalClicked();
}

} // namespace PCOMMON
