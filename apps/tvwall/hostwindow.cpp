#include "hostwindow.h"

#include "baseform.h"
#include "dictdef.h"
#include "matrixconfigmoduleinit.h"
#include "matrixsdkworker.h"
#include "moduleaccess.h"
#include "pmessagebox.h"
#include "systemassistant.h"
#include "systemmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QWidget* makeHeader(QWidget* parent)
{
    auto* header = new QWidget(parent);
    header->setObjectName(QStringLiteral("hostHeader"));
    header->setFixedHeight(44);
    header->setAttribute(Qt::WA_StyledBackground);
    header->setStyleSheet(QStringLiteral(
        "QWidget#hostHeader{background:#0b121e;border-bottom:1px solid #070d17;}"
        "QLabel#hostTitle{color:#ebf3fa;font-size:15px;font-weight:bold;}"
        "QPushButton{color:#858fa2;background:transparent;border:none;padding:0 14px;font-size:13px;}"
        "QPushButton:checked{color:#ebf3fa;border-bottom:2px solid #266baf;}"));
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(16, 0, 16, 0);
    layout->setSpacing(8);
    auto* title = new QLabel(QObject::tr("Video Management Client"), header);
    title->setObjectName(QStringLiteral("hostTitle"));
    layout->addWidget(title);
    layout->addSpacing(24);
    // The other modules of the client are not part of this build; their tabs show where the page sits.
    const QStringList modules = {QObject::tr("Live View"), QObject::tr("Playback"),
                                 QObject::tr("TV Wall Management"), QObject::tr("Devices")};
    for (const QString& name : modules) {
        auto* tab = new QPushButton(name, header);
        tab->setCheckable(true);
        tab->setFixedHeight(44);
        tab->setFocusPolicy(Qt::NoFocus);
        const bool ours = name == QObject::tr("TV Wall Management");
        tab->setChecked(ours);
        tab->setEnabled(ours);
        layout->addWidget(tab);
    }
    layout->addStretch(1);
    return header;
}

} // namespace

HostWindow::HostWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(tr("TV Wall Management"));
    setObjectName(QStringLiteral("hostWindow"));
    setStyleSheet(QStringLiteral("QMainWindow#hostWindow{background:#141f30;}"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeHeader(central));

    auto& module = PSingleton<pral_matrixConfig::matrixConfigModuleInit>::_instance();
    form = module.createMatrixConfigForm();
    form->setParent(central);
    layout->addWidget(form, 1);
    setCentralWidget(central);
    resize(1280, 800);

    connect(&PSingleton<pral_base::ModuleAccess>::_instance(),
            &pral_base::ModuleAccess::signalMatrixConfigFormClosed, this, &HostWindow::slotPageAgreedToClose);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &HostWindow::slotQuit);
    // A list file that could not be read was put aside: the operator must learn it at once, not
    // when a decoder is found missing. Queued, so that the notice comes over the shown window.
    connect(
        &PSingleton<pral_matrix::MatrixSdkWorker>::_instance(),
        &pral_matrix::MatrixSdkWorker::signalStoreProblem, this,
        [](const QString& text) {
            pral_worker::SystemAssistant::messageAlert(pral_contact::DictDef::alertWarning, text);
        },
        Qt::QueuedConnection);
    // Passwords that cannot be opened keep decoders from logging in until the operator acts: a notice that
    // fades is not enough, the operator confirms having read what to do.
    connect(
        &PSingleton<pral_matrix::MatrixSdkWorker>::_instance(),
        &pral_matrix::MatrixSdkWorker::signalStoreKeyProblem, this,
        [this](const QString& text) { PCOMMON::PMessageBox::information(this, text, 1, false); },
        Qt::QueuedConnection);
}

HostWindow::~HostWindow() = default;

void HostWindow::closeEvent(QCloseEvent* event)
{
    if (pageAgreed || !form) {
        event->accept();
        return;
    }
    // The page may ask the operator first; it answers with the closed notice.
    event->ignore();
    if (!QMetaObject::invokeMethod(form, "slotPrepareCloseMatrixConfigForm")) {
        pageAgreed = true;
        event->accept();
    }
}

void HostWindow::slotPageAgreedToClose()
{
    pageAgreed = true;
    close();
}

void HostWindow::slotQuit()
{
    emit PSingleton<pral_base::SystemMsg>::_instance().signalQuitSystem();
    if (form)
        QMetaObject::invokeMethod(form, "slotQuitSystem");
}
