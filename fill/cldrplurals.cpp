#include "fill/cldrplurals.h"

#include <optional>

#include <QRegularExpression>
#include <QStringList>

#include <unicode/uloc.h>
#include <unicode/ures.h>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

QString fromIcu(const UChar *text, int32_t length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

// A condition over the integer n, folded as it is built: a constant, one
// comparison (with its negation at hand), or all or any of its parts.
struct Condition
{
    enum Kind { False, True, Compare, All, Any } kind = True;
    QString text, negated;
    QList<Condition> parts;
};

Condition constant(bool value)
{
    return {value ? Condition::True : Condition::False, {}, {}, {}};
}

Condition compare(const QString &text, const QString &negated)
{
    return {Condition::Compare, text, negated, {}};
}

// All (kind All) or any (kind Any) of the parts, constants folded away.
Condition join(Condition::Kind kind, const QList<Condition> &parts)
{
    const Condition::Kind absorbing = kind == Condition::All ? Condition::False : Condition::True;
    const Condition::Kind neutral = kind == Condition::All ? Condition::True : Condition::False;
    Condition result {kind, {}, {}, {}};
    for (const Condition &part : parts) {
        if (part.kind == absorbing)
            return part;
        if (part.kind == kind)
            result.parts += part.parts;
        else if (part.kind != neutral)
            result.parts.append(part);
    }
    if (result.parts.isEmpty())
        return constant(kind == Condition::All);
    return result.parts.size() == 1 ? result.parts.first() : result;
}

Condition negate(const Condition &c)
{
    switch (c.kind) {
    case Condition::False:
    case Condition::True:
        return constant(c.kind == Condition::False);
    case Condition::Compare:
        return compare(c.negated, c.text);
    case Condition::All:
    case Condition::Any: {
        QList<Condition> parts;
        for (const Condition &part : c.parts)
            parts.append(negate(part));
        return join(c.kind == Condition::All ? Condition::Any : Condition::All, parts);
    }
    }
    return c;
}

// C's precedence needs the brackets around an "or" inside an "and"; those
// around an "and" inside an "or" are for the reader, as gettext writes them.
QString print(const Condition &c, Condition::Kind parent = Condition::True)
{
    if (c.kind == Condition::Compare)
        return c.text;
    if (c.kind != Condition::All && c.kind != Condition::Any)
        return c.kind == Condition::True ? u"1"_s : u"0"_s;
    QStringList parts;
    for (const Condition &part : c.parts)
        parts.append(print(part, c.kind));
    const QString text = parts.join(c.kind == Condition::All ? u" && "_s : u" || "_s);
    const bool nested = parent == Condition::All || parent == Condition::Any;
    return nested && parent != c.kind ? u'(' + text + u')' : text;
}

// One relation of CLDR's syntax, "i % 100 != 12..14" or "v = 0", for integer
// counts: n and i are the count, the other operands 0.
std::optional<Condition> relation(const QString &text)
{
    static const QRegularExpression pattern(u"^([niftvwce])\\s*(?:%\\s*(\\d+)\\s*)?(!?=)\\s*([\\d.,\\s]+)$"_s);
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const bool isCount = match.captured(1) == u"n"_s || match.captured(1) == u"i"_s;
    const QString operand = match.captured(2).isEmpty() ? u"n"_s : u"n%"_s + match.captured(2);
    QList<Condition> items;
    for (const QString &item : match.captured(4).split(u',')) {
        const QStringList bounds = item.trimmed().split(u".."_s);
        bool lowOk = false, highOk = false;
        const qulonglong low = bounds.first().toULongLong(&lowOk);
        const qulonglong high = bounds.last().toULongLong(&highOk);
        if (bounds.size() > 2 || !lowOk || !highOk || low > high)
            return std::nullopt;
        const QString a = QString::number(low), b = QString::number(high);
        if (!isCount)
            items.append(constant(low == 0));
        else if (low == high)
            items.append(compare(operand + u"=="_s + a, operand + u"!="_s + a));
        else
            items.append(join(Condition::All,
                {compare(operand + u">="_s + a, operand + u'<' + a),
                    compare(operand + u"<="_s + b, operand + u'>' + b)}));
    }
    const Condition any = join(Condition::Any, items);
    return match.captured(3) == u"="_s ? any : negate(any);
}

// A category's condition: relations joined by "and", those by "or".
std::optional<Condition> condition(const QString &text)
{
    QList<Condition> alternatives;
    for (const QString &alternative : text.split(u" or "_s)) {
        QList<Condition> relations;
        for (const QString &part : alternative.split(u" and "_s)) {
            const auto r = relation(part);
            if (!r)
                return std::nullopt;
            relations.append(*r);
        }
        alternatives.append(join(Condition::All, relations));
    }
    return join(Condition::Any, alternatives);
}

} // namespace

QList<std::pair<QString, QString>> cldrPluralRules(const QString &icuLocale)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUResourceBundlePointer plurals(ures_openDirect(nullptr, "plurals", &status));
    icu::LocalUResourceBundlePointer locales(ures_getByKey(plurals.getAlias(), "locales", nullptr, &status));
    icu::LocalUResourceBundlePointer sets(ures_getByKey(plurals.getAlias(), "rules", nullptr, &status));
    if (U_FAILURE(status))
        return {};
    QByteArray name = icuLocale.toLatin1();
    QByteArray set;
    while (set.isEmpty() && !name.isEmpty()) {
        UErrorCode found = U_ZERO_ERROR;
        int32_t length = 0;
        const UChar *text = ures_getStringByKey(locales.getAlias(), name.constData(), &length, &found);
        if (U_SUCCESS(found)) {
            set = fromIcu(text, length).toLatin1();
            break;
        }
        char parent[ULOC_FULLNAME_CAPACITY] = {};
        UErrorCode parentStatus = U_ZERO_ERROR;
        uloc_getParent(name.constData(), parent, sizeof parent, &parentStatus);
        name = U_SUCCESS(parentStatus) ? QByteArray(parent) : QByteArray();
    }
    if (set.isEmpty())
        return {};
    icu::LocalUResourceBundlePointer rules(ures_getByKey(sets.getAlias(), set.constData(), nullptr, &status));
    QList<std::pair<QString, QString>> result;
    while (U_SUCCESS(status) && ures_hasNext(rules.getAlias())) {
        int32_t length = 0;
        const char *key = nullptr;
        const UChar *text = ures_getNextString(rules.getAlias(), &length, &key, &status);
        if (U_SUCCESS(status))
            result.append({QString::fromLatin1(key), fromIcu(text, length)});
    }
    return U_SUCCESS(status) ? result : QList<std::pair<QString, QString>> {};
}

namespace {

// Whether a category's integers are whole millions alone, as the "many" of
// Catalan, Spanish, French, Italian and Portuguese ("1 milió de fitxers"):
// a form for compact numbers that gettext's rules for these languages, and
// their translators, leave to "other".
bool onlyMillions(const QString &rule)
{
    const QString samples = rule.section(u"@integer"_s, 1).section(u'@', 0, 0);
    bool any = false;
    for (QString sample : samples.split(u',')) {
        sample = sample.trimmed();
        if (sample.isEmpty() || sample == u"…" || sample == u"...")
            continue;
        const qsizetype exponent = sample.indexOf(u'c');
        const qint64 value = exponent >= 0 ? 1000000 : sample.section(u'~', 0, 0).toLongLong();
        if (value < 1000000 || value % 1000000 != 0)
            return false;
        any = true;
    }
    return any;
}

} // namespace

QString gettextPluralForms(const QList<std::pair<QString, QString>> &rules)
{
    QList<Condition> kept;
    for (const char16_t *category : {u"zero", u"one", u"two", u"few", u"many", u"other"}) {
        for (const auto &[name, text] : rules) {
            if (name != QStringView(category) || !text.contains(u"@integer"_s) || onlyMillions(text))
                continue; // no integer falls in the category
            const QString body = text.section(u'@', 0, 0).trimmed();
            const auto c = body.isEmpty() ? std::optional<Condition>(constant(true)) : condition(body);
            if (!c)
                return {};
            if (c->kind != Condition::False && (kept.isEmpty() || kept.last().kind != Condition::True))
                kept.append(*c);
        }
    }
    if (kept.size() <= 1)
        return kept.isEmpty() ? QString() : u"nplurals=1; plural=0;"_s;
    QString expression = kept.size() == 2 ? print(negate(kept.first())) : QString();
    for (qsizetype i = 0; kept.size() > 2 && i + 1 < kept.size(); ++i)
        expression += print(kept[i]) + u" ? "_s + QString::number(i) + u" : "_s;
    if (kept.size() > 2)
        expression += QString::number(kept.size() - 1);
    return u"nplurals=%1; plural=(%2);"_s.arg(kept.size()).arg(expression);
}

QStringList pluralCategories(const QString &icuLocale)
{
    QStringList present;
    for (const auto &[category, rule] : cldrPluralRules(icuLocale))
        present.append(category);
    QStringList ordered;
    for (const QString &category : {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s})
        if (present.contains(category))
            ordered.append(category);
    ordered.append(u"other"_s);
    return ordered;
}

} // namespace tarnix::fill
