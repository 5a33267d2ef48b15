#pragma once

#include "host_framework_global.h"

#include <QWidget>

namespace pral_base {

/**
 * @brief Base of every page that a module gives the host; the host tells pages
 * apart by their form type.
 */
class HOST_FRAMEWORK_EXPORT BaseForm : public QWidget
{
    Q_OBJECT

public:
    enum FormType
    {
        UnknownForm = 0,
        MatrixConfigFormType = 5,
    };

    explicit BaseForm(QWidget* parent = nullptr);
    ~BaseForm() override;

    virtual int getFormType();
};

} // namespace pral_base
