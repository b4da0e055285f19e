#include "service/text/placeholdergrammar.h"

#include <algorithm>
#include <utility>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Role = Placeholder::Role;
using Kind = Placeholder::Kind;

// Alternatives are tried left to right at each position, so a longer form
// comes before a shorter one it starts with. Each named group is one class.
// Options, shell names and keywords are whole words in any script: never cut
// at the first letter outside ASCII ("-SEÑAL", "$défaut").
const QRegularExpression &grammar()
{
    static const QRegularExpression pattern(uR"re(
      (?(DEFINE) (?<nested> \{ (?: [^{}] | (?&nested) )* \} )
                 (?<code> [\w./:+=,@\#-]+ (?: \x20+ --?[\w=.-]+ )* )
                 (?<parens> \( (?: [^()] | (?&parens) )* \) )
                 (?<item> \#?[\w.+-]+ )
                 (?<list> \{ (?=[^{}]*?[a-z0-9]) (?&item) (?: [|,] (?&item) )+ \}
                        | < (?=[^<>]*?[a-z0-9]) [\w.+-]+ (?: \| [\w.+-]+ )+ > )
                 (?<conversion> (?: \* (?:[1-9][0-9]*\$)? | [0-9]+ )? (?: \. (?: \* (?:[1-9][0-9]*\$)? | [0-9]* ) )?
                   (?: <PRI[diouxX](?:(?:LEAST|FAST)?(?:8|16|32|64)|MAX|PTR)>
                     | (?:hh|h|ll|l|L|q|j|z|Z|t|I64|I32)? [diouxXeEfFgGaAcCsSpnm@] | R[NZUDAY]? [aAbeEfFgG] (?![A-Za-z]) ) )
                 (?<pyconversion> (?:\*|[0-9]+)? (?:\.(?:\*|[0-9]+))? [hlL]? [diouxXeEfFgGcrsa%] )
                 (?<name> [\p{L}\p{N}_]+ (?: (?: -(?![A-Z][a-z]) | \. ) [\p{L}\p{N}_]+ )* ) )
      (?<percentword> %% [\p{L}_] (?&name)? (?![\p{L}\p{N}]) (?: \[ [^\]\s]* \] )? )
    | (?<percent> %% )
    | (?<substitution> %arg (?![\p{L}\p{N}_]) )
    | (?<printf> % (?<pos> [1-9][0-9]*\$ )?
        (?: \#@ [A-Za-z_][\w.]* @ | [-+\#0'I]* (?&conversion) | [-+\#0'I]* \x20 [-+\x20\#0'I]* (?&conversion) (?![A-Za-z]) ) )
    | (?<python> %\( [^()\s]* \) (?: [-+\#0]* (?&pyconversion) | [-+\#0]* \x20 [-+\x20\#0]* (?&pyconversion) (?![A-Za-z]) ) )
    | (?<ruby> %\{ [A-Za-z_]\w* \} | %< [A-Za-z_]\w* > [-+\x20\#0]* [0-9]* (?:\.[0-9]+)? [bBdiouxXeEfgGaAcps] )
    | (?<qt> %L?[1-9][0-9]? )
    | (?<strftime> %[-_0^\#+]?[0-9]*[EO]?[aAbBcCdDeFgGhHIjklmMnpPrRsStTuUVwWxXyYzZ+] (?![A-Za-z]) )
    | (?<keyword> (?<![\p{L}\p{N}_%]) % [a-z][a-z0-9_]* (?: -[a-z0-9_]+ )* (?![\p{L}\p{N}_]) (?: \[ [^\]\s]* \] )?
        | (?<![\p{L}\p{N}_.\\/-]) \. [a-z][a-z0-9_]* (?![\p{L}\p{N}_]) )
    | (?<icu> \{ \s* (?:[0-9]+|[A-Za-z_]\w*) \s* , \s*
        (?<icutype> plural|selectordinal|select|choice|number|date|time|spellout|ordinal|duration )
        \s* (?: , (?: [^{}] | (?&nested) )* )? \} )
    | (?<double> \{\{ [^{}]* \}\} )
    | (?<choices> \[= (?&list) \] | =? (?&list) )
    | (?<brace> \{ (?<field> [0-9]+ | [A-Za-z_]\w* )? (?: \.[A-Za-z_]\w* | \[[^\]{}]*\] )* (?: ![rsa] )?
        (?: : (?: [^{}] | \{[^{}]*\} )* )? \} )
    | (?<shell> \$\{ [\#!]? (?: [A-Za-z_]\w* | [0-9]+ | [@*\#?$!-] ) (?: [^{}] | (?&nested) )* \}
        | \$t? (?&parens) | \$ (?: [\p{L}_][\p{L}\p{N}_]* | [0-9](?![0-9]) | [@*\#?] ) )
    | (?<markup> <!--.*?--> | </?[0-9]+/?> | </?[A-Za-z][\w:.-]*
        (?: \s+ [\w:.-]+ (?: \s*=\s* (?: "[^"]*" | '[^']*' | [^\s"'<>=]+ ) )? )* \s* /?> )
    | (?<reference> & (?: [A-Za-z][A-Za-z0-9]* | \#[0-9]+ | \#[xX][0-9A-Fa-f]+ ) ; )
    | (?<escape> \\ (?: [nrtabfv0\\] | (?<![`'"‘“]\\)["'] | x[0-9A-Fa-f]{1,2} | u[0-9A-Fa-f]{4} | U[0-9A-Fa-f]{8} ) )
    | (?<url> (?: (?:https?|ftp|file):// | www\. ) [^\s<>"'`%{}$]* [^\s<>"'`%{}$.,;:!?)\]] )
    | (?<mail> [A-Za-z0-9][A-Za-z0-9._+-]* @ [A-Za-z0-9-]+ (?: \.[A-Za-z0-9-]+ )+ )
    | (?<option> (?<= ^ | [\s\p{Z}(\[{|,=/;<>] | ^[`'"‘“«»„‚] | [\s\p{Z}(\[{|,/][`'"‘“«»„‚] )
        (?: -- [A-Za-z0-9] (?&name)? (?: \[=(?&list)\] | =(?&list) | \[?=[\p{L}\p{N}_|-]*\]? )?
          | - \p{L} (?&name)? (?: =(?&list) | =[\p{L}\p{N}_|-]* )? ) (?![\p{L}\p{N}]) )
    | (?<identifier> (?<![\p{L}\p{N}_.-]) (?: [A-Za-z_]\w*\(\) | (?=\w*_)(?=\w*[A-Za-z])\w+ | [A-Za-z]*[a-z][A-Z][A-Za-z0-9]* ) (?! \w | -(?![A-Z][a-z]) ) )
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

// The numbers of the grammar's named groups, looked up once: the inner
// groups classify reads, and each alternative with the kind it finds.
struct Groups
{
    int pos, icutype, field;
    QList<std::pair<int, Kind>> kinds;
};

const Groups &groups()
{
    static const Groups numbers = [] {
        const QStringList names = grammar().namedCaptureGroups();
        const auto number = [&names](QStringView name) { return int(names.indexOf(name.toString())); };
        const std::pair<QStringView, Kind> alternatives[] {{u"percentword", Kind::Directive},
            {u"percent", Kind::Percent}, {u"substitution", Kind::Ruby}, {u"printf", Kind::Printf},
            {u"python", Kind::Python}, {u"ruby", Kind::Ruby}, {u"qt", Kind::Qt}, {u"strftime", Kind::Strftime},
            {u"keyword", Kind::Directive}, {u"icu", Kind::Icu}, {u"double", Kind::DoubleBrace},
            {u"choices", Kind::Values}, {u"brace", Kind::Brace}, {u"shell", Kind::Shell}, {u"markup", Kind::Markup},
            {u"reference", Kind::Reference}, {u"escape", Kind::Escape}, {u"url", Kind::Url}, {u"mail", Kind::Mail},
            {u"option", Kind::Option}, {u"identifier", Kind::Identifier}, {u"quoted", Kind::Quoted},
            {u"bracket", Kind::Bracket}, {u"invisible", Kind::Invisible}};
        Groups found {number(u"pos"), number(u"icutype"), number(u"field"), {}};
        for (const auto &[name, kind] : alternatives)
            found.kinds.append({number(name), kind});
        return found;
    }();
    return numbers;
}

// Capitals and digits with an underscore: an environment variable or a macro.
bool isEnvironmentName(QStringView word)
{
    static const QRegularExpression name(u"^[A-Z][A-Z0-9]*(?:_+[A-Z0-9]+)+$"_s);
    return name.match(word).hasMatch();
}

// The role and kind of one match of the grammar.
Placeholder classify(const QRegularExpressionMatch &match, QStringView text)
{
    const Groups &g = groups();
    const auto has = [&match](int group) { return match.capturedStart(group) >= 0; };
    const auto kind = std::find_if(g.kinds.begin(), g.kinds.end(), [&](const auto &k) { return has(k.first); });
    Placeholder found {match.capturedStart(), match.capturedLength(), Role::Positional, false, kind->second};
    const QStringView whole = match.capturedView();
    const qsizetype end = match.capturedEnd();
    const QChar last = whole.back();
    switch (found.kind) {
    case Kind::Printf:
        found.role = has(g.pos) || last == u'm' ? Role::Positional : Role::Sequential;
        found.numeric = last == u'>' || u"diouxXeEfFgGaAn"_s.contains(last);
        break;
    case Kind::Python:
        found.numeric = u"diouxXeEfFgGbB"_s.contains(last);
        break;
    case Kind::Ruby:
        found.numeric = last == u'}' ? isNumberName(whole.sliced(2).chopped(1)) || countsTheNextWord(text, end)
                                     : u"diouxXeEfFgGbB"_s.contains(last);
        break;
    case Kind::Qt:
        found.numeric = whole.startsWith(u"%L") || countsTheNextWord(text, end);
        break;
    case Kind::Icu:
        found.numeric =
            QStringList {u"number"_s, u"ordinal"_s, u"spellout"_s, u"duration"_s}.contains(match.captured(g.icutype));
        break;
    case Kind::Brace: {
        const QStringView field = match.capturedView(g.field);
        const qsizetype colon = whole.indexOf(u':');
        const QChar conversion = colon >= 0 && whole.size() > colon + 2 ? whole[whole.size() - 2] : QChar();
        found.role = field.isEmpty() ? Role::Sequential : Role::Positional;
        found.numeric = u"bdnfFeEgGoxX%"_s.contains(conversion) && !conversion.isNull();
        found.numeric = found.numeric || isNumberName(field) || countsTheNextWord(text, end);
        break;
    }
    case Kind::Strftime:
        found.numeric = u"CdeGgHIjklmMsSuUVwWyY"_s.contains(last);
        break;
    case Kind::Identifier:
        found.role = isEnvironmentName(whole) ? Role::Positional : Role::Kept;
        break;
    case Kind::Quoted:
    case Kind::Bracket:
    case Kind::Invisible:
        found.role = Role::Kept;
        break;
    default:
        break;
    }
    return found;
}

// Gives each printf conversion the argument it converts: the one it numbers,
// or the next after those the conversions and "*" widths before it took.
void numberArguments(QList<Placeholder> &found, QStringView text)
{
    static const QRegularExpression numbered(u"^%([1-9][0-9]*)\\$"_s);
    int next = 1;
    for (Placeholder &p : found) {
        if (p.kind != Kind::Printf || text[p.start + p.length - 1] == u'm')
            continue;
        const QStringView whole = text.sliced(p.start, p.length);
        if (const auto position = numbered.match(whole); position.hasMatch()) {
            p.argument = position.capturedView(1).toInt();
            continue;
        }
        // A "*" without "n$" takes an argument of its own before the value's.
        for (qsizetype i = 0; i < whole.size(); ++i) {
            if (whole[i] == u'*' && !(i + 1 < whole.size() && whole[i + 1].isDigit()))
                ++next;
        }
        p.argument = next++;
    }
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
    numberArguments(found, text);
    return found;
}

} // namespace tarnix::service
