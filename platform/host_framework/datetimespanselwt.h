#pragma once

#include "host_framework_global.h"

#include <QDateTime>
#include <QWidget>

class QCalendarWidget;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace PCOMMON {

/**
 * @brief Chooser of a date-time span: a calendar and a time for the start and
 * for the end, with a limit on the length of the span.
 *
 * Children: startCalendar, startTimeEdit, endCalendar, endTimeEdit, noteLabel,
 * okBtn, cancelBtn.
 */
class HOST_FRAMEWORK_EXPORT DatetimeSpanSelWt : public QWidget
{
    Q_OBJECT

public:
    /**
     * @param popup true makes it a pop-up window (placed by the owner in screen coordinates,
     * closed by a click outside); false makes it an ordinary child widget.
     */
    explicit DatetimeSpanSelWt(QWidget* parent = nullptr, bool popup = true);
    ~DatetimeSpanSelWt() override;

    /** The longest span that OK accepts; 0 or less: no limit. */
    void setMaxSpanSecs(qint64 secs);
    qint64 maxSpanSecs() const { return maxSecs; }

    /** Shows the span in the calendars and time edits. */
    void setDateTimeSpace(const QDateTime& start, const QDateTime& end);
    QDateTime startDateTime() const;
    QDateTime endDateTime() const;
    /** The refusal shown under the calendars, empty when none. */
    QString noteText() const;

signals:
    /** OK with an acceptable span. */
    void signalDatetimeSpanSelChanged(const QDateTime& start, const QDateTime& end);

private:
    void onOk();

    QCalendarWidget* startCalendar = nullptr;
    QTimeEdit* startTimeEdit = nullptr;
    QCalendarWidget* endCalendar = nullptr;
    QTimeEdit* endTimeEdit = nullptr;
    QLabel* noteLabel = nullptr;
    qint64 maxSecs = 0;
};

} // namespace PCOMMON
