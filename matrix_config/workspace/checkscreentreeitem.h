#pragma once

#include "matrixtreeitem.h"

namespace pral_matrixConfig {

/**
 * @brief Row of a decoder output in the device tree, with the button that
 * starts and stops the on-screen check of the output.
 */
class MATRIX_CONFIG_EXPORT CheckScreenTreeItem : public MatrixTreeItem
{
    Q_OBJECT

public:
    CheckScreenTreeItem(const QString& id, int type, int level, const QString& text, const QString& iconPath,
                        QWidget* parent = nullptr);
    ~CheckScreenTreeItem() override;

    void reuse(const QString& id, int type, const QString& text, const QString& iconPath) override;

    void setChecking(bool checking);
    bool isChecking() const { return checking; }

private:
    bool checking = false;
    int level;
};

} // namespace pral_matrixConfig
