#include "baseform.h"

namespace pral_base {

BaseForm::BaseForm(QWidget* parent)
    : QWidget(parent)
{
}

BaseForm::~BaseForm() = default;

int BaseForm::getFormType()
{
    return UnknownForm;
}

} // namespace pral_base
