#include "showntexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
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

} // namespace

QList<ShownText> shownTexts(QWidget* root)
{
    QList<ShownText> shown;
    auto add = [&shown](const QWidget* w, const QString& text) {
        if (!text.trimmed().isEmpty())
            shown.append({nameOf(w), text});
    };
    add(root, root->windowTitle());
    for (QWidget* w : shownWidgets(root)) {
        add(w, w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            add(w, plainText(label));
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            add(w, button->text());
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            add(w, edit->placeholderText());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            add(w, group->title());
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                add(w, combo->itemText(i));
        } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                if (table->horizontalHeaderItem(c) && !table->horizontalHeader()->isHidden())
                    add(w, table->horizontalHeaderItem(c)->text());
                for (int r = 0; r < table->rowCount(); ++r) {
                    if (table->item(r, c))
                        add(w, table->item(r, c)->text());
                }
            }
        }
    }
    return shown;
}

QStringList englishTexts(const QList<ShownText>& shown, const QStringList& data)
{
    QStringList english;
    for (const ShownText& item : shown) {
        QString rest = item.text;
        for (const QString& datum : data)
            rest.remove(datum);
        const bool latin = std::any_of(rest.begin(), rest.end(), [](QChar c) {
            return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                   (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        });
        const bool chinese =
            std::any_of(rest.begin(), rest.end(), [](QChar c) { return c.script() == QChar::Script_Han; });
        if (latin && !chinese)
            english << item.where + QLatin1String(": ") + item.text;
    }
    return english;
}

QStringList clippedTexts(QWidget* root)
{
    QStringList clipped;
    auto report = [&clipped](const QWidget* w, const QString& text, int needed, int available) {
        if (needed > available)
            clipped
                << QStringLiteral("%1 \"%2\" needs %3 of %4").arg(nameOf(w), text).arg(needed).arg(available);
    };
    for (QWidget* w : shownWidgets(root)) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = plainText(label);
            if (text.isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull())
                continue;
            const QRect room = label->contentsRect();
            if (label->wordWrap())
                report(w, text, label->heightForWidth(w->width()), w->height());
            else
                report(w, text, label->fontMetrics().horizontalAdvance(text), room.width());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->text().isEmpty())
                continue;
            // A check box or radio button needs room for its mark as well.
            const bool marked = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
            report(w, button->text(),
                   marked ? button->sizeHint().width()
                          : button->fontMetrics().horizontalAdvance(button->text()),
                   button->width());
        }
    }
    return clipped;
}
