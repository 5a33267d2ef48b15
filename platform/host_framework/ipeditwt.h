#pragma once

#include "host_framework_global.h"

#include <QWidget>

class QLineEdit;

namespace PCOMMON {

/**
 * @brief IPv4 address entry: four number fields (0 to 255) separated by dots.
 *
 * A dot or a full field moves to the next field; Backspace in an empty field
 * goes back to the previous one.
 */
class HOST_FRAMEWORK_EXPORT IpEditWt : public QWidget
{
    Q_OBJECT

public:
    explicit IpEditWt(QWidget* parent = nullptr);
    ~IpEditWt() override;

    /** "" when every field is empty, otherwise "a.b.c.d" (an empty field gives an empty part). */
    QString text() const;
    /** Fills the fields from "a.b.c.d"; missing or invalid parts stay empty. */
    void setText(const QString& text);
    void clear();
    /** Every field holds a number. */
    bool isValid() const;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    /** The field of octet index (0..3), for focus handling and tests. */
    QLineEdit* octetEdit(int index) const;

signals:
    void textChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onOctetEdited(int index, const QString& text);
    void focusOctet(int index, bool selectAll);

    QLineEdit* octets[4] = {};
    bool filling = false;
};

} // namespace PCOMMON
