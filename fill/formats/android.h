#pragma once

#include <optional>

#include <QHash>

#include "fill/formats/catalog.h"
#include "fill/formats/xmledit.h"

class QXmlStreamReader;

namespace tarnix::fill {

// A resource value's text as Android reads it (aapt2): the character data
// of each text node, CDATA and entities included, with runs of white space
// outside double quotes made one space, the quotes dropped, the escapes \'
// \" \\ \n \t \@ \? \uXXXX resolved; a value without styling elements
// trimmed at both ends. Inline elements stand in it as they are shown.
struct AndroidPiece
{
    QString text; // a text node's character data, or an element's shown form
    bool element = false;
};
QString androidText(const QList<AndroidPiece> &pieces, bool styled);

// A translation written as Android reads it back into the same text: the
// inline elements it shows written as the source has them, the rest
// escaped (\' \" \\ \n \t, a leading \@ or \?, a space that white space
// collapsing would drop as \u0020, control characters as \uXXXX) and, as
// element content, '&' '<' as entities; in a CDATA section only its end
// "]]>" is split. nullopt when a character cannot be held (a Latin-1 file).
std::optional<QString> androidEscaped(
    const QString &translation, const QList<xml::Inline> &inlines, bool cdata, const xml::Document *document = nullptr);

// Android's string resources: "res/values/strings.xml" holds the source
// texts, "res/values-it/strings.xml" and "res/values-pt-rBR/strings.xml"
// their translations. A <string> is one entry, a <plurals> one plural entry
// with an <item> per CLDR category of the target language, each text item
// of a <string-array> one entry ("planets[2]"); what is translatable="false",
// tools:ignore="MissingTranslation" or a reference ("@string/app_name") is
// neither copied nor filled. <xliff:g> elements stand in a text as one
// empty tag and inline markup (<b>, <i>, <u>, <annotation>) as its tags; both
// go back into the translation as the source has them. A target that exists
// is edited in place: a new resource goes where the source has it, indented
// as its neighbours. A new target has the source's root element with its
// namespaces and the filled resources alone. Android has no review mark: the
// fills are kept in the review record.
class AndroidFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }
    bool pluralByCategory() const override { return true; }

    // One value as a file holds it: a <string>, or an <item> of a <plurals>
    // or <string-array>.
    struct Value
    {
        QString text; // as Android reads it, inline elements shown
        QList<xml::Inline> inlines;
        xml::Span span; // the element
        bool cdata = false; // its content one CDATA section: a translation goes into one too
        bool reference = false; // "@string/x", "?attr/y": no text of its own
        QString quantity; // a plural item's
    };
    enum class Kind : unsigned char { String, Plurals, Array };
    struct Resource
    {
        Kind kind = Kind::String;
        QString key; // name, a product after keySeparator
        QString product;
        bool translatable = true;
        xml::Span span;
        Value value; // a string's
        QList<Value> items; // a plural's or an array's
        QStringList notes; // the comment before it
    };
    struct File
    {
        xml::Document document;
        xml::Span root;
        QList<Resource> resources;
        QHash<std::pair<int, QString>, qsizetype> byKey; // the first of each type and key
        QString toolsPrefix; // the prefix of Android's tools namespace, for tools:locale
        QHash<QString, QString> namespaces; // prefix -> URI, as the root declares them
    };

private:
    // One entry: a resource, and for an array the item.
    struct Unit
    {
        qsizetype resource = 0;
        qsizetype item = -1;
    };
    struct Writing;
    bool readFile(const QString &path, File &file, QString &error) const;
    void readResource(QXmlStreamReader &reader, File &file, Kind kind, const QStringList &notes) const;
    const Resource *targetOf(const Resource &source) const;
    // The inline elements of every item of a plural, for its forms.
    static Value pluralValue(const Resource &resource);
    // The items of a new <plurals> or <string-array>, each whole; none when
    // it cannot be written whole.
    QStringList newItems(qsizetype resource, Writing &writing) const;
    // Everything between a new plural's or array's tags, laid out as the
    // source has it, at the indentation `indent`.
    QString itemsContent(qsizetype resource, Writing &writing, const QString &indent) const;
    // A source resource as a new element of the file written; empty when nothing is filled.
    QString element(qsizetype resource, Writing &writing, const QString &indent) const;
    QString newFile(Writing &writing) const;
    QList<xml::Edit> targetEdits(Writing &writing) const;
    template <typename SetContent>
    void fillExisting(qsizetype resource, const Resource &there, Writing &writing, QList<xml::Edit> &edits,
        const SetContent &setContent) const;

    File m_source;
    File m_target;
    bool m_hasTarget = false;
    bool m_sameFile = false;
    QList<Unit> m_units;
};

} // namespace tarnix::fill
