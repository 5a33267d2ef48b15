#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"

#include <QDateTime>
#include <QStringList>
#include <QUuid>

namespace PCOMMON {
class DatetimeSpanSelWt;
}

namespace pral_matrixConfig {

namespace Ui {
class GetLogsDlg;
}

/**
 * @brief Reads a decoder's logs of a type and time span, pages through them
 * and saves them as text, or saves the decoder's whole log package.
 *
 * It knows no decoder: each request leaves as sig_onSearchLogsMessage, which
 * its opener turns into a service request for its decoder; the lines come
 * back straight from the service (signalGetLogsResult, blocking queued). The
 * table holds one page of the held lines, never all of them.
 */
class MATRIX_CONFIG_EXPORT GetLogsDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** Item data role of the log-type entries: the entry's value. */
    static constexpr int LogValueRole = Qt::UserRole + 1;
    /** Longest span the chooser accepts: 93 days. */
    static constexpr qint64 MaxSpanSecs = 8035200;

    explicit GetLogsDlg(QWidget* parent = nullptr);
    ~GetLogsDlg() override;

    /** The lines of the last non-empty result. */
    const QStringList& heldLines() const { return logLines; }
    /**
     * Writes the held lines to path as "<index>------<line>\n" in UTF-8, counting from 0; false when the
     * file cannot be written.
     */
    bool writeLogText(const QString& path) const;

signals:
    /** code: the service's log type (0 system, 1 warning, 2 operation, -1 the package); path: "" for a query.
     */
    void sig_onSearchLogsMessage(QDateTime beginTime, QDateTime endTime, int code, QString filePath);

public slots:
    void slotTimeSpaceLineEtClicked();
    void slotDateTimeSelectedChanged(QDateTime startDateTime, QDateTime endDateTime);
    void slot_onClickedSearchBtn();
    void slot_onGetLogsResult(QStringList logs);
    void slot_onExportLogs();
    void slot_onPageSizeChanged(int pageSize);
    void slot_onLastMonthBtn();

private:
    int currentValue() const;
    void updateSpanControls();
    void query(const QDateTime& start, const QDateTime& end);
    void showPage(int page, int pageSize, bool indent);

    Ui::GetLogsDlg* ui;
    PCOMMON::DatetimeSpanSelWt* spanSel;
    QStringList logLines;
    QUuid waitingUuid;
};

} // namespace pral_matrixConfig
