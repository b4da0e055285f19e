// Xcode string catalogs on a real one: languages filled one after the other
// into the one file, as the run does, each write going on from the last.
// Python's JSON reader judges the result: it parses, every value a person
// wrote is kept in its place, it is laid out as Xcode writes (Python's
// writer with Xcode's separators gives Xcode's bytes), and every line of
// the original but the filled units' is there in its order.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "fill/formatfor.h"
#include "fill/formats/xcstrings.h"
#include "fill/languages.h"
#include "fill/plan.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA);

const char *judge = R"(
import json, re, sys
old_text = open(sys.argv[1], encoding='utf-8').read()
new_text = open(sys.argv[2], encoding='utf-8').read()
old, new = json.loads(old_text), json.loads(new_text)
xcode = json.dumps(new, indent=2, separators=(',', ' : '), ensure_ascii=False)
xcode = re.sub(r'^( *)(.*)\{\}$', lambda m: m[1] + m[2] + '{\n\n' + m[1] + '}', xcode, flags=re.M)
if xcode != new_text:
    sys.exit('not laid out as Xcode writes')
def kept(a, b, path):
    if isinstance(a, dict):
        keys = [k for k in b if k in a]
        if keys != list(a):
            sys.exit('lost or moved under ' + path)
        for k in a:
            if k != 'stringUnit' or a[k].get('state') != 'new':
                kept(a[k], b[k], path + '/' + k)
    elif a != b:
        sys.exit('changed: ' + path)
kept(old, new, '')
def sorted_members(o, path):
    if isinstance(o, dict):
        if path.endswith(('localizations', 'plural')) and list(o) != sorted(o, key=str.lower):
            sys.exit('out of order: ' + path)
        for k, v in o.items():
            sorted_members(v, path + '/' + k)
sorted_members(new, '')
lines = iter(new_text.split('\n'))
for line in old_text.split('\n'):
    if not re.fullmatch(r'\s*("state" : "new",|"value" : ".*")?', line) and line not in lines:
        sys.exit('removed or moved: ' + line)
)";

QString answer(const QString &language, const QString &text)
{
    return u"«%1: %2» \""_s.arg(language, text);
}

} // namespace

class TestFillXcstrings : public QObject
{
    Q_OBJECT

private slots:
    void fillsLanguagesInPlace_data();
    void fillsLanguagesInPlace();

private:
    QTemporaryDir m_dir;
};

// Rows: the catalog, the languages filled one after the other (none: those
// the file has), how many entries each fills, and what the file must then hold.
void TestFillXcstrings::fillsLanguagesInPlace_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QList<int>>("filled");
    QTest::addColumn<QByteArrayList>("expected");
    // Polish: the plural's missing "many" between "few" and "one", the unit
    // in state "new" replaced, a language added in order, a key Xcode left
    // empty given its first localization; the substitutions a person gave
    // the nouns the English text holds around them are left to them.
    QTest::newRow("pl") << u"Localizable"_s << QStringList {u"pl"_s} << QList<int> {6}
                        << QByteArrayList {
                               "\"few\" : {\n                \"stringUnit\" : {\n                  "
                               "\"state\" : \"translated\",\n                  \"value\" : \"%lld nowe "
                               "posty\"\n                }\n              },\n              \"many\" : {\n"
                               "                \"stringUnit\" : {\n                  \"state\" : "
                               "\"needs_review\",\n                  \"value\" : \"«pl: %lld new posts» \\\"\"",
                               "\"pl\" : {\n          \"stringUnit\" : {\n            \"state\" : \"needs_review\",\n"
                               "            \"value\" : \"«pl: %@ is a valid instance» \\\"\"\n          }\n        }",
                               "\"Abdominal Cramps\" : {\n      \"localizations\" : {\n        \"pl\" : {\n          "
                               "\"stringUnit\" : {\n            \"state\" : \"needs_review\",\n            \"value\" : "
                               "\"«pl: Abdominal Cramps» \\\"\"\n          }\n        }\n      }\n    },"};
    // The file's own languages (de, ja, pl, zh-Hans), each write on the
    // last one's bytes; Japanese has one category, German goes first.
    QTest::newRow("every language the file has")
        << u"Localizable"_s << QStringList {} << QList<int> {6, 8, 6, 6}
        << QByteArrayList {"\"lists.add-remove-%@\" : {\n      \"comment\" : \"MARK: Package: Lists\",\n      "
                           "\"extractionState\" : \"manual\",\n      \"localizations\" : {\n        \"de\" : {\n",
               "\"value\" : \"«ja: Add/Remove %@» \\\"\"\n          }\n        },\n        \"pl\"",
               "\"ja\" : {\n          \"variations\" : {\n            \"plural\" : {\n              \"one\""};
    // A language the file does not have yet, with the region Xcode writes.
    QTest::newRow("pt-BR") << u"Localizable"_s << QStringList {u"pt-BR"_s} << QList<int> {10}
                           << QByteArrayList {"\"pl\" : {", "\"pt-BR\" : {\n          \"variations\" : {"};
    // Each device's text and each substitution an entry of its own: the
    // German "mac" a person wrote stays beside the "other" filled, a new
    // substitution takes the source's argument number and format.
    QTest::newRow("devices and substitutions")
        << u"Variations"_s << QStringList {u"de"_s} << QList<int> {5}
        << QByteArrayList {"\"value\" : \"Klicken zum Öffnen\"\n                }\n              },\n              "
                           "\"other\" : {\n                \"stringUnit\" : {\n                  \"state\" : "
                           "\"needs_review\",\n                  \"value\" : \"«de: Tap to open» \\\"\"",
               "\"value\" : \"«de: %1$@! There %#@total.strings@ and you have %#@remaining.strings@ remaining» "
               "\\\"\"\n          },\n          \"substitutions\" : {\n            \"remaining.strings\" : {\n"
               "              \"argNum\" : 3,\n              \"formatSpecifier\" : \"lld\",\n"
               "              \"variations\" : {",
               "\"value\" : \"«de: is %arg string» \\\"\""};
}

void TestFillXcstrings::fillsLanguagesInPlace()
{
    QFETCH(QString, file);
    QFETCH(QStringList, languages);
    QFETCH(QList<int>, filled);
    QFETCH(QByteArrayList, expected);
    const QString original = data + u"/xcstrings/"_s + file + u".xcstrings"_s;
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".xcstrings"_s);
    QFile::remove(path);
    QVERIFY(QFile::copy(original, path));
    const FormatInfo *info = formatFor(path);
    QVERIFY(info && info->languagesIn);
    if (languages.isEmpty())
        languages = info->languagesIn(path);
    // Every language read first, then written in turn, as the run does.
    std::vector<std::unique_ptr<CatalogFormat>> formats;
    QList<Catalog> catalogs;
    for (const QString &language : std::as_const(languages)) {
        formats.push_back(info->make());
        catalogs.append(Catalog {});
        QString error;
        QVERIFY2(formats.back()->read(CatalogFiles {path, {}, language}, catalogs.back(), error), qPrintable(error));
        QVERIFY(catalogs.back().notices.isEmpty());
    }
    QByteArray bytes;
    QList<int> counts;
    for (qsizetype i = 0; i < languages.size(); ++i) {
        const QStringList categories = pluralCategoriesOf(languages[i]);
        QList<Fill> fills;
        for (const Entry &entry : std::as_const(catalogs[i].entries)) {
            QVERIFY(!entry.key.contains(u"stale"_s) && entry.key != u"%@"_s);
            if (needsFill(entry, false))
                fills.append({entry.id,
                    formsByCategory(entry,
                        {answer(languages[i], entry.source), answer(languages[i], entry.pluralSource)}, categories)});
        }
        counts.append(int(fills.size()));
        if (i > 0)
            QVERIFY(formats[i]->follow(bytes));
        const WriteResult result = formats[i]->write(fills, languages[i], int(categories.size()));
        QVERIFY(result.ok);
        bytes = result.bytes;
    }
    QCOMPARE(counts, filled);
    for (const QByteArray &part : std::as_const(expected))
        QVERIFY2(bytes.contains(part), part.constData());
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    out.close();
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(u"python3"_s, {u"-c"_s, QString::fromUtf8(judge), original, path});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAll().constData());
}

QTEST_GUILESS_MAIN(TestFillXcstrings)
#include "test_fill_xcstrings.moc"
