#pragma once

#include "baseform.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QMap>
#include <QStringList>
#include <QTimer>
#include <QUuid>

class QLabel;

namespace pral_matrixConfig {

namespace Ui {
class AdjustScreen;
}

/**
 * @brief The wizard's screen-adjustment page: a picture of the wall on the
 * left; on the right the image parameters of the selected screen, changed live
 * on the decoder, and test pictures over the whole wall.
 *
 * Every request goes to the decoder of the screen bound last, over the
 * connection it had then, and addresses a screen by its 1-based row and
 * column on the wall. The service's colour and resolution results arrive on
 * blocking queued connections: the service thread waits while a slot runs. The
 * first colour read from each screen is kept, so that cancelling puts back
 * every colour that was changed since.
 */
class MATRIX_CONFIG_EXPORT AdjustScreen : public pral_base::BaseForm
{
    Q_OBJECT

public:
    static constexpr int LoopIntervalMs = 15000;

    explicit AdjustScreen(QWidget* parent = nullptr);
    ~AdjustScreen() override;

    void setLayout(int rows, int columns);
    /** Binds the wall picture's screen and makes ip the decoder that receives every request. */
    void bindScreen(int screenIndex, const QString& ip, const QString& outputId);

signals:
    void signalCancelAllAjust(QUuid uuid);
    void signalSaveAllAjust();
    /** Video is to be shown again: the wizard restores the scene it saved. */
    void signalrestoreMatrixScene();

public slots:
    void slotOnScreenPressed();
    void slotbriSlidervalueChanged(int value);
    void slotchrSlidervalueChanged(int value);
    void slotsharpSlidervalueChanged(int value);
    void slotcontSlidervalueChanged(int value);
    void slotResComBoxValueChg(QString str);
    void slotContentComBoxValueChg(QString str);
    void slotOnMatrixGetScreenColorResult(pral_matrix::ScreenColor oScreenColor);
    void slotOnMatrixSetScreenColorResult(int ret);
    void slotOnMatrixGetResolutuonResult(ScreenResolution_t srt);
    void slotOnMatrixSetResolutionResult(int ret);
    void slotCancelAllAjust(QUuid uuid);
    void slotSaveAllAjust();

private slots:
    void slotLoopStep();

private:
    struct InitialColor
    {
        int first = 0;
        int second = 0;
        pral_matrix::ScreenColor color;
        bool changed = false;
    };

    struct InitialResolution
    {
        int first = 0;
        int second = 0;
        int width = 0;
        int height = 0;
        int frameRate = 0;
        bool changed = false;
    };

    void applyLook();
    /** A screen's row and column as the decoder counts them (from its position text); false for no screen. */
    bool screenNumbers(int screenId, int* first, int* second) const;
    bool selectedScreenNumbers(int* first, int* second) const;
    void sliderChanged(int value, QLabel* valueLabel);
    pral_matrix::MatrixWindowInfo testWindow() const;
    void showPicture(pral_matrix::MatrixWindowInfo window, const QString& path);

    Ui::AdjustScreen* ui;
    QString matrixIp;
    CMHandle matrixHandle;
    QMap<int, InitialColor> initialColors;
    QMap<int, InitialResolution> initialResolutions;
    // Screens of the readings and settings still on their way, oldest first: results come in request
    // order, and each belongs to the screen it was asked for, whichever is selected when it arrives.
    QList<int> pendingReads;
    QList<int> pendingSets;
    QTimer* loopTimer;
    QStringList loopPictures;
    int loopPosition = 0;
};

} // namespace pral_matrixConfig
