#include "service/text/placeholdergrammar.h"

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
                 (?<code> [\w./:+=,@\#-]+ (?: \x20+ --?[\w=.-]+ )* )
                 (?<parens> \( (?: [^()] | (?&parens) )* \) )
                 (?<list> \{ (?=[^{}]*?[a-z0-9]) [\w.+-]+ (?: [|,] [\w.+-]+ )+ \}
                        | < (?=[^<>]*?[a-z0-9]) [\w.+-]+ (?: \| [\w.+-]+ )+ > )
                 (?<conversion> (?: \* (?:[1-9][0-9]*\$)? | [0-9]+ )? (?: \. (?: \* (?:[1-9][0-9]*\$)? | [0-9]* ) )?
                   (?: <PRI[diouxX](?:(?:LEAST|FAST)?(?:8|16|32|64)|MAX|PTR)>
                     | (?:hh|h|ll|l|L|q|j|z|Z|t|I64|I32)? [diouxXeEfFgGaAcCsSpnm] ) ) )
      (?<percent> %% )
    | (?<printf> % (?<pos> [1-9][0-9]*\$ )?
        (?: [-+\#0'I]* (?&conversion) | [-+\#0'I]* \x20 [-+\x20\#0'I]* (?&conversion) (?![A-Za-z]) ) )
    | (?<python> %\( [^()\s]* \) [-+\x20\#0]* (?:\*|[0-9]+)? (?:\.(?:\*|[0-9]+))? [hlL]? [diouxXeEfFgGcrsa%] )
    | (?<ruby> %\{ [A-Za-z_]\w* \} | %< [A-Za-z_]\w* > [-+\x20\#0]* [0-9]* (?:\.[0-9]+)? [bBdiouxXeEfgGaAcps] )
    | (?<qt> %L?[1-9][0-9]? )
    | (?<strftime> %[-_0^\#+]?[0-9]*[EO]?[aAbBcCdDeFgGhHIjklmMnpPrRsStTuUVwWxXyYzZ+] (?![A-Za-z]) )
    | (?<icu> \{ \s* (?:[0-9]+|[A-Za-z_]\w*) \s* , \s*
        (?<icutype> plural|selectordinal|select|choice|number|date|time|spellout|ordinal|duration )
        \s* (?: , (?: [^{}] | (?&nested) )* )? \} )
    | (?<double> \{\{ [^{}]* \}\} )
    | (?<choices> \[= (?&list) \] | =? (?&list) )
    | (?<brace> \{ (?<field> [0-9]+ | [A-Za-z_]\w* )? (?: \.[A-Za-z_]\w* | \[[^\]{}]*\] )* (?: ![rsa] )?
        (?: : (?: [^{}] | \{[^{}]*\} )* )? \} )
    | (?<shell> \$\{ [\#!]? (?: [A-Za-z_]\w* | [0-9]+ | [@*\#?$!-] ) (?: [^{}] | (?&nested) )* \}
        | \$ (?&parens) | \$ (?: [A-Za-z_]\w* | [0-9](?![0-9]) | [@*\#?] ) )
    | (?<markup> <!--.*?--> | </?[A-Za-z][\w:.-]*
        (?: \s+ [\w:.-]+ (?: \s*=\s* (?: "[^"]*" | '[^']*' | [^\s"'<>=]+ ) )? )* \s* /?> )
    | (?<reference> & (?: [A-Za-z][A-Za-z0-9]* | \#[0-9]+ | \#[xX][0-9A-Fa-f]+ ) ; )
    | (?<escape> \\ (?: [nrtabfv0"'\\] | x[0-9A-Fa-f]{1,2} | u[0-9A-Fa-f]{4} | U[0-9A-Fa-f]{8} ) )
    | (?<url> (?: (?:https?|ftp|file):// | www\. ) [^\s<>"'`%{}$]* [^\s<>"'`%{}$.,;:!?)\]] )
    | (?<mail> [A-Za-z0-9][A-Za-z0-9._+-]* @ [A-Za-z0-9-]+ (?: \.[A-Za-z0-9-]+ )+ )
    | (?<option> (?<![\p{L}\p{N}_]) -- [A-Za-z0-9][\w-]* (?: \[=(?&list)\] | =(?&list) | \[?=[\w|-]*\]? )?
        | (?<![\p{L}\p{N}_-]) -[A-Za-z][\w-]* (?: =(?&list) | =[\w|-]* )? )
    | (?<identifier> (?<![\p{L}\p{N}_.-]) (?: [A-Za-z_]\w*\(\) | (?=\w*_)(?=\w*[A-Za-z])\w+ | [A-Za-z]*[a-z][A-Z][A-Za-z0-9]* ) (?![\w-]) )
    | (?<quoted> (?<![\p{L}\p{N}]) (?! [`'"‘“] [A-Z][a-z]+ [`'"’”] )
        (?: '(?&code)' | `(?&code)['`] | ‘(?&code)’ | "(?&code)" | “(?&code)” ) (?![\p{L}\p{N}]) )
    | (?<bracket> [⟦⟧] )
    | (?<invisible> \x1b \[ [0-?]* [\x20-/]* [@-~]
        | [\x00-\x08\x0e-\x1f\x7f-\x9f\p{Cf}\x{fdd0}-\x{fdef}\x{fffe}\x{ffff}]+ )
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
    static const QStringList notNouns {
        u"does"_s, u"this"_s, u"thus"_s, u"plus"_s, u"less"_s, u"unless"_s, u"always"_s, u"across"_s, u"perhaps"_s};
    if (end >= text.size() || text[end] != u' ')
        return false;
    qsizetype wordEnd = end + 1;
    while (wordEnd < text.size() && text[wordEnd] >= u'a' && text[wordEnd] <= u'z')
        ++wordEnd;
    const QStringView word = text.sliced(end + 1, wordEnd - end - 1);
    const QStringView rest = text.sliced(wordEnd);
    if (rest.startsWith(u"(s)"))
        return !word.isEmpty();
    const bool wordEnds = rest.isEmpty() || !rest.front().isLetterOrNumber();
    return wordEnds && word.size() >= 4 && word.endsWith(u's') && !notNouns.contains(word);
}

// The numbers of the grammar's named groups, looked up once.
struct Groups
{
    int printf, pos, python, ruby, qt, icu, icutype, brace, field, strftime, quoted, identifier, bracket, invisible;
};

const Groups &groups()
{
    static const Groups numbers = [] {
        const QStringList names = grammar().namedCaptureGroups();
        const auto number = [&names](QStringView name) { return int(names.indexOf(name.toString())); };
        return Groups {number(u"printf"), number(u"pos"), number(u"python"), number(u"ruby"), number(u"qt"),
            number(u"icu"), number(u"icutype"), number(u"brace"), number(u"field"), number(u"strftime"),
            number(u"quoted"), number(u"identifier"), number(u"bracket"), number(u"invisible")};
    }();
    return numbers;
}

// The role and kind of one match of the grammar.
Placeholder classify(const QRegularExpressionMatch &match, QStringView text)
{
    Placeholder found {match.capturedStart(), match.capturedLength(), Role::Positional, false};
    const QStringView whole = match.capturedView();
    const qsizetype end = match.capturedEnd();
    const Groups &g = groups();
    const auto has = [&match](int group) { return match.capturedStart(group) >= 0; };
    const QChar last = whole.back();
    if (has(g.printf)) {
        const bool takesArgument = last != u'm';
        found.role = has(g.pos) || !takesArgument ? Role::Positional : Role::Sequential;
        found.numeric = last == u'>' || u"diouxXeEfFgGaAn"_s.contains(last);
    } else if (has(g.python) || (has(g.ruby) && last != u'}')) {
        found.numeric = u"diouxXeEfFgGbB"_s.contains(last);
    } else if (has(g.ruby)) {
        found.numeric = isNumberName(whole.sliced(2).chopped(1)) || countsTheNextWord(text, end);
    } else if (has(g.qt)) {
        found.numeric = whole.startsWith(u"%L") || countsTheNextWord(text, end);
    } else if (has(g.icu)) {
        found.numeric =
            QStringList {u"number"_s, u"ordinal"_s, u"spellout"_s, u"duration"_s}.contains(match.captured(g.icutype));
    } else if (has(g.brace)) {
        const QStringView field = match.capturedView(g.field);
        const qsizetype colon = whole.indexOf(u':');
        const QChar conversion = colon >= 0 && whole.size() > colon + 2 ? whole[whole.size() - 2] : QChar();
        found.role = field.isEmpty() ? Role::Sequential : Role::Positional;
        found.numeric = u"bdnfFeEgGoxX%"_s.contains(conversion) && !conversion.isNull();
        found.numeric = found.numeric || isNumberName(field) || countsTheNextWord(text, end);
    } else if (has(g.strftime)) {
        found.numeric = u"CdeGgHIjklmMsSuUVwWyY"_s.contains(last);
    } else if (has(g.quoted) || has(g.identifier) || has(g.bracket) || has(g.invisible)) {
        found.role = Role::Kept;
    }
    return found;
}

} // namespace

QList<Placeholder> findPlaceholders(QStringView text)
{
    // One global match: each separate match would check the whole text's
    // encoding again.
    QList<Placeholder> found;
    auto it = grammar().globalMatch(text);
    while (it.hasNext())
        found.append(classify(it.next(), text));
    return found;
}

} // namespace tarnix::service
