#pragma once

#include <QHash>

#include "fill/formats/catalog.h"
#include "fill/formats/jsonedit.h"

namespace tarnix::fill {

// One text to translate in a JSON catalog's source file, as its format reads it.
struct JsonUnit
{
    // The member names from the root to the member that holds the value in
    // every language's file ("general", "items"); for a plural, to its base
    // name, whose forms are "<base>_<category>" beside it.
    QStringList path;
    QString key; // the entry's identity: the key path, dot-joined
    QString source;
    QString pluralSource;
    bool plural = false;
    QStringList notes;
    QStringList flags;
    int line = 0;
    // The source members the unit was read from: its value, or every member
    // of a plural group (a new file puts the group where the first was).
    QList<const json::Node *> nodes;
};

// What the JSON catalogs (i18next, FormatJS, ARB) share: the entries come
// from the source language's file, the translations from the target's, found
// by the same key path. A target that exists is edited in place: a filled
// value replaces an empty one, a member the target lacks goes where the
// source has it, indented as its neighbours. A new target is the source's
// structure holding the filled values alone (a missing key falls back to the
// source language, an empty one would show nothing). Plural forms are one
// per CLDR category of the target language.
class JsonCatalogFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }
    bool pluralByCategory() const override { return true; }

protected:
    // The texts of a source file, in the file's order.
    virtual QList<JsonUnit> units(const json::Document &source) const = 0;
    // The language a catalog's path names; empty when it names none.
    virtual QString languageOf(const QString &path) const = 0;
    // Whether a source member that holds no unit is copied into a new
    // target, beside the units (ARB's metadata stays in the template).
    virtual bool copied(const json::Node &member, int depth) const;
    // The members a new target starts with, before the source's (ARB's @@locale).
    virtual QList<json::NewMember> header(const QString &language) const;
    // A source member a new target leaves out, its header holding it.
    virtual bool replacedByHeader(const json::Node &member, int depth) const;

private:
    struct Merge;
    QList<json::NewMember> filtered(const json::Node &object, int depth, bool &content) const;
    void merge(const json::Node &source, const json::Node &target, int depth, Merge &merge) const;
    const json::Node *targetNode(const QStringList &path) const;
    // Whether the source object's member of that name is an entry of its
    // own ("items_zero" in English), which a plural's form of that name
    // gives way to.
    bool holdsOwnEntry(const json::Node &object, const QString &key) const;

    json::Document m_source;
    json::Document m_target;
    bool m_hasTarget = false;
    QList<JsonUnit> m_units;
    QHash<const json::Node *, int> m_unitOf; // source member -> unit
    QStringList m_categories; // the target language's, for reading its forms
    // While writing: each unit's forms, and the categories they are in.
    QHash<int, QStringList> m_forms;
    QStringList m_writeCategories;
};

// The language of a JSON catalog as web projects lay them out: its folder
// ("locales/pt-BR/common.json") or its own name ("lang/pt-BR.json"). Empty
// when neither is a language.
QString jsonFileLanguage(const QString &path);

// Which convention a JSON catalog's texts follow, by what they hold:
// FormatJS's extracted messages ({"id": {"defaultMessage": …}}) or ICU
// arguments ("{name}", "{n, plural, …}"), or i18next's "{{name}}", plural
// suffixes ("_one", "_other") and nested keys. Unknown when nothing tells.
enum class JsonDialect : unsigned char { Unknown, I18next, FormatJs };
// Whether the root holds FormatJS's extracted messages.
bool holdsExtractedMessages(const json::Node &root);
JsonDialect jsonDialect(const json::Document &doc);

} // namespace tarnix::fill
