#include "screenwt.h"
#include "ui_screenwt.h"

#include "matrixconfigsignals.h"
#include "matrixsdkworker.h"
#include "matrixtreeitem.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace pral_matrixConfig {

ScreenWt::ScreenWt(QWidget* parent, int screenWtId)
    : PCOMMON::PWidget(parent)
    , ui(new Ui::ScreenWt)
    , wtId(screenWtId)
{
    ui->setupUi(this);
    setBackgroundColor(QColor(QStringLiteral("#060a11")));
    setAcceptDrops(true);
    ui->titlelabel->setText(tr("unbanded"));
    connect(&PSingleton<MatrixConfigSignals>::_instance(), SIGNAL(signalDeleteMatrix(QString)), this,
            SLOT(slotDeleteMatrix(QString)));
}

ScreenWt::~ScreenWt()
{
    delete ui;
}

void ScreenWt::announceMapping(const QString& outputKey, bool mapped)
{
    emit PSingleton<pral_matrix::MatrixSdkWorker>::_instance().signalScreenMapping(outputKey, mapped);
}

void ScreenWt::setBinding(const QString& matrixKey, const QString& outputKey, int outputId, int outputNo)
{
    if (matrixKey.isEmpty()) {
        ui->titlelabel->setText(tr("unbanded"));
        announceMapping(this->outputKey, false);
        this->matrixKey = matrixKey;
        this->outputKey = outputKey;
        this->outputId = outputId;
        this->outputNo = outputNo;
        return;
    }
    this->matrixKey = matrixKey;
    this->outputKey = outputKey;
    this->outputId = outputId;
    this->outputNo = outputNo;
    showLabel();
    if (outputNo < 0)
        announceMapping(outputKey, true);
}

void ScreenWt::showLabel()
{
    if (outputNo >= 0)
        ui->titlelabel->setText(tr("%1-%2").arg(row).arg(column) + QStringLiteral(": ") + outputKey);
    else
        ui->titlelabel->setText(tr("%1-%2 :").arg(row).arg(column));
}

void ScreenWt::binding(QString* matrixKey, QString* outputKey, int* outputId, int* outputNo) const
{
    if (matrixKey)
        *matrixKey = this->matrixKey;
    if (outputKey)
        *outputKey = this->outputKey;
    if (outputId)
        *outputId = this->outputId;
    if (outputNo)
        *outputNo = this->outputNo;
}

void ScreenWt::setPosition(int row, int column)
{
    this->row = row;
    this->column = column;
    if (!matrixKey.isEmpty())
        showLabel();
}

void ScreenWt::reset(int screenWtId)
{
    wtId = screenWtId;
    matrixKey.clear();
    outputKey.clear();
    outputId = -1;
    outputNo = -1;
    row = 0;
    column = 0;
    ui->titlelabel->setText(tr("unbanded"));
}

QString ScreenWt::labelText() const
{
    return ui->titlelabel->text();
}

QString ScreenWt::positionText() const
{
    return tr("%1-%2").arg(row).arg(column);
}

void ScreenWt::slotDeleteMatrix(QString matrixKey)
{
    if (matrixKey.isEmpty() || this->matrixKey != matrixKey)
        return;
    this->matrixKey.clear();
    ui->titlelabel->setText(tr("unbanded"));
    announceMapping(outputKey, false);
}

void ScreenWt::mouseReleaseEvent(QMouseEvent* event)
{
    emit signalScreenWtClicked(wtId);
    PCOMMON::PWidget::mouseReleaseEvent(event);
}

void ScreenWt::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(MatrixTreeItem::mimeFormat()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ScreenWt::dropEvent(QDropEvent* event)
{
    const QString data = QString::fromLocal8Bit(event->mimeData()->data(MatrixTreeItem::mimeFormat()));
    const QStringList parts = data.split(QLatin1Char('~'), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return;
    event->acceptProposedAction();
    emit signaldropEvent(wtId, parts.at(1), parts.at(0).toInt());
}

} // namespace pral_matrixConfig
