#include "screenlayoutwt.h"

#include "customaction.h"
#include "matrixsdkworker.h"
#include "pmenu.h"
#include "pmessagebox.h"
#include "screenwt.h"
#include "systemmsg.h"

#include <QCursor>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>

namespace pral_matrixConfig {

namespace {
const int MaxGridSize = 10;
} // namespace

ScreenLayoutWt::ScreenLayoutWt(QWidget* parent)
    : PCOMMON::PWidget(parent)
    , contextMenu(new PCOMMON::PMenu(this))
    , backgroundColor(QStringLiteral("#0e1623"))
{
    setWindowTitle(tr("setlayout"));
    const QString img = QStringLiteral(":/matrixConfig_images/images/");
    unbindAction = new PCOMMON::CustomAction(contextMenu, tr("unbind"), img + "off_n.png", img + "off_p.png",
                                             img + "off_p.png");
    cancelAllAction = new PCOMMON::CustomAction(contextMenu, tr("Cancel all mappings"), img + "off_all_n.png",
                                                img + "off_all_p.png", img + "off_all_p.png");
    contextMenu->addAction(unbindAction);
    contextMenu->addAction(cancelAllAction);
    connect(contextMenu, SIGNAL(triggered(QAction*)), this, SLOT(slotMenuActionTriggered(QAction*)));
    connect(&PSingleton<pral_base::SystemMsg>::_instance(), SIGNAL(signalQuitSystem()), this,
            SLOT(slotQuitSystem()));
    installEventFilter(this);
}

ScreenLayoutWt::~ScreenLayoutWt() = default;

void ScreenLayoutWt::setLayout(int rows, int cols)
{
    backgroundColor = QStringLiteral("#323e58");
    setBackgroundColor(QColor(backgroundColor));
    // A stored wall may carry sizes no wall has: nothing below zero, nothing beyond 10 x 10.
    this->rows = qBound(0, rows, MaxGridSize);
    this->cols = qBound(0, cols, MaxGridSize);
    selectedScreen = nullptr;

    // The view is painted once, when the new grid is in place, not once per screen that goes or comes.
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    delete gridLayout;
    gridLayout = nullptr;
    // Screens of the old grid are kept, unbound and out of sight, and come back in the next one: switching
    // between grids then makes and styles no widgets again. A screen that comes back is as a new one.
    // A kept screen forgets its binding at once: a hidden screen must not answer for an output any more.
    for (ScreenWt* screen : qAsConst(screens)) {
        screen->reset(-1);
        spareScreens.append(screen);
    }
    screens.clear();

    gridLayout = new QGridLayout;
    gridLayout->setContentsMargins(1, 1, 1, 1);
    gridLayout->setSpacing(1);

    const int count = this->rows * this->cols;
    for (int id = 0; id < count; ++id) {
        ScreenWt* screen = nullptr;
        if (!spareScreens.isEmpty()) {
            screen = spareScreens.takeFirst();
            screen->reset(id);
        } else {
            screen = new ScreenWt(this, id);
            screen->hide();
            connect(screen, SIGNAL(signalScreenWtClicked(int)), this, SLOT(slotScreenWtClicked(int)));
            connect(screen, SIGNAL(signaldropEvent(int, QString, int)), this,
                    SIGNAL(signaldropEvent(int, QString, int)));
        }
        screens.insert(id, screen);
    }
    for (ScreenWt* spare : qAsConst(spareScreens))
        spare->hide();

    emit PSingleton<pral_matrix::MatrixSdkWorker>::_instance().signalScreenMapping(QString(), false);

    for (int r = 0; r < this->rows; ++r) {
        for (int c = 0; c < this->cols; ++c) {
            ScreenWt* screen = screens.value(r * this->cols + c);
            gridLayout->addWidget(screen, r, c, 1, 1);
            screen->setPosition(r + 1, c + 1);
        }
    }
    // Screens shown while the view has no layout do not lay out the whole page again one by one; the grid
    // then places all of them in one pass.
    for (ScreenWt* screen : qAsConst(screens))
        screen->show();
    PCOMMON::PWidget::setLayout(gridLayout);
    gridLayout->activate();
    setUpdatesEnabled(updates);
    update();
}

void ScreenLayoutWt::getLayout(int& rows, int& cols) const
{
    rows = this->rows;
    cols = this->cols;
}

int ScreenLayoutWt::selectedScreenId() const
{
    return selectedScreen ? selectedScreen->screenWtId() : -1;
}

QString ScreenLayoutWt::selectedScreenText() const
{
    return selectedScreen ? selectedScreen->labelText() : QString();
}

QString ScreenLayoutWt::selectedScreenPosition() const
{
    return selectedScreen ? selectedScreen->positionText() : QString();
}

void ScreenLayoutWt::unbind(ScreenWt* screen)
{
    screen->setBinding(QString(), QString(), -1, -1);
}

void ScreenLayoutWt::bindScreen(int screenWtId, const QString& matrixKey, const QString& outputKey,
                                int outputId, int outputNo)
{
    ScreenWt* target = screens.value(screenWtId);
    if (!target)
        return;
    // An output is on one screen at most: binding it here takes it off the other one.
    for (ScreenWt* screen : qAsConst(screens)) {
        const QStringList parts = screen->labelText().split(QLatin1Char(':'));
        if (parts.size() > 1 && parts.at(1).mid(1) == outputKey) {
            unbind(screen);
            break;
        }
    }
    target->setBinding(matrixKey, outputKey, outputId, outputNo);
}

void ScreenLayoutWt::screenBinding(int screenWtId, QString& outputKey, int& outputId, int& outputNo) const
{
    ScreenWt* screen = screens.value(screenWtId);
    if (!screen) {
        outputKey.clear();
        return;
    }
    screen->binding(nullptr, &outputKey, &outputId, &outputNo);
}

bool ScreenLayoutWt::isMatrixKeyBound(const QString& matrixKey) const
{
    for (ScreenWt* screen : screens) {
        if (screen->boundMatrixKey() == matrixKey)
            return true;
    }
    return false;
}

bool ScreenLayoutWt::isOutputIdBound(int outputId) const
{
    for (ScreenWt* screen : screens) {
        int id = -1;
        screen->binding(nullptr, nullptr, &id, nullptr);
        if (id == outputId)
            return true;
    }
    return false;
}

bool ScreenLayoutWt::allScreensBound() const
{
    for (ScreenWt* screen : screens) {
        if (screen->boundMatrixKey().isEmpty())
            return false;
    }
    return true;
}

bool ScreenLayoutWt::allScreensUnbound() const
{
    for (ScreenWt* screen : screens) {
        if (!screen->boundMatrixKey().isEmpty())
            return false;
    }
    return true;
}

void ScreenLayoutWt::unbindAll()
{
    if (gridLayout) {
        for (ScreenWt* screen : qAsConst(screens))
            unbind(screen);
    }
    if (allScreensUnbound()) {
        family = -1;
        emit signalAllUnbingding();
    }
}

void ScreenLayoutWt::selectScreen(int screenWtId)
{
    selectedScreen = screens.value(screenWtId);
    update();
}

void ScreenLayoutWt::highlightOutput(const QString& matrixKey)
{
    for (ScreenWt* screen : qAsConst(screens)) {
        if (screen->boundMatrixKey() == matrixKey) {
            selectedScreen = screen;
            break;
        }
    }
    update();
}

void ScreenLayoutWt::setBindingFamily(int family)
{
    this->family = family;
}

void ScreenLayoutWt::setEmbedded()
{
    embedded = true;
}

void ScreenLayoutWt::slotScreenWtClicked(int screenWtId)
{
    if (selectedScreen && selectedScreen->screenWtId() == screenWtId) {
        emit signalScreenClicked();
        return;
    }
    selectedScreen = screens.value(screenWtId);
    if (!selectedScreen)
        return;
    emit signalScreenPressed(selectedScreen->boundMatrixKey());
    emit signalScreenClicked();
    update();
}

bool ScreenLayoutWt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton && rows != 0 && cols != 0) {
        unbindAction->setVisible(selectedScreen && !selectedScreen->boundMatrixKey().isEmpty());
        cancelAllAction->setVisible(!allScreensUnbound());
        if (embedded)
            contextMenu->popup(QCursor::pos());
    }
    return PCOMMON::PWidget::eventFilter(watched, event);
}

void ScreenLayoutWt::slotMenuActionTriggered(QAction* action)
{
    if (action == unbindAction) {
        if (gridLayout && selectedScreen)
            unbind(selectedScreen);
        emit signalUnbingding();
    } else if (action == cancelAllAction) {
        if (PCOMMON::PMessageBox::question(this, tr("Are you sure cancel all mappings?"), 3, false) == 1 &&
            gridLayout) {
            for (ScreenWt* screen : qAsConst(screens))
                unbind(screen);
        }
    } else {
        return;
    }
    if (allScreensUnbound()) {
        family = -1;
        clearMappingFile();
        emit signalAllUnbingding();
    }
}

void ScreenLayoutWt::clearMappingFile()
{
    QSettings settings(QStringLiteral("tvWallConfig.ini"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("wallConfig"));
    // clear() ignores the group: the whole file ends up without entries.
    settings.clear();
    settings.endGroup();
}

void ScreenLayoutWt::slotQuitSystem()
{
    selectedScreen = nullptr;
    qDeleteAll(screens);
    screens.clear();
    qDeleteAll(spareScreens);
    spareScreens.clear();
    delete gridLayout;
    gridLayout = nullptr;
}

void ScreenLayoutWt::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.fillRect(rect(), QColor(backgroundColor));
    if (!gridLayout || !selectedScreen)
        return;
    selectionRect = selectedScreen->geometry();
    const QRect& g = selectionRect;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#ffcb5a")));
    painter.drawRect(g.x() - 1, g.y() - 1, g.width() + 2, 1);
    painter.drawRect(g.x() - 1, g.y() + g.height(), g.width() + 2, 1);
    painter.drawRect(g.x() - 1, g.y() - 1, 1, g.height() + 2);
    painter.drawRect(g.x() + g.width(), g.y() - 1, 1, g.height() + 2);
}

} // namespace pral_matrixConfig
