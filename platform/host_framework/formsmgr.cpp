#include "formsmgr.h"

#include <QDialog>
#include <QPointer>

namespace pral_base {

namespace {
// A dialog may be destroyed without clearing its registration; QPointer then reads as null.
QPointer<QDialog>& current()
{
    static QPointer<QDialog> dialog;
    return dialog;
}
} // namespace

void FormsMgr::setCurModalDlg(QDialog* dialog)
{
    current() = dialog;
}

QDialog* FormsMgr::curModalDlg()
{
    return current().data();
}

} // namespace pral_base
