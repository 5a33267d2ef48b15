#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QMetaType>

#include <cstdint>

namespace pral_matrixConfig {

namespace Ui {
class ResolutionSettingDlg;
}

/**
 * @brief Lets the operator pick a decoder's output resolution from the two
 * that the decoders support. It talks to no service: its opener asks the
 * decoder for the current resolution and sends the choice.
 */
class MATRIX_CONFIG_EXPORT ResolutionSettingDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** One choice: width, height and frame rate, as the decoder takes them. */
    struct Resolution_t
    {
        int32_t width;
        int32_t height;
        int32_t frameRate;
    };

    explicit ResolutionSettingDlg(const ScreenResolution_t& current, QWidget* parent = nullptr);
    ~ResolutionSettingDlg() override;

    /** The chosen resolution. */
    Resolution_t getResolution() const;

public slots:
    void slotOnOkBt();
    void slotOnCancelBt();
    void slotOnCloseBt();

private:
    Ui::ResolutionSettingDlg* ui;
    ScreenResolution_t current;
};

} // namespace pral_matrixConfig

Q_DECLARE_METATYPE(pral_matrixConfig::ResolutionSettingDlg::Resolution_t)
