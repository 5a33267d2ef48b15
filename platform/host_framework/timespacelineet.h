#pragma once

#include "host_framework_global.h"

#include <QDateTime>
#include <QLineEdit>

namespace PCOMMON {

/**
 * @brief Read-only field that shows a date-time span ("yyyy-MM-dd hh:mm:ss -
 * yyyy-MM-dd hh:mm:ss") and reports clicks, so that its owner can open a
 * span chooser.
 */
class HOST_FRAMEWORK_EXPORT TimeSpaceLineEt : public QLineEdit
{
    Q_OBJECT

public:
    static inline const QString DisplayFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

    explicit TimeSpaceLineEt(QWidget* parent = nullptr);
    ~TimeSpaceLineEt() override;

    void setDateTimeSpace(const QDateTime& start, const QDateTime& end);
    void getDateTimeSpace(QDateTime& start, QDateTime& end) const;
    QDateTime getStartTime() const { return startTime; }
    QDateTime getEndTime() const { return endTime; }

signals:
    void signalClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QDateTime startTime;
    QDateTime endTime;
};

} // namespace PCOMMON
