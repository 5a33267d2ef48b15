#pragma once

#include "matrix_config_global.h"
#include "pwidget.h"

#include <QList>
#include <QMap>
#include <QRect>
#include <QString>

class QAction;
class QGridLayout;

namespace PCOMMON {
class CustomAction;
class PMenu;
} // namespace PCOMMON

namespace pral_matrixConfig {

class ScreenWt;

/**
 * @brief The screens of one TV wall as a grid of rows x columns: selection,
 * bindings, drops and, in the wizard, unbinding from a context menu.
 */
class MATRIX_CONFIG_EXPORT ScreenLayoutWt : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    explicit ScreenLayoutWt(QWidget* parent = nullptr);
    ~ScreenLayoutWt() override;

    void setLayout(int rows, int cols);
    void getLayout(int& rows, int& cols) const;
    int selectedScreenId() const;
    QString selectedScreenText() const;
    QString selectedScreenPosition() const;
    void bindScreen(int screenWtId, const QString& matrixKey, const QString& outputKey, int outputId,
                    int outputNo);
    /** An id without a screen yields an empty key. */
    void screenBinding(int screenWtId, QString& outputKey, int& outputId, int& outputNo) const;
    bool isMatrixKeyBound(const QString& matrixKey) const;
    bool isOutputIdBound(int outputId) const;
    bool allScreensBound() const;
    bool allScreensUnbound() const;
    void unbindAll();
    void highlightOutput(const QString& matrixKey);
    /** Selects a screen again after a redraw, without the signals of a click; -1 selects none. */
    void selectScreen(int screenWtId);
    void setBindingFamily(int family);
    int bindingFamily() const { return family; }
    void setEmbedded();
    bool isEmbedded() const { return embedded; }
    ScreenWt* screen(int screenWtId) const { return screens.value(screenWtId); }
    int screenCount() const { return screens.size(); }

signals:
    void signalScreenClicked();
    void signaldropEvent(int screenWtId, QString itemId, int itemType);
    void signalUnbingding();
    void signalAllUnbingding();
    void signalScreenPressed(QString matrixKey);

public slots:
    void slotScreenWtClicked(int screenWtId);
    void slotMenuActionTriggered(QAction* action);
    void slotQuitSystem();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void unbind(ScreenWt* screen);
    void clearMappingFile();

    QMap<int, ScreenWt*> screens;
    // Screens of earlier grids, hidden, for the next grid to take.
    QList<ScreenWt*> spareScreens;
    QGridLayout* gridLayout = nullptr;
    ScreenWt* selectedScreen = nullptr;
    PCOMMON::PMenu* contextMenu;
    PCOMMON::CustomAction* unbindAction;
    PCOMMON::CustomAction* cancelAllAction;
    QRect selectionRect;
    int rows = 0;
    int cols = 0;
    QString backgroundColor;
    int family = -1;
    bool embedded = false;
};

} // namespace pral_matrixConfig
