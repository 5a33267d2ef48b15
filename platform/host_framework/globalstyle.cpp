#include "globalstyle.h"

#include "pmenu.h"

#include <QApplication>

namespace PCOMMON {

QString commonPropertyStyleSheet()
{
    return QStringLiteral(
        // Affirmative and navigating buttons.
        "QPushButton[common_bt_style1=\"true\"]{background:#266baf;color:#ffffff;border:none;border-radius:"
        "2px;"
        "padding:0px 16px;font-size:13px;}"
        "QPushButton[common_bt_style1=\"true\"]:hover{background:#3a82c8;}"
        "QPushButton[common_bt_style1=\"true\"]:pressed{background:#1c5088;}"
        "QPushButton[common_bt_style1=\"true\"]:disabled{background:#3a4558;color:#858fa2;}"
        // Cancel buttons.
        "QPushButton[common_bt_style2=\"true\"]{background:transparent;color:#ebf3fa;border:1px solid "
        "#858fa2;"
        "border-radius:2px;padding:0px 16px;font-size:13px;}"
        "QPushButton[common_bt_style2=\"true\"]:hover{border-color:#266baf;color:#ffffff;}"
        "QPushButton[common_bt_style2=\"true\"]:pressed{background:#858fa2;color:#ffffff;}"
        "QPushButton[common_bt_style2=\"true\"]:disabled{border-color:#3a4558;color:#5a6478;}"
        // Title-bar close buttons.
        "QPushButton[common_close_bt_style1=\"true\"]{background:transparent;border:none;"
        "border-image:url(:/images/images/close_n.png);}"
        "QPushButton[common_close_bt_style1=\"true\"]:hover{border-image:url(:/images/images/close_h.png);}"
        "QPushButton[common_close_bt_style1=\"true\"]:pressed{border-image:url(:/images/images/close_h.png);}"
        // Title labels.
        "QLabel[common_label_style1=\"true\"]{color:#ebf3fa;background:transparent;font-size:14px;"
        "font-weight:bold;}");
}

QString fileDialogStyleSheet()
{
    // The fields, lists and combo boxes inside take their dark look from the global sheet.
    return QStringLiteral(
        "QFileDialog{background-color:#172335;}"
        "QFileDialog QLabel{color:#ebf3fa;background:transparent;}"
        "QFileDialog QToolButton{background:transparent;border:1px solid transparent;border-radius:2px;}"
        "QFileDialog QToolButton:hover{border-color:#266baf;}"
        "QFileDialog QToolButton:checked{background:#266baf;}"
        "QFileDialog QSplitter::handle{background:#0b121e;}");
}

QString globalStyleSheet()
{
    const QString defaults = QStringLiteral(
        "QToolTip{background:#0e1624;color:#ebf3fa;border:1px solid #2a3a55;padding:3px;}"

        "QScrollBar:vertical{background:#0b121e;width:8px;margin:0px;border:none;}"
        "QScrollBar::handle:vertical{background:#2a3a55;min-height:24px;border-radius:4px;}"
        "QScrollBar:horizontal{background:#0b121e;height:8px;margin:0px;border:none;}"
        "QScrollBar::handle:horizontal{background:#2a3a55;min-width:24px;border-radius:4px;}"
        "QScrollBar::handle:hover{background:#858fa2;}"
        "QScrollBar::add-line,QScrollBar::sub-line{width:0px;height:0px;border:none;background:none;}"
        "QScrollBar::add-page,QScrollBar::sub-page{background:none;}"

        "QLineEdit,QSpinBox,QTimeEdit,QDateTimeEdit,QDateEdit{background:#0b121e;color:#ebf3fa;"
        "border:1px solid #2a3a55;border-radius:2px;padding:0px 6px;selection-background-color:#266baf;}"
        "QLineEdit:focus,QSpinBox:focus,QTimeEdit:focus,QDateTimeEdit:focus{border-color:#266baf;}"
        "QLineEdit:disabled,QSpinBox:disabled,QTimeEdit:disabled{color:#5a6478;background:#141f30;}"
        "QLineEdit[readOnly=\"true\"]{background:#141f30;}"

        "QComboBox{background:#0b121e;color:#ebf3fa;border:1px solid #2a3a55;border-radius:2px;"
        "padding:0px 8px;min-height:24px;}"
        "QComboBox:hover,QComboBox:focus{border-color:#266baf;}"
        "QComboBox:disabled{color:#5a6478;background:#141f30;}"
        "QComboBox::drop-down{border:none;width:22px;}"
        "QComboBox::down-arrow{image:url(:/images/images/combo_arrow.png);width:10px;height:6px;}"
        "QComboBox QAbstractItemView{background:#0e1624;color:#ebf3fa;border:1px solid #2a3a55;outline:0px;"
        "selection-background-color:#266baf;selection-color:#ffffff;}"
        "QComboBox QAbstractItemView::item{min-height:26px;padding:0px 8px;}"
        "QComboBox QAbstractItemView::item:hover{background:#266baf;}"

        "QCheckBox,QRadioButton{color:#ebf3fa;spacing:6px;background:transparent;}"
        "QCheckBox:disabled,QRadioButton:disabled{color:#5a6478;}"
        "QCheckBox::indicator{width:16px;height:16px;}"
        "QCheckBox::indicator:unchecked{image:url(:/images/images/check_off.png);}"
        "QCheckBox::indicator:checked,QCheckBox::indicator:indeterminate{"
        "image:url(:/images/images/check_on.png);}"

        "QTableView{background:#141f30;alternate-background-color:#172335;color:#ebf3fa;"
        "gridline-color:#0f1526;border:none;selection-background-color:#266baf;selection-color:#ffffff;}"
        "QTableView QTableCornerButton::section{background:#141f30;border:none;}"
        "QHeaderView{background:#141f30;border:none;}"
        "QHeaderView::section{background:#141f30;color:#6c7586;border:none;border-left:1px solid #0f1526;"
        "padding:4px;}"
        "QTreeView,QListView{background:#141f30;color:#ebf3fa;border:none;selection-background-color:#266baf;"
        "selection-color:#ffffff;}");
    return defaults + PMenu::defaultStyleSheet() + commonPropertyStyleSheet();
}

void applyGlobalStyleSheet(QApplication& app)
{
    // The style sheets size texts in pixels and the forms are laid out around them; a desktop's
    // larger default font would clip the labels that have no size of their own. Operators who
    // need larger texts scale the whole window instead (the desktop's display scaling).
    QFont font = app.font();
    font.setPixelSize(12);
    app.setFont(font);
    app.setStyleSheet(globalStyleSheet());
}

} // namespace PCOMMON
