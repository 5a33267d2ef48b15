#include "pmenu.h"

namespace PCOMMON {

PMenu::PMenu(QWidget* parent)
    : QMenu(parent)
{
    setStyleSheet(defaultStyleSheet());
}

PMenu::PMenu(const QString& title, QWidget* parent)
    : QMenu(title, parent)
{
    setStyleSheet(defaultStyleSheet());
}

PMenu::~PMenu() = default;

QString PMenu::defaultStyleSheet()
{
    return QStringLiteral("QMenu{background:#0e1624;border:1px solid #2a3a55;padding:4px 0px;}"
                          "QMenu::item{color:#ebf3fa;background:transparent;padding:6px 24px 6px 10px;"
                          "font-size:13px;}"
                          "QMenu::item:selected{background:#266baf;color:#ffffff;}"
                          "QMenu::item:disabled{color:#5a6478;}"
                          "QMenu::icon{padding-left:10px;}"
                          "QMenu::separator{height:1px;background:#2a3a55;margin:4px 6px;}");
}

} // namespace PCOMMON
