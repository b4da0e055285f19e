#pragma once

#include "fill/formats/jsoncatalog.h"

namespace tarnix::fill {

// FormatJS (react-intl) messages: a flat file of ICU messages per language
// ("lang/de.json" beside "lang/en.json"), or the extracted form,
// {"id": {"defaultMessage": "…", "description": "…"}}, whose description
// is the entry's note and whose translation goes into defaultMessage. A
// message is one entry, its plural and select branches inside it.
class FormatJsFormat : public JsonCatalogFormat
{
protected:
    QList<JsonUnit> units(const json::Document &source) const override;
    QString languageOf(const QString &path) const override { return jsonFileLanguage(path); }
};

} // namespace tarnix::fill
