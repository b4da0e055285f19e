#pragma once

#include <QHash>
#include <QSet>

#include "fill/formats/catalog.h"

// A YAML reader that notes where every node lies in the file's bytes, from
// libyaml's events and their marks, so that values are spliced in place and
// every other byte stays as it was.
namespace tarnix::fill::yaml {

struct Node
{
    enum class Type : unsigned char { Mapping, Sequence, Scalar, Alias };
    Type type = Type::Scalar;
    QString text; // a scalar's value
    int style = 0; // libyaml's yaml_scalar_style_t
    bool plain = false; // a plain scalar without a tag: YAML resolves its type from its text
    QString tag;
    QString anchor;
    bool flow = false; // a flow mapping or sequence ("{a: b}", "[a, b]")
    qsizetype start = 0; // the node's first byte (its anchor or tag, if any)
    qsizetype end = 0; // one past its last byte
    int line = 0; // 1-based
    int column = 0;
    // As a member of a mapping: its key, where it lies, and its column.
    QString key;
    qsizetype keyStart = -1;
    qsizetype keyEnd = -1;
    int keyColumn = 0;
    int keyLine = 0;
    QList<Node> members; // a mapping's values (keys above) or a sequence's items
    QHash<QString, int> byName;

    bool isMapping() const { return type == Type::Mapping; }
    bool isSequence() const { return type == Type::Sequence; }
    bool isScalar() const { return type == Type::Scalar; }
    // A scalar that YAML reads as a string, as Ruby's Psych reads it (YAML
    // 1.1: yes/no/on/off are booleans, ":name" a symbol).
    bool isText() const;
    // A scalar that YAML reads as null: nothing, "~", "null".
    bool isNull() const;
    const Node *member(const QString &name) const;
    int indexOf(const QString &name) const;
};

struct Document
{
    QString path;
    QByteArray bytes;
    Node root;
    QByteArray lineBreak = "\n";
    int indentUnit = 2; // one level of a nested mapping, as the file indents
};

// Parses bytes (the first document); false with "file:line: what".
bool parse(const QByteArray &bytes, const QString &path, Document &doc, QString &error);

// A scalar as a YAML value after "key:", its leading space included, in
// the style given (libyaml's) where the text allows it, else double-quoted
// with YAML's escapes; a block scalar's lines indented past `column`.
QByteArray scalar(const QString &text, int style, int column, const Document &doc);

} // namespace tarnix::fill::yaml

namespace tarnix::fill {

// Rails' YAML catalogs: "config/locales/en.yml" beside "it.yml", a tree of
// "config/locales/en/*.yml" or "*.en.yml"; the root key is the language. An
// entry's key is its key path below the root ("activerecord.errors.blank");
// "%{name}" stays as written. A mapping whose keys are all CLDR plural
// categories is one plural entry, written with the target language's
// categories; a "zero" the target's rules lack stays an entry of its own
// (Rails shows it for a count of 0 in every language). Lists of texts are
// entries by index. Numbers, booleans, nulls, symbols, aliases and the
// lists of those are never sent. A target is edited in place; a new target
// is the source with the filled values, the root key renamed and the texts
// not filled left out.
class RailsYamlFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    bool marksReview() const override { return false; }
    bool pluralByCategory() const override { return true; }

    struct Unit
    {
        QStringList path;
        const yaml::Node *node = nullptr; // the scalar, or the plural's mapping
        bool plural = false;
    };

private:
    struct Writer;
    void collect(const yaml::Node &mapping, const QStringList &path);

    yaml::Document m_source;
    yaml::Document m_target;
    bool m_fresh = true; // no target yet: it starts as the source
    QList<Unit> m_units;
    QHash<const yaml::Node *, int> m_unitOf;
    QStringList m_categories;
};

// The language a Rails catalog's path names: "it.yml", "devise.it.yml",
// "locales/it/devise.yml"; empty when it names none.
QString railsFileLanguage(const QString &path);
// "config/locales/en.yml" -> "config/locales/pt-BR.yml", and the other layouts alike.
QString railsTargetFor(const QString &source, const QString &language);
QString railsSourceFor(const QString &target, const QString &sourceLanguage);

} // namespace tarnix::fill
