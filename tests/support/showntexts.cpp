#include "showntexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

#include <algorithm>

namespace {

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

QStringList englishTexts(QWidget* root, const QStringList& data)
{
    QStringList texts{root->windowTitle()};
    for (QWidget* w : shownWidgets(root)) {
        texts << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w))
            texts << label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts << button->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            texts << edit->placeholderText();
        else if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int r = 0; r < table->rowCount(); ++r) {
                for (int c = 0; c < table->columnCount(); ++c)
                    texts << (table->item(r, c) ? table->item(r, c)->text() : QString());
            }
        }
    }
    QStringList english;
    for (QString text : qAsConst(texts)) {
        for (const QString& datum : data)
            text.remove(datum);
        const auto latin = [](QChar c) {
            return c.isLetter() && c.script() == QChar::Script_Latin;
        };
        const auto han = [](QChar c) {
            return c.script() == QChar::Script_Han;
        };
        if (std::any_of(text.begin(), text.end(), latin) && std::none_of(text.begin(), text.end(), han))
            english << text;
    }
    return english;
}

QStringList clippedTexts(QWidget* root)
{
    QStringList clipped;
    for (QWidget* w : shownWidgets(root)) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QAbstractButton*>(w);
        const QString text = label ? label->text() : button ? button->text() : QString();
        if (text.isEmpty())
            continue;
        int needed = w->fontMetrics().horizontalAdvance(text);
        int had = label ? label->contentsRect().width() : w->width();
        if (label && label->wordWrap()) {
            needed = label->heightForWidth(w->width());
            had = w->height();
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            needed = w->sizeHint().width(); // the mark as well
        }
        if (needed > had)
            clipped << QStringLiteral("\"%1\" needs %2 of %3").arg(text).arg(needed).arg(had);
    }
    return clipped;
}

QStringList blurredImages(QWidget* root)
{
    QStringList blurred;
    for (QWidget* w : shownWidgets(root)) {
        QPixmap pixmap;
        if (auto* label = qobject_cast<QLabel*>(w))
            pixmap = label->pixmap(Qt::ReturnByValue);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            pixmap = button->icon().pixmap(button->iconSize());
        if (!pixmap.isNull() && pixmap.devicePixelRatio() < root->devicePixelRatioF())
            blurred << w->objectName() + QStringLiteral(": ratio %1").arg(pixmap.devicePixelRatio());
    }
    return blurred;
}
