#include "showntexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTextLayout>
#include <QtMath>

#include <QHash>
#include <QImage>

#include <algorithm>
#include <cmath>

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

namespace {

/// The hint an empty line edit shows, when it does not fit the room the edit has for text.
QString clippedPlaceholder(QLineEdit* edit)
{
    if (!edit->text().isEmpty() || edit->placeholderText().isEmpty())
        return QString();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    // The text area less the two pixels a line edit keeps on either side of its text.
    const QMargins margins = edit->textMargins();
    const int had = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
                    margins.left() - margins.right() - 4;
    // As the edit draws it: cut with an ellipsis where its exact width is more than the room.
    const int needed = edit->fontMetrics().horizontalAdvance(edit->placeholderText());
    const bool cut = edit->fontMetrics().elidedText(edit->placeholderText(), Qt::ElideRight, had) !=
                     edit->placeholderText();
    return cut ? QStringLiteral("hint \"%1\" needs %2 of %3")
                     .arg(edit->placeholderText())
                     .arg(needed)
                     .arg(had)
               : QString();
}

/// The cells of a table whose text does not fit them, on one line or, in a table that wraps, on the
/// lines the row has room for: laid out as the item delegate lays it out before it elides.
QStringList clippedCells(QTableWidget* table)
{
    QStringList clipped;
    // What the item delegate keeps free on either side of a cell's text.
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            QTableWidgetItem* item = table->item(r, c);
            if (!item || item->text().isEmpty() || table->isColumnHidden(c))
                continue;
            const QRect cell = table->visualItemRect(item);
            const int width = cell.width() - 2 * margin;
            // The view's font, unless the item has one of its own.
            const QVariant own = item->data(Qt::FontRole);
            const QFont font = own.isValid() ? own.value<QFont>().resolve(table->font()) : table->font();
            // The height the style gives the text of that cell.
            QStyleOptionViewItem view;
            view.initFrom(table);
            view.rect = cell;
            view.font = font;
            view.text = item->text();
            view.features |= QStyleOptionViewItem::HasDisplay;
            if (table->wordWrap())
                view.features |= QStyleOptionViewItem::WrapText;
            view.displayAlignment = Qt::Alignment(item->textAlignment());
            const int height =
                table->style()->subElementRect(QStyle::SE_ItemViewItemText, &view, table).height();
            QTextLayout layout(item->text(), font);
            QTextOption option;
            option.setWrapMode(table->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
            layout.setTextOption(option);
            layout.beginLayout();
            qreal bottom = 0;
            qreal widest = 0;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, bottom));
                bottom += line.height();
                widest = qMax(widest, line.naturalTextWidth());
            }
            layout.endLayout();
            if (widest > width || bottom > height)
                clipped << QStringLiteral("cell \"%1\" (row %2, column %3) needs %4 x %5 of %6 x %7")
                               .arg(item->text())
                               .arg(r)
                               .arg(c)
                               .arg(qCeil(widest))
                               .arg(qCeil(bottom))
                               .arg(width)
                               .arg(height);
        }
    }
    return clipped;
}

/// A text as a label or button draws it: a single "&" marks the shortcut and takes no room.
QString drawnText(QString text)
{
    static const QRegularExpression mnemonic(QStringLiteral("&(.)"));
    return text.replace(mnemonic, QStringLiteral("\\1"));
}

} // namespace

QStringList clippedTexts(QWidget* root)
{
    QStringList clipped;
    for (QWidget* w : shownWidgets(root)) {
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            const QString hint = clippedPlaceholder(edit);
            if (!hint.isEmpty())
                clipped << hint;
            continue;
        }
        if (auto* table = qobject_cast<QTableWidget*>(w)) {
            clipped << clippedCells(table);
            continue;
        }
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QAbstractButton*>(w);
        const QString text = label ? label->text() : button ? button->text() : QString();
        if (text.isEmpty())
            continue;
        int needed = w->fontMetrics().horizontalAdvance(drawnText(text));
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

namespace {

/// Relative luminance of a colour as the accessibility guidelines define it.
double luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

QStringList faintTexts(QWidget* root, double minimumRatio)
{
    const QImage image = root->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal scale = image.devicePixelRatio();
    QStringList faint;
    for (QWidget* w : shownWidgets(root)) {
        auto* label = qobject_cast<QLabel*>(w);
        if (!label || label->text().isEmpty() || !label->isEnabled())
            continue;
        const QRect place(label->mapTo(root, label->contentsRect().topLeft()), label->contentsRect().size());
        const QRect pixels =
            QRect((QRectF(place).topLeft() * scale).toPoint(), (QSizeF(place.size()) * scale).toSize()) &
            image.rect();
        // The background is the colour most of the label shows; the text is what differs from it most.
        QHash<QRgb, int> counts;
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                ++counts[image.pixel(x, y)];
        }
        if (counts.size() < 2)
            continue;
        QRgb background = 0;
        int most = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > most) {
                most = it.value();
                background = it.key();
            }
        }
        double best = 1.0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            best = std::max(best, contrast(it.key(), background));
        if (best < minimumRatio)
            faint << QStringLiteral("\"%1\" stands out by %2 : 1").arg(label->text()).arg(best, 0, 'f', 2);
    }
    return faint;
}
