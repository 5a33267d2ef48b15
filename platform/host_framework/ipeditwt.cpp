#include "ipeditwt.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace PCOMMON {

namespace {
constexpr int OctetCount = 4;

// No leading zeros, so that "010" cannot be read as octal by whatever gets the address.
const QRegularExpression& octetPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])$"));
    return pattern;
}

/** No further digit can make the field valid: the user is done with it. */
bool octetComplete(const QString& text)
{
    return text.size() == 3 || text == QLatin1String("0") || (!text.isEmpty() && text.toInt() >= 26);
}
} // namespace

IpEditWt::IpEditWt(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    // Selected by type: the forms that hold the field give it object names of their own.
    setStyleSheet(
        QStringLiteral("PCOMMON--IpEditWt{background:#0b121e;border:1px solid #2a3a55;border-radius:2px;}"
                       "PCOMMON--IpEditWt:disabled{background:#141f30;}"
                       "QLineEdit{border:none;background:transparent;color:#ebf3fa;padding:0px;}"
                       "QLabel{color:#858fa2;background:transparent;border:none;}"));
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(0);
    auto* validator = new QRegularExpressionValidator(octetPattern(), this);
    for (int i = 0; i < OctetCount; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("octet%1").arg(i));
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(3);
        edit->setValidator(validator);
        edit->setFrame(false);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->installEventFilter(this);
        octets[i] = edit;
        layout->addWidget(edit, 1);
        if (i < OctetCount - 1) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        connect(edit, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { onOctetEdited(i, text); });
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!filling)
                emit textChanged(text());
        });
    }
    setFocusProxy(octets[0]);
}

IpEditWt::~IpEditWt() = default;

QLineEdit* IpEditWt::octetEdit(int index) const
{
    return index >= 0 && index < OctetCount ? octets[index] : nullptr;
}

QString IpEditWt::text() const
{
    QStringList parts;
    bool allEmpty = true;
    for (const QLineEdit* edit : octets) {
        parts.append(edit->text());
        allEmpty = allEmpty && edit->text().isEmpty();
    }
    return allEmpty ? QString() : parts.join(QLatin1Char('.'));
}

void IpEditWt::setText(const QString& text)
{
    const QString before = this->text();
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    filling = true;
    for (int i = 0; i < OctetCount; ++i) {
        const QString part = i < parts.size() ? parts.at(i).trimmed() : QString();
        octets[i]->setText(octetPattern().match(part).hasMatch() ? part : QString());
    }
    filling = false;
    if (this->text() != before)
        emit textChanged(this->text());
}

void IpEditWt::clear()
{
    setText(QString());
}

bool IpEditWt::isValid() const
{
    for (const QLineEdit* edit : octets) {
        if (edit->text().isEmpty())
            return false;
    }
    return true;
}

void IpEditWt::setReadOnly(bool readOnly)
{
    for (QLineEdit* edit : octets)
        edit->setReadOnly(readOnly);
}

bool IpEditWt::isReadOnly() const
{
    return octets[0]->isReadOnly();
}

void IpEditWt::onOctetEdited(int index, const QString& text)
{
    if (index < OctetCount - 1 && octetComplete(text) && octets[index]->cursorPosition() == text.size())
        focusOctet(index + 1, true);
}

void IpEditWt::focusOctet(int index, bool selectAll)
{
    QLineEdit* edit = octets[index];
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        edit->selectAll();
    else
        edit->setCursorPosition(edit->text().size());
}

bool IpEditWt::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    int index = -1;
    for (int i = 0; i < OctetCount; ++i) {
        if (octets[i] == watched)
            index = i;
    }
    if (index < 0)
        return QWidget::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = octets[index];
    if (key->matches(QKeySequence::Paste) && !edit->isReadOnly()) {
        const QString pasted = QApplication::clipboard()->text().trimmed();
        if (pasted.contains(QLatin1Char('.'))) {
            setText(pasted);
            return true;
        }
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Comma:
        if (index < OctetCount - 1 && !edit->text().isEmpty() && !edit->hasSelectedText())
            focusOctet(index + 1, true);
        return true;
    case Qt::Key_Backspace:
        if (index > 0 && edit->cursorPosition() == 0 && !edit->hasSelectedText()) {
            focusOctet(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (index > 0 && edit->cursorPosition() == 0 && !edit->hasSelectedText()) {
            focusOctet(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (index < OctetCount - 1 && edit->cursorPosition() == edit->text().size() &&
            !edit->hasSelectedText()) {
            octets[index + 1]->setFocus(Qt::OtherFocusReason);
            octets[index + 1]->setCursorPosition(0);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace PCOMMON
