#pragma once

#include <vector>

#include <QHash>

#include "fill/formats/catalog.h"
#include "fill/formats/xmledit.h"

class QXmlStreamReader;

namespace tarnix::fill {

struct PlistMember;

// A value of an XML property list and where it lies: a <dict> with its
// members, a <string> with its text, anything else as it is.
struct PlistValue
{
    enum class Type : unsigned char { Dict, String, Other };
    Type type = Type::Other;
    QString text;
    xml::Span span;
    std::vector<PlistMember> members;
    const PlistValue *member(const QString &key) const;
    const PlistMember *find(const QString &key) const;
};

struct PlistMember
{
    QString key;
    xml::Span keySpan;
    PlistValue value;
};

// Apple's .stringsdict files ("en.lproj/Localizable.stringsdict"): each key
// holds an NSStringLocalizedFormatKey ("%#@files@", "Delete %#@files@?")
// and a dictionary per variable. A variable of NSStringPluralRuleType is one
// plural entry whose forms go by the target language's CLDR categories
// (the source's "one" and "other"); a form the source has in a category its
// own language lacks (English "zero", which Foundation uses for 0 in every
// language) is an entry of its own, written as that key in every language
// whose rule lacks that category too (Latvian's "zero" takes 10 to 20 as
// well: there the plural's translation goes). A
// format key with words of its own is an entry too. The keys naming the
// format specifier's type and the value's type stay as the source has them;
// other rule types are left alone.
//
// A target that exists is edited in place: empty and missing category keys
// are filled where they belong, a key it lacks is the source's, laid out as
// the source lays it out, after the key it follows there. A new target is the
// source with the filled keys alone.
class StringsdictFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }
    bool pluralByCategory() const override { return true; }

private:
    // One entry: its key in the root dictionary, and the variable and
    // category it fills (none: the format key; no category: the plural).
    struct Unit
    {
        QString key;
        QString variable;
        QString category;
        bool blank = false; // a plural whose source forms are all empty: written empty
    };
    QString keyText(const PlistMember &sourceKey, const QHash<int, QStringList> &forms, const QString &language,
        bool &complete) const;

    xml::Document m_source;
    xml::Document m_target;
    bool m_hasTarget = false;
    PlistValue m_sourceRoot;
    PlistValue m_targetRoot;
    QList<Unit> m_units;
    QHash<QString, QList<int>> m_unitsOf; // a root key -> its units, in order
    QString m_sourceLanguage;
};

// The root dictionary of an XML property list; false with "file:line: what"
// when the text is no such list.
bool readPlist(const xml::Document &doc, PlistValue &root, QString &error);

} // namespace tarnix::fill
