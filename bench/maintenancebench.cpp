// The log viewer with a decoder's worth of lines: a result of 100,000 lines
// until its first page is drawn, going to another page, and writing the lines
// out as text. The lines arrive the way a decoder's answer does: emitted on the
// service thread to the dialog's blocking-queued slot. The table holds one page,
// so the baseline is a plain QTableWidget filled with that one page.

#include "benchutil.h"
#include "getlogsdlg.h"
#include "matrixsdkworker.h"
#include "pageeditwt.h"
#include "servicethread.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <atomic>

using namespace pral_matrix;
using pral_matrixConfig::GetLogsDlg;

namespace bench {
namespace {

constexpr int Lines = 100000;
constexpr int Runs = 9;

QStringList logLines()
{
    static const QStringList events{"User admin logged in",     "TV wall layout changed",
                                    "Screen colour changed",    "Window opened",
                                    "Firmware upgrade started", "User admin logged out"};
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
    QStringList lines;
    lines.reserve(Lines);
    for (int i = 0; i < Lines; ++i)
        lines << QStringLiteral("%1 [operation] 192.0.2.10 %2")
                     .arg(start.addSecs(qint64(i) * 61).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                          events.at(i % events.size()));
    return lines;
}

/** Time on the service thread from emitting the result until the dialog's slot returned. */
double deliverMs(const QStringList& lines)
{
    std::atomic<qint64> nanos{0};
    if (!runOnServiceThread([&] {
            QElapsedTimer timer;
            timer.start();
            emit PSingleton<MatrixSdkWorker>::_instance().signalGetLogsResult(lines);
            nanos = timer.nsecsElapsed();
        }))
        qFatal("the service thread did not deliver the log result");
    return double(nanos.load()) / 1e6;
}

double repaintMs(QWidget* widget)
{
    QElapsedTimer timer;
    timer.start();
    widget->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

void fillPlainPage(QTableWidget* table, const QStringList& lines, int first, int rows)
{
    table->clear();
    table->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
        table->setItem(r, 1, new QTableWidgetItem(lines.at(first + r)));
    }
}

void benchFirstPage(const QStringList& lines, int pageSize)
{
    GetLogsDlg dialog;
    auto* pager = dialog.findChild<PCOMMON::PageEditWt*>(QStringLiteral("widget_2"));
    pager->setPageSize(pageSize);
    dialog.show();
    QCoreApplication::processEvents();
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    std::vector<double> ours;
    for (int i = 0; i <= Runs; ++i) {
        const double ms = deliverMs(lines) + repaintMs(table->viewport());
        if (i > 0)
            ours.push_back(ms);
    }
    if (dialog.heldLines().size() != Lines || !table->item(pageSize - 1, 1))
        qFatal("the dialog did not show the first page of the result");

    QTableWidget plain;
    plain.setColumnCount(2);
    plain.horizontalHeader()->setStretchLastSection(true);
    plain.resize(table->size());
    plain.show();
    QCoreApplication::processEvents();
    const double baseline = medianMs(Runs, [&] {
        fillPlainPage(&plain, lines, 0, pageSize);
        plain.viewport()->repaint();
    });
    report(QStringLiteral("log result of 100,000 lines to its first page (%1 per page)").arg(pageSize),
           median(ours), QStringLiteral("ms"), baseline,
           QStringLiteral("<= 100 ms (baseline: plain QTableWidget filled with the page)"));

    // Pages all over the result, each drawn.
    int page = 1;
    const int pages = pager->pageCount();
    const double paging = medianMs(Runs * 5, [&] {
        page = (page * 7919) % pages + 1;
        pager->gotoPage(page);
        table->viewport()->repaint();
    });
    if (table->item(0, 1)->text() != lines.at((page - 1) * pageSize))
        qFatal("the dialog did not show the page it went to");
    int plainPage = 1;
    const double plainPaging = medianMs(Runs * 5, [&] {
        plainPage = (plainPage * 7919) % pages + 1;
        fillPlainPage(&plain, lines, (plainPage - 1) * pageSize, pageSize);
        plain.viewport()->repaint();
    });
    report(QStringLiteral("going to another page of 100,000 lines (%1 per page)").arg(pageSize), paging,
           QStringLiteral("ms"), plainPaging,
           QStringLiteral("<= 16 ms (baseline: plain QTableWidget page refill)"));
}

void benchTextExport(const QStringList& lines)
{
    QTemporaryDir dir;
    GetLogsDlg dialog;
    deliverMs(lines);
    const QString path = dir.filePath(QStringLiteral("ours.txt"));
    const double ours = medianMs(Runs, [&] {
        if (!dialog.writeLogText(path))
            qFatal("the log text could not be written");
    });
    const QString plainPath = dir.filePath(QStringLiteral("plain.txt"));
    const double plain = medianMs(Runs, [&] {
        QFile file(plainPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("the baseline file could not be written");
        QTextStream out(&file);
        out.setCodec("UTF-8");
        for (int i = 0; i < lines.size(); ++i)
            out << i << "------" << lines.at(i) << '\n';
    });
    if (QFileInfo(path).size() != QFileInfo(plainPath).size())
        qFatal("the exported text differs from the baseline's");
    report(QStringLiteral("text export of 100,000 log lines"), ours, QStringLiteral("ms"), plain,
           QStringLiteral("<= 300 ms (baseline: QTextStream writing the same text)"));
}

} // namespace

void runMaintenanceBench()
{
    const QStringList lines = logLines();
    benchFirstPage(lines, 10);
    benchFirstPage(lines, 100);
    benchTextExport(lines);
}

} // namespace bench
