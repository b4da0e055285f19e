#include <QTest>

#include "fill/answer.h"
#include "fill/check.h"
#include "fill/cldrplurals.h"
#include "fill/formats/po.h"
#include "fill/languages.h"
#include "fill/options.h"
#include "fill/plan.h"
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
        QTest::newRow("spanish") << u"es"_s << u"es"_s << 2;
        QTest::newRow("brazilian has its own rule") << u"pt_BR"_s << u"pt"_s << 2;
        QTest::newRow("taiwan") << u"zh_TW"_s << u"zh-TW"_s << 1;
        QTest::newRow("hong kong") << u"zh_HK"_s << u"zh-TW"_s << 1;
        QTest::newRow("traditional script") << u"zh-Hant"_s << u"zh-TW"_s << 1;
        QTest::newRow("china") << u"zh_CN"_s << u"zh-CN"_s << 1;
        QTest::newRow("simplified script in taiwan") << u"zh_Hans_TW"_s << u"zh-CN"_s << 1;
        QTest::newRow("hebrew") << u"he"_s << u"iw"_s << 2;
        QTest::newRow("russian") << u"ru_RU.UTF-8"_s << u"ru"_s << 3;
        QTest::newRow("polish") << u"pl"_s << u"pl"_s << 3;
        QTest::newRow("arabic") << u"ar"_s << u"ar"_s << 6;
        QTest::newRow("czech") << u"cs_CZ"_s << u"cs"_s << 3;
        QTest::newRow("deprecated code as its current one") << u"iw"_s << u"iw"_s << 2;
        QTest::newRow("catalan: cldr's many for a million") << u"ca@valencia"_s << u"ca"_s << 3;
        QTest::newRow("language without plural data") << u"tt"_s << u"tt"_s << 0;
        QTest::newRow("unknown") << u"tlh"_s << u"tlh"_s << 0;
        QTest::newRow("qt's C locale as a source") << u"C"_s << u"en"_s << 0;
    }
    void serviceCodes()
    {
        QFETCH(QString, catalog);
        QFETCH(QString, service);
        QFETCH(int, plurals);
        QCOMPARE(serviceLanguage(catalog), service);
        QCOMPARE(pluralRule(catalog).count, plurals);
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

    void checkFindsBrokenPlaceholders_data()
    {
        QTest::addColumn<Entry>("e");
        QTest::addColumn<QString>("found"); // empty: nothing
        QTest::newRow("qt %1 lost") << entry(u"Delete %1?"_s, {u"¿Borrar?"_s}) << u"%1"_s;
        QTest::newRow("printf %s broken") << entry(u"Save %s now"_s, {u"Guardar % s ahora"_s}) << u"%s"_s;
        QTest::newRow("printf order swapped") << entry(u"%s of %d"_s, {u"%d de %s"_s}) << u"%"_s;
        QTest::newRow("numbered may move") << entry(u"%1 of %2"_s, {u"%2 de %1"_s}) << QString();
        QTest::newRow("markup kept") << entry(u"<b>Bold</b>"_s, {u"<b>Negrita</b>"_s}) << QString();
        QTest::newRow("untranslated is no finding") << entry(u"Delete %1?"_s, {QString()}) << QString();
        QTest::newRow("plural form 0 may follow the plural")
            << entry(u"One file"_s, {u"%d файл"_s, u"%d файла"_s, u"%d файлов"_s}, u"%d files"_s) << QString();
        QTest::newRow("plural form losing both")
            << entry(u"One file"_s, {u"файл"_s, u"файла"_s}, u"%d files"_s) << u"form 1"_s;
    }
    void checkFindsBrokenPlaceholders()
    {
        QFETCH(Entry, e);
        QFETCH(QString, found);
        e.line = 7;
        const QList<Finding> findings = checkEntry(e);
        QCOMPARE(findings.isEmpty(), found.isEmpty());
        if (!found.isEmpty()) {
            QCOMPARE(findings.first().line, 7);
            QVERIFY2(findings.first().what.contains(found), qPrintable(findings.first().what));
        }
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
        QTest::newRow("service not http")
            << QStringList {u"--service"_s, u"ftp://h/"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("service without host")
            << QStringList {u"--service"_s, u"http:"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("jobs zero") << QStringList {u"--jobs"_s, u"0"_s, u"es.po"_s} << 2 << QStringList();
        QTest::newRow("jobs too many") << QStringList {u"--jobs"_s, u"257"_s, u"es.po"_s} << 2 << QStringList();
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

    void poMessageLines()
    {
        const QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Language: es\\n\"\n\n#| msgid \"old\"\nmsgid \"a\"\n"
                              "msgstr \"\"\n\nmsgctxt \"menu\"\nmsgid \"b\"\nmsgstr \"\"\n\n#~ msgid \"gone\"\n"
                              "#~ msgstr \"ido\"\n"_ba;
        QCOMPARE(tarnix::fill::poMessageLines(po), (QList<int> {1, 6, 9, 13}));
    }
};

QTEST_GUILESS_MAIN(TestFillLogic)
#include "test_fill_logic.moc"
