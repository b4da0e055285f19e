#pragma once

#include <vector>

#include <QList>
#include <QString>
#include <QStringList>

namespace tarnix::fill {

// ICU MessageFormat messages ("{count, plural, one {# file} other {# files}}")
// taken apart with ICU's own parser (icu::MessagePattern), so that an engine
// sees only the message's words and the plural branches are rebuilt for the
// target language's CLDR categories.
//
// What an engine is asked is every literal text run of the message, nested
// branches included, trimmed of white space at its ends, with the simple
// arguments inside it ("{name}", "{d, date, short}") as written: the
// service's placeholder grammar keeps those. Argument names, types and
// styles, selectors ("one", "=0", "male"), "offset:" and the branches' braces
// stay in the skeleton and are never sent. A plural's "#" is not a
// placeholder to the grammar, so an engine may drop it: it is sent as a
// simple argument of a name the message does not use ("{count}", else
// "{n}", …) and put back as "#". Quoting is undone for the engine ("''" is
// an apostrophe, "'{'" a brace) and done again on the answer, as ICU's
// default apostrophe mode reads it.

// One piece of a text run.
struct IcuPiece
{
    enum class Kind { Literal, Argument, Number };
    Kind kind = Kind::Literal;
    QString text; // the literal text unquoted, or the argument as written; "#" for Number
};

// A node of a message: a text run, a plural, selectordinal or select
// argument (its branches as children), or one branch (its message's nodes as
// children).
struct IcuNode
{
    enum class Kind { Text, Plural, Ordinal, Select, Branch };
    Kind kind = Kind::Text;
    // Text: its pieces, whether a "#" would be a plural's number there, and
    // its number among the message's text runs.
    QList<IcuPiece> pieces;
    bool numberContext = false;
    int id = -1;
    // Plural, Ordinal, Select: the source from "{" to the first selector
    // ("{count, plural, offset:1 ") and from the last branch's "}" on ("}").
    // Branch: the white space before its selector, the selector as written
    // ("one", "=0"), and what stands between the selector and "{".
    QString head, tail;
    QString before, selector, between;
    std::vector<IcuNode> children;
};

// A message taken apart; error says why ICU cannot parse it.
struct IcuMessage
{
    QString error;
    std::vector<IcuNode> nodes;
    int textCount = 0;
    QString numberName; // the argument name "#" is sent as
};

IcuMessage parseIcuMessage(const QString &message);

// The texts to ask for a message filled into `language` (a catalog's code:
// "pl", "pt_BR", "sr@latin"): each text run that holds a letter, once, in
// the order of the message, of the branches the target keeps. Empty when
// the message has nothing to translate or does not parse.
QStringList icuTexts(const IcuMessage &message, const QString &language);

// The message for `language` from the answers to icuTexts(): every plural
// gets exactly the target's CLDR categories (cardinal for plural, ordinal for
// selectordinal), each from the source's branch of that category, else from
// its "other", and keeps its "=N" branches; a select keeps its branches. The
// result must parse with icu::MessageFormat for the target locale;
// otherwise error says why and message is empty.
struct IcuRebuilt
{
    QString message;
    QString error;
};
IcuRebuilt rebuildIcuMessage(const IcuMessage &message, const QString &language, const QStringList &answers);

// Why icu::MessageFormat cannot read `message` for `language`; empty when
// it can.
QString icuFormatError(const QString &message, const QString &language);

// One argument of a message as written, for --check: its name, its type
// ("plural", "select", "selectordinal", "number", "" for "{name}") and the
// selectors of its branches in order.
struct IcuArgument
{
    QString name;
    QString type;
    QStringList selectors;
};

// Every argument of a message, nested ones included, in the order they
// start; error says why ICU's MessagePattern cannot parse it, and
// missingOther whether that is a plural or select without "other".
struct IcuArguments
{
    QList<IcuArgument> arguments;
    QString error;
    bool missingOther = false;
};
IcuArguments icuArguments(const QString &message);

// The CLDR categories of the language's cardinal or ordinal numbers, in
// CLDR's order (zero one two few many other).
QStringList icuCategories(const QString &language, bool ordinal);

} // namespace tarnix::fill
