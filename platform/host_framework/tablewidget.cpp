#include "tablewidget.h"

#include <QHeaderView>

namespace PCOMMON {

TableWidget::TableWidget(QWidget* parent)
    : PTableWidget(parent)
{
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    setStyleSheet(defaultStyleSheet());
}

TableWidget::~TableWidget() = default;

QString TableWidget::defaultStyleSheet()
{
    return QStringLiteral("QTableView{background:#141f30;color:#ebf3fa;border:none;outline:0px;"
                          "selection-background-color:#266baf;selection-color:#ffffff;font-size:13px;}"
                          "QTableView::item{border-bottom:1px solid #0f1526;}"
                          "QTableView::item:hover{background:#1c2a40;}"
                          "QTableView::item:selected{background:#266baf;color:#ffffff;}"
                          "QHeaderView{background:#141f30;border:none;}"
                          "QHeaderView::section{background:#141f30;color:#6c7586;border:none;"
                          "border-left:1px solid #0f1526;height:30px;font-size:13px;}");
}

} // namespace PCOMMON
