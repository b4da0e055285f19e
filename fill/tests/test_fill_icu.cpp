#include <algorithm>
#include <memory>

#include <QRegularExpression>

#include <QTest>

#include <unicode/messagepattern.h>
#include <unicode/msgfmt.h>

#include "fill/icumessage.h"
#include "service/text/placeholdergrammar.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;
using tarnix::service::findPlaceholders;
using tarnix::service::Placeholder;

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

// What ICU's MessageFormat for `language` makes of `message` with every
// plural, selectordinal and number argument set to `number` and every other
// argument to its own name in angle brackets.
QString formatted(const QString &message, const QString &language, double number)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::MessagePattern pattern(toIcu(message), nullptr, status);
    QList<icu::UnicodeString> names;
    QList<icu::Formattable> values;
    for (int i = 0; U_SUCCESS(status) && i + 1 < pattern.countParts(); ++i) {
        const auto &part = pattern.getPart(i);
        if (part.getType() != UMSGPAT_PART_TYPE_ARG_START)
            continue;
        const icu::UnicodeString name = pattern.getSubstring(pattern.getPart(i + 1));
        if (names.contains(name))
            continue;
        const auto type = part.getArgType();
        const bool numeric = type == UMSGPAT_ARG_TYPE_PLURAL || type == UMSGPAT_ARG_TYPE_SELECTORDINAL
            || (type == UMSGPAT_ARG_TYPE_SIMPLE && pattern.getSubstring(pattern.getPart(i + 2)) == u"number");
        names.append(name);
        values.append(numeric ? icu::Formattable(number) : icu::Formattable(u'<' + name + u'>'));
    }
    const icu::MessageFormat format(toIcu(message), icu::Locale(language.toLatin1().constData()), status);
    icu::UnicodeString out;
    format.format(names.constData(), values.constData(), int32_t(names.size()), out, status);
    if (U_FAILURE(status))
        return QString::fromLatin1(u_errorName(status));
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(out.getBuffer()), out.length());
}

} // namespace

class TestFillIcu : public QObject
{
    Q_OBJECT

private slots:
    // Real messages: app/javascript/mastodon/locales/en.json of Mastodon
    // (FormatJS), lib/l10n/intl_en.arb of the Flutter Gallery, the select
    // and plural example of ICU's user guide (cut to two branches). The
    // answers are an engine's; an empty list answers each text as «text».
    // samples: "number=what ICU's MessageFormat makes of the result"; for a
    // message refused, why.
    void messages_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("rebuilt");
        QTest::addColumn<QStringList>("samples");
        const QString members = u"{count, plural, one {# member} other {# members}}"_s;
        QTest::newRow("polish: one few many other, # kept")
            << members << u"pl"_s << QStringList {u"{n} member"_s, u"{n} members"_s}
            << QStringList {u"{n} członek"_s, u"{n} członków"_s}
            << u"{count, plural, one {# członek} few {# członków} many {# członków} other {# członków}}"_s
            << QStringList {u"1=1 członek"_s, u"3=3 członków"_s, u"1.5=1,5 członków"_s};
        QTest::newRow("arabic: six categories")
            << u"{count, plural, one {# new item} other {# new items}}"_s << u"ar"_s
            << QStringList {u"{n} new items"_s, u"{n} new item"_s} << QStringList()
            << u"{count, plural, zero {«# new items»} one {«# new item»} two {«# new items»} few {«# new items»} many {«# new items»} other {«# new items»}}"_s
            << QStringList {u"1=«١ new item»"_s, u"0=«٠ new items»"_s};
        QTest::newRow("japanese: other alone, text around kept apart")
            << u"Followed by {name1}, {name2}, and {othersCount, plural, one {one other you know} other {# others you know}}"_s
            << u"ja"_s << QStringList {u"Followed by {name1}, {name2}, and"_s, u"{count} others you know"_s}
            << QStringList {u"{name1}、{name2}、および"_s, u"知り合いの{count}人"_s}
            << u"{name1}、{name2}、および {othersCount, plural, other {知り合いの#人}}"_s
            << QStringList {u"1=<name1>、<name2>、および 知り合いの1人"_s};
        QTest::newRow("=N kept, a simple argument inside a branch")
            << u"{quantity, plural, =0{Shopping cart, no items} =1{Shopping cart, 1 item} other{Shopping cart, {quantity} items}}"_s
            << u"pl"_s
            << QStringList {u"Shopping cart, no items"_s, u"Shopping cart, 1 item"_s,
                   u"Shopping cart, {quantity} items"_s}
            << QStringList {u"Koszyk, pusty"_s, u"Koszyk, 1 produkt"_s, u"Koszyk, {quantity} produktów"_s}
            << u"{quantity, plural, =0{Koszyk, pusty} =1{Koszyk, 1 produkt} one{Koszyk, {quantity} produktów} few{Koszyk, {quantity} produktów} many{Koszyk, {quantity} produktów} other{Koszyk, {quantity} produktów}}"_s
            << QStringList {u"0=Koszyk, pusty"_s, u"1=Koszyk, 1 produkt"_s, u"5=Koszyk, 5 produktów"_s};
        QTest::newRow("branches written without spaces")
            << u"{hours, plural, =1{1h}other{{hours}h}}"_s << u"ru"_s << QStringList {u"1h"_s, u"{hours}h"_s}
            << QStringList {u"1 ч"_s, u"{hours} ч"_s}
            << u"{hours, plural, =1{1 ч}one{{hours} ч}few{{hours} ч}many{{hours} ч}other{{hours} ч}}"_s
            << QStringList {u"1=1 ч"_s, u"21=21 ч"_s};
        QTest::newRow("select over plural with offset, same texts asked once")
            << u"{gender_of_host, select, female {{num_guests, plural, offset:1 =0 {{host} does not give a party.} other {{host} invites {guest} and # other people to her party.}}} other {{num_guests, plural, offset:1 =0 {{host} does not give a party.} other {{host} invites {guest} and # other people to their party.}}}}"_s
            << u"de"_s
            << QStringList {u"{host} does not give a party."_s,
                   u"{host} invites {guest} and {count} other people to her party."_s,
                   u"{host} invites {guest} and {count} other people to their party."_s}
            << QStringList()
            << u"{gender_of_host, select, female {{num_guests, plural, offset:1 =0 {«{host} does not give a party.»} one {«{host} invites {guest} and # other people to her party.»} other {«{host} invites {guest} and # other people to her party.»}}} other {{num_guests, plural, offset:1 =0 {«{host} does not give a party.»} one {«{host} invites {guest} and # other people to their party.»} other {«{host} invites {guest} and # other people to their party.»}}}}"_s
            << QStringList {u"0=«<host> does not give a party.»"_s,
                   u"3=«<host> invites <guest> and 2 other people to their party.»"_s};
        QTest::newRow("selectordinal by the ordinal rules")
            << u"{n, selectordinal, one {#st} two {#nd} few {#rd} other {#th}}"_s << u"fr"_s
            << QStringList {u"{count}st"_s, u"{count}th"_s} << QStringList {u"{count}er"_s, u"{count}e"_s}
            << u"{n, selectordinal, one {#er} other {#e}}"_s << QStringList {u"1=1er"_s, u"2=2e"_s};
        QTest::newRow("apostrophes and braces quoted again")
            << u"Share @{name}'s profile"_s << u"fr"_s << QStringList {u"Share @{name}'s profile"_s}
            << QStringList {u"Partager le profil d'{name} {x}"_s} << u"Partager le profil d''{name} '{'x'}'"_s
            << QStringList {u"1=Partager le profil d'<name> {x}"_s};
        QTest::newRow("# outside a plural is text")
            << u"Add #{tagName}"_s << u"fr"_s << QStringList {u"Add #{tagName}"_s}
            << QStringList {u"Ajouter #{tagName}"_s} << u"Ajouter #{tagName}"_s
            << QStringList {u"1=Ajouter #<tagName>"_s};
        QTest::newRow("no parse, refused: samples holds why")
            << u"{count, plural, one {# member} other {# members}"_s << u"pl"_s << QStringList() << QStringList()
            << QString() << QStringList {u"the ICU message does not parse (U_PATTERN_SYNTAX_ERROR at character 16)"_s};
    }
    void messages()
    {
        QFETCH(QString, source);
        QFETCH(QString, language);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, answers);
        QFETCH(QString, rebuilt);
        QFETCH(QStringList, samples);
        const IcuMessage message = parseIcuMessage(source);
        QCOMPARE(message.error.isEmpty(), !rebuilt.isEmpty());
        QCOMPARE(icuTexts(message, language), texts);
        // Each argument sent, "#" as "{count}" included, is one placeholder
        // to the service's grammar, so an answer that loses it is refused.
        static const QRegularExpression argument(u"\\{[^{}]*\\}"_s);
        for (const QString &text : texts) {
            const QList<Placeholder> kept = findPlaceholders(text);
            for (const auto &match : argument.globalMatch(text)) {
                QVERIFY2(std::any_of(kept.cbegin(), kept.cend(),
                             [&](const Placeholder &p) {
                                 return p.start == match.capturedStart() && p.length == match.capturedLength();
                             }),
                    qPrintable(match.captured()));
            }
        }
        if (answers.isEmpty()) {
            for (const QString &text : texts)
                answers.append(u"«"_s + text + u"»"_s);
        }
        const IcuRebuilt result = rebuildIcuMessage(message, language, answers);
        QCOMPARE(result.message, rebuilt);
        QCOMPARE(result.error.isEmpty(), !rebuilt.isEmpty());
        if (rebuilt.isEmpty())
            QCOMPARE(result.error, samples.value(0));
        for (const QString &sample : (rebuilt.isEmpty() ? QStringList() : samples)) {
            const QString number = sample.section(u'=', 0, 0);
            QCOMPARE(formatted(result.message, language, number.toDouble()), sample.section(u'=', 1));
        }
    }
};

QTEST_GUILESS_MAIN(TestFillIcu)
#include "test_fill_icu.moc"
