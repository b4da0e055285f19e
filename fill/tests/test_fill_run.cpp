#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "fill/formatfor.h"
#include "fill/formats/catalog.h"
#include "fill/icumessage.h"
#include "fill/languages.h"
#include "fill/ownservice.h"
#include "fill/plan.h"
#include "fill/review.h"
#include "fill/serviceclient.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;
using namespace tarnix::test;

namespace {

const QByteArray header =
    "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: demo 1.0\\n\"\n\"Language: %LANG%\\n\"\n"
    "\"MIME-Version: 1.0\\n\"\n\"Content-Type: text/plain; charset=%CHARSET%\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\n";

QByteArray poHeader(const QByteArray &language, const QByteArray &charset = "UTF-8")
{
    return QByteArray(header).replace("%LANG%", language).replace("%CHARSET%", charset);
}

// Untranslated entries of every kind the run must handle.
const QByteArray entries =
    "#. Shown in the status bar\n#, c-format\nmsgid \"Save %s now\"\nmsgstr \"\"\n\n"
    "msgctxt \"menu\"\nmsgid \"Open\"\nmsgstr \"\"\n\n"
    "#, c-format\nmsgid \"%d file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"\"\nmsgstr[1] \"\"\n\n";

// Qt and XLIFF catalogs as lupdate, Xcode and Angular write them: a message
// context, a comment for translators, a plural, inline markup, and entries
// translated, unfinished or vanished that stay as they are.
const QByteArray ts = R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../main.cpp" line="10"/>
        <source>Open</source>
        <comment>menu</comment>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s)</source>
        <extracomment>Shown in the status bar</extracomment>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished">Cerrar</translation>
    </message>
    <message>
        <source>Gone</source>
        <translation type="vanished">Ido</translation>
    </message>
    <message>
        <source>Quit &amp; save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
)";

const QByteArray xliff12 = R"(<?xml version="1.0" encoding="UTF-8"?>
<xliff xmlns="urn:oasis:names:tc:xliff:document:1.2" version="1.2">
  <file original="Localizable.strings" source-language="en" target-language="it" datatype="plaintext">
    <body>
      <trans-unit id="greeting" resname="toolbar">
        <source>Hello <x id="1"/> there</source>
        <note>Shown in the status bar</note>
      </trans-unit>
      <trans-unit id="share">
        <source>Share</source>
        <target state="needs-review-translation">Condividi</target>
      </trans-unit>
      <trans-unit id="save">
        <source>Save %@</source>
        <target/>
      </trans-unit>
      <trans-unit id="copy">
        <source>Copy</source>
        <target state="needs-translation">Copy</target>
      </trans-unit>
    </body>
  </file>
</xliff>
)";

const QByteArray xliff20 = R"(<?xml version="1.0" encoding="UTF-8"?>
<xliff version="2.0" xmlns="urn:oasis:names:tc:xliff:document:2.0" srcLang="en">
  <file id="f1">
    <unit id="welcome" name="menu">
      <notes><note category="description">Shown in the status bar</note></notes>
      <segment>
        <source>Welcome <pc id="1">home</pc></source>
      </segment>
    </unit>
    <unit id="done">
      <segment state="translated">
        <source>Done</source>
        <target>Fait</target>
      </segment>
    </unit>
  </file>
</xliff>
)";

QByteArray numbered(int count, const char *word)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "msgid \"" + QByteArray(word) + ' ' + QByteArray::number(i) + "\"\nmsgstr \"\"\n\n";
    return out;
}

Catalog readBack(const QString &path)
{
    const auto format = formatFor(path)->make();
    Catalog catalog;
    QString error;
    if (!format->read(path, catalog, error))
        qWarning() << error;
    return catalog;
}

// What is in the way of writing a catalog back.
enum Disk { FullDisk, SizeLimit, Link, Crlf, Owner, StaleTemporary };

} // namespace

class TestFillRun : public QObject
{
    Q_OBJECT

    // The service's wire format: "«tl» text" as the translation ("euro"
    // becomes "€"), "again" answered as from memory, "lose" refused.
    LoopbackServer service; // a service without batches, as older ones are: /batch is 404

    // The requests in the window's form; tarnix-fill tries /batch once first.
    QList<RecordedRequest> formRequests() const
    {
        QList<RecordedRequest> form;
        for (const RecordedRequest &request : service.requests()) {
            if (request.path != "/batch" && !request.path.startsWith("/glossary"))
                form.append(request);
        }
        return form;
    }
    int delayMs = 0;
    std::optional<tarnix::test::Answer> scripted; // answers every request instead, when set
    QTemporaryDir dir;

    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };

    Run fill(const QStringList &arguments, const std::function<void(QProcess &)> &during = {},
        const std::function<void()> &inChild = {})
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (inChild)
            process.setChildProcessModifier(inChild);
        process.start(
            QStringLiteral(TARNIX_FILL_BINARY), QStringList {u"--service"_s, service.url().toString()} + arguments);
        [[maybe_unused]] const bool ended = QTest::qWaitFor(
            [&] {
                if (during && process.state() == QProcess::Running)
                    during(process);
                return process.state() == QProcess::NotRunning;
            },
            60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
    }

    QString write(const QString &name, const QByteArray &content)
    {
        QFile file(dir.filePath(name));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return file.fileName();
    }

    // What the format's own tool says of a file: nothing when it takes it.
    QString toolCheck(const QString &path) const
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        if (path.endsWith(u".ts"_s))
            tool.start(
                QStringLiteral(QT_TOOLS_DIR "/lrelease"), {u"-silent"_s, path, u"-qm"_s, dir.filePath(u"out.qm"_s)});
        else if (path.endsWith(u".xlf"_s))
            tool.start(u"xmllint"_s, {u"--noout"_s, path});
        else if (path.endsWith(u".xcstrings"_s))
            tool.start(u"python3"_s, {u"-m"_s, u"json.tool"_s, path, u"/dev/null"_s});
        else
            tool.start(u"msgfmt"_s, {u"--check"_s, u"-o"_s, u"/dev/null"_s, path});
        tool.waitForFinished();
        return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0
            ? QString()
            : path + u": "_s + QString::fromLocal8Bit(tool.readAll());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(service.start());
        service.setResponder([this](const RecordedRequest &request) {
            if (request.path == "/batch")
                return tarnix::test::Answer {tarnix::test::Answer::Kind::Complete, 404, "<p>Not Found</p>", {}, 0};
            const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(request.formField("text")));
            const QString target = QString::fromUtf8(request.formField("tl"));
            if (scripted)
                return *scripted;
            tarnix::test::Answer answer;
            answer.delayMs = delayMs;
            if (text.contains(u"lose"_s)) {
                answer.status = 422;
                answer.body = "<html><p>The translation is not used: %s is lost.</p></html>";
                return answer;
            }
            QString translation = u"«"_s + target + u"» "_s + text;
            // Escaped as the service escapes its page: markup as numeric references.
            translation.replace(u"euro"_s, u"€"_s)
                .replace(u'&', u"&#38;"_s)
                .replace(u'<', u"&#60;"_s)
                .replace(u'>', u"&#62;"_s);
            answer.body = servicePage(translation.toUtf8());
            if (text.contains(u"again"_s))
                answer.extraHeaders.append(qMakePair("X-Tarnix-Memory"_ba, "yes"_ba));
            return answer;
        });
    }

    void init()
    {
        delayMs = 0;
        scripted.reset();
        service.clearRequests();
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir.filePath(name));
    }

    // Each output is accepted by its format's own tool (msgfmt --check,
    // lrelease, xmllint), keeps what was translated, and holds every fill
    // marked as needing review with all of its language's forms.
    void filledCatalogsPassTheirTools_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("written"); // in every output
        QTest::addColumn<QByteArray>("context"); // sent with one of the texts
        const QByteArray kept =
            "#, fuzzy\n#| msgid \"Qui\"\nmsgid \"Quit\"\nmsgstr \"Salir\"\n\nmsgid \"Cancel\"\nmsgstr "
            "\"Cancelar\"\n\n#~ msgid \"Gone\"\n#~ msgstr \"Ido\"\n";
        QTest::newRow("catalog") << u"es.po"_s << poHeader("es") + entries + kept << QStringList()
                                 << QStringList {u"es.po"_s} << 3 << 0 << "#| msgid \"Qui\""_ba
                                 << "Shown in the status bar"_ba;
        QTest::newRow("fuzzy refilled, its old source dropped")
            << u"es.po"_s << poHeader("es") + kept << QStringList {u"--refill-fuzzy"_s} << QStringList {u"es.po"_s} << 1
            << 0 << "#, fuzzy\nmsgid \"Quit\"\nmsgstr \"«es» Quit\""_ba << QByteArray();
        QTest::newRow("template to four languages, one without a known rule")
            << u"demo.pot"_s
            << "# SOME DESCRIPTIVE TITLE.\n"
                + poHeader("")
                      .replace("charset=UTF-8", "charset=CHARSET")
                      .replace("nplurals=2; plural=(n != 1);", "nplurals=INTEGER; plural=EXPRESSION;")
                + entries
            << QStringList {u"--to"_s, u"es,ru,ja,tt"_s} << QStringList {u"es.po"_s, u"ru.po"_s, u"ja.po"_s, u"tt.po"_s}
            << 12 << 0 << " translations for demo package.\nmsgid \"\""_ba << QByteArray();
        QTest::newRow("latin-1 keeps its charset, skips what it cannot hold")
            << u"de.po"_s << poHeader("", "ISO-8859-1") + "msgid \"Price in euro\"\nmsgstr \"\"\n\n" + entries
            << QStringList() << QStringList {u"de.po"_s} << 3 << 1
            << "\xab"
               "de\xbb"_ba
            << QByteArray();
        QTest::newRow("header without a charset: UTF-8")
            << u"pt.po"_s << "msgid \"\"\nmsgstr \"Language: pt\\n\"\n\n"_ba + numbered(2, "Item") << QStringList()
            << QStringList {u"pt.po"_s} << 2 << 0 << "msgstr \"«pt» Item 1\""_ba << QByteArray();
        QTest::newRow("brazilian asked as brazilian, not as portuguese")
            << u"pt_BR.po"_s << poHeader("pt_BR") + numbered(1, "Item") << QStringList() << QStringList {u"pt_BR.po"_s}
            << 1 << 0 << "msgstr \"«pt-BR» Item 0\""_ba << QByteArray();
        QTest::newRow("refusals and memory counted")
            << u"it.po"_s
            << poHeader("it") + "msgid \"Do not lose %s\"\nmsgstr \"\"\n\nmsgid \"Open again\"\nmsgstr \"\"\n"
            << QStringList() << QStringList {u"it.po"_s} << 1 << 1 << QByteArray() << QByteArray();
        QTest::newRow("qt, language from the file name")
            << u"app_es.ts"_s << ts << QStringList() << QStringList {u"app_es.ts"_s} << 3 << 0
            << "<TS version=\"2.1\" language=\"es\">"_ba
            << "menu"_ba;
        QTest::newRow("xliff 1.2, inline element kept")
            << u"Localizable.xlf"_s << xliff12 << QStringList() << QStringList {u"Localizable.xlf"_s} << 3 << 0
            << "<target state=\"needs-review-translation\" state-qualifier=\"mt-suggestion\">«it» Hello <x id=\"1\"/>"_ba
            << "toolbar\nShown in the status bar"_ba;
        QTest::newRow("xliff 2.0, language from the file name")
            << u"messages.fr.xlf"_s << xliff20 << QStringList() << QStringList {u"messages.fr.xlf"_s} << 1 << 0
            << "<segment state=\"initial\">"_ba
            << "menu\nShown in the status bar"_ba;
    }
    void filledCatalogsPassTheirTools()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, outputs);
        QFETCH(int, filled);
        QFETCH(int, status);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, context);
        const QString input = write(name, content);
        const bool checked = toolCheck(input).isEmpty() || name.endsWith(u".pot"_s);
        const bool refill = arguments.contains(u"--refill-fuzzy"_s);
        const Catalog before = readBack(input);
        const Run run = fill(arguments + QStringList {input});
        QVERIFY2(run.status == status, qPrintable(run.err + run.out));

        int fills = 0;
        for (const QString &output : outputs) {
            const QString path = dir.filePath(output);
            if (checked)
                QVERIFY2(toolCheck(path).isEmpty(), qPrintable(toolCheck(path)));
            const Catalog after = readBack(path);
            QCOMPARE(after.entries.size(), before.entries.size());
            for (qsizetype i = 0; i < after.entries.size(); ++i) {
                const Entry &was = before.entries[i];
                const Entry &is = after.entries[i];
                if ((!was.translations.value(0).isEmpty() && !(refill && was.fuzzy)) || was.obsolete) {
                    QCOMPARE(is.translations, was.translations);
                    QCOMPARE(is.fuzzy, was.fuzzy);
                } else if (!is.translations.value(0).isEmpty()) {
                    ++fills;
                    QVERIFY(is.fuzzy);
                    QVERIFY2(is.translations.first().startsWith(u"«"_s), qPrintable(is.translations.first()));
                    const int forms = after.pluralForms > 0 ? after.pluralForms : pluralRule(after.language).count;
                    QCOMPARE(is.translations.size(), is.plural ? forms : 1);
                }
            }
            QFile raw(path);
            QVERIFY(raw.open(QIODevice::ReadOnly));
            QVERIFY2(raw.readAll().contains(written), written.constData());
        }
        QCOMPARE(fills, filled);
        if (!context.isEmpty()) { // the message context and the comments for translators go along
            QByteArrayList contexts;
            for (const RecordedRequest &request : formRequests())
                contexts.append(QByteArray::fromPercentEncoding(request.formField("context")));
            QVERIFY2(contexts.contains(context), contexts.join(" | ").constData());
        }
        if (name == u"de.po"_s)
            QVERIFY(run.out.contains(u"charset cannot hold"_s));
        if (name == u"it.po"_s)
            QVERIFY(run.out.contains(u"%s is lost"_s)
                && run.out.contains(QRegularExpression(u"it +2 +0 +0 +1 +1 +1 +0"_s)));
    }

    // A catalog started from a template has its language's number of forms
    // (gettext's rule for Czech and Polish, CLDR's for Arabic) in every plural
    // entry, a refused one too: once a translator writes every form there,
    // msgfmt -c takes it.
    void newCatalogsHaveEveryPluralForm_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("forms");
        QTest::newRow("czech, gettext's three forms") << u"cs"_s << 3;
        QTest::newRow("polish, gettext's three forms") << u"pl"_s << 3;
        QTest::newRow("arabic, cldr's six forms") << u"ar"_s << 6;
    }
    void newCatalogsHaveEveryPluralForm()
    {
        QFETCH(QString, language);
        QFETCH(int, forms);
        const QByteArray plurals =
            "#, c-format\nmsgid \"%d file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"\"\nmsgstr[1] "
            "\"\"\n\n#, c-format\nmsgid \"%d file to lose\"\nmsgid_plural \"%d files to lose\"\n"
            "msgstr[0] \"\"\nmsgstr[1] \"\"\n";
        const QString pot = write(u"x.pot"_s,
            poHeader("").replace("nplurals=2; plural=(n != 1);", "nplurals=INTEGER; plural=EXPRESSION;") + plurals);
        const Run run = fill({u"--to"_s, language, pot});
        QVERIFY2(run.status == 1, qPrintable(run.err + run.out)); // the refused entry
        const QString path = dir.filePath(language + u".po"_s);
        QCOMPARE(readBack(path).pluralForms, forms);
        QProcess translator; // every empty form given the source, written ones kept
        translator.start(u"msgfilter"_s,
            {u"--keep-header"_s, u"-i"_s, path, u"-o"_s, dir.filePath(u"done.po"_s), u"sh"_s, u"-c"_s,
                u"x=$(cat); printf %s \"${x:-$MSGFILTER_MSGID}\""_s});
        QVERIFY(translator.waitForFinished() && translator.exitCode() == 0);
        for (const QString &checked : {path, dir.filePath(u"done.po"_s)})
            QVERIFY2(toolCheck(checked).isEmpty(), qPrintable(toolCheck(checked)));
    }

    // --to starts a JSON catalog per language beside the source file, with
    // the source's structure and every plural category of its language; a
    // catalog that exists is filled, what it held kept.
    void newLanguagesFromAJsonSource_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("existing"); // a target there before the run, one value translated
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QByteArray>("written"); // in the first target
        QTest::newRow("i18next") << u"medusa/en/dashboard.json"_s << u"fr/dashboard.json"_s
                                 << QStringList {u"es/dashboard.json"_s, u"fr/dashboard.json"_s}
                                 << "\"items_many\": \"«es» {{count}} items\""_ba;
        QTest::newRow("arb") << u"gallery/intl_en.arb"_s << QString() << QStringList {u"intl_es.arb"_s}
                             << "{\n  \"@@locale\": \"es\",\n  \"@@context\": \"Gallery\",\n"_ba;
    }
    void newLanguagesFromAJsonSource()
    {
        QFETCH(QString, source);
        QFETCH(QString, existing);
        QFETCH(QStringList, targets);
        QFETCH(QByteArray, written);
        QFile data(QStringLiteral(FILL_TEST_DATA "/") + source);
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QString sourceName = source.section(u'/', 1);
        QDir(dir.path()).mkpath(QFileInfo(sourceName).path());
        const QString path = write(sourceName, data.readAll());
        if (!existing.isEmpty()) {
            QDir(dir.path()).mkpath(QFileInfo(existing).path());
            write(existing, "{\n  \"general\": {\n    \"add\": \"Ajouter\"\n  }\n}\n");
        }
        QStringList languages;
        for (const QString &target : targets)
            languages.append(
                languageFromFileName(target).isEmpty() ? target.section(u'/', 0, 0) : languageFromFileName(target));
        const Run run = fill({u"--to"_s, languages.join(u','), path});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        const Catalog from = readBack(path);
        for (const QString &target : targets) {
            const QString filled = dir.filePath(target);
            QVERIFY2(QProcess::execute(u"python3"_s, {u"-m"_s, u"json.tool"_s, filled, u"/dev/null"_s}) == 0,
                qPrintable(filled));
            const auto format = formatFor(path)->make();
            Catalog catalog;
            QString error;
            QVERIFY2(format->read(CatalogFiles {filled, path}, catalog, error), qPrintable(error));
            QCOMPARE(catalog.entries.size(), from.entries.size());
            for (const Entry &entry : std::as_const(catalog.entries)) {
                QVERIFY2(std::none_of(entry.translations.cbegin(), entry.translations.cend(),
                             [](const QString &t) { return t.isEmpty(); }),
                    qPrintable(entry.key));
                const QString first = entry.translations.first();
                // An ICU message is asked as its words: the stand-in marks each of its texts.
                QVERIFY2(first.startsWith(u"«"_s) || first == u"Ajouter"_s
                        || (isIcuMessage(entry) && first.contains(u"«"_s)
                            && icuFormatError(first, catalog.language).isEmpty()),
                    qPrintable(first));
            }
            QFile raw(filled);
            QVERIFY(raw.open(QIODevice::ReadOnly));
            const QByteArray bytes = raw.readAll();
            QVERIFY2(target != targets.first() || bytes.contains(written), bytes.constData());
            QVERIFY(!bytes.contains("\"@deselect\""));
        }
    }

    // A string catalog holds every language: each is filled in turn into the
    // one file, none losing another's fills.
    // The line and indentation formats filled into Italian through the
    // whole program: --to finds the target beside its source, fills what it
    // lacks, keeps the fills in the review record, and --check,
    // --unreviewed and --accept work on them.
    void lineFormatsFilledEndToEnd_data()
    {
        QTest::addColumn<QString>("source"); // in the test data
        QTest::addColumn<QString>("target"); // in the test data too, beside the source after the copy
        QTest::addColumn<QString>("accepted"); // a key filled
        QTest::newRow("java properties") << u"jenkins/Messages.properties"_s << u"jenkins/Messages_it.properties"_s
                                         << u"AbstractItem.TaskNoun"_s;
        QTest::newRow("rails yaml") << u"24pullrequests/en.yml"_s << u"24pullrequests/it.yml"_s
                                    << u"organisations.members"_s;
    }
    void lineFormatsFilledEndToEnd()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, accepted);
        const QString folder = dir.filePath(u"e2e-"_s + QString::fromLatin1(QTest::currentDataTag()).section(u' ', -1));
        QVERIFY(QDir().mkpath(folder));
        for (const QString &file : {source, target}) {
            const QString copy = folder + u'/' + file.section(u'/', 1);
            QFile::remove(copy);
            QVERIFY(QFile::copy(QStringLiteral(FILL_TEST_DATA "/") + file, copy));
            QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
        const QString sourcePath = folder + u'/' + source.section(u'/', 1);
        const QString targetPath = folder + u'/' + target.section(u'/', 1);
        const auto read = [&] {
            Catalog catalog;
            QString error;
            const auto format = formatFor(targetPath)->make();
            [[maybe_unused]] const bool ok = format->read(CatalogFiles {targetPath, sourcePath}, catalog, error);
            return catalog;
        };
        const Catalog before = read();
        const Run run = fill({u"--to"_s, u"it"_s, sourcePath});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        const Catalog after = read();
        QCOMPARE(after.entries.size(), before.entries.size());
        int filled = 0;
        for (qsizetype i = 0; i < after.entries.size(); ++i) {
            const Entry &is = after.entries[i];
            QVERIFY2(isTranslated(is), qPrintable(is.key));
            if (isTranslated(before.entries[i])) {
                QCOMPARE(is.translations, before.entries[i].translations);
            } else {
                ++filled;
                QVERIFY2(is.translations.first().startsWith(u"«it» "_s), qPrintable(is.translations.first()));
            }
        }
        QVERIFY(filled > 0);
        QCOMPARE(fill({u"--check"_s, targetPath}).status, 0);
        const auto unreviewed = [&] {
            return fill({u"--unreviewed"_s, targetPath}).out.split(u'\n', Qt::SkipEmptyParts);
        };
        QCOMPARE(unreviewed().size(), filled);
        QCOMPARE(fill({u"--accept"_s, targetPath, accepted}).status, 0);
        const QStringList left = unreviewed();
        QCOMPARE(left.size(), filled - 1);
        QVERIFY(std::none_of(
            left.cbegin(), left.cend(), [&](const QString &line) { return line.endsWith(u' ' + accepted); }));
    }

    void everyLanguageOfAStringCatalog()
    {
        QFile data(QStringLiteral(FILL_TEST_DATA "/xcstrings/Localizable.xcstrings"));
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QString path = write(u"Localizable.xcstrings"_s, data.readAll());
        const Run run = fill({u"--to"_s, u"de,pl,fr"_s, path});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        QVERIFY(QProcess::execute(u"python3"_s, {u"-m"_s, u"json.tool"_s, path, u"/dev/null"_s}) == 0);
        for (const QString &language : {u"de"_s, u"pl"_s, u"fr"_s}) {
            const auto format = formatFor(path)->make();
            Catalog catalog;
            QString error;
            QVERIFY2(format->read(CatalogFiles {path, {}, language}, catalog, error), qPrintable(error));
            for (const Entry &entry : std::as_const(catalog.entries))
                QVERIFY2(!needsFill(entry, false), qPrintable(language + u' ' + entry.key));
        }
    }

    // Findings as "file:line: ...the placeholder...", fuzzy entries included.
    void checkFindsBrokenPlaceholders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("found"); // "line:placeholder"
        QTest::newRow("po") << u"fr.po"_s
                            << poHeader("fr")
                + "msgid \"Delete %1?\"\nmsgstr \"Supprimer ?\"\n\nmsgid \"Fine %1\"\nmsgstr \"Bien %1\"\n\n"
                  "#, fuzzy, c-format\nmsgid \"Save %s now\"\nmsgstr \"Enregistrer maintenant\"\n"
                            << QStringList {u"10:%1"_s, u"17:%s"_s};
        QTest::newRow("qt") << u"app_fr.ts"_s << R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Main</name>
    <message>
        <source>Delete %1?</source>
        <translation>Supprimer ?</translation>
    </message>
    <message>
        <source>Fine %1</source>
        <translation>Bien %1</translation>
    </message>
    <message>
        <source>Save %s now</source>
        <translation type="unfinished">Enregistrer maintenant</translation>
    </message>
</context>
</TS>
)"_ba << QStringList {u"7:%1"_s, u"15:%s"_s};
        QTest::newRow("xliff") << u"fr.xlf"_s << R"(<?xml version="1.0" encoding="UTF-8"?>
<xliff xmlns="urn:oasis:names:tc:xliff:document:1.2" version="1.2">
  <file original="a" source-language="en" target-language="fr" datatype="plaintext">
    <body>
      <trans-unit id="1">
        <source>Delete %1?</source>
        <target>Supprimer ?</target>
      </trans-unit>
      <trans-unit id="2">
        <source>Fine %@</source>
        <target>Bien %@</target>
      </trans-unit>
      <trans-unit id="3">
        <source>Open <x id="1"/> now</source>
        <target state="needs-review-translation">Ouvrir maintenant</target>
      </trans-unit>
    </body>
  </file>
</xliff>
)"_ba << QStringList {u"6:%1"_s, u"14:<x id=\"1\"/>"_s};
    }
    void checkFindsBrokenPlaceholders()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, found);
        const QString path = write(name, content);
        const Run run = fill({u"--check"_s, path});
        QCOMPARE(run.status, 1);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), found.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString line = found[i].section(u':', 0, 0);
            const QString placeholder = found[i].section(u':', 1);
            QVERIFY2(lines[i].startsWith(path + u':' + line + u": "_s) && lines[i].contains(placeholder),
                qPrintable(run.out));
        }
        QVERIFY(formRequests().isEmpty());
    }

    // Real catalogs of a Qt, a GTK and a KDE program: each label goes to the
    // engine without its accelerator and comes back with exactly one, as
    // msgfmt counts them; code that only looks like a label goes as written.
    void acceleratorsOfRealCatalogs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("labels"); // texts asked without their marker
        QTest::newRow("qt") << u"qtikz_es.accelerators.ts"_s << u"&"_s << 9;
        QTest::newRow("qt, as lconvert writes xliff") << u"qtikz_es.accelerators.xlf"_s << u"&"_s << 9;
        QTest::newRow("gtk, beside identifiers") << u"galculator_es.accelerators.po"_s << u"_"_s << 7;
        QTest::newRow("kde") << u"ktikz_es.accelerators.po"_s << u"&"_s << 4;
    }
    void acceleratorsOfRealCatalogs()
    {
        QFETCH(QString, name);
        QFETCH(QString, marker);
        QFETCH(int, labels);
        const QString lconvert = QStringLiteral(QT_TOOLS_DIR "/lconvert");
        QFile data(QStringLiteral(FILL_TEST_DATA "/") + QString(name).replace(u".xlf"_s, u".ts"_s));
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QString path = write(name, data.readAll());
        if (name.endsWith(u".xlf"_s)) // the TS made XLIFF in place
            QCOMPARE(QProcess::execute(lconvert, {u"-i"_s, data.fileName(), u"-o"_s, path}), 0);
        QStringList sources;
        for (const Entry &entry : readBack(path).entries)
            sources.append(entry.source);
        const Run run = fill({path});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        QVERIFY2(toolCheck(path).isEmpty(), qPrintable(toolCheck(path)));
        int asked = 0;
        for (const RecordedRequest &request : formRequests()) {
            const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(request.formField("text")));
            asked += text != u"ping"_s && !sources.contains(text);
        }
        QCOMPARE(asked, labels);
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        const QString po = path.endsWith(u".po"_s) ? path : path + u".po"_s;
        if (po != path)
            QCOMPARE(QProcess::execute(lconvert, {u"-i"_s, path, u"-o"_s, po}), 0);
        tool.start(u"msgfmt"_s,
            {u"--use-fuzzy"_s, u"--check"_s, u"--check-accelerators="_s + marker, u"-o"_s, u"/dev/null"_s, po});
        QVERIFY(tool.waitForFinished());
        QVERIFY2(tool.exitCode() == 0, tool.readAll().constData());
    }

    // After a run, --unreviewed lists each entry marked for review as
    // "file:line: key" (a person's fuzzy entry too) and exits 1; --accept
    // clears one entry's mark through the format's own writing, which its
    // tool still takes, and an unknown key changes nothing.
    void unreviewedAndAccepted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key"); // as --unreviewed prints it
        QTest::addColumn<int>("listed");
        QTest::newRow("po, a context and a person's fuzzy entry")
            << u"es.po"_s << poHeader("es") + entries + "#, fuzzy\nmsgid \"Quit\"\nmsgstr \"Salir\"\n"
            << u"menu\\u0004Open"_s << 4;
        QTest::newRow("ts, a disambiguation") << u"app_es.ts"_s << ts << u"MainWindow\\u0004menu\\u0004Open"_s << 4;
        QTest::newRow("xliff 1.2, unit ids") << u"Localizable.xlf"_s << xliff12 << u"greeting"_s << 4;
        QFile catalog(QStringLiteral(FILL_TEST_DATA "/xcstrings/Localizable.xcstrings"));
        QVERIFY(catalog.open(QIODevice::ReadOnly));
        QTest::newRow("string catalog, every language")
            << u"Localizable.xcstrings"_s << catalog.readAll() << u"pl\\u0004timeline.%@-is-valid"_s << 23;
    }
    void unreviewedAndAccepted()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(int, listed);
        const QString path = write(name, content);
        QCOMPARE(fill({path}).status, 0);
        const auto unreviewed = [&] {
            const Run run = fill({u"--unreviewed"_s, path});
            return std::make_pair(run.status, run.out.split(u'\n', Qt::SkipEmptyParts));
        };
        const auto [status, lines] = unreviewed();
        QCOMPARE(status, 1);
        QCOMPARE(lines.size(), listed);
        QStringList keys;
        for (const Entry &entry : readBack(path).entries) {
            if (entry.fuzzy)
                keys.append(u"%1:%2: %3"_s.arg(path).arg(entry.line).arg(escapedField(entry.key)));
        }
        QCOMPARE(lines, keys);
        const QByteArray filled = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const Run unknown = fill({u"--accept"_s, path, key, u"no such key"_s});
        QVERIFY2(unknown.status == 2 && unknown.err.contains(u"no such key"_s), qPrintable(unknown.err));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == filled);
        const Run accepted = fill({u"--accept"_s, path, key});
        QVERIFY2(accepted.status == 0, qPrintable(accepted.err));
        QVERIFY2(toolCheck(path).isEmpty(), qPrintable(toolCheck(path)));
        const auto [statusAfter, linesAfter] = unreviewed();
        QCOMPARE(statusAfter, 1);
        QCOMPARE(linesAfter.size(), listed - 1);
        const auto keyOf = [](const QString &line) { return line.section(u": "_s, 1); };
        QStringList keysAfter;
        std::transform(linesAfter.cbegin(), linesAfter.cend(), std::back_inserter(keysAfter), keyOf);
        for (const QString &line : lines) // lines after a PO entry that lost its "#, fuzzy" move up
            QCOMPARE(keysAfter.contains(keyOf(line)), keyOf(line) != key);
    }

    void interruptedRunWritesWhatItFilled()
    {
        delayMs = 100;
        const QString path = write(u"es.po"_s, poHeader("es") + numbered(40, "Item"));
        bool sent = false;
        const Run run = fill({u"--jobs"_s, u"2"_s, path}, [&](QProcess &process) {
            if (!sent && formRequests().size() >= 6)
                sent = ::kill(pid_t(process.processId()), SIGINT) == 0;
        });
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u"interrupted"_s), qPrintable(run.err));
        QVERIFY(toolCheck(path).isEmpty());
        const Catalog after = readBack(path);
        const auto filled = std::count_if(after.entries.cbegin(), after.entries.cend(),
            [](const Entry &e) { return !e.translations.value(0).isEmpty(); });
        QVERIFY2(filled >= 2 && filled < 40, qPrintable(QString::number(filled)));
        // The table ends with the entries never asked.
        QVERIFY2(run.out.contains(u"not asked\n"_s)
                && run.out.section(u'\n', 1, 1).endsWith(u' ' + QString::number(40 - filled)),
            qPrintable(run.out));
    }

    void catalogChangedDuringTheRunIsLeftAlone()
    {
        delayMs = 100;
        const QString path = write(u"es.po"_s, poHeader("es") + numbered(6, "Item"));
        const QByteArray edited = poHeader("es") + numbered(6, "Item") + "# edited meanwhile\n";
        const Run run = fill({u"--jobs"_s, u"1"_s, path}, [&](QProcess &) {
            if (formRequests().size() == 2) // the first after the service's probe
                write(u"es.po"_s, edited);
        });
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(u"changed on disk"_s), qPrintable(run.err));
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), edited);
        const Catalog beside = readBack(dir.filePath(u"es.tarnix-fill.po"_s));
        QCOMPARE(beside.entries.size(), 6);
        QVERIFY(beside.entries.last().fuzzy && !beside.entries.last().translations.first().isEmpty());
    }

    // Whatever the disk or the file is, the user's catalog is either filled
    // and still what it was (a link, its owner and mode, its line endings) or
    // left exactly as it was with the reason said; no temporary file stays.
    void writingKeepsTheCatalogWhole_data()
    {
        QTest::addColumn<int>("disk");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("full disk") << int(FullDisk) << 2 << u"es.po:0: cannot write: no space left on device"_s;
        QTest::newRow("file size limit") << int(SizeLimit) << 2 << u"es.po:0: cannot write"_s;
        QTest::newRow("link to a catalog elsewhere") << int(Link) << 0 << QString();
        QTest::newRow("CR LF line endings") << int(Crlf) << 0 << QString();
        QTest::newRow("another user's catalog") << int(Owner) << 0 << QString();
        QTest::newRow("a killed run's temporary file") << int(StaleTemporary) << 0 << u"sub/es.po: .es.po."_s;
    }
    void writingKeepsTheCatalogWhole()
    {
        QFETCH(int, disk);
        QFETCH(int, status);
        QFETCH(QString, message);
        QByteArray content = poHeader("es") + entries + numbered(300, "Item");
        if (disk == Crlf)
            content.replace("\n", "\r\n").replace('\n', "\r\n");
        QDir(dir.path()).mkdir(u"sub"_s);
        const QString sub = dir.filePath(u"sub"_s);
        const bool mounted = disk == FullDisk
            && QProcess::execute(
                   u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=%1"_s.arg(content.size() + 8192), u"tmpfs"_s, sub})
                == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                QProcess::execute(u"umount"_s, {u"-l"_s, sub});
        });
        if (disk == FullDisk && !mounted)
            QSKIP("cannot mount a small filesystem here (needs root)");
        if (disk == Owner && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        const QString real = sub + u"/es.po"_s;
        QString path = write(u"sub/es.po"_s, content);
        if (disk == Link) {
            QVERIFY(QFile::link(u"sub/es.po"_s, dir.filePath(u"es.po"_s)));
            path = dir.filePath(u"es.po"_s);
        }
        if (disk == Owner)
            QVERIFY(::chown(QFile::encodeName(real).constData(), 1234, 2345) == 0
                && ::chmod(QFile::encodeName(real).constData(), 0640) == 0);
        struct stat before
        {
        };
        QVERIFY(::stat(QFile::encodeName(real).constData(), &before) == 0);
        const pid_t dead = ::fork(); // a process that is gone by the time the run looks
        if (dead == 0)
            ::_exit(0);
        ::waitpid(dead, nullptr, 0);
        const QString stale = u"%1/.es.po.%2.aB3dEf"_s.arg(sub).arg(dead);
        const QString live = u"%1/.es.po.%2.aB3dEf"_s.arg(sub).arg(::getpid());
        if (disk == StaleTemporary)
            QVERIFY(!write(u"sub/"_s + QFileInfo(stale).fileName(), content).isEmpty()
                && !write(u"sub/"_s + QFileInfo(live).fileName(), content).isEmpty());
        const auto limit = [size = content.size()] {
            const rlimit fileSize {rlim_t(size), rlim_t(size)};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        };
        const Run run = fill({path}, {}, disk == SizeLimit ? std::function<void()>(limit) : nullptr);
        QVERIFY2(run.status == status, qPrintable(run.err + run.out));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));

        QFile result(real);
        QVERIFY(result.open(QIODevice::ReadOnly));
        const QByteArray after = result.readAll();
        QCOMPARE(after == content, status != 0); // left as it was, or filled
        QVERIFY2(toolCheck(real).isEmpty(), qPrintable(toolCheck(real)));
        QCOMPARE(QFileInfo(path).isSymLink(), disk == Link);
        QCOMPARE(after.count("\r\n") == after.count('\n'), disk == Crlf);
        struct stat kept
        {
        };
        QVERIFY(::stat(QFile::encodeName(real).constData(), &kept) == 0);
        QCOMPARE(kept.st_uid, before.st_uid);
        QCOMPARE(kept.st_gid, before.st_gid);
        QCOMPARE(kept.st_mode, before.st_mode);
        QStringList expected {u"es.po"_s};
        if (disk == StaleTemporary)
            expected.prepend(QFileInfo(live).fileName());
        QCOMPARE(QDir(sub).entryList(QDir::Files | QDir::Hidden), expected);
    }

    // A service answers when its page holds a translation within a second;
    // tarnix-fill starts its own only on this machine.
    void whetherAServiceAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("answers");
        QTest::newRow("the service's page") << 200 << servicePage("ping") << 0 << true;
        QTest::newRow("an error page") << 500 << servicePage("ping") << 0 << false;
        QTest::newRow("another server's page") << 200 << "<html>It works!</html>"_ba << 0 << false;
        QTest::newRow("too slow") << 200 << servicePage("ping") << 1500 << false;
    }
    void whetherAServiceAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, delayMs);
        QFETCH(bool, answers);
        tarnix::test::Answer answer;
        answer.status = status;
        answer.body = body;
        answer.delayMs = delayMs;
        scripted = answer;
        QCOMPARE(serviceAnswers(service.url()), answers);
        OwnService own;
        const auto never = [] { return false; };
        for (const char *host : {"127.0.0.1", "localhost", "[::1]"})
            QVERIFY(own.start(u"/nonexistent/tarnix-service"_s, QUrl(u"http://%1:1/"_s.arg(QLatin1String(host))), never)
                        .startsWith(u"cannot start"_s));
        QCOMPARE(own.start(u"/nonexistent/tarnix-service"_s, QUrl(u"http://192.0.2.1:7317/"_s), never),
            u"http://192.0.2.1:7317/ is not on this machine"_s);
        // A service that ends at once says so with its last words; one that
        // never answers is given up on Ctrl-C and stopped.
        QTemporaryDir scripts;
        const auto script = [&](const char *name, const QByteArray &body) {
            const QString path = scripts.filePath(QLatin1String(name));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("#!/bin/sh\n" + body + "\n");
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
            return path;
        };
        const QUrl address(u"http://127.0.0.1:1/"_s);
        QCOMPARE(own.start(script("fails", "echo no engine; exit 3"), address, never),
            u"%1 ended at once (exit status 3):\nno engine"_s.arg(scripts.filePath(u"fails"_s)));
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(own.start(script("silent", "exec sleep 30"), address, [&] { return waited.elapsed() > 300; }),
            u"interrupted while it started"_s);
        QVERIFY(!own.running());
    }

    // Android: the Italian resources of a real app (LineageOS's Updater)
    // filled beside their source; aapt2 compiles what is written, the fills
    // wait in the review record, --check reads a person's Polish file.
    void androidResourcesEndToEnd()
    {
        QDir res(dir.filePath(u"android/res"_s));
        res.removeRecursively();
        for (const QString &folder : {u"values"_s, u"values-it"_s, u"values-pl"_s}) {
            QVERIFY(res.mkpath(folder));
            QFile real(QStringLiteral(FILL_TEST_DATA "/android/lineage-updater/") + folder + u"/strings.xml"_s);
            if (real.exists())
                QVERIFY(real.copy(res.filePath(folder + u"/strings.xml"_s)));
        }
        const QString italian = res.filePath(u"values-it/strings.xml"_s);
        QFile::setPermissions(italian, QFile::ReadOwner | QFile::WriteOwner);
        const Run run = fill({italian});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        QFile written(italian);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        for (const QByteArray &filled : {"<string name=\"snack_update_not_installable\">«it» This update can\\'t be"_ba,
                 "«it» You are about to install <xliff:g id=\"update_name\">%1$s</xliff:g>.\\n\\nIf you press"_ba,
                 "<item quantity=\"many\">«it» <xliff:g id=\"count\">%d</xliff:g> seconds left</item>"_ba})
            QVERIFY2(bytes.contains(filled), bytes.constData());
        QTemporaryDir compiled;
        QProcess aapt2;
        aapt2.setProcessChannelMode(QProcess::MergedChannels);
        aapt2.start(u"aapt2"_s, {u"compile"_s, italian, u"-o"_s, compiled.path()});
        QVERIFY(aapt2.waitForFinished());
        QVERIFY2(aapt2.exitCode() == 0, aapt2.readAll().constData());
        const Run unreviewed = fill({u"--unreviewed"_s, italian});
        QCOMPARE(unreviewed.status, 1);
        QCOMPARE(unreviewed.out.count(u'\n'), 6);
        QVERIFY2(unreviewed.out.contains(italian + u":26: eta_seconds"_s), qPrintable(unreviewed.out));
        QCOMPARE(fill({u"--accept"_s, italian, u"eta_seconds"_s}).status, 0);
        QCOMPARE(fill({u"--unreviewed"_s, italian}).out.count(u'\n'), 5);
        // A person's Polish: a plural with two of its four forms, a placeholder lost.
        const QString polish = res.filePath(u"values-pl/strings.xml"_s);
        QFile file(polish);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<resources xmlns:xliff=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
                   "    <string name=\"local_update_import_success\">Zaimportowano. Zainstalować?</string>\n"
                   "    <plurals name=\"eta_seconds\">\n"
                   "        <item quantity=\"one\">Została 1 sekunda</item>\n"
                   "        <item quantity=\"other\">Zostało <xliff:g id=\"count\">%d</xliff:g> sekund</item>\n"
                   "    </plurals>\n</resources>\n");
        file.close();
        const Run check = fill({u"--check"_s, polish});
        QCOMPARE(check.status, 1);
        QCOMPARE(check.out,
            polish + u":3: the plural lacks the forms few, many of pl\n"_s + polish
                + u":2: %1$s: the translation does not have it\n"_s);
        // The engine saw an <xliff:g> as one empty tag, not the text inside it.
        QByteArrayList texts;
        for (const RecordedRequest &request : service.requests())
            texts.append(QByteArray::fromPercentEncoding(request.formField("text")));
        QVERIFY2(texts.contains("You are about to install <xliff:g id=\"update_name\"/>.\n\nIf you press <xliff:g "
                                "id=\"ok\"/>, the device will restart itself in recovery mode to install the "
                                "update.\n\nNote: This feature requires a compatible Recovery or updates will need "
                                "to be installed manually."),
            texts.join('|').constData());
    }

    void badFilesAreReportedBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed") << u"bad.po"_s << "msgid \"BADTEXT\"\nmsgstr \"\"\nmsgid oops\n"_ba << false
                                   << u"bad.po:3:"_s;
        QTest::newRow("read-only") << u"ro.po"_s << poHeader("es") + numbered(1, "BADTEXT") << true
                                   << u"ro.po:0: cannot write here (read-only)"_s;
        QTest::newRow("not a catalog") << u"notes.txt"_s << "BADTEXT"_ba << false << u"notes.txt:0: not a catalog"_s;
        QTest::newRow("binary named .po")
            << u"mo.po"_s << QByteArray("\xde\x12\x04\x95\0\0\0\0BADTEXT", 15) << false << u"mo.po:0: not a PO file"_s;
    }
    void badFilesAreReportedBeforeAnyRequest()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, readOnly);
        QFETCH(QString, message);
        const QString bad = write(name, content);
        if (readOnly)
            QFile::setPermissions(bad, QFile::ReadOwner | QFile::ReadGroup);
        const QString good = write(u"es.po"_s, poHeader("es") + numbered(2, "Good"));
        const Run run = fill({bad, good});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(formRequests().size(), 3); // the probe, then the good file's two entries
        for (const RecordedRequest &request : formRequests())
            QVERIFY(!request.body.contains("BADTEXT"));
        QCOMPARE(readBack(good).entries.last().translations.first(), u"«es» Good 1"_s);
    }
};

QTEST_GUILESS_MAIN(TestFillRun)
#include "test_fill_run.moc"
