#include "decodernetworkconfigdlg.h"
#include "ui_decodernetworkconfigdlg.h"

#include "dictdef.h"
#include "modulelook.h"
#include "systemassistant.h"

#include <QIntValidator>
#include <QKeyEvent>
#include <QRegExpValidator>

#include <cstring>

namespace pral_matrixConfig {

namespace {
const QString Ipv6Pattern =
    QStringLiteral("([a-f0-9]{1,4}(:[a-f0-9]{1,4}){7}|[a-f0-9]{1,4}(:[a-f0-9]{1,4}){0,7}::"
                   "[a-f0-9]{0,4}(:[a-f0-9]{1,4}){0,7})");

/** A device may fill a field to its last byte without a terminating zero: never read past the field. */
template <std::size_t N>
QString fieldText(const char (&field)[N])
{
    return QString::fromLatin1(field, int(qstrnlen(field, N)));
}

/** Room for the text in a field of N bytes, which keeps one byte for the terminating zero. */
template <std::size_t N>
constexpr int fieldCapacity(const char (&)[N])
{
    return int(N) - 1;
}

/**
 * Refuses a number outside the range while it is typed; the plain integer validator lets one with as
 * many digits as the top through as intermediate input, so that "129" could be typed and kept.
 */
class PrefixLengthValidator : public QIntValidator
{
public:
    PrefixLengthValidator(int bottom, int top, QObject* parent)
        : QIntValidator(bottom, top, parent)
    {
    }

    State validate(QString& input, int& pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool ok = false;
        const int value = input.toInt(&ok);
        if (state == Intermediate && ok && (value > top() || value < bottom()))
            return Invalid;
        return state;
    }
};

template <std::size_t N>
void setField(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memcpy(field, bytes.constData(), std::size_t(bytes.size()));
    field[bytes.size()] = '\0';
}
} // namespace

DecoderNetworkConfigDlg::DecoderNetworkConfigDlg(pral_matrix::DeviceNetworkCfg_t networkCfg, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , receivedCfg(networkCfg)
    , ui(new Ui::DecoderNetworkConfigDlg)
{
    ui->setupUi(this);
    setWindowTitle(tr("Networkconfig"));

    const QRegExp ipv6(Ipv6Pattern, Qt::CaseSensitive);
    ui->ipAddressIpv6->setValidator(new QRegExpValidator(ipv6, ui->ipAddressIpv6));
    ui->gatewayIpv6->setValidator(new QRegExpValidator(ipv6, ui->gatewayIpv6));
    ui->maskCodeIpv6->setValidator(new PrefixLengthValidator(0, 128, ui->maskCodeIpv6));

    ui->ipAddress->setText(fieldText(receivedCfg.ipv4Addr));
    ui->maskCode->setText(fieldText(receivedCfg.ipv4Mask));
    ui->DNS->setText(fieldText(receivedCfg.dns));
    ui->gateway->setText(fieldText(receivedCfg.ipv4Gateway));

    const QString ipv6Address = fieldText(receivedCfg.ipv6Addr);
    if (!ipv6Address.isEmpty()) {
        ui->radioIpv6->setChecked(true);
        ui->ipAddressIpv6->setText(ipv6Address);
        ui->maskCodeIpv6->setText(QString::number(receivedCfg.ipv6PrefixLen));
        ui->gatewayIpv6->setText(fieldText(receivedCfg.ipv6Gateway));
    } else {
        ui->ipv6Wt->hide();
    }

    connect(ui->closeBt, &QPushButton::clicked, this, &DecoderNetworkConfigDlg::slotOnCloseBt);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &DecoderNetworkConfigDlg::slotOnCloseBt);
    connect(ui->okBtn, &QPushButton::clicked, this, &DecoderNetworkConfigDlg::slotOnOkBt);
    connect(ui->radioIpv6, &QRadioButton::toggled, ui->ipv6Wt, &QWidget::setVisible);
    connect(ui->radioIpv6, &QRadioButton::toggled, this, &DecoderNetworkConfigDlg::fitHeight);

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top_bg, QStringLiteral("#0e1624"));
    fillBackground(ui->ipv4Wt, QStringLiteral("#172335"));
    fillBackground(ui->ipv6Wt, QStringLiteral("#172335"));
    ui->label->setProperty("common_label_style1", true);
    ui->closeBt->setProperty("common_close_bt_style1", true);
    ui->okBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    fitHeight();
}

DecoderNetworkConfigDlg::~DecoderNetworkConfigDlg()
{
    delete ui;
}

pral_matrix::DeviceNetworkCfg_t DecoderNetworkConfigDlg::getNetworkConfig() const
{
    pral_matrix::DeviceNetworkCfg_t cfg;
    std::memset(&cfg, 0, sizeof cfg);
    setField(cfg.ipv4Addr, ui->ipAddress->text());
    setField(cfg.ipv4Mask, ui->maskCode->text());
    setField(cfg.dns, ui->DNS->text());
    setField(cfg.ipv4Gateway, ui->gateway->text());
    setField(cfg.ipv6Addr, ui->ipAddressIpv6->text());
    setField(cfg.ipv6Gateway, ui->gatewayIpv6->text());
    bool ok = false;
    const int prefix = ui->maskCodeIpv6->text().toInt(&ok, 10);
    cfg.ipv6PrefixLen = ok ? prefix : 0;
    return cfg;
}

bool DecoderNetworkConfigDlg::isEmptyNetworkAnswer(const pral_matrix::DeviceNetworkCfg_t& networkCfg)
{
    return fieldText(networkCfg.ipv4Addr).isEmpty() && fieldText(networkCfg.ipv4Mask).isEmpty() &&
           fieldText(networkCfg.ipv4Gateway).isEmpty() && fieldText(networkCfg.dns).isEmpty();
}

void DecoderNetworkConfigDlg::slotOnCloseBt()
{
    reject();
}

void DecoderNetworkConfigDlg::slotOnOkBt()
{
    if (!ipv6TextsFit())
        return;
    accept();
}

void DecoderNetworkConfigDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        slotOnOkBt();
        return;
    }
    PCOMMON::CommonDialog::keyPressEvent(event);
}

void DecoderNetworkConfigDlg::fitHeight()
{
    // Without the IPv6 part the dialog closes up instead of showing an empty panel.
    if (designHeight == 0)
        designHeight = height();
    const int wanted = ui->ipv6Wt->isHidden() ? sizeHint().height() : designHeight;
    resize(width(), qBound(minimumHeight(), wanted, maximumHeight()));
}

bool DecoderNetworkConfigDlg::ipv6TextsFit()
{
    // The address shape lets through texts longer than the decoder's fields; sending a cut
    // address would configure a different one than the operator typed.
    const struct
    {
        QLineEdit* edit;
        int capacity;
        QString message;
    } fields[] = {
        {ui->ipAddressIpv6, fieldCapacity(receivedCfg.ipv6Addr),
         tr("The IPv6 address is too long: at most %1 characters are allowed.")},
        {ui->gatewayIpv6, fieldCapacity(receivedCfg.ipv6Gateway),
         tr("The IPv6 gateway is too long: at most %1 characters are allowed.")},
    };
    for (const auto& field : fields) {
        if (field.edit->text().toLatin1().size() <= field.capacity)
            continue;
        pral_worker::SystemAssistant::messageAlert(pral_contact::DictDef::alertWarning,
                                                   field.message.arg(field.capacity));
        // The switch may hide the offending text; the operator has to see it to correct it.
        ui->radioIpv6->setChecked(true);
        field.edit->setFocus(Qt::OtherFocusReason);
        field.edit->selectAll();
        return false;
    }
    return true;
}

} // namespace pral_matrixConfig
