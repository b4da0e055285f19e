#include <algorithm>
#include <cmath>
#include <vector>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "service/engines/apyprotocol.h"
#include "service/engines/libretranslateprotocol.h"
#include "service/http/form.h"
#include "service/http/page.h"
#include "service/http/requestlog.h"
#include "service/memory/similarity.h"
#include "service/options.h"
#include "service/text/glossary.h"
#include "service/text/keptterms.h"
#include "service/text/placeholdercheck.h"
#include "service/text/placeholdergrammar.h"
#include "service/text/placeholders.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using Status = EngineResult::Status;

Q_DECLARE_METATYPE(Status)

// The service's pure logic: form parsing, the answer page, placeholder
// masking and the engines' wire formats.
class TestServiceText : public QObject
{
    Q_OBJECT

private slots:
    void scoresSimilarity_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("score");
        QTest::newRow("same") << u"Open the file"_s << u"Open the file"_s << 85 << 100;
        QTest::newRow("both empty") << QString() << QString() << 85 << 100;
        QTest::newRow("one empty") << u"Open"_s << QString() << 0 << 0;
        // One substitution in 14: 100 × 13/14 = 92.86, scores round down.
        QTest::newRow("one letter of 14") << u"Open the file."_s << u"Open the file!"_s << 85 << 92;
        QTest::newRow("appended word") << u"Open the file"_s << u"Open the files"_s << 85 << 92;
        QTest::newRow("just at the threshold") << u"abcdefghij"_s << u"abcdefghXY"_s << 80 << 80;
        QTest::newRow("just below it") << u"abcdefghij"_s << u"abcdefgXYZ"_s << 71 << -1;
        QTest::newRow("length alone decides") << u"Save"_s << u"Save all open documents"_s << 50 << -1;
        QTest::newRow("case counts") << u"OPEN"_s << u"open"_s << 0 << 0;
    }
    void scoresSimilarity()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, threshold);
        QFETCH(int, score);
        QCOMPARE(similarityScore(a, b, threshold), score);
        QCOMPARE(similarityScore(b, a, threshold), score);
    }
    // The banded computation against the whole table, on random texts of a
    // small alphabet (so that they share much) and every threshold.
    void similarityAgreesWithTheWholeTable()
    {
        const auto reference = [](const QString &a, const QString &b) {
            std::vector<qsizetype> row(std::size_t(b.size()) + 1);
            for (qsizetype j = 0; j <= b.size(); ++j)
                row[std::size_t(j)] = j;
            for (qsizetype i = 1; i <= a.size(); ++i) {
                qsizetype diagonal = row[0];
                row[0] = i;
                for (qsizetype j = 1; j <= b.size(); ++j) {
                    const qsizetype above = row[std::size_t(j)];
                    row[std::size_t(j)] =
                        std::min({above + 1, row[std::size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
                    diagonal = above;
                }
            }
            const qsizetype longer = std::max(a.size(), b.size());
            return longer == 0 ? 100.0 : 100.0 * (1.0 - double(row.back()) / double(longer));
        };
        QRandomGenerator random(20261208);
        const auto text = [&random]() {
            QString s;
            for (int n = random.bounded(0, 30); n > 0; --n)
                s.append(QChar(u'a' + random.bounded(0, 3)));
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            const QString a = text();
            QString b = random.bounded(2) ? text() : a;
            for (int edits = random.bounded(0, 4); edits > 0 && !b.isEmpty(); --edits)
                b[random.bounded(b.size())] = u'x';
            const int threshold = random.bounded(0, 101);
            const double exact = reference(a, b);
            const int score = similarityScore(a, b, threshold);
            if (exact + 1e-9 >= threshold)
                QCOMPARE(score, int(std::floor(exact + 1e-9)));
            else
                QCOMPARE(score, -1);
        }
    }
    void decodesFormComponents_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("plus is a space") << "a+b"_ba
                                         << "a b"_ba;
        QTest::newRow("escaped plus stays a plus") << "1%2B1"_ba
                                                   << "1+1"_ba;
        QTest::newRow("lower-case hex") << "%c3%a9"_ba
                                        << "\xc3\xa9"_ba;
        QTest::newRow("escaped ampersand and equals") << "a%26b%3Dc"_ba
                                                      << "a&b=c"_ba;
        QTest::newRow("percent of percent") << "%251"_ba
                                            << "%1"_ba;
    }
    void decodesFormComponents()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, decoded);
        QCOMPARE(decodeFormComponent(encoded), std::optional<QByteArray>(decoded));
    }

    void parsesTheProgramsForm()
    {
        const auto parsed = parseTranslationForm(
            "js=n&prev=_t&hl=en&ie=UTF-8&layout=2&eotf=1&sl=zh-CN&tl=ko&text=%20a%26b%3Dc%0A%C3%A9%25%20"_ba);
        const auto *form = std::get_if<TranslationForm>(&parsed);
        QVERIFY(form);
        QCOMPARE(form->source, u"zh-CN"_s);
        QCOMPARE(form->target, u"ko"_s);
        QCOMPARE(form->text, u" a&b=c\n\u00e9% "_s);
        QVERIFY(form->context.isEmpty());
        const auto withContext = parseTranslationForm("sl=en&tl=es&text=Open&context=File%20menu%7Cverb"_ba);
        QCOMPARE(std::get<TranslationForm>(withContext).context, u"File menu|verb"_s);
        QVERIFY(std::holds_alternative<FormError>(parseTranslationForm("sl=en&tl=es&text=a&context=x&context=y"_ba)));
    }

    void pageHoldsTheTranslationBetweenTheMarkers()
    {
        const QString page = QString::fromUtf8(translationPage(u"a < b & c > d\n&amp; é"_s));
        const qsizetype start = page.indexOf(u"<span id=result_box"_s);
        const qsizetype end = page.indexOf(u"<div id=gt-res-tools"_s);
        QVERIFY(start >= 0 && end > start);
        const QString between = page.sliced(start, end - start);
        QCOMPARE(between.sliced(between.indexOf(u'>') + 1), u"a &#60; b &#38; c &#62; d\n&#38;amp; é</span></div>"_s);
        QCOMPARE(page.count(u"<span id=result_box"_s), 1);
    }

    void errorPageHasNoMarkers()
    {
        const QString page = QString::fromUtf8(
            errorPage(400, u"Bad Request"_s, u"field <span id=result_box> or <div id=gt-res-tools"_s));
        QVERIFY(!page.contains(u"<span id=result_box"_s));
        QVERIFY(!page.contains(u"<div id=gt-res-tools"_s));
        QVERIFY(page.contains(u"400 Bad Request"_s));
    }

    // Each class of the grammar once. Kinds: o/O a placeholder kept in order
    // (word/number), p/P one that may move, k kept text (identifier, quoted code).
    void findsPlaceholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QString>("kinds");
        QTest::newRow("printf") << u"%-*.*s %.*s %'d %I64d %hhu %zu %Lf %m %n %%"_s
                                << QStringList {u"%-*.*s"_s, u"%.*s"_s, u"%'d"_s, u"%I64d"_s, u"%hhu"_s, u"%zu"_s,
                                       u"%Lf"_s, u"%m"_s, u"%n"_s, u"%%"_s}
                                << u"ooOOOOOpOp"_s;
        QTest::newRow("printf positions and macros")
            << u"%2$s %10$*3$d %0*<PRIx64>"_s << QStringList {u"%2$s"_s, u"%10$*3$d"_s, u"%0*<PRIx64>"_s} << u"pPO"_s;
        QTest::newRow("apple's objects") << u"%@ of %2$@, %lld"_s << QStringList {u"%@"_s, u"%2$@"_s, u"%lld"_s}
                                         << u"opO"_s;
        QTest::newRow("stringsdict variables")
            << u"Input exceeds %#@chars@ in %1$#@files@"_s << QStringList {u"%#@chars@"_s, u"%1$#@files@"_s} << u"op"_s;
        QTest::newRow("string catalog substitutions")
            << u"%#@total.strings@ of %arg"_s << QStringList {u"%#@total.strings@"_s, u"%arg"_s} << u"oP"_s;
        QTest::newRow("space flag only before a non-letter") << u"50% done, % d"_s << QStringList {u"% d"_s} << u"O"_s;
        QTest::newRow("python") << u"%(name)s %(n)d {} {0} {name!r:>10} {count} {name}"_s
                                << QStringList {u"%(name)s"_s, u"%(n)d"_s, u"{}"_s, u"{0}"_s, u"{name!r:>10}"_s,
                                       u"{count}"_s, u"{name}"_s}
                                << u"pPoppPp"_s;
        QTest::newRow("qt") << u"%1 minutes, %L2, %Ln, %3"_s << QStringList {u"%1"_s, u"%L2"_s, u"%Ln"_s, u"%3"_s}
                            << u"PPOp"_s;
        QTest::newRow("icu") << u"{n, plural, one {# file} other {# files}} {0, number}"_s
                             << QStringList {u"{n, plural, one {# file} other {# files}}"_s, u"{0, number}"_s}
                             << u"pP"_s;
        QTest::newRow("ruby, shell, double braces, strftime")
            << u"%{name} %<total>d $HOME ${XDG_DIR:-x} {{name}} %H:%M %+4Y"_s
            << QStringList {u"%{name}"_s, u"%<total>d"_s, u"$HOME"_s, u"${XDG_DIR:-x}"_s, u"{{name}}"_s, u"%H"_s,
                   u"%M"_s, u"%+4Y"_s}
            << u"pPpppPPP"_s;
        QTest::newRow("shell expansions whole")
            << u"${1##*=} ${var:-a b} ${#var} $(basename \"$0\") $((n + (1))) $name $1 $12"_s
            << QStringList {u"${1##*=}"_s, u"${var:-a b}"_s, u"${#var}"_s, u"$(basename \"$0\")"_s, u"$((n + (1)))"_s,
                   u"$name"_s, u"$1"_s}
            << u"ppppppp"_s;
        QTest::newRow("i18next: interpolation, formats, nesting, numbered tags")
            << u"{{name}} {{val, number}} {{- html}} $t(common.ok) $t(girls, {\"count\": {{girls}} }) <0>{{count}} key</0><1/>"_s
            << QStringList {u"{{name}}"_s, u"{{val, number}}"_s, u"{{- html}}"_s, u"$t(common.ok)"_s,
                   u"$t(girls, {\"count\": {{girls}} })"_s, u"<0>"_s, u"{{count}}"_s, u"</0>"_s, u"<1/>"_s}
            << u"ppppppppp"_s;
        QTest::newRow("lists of literal values, not metavariables")
            << u"--compress[={none|zlib-gnu}] [={up,down}] {auto|manual} -d=<number|name> {FILE|DIR} {one-word}"_s
            << QStringList {u"--compress[={none|zlib-gnu}]"_s, u"[={up,down}]"_s, u"{auto|manual}"_s,
                   u"-d=<number|name>"_s}
            << u"pppp"_s;
        QTest::newRow("markup, references, escapes")
            << u"<b class=\"x\">a</b><br/> &amp; &#39; \\n \\\""_s
            << QStringList {u"<b class=\"x\">"_s, u"</b>"_s, u"<br/>"_s, u"&amp;"_s, u"&#39;"_s, u"\\n"_s, u"\\\""_s}
            << u"ppppppp"_s;
        QTest::newRow("urls, mail, options")
            << u"see https://example.org/a?b=1. or bugs@example.org --color[=WHEN] -EL e-mail"_s
            << QStringList {u"https://example.org/a?b=1"_s, u"bugs@example.org"_s, u"--color[=WHEN]"_s, u"-EL"_s}
            << u"pppp"_s;
        QTest::newRow("identifiers and quoted code")
            << u"_GLOBAL_OFFSET_TABLE_ setValue() 'markdown' `apt-mark --help` 'Cancel' apt-mark"_s
            << QStringList {u"_GLOBAL_OFFSET_TABLE_"_s, u"setValue()"_s, u"'markdown'"_s, u"`apt-mark --help`"_s}
            << u"kkkk"_s;
        QTest::newRow("other languages' keywords")
            << u"%%define %%expect-rr %type .register %%g[2367],{#scratch|symbolname|#ignore} %define"_s
            << QStringList {u"%%define"_s, u"%%expect-rr"_s, u"%type"_s, u".register"_s, u"%%g[2367]"_s,
                   u"{#scratch|symbolname|#ignore}"_s, u"%d"_s}
            << u"ppppppO"_s;
        QTest::newRow("whole words in any script, no compound's tail")
            << u"-SEÑAL $défaut -Dapi.prefix=x --bytes-Wert FNM_NOMATCH-Variable LR(1)-Tabellen »q«-Befehle \\-escape"_s
            << QStringList {u"-SEÑAL"_s, u"$défaut"_s, u"-Dapi.prefix=x"_s, u"--bytes"_s, u"FNM_NOMATCH"_s}
            << u"ppppp"_s;
        QTest::newRow("mpfr conversions; no flag before a word, no escape in quotes")
            << u"%Rg %(A=B?T:E)  if A equals B, '\\' %REGEXP%"_s << QStringList {u"%Rg"_s} << u"O"_s;
        QTest::newRow("invisible characters")
            << u"\uFEFFa \x1b[1mb\x1b[0m so\u00ADft "_s + QChar(0) + u"\uFFFE\u200B z\u202Eq"_s
            << QStringList {u"\uFEFF"_s, u"\x1b[1m"_s, u"\x1b[0m"_s, u"\u00AD"_s, QChar(0) + u"\uFFFE\u200B"_s,
                   u"\u202E"_s}
            << u"kkkkkk"_s;
        QTest::newRow("plain text") << u"100 % { open"_s << QStringList {} << QString();
    }
    void findsPlaceholders()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        QFETCH(QString, kinds);
        QStringList texts;
        QString actualKinds;
        for (const Placeholder &p : findPlaceholders(text)) {
            texts.append(text.sliced(p.start, p.length));
            const char *letters = p.role == Placeholder::Role::Sequential ? "oO"
                : p.role == Placeholder::Role::Positional                 ? "pP"
                                                                          : "kk";
            actualKinds += QChar::fromLatin1(letters[p.numeric]);
        }
        QCOMPARE(texts, found);
        QCOMPARE(actualKinds, kinds);
    }

    // An engine's answer must keep every directive as written; a person's
    // translation may do what translators of these catalogs do. Each
    // difference as kind:source>translation.
    void readsMachineAndPersonApart_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("person");
        QTest::newRow("numbered conversions take their counterparts' arguments")
            << u"%*d of %s"_s << u"%3$s: %2$*1$d"_s << QString() << QString();
        QTest::newRow("unnumbered conversions swapped")
            << u"%s of %d"_s << u"%d de %s"_s << u"reordered:%s>%d"_s << u"reordered:%s>%d"_s;
        QTest::newRow("a conversion added")
            << u"cannot open file"_s << u"impossible d'ouvrir %s"_s << u"added:>%s"_s << u"added:>%s"_s;
        QTest::newRow("a metavariable translated")
            << u"--output=FILE"_s << u"--output=FICHIER"_s << u"changed:--output=FILE>--output=FICHIER"_s << QString();
        QTest::newRow("a literal value translated")
            << u"use --color=never"_s << u"utilisez --color=jamais"_s << u"changed:--color=never>--color=jamais"_s
            << u"changed:--color=never>--color=jamais"_s;
        QTest::newRow("a lowercase metavariable the source also uses alone")
            << u"-f progfile --file=progfile"_s << u"-f fichprog --file=fichprog"_s
            << u"changed:--file=progfile>--file=fichprog"_s << QString();
        QTest::newRow("an option quoted and in guillemets")
            << u"rerun with '--update'"_s << u"relancez avec «\u00A0--update\u00A0»"_s << QString() << QString();
        QTest::newRow("an environment variable changed")
            << u"environment variable `POSIXLY_CORRECT' set"_s << u"variable d'environnement « POSIXLY__CORRECT »"_s
            << u"changed:POSIXLY_CORRECT>POSIXLY__CORRECT"_s << u"changed:POSIXLY_CORRECT>POSIXLY__CORRECT"_s;
        QTest::newRow("a metavariable in capitals with an underscore")
            << u"see TIME_STYLE below"_s << u"voir STYLE_TEMPS ci-dessous"_s << u"changed:TIME_STYLE>STYLE_TEMPS"_s
            << QString();
        QTest::newRow("the team's address for the project's")
            << u"Report bugs to <https://translationproject.org/team/>"_s << u"Signalez-les à <traduc@traduc.org>"_s
            << u"changed:https://translationproject.org/team/>traduc@traduc.org"_s << QString();
        QTest::newRow("an option named") << u"all option cannot be used with silent"_s
                                         << u"la opción --all no se puede utilizar con --silent"_s
                                         << u"added:>--all; added:>--silent"_s << QString();
        QTest::newRow("a tag naming a metavariable")
            << u"use -L<N> to change it"_s << u"gebruik -L<GETAL>"_s << u"changed:<N>><GETAL>"_s << QString();
        QTest::newRow("a message that is one tag")
            << u"<tag>"_s << u"<balise>"_s << u"changed:<tag>><balise>"_s << QString();
        QTest::newRow("a choice's branches translated, from Jenkins' Italian messages")
            << u"stop {0,choice,1#{0,number,integer} build|1<{0,number,integer} builds} of {1}"_s
            << u"arrestare {0,choice,1#{0,number,integer} compilazione|1<{0,number,integer} compilazioni} di {1}"_s
            << u"changed:{0,choice,1#{0,number,integer} build|1<{0,number,integer} builds}>{0,choice,1#{0,number,"
               "integer} compilazione|1<{0,number,integer} compilazioni}"_s
            << QString();
        QTest::newRow("a branch's argument lost")
            << u"{n, plural, one {# file in {dir}} other {# files in {dir}}}"_s
            << u"{n, plural, one {un fichier} other {# fichiers dans {dir}}}"_s
            << u"changed:{n, plural, one {# file in {dir}} other {# files in {dir}}}>{n, plural, one {un fichier} "
               "other {# fichiers dans {dir}}}"_s
            << u"missing:{dir}>"_s;
        QTest::newRow("a list named word by word")
            << u"cannot combine {ascii,ebcdic,ibm}"_s << u"impossible de combiner ascii, ebcdic et ibm"_s
            << u"missing:{ascii,ebcdic,ibm}>"_s << QString();
    }
    void readsMachineAndPersonApart()
    {
        QFETCH(QString, source);
        QFETCH(QString, translation);
        QFETCH(QString, machine);
        QFETCH(QString, person);
        static const char *kinds[] {"missing", "changed", "added", "reordered"};
        const auto describe = [&](Reading reading) {
            QStringList found;
            for (const PlaceholderDifference &d : placeholderDifferences(source, translation, reading))
                found.append(u"%1:%2>%3"_s.arg(QLatin1StringView(kinds[int(d.kind)]), d.source, d.translation));
            return found.join(u"; "_s);
        };
        QCOMPARE(describe(Reading::Machine), machine);
        QCOMPARE(describe(Reading::Human), person);
    }

    // The do-not-translate list: whole words, case-sensitive, longest first,
    // never inside a placeholder.
    void masksKeptTerms()
    {
        const KeptTerms terms({u"GNOME"_s, u"Tarnix"_s, u" "_s, u"GNOME Shell"_s, u"Wi-Fi"_s});
        const QString text = u"Tarnix, tarnix, Tarnixes: GNOME Shell on GNOME, %s at https://x.org/Tarnix via Wi-Fi."_s;
        QCOMPARE(maskPlaceholders(text, TokenForm::Bracketed, terms).originals,
            (QStringList {u"Tarnix"_s, u"GNOME Shell"_s, u"GNOME"_s, u"%s"_s, u"https://x.org/Tarnix"_s, u"Wi-Fi"_s}));
    }

    // Glossary terms: any case, whole words, simple plurals, longest first;
    // "term=translation" per match; `masked` is what an engine without a
    // glossary gets back in their place.
    void findsGlossaryTerms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("masked");
        QTest::newRow("case") << u"Open the File"_s << QStringList {u"File=archivo"_s} << QStringList {u"Archivo"_s};
        QTest::newRow("plurals") << u"two files, boxes and entries"_s
                                 << QStringList {u"files=archivo"_s, u"boxes=caja"_s, u"entries=entrada"_s}
                                 << QStringList {};
        QTest::newRow("listed plural") << u"keys"_s << QStringList {u"keys=llaves"_s} << QStringList {u"llaves"_s};
        QTest::newRow("longest first") << u"the file manager's file"_s
                                       << QStringList {u"file manager=gestor de archivos"_s, u"file=archivo"_s}
                                       << QStringList {u"gestor de archivos"_s, u"archivo"_s};
        QTest::newRow("inside words") << u"profile filesystem file_name keyed rebox"_s << QStringList {}
                                      << QStringList {u"file_name"_s}; // an identifier, masked as a placeholder
        QTest::newRow("with a placeholder")
            << u"%s file"_s << QStringList {u"file=archivo"_s} << QStringList {u"%s"_s, u"archivo"_s};
    }
    void findsGlossaryTerms()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        QFETCH(QStringList, masked);
        const Glossary glossary({{u"file"_s, u"archivo"_s}, {u"box"_s, u"caja"_s}, {u"entry"_s, u"entrada"_s},
            {u"File Manager"_s, u"gestor de archivos"_s}, {u"key"_s, u"clave"_s}, {u"keys"_s, u"llaves"_s}});
        QStringList matches;
        for (const GlossaryMatch &match : glossary.find(text))
            matches.append(text.sliced(match.start, match.length) + u'=' + glossary.entries()[match.entry].target);
        QCOMPARE(matches, found);
        QCOMPARE(maskPlaceholders(text, TokenForm::Bracketed, KeptTerms().withGlossary(glossary)).originals, masked);
        // An answer must use every found term's translation, in any case or a simple plural.
        QStringList answer;
        for (const QString &pair : found)
            answer.append(pair.section(u'=', 1).toUpper() + u"s."_s);
        QVERIFY(!glossary.missingIn(text, answer.join(u' ')));
        QCOMPARE(glossary.missingIn(text, answer.mid(1).join(u' ')).has_value(), !found.isEmpty());
    }

    // Glossary files: "a=b" per entry (TBX: "lang:term" per term of a
    // concept, "|" between concepts), or the error's start.
    void readsGlossaryFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("csv") << u"g.csv"_s
                             << "# team terms\nfile,archivo\n\n\"Save, as\",\"Guardar \"\"como\"\"\"\r\n"_ba
                             << u"file=archivo;Save, as=Guardar \"como\""_s;
        QTest::newRow("tsv") << u"g.tsv"_s << "file\tarchivo\nkey\tclave\n"_ba << u"file=archivo;key=clave"_s;
        QTest::newRow("one column") << u"g.csv"_s << "file,archivo\nkey\n"_ba << u"g.csv, line 2:"_s;
        QTest::newRow("open quote") << u"g.csv"_s << "\"file,archivo\n"_ba << u"g.csv, line 1:"_s;
        QTest::newRow("tbx 2")
            << u"t.tbx"_s
            << "<martif type='TBX'><text><body>\n<termEntry><langSet xml:lang='en'><tig><term>file</term>"
               "</tig></langSet><langSet xml:lang='es-ES'><ntig><termGrp><term>archivo</term></termGrp>"
               "</ntig></langSet></termEntry></body></text></martif>"_ba
            << u"en:file;es-es:archivo"_s;
        QTest::newRow("tbx 3")
            << u"t.tbx"_s
            << "<tbx><text><body><conceptEntry><langSec xml:lang='en'><termSec><term>key</term></termSec>"
               "</langSec><langSec xml:lang='fr'><termSec><term>clé</term></termSec></langSec>"
               "</conceptEntry></body></text></tbx>"_ba
            << u"en:key;fr:clé"_s;
        QTest::newRow("broken tbx") << u"t.tbx"_s << "<tbx>\n<conceptEntry>\n</tbx>"_ba << u"t.tbx, line 3:"_s;
    }
    void readsGlossaryFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QStringList read;
        QString error;
        if (name.endsWith(u".tbx"_s)) {
            const auto concepts = readTbx(file.fileName());
            if (const auto *e = std::get_if<QString>(&concepts))
                error = *e;
            else
                for (const auto &concept_ : std::get<0>(concepts))
                    for (auto it = concept_.cbegin(); it != concept_.cend(); ++it)
                        read.append(it.key() + u':' + it.value().join(u'/'));
        } else {
            const auto entries = readGlossaryTable(file.fileName());
            if (const auto *e = std::get_if<QString>(&entries))
                error = *e;
            else
                for (const GlossaryEntry &entry : std::get<0>(entries))
                    read.append(entry.source + u'=' + entry.target);
        }
        if (error.isEmpty())
            QCOMPARE(read.join(u';'), expected);
        else
            QVERIFY2(error.contains(expected), qPrintable(error));
    }

    // An engine's answer, written with $0, $1, … for the tokens it was given.
    void finishesTranslations_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("translation"); // empty: refused, `fault` names why
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("groups"); // a natural token stands for several placeholders
        QTest::newRow("numbered placeholders move")
            << u"%1 of %2"_s << u"de $1 el $0"_s << u"de %2 el %1"_s << QString() << false;
        QTest::newRow("grouped with their quotes and gaps")
            << u"copy '%s'  %d"_s << u"copia $0"_s << u"copia '%s'  %d"_s << QString() << true;
        QTest::newRow("lowercase start kept")
            << u"cannot open %s"_s << u"No puede abrir $0"_s << u"no puede abrir %s"_s << QString() << false;
        QTest::newRow("acronym kept") << u"gnome settings"_s << u"GNOME ajustes"_s << u"GNOME ajustes"_s << QString()
                                      << false;
        QTest::newRow("outer space and escaped breaks kept")
            << u"\n  Hello %1 \\n"_s << u" Hola $0 "_s << u"\n  Hola %1 \\n"_s << QString() << false;
        QTest::newRow("layout kept, joined blanks undone")
            << u"open  the file\tnow"_s << u"abre \n el  archivo\n ahora"_s << u"abre  el archivo\tahora"_s << QString()
            << false;
        QTest::newRow("lost") << u"%s of %d files"_s << u"$0 de archivos"_s << QString() << u"lost the placeholder %d"_s
                              << false;
        QTest::newRow("repeated") << u"%s of %d"_s << u"$0 $0 $1"_s << QString() << u"repeated the placeholder %s"_s
                                  << false;
        QTest::newRow("plain directives reordered")
            << u"%s of %d"_s << u"$1 de $0"_s << QString() << u"%s and %d changed order"_s << false;
        QTest::newRow("directive made by the engine")
            << u"50 % done"_s << u"50 %done"_s << QString() << u"%d is not in the source"_s << false;
    }
    void finishesTranslations()
    {
        QFETCH(QString, source);
        QFETCH(QString, engine);
        QFETCH(QString, translation);
        QFETCH(QString, fault);
        QFETCH(bool, groups);
        for (const TokenForm form : {TokenForm::Bracketed, TokenForm::Natural}) {
            if (groups && form == TokenForm::Bracketed)
                continue;
            const PreparedText prepared = prepareForEngine(source, form);
            QString answer = engine;
            for (qsizetype i = prepared.masked.tokens.size() - 1; i >= 0; --i)
                answer.replace(u'$' + QString::number(i), prepared.masked.tokens[i]);
            const auto finished = finishTranslation(prepared, answer);
            const auto *text = std::get_if<QString>(&finished);
            const QString got = text ? *text : std::get<PlaceholderFault>(finished).what;
            QVERIFY2(translation.isEmpty() ? !text && got.contains(fault) : got == translation, qPrintable(got));
        }
    }

    // Random mixes of directives and words through a stand-in engine that
    // shuffles the words and tokens and sometimes drops or repeats a token: the
    // answer is refused, or holds exactly the source's characters and
    // directives.
    void randomTextsComeBackIntactOrRefused()
    {
        const QStringList pieces {u"%s"_s, u"%d"_s, u"%1"_s, u"%2$s"_s, u"%.*s"_s, u"{name}"_s, u"{}"_s, u"%%"_s,
            u"<b>"_s, u"&amp;"_s, u"$HOME"_s, u"--all"_s, u"set_value"_s, u"%(n)d"_s, u"%0*<PRIx64>"_s, u"file"_s,
            u"open"_s, u"days"_s, u"ago"_s, u"the"_s, u"cannot"_s, u"201"_s, u"x:"_s};
        QRandomGenerator random(12);
        for (int round = 0; round < 3000; ++round) {
            QStringList words;
            for (int i = random.bounded(1, 9); i > 0; --i)
                words.append(pieces[random.bounded(pieces.size())]);
            const QString source = words.join(u' ');
            const TokenForm form = round % 2 ? TokenForm::Natural : TokenForm::Bracketed;
            const PreparedText prepared = prepareForEngine(source, form);
            QStringList engine = prepared.masked.text.split(u' ');
            std::shuffle(engine.begin(), engine.end(), random);
            const int damage = prepared.masked.tokens.isEmpty() ? 0 : random.bounded(4); // 1: drop, 2: repeat
            const QString token =
                damage ? prepared.masked.tokens[random.bounded(prepared.masked.tokens.size())] : QString();
            if (damage == 1)
                engine.replace(engine.indexOf(engine.filter(token).value(0)), u"x"_s);
            if (damage == 2)
                engine.append(token);
            const auto finished = finishTranslation(prepared, engine.join(u' '));
            const QString context = source + u" -> "_s + engine.join(u' ');
            if (const auto *translation = std::get_if<QString>(&finished)) {
                QVERIFY2(damage != 1 && damage != 2, qPrintable(context));
                QString sorted = *translation;
                QString expected = source;
                std::sort(sorted.begin(), sorted.end());
                std::sort(expected.begin(), expected.end());
                QVERIFY2(sorted == expected && !placeholderMismatch(source, *translation), qPrintable(context));
            } else {
                const QString why = std::get<PlaceholderFault>(finished).what;
                QVERIFY2(damage == 1 || damage == 2 || why.contains(u"changed order"_s), qPrintable(context + why));
            }
        }
    }

    void removesApertiumMarks_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("generation mark") << u"#Sello, *nombre y @uno"_s << u"label, name"_s << u"Sello, nombre y uno"_s;
        QTest::newRow("marks the input has are text")
            << u"#1 y #etiqueta, 5*x"_s << u"the #tag"_s << u"#1 y #etiqueta, 5*x"_s;
    }
    void removesApertiumMarks()
    {
        QFETCH(QString, output);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(withoutApertiumMarks(output, input), expected);
    }

    void readsApyAnswers_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("translation")
            << 200 << R"({"responseData": {"translatedText": "Hola Mundo"}, "responseStatus": 200})"_ba
            << Status::Translated << u"Hola Mundo"_s;
        QTest::newRow("pair not installed")
            << 400 << R"({"status": "error", "code": 400, "explanation": "That pair is not installed"})"_ba
            << Status::Unsupported << QString();
        QTest::newRow("pipeline failed") << 503 << R"({"status": "error", "code": 503})"_ba << Status::Unavailable
                                         << QString();
        QTest::newRow("no translation in the answer")
            << 200 << R"({"responseData": {}})"_ba << Status::Unavailable << QString();
        QTest::newRow("not json") << 200 << "<html>proxy</html>"_ba << Status::Unavailable << QString();
    }
    void readsApyAnswers()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, json);
        QFETCH(Status, status);
        QFETCH(QString, text);
        const EngineResult result = parseApyTranslation(httpStatus, json);
        QCOMPARE(result.status, status);
        QCOMPARE(result.text, text);
    }

    void readsApyPaths()
    {
        const auto chain = parseApyPath(
            200, R"({"responseData": {"translationChain": ["eng", "spa", "ita"]}, "responseStatus": 200})"_ba);
        QCOMPARE(std::get<QStringList>(chain), (QStringList {u"eng"_s, u"spa"_s, u"ita"_s}));
        const auto none = parseApyPath(400, R"({"explanation": "No path found for eng-deu"})"_ba);
        QCOMPARE(std::get<EngineResult>(none).status, Status::Unsupported);
        QCOMPARE(apyPathBody(u"eng"_s, u"ita"_s), "langpairs=eng%7Cita"_ba);
    }

    void buildsLibreTranslateRequests_data()
    {
        QTest::addColumn<QString>("apiKey");
        QTest::newRow("without key") << QString();
        QTest::newRow("with key") << u"k&y"_s;
    }
    void buildsLibreTranslateRequests()
    {
        QFETCH(QString, apiKey);
        const QJsonObject body =
            QJsonDocument::fromJson(libreTranslateBody(u"en"_s, u"zt"_s, u"a \"b\"\n"_s, apiKey)).object();
        QCOMPARE(body.value("q"_L1).toString(), u"a \"b\"\n"_s);
        QCOMPARE(body.value("source"_L1).toString(), u"en"_s);
        QCOMPARE(body.value("target"_L1).toString(), u"zt"_s);
        QCOMPARE(body.value("format"_L1).toString(), u"text"_s);
        QCOMPARE(body.contains("api_key"_L1), !apiKey.isEmpty());
        QCOMPARE(body.value("api_key"_L1).toString(), apiKey);
    }

    void readsLibreTranslateAnswers_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Status>("status");
        QTest::newRow("translation") << 200 << R"({"translatedText": "Hallo"})"_ba << Status::Translated;
        QTest::newRow("language refused") << 400 << R"({"error": "xx is not supported"})"_ba << Status::Unsupported;
        QTest::newRow("bad api key") << 403 << R"({"error": "Invalid API key"})"_ba << Status::Unavailable;
        QTest::newRow("rate limited") << 429 << R"({"error": "Slowdown"})"_ba << Status::Unavailable;
        QTest::newRow("translation missing") << 200 << R"({"detectedLanguage": {}})"_ba << Status::Unavailable;
    }
    void readsLibreTranslateAnswers()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, json);
        QFETCH(Status, status);
        QCOMPARE(parseLibreTranslateReply(httpStatus, json).status, status);
    }

    // Empty and same-language pairs are no offer; a language without targets
    // translates into every other one.
    void readsLibreTranslateLanguages()
    {
        const auto pairs = parseLibreTranslateLanguages(200,
            R"([{"code": "en", "targets": ["en", "es", ""]}, {"code": "", "targets": ["es"]}, {"code": "de"}])"_ba);
        QCOMPARE(std::get<QSet<QString>>(pairs), (QSet<QString> {u"en|es"_s, u"de|en"_s}));
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("port zero") << QStringList {u"--port"_s, u"0"_s};
        QTest::newRow("port too large") << QStringList {u"--port"_s, u"65536"_s};
        QTest::newRow("port not a number") << QStringList {u"--port"_s, u"http"_s};
        QTest::newRow("unknown engine") << QStringList {u"--engine"_s, u"google"_s};
        QTest::newRow("engine url not http") << QStringList {u"--engine-url"_s, u"ftp://127.0.0.1/"_s};
        QTest::newRow("engine url without host") << QStringList {u"--engine-url"_s, u"127.0.0.1:5000"_s};
        QTest::newRow("unknown option") << QStringList {u"--verbose"_s};
        QTest::newRow("engine url without engine") << QStringList {u"--engine-url"_s, u"http://127.0.0.1:5000"_s};
        QTest::newRow("stray argument") << QStringList {u"7317"_s};
    }
    void refusesBadOptions()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = parseServiceOptions(QStringList {u"tarnix-service"_s} + arguments);
        const auto *exit = std::get_if<OptionsExit>(&parsed);
        QVERIFY(exit);
        QCOMPARE(exit->status, 2);
        // Each says what to write instead.
        QVERIFY2(
            exit->message.contains(QRegularExpression(u"--help|--port|--engine|needs"_s)), qPrintable(exit->message));
    }

    void logLineIsOneLine()
    {
        const QString line =
            requestLogLine(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC), u"en"_s, u"e\ns"_s, 200, 12, 34);
        QCOMPARE(line, u"2026-01-02T03:04:05.000Z en>e\\x0as 200 12 ms 34 chars"_s);
    }
};

QTEST_GUILESS_MAIN(TestServiceText)
#include "test_service_text.moc"
