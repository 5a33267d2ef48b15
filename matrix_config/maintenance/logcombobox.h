#pragma once

#include "matrix_config_global.h"
#include "pcombobox.h"

class QTreeWidget;

namespace pral_matrixConfig {

/**
 * @brief Combo box whose drop-down is a tree, so that entries can be grouped
 * under a parent; a child chosen in the drop-down becomes the current entry
 * (currentText() and currentData() follow it).
 */
class MATRIX_CONFIG_EXPORT LogComboBox : public PCOMMON::PComboBox
{
    Q_OBJECT

public:
    explicit LogComboBox(QWidget* parent = nullptr);
    ~LogComboBox() override;

    /** The tree that holds the entries; the owner inserts them. */
    QTreeWidget* getTreeWidget() const { return tree; }

private:
    QTreeWidget* tree;
};

} // namespace pral_matrixConfig
