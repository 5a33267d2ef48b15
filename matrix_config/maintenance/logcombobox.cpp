#include "logcombobox.h"

#include "nofocusstyleditemdelegate.h"

#include <QTreeWidget>

namespace pral_matrixConfig {

LogComboBox::LogComboBox(QWidget* parent)
    : PCOMMON::PComboBox(parent)
    , tree(new QTreeWidget(this))
{
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    // The combo box keeps its current entry as a model index, which may lie under a parent: a child picked
    // in the tree is taken as it is.
    setModel(tree->model());
    setView(tree);
    tree->setItemDelegate(new PCOMMON::NoFocusStyledItemDelegate(tree));
}

LogComboBox::~LogComboBox() = default;

} // namespace pral_matrixConfig
