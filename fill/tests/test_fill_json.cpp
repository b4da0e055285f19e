// The JSON catalog formats (i18next, FormatJS, ARB) on real catalogs: a
// filled file is valid JSON (Python's parser judges), keeps every key in
// its order and every value a person wrote, and differs from the original
// only in the filled values and the one comma JSON needs.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "fill/formatfor.h"
#include "fill/formats/jsoncatalog.h"
#include "fill/languages.h"
#include "fill/plan.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA);

// Python's JSON reader: the file parses, and every key of the original is
// there in the same order with the same value, but for the empty ones.
const char *keptCheck = R"(
import json, sys
def flat(o, p=''):
    out = []
    for k, v in o.items() if isinstance(o, dict) else enumerate(o):
        k = str(k)
        out += [(p + k, None)] + flat(v, p + k + '.') if isinstance(v, (dict, list)) else [(p + k, v)]
    return out
new = flat(json.load(open(sys.argv[1], encoding='utf-8')))
if len(sys.argv) > 2:
    pos = 0
    for k, v in flat(json.load(open(sys.argv[2], encoding='utf-8'))):
        while pos < len(new) and new[pos][0] != k:
            pos += 1
        if pos == len(new):
            sys.exit('lost or moved: ' + k)
        if v not in (None, '') and new[pos][1] != v:
            sys.exit('changed: ' + k)
        pos += 1
)";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return program + u" did not finish"_s;
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(process.readAll());
}

// A stand-in engine: the source marked, with characters JSON escapes.
QString answer(const QString &text)
{
    return u"«%1» ü/\"\\"_s.arg(text);
}

} // namespace

class TestFillJson : public QObject
{
    Q_OBJECT

private slots:
    void fillingChangesOnlyValues_data();
    void fillingChangesOnlyValues();
    void layouts_data();
    void layouts();
    void readErrors_data();
    void readErrors();

private:
    QTemporaryDir m_dir;
};

// Rows: the source file, the target as it is (none: a new catalog started
// from the source), the target's path (which names its language), and
// what the filled file must hold (all of it, when it ends in a newline).
void TestFillJson::fillingChangesOnlyValues_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("targetName");
    QTest::addColumn<QByteArray>("expected");
    const auto real = [](const QString &name) { return contents(data + u'/' + name); };
    QTest::newRow("i18next, nested: a subtree, a plural category and an empty value filled")
        << u"medusa/en/dashboard.json"_s << real(u"medusa/pl/dashboard.json"_s) << u"pl/dashboard.json"_s
        << "    \"items_few\": \"{{count}} przemioty\",\n    \"items_many\": \"«{{count}} items» ü/\\\"\\\\\",\n"
           "    \"items_other\""_ba;
    QTest::newRow("i18next, new catalog: polish plural categories")
        << u"medusa/en/dashboard.json"_s << QByteArray() << u"pl/dashboard.json"_s
        << "  \"$schema\": \"./$schema.json\",\n  \"general\": {\n    \"ascending\": \"«Ascending» ü/\\\"\\\\\",\n"_ba;
    // The examples of i18next's documentation (context, the third version's
    // plurals, nesting, formatting) into a file that escapes what is not
    // ASCII, indents by four and has no final newline.
    QTest::newRow("i18next, docs' examples into an escaping file")
        << u"i18next-docs/en.json"_s
        << "{\n    \"friend\": \"Un amigo\",\n    \"friend_female\": \"Una amiga\",\n    \"key\": \"\",\n"
           "    \"intlNumber\": \"Alg\\u00fan {{val, number}}\"\n}"_ba
        << u"es.json"_s
        << "{\n    \"friend\": \"Un amigo\",\n    \"friend_male\": \"\\u00abA boyfriend\\u00bb \\u00fc/\\\"\\\\\",\n"
           "    \"friend_female\": \"Una amiga\",\n    \"key\": \"\",\n    \"key_one\": \"\\u00abitem\\u00bb "
           "\\u00fc/\\\"\\\\\",\n    \"key_many\": \"\\u00abitems\\u00bb \\u00fc/\\\"\\\\\",\n    \"key_other\": "
           "\"\\u00abitems\\u00bb \\u00fc/\\\"\\\\\",\n    \"nesting1\": \"\\u00ab1 $t(nesting2)\\u00bb "
           "\\u00fc/\\\"\\\\\",\n"
           "    \"intlNumber\": \"Alg\\u00fan {{val, number}}\",\n    \"intlNumberWithOptions\": \"\\u00abSome "
           "{{val, number(minimumFractionDigits: 2)}}\\u00bb \\u00fc/\\\"\\\\\"\n}"_ba;
    // i18next shows "_zero" for a count of 0 in any language: English's is
    // an entry of its own, Arabic's zero category gives way to it.
    QTest::newRow("i18next, _zero beside the plural")
        << u"i18next-zero/en.json"_s << QByteArray() << u"ar.json"_s
        << "{\n  \"items_zero\": \"«No items» ü/\\\"\\\\\",\n  \"items_one\": \"«{{count}} item» ü/\\\"\\\\\",\n"
           "  \"items_two\": \"«{{count}} items» ü/\\\"\\\\\",\n  \"items_few\": \"«{{count}} items» ü/\\\"\\\\\",\n"
           "  \"items_many\": \"«{{count}} items» ü/\\\"\\\\\",\n  \"items_other\": \"«{{count}} items» ü/\\\"\\\\\"\n}\n"_ba;
    // i18next's objects and arrays (returnObjects): a text by its index;
    // items the target lacks follow its last.
    QTest::newRow("i18next, arrays")
        << u"i18next-arrays/en.json"_s
        << "{\n  \"arrayJoin\": [\"ligne1\", \"\"],\n  \"arrayOfObjects\": [\n    { \"name\": \"\" }\n  ]\n}\n"_ba
        << u"fr.json"_s
        << "{\n  \"arrayJoin\": [\"ligne1\", \"«line2» ü/\\\"\\\\\", \"«line3» ü/\\\"\\\\\"],\n"
           "  \"arrayJoinWithInterpolation\": [\n    \"«you» ü/\\\"\\\\\",\n    \"«can» ü/\\\"\\\\\",\n"
           "    \"«{{myVar}}» ü/\\\"\\\\\"\n  ],\n  \"arrayOfObjects\": [\n    { \"name\": \"«tom» ü/\\\"\\\\\" },\n"
           "    {\n      \"name\": \"«steve» ü/\\\"\\\\\"\n    }\n  ]\n}\n"_ba;
    QTest::newRow("i18next, CR LF, null for a translation to come")
        << u"i18next-docs/en.json"_s << "{\r\n  \"friend\": \"Ami\",\r\n  \"key_one\": null\r\n}\r\n"_ba << u"fr.json"_s
        << "  \"friend_female\": \"«A girlfriend» ü/\\\"\\\\\",\r\n  \"key_one\""_ba;
    QTest::newRow("i18next, into an empty object")
        << u"medusa/en/dashboard.json"_s
        << "{\n  \"general\": {\n    \"add\": \"Hinzuf\u00fcgen\"\n  },\n  \"json\": {}\n}\n"_ba
        << u"de/dashboard.json"_s << "  \"json\": {\n    \"header\": \"\u00abJSON\u00bb \u00fc/\\\"\\\\\",\n"_ba;
    QTest::newRow("formatjs, flat ICU messages")
        << u"mastodon/en.json"_s << real(u"mastodon/es.json"_s) << u"es.json"_s
        << "  \"account.blocked\": \"Bloqueado\",\n  \"account.familiar_followers_many\": \"«Followed by"_ba;
    QTest::newRow("formatjs, extracted on one line")
        << u"formatjs/en.json"_s << "{\"tYRMz2\":{\"defaultMessage\":\"Panneau\"},\"XmKr1+\":{}}"_ba << u"fr.json"_s
        << "{\"JUnulj\":{\"defaultMessage\":\"«Delete user {name}» ü/\\\"\\\\\",\"description\":\"Delete button\"},"
           "\"tYRMz2\":{\"defaultMessage\":\"Panneau\"},\"XmKr1+\":{\"defaultMessage\":\"«New Password» ü/\\\"\\\\\"},"
           "\"explicit-id\":{\"defaultMessage\":\"«Confirm Password» ü/\\\"\\\\\",\"description\":\"placeholder text\"}}"_ba;
    QTest::newRow("arb, into a translation ordered otherwise")
        << u"gallery/intl_en.arb"_s << real(u"gallery/intl_es.arb"_s) << u"intl_es.arb"_s
        << "  \"signIn\": \"INICIAR SESIÓN\",\n  \"dismiss\": \"«DISMISS» ü/\\\"\\\\\","_ba;
    QTest::newRow("arb, new catalog") << u"gallery/intl_en.arb"_s << QByteArray() << u"intl_pt_BR.arb"_s
                                      << "{\n  \"@@locale\": \"pt_BR\",\n  \"@@context\": \"Gallery\",\n"
                                         "  \"githubRepo\": \"«{repoName} GitHub repository» ü/\\\"\\\\\",\n"
                                         "  \"deselect\""_ba;
}

void TestFillJson::fillingChangesOnlyValues()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, target);
    QFETCH(QString, targetName);
    QFETCH(QByteArray, expected);
    const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).left(20));
    const QString sourcePath = dir + u'/' + (source.contains(u'/') ? source.section(u'/', 1) : source);
    const QString targetPath = dir + u'/' + targetName;
    put(sourcePath, contents(data + u'/' + source));
    if (!target.isNull())
        put(targetPath, target);
    const FormatInfo *info = formatFor(sourcePath);
    QVERIFY(info);
    const auto format = info->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, catalog, error), qPrintable(error));
    const QString language = catalogLanguage(catalog, {});
    const QStringList categories = pluralCategoriesOf(language);
    QList<Fill> fills;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (needsFill(entry, false))
            fills.append(
                {entry.id, formsByCategory(entry, {answer(entry.source), answer(entry.pluralSource)}, categories)});
    }
    QVERIFY(!fills.isEmpty());
    const WriteResult result = format->write(fills, language, int(categories.size()));
    QVERIFY(result.ok);
    if (expected.endsWith('}') || expected.endsWith("}\n"))
        QCOMPARE(result.bytes, expected);
    else
        QVERIFY2(result.bytes.contains(expected), result.bytes.constData());
    const QString written = dir + u"/written/"_s + targetName;
    put(written, result.bytes);
    // A new catalog has nothing to keep: only whether it parses.
    const QStringList original = target.isNull() ? QStringList() : QStringList {targetPath};
    const QString judged = run(u"python3"_s, QStringList {u"-c"_s, QString::fromLatin1(keptCheck), written} + original);
    QVERIFY2(judged.isEmpty(), qPrintable(judged));
    if (!target.isNull()) {
        // diff: a removed line was an empty value, or is back with a comma.
        QProcess diff;
        diff.start(u"diff"_s,
            {u"--old-line-format=-%L"_s, u"--new-line-format=+%L"_s, u"--unchanged-line-format="_s, targetPath,
                written});
        QVERIFY(diff.waitForFinished());
        const QStringList lines = QString::fromUtf8(diff.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            if (line.startsWith(u'-') && target.contains('\n'))
                QVERIFY2(line.contains(u"\"\""_s) || line.contains(u"{}"_s) || line.contains(u"null"_s)
                        || lines.contains(u'+' + line.mid(1).chopped(line.endsWith(u'\r')) + u','
                            + (line.endsWith(u'\r') ? u"\r"_s : QString())),
                    qPrintable(line));
        }
    }
    // Read back, every entry filled has all its forms.
    Catalog back;
    QVERIFY2(format->read(CatalogFiles {written, sourcePath}, back, error), qPrintable(error));
    for (const Fill &fill : std::as_const(fills)) {
        const Entry &entry = back.entries[fill.id];
        QVERIFY2(isTranslated(entry), qPrintable(entry.key));
        QCOMPARE(entry.translations.size(), entry.plural ? categories.size() : 1);
    }
}

void TestFillJson::layouts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("isSource");
    QTest::addColumn<QString>("target"); // targetFor(file, "pt-BR"), or sourceFor(file, "en")
    QTest::addColumn<QByteArray>("around"); // at the root: a Flutter project's l10n.yaml, or a folder (ending in /)
    QTest::newRow("i18next folders") << u"locales/en/common.json"_s << "{\"a\": {\"b\": \"B\"}}"_ba << u"i18next JSON"_s
                                     << true << u"locales/pt-BR/common.json"_s << QByteArray();
    QTest::newRow("i18next, a namespace named like a language")
        << u"locales/de/new.json"_s << "{\"n_one\": \"1\", \"n_other\": \"2\"}"_ba << u"i18next JSON"_s << false
        << u"locales/en/new.json"_s << QByteArray();
    QTest::newRow("formatjs beside the source, told by its ICU text")
        << u"lang/fr.json"_s << "{\"x\": \"{count, plural, one {{counter} a} other {b}}\"}"_ba << u"FormatJS JSON"_s
        << false << u"lang/en.json"_s << QByteArray();
    QTest::newRow("formatjs extracted") << u"lang/en.json"_s << "{\"x\": {\"defaultMessage\": \"X\"}}"_ba
                                        << u"FormatJS JSON"_s << true << u"lang/pt-BR.json"_s << QByteArray();
    QTest::newRow("i18next, a project naming regions with _")
        << u"locales/en/app.json"_s << "{\"a\": \"A\"}"_ba << u"i18next JSON"_s << true << u"locales/pt_BR/app.json"_s
        << "locales/zh_TW/"_ba;
    QTest::newRow("nothing tells: i18next")
        << u"en.json"_s << "{\"x\": \"X\"}"_ba << u"i18next JSON"_s << true << u"pt-BR.json"_s << QByteArray();
    QTest::newRow("arb template") << u"lib/l10n/app_en.arb"_s << "{}"_ba << u"Flutter ARB"_s << true
                                  << u"lib/l10n/app_pt_BR.arb"_s << QByteArray();
    QTest::newRow("arb template named by l10n.yaml")
        << u"lib/l10n/messages.arb"_s << "{}"_ba << u"Flutter ARB"_s << true << u"lib/l10n/messages_pt_BR.arb"_s
        << "arb-dir: lib/l10n\ntemplate-arb-file: messages.arb\n"_ba;
    QTest::newRow("arb translation of a template l10n.yaml names")
        << u"lib/l10n/app_de.arb"_s << "{}"_ba << u"Flutter ARB"_s << false << u"lib/l10n/intl_en.arb"_s
        << "template-arb-file: 'intl_en.arb'  # the gallery's\n"_ba;
    QTest::newRow("arb translation") << u"lib/l10n/app_de.arb"_s << "{}"_ba << u"Flutter ARB"_s << false
                                     << u"lib/l10n/app_en.arb"_s << QByteArray();
}

void TestFillJson::layouts()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, format);
    QFETCH(bool, isSource);
    QFETCH(QString, target);
    QFETCH(QByteArray, around);
    const QString root = m_dir.filePath(u"layouts/"_s + QString::fromLatin1(QTest::currentDataTag()).left(24));
    const QString path = root + u'/' + file;
    put(path, content);
    if (around.endsWith('/'))
        QDir(root).mkpath(QString::fromUtf8(around));
    else if (!around.isEmpty())
        put(root + u"/l10n.yaml"_s, around);
    const FormatInfo *info = formatFor(path);
    QVERIFY(info);
    QCOMPARE(info->name, format);
    QCOMPARE(info->isSource(path, u"en"_s), isSource);
    const QString other = isSource ? info->targetFor(path, u"pt-BR"_s) : info->sourceFor(path, u"en"_s);
    QCOMPARE(QDir(root).relativeFilePath(other), target);
}

// What a person needs to find the fault: the file, the line, what is wrong.
void TestFillJson::readErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("trailing comma") << "{\n  \"a\": \"A\",\n}\n"_ba
                                    << u"bad.json:3: not valid JSON: a member name in quotes expected"_s;
    QTest::newRow("unterminated string") << "{\"a\": \"A}"_ba
                                         << u"bad.json:1: not valid JSON: a string without its closing quote"_s;
    QTest::newRow("raw line break in a string")
        << "{\"a\": \"A\nB\"}"_ba
        << u"bad.json:1: not valid JSON: a control character inside a string (JSON writes it as an escape)"_s;
    QTest::newRow("bad escape") << "{\"a\": \"\\u12G4\"}"_ba
                                << u"bad.json:1: not valid JSON: a \\u escape without four hexadecimal digits"_s;
    QTest::newRow("two documents") << "{}\n{}\n"_ba
                                   << u"bad.json:2: not valid JSON: text after the end of the document"_s;
    QTest::newRow("an array") << "[\"a\"]"_ba << u"bad.json:1: not a catalog (its top level is not an object)"_s;
    QTest::newRow("latin-1") << "{\"a\": \"caf\xe9\"}"_ba
                             << u"bad.json:0: not a UTF-8 file (JSON is written in UTF-8)"_s;
    QTest::newRow("nested too deeply") << QByteArray(300, '[') << u"bad.json:1: not valid JSON: nested too deeply"_s;
}

void TestFillJson::readErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    json::Document doc;
    QString error;
    QVERIFY(!json::parse(content, u"bad.json"_s, doc, error));
    QCOMPARE(error, message);
}

QTEST_GUILESS_MAIN(TestFillJson)
#include "test_fill_json.moc"
