#pragma once

#include "fill/formats/jsoncatalog.h"

namespace tarnix::fill {

// i18next's JSON, nested or flat: one file per language and namespace
// ("locales/de/common.json", or "de.json" beside "en.json"). An entry's key
// is its key path; "{{name}}" and "$t(key)" stay as written. A plural is
// one entry from its group of members: "_one" and "_other" (and the other
// CLDR categories) or the third version's bare key and "_plural"; it is
// written as "<key>_<category>" for each of the target language's categories.
// A context ("_male") is a key of its own.
class I18nextFormat : public JsonCatalogFormat
{
protected:
    QList<JsonUnit> units(const json::Document &source) const override;
    QString languageOf(const QString &path) const override { return jsonFileLanguage(path); }
};

} // namespace tarnix::fill
