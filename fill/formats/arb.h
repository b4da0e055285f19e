#pragma once

#include "fill/formats/jsoncatalog.h"

namespace tarnix::fill {

// Flutter's Application Resource Bundles: "app_de.arb" beside the template
// ("app_en.arb", or l10n.yaml's template-arb-file). A message is one entry,
// an ICU message; its "@key" metadata gives the notes (the description and
// the placeholders with their examples). A new file starts with its
// "@@locale" and holds no message's metadata: gen-l10n reads that from the
// template alone.
class ArbFormat : public JsonCatalogFormat
{
protected:
    QList<JsonUnit> units(const json::Document &source) const override;
    QString languageOf(const QString &path) const override;
    bool copied(const json::Node &member, int depth) const override;
    QList<json::NewMember> header(const QString &language) const override;
    bool replacedByHeader(const json::Node &member, int depth) const override;
};

// The notes of a message from its "@key" metadata: the description, then
// "Placeholders: {name} (e.g. Tamil), {count}".
QStringList arbNotes(const json::Node &metadata);

} // namespace tarnix::fill
