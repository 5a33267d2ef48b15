#include "showntexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>

namespace {

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

QString plainText(const QLabel* label)
{
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    return rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
}

QList<QWidget*> shownWidgets(QWidget* root)
{
    QList<QWidget*> widgets{root};
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isVisibleTo(root))
            widgets << w;
    }
    return widgets;
}

bool readsEnglish(QString text, const QStringList& data)
{
    for (const QString& datum : data)
        text.remove(datum);
    const auto latin = [](QChar c) {
        return c.isLetter() && c.script() == QChar::Script_Latin;
    };
    const auto han = [](QChar c) {
        return c.script() == QChar::Script_Han;
    };
    return std::any_of(text.begin(), text.end(), latin) && std::none_of(text.begin(), text.end(), han);
}

} // namespace

QStringList englishTexts(QWidget* root, const QStringList& data)
{
    QStringList english;
    const auto check = [&](const QWidget* w, const QString& text) {
        if (readsEnglish(text, data))
            english << nameOf(w) + QLatin1String(": ") + text;
    };
    check(root, root->windowTitle());
    for (QWidget* w : shownWidgets(root)) {
        check(w, w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            check(w, plainText(label));
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            check(w, button->text());
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            check(w, edit->placeholderText());
        else if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int r = 0; r < table->rowCount(); ++r) {
                for (int c = 0; c < table->columnCount(); ++c)
                    check(w, table->item(r, c) ? table->item(r, c)->text() : QString());
            }
        }
    }
    return english;
}

QStringList clippedTexts(QWidget* root)
{
    QStringList clipped;
    const auto check = [&](const QWidget* w, const QString& text, int needed, int had) {
        if (needed > had)
            clipped << QStringLiteral("%1 \"%2\" needs %3 of %4").arg(nameOf(w), text).arg(needed).arg(had);
    };
    for (QWidget* w : shownWidgets(root)) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = plainText(label);
            if (text.isEmpty())
                continue;
            if (label->wordWrap())
                check(w, text, label->heightForWidth(w->width()), w->height());
            else
                check(w, text, label->fontMetrics().horizontalAdvance(text), label->contentsRect().width());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // A check box or radio button needs room for its mark as well.
            const bool marked = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
            if (!button->text().isEmpty())
                check(w, button->text(),
                      marked ? button->sizeHint().width()
                             : button->fontMetrics().horizontalAdvance(button->text()),
                      w->width());
        }
    }
    return clipped;
}

QStringList blurredImages(QWidget* root)
{
    QStringList blurred;
    const qreal screen = root->devicePixelRatioF();
    const auto check = [&](const QWidget* w, const QPixmap& pixmap) {
        if (!pixmap.isNull() && pixmap.devicePixelRatio() < screen)
            blurred << QStringLiteral("%1: ratio %2").arg(nameOf(w)).arg(pixmap.devicePixelRatio());
    };
    for (QWidget* w : shownWidgets(root)) {
        if (auto* label = qobject_cast<QLabel*>(w))
            check(w, label->pixmap(Qt::ReturnByValue));
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            check(w, button->icon().pixmap(button->iconSize()));
    }
    return blurred;
}
