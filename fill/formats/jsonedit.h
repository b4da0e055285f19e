#pragma once

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the JSON catalog formats share: a reader that notes where every value
// lies in the file's bytes, strings written back as the file writes them, and
// the edits that put a value in place or add a member beside its neighbours.
// Nothing is ever re-serialised: every byte no edit covers stays as it was.
namespace tarnix::fill::json {

// One value of a document and where it lies in the file's bytes.
struct Node
{
    enum class Type : unsigned char { Object, Array, String, Null, Other };
    Type type = Type::Other;
    QString key; // the member's name; empty for an array item and the root
    qsizetype keyStart = -1; // the opening quote of the member's name; -1 for an array item and the root
    qsizetype start = 0; // the value's first byte
    qsizetype end = 0; // one past its last byte
    QString text; // a string's value, decoded
    QList<Node> members; // an object's members or an array's items, in the file's order
    // A large object's members by name (the last of a name), so that a flat
    // catalog of thousands of keys is not searched from its end for each.
    QHash<QString, int> byName;

    bool isObject() const { return type == Type::Object; }
    bool isArray() const { return type == Type::Array; }
    bool isString() const { return type == Type::String; }
    // A string or null (a key i18next-parser and others leave for a translation to come).
    bool holdsText() const { return type == Type::String || type == Type::Null; }
    // The member of that name (the last, as JSON parsers take it); null when none.
    const Node *member(const QString &name) const;
    int indexOf(const QString &name) const;
};

// A JSON file as read: its bytes, its values, and how it writes what is new.
struct Document
{
    QString path;
    QByteArray bytes;
    Node root;
    // How the file writes strings and members, for the ones an edit adds.
    bool asciiOnly = false; // characters beyond ASCII as \u escapes (only where the file writes them so)
    bool upperHex = false; // "\u00E9" rather than "\u00e9"
    bool escapedSlash = false; // "\/" as PHP writes it
    QByteArray colon = ": "; // between a member's name and its value
    QByteArray indentUnit = "  "; // one level of indentation; empty in a file on one line
    bool finalNewline = true;
    bool crlf = false; // lines end in CR LF (as the first line does)
    QList<qsizetype> lineStarts; // the offset of each line's first byte, for lineAt()

    // The 1-based line of a byte offset, by a binary search: a catalog asks it
    // for every entry.
    int lineAt(qsizetype offset) const;
};

// What a reader needs of a large document: of the objects named `under` at
// `depth` (the root's members are at depth 1), the members `keep` accepts
// are read whole; the others only as their place in the file (type and
// offsets, no text or members). A string catalog read for one language
// needs no other language's units.
struct Pruning
{
    QString under;
    int depth = -1;
    std::function<bool(const QString &key)> keep;
};

// Parses bytes into doc (path for messages); false with "file:line: what".
bool parse(const QByteArray &bytes, const QString &path, Document &doc, QString &error, const Pruning &pruning = {});
// Reads and parses a file.
bool load(const QString &path, Document &doc, QString &error, const Pruning &pruning = {});

// The text as a JSON string literal, quotes included, escaped as the document escapes.
QByteArray quoted(const QString &text, const Document &style);

// A member an edit adds (or an array's item, whose key is unused): a string,
// another value's bytes as written, an object or an array.
struct NewMember
{
    QString key;
    QString text; // the value of a string member
    QByteArray raw; // when not empty, the value as written (a number, a copied string)
    QList<NewMember> members; // an object's members or an array's items
    bool object = false;
    bool array = false;
};

// A member as written at the given indentation of its line, nested objects
// and arrays one level deeper per the document's unit.
QByteArray written(const NewMember &member, const QByteArray &indent, const Document &style);

// A whole document holding the members, as the style writes it, with its final newline.
QByteArray writtenDocument(const QList<NewMember> &members, const Document &style);

struct Edit
{
    qsizetype start = 0;
    qsizetype end = 0;
    QByteArray text;
};

// Where new members go in an object: after one of its members (index), or,
// with index -1, before its first member or into an empty object.
struct Insertion
{
    const Node *object = nullptr;
    int after = -1;
    QList<NewMember> members;
};

// The edit that adds the members, each on a line of its own indented as
// its neighbours (or as the file writes an object on one line), with the
// one comma JSON needs.
Edit insertionEdit(const Insertion &insertion, const Document &doc);

// The bytes with the edits applied; edits do not overlap.
QByteArray applied(const QByteArray &bytes, QList<Edit> edits);

} // namespace tarnix::fill::json
