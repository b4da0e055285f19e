#include "service/text/placeholdergrammar.h"

#include <optional>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Role = Placeholder::Role;

// Alternatives are tried left to right at each position, so a longer form
// comes before a shorter one it starts with. Each named group is one class.
const QRegularExpression &grammar()
{
    static const QRegularExpression pattern(uR"re(
      (?(DEFINE) (?<nested> \{ (?: [^{}] | (?&nested) )* \} )
                 (?<code> [\w./:+=,@\#-]+ (?: \x20+ --?[\w=.-]+ )* ) )
      (?<percent> %% )
    | (?<printf> % (?<pos> [1-9][0-9]*\$ )? (?<flags> [-+\x20\#0'I]* )
        (?: \* (?:[1-9][0-9]*\$)? | [0-9]+ )? (?: \. (?: \* (?:[1-9][0-9]*\$)? | [0-9]* ) )?
        (?: <PRI[diouxX](?:(?:LEAST|FAST)?(?:8|16|32|64)|MAX|PTR)>
          | (?:hh|h|ll|l|L|q|j|z|Z|t|I64|I32)? [diouxXeEfFgGaAcCsSpnm] ) )
    | (?<python> %\( [^()\s]* \) [-+\x20\#0]* (?:\*|[0-9]+)? (?:\.(?:\*|[0-9]+))? [hlL]? [diouxXeEfFgGcrsa%] )
    | (?<ruby> %\{ [A-Za-z_]\w* \} | %< [A-Za-z_]\w* > [-+\x20\#0]* [0-9]* (?:\.[0-9]+)? [bBdiouxXeEfgGaAcps] )
    | (?<qt> %L?[1-9][0-9]? )
    | (?<strftime> %[-_0^\#]?[0-9]*[EO]?[aAbBcCdDeFgGhHIjklmMnpPrRsStTuUVwWxXyYzZ+] (?![A-Za-z]) )
    | (?<icu> \{ \s* (?:[0-9]+|[A-Za-z_]\w*) \s* , \s*
        (?<icutype> plural|selectordinal|select|choice|number|date|time|spellout|ordinal|duration )
        \s* (?: , (?: [^{}] | (?&nested) )* )? \} )
    | (?<double> \{\{ [^{}]* \}\} )
    | (?<brace> \{ (?<field> [0-9]+ | [A-Za-z_]\w* )? (?: \.[A-Za-z_]\w* | \[[^\]{}]*\] )* (?: ![rsa] )?
        (?: : (?: [^{}] | \{[^{}]*\} )* )? \} )
    | (?<shell> \$\{ [A-Za-z_]\w* (?: [:\#%/^,@?+=-] [^{}]* )? \} | \$[A-Za-z_]\w* )
    | (?<markup> <!--.*?--> | </?[A-Za-z][\w:.-]*
        (?: \s+ [\w:.-]+ (?: \s*=\s* (?: "[^"]*" | '[^']*' | [^\s"'<>=]+ ) )? )* \s* /?> )
    | (?<reference> & (?: [A-Za-z][A-Za-z0-9]* | \#[0-9]+ | \#[xX][0-9A-Fa-f]+ ) ; )
    | (?<escape> \\ (?: [nrtabfv0"'\\] | x[0-9A-Fa-f]{1,2} | u[0-9A-Fa-f]{4} | U[0-9A-Fa-f]{8} ) )
    | (?<url> (?: (?:https?|ftp|file):// | www\. ) [^\s<>"'`%{}$]* [^\s<>"'`%{}$.,;:!?)\]] )
    | (?<mail> [A-Za-z0-9][A-Za-z0-9._+-]* @ [A-Za-z0-9-]+ (?: \.[A-Za-z0-9-]+ )+ )
    | (?<option> (?<!\w) -- [A-Za-z0-9][\w-]* (?: \[?=[\w|-]*\]? )? | (?<![\w-]) -[A-Za-z] (?![\w-]) )
    | (?<identifier> (?<![\w.-]) (?: [A-Za-z_]\w*\(\) | (?=\w*_)(?=\w*[A-Za-z])\w+ | [A-Za-z]*[a-z][A-Z][A-Za-z0-9]* ) (?![\w-]) )
    | (?<quoted> (?<![\p{L}\p{N}])
        (?: '(?&code)' | `(?&code)['`] | ‘(?&code)’ | "(?&code)" | “(?&code)” ) (?![\p{L}\p{N}]) )
    | (?<bracket> [⟦⟧] )
    )re"_s,
        QRegularExpression::ExtendedPatternSyntaxOption | QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// Names of fields that by convention hold a number ("{count}", "%{total}").
bool isNumberName(QStringView name)
{
    static const QRegularExpression numberName(
        uR"(^(?:n|num\w*|\w*count|total|amount|size|length|len|index|percent|seconds|minutes|hours|days|bytes|width|height|limit|max|min)$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return numberName.match(name).hasMatch();
}

// "%1 minutes", "{0} files": a field before a plural noun counts something.
bool countsTheNextWord(QStringView text, qsizetype end)
{
    static const QRegularExpression pluralNoun(
        uR"(\G\x20(?!(?:does|this|thus|plus|less|unless|always|across|perhaps|besides)\b)(?:[a-z]{3,}s|[a-z]+\(s\))\b)"_s);
    return pluralNoun.match(text, end).hasMatch();
}

bool isLetterAt(QStringView text, qsizetype index)
{
    return index < text.size() && text[index].isLetter();
}

// A match the grammar's classes accept, with its role and kind; empty for a
// match that only looks like one ("50% done", 'Cancel').
std::optional<Placeholder> classify(const QRegularExpressionMatch &match, QStringView text)
{
    Placeholder found {match.capturedStart(), match.capturedLength(), Role::Positional, false};
    const QStringView whole = match.capturedView();
    const qsizetype end = match.capturedEnd();
    const auto has = [&match](QStringView group) { return match.capturedStart(group) >= 0; };
    const QChar last = whole.back();
    if (has(u"printf")) {
        if (match.capturedView(u"flags").contains(u' ') && isLetterAt(text, end))
            return std::nullopt;
        const bool takesArgument = last != u'm';
        found.role = has(u"pos") || !takesArgument ? Role::Positional : Role::Sequential;
        found.numeric = last == u'>' || u"diouxXeEfFgGaAn"_s.contains(last);
    } else if (has(u"python") || (has(u"ruby") && last != u'}')) {
        found.numeric = u"diouxXeEfFgGbB"_s.contains(last);
    } else if (has(u"ruby")) {
        found.numeric = isNumberName(whole.sliced(2).chopped(1)) || countsTheNextWord(text, end);
    } else if (has(u"qt")) {
        found.numeric = whole.startsWith(u"%L") || countsTheNextWord(text, end);
    } else if (has(u"icu")) {
        found.numeric =
            QStringList {u"number"_s, u"ordinal"_s, u"spellout"_s, u"duration"_s}.contains(match.captured(u"icutype"));
    } else if (has(u"brace")) {
        const QStringView field = match.capturedView(u"field");
        const qsizetype colon = whole.indexOf(u':');
        const QChar conversion = colon >= 0 && whole.size() > colon + 2 ? whole[whole.size() - 2] : QChar();
        found.role = field.isEmpty() ? Role::Sequential : Role::Positional;
        found.numeric = u"bdnfFeEgGoxX%"_s.contains(conversion) && !conversion.isNull();
        found.numeric = found.numeric || isNumberName(field) || countsTheNextWord(text, end);
    } else if (has(u"strftime")) {
        found.numeric = u"CdeGgHIjklmMsSuUVwWyY"_s.contains(last);
    } else if (has(u"quoted")) {
        // A capitalised plain word in quotes is a label to translate ('Cancel').
        static const QRegularExpression label(u"^.[A-Z][a-z]+.$"_s);
        if (label.match(whole).hasMatch())
            return std::nullopt;
        found.role = Role::Kept;
    } else if (has(u"identifier") || has(u"bracket")) {
        found.role = Role::Kept;
    }
    return found;
}

} // namespace

QList<Placeholder> findPlaceholders(QStringView text)
{
    QList<Placeholder> found;
    qsizetype from = 0;
    while (from < text.size()) {
        const QRegularExpressionMatch match = grammar().match(text, from);
        if (!match.hasMatch())
            break;
        if (const auto placeholder = classify(match, text)) {
            found.append(*placeholder);
            from = match.capturedEnd();
        } else {
            from = match.capturedStart() + 1;
        }
    }
    return found;
}

} // namespace tarnix::service
