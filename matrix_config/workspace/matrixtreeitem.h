#pragma once

#include "matrix_config_global.h"
#include "pwidget.h"

#include <QPointF>
#include <QString>

class QDrag;

namespace pral_matrixConfig {

namespace Ui {
class MatrixTreeItem;
}

/**
 * @brief Row widget of the device tree: icon, text, a hover button and, for
 * outputs, the drag that carries the output onto a screen.
 *
 * The looks of all states come from treeStyleSheet(), set once on the widget
 * that holds the items, and are switched by dynamic properties: a tree holds
 * thousands of these rows and parsing a style sheet per row is what made
 * refills slow.
 */
class MATRIX_CONFIG_EXPORT MatrixTreeItem : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    MatrixTreeItem(const QString& id, int type, const QString& text, const QString& iconPath,
                   QWidget* parent = nullptr);
    ~MatrixTreeItem() override;

    /** Turns a row widget into a fresh row for another entry, as if it had just been made. */
    virtual void reuse(const QString& id, int type, const QString& text, const QString& iconPath);

    void setOperButton(const QString& styleSheet, const QString& tooltip);
    /** 0 plain, 1 hovered, 2 highlighted; other values are ignored. */
    void setBackgroundState(int state);
    int backgroundState() const { return bgState; }
    void setOperEnabled(bool enabled);
    bool isOperEnabled() const { return operEnabled; }
    void setDraggable(bool enable);
    bool isDraggable() const { return draggable; }
    void setHideOperOnLeave(bool hide);
    bool isHideOperOnLeave() const { return hideOperOnLeave; }
    void showOperButton(bool show);
    bool isOperButtonShown() const;

    QString text() const;
    void setText(const QString& text);
    QString itemId() const { return id; }
    int itemType() const { return type; }
    /** An output on a screen shows the mapped icon instead of its own. */
    void setMapped(bool mapped);
    bool isMapped() const { return mapped; }
    void setCount(int count);

    /** MIME format of a dragged output; the data is "<type>~<id>" in the local 8-bit code page. */
    static QString mimeFormat();
    /** The looks of every item state; set it on the widget whose children the items are. */
    static QString treeStyleSheet();

signals:
    void signalOperClicked(QWidget* item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

    /** Runs the prepared drag; the only place that blocks until the drop. */
    virtual void execDrag(QDrag* drag);
    /** Makes a changed state property take effect on w. */
    static void repolish(QWidget* w);

    Ui::MatrixTreeItem* ui;

private slots:
    void slotOperBtnClicked();

private:
    QString id;
    int type;
    bool hideOperOnLeave = true;
    bool operEnabled = true;
    bool draggable = false;
    QPointF pressPos;
    QString iconPath;
    int bgState = 0;
    bool mapped = false;
};

} // namespace pral_matrixConfig
