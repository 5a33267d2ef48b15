#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixrecords.h"

namespace pral_matrixConfig {

namespace Ui {
class DecoderNetworkConfigDlg;
}

/**
 * @brief Edits a decoder's IPv4 settings and, behind a switch, its IPv6
 * settings; the caller sends the result.
 */
class MATRIX_CONFIG_EXPORT DecoderNetworkConfigDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** networkCfg: the configuration the decoder reported; its texts fill the edits. */
    explicit DecoderNetworkConfigDlg(pral_matrix::DeviceNetworkCfg_t networkCfg, QWidget* parent = nullptr);
    ~DecoderNetworkConfigDlg() override;

    /**
     * A new configuration from the edits: every byte that the dialog does not edit is zero, and each
     * text field stays zero-terminated (a text longer than its field is cut to fit).
     */
    pral_matrix::DeviceNetworkCfg_t getNetworkConfig() const;

    /**
     * True when the decoder's answer holds none of the four IPv4 texts: it did not report its
     * settings, and there is nothing to edit.
     */
    static bool isEmptyNetworkAnswer(const pral_matrix::DeviceNetworkCfg_t& networkCfg);

public slots:
    void slotOnCloseBt();
    void slotOnOkBt();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitHeight();
    /** False, with a warning to the operator, when an IPv6 text does not fit its field. */
    bool ipv6TextsFit();

    pral_matrix::DeviceNetworkCfg_t receivedCfg;
    Ui::DecoderNetworkConfigDlg* ui;
    int designHeight = 0;
};

} // namespace pral_matrixConfig
