#pragma once

#include "soapenvelope.h"

#include <QList>
#include <QPair>
#include <QString>

namespace pral_matrix {

/** The body of a request: one element in ns with text children, named after the operation. */
inline SoapEnvelope::Writer onvifRequest(const QString& ns, const QString& name,
                                         const QList<QPair<QString, QString>>& children = {})
{
    return [ns, name, children](QXmlStreamWriter& w) {
        w.writeStartElement(ns, name);
        for (const auto& c : children)
            w.writeTextElement(ns, c.first, c.second);
        w.writeEndElement();
    };
}

/** The body of a request whose content content writes. */
inline SoapEnvelope::Writer onvifRequest(const QString& ns, const QString& name,
                                         const SoapEnvelope::Writer& content)
{
    return [ns, name, content](QXmlStreamWriter& w) {
        w.writeStartElement(ns, name);
        content(w);
        w.writeEndElement();
    };
}

} // namespace pral_matrix
