#pragma once

#include "matrix_config_global.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace pral_matrixConfig {

/**
 * @brief Rows of text written as CSV (RFC 4180) that a spreadsheet opens
 * safely.
 *
 * The texts may come from decoders (models, versions): a field that starts
 * like a formula would run as one when the file is opened, so it is kept as
 * text.
 */
class MATRIX_CONFIG_EXPORT CsvTable
{
public:
    /**
     * UTF-8 with a byte-order mark, so that spreadsheets read the Chinese
     * texts right, and CRLF at the end of every row.
     */
    static QByteArray encode(const QList<QStringList>& rows);
    /**
     * One field: quoted, its quotes doubled, when it holds a comma, a quote
     * or a line break; an apostrophe before a first character that starts a
     * formula (=, +, -, @, tab, carriage return).
     */
    static QString field(const QString& text);

private:
    CsvTable() = delete;
};

} // namespace pral_matrixConfig
