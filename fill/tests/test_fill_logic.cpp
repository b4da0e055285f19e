#include <QTest>

#include "fill/accelerator.h"
#include "fill/answer.h"
#include "fill/check.h"
#include "fill/cldrplurals.h"
#include "fill/estimate.h"
#include "fill/formats/po.h"
#include "fill/languages.h"
#include "fill/options.h"
#include "fill/plan.h"
#include "fill/report.h"
#include "fill/review.h"
#include "reply/entities.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

Entry entry(const QString &source, const QStringList &translations, const QString &plural = QString())
{
    Entry e;
    e.source = source;
    e.pluralSource = plural;
    e.plural = !plural.isEmpty();
    e.translations = translations;
    return e;
}

} // namespace

class TestFillLogic : public QObject
{
    Q_OBJECT

private slots:
    void languageOfFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("language");
        QTest::newRow("gettext po/") << u"po/es.po"_s << u"es"_s;
        QTest::newRow("region") << u"po/pt_BR.po"_s << u"pt_BR"_s;
        QTest::newRow("qt app_lang_REGION") << u"translations/app_pt_BR.ts"_s << u"pt_BR"_s;
        QTest::newRow("qt app_lang") << u"i18n/myapp_de.ts"_s << u"de"_s;
        QTest::newRow("angular messages.lang") << u"src/locale/messages.fr.xlf"_s << u"fr"_s;
        QTest::newRow("script") << u"strings-zh-Hant.xliff"_s << u"zh_Hant"_s;
        QTest::newRow("script and region") << u"app_zh_Hant_TW.ts"_s << u"zh_Hant_TW"_s;
        QTest::newRow("region and modifier") << u"po/sr_RS@latin.po"_s << u"sr_RS@latin"_s;
        QTest::newRow("numeric region") << u"messages.es-419.xlf"_s << u"es_419"_s;
        QTest::newRow("modifier") << u"sr@latin.po"_s << u"sr@latin"_s;
        QTest::newRow("catalan modifier") << u"ca@valencia.po"_s << u"ca@valencia"_s;
        QTest::newRow("no language") << u"po/messages.pot"_s << QString();
        QTest::newRow("word that is no code") << u"app.ts"_s << QString();
        QTest::newRow("language code not at the end") << u"my-app.ts"_s << QString();
        QTest::newRow("iso code of no known language") << u"po/tlh.po"_s << QString();
        QTest::newRow("result left beside") << u"po/es.tarnix-fill.po"_s << u"es"_s;
    }
    void languageOfFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, language);
        QCOMPARE(languageFromFileName(path), language);
    }

    void serviceCodes_data()
    {
        QTest::addColumn<QString>("catalog");
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("plurals");
        QTest::addColumn<QString>("name"); // a new PO catalog's Language-Team
        QTest::newRow("spanish") << u"es"_s << u"es"_s << 2 << u"Spanish"_s;
        QTest::newRow("brazilian has its own rule and code") << u"pt_BR"_s << u"pt-BR"_s << 2 << u"Portuguese"_s;
        QTest::newRow("taiwan") << u"zh_TW"_s << u"zh-TW"_s << 1 << u"Chinese"_s;
        QTest::newRow("hong kong") << u"zh_HK"_s << u"zh-TW"_s << 1 << QString();
        QTest::newRow("traditional script") << u"zh-Hant"_s << u"zh-TW"_s << 1 << QString();
        QTest::newRow("china") << u"zh_CN"_s << u"zh-CN"_s << 1 << QString();
        QTest::newRow("simplified script in taiwan") << u"zh_Hans_TW"_s << u"zh-CN"_s << 1 << QString();
        QTest::newRow("hebrew") << u"he"_s << u"iw"_s << 2 << u"Hebrew"_s;
        QTest::newRow("russian") << u"ru_RU.UTF-8"_s << u"ru"_s << 3 << QString();
        QTest::newRow("polish") << u"pl"_s << u"pl"_s << 3 << u"Polish"_s;
        QTest::newRow("arabic") << u"ar"_s << u"ar"_s << 6 << QString();
        QTest::newRow("czech, a region the service has no code for") << u"cs_CZ"_s << u"cs-CZ"_s << 3 << QString();
        QTest::newRow("deprecated code as its current one") << u"iw"_s << u"iw"_s << 2 << QString();
        QTest::newRow("catalan: cldr's many of whole millions left to other")
            << u"ca@valencia"_s << u"ca"_s << 2 << QString();
        QTest::newRow("serbian in latin letters") << u"sr@latin"_s << u"sr-Latn"_s << 3 << u"Serbian"_s;
        QTest::newRow("language without plural data") << u"tt"_s << u"tt"_s << 0 << u"Tatar"_s;
        QTest::newRow("unknown") << u"tlh"_s << u"tlh"_s << 0 << QString();
        QTest::newRow("qt's C locale as a source") << u"C"_s << u"en"_s << 0 << QString();
    }
    void serviceCodes()
    {
        QFETCH(QString, catalog);
        QFETCH(QString, service);
        QFETCH(int, plurals);
        QCOMPARE(serviceLanguage(catalog), service);
        QCOMPARE(pluralRule(catalog).count, plurals);
        QFETCH(QString, name);
        if (!name.isEmpty())
            QCOMPARE(languageName(catalog), name);
    }

    void pluralCount_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("count");
        QTest::newRow("two") << u"nplurals=2; plural=(n != 1);"_s << 2;
        QTest::newRow("spaces") << u"nplurals = 3; plural=n%10==1 ? 0 : 1;"_s << 3;
        QTest::newRow("template") << u"nplurals=INTEGER; plural=EXPRESSION;"_s << 0;
        QTest::newRow("zero") << u"nplurals=0; plural=0;"_s << 0;
        QTest::newRow("more than CLDR's six categories") << u"nplurals=7; plural=n%7;"_s << 0;
    }
    void pluralCount()
    {
        QFETCH(QString, header);
        QFETCH(int, count);
        QCOMPARE(pluralCountOf(header), count);
    }

    // CLDR's rules as gettext's formula; rules ICU's data does not hold give
    // none rather than a wrong one.
    void cldrRulesAsGettextFormula_data()
    {
        QTest::addColumn<QString>("rules"); // "category: rule; ..."
        QTest::addColumn<QString>("formula");
        QTest::newRow("russian: other decimal only, as gettext's cldr-plurals writes it")
            << u"few: v = 0 and i % 10 = 2..4 and i % 100 != 12..14 @integer 2~4; many: v = 0 and i % 10 = 0 or v = 0 "
               "and i % 10 = 5..9 or v = 0 and i % 100 = 11..14 @integer 0, 5~19; one: v = 0 and i % 10 = 1 and i % "
               "100 != 11 @integer 1, 21; other: @decimal 0.0~1.5"_s
            << u"nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<12 || n%100>14) ? 1 : 2);"_s;
        QTest::newRow("two forms: the first one's condition negated")
            << u"one: i = 1 and v = 0 @integer 1; other: @integer 0, 2~16"_s << u"nplurals=2; plural=(n!=1);"_s;
        QTest::newRow("a category every integer meets takes the rest")
            << u"one: n = 1 @integer 1; two: v = 0 or n = 2 @integer 2; other: @integer 3~17"_s
            << u"nplurals=2; plural=(n!=1);"_s;
        QTest::newRow("range the wrong way round") << u"one: i = 5..2 @integer 3; other: @integer 1"_s << QString();
        QTest::newRow("range of three bounds") << u"one: i = 1..2..3 @integer 1; other: @integer 4"_s << QString();
        QTest::newRow("syntax cldr no longer uses") << u"one: n is 1 @integer 1; other: @integer 2"_s << QString();
        QTest::newRow("no integer in any category") << u"other: @decimal 0.5"_s << QString();
    }
    void cldrRulesAsGettextFormula()
    {
        QFETCH(QString, rules);
        QFETCH(QString, formula);
        QList<std::pair<QString, QString>> categories;
        for (const QString &rule : rules.split(u"; "_s))
            categories.append({rule.section(u": "_s, 0, 0), rule.section(u": "_s, 1)});
        QCOMPARE(gettextPluralForms(categories), formula);
    }

    void whatToFill_data()
    {
        QTest::addColumn<Entry>("e");
        QTest::addColumn<bool>("refillFuzzy");
        QTest::addColumn<bool>("fill");
        Entry fuzzy = entry(u"Open"_s, {u"Abrir"_s});
        fuzzy.fuzzy = true;
        Entry obsolete = entry(u"Old"_s, {QString()});
        obsolete.obsolete = true;
        QTest::newRow("untranslated") << entry(u"Open"_s, {QString()}) << false << true;
        QTest::newRow("no msgstr at all") << entry(u"Open"_s, {}) << false << true;
        QTest::newRow("translated") << entry(u"Open"_s, {u"Abrir"_s}) << false << false;
        QTest::newRow("fuzzy kept") << fuzzy << false << false;
        QTest::newRow("fuzzy refilled") << fuzzy << true << true;
        QTest::newRow("obsolete") << obsolete << false << false;
        QTest::newRow("header") << entry(QString(), {u"Language: es\n"_s}) << false << false;
        QTest::newRow("plural with one form missing")
            << entry(u"%d file"_s, {u"%d archivo"_s, QString()}, u"%d files"_s) << false << true;
    }
    void whatToFill()
    {
        QFETCH(Entry, e);
        QFETCH(bool, refillFuzzy);
        QFETCH(bool, fill);
        QCOMPARE(needsFill(e, refillFuzzy), fill);
    }

    void pluralForms_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("forms");
        QTest::newRow("one form takes the plural") << 1 << QStringList {u"P"_s};
        QTest::newRow("two") << 2 << QStringList {u"S"_s, u"P"_s};
        QTest::newRow("three") << 3 << QStringList {u"S"_s, u"P"_s, u"P"_s};
    }
    void pluralForms()
    {
        QFETCH(int, count);
        QFETCH(QStringList, forms);
        const Entry plural = entry(u"%d file"_s, {}, u"%d files"_s);
        QCOMPARE(textsToAsk(plural), (QStringList {u"%d file"_s, u"%d files"_s}));
        QCOMPARE(formsFromAnswers(plural, {u"S"_s, u"P"_s}, count), forms);
        QCOMPARE(formsFromAnswers(entry(u"Open"_s, {}), {u"S"_s}, count), QStringList {u"S"_s});
        const Entry numerus = entry(u"%n file(s)"_s, {}, u"%n file(s)"_s); // TS: one source, asked once
        QCOMPARE(textsToAsk(numerus), QStringList {u"%n file(s)"_s});
        QCOMPARE(formsFromAnswers(numerus, {u"P"_s}, count), QStringList(count, u"P"_s));
        const Entry partly = entry(u"%d file"_s, {QString(), u"%d Dateien"_s}, u"%d files"_s);
        QCOMPARE(formsFromAnswers(partly, {u"S"_s, u"P"_s}, count).value(1), count > 1 ? u"%d Dateien"_s : QString());
    }

    // A catalog whose plural forms go by CLDR category (ICU-style formats):
    // one form per category of the language, "one" from the singular. An
    // entry flagged icu-format is asked as its ICU message's texts and
    // rebuilt for the language; one ICU cannot read is refused.
    void formsByCategory_data()
    {
        QTest::addColumn<Entry>("e");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("forms");
        const Entry files = entry(u"One file"_s, {}, u"%d files"_s);
        const QStringList asked {u"One file"_s, u"%d files"_s};
        const QStringList sp {u"S"_s, u"P %d"_s};
        const QString p = sp.last();
        QTest::newRow("pl") << files << u"pl"_s << asked << sp << QStringList {u"S"_s, p, p, p};
        QTest::newRow("ar: zero before one") << files << u"ar"_s << asked << sp << QStringList {p, u"S"_s, p, p, p, p};
        QTest::newRow("ja: other alone, from the plural") << files << u"ja"_s << asked << sp << QStringList {p};
        Entry partly = files;
        partly.translations = {u"1 plik"_s, QString(), u"%d plików"_s};
        QTest::newRow("a written form kept")
            << partly << u"pl"_s << asked << sp << QStringList {u"1 plik"_s, p, u"%d plików"_s, p};
        Entry icu = entry(u"{count, plural, one {# member} other {# members}}"_s, {});
        icu.flags = {u"icu-format"_s};
        QTest::newRow("icu message")
            << icu << u"cs"_s << QStringList {u"{n} member"_s, u"{n} members"_s}
            << QStringList {u"{n} člen"_s, u"{n} členů"_s}
            << QStringList {u"{count, plural, one {# člen} few {# členů} many {# členů} other {# členů}}"_s};
        icu.source = u"{count, number}"_s;
        QTest::newRow("icu message without words")
            << icu << u"cs"_s << QStringList() << QStringList() << QStringList {u"{count, number}"_s};
        icu.source = u"{count, plural, one {# member}"_s;
        QTest::newRow("icu message ICU cannot read, refused")
            << icu << u"cs"_s << QStringList() << QStringList() << QStringList();
    }
    void formsByCategory()
    {
        QFETCH(Entry, e);
        QFETCH(QString, language);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, forms);
        QCOMPARE(textsToAsk(e, language), texts);
        const QStringList categories = pluralCategories(language);
        const EntryFill fill = fillFromAnswers(e, answers, {language, 2, categories});
        QCOMPARE(fill.forms, forms);
        QCOMPARE(fill.refused.isEmpty(), !forms.isEmpty());
        // --check reads the forms by the same categories: each keeps its source's placeholders.
        e.translations = fill.forms;
        QCOMPARE(checkEntry(e, language, categories).size(), 0);
    }

    void contextForTheEngine()
    {
        Entry e = entry(u"Open"_s, {});
        e.context = u"File menu"_s;
        e.notes = {u"  verb, not adjective "_s, u" "_s};
        QCOMPARE(contextOf(e), u"File menu\nverb, not adjective"_s);
        e.notes = {QString(2000, u'x')};
        QCOMPARE(contextOf(e).size(), maxContext);
    }

    void languageOfCatalog()
    {
        Catalog catalog;
        catalog.path = u"po/de.po"_s;
        QCOMPARE(catalogLanguage(catalog, u"it"_s), u"de"_s);
        catalog.language = u"fr"_s;
        QCOMPARE(catalogLanguage(catalog, u"it"_s), u"fr"_s);
        catalog = Catalog {};
        catalog.path = u"po/messages.po"_s;
        QCOMPARE(catalogLanguage(catalog, u"it"_s), u"it"_s);
    }

    void readsServiceAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const QByteArray page = "<span id=result_box class=short_text>Guardar &#38; salir</span><div id=gt-res-tools>";
        QTest::newRow("translation") << 200 << page << int(Answer::Kind::Translated) << u"Guardar & salir"_s;
        QTest::newRow("refused with its reason")
            << 422 << "<html><h1>422</h1>\n<p>The translation is not used: %1 is lost.</p></html>"_ba
            << int(Answer::Kind::Refused) << u"The translation is not used: %1 is lost."_s;
        QTest::newRow("engine down") << 503 << "<p>The translation engine is unavailable.</p>"_ba
                                     << int(Answer::Kind::Failed)
                                     << u"HTTP 503: The translation engine is unavailable."_s;
        QTest::newRow("empty page") << 200 << "<span id=result_box></span><div id=gt-res-tools>"_ba
                                    << int(Answer::Kind::Failed) << u"the service answered with an empty translation"_s;
    }
    void readsServiceAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, text);
        tarnix::EntityTable table;
        tarnix::fillEntityTable(table);
        const QNetworkReply::NetworkError error =
            status == 200 ? QNetworkReply::NoError : QNetworkReply::UnknownContentError;
        const Answer answer = readAnswer(error, status, body, false, table);
        QCOMPARE(int(answer.kind), kind);
        QCOMPARE(answer.text, text);
    }

    void readsBatchAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // per text sent (two): T text, R reason, F reason; or "none"
        QTest::newRow("both")
            << R"({"items":[{"id":0,"status":200,"text":"Abrir"},{"id":1,"status":422,"reason":"x"}]})"_ba
            << u"T Abrir|R x"_s;
        QTest::newRow("matched by id")
            << R"({"items":[{"id":1,"status":200,"text":"B"},{"id":0,"status":200,"text":"A"}]})"_ba << u"T A|T B"_s;
        QTest::newRow("one missing") << R"({"items":[{"id":0,"status":200,"text":"A"}]})"_ba
                                     << u"T A|F the service's batch answer lacks this entry"_s;
        QTest::newRow("one twice")
            << R"({"items":[{"id":0,"status":200,"text":"A"},{"id":0,"status":200,"text":"B"},{"id":1,"status":503,"reason":"down"}]})"_ba
            << u"F the service's batch answer has this entry twice|F HTTP 503: down"_s;
        QTest::newRow("id not sent")
            << R"({"items":[{"id":7,"status":200,"text":"A"},{"id":"1","status":200,"text":"B"}]})"_ba
            << u"F the service's batch answer lacks this entry|F the service's batch answer lacks this entry"_s;
        QTest::newRow("empty text")
            << R"({"items":[{"id":0,"status":200,"text":""},{"id":1,"status":200,"text":"B"}]})"_ba
            << u"F the service answered with an empty translation|T B"_s;
        QTest::newRow("a page") << "<span id=result_box>Abrir</span>"_ba << u"none"_s;
    }
    void readsBatchAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        const auto answers = readBatchAnswer(body, 2);
        QStringList shown;
        for (const Answer &answer : answers.value_or(QList<Answer> {}))
            shown.append(QString(u"TRF"_s[int(answer.kind)]) + u' ' + answer.text);
        QCOMPARE(answers ? shown.join(u'|') : u"none"_s, expected);
    }

    // Each finding as token>instead, on the entry's line.
    void checkFindsBrokenPlaceholders_data()
    {
        QTest::addColumn<Entry>("e");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("qt %1 lost") << entry(u"Delete %1?"_s, {u"¿Borrar?"_s}) << QStringList {u"%1>"_s};
        QTest::newRow("printf %s broken")
            << entry(u"Save %s now"_s, {u"Guardar % s ahora"_s}) << QStringList {u"%s>% s"_s};
        QTest::newRow("printf order swapped") << entry(u"%s of %d"_s, {u"%d de %s"_s}) << QStringList {u"%s>%d"_s};
        QTest::newRow("two faults, two findings")
            << entry(u"%s of %d"_s, {u"de"_s}) << QStringList {u"%s>"_s, u"%d>"_s};
        QTest::newRow("one change made twice, one finding")
            << entry(u"rm -- -foo, rm ./-foo"_s, {u"rm -- -toto, rm ./-toto"_s}) << QStringList {u"-foo>-toto"_s};
        QTest::newRow("numbered may move") << entry(u"%1 of %2"_s, {u"%2 de %1"_s}) << QStringList();
        QTest::newRow("markup kept") << entry(u"<b>Bold</b>"_s, {u"<b>Negrita</b>"_s}) << QStringList();
        QTest::newRow("untranslated is no finding") << entry(u"Delete %1?"_s, {QString()}) << QStringList();
        QTest::newRow("plural form 0 may follow the plural")
            << entry(u"One file"_s, {u"%d файл"_s, u"%d файла"_s, u"%d файлов"_s}, u"%d files"_s) << QStringList();
        QTest::newRow("plural form 0 follows the singular's own placeholder") << entry(
            u"Delete the file %s?"_s, {u"¿Borrar el archivo %s?"_s, u"¿Borrar %d archivos?"_s}, u"Delete %d files?"_s)
                                                                              << QStringList();
        QTest::newRow("plural form losing both")
            << entry(u"One file"_s, {u"файл"_s, u"файла"_s}, u"%d files"_s) << QStringList {u"%d>"_s};
        // ICU messages (Mastodon's en.json, FormatJS's select example) in a Polish catalog.
        const auto icu = [](const QString &source, const QString &translation) {
            Entry e = entry(source, {translation});
            e.flags = {u"icu-format"_s};
            return e;
        };
        const QString members = u"{count, plural, one {# member} other {# members}}"_s;
        QTest::newRow("icu: every category, no finding")
            << icu(members, u"{count, plural, one {# członek} few {# członków} many {# członków} other {# członka}}"_s)
            << QStringList();
        QTest::newRow("icu: categories of the language missing")
            << icu(members, u"{count, plural, one {# członek} other {# członków}}"_s)
            << QStringList {u"{count, plural}>"_s};
        QTest::newRow("icu: argument renamed")
            << icu(members, u"{liczba, plural, one {# członek} few {# członków} many {# członków} other {# członka}}"_s)
            << QStringList {u"{count, plural}>{liczba, plural}"_s};
        QTest::newRow("icu: plural keyword translated")
            << icu(members, u"{count, mnoga, one {# członek} few {# członków} many {# członków} other {# członka}}"_s)
            << QStringList {u"{count, plural}>{count, mnoga}"_s};
        QTest::newRow("icu: other translated")
            << icu(members, u"{count, plural, one {# członek} few {# członków} many {# członków} inne {# członka}}"_s)
            << QStringList {u"other>"_s};
        QTest::newRow("icu: one translated") << icu(
            members, u"{count, plural, jeden {# członek} few {# członków} many {# członków} other {# członka}}"_s)
                                             << QStringList {u"one>jeden"_s, u"{count, plural}>"_s};
        QTest::newRow("icu: few translated") << icu(
            members, u"{count, plural, one {# członek} kilka {# członków} many {# członków} other {# członka}}"_s)
                                             << QStringList {u"kilka>kilka"_s, u"{count, plural}>"_s};
        QTest::newRow("icu: select key translated")
            << icu(u"{gender, select, male {He} female {She} other {They}} will respond shortly."_s,
                   u"{gender, select, mężczyzna {On} female {Ona} other {Oni}} wkrótce odpowie."_s)
            << QStringList {u"male>mężczyzna"_s};
        QTest::newRow("icu: a translation ICU cannot read")
            << icu(members, u"{count, plural, one {# członek} other {# członków}"_s)
            << QStringList {
                   u"the translation is no ICU message ICU can read (U_PATTERN_SYNTAX_ERROR at character 16)"_s};
        Entry label = entry(u"Op&en"_s, {u"Abrir"_s});
        label.accelerator = u'&';
        QTest::newRow("accelerator lost")
            << label << QStringList {u"the accelerator &e has no mark in the translation"_s};
        label.translations = {u"&Abrir &ya"_s};
        QTest::newRow("accelerator doubled")
            << label << QStringList {u"the accelerator &e is marked 2 times in the translation (&A, &y)"_s};
        label.translations = {u"Abrir R&D"_s};
        QTest::newRow("any letter of a label takes the accelerator") << label << QStringList();
    }
    void checkFindsBrokenPlaceholders()
    {
        QFETCH(Entry, e);
        QFETCH(QStringList, found);
        e.line = 7;
        QStringList got;
        for (const Finding &finding : checkEntry(e, u"pl"_s)) {
            QCOMPARE(finding.line, 7);
            got.append(finding.token.isEmpty() ? finding.what : finding.token + u'>' + finding.instead);
        }
        QCOMPARE(got, found);
    }

    // Real entries of Debian's catalogs (data/check-*.po, origin as msgctxt):
    // the "#. finding:" lines are what --check prints for each, "none" where
    // the translator did what translators may.
    void checkReadsRealTranslations_data()
    {
        QTest::addColumn<Entry>("e");
        QTest::addColumn<QStringList>("expected");
        for (const QString &name : {u"check-alarms.po"_s, u"check-seeded.po"_s}) {
            PoFormat po;
            Catalog catalog;
            QString error;
            QVERIFY2(po.read(u"" FILL_TEST_DATA "/"_s + name, catalog, error), qPrintable(error));
            for (const Entry &e : std::as_const(catalog.entries)) {
                QStringList expected = e.notes.join(u'\n').remove(u"finding: "_s).split(u'\n');
                expected.removeAll(u"none"_s);
                QTest::newRow(qPrintable(e.context)) << e << expected;
            }
        }
    }
    void checkReadsRealTranslations()
    {
        QFETCH(Entry, e);
        QFETCH(QStringList, expected);
        QStringList found;
        for (const Finding &finding : checkEntry(e))
            found.append(finding.what);
        QCOMPARE(found, expected);
    }

    // A label goes to the engine as a user sees it and comes back with one
    // accelerator; what only looks like a marker is left as written.
    void accelerators_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QChar>("marker");
        QTest::addColumn<QString>("asked"); // what the engine gets
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("filled");
        QTest::newRow("qt, inside a word, key not in the translation")
            << u"Op&en File"_s << QChar(u'&') << u"Open File"_s << u"Abrir archivo"_s << u"&Abrir archivo"_s;
        QTest::newRow("same letter at a word start first") << u"Show &tabs"_s << QChar(u'&') << u"Show tabs"_s
                                                           << u"Mostrar tabuladores"_s << u"Mostrar &tabuladores"_s;
        QTest::newRow("same letter, case aside")
            << u"Fit p&age"_s << QChar(u'&') << u"Fit page"_s << u"Ajustar página"_s << u"&Ajustar página"_s;
        QTest::newRow("same letter inside a word") << u"Change c&olor..."_s << QChar(u'&') << u"Change color..."_s
                                                   << u"Cambiar color..."_s << u"Cambiar c&olor..."_s;
        QTest::newRow("doubled marker shows one, written back doubled")
            << u"Save && &Quit"_s << QChar(u'&') << u"Save & Quit"_s << u"Guardar & salir"_s << u"&Guardar && salir"_s;
        QTest::newRow("stray marker stays") << u"&Find & Replace"_s << QChar(u'&') << u"Find & Replace"_s
                                            << u"Buscar & reemplazar"_s << u"&Buscar && reemplazar"_s;
        QTest::newRow("never beside a literal marker")
            << u"&Development"_s << QChar(u'&') << u"Development"_s << u"I&D"_s << u"&I&&D"_s;
        QTest::newRow("never inside markup") << u"&Bold <b>text</b>"_s << QChar(u'&') << u"Bold <b>text</b>"_s
                                             << u"Negrita <b>texto</b>"_s << u"&Negrita <b>texto</b>"_s;
        QTest::newRow("never inside an identifier") << u"PDF&LaTeX command:"_s << QChar(u'&') << u"PDFLaTeX command:"_s
                                                    << u"Orden PDFLaTeX:"_s << u"&Orden PDFLaTeX:"_s;
        QTest::newRow("chinese takes the key in brackets")
            << u"&Open..."_s << QChar(u'&') << u"Open..."_s << u"打开..."_s << u"打开(&O)..."_s;
        QTest::newRow("entity") << u"Tom &amp; Jerry"_s << QChar(u'&') << u"Tom &amp; Jerry"_s << u"x"_s << u"x"_s;
        QTest::newRow("abbreviation") << u"R&D budget"_s << QChar(u'&') << u"R&D budget"_s << u"x"_s << u"x"_s;
        QTest::newRow("ampersand as a word")
            << u"Search & Replace"_s << QChar(u'&') << u"Search & Replace"_s << u"x"_s << u"x"_s;
        QTest::newRow("two marks are no label")
            << u"&Open &File"_s << QChar(u'&') << u"&Open &File"_s << u"x"_s << u"x"_s;
        QTest::newRow("url") << u"See http://a.org/?a=1&b=2"_s << QChar(u'&') << u"See http://a.org/?a=1&b=2"_s
                             << u"x"_s << u"x"_s;
        QTest::newRow("gtk, word start") << u"_File"_s << QChar(u'_') << u"File"_s << u"Archivo"_s << u"_Archivo"_s;
        QTest::newRow("gtk, capitalised word")
            << u"Pr_eferences"_s << QChar(u'_') << u"Preferences"_s << u"Preferencias"_s << u"Pr_eferencias"_s;
        QTest::newRow("gtk, literal underscore doubled both ways")
            << u"Join with __ and _Save"_s << QChar(u'_') << u"Join with _ and Save"_s << u"Unir con _ y salvar"_s
            << u"Unir con __ y _salvar"_s;
        QTest::newRow("gtk, an identifier's doubled underscore kept as written")
            << u"Set LC__ALL for _Save"_s << QChar(u'_') << u"Set LC__ALL for Save"_s << u"Establecer LC__ALL"_s
            << u"_Establecer LC__ALL"_s;
        QTest::newRow("gtk, two underscores are no label")
            << u"Set LC_ALL for _Save"_s << QChar(u'_') << u"Set LC_ALL for _Save"_s << u"x"_s << u"x"_s;
        QTest::newRow("gtk, capitalised identifier in a message")
            << u"Line_index exceeds %s"_s << QChar(u'_') << u"Line_index exceeds %s"_s << u"x"_s << u"x"_s;
        QTest::newRow("constant") << u"POSIXLY_CORRECT is set"_s << QChar(u'_') << u"POSIXLY_CORRECT is set"_s << u"x"_s
                                  << u"x"_s;
        QTest::newRow("snake case") << u"Bad file_name"_s << QChar(u'_') << u"Bad file_name"_s << u"x"_s << u"x"_s;
        QTest::newRow("option the marker breaks")
            << u"Use --&help"_s << QChar(u'&') << u"Use --&help"_s << u"x"_s << u"x"_s;
        QTest::newRow("option") << u"Use --no_color"_s << QChar(u'_') << u"Use --no_color"_s << u"x"_s << u"x"_s;
        QTest::newRow("strftime flag") << u"At %_H hours"_s << QChar(u'_') << u"At %_H hours"_s << u"x"_s << u"x"_s;
        QTest::newRow("perl variable") << u"Set $_Foo"_s << QChar(u'_') << u"Set $_Foo"_s << u"x"_s << u"x"_s;
        QTest::newRow("function") << u"Call _exit()"_s << QChar(u'_') << u"Call _exit()"_s << u"x"_s << u"x"_s;
        QTest::newRow("format without accelerators") << u"Op&en"_s << QChar() << u"Op&en"_s << u"x"_s << u"x"_s;
    }
    void accelerators()
    {
        QFETCH(QString, source);
        QFETCH(QChar, marker);
        QFETCH(QString, asked);
        QFETCH(QString, answer);
        QFETCH(QString, filled);
        Entry e = entry(source, {});
        e.accelerator = marker;
        QCOMPARE(textsToAsk(e), QStringList {asked});
        QCOMPARE(formsFromAnswers(e, {answer}, 2), QStringList {filled});
        // --check takes the fill, and finds an answer without a marker wanting.
        e.translations = {filled};
        QCOMPARE(acceleratorMismatches(e), QStringList());
        e.translations = {answer};
        if (!answer.contains(marker))
            QCOMPARE(acceleratorMismatches(e).size(), asked == source ? 0 : 1);
    }

    // A PO catalog says which marker it uses, or its entries do.
    void poAcceleratorMarkers_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QChar>("marker");
        const QStringList gtk {u"_Open"_s, u"Save _As"_s, u"Tom & Jerry"_s};
        QTest::newRow("declared") << u"Language: de\nX-Accelerator-Marker: &\n"_s << gtk << QString() << QChar(u'&');
        QTest::newRow("declared none") << u"X-Accelerator-Marker: \nLanguage: de\n"_s << gtk << QString() << QChar();
        QTest::newRow("lokalize") << u"X-Generator: Lokalize 1.2\n"_s << gtk << QString() << QChar(u'&');
        QTest::newRow("lconvert") << u"X-Qt-Contexts: true\n"_s << gtk << QString() << QChar(u'&');
        QTest::newRow("kde-format entry") << QString() << gtk << u"kde-format"_s << QChar(u'&');
        QTest::newRow("more ampersand labels")
            << QString() << QStringList {u"Op&en"_s, u"Use LC_ALL and _Save"_s} << QString() << QChar(u'&');
        QTest::newRow("gtk") << QString() << gtk << u"c-format"_s << QChar(u'_');
        QTest::newRow("command line") << QString() << QStringList {u"POSIXLY_CORRECT"_s, u"R&D"_s} << QString()
                                      << QChar(u'_');
    }
    void poAcceleratorMarkers()
    {
        QFETCH(QString, header);
        QFETCH(QStringList, sources);
        QFETCH(QString, flag);
        QFETCH(QChar, marker);
        QList<Entry> entries;
        for (const QString &source : sources)
            entries.append(entry(source, {}));
        entries.last().flags = QStringList {flag};
        QCOMPARE(poAcceleratorMarker(header, entries), marker);
    }

    // Errors of use end with status 2 before anything is read; --to codes
    // come out as gettext names locales.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: parsed
        QTest::addColumn<QStringList>("to"); // parsed: the --to codes; refused: what the message names
        QTest::newRow("template to two") << QStringList {u"--to"_s, u"es, pt-BR"_s, u"app.pot"_s} << -1
                                         << QStringList {u"es"_s, u"pt_BR"_s};
        QTest::newRow("--to with script, region and modifier") << QStringList {u"--to"_s, u"zh-Hant,sr_RS@latin,tt"_s,
            u"app.pot"_s} << -1 << QStringList {u"zh_Hant"_s, u"sr_RS@latin"_s, u"tt"_s};
        QTest::newRow("--to a language nobody knows")
            << QStringList {u"--to"_s, u"es,tlh"_s, u"app.pot"_s} << 2 << QStringList {u"--to tlh:"_s};
        QTest::newRow("--to a word") << QStringList {u"--to"_s, u"spanish"_s, u"app.pot"_s} << 2 << QStringList();
        QTest::newRow("no file") << QStringList {u"--dry-run"_s} << 2 << QStringList();
        QTest::newRow("--to without a template") << QStringList {u"--to"_s, u"es"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("check takes no --dry-run")
            << QStringList {u"--check"_s, u"--dry-run"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("glossary without check")
            << QStringList {u"--glossary"_s, u"terms.csv"_s, u"es.po"_s} << 2 << QStringList {u"--glossary"_s};
        QTest::newRow("service not http")
            << QStringList {u"--service"_s, u"ftp://h/"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("service without host")
            << QStringList {u"--service"_s, u"http:"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("jobs zero") << QStringList {u"--jobs"_s, u"0"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("jobs too many") << QStringList {u"--jobs"_s, u"257"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("accept without a key") << QStringList {u"--accept"_s, u"de.json"_s} << 2 << QStringList();
        QTest::newRow("version") << QStringList {u"--version"_s} << 0 << QStringList {u"tarnix-fill "_s};
        QTest::newRow("help") << QStringList {u"--help"_s} << 0 << QStringList {u"--dry-run"_s};
        QTest::newRow("unreviewed translates nothing")
            << QStringList {u"--unreviewed"_s, u"--refill-fuzzy"_s, u"es.po"_s} << 2 << QStringList();
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, to);
        const auto parsed = parseOptions(QStringList {u"tarnix-fill"_s} + arguments, QUrl(u"http://127.0.0.1:7317"_s));
        if (const auto *exit = std::get_if<OptionsExit>(&parsed)) {
            QCOMPARE(exit->status, status);
            for (const QString &named : to)
                QVERIFY2(exit->text.contains(named), qPrintable(exit->text));
        } else {
            QVERIFY(status == -1 && std::get<Options>(parsed).to == to);
        }
    }

    // The review record of a catalog without review marks: what it lists
    // as unreviewed, what a run and --accept leave of it, one entry a line.
    void reviewRecord_data()
    {
        QTest::addColumn<QByteArray>("record"); // after the header
        QTest::addColumn<QStringList>("catalog"); // "key=form|form", as the catalog holds them now
        QTest::addColumn<QStringList>("filled"); // the run's fills, likewise
        QTest::addColumn<QStringList>("accepted");
        QTest::addColumn<QStringList>("unreviewed"); // keys, before the run
        QTest::addColumn<QByteArray>("after"); // the record after the run and --accept; empty: none
        QTest::addColumn<int>("badLine");
        const QStringList none;
        QTest::newRow("machine's text untouched") << "greet\tHallo\n"_ba << QStringList {u"greet=Hallo"_s} << none
                                                  << none << QStringList {u"greet"_s} << "greet\tHallo\n"_ba << 0;
        QTest::newRow("a person changed the text")
            << "greet\tHallo\n"_ba << QStringList {u"greet=Hallo!"_s} << none << none << none << QByteArray() << 0;
        QTest::newRow("a person emptied it")
            << "greet\tHallo\n"_ba << QStringList {u"greet="_s} << none << none << none << QByteArray() << 0;
        QTest::newRow("its key gone") << "old\tAlt\n"_ba << QStringList {u"new=Alt"_s} << none << none << none
                                      << QByteArray() << 0;
        QTest::newRow("fills sorted in, a refill replacing")
            << "b\tB1\n"_ba << QStringList {u"b=B1"_s, u"c=C"_s, u"a="_s} << QStringList {u"b=B2"_s, u"a=A"_s} << none
            << QStringList {u"b"_s} << "a\tA\nb\tB2\n"_ba << 0;
        QTest::newRow("plural forms a field each")
            << "files\t{n} Datei\t{n} Dateien\n"_ba << QStringList {u"files={n} Datei|{n} Dateien"_s} << none << none
            << QStringList {u"files"_s} << "files\t{n} Datei\t{n} Dateien\n"_ba << 0;
        QTest::newRow("a plural form changed")
            << "files\tx\ty\n"_ba << QStringList {u"files=x|z"_s} << none << none << none << QByteArray() << 0;
        QTest::newRow("escapes keep one entry one line")
            << "menu\\u0004Open\t\\tÖffnen\\n\\\\x\\u2028y\\u0085\n"_ba
            << QStringList {u"menu\u0004Open=\tÖffnen\n\\x\u2028y\u0085"_s} << none << none
            << QStringList {u"menu\u0004Open"_s} << "menu\\u0004Open\t\\tÖffnen\\n\\\\x\\u2028y\\u0085\n"_ba << 0;
        QTest::newRow("accepted keys leave")
            << "a\tA\nb\tB\n"_ba << QStringList {u"a=A"_s, u"b=B"_s} << none << QStringList {u"a"_s}
            << QStringList {u"a"_s, u"b"_s} << "b\tB\n"_ba << 0;
        QTest::newRow("checked out with CR LF")
            << "a\tA\r\n"_ba << QStringList {u"a=A"_s} << none << none << QStringList {u"a"_s} << "a\tA\n"_ba << 0;
        QTest::newRow("a line without text")
            << "a\tA\njustakey\n"_ba << none << none << none << none << QByteArray() << 3;
        QTest::newRow("an escape never written")
            << "a\tC:\\path\n"_ba << none << none << none << none << QByteArray() << 2;
        QTest::newRow("a short unicode escape") << "a\t\\u00\n"_ba << none << none << none << none << QByteArray() << 2;
        // Where a person's translation came from: the last field, after "\#".
        QTest::newRow("an origin stays with its entry")
            << "greet\tHallo\t\\#tarnix: people's translation (X)\n"_ba << QStringList {u"greet=Hallo"_s} << none
            << none << QStringList {u"greet"_s} << "greet\tHallo\t\\#tarnix: people's translation (X)\n"_ba << 0;
        QTest::newRow("a refill replaces the origin, an engine's fill drops it")
            << "a\tA\t\\#tarnix: 92% match of \"x\" (X)\nb\tB1\tB2\t\\#tarnix: old\n"_ba
            << QStringList {u"a=A"_s, u"b=B1|B2"_s}
            << QStringList {u"a=A2#tarnix: people's translation"_s, u"b=C1|C2"_s} << none
            << QStringList {u"a"_s, u"b"_s} << "a\tA2\t\\#tarnix: people's translation\nb\tC1\tC2\n"_ba << 0;
        QTest::newRow("a bad escape in an origin")
            << "a\tA\t\\#x\\q\n"_ba << none << none << none << none << QByteArray() << 2;
    }
    void reviewRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, catalog);
        QFETCH(QStringList, filled);
        QFETCH(QStringList, accepted);
        QFETCH(QStringList, unreviewed);
        QFETCH(QByteArray, after);
        QFETCH(int, badLine);
        const QByteArray header = serialisedRecord({{u"k"_s, {u"v"_s}}}).split('\n').first() + '\n';
        int bad = 0;
        const auto read = parsedRecord(header + record, bad);
        QCOMPARE(bad, badLine);
        QCOMPARE(!read, badLine > 0);
        if (!read)
            return;
        const auto items = [](const QStringList &pairs) {
            QList<ReviewItem> out;
            for (const QString &pair : pairs) {
                const QString value = pair.section(u'=', 1);
                out.append({pair.section(u'=', 0, 0), value.section(u'#', 0, 0).split(u'|'), value.section(u'#', 1)});
            }
            return out;
        };
        QList<Entry> entries;
        for (const ReviewItem &item : items(catalog)) {
            entries.append(entry(u"source"_s, item.forms));
            entries.last().key = item.key;
        }
        QStringList listed;
        for (int index : unreviewedEntries(entries, false, *read))
            listed.append(entries[index].key);
        QCOMPARE(listed, unreviewed);
        const QList<ReviewItem> merged = withoutKeys(mergedRecord(*read, entries, items(filled)), accepted);
        const QByteArray written = serialisedRecord(merged);
        QCOMPARE(written, after.isEmpty() ? QByteArray() : header + after);
        QCOMPARE(parsedRecord(written, bad).value_or(QList<ReviewItem> {{}}).size(), merged.size());
    }

    void poMessageLines()
    {
        const QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Language: es\\n\"\n\n#| msgid \"old\"\nmsgid \"a\"\n"
                              "msgstr \"\"\n\nmsgctxt \"menu\"\nmsgid \"b\"\nmsgstr \"\"\n\n#~ msgid \"gone\"\n"
                              "#~ msgstr \"ido\"\n"_ba;
        QCOMPARE(tarnix::fill::poMessageLines(po), (QList<int> {1, 6, 9, 13}));
    }

    // Names left, counts right; entries needing review apart from reviewed
    // ones; "not asked" only after an interrupted run.
    void endTable()
    {
        Counts done {u"po/es.po"_s, u"es"_s, 165, 139, 26, 0, 0, 0, 0, 0, {}};
        Counts stopped {u"ca.po"_s, u"ca"_s, 12, 0, 0, 12, 5, 1, 1, 2, {{u"HTTP 503"_s, 2}}};
        QCOMPARE(summaryTable({done, stopped}, false),
            u"file      language  entries  translated  review  filled  memory  refused  failed  not asked\n"
            "po/es.po  es            165         139      26       0       0        0       0          0\n"
            "ca.po     ca             12           0       0       5       1        1       2          4\n"
            "ca.po (ca): 2 x HTTP 503\n"_s);
        // People's translations and close matches apart from the memory's and the engines'.
        Counts people {u"es.po"_s, u"es"_s, 9, 0, 0, 9, 8, 1, 1, 0, {}, 3, 2};
        QCOMPARE(summaryTable({people}, false),
            u"file   language  entries  translated  review  filled  people  close  memory  engine  refused  failed\n"
            "es.po  es              9           0       0       8       3      2       1       2        1       0\n"_s);
        QCOMPARE(summaryTable({done}, true).section(u'\n', 0, 0),
            u"file      language  entries  translated  review  to fill  memory  refused  failed"_s);
        QCOMPARE(plannedEntry(u"po/app.pot"_s, 7, u"es"_s, u"Usage:\n  -x\tlong "_s + QString(60, u'y')),
            u"po/app.pot:7 [es]: Usage:\\n  -x\\tlong "_s + QString(50, u'y') + u'…');
    }

    // An estimate of one catalog: an entry goes to the engine of its first
    // text, remembered as its first text is; a text no engine offers makes
    // its entry unsupported; an answer that is not an estimate is none.
    void estimatesAddUpByEntry()
    {
        const QByteArray body = R"({"items": [
            {"id": 0, "status": 200, "engine": "apertium", "memory": true},
            {"id": 1, "status": 200, "engine": "apertium", "memory": true},
            {"id": 2, "status": 200, "engine": "apertium", "memory": false},
            {"id": 3, "status": 422},
            {"id": 4, "status": 200, "memory": false}],
            "engines": [{"engine": "apertium", "characters": 40, "requests": 1, "cost": 0.5, "currency": "EUR"}]})";
        const auto answer = readEstimateAnswer(body, 5);
        QVERIFY(answer);
        CatalogEstimate po {u"po/es.po"_s, u"es"_s, {}, 0};
        addEstimate(po, *answer, {1, 2, 1, 1}); // the second entry is a plural of two texts
        addEstimate(po, *answer, {1, 2, 1, 1}); // a second request of the same catalog adds up
        QCOMPARE(po.unsupported, 2);
        QCOMPARE(po.engines.value(u"apertium"_s).entries, 4);
        QCOMPARE(po.engines.value(u"apertium"_s).remembered, 4);
        QCOMPARE(po.engines.value(u"apertium"_s).requests, 2);
        QCOMPARE(po.engines.value(u""_s).entries, 2);
        const QString table = estimateTable({po});
        QVERIFY2(table.contains(QRegularExpression(u"po/es.po +es +apertium +4 +4 +80 +2 +\\? +1.00 EUR\n"_s)),
            qPrintable(table));
        QVERIFY2(table.contains(u"2 entries have no engine"_s), qPrintable(table));
        // People's translations, of the text itself and close, each a row of their own.
        const auto people = readEstimateAnswer(R"({"items": [
            {"id": 0, "status": 200, "memory": true, "origin": "person", "score": 100},
            {"id": 1, "status": 200, "memory": true, "origin": "person", "score": 91},
            {"id": 2, "status": 200, "memory": true, "origin": "person", "score": 100}],
            "people": {"exact": 2, "close": 1}, "engines": []})"_ba,
            3);
        QVERIFY(people);
        CatalogEstimate ts {u"app_es.ts"_s, u"es"_s, {}, 0};
        addEstimate(ts, *people, {1, 1, 1});
        QCOMPARE(ts.engines.value(peoplesEngine).entries, 2);
        QCOMPARE(ts.engines.value(closeEngine).entries, 1);
        QVERIFY2(estimateTable({ts}).contains(QRegularExpression(u"app_es.ts +es +\\(close match\\) +1 +0 +0 +0 "_s)),
            qPrintable(estimateTable({ts})));
        for (const QByteArray &wrong : {R"({"items": []})"_ba, R"(<p>Not Found</p>)"_ba,
                 R"({"items": [{"id": 0}, {"id": 0}, {"id": 1}, {"id": 2}, {"id": 3}], "engines": []})"_ba})
            QVERIFY2(!readEstimateAnswer(wrong, 5), wrong.constData());
    }
};

QTEST_GUILESS_MAIN(TestFillLogic)
#include "test_fill_logic.moc"
