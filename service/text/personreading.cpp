#include "service/text/personreading.h"

#include <algorithm>

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Kind = Placeholder::Kind;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'-';
}

// How often `word` stands in `text` as a whole word.
int wholeWordCount(QStringView text, QStringView word)
{
    int count = 0;
    for (qsizetype at = text.indexOf(word); at >= 0 && !word.isEmpty(); at = text.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || !isWordChar(text[at - 1])) && (end == text.size() || !isWordChar(text[end])))
            ++count;
    }
    return count;
}

// "--sort[={a,b}]" -> "--sort" and "{a,b}"; "--output=FILE" -> "--output" and "FILE".
std::pair<QString, QString> optionParts(const QString &option)
{
    static const QRegularExpression valueStart(u"\\[?="_s);
    const qsizetype cut = option.indexOf(valueStart);
    if (cut < 0)
        return {option, QString()};
    QString value = option.sliced(cut);
    value.remove(0, value.startsWith(u'[') ? 2 : 1);
    if (option.at(cut) == u'[' && value.endsWith(u']'))
        value.chop(1);
    return {option.first(cut), value};
}

// An option's value that names what the user gives (FILE, NUM; "progfile" in
// "-f progfile --file=progfile"), not a literal the user types ("never").
bool isMetavariable(const QString &value, QStringView source)
{
    if (value.isEmpty())
        return true;
    if (value.startsWith(u'{') || value.startsWith(u'<'))
        return false;
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return c.isLower(); }))
        return true;
    return wholeWordCount(source, value) >= 2;
}

// HTML's elements that never close: alone, they are still markup.
bool isVoidElement(QStringView name)
{
    static const QSet<QString> names {u"br"_s, u"hr"_s, u"img"_s, u"input"_s, u"meta"_s, u"link"_s, u"wbr"_s, u"col"_s,
        u"area"_s, u"base"_s, u"embed"_s, u"param"_s, u"source"_s, u"track"_s};
    return names.contains(name.toString().toLower());
}

// "-SIGNAL", "-NUM"; "<N>", "<newline>", "<pid>" (a tag without attributes
// that nothing in its text closes and HTML does not leave open).
bool isMetavariable(const Directive &d, QStringView text)
{
    static const QRegularExpression option(u"^-\\p{Lu}[\\p{Lu}\\p{N}_]{2,}$"_s);
    static const QRegularExpression tag(u"^<([\\p{L}][\\p{L}\\p{N}_:.-]*)>$"_s);
    if (d.kind == Kind::Option)
        return option.match(d.text).hasMatch();
    if (d.kind != Kind::Markup)
        return false;
    const auto bare = tag.match(d.text);
    if (!bare.hasMatch() || isVoidElement(bare.capturedView(1)))
        return false;
    return !text.contains(u"</"_s + bare.captured(1) + u'>', Qt::CaseInsensitive);
}

// "{PREFIX}" in capitals, in any script ("{PRÄFIX}").
const QRegularExpression &capitalBraces()
{
    static const QRegularExpression pattern(u"\\{\\p{Lu}[\\p{Lu}\\p{N}_]*\\}"_s);
    return pattern;
}

// Capitals with an underscore used as an environment variable or a setting,
// not as a metavariable: "=" after it, or a word such as "environment"
// within three words of it on its line ("the TIME_STYLE environment
// variable", "if POSIXLY_CORRECT is set").
bool isEnvironmentVariable(const Directive &d, QStringView text)
{
    static const QRegularExpression name(u"^[A-Z][A-Z0-9]*(?:_+[A-Z0-9]+)+$"_s);
    static const QRegularExpression word(u"[\\p{L}]+"_s);
    static const QSet<QString> hints {u"environment"_s, u"variable"_s, u"variables"_s, u"env"_s, u"set"_s, u"unset"_s};
    if (d.kind != Kind::Identifier || !name.match(d.text).hasMatch())
        return false;
    const qsizetype end = d.at + d.text.size();
    if (end < text.size() && text[end] == u'=')
        return true;
    const qsizetype lineStart = text.lastIndexOf(u'\n', d.at) + 1;
    const qsizetype lineEnd = text.indexOf(u'\n', end) < 0 ? text.size() : text.indexOf(u'\n', end);
    QStringList before, after;
    for (auto it = word.globalMatch(text.sliced(lineStart, d.at - lineStart)); it.hasNext();)
        before.append(it.next().captured().toLower());
    for (auto it = word.globalMatch(text.sliced(end, lineEnd - end)); it.hasNext() && after.size() < 3;)
        after.append(it.next().captured().toLower());
    before = before.mid(std::max<qsizetype>(0, before.size() - 3));
    return std::any_of(before.begin(), before.end(), [](const QString &w) { return hints.contains(w); })
        || std::any_of(after.begin(), after.end(), [](const QString &w) { return hints.contains(w); });
}

// A list of values with no option before it ("{ascii,ebcdic,ibm}") whose
// every value the translation names as a word.
bool isNamedWordByWord(const Directive &d, QStringView translation)
{
    if (d.kind != Kind::Values || !(d.text.startsWith(u'{') || d.text.startsWith(u'<')))
        return false;
    static const QRegularExpression separator(u"[{}<>|,]"_s);
    const QStringList items = d.text.split(separator, Qt::SkipEmptyParts);
    return std::all_of(items.begin(), items.end(), [&](const QString &item) {
        return wholeWordCount(translation, QStringView(item).sliced(item.startsWith(u'#') ? 1 : 0)) > 0;
    });
}

} // namespace

void readAsPerson(
    QList<Directive> &source, QList<Directive> &translation, QStringView sourceText, QStringView translationText)
{
    source.removeIf([&](const Directive &d) { return isMetavariable(d, sourceText); });
    translation.removeIf([&](const Directive &d) { return isMetavariable(d, translationText); });

    const auto capitalBrace = [](const Directive &d) {
        return d.kind == Kind::Brace && capitalBraces().match(d.text).capturedLength() == d.text.size();
    };
    if (translationText.count(capitalBraces()) >= sourceText.count(capitalBraces())) {
        source.removeIf(capitalBrace);
        translation.removeIf(capitalBrace);
    }

    // Capital identifiers that are no environment variable in the source are
    // metavariables there; in the translation each stays, to stand for a
    // variable the translation changed.
    source.removeIf(
        [&](const Directive &d) { return d.kind == Kind::Identifier && !isEnvironmentVariable(d, sourceText); });

    QSet<QString> namedLists;
    for (const Directive &d : source) {
        if (isNamedWordByWord(d, translationText))
            namedLists.insert(d.text);
    }
    const auto named = [&namedLists](const Directive &d) { return namedLists.contains(d.text); };
    source.removeIf(named);
    translation.removeIf(named);

    const bool sourceHasPrintf =
        std::any_of(source.begin(), source.end(), [](const Directive &d) { return d.kind == Kind::Printf; });
    if (!sourceHasPrintf) {
        translation.removeIf([&](const Directive &d) {
            const qsizetype end = d.at + d.text.size();
            return d.kind == Kind::Printf && end < translationText.size() && translationText[end].isLetter();
        });
    }

    static const QRegularExpression braced(u"^\\$\\{([\\p{L}_][\\p{L}\\p{N}_]*)\\}$"_s);
    QSet<QString> literals;
    for (Directive &d : source) {
        if (d.kind == Kind::Shell)
            d.key.replace(braced, u"$\\1"_s);
        if (d.kind != Kind::Option)
            continue;
        const auto [name, value] = optionParts(d.text);
        if (isMetavariable(value, sourceText))
            d.key = name;
        else
            literals.insert(d.text);
    }
    for (Directive &d : translation) {
        if (d.kind == Kind::Shell)
            d.key.replace(braced, u"$\\1"_s);
        if (d.kind == Kind::Option && !literals.contains(d.text))
            d.key = optionParts(d.text).first;
    }
}

bool isPrintedWord(QStringView source)
{
    const QStringView whole = source.trimmed();
    const QList<Placeholder> only = findPlaceholders(whole);
    return only.size() == 1 && only.first().length == whole.size()
        && (only.first().kind == Kind::Markup || only.first().kind == Kind::Shell);
}

} // namespace tarnix::service
