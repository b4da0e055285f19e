// Apple's .strings and .stringsdict on real apps' files (fill/tests/data/apple,
// README.md there says whose): targets filled in place and started from the
// source, judged by translate-toolkit's readers and Python's plistlib, and by
// a diff that may show the filled entries alone. One run of the tarnix-fill
// binary against the loopback stand-in of the service goes through
// --to, --unreviewed, --accept and --check.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "fill/formatfor.h"
#include "fill/formats/strings.h"
#include "fill/languages.h"
#include "fill/plan.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA "/apple");

// argv: source, old target ('' when new), new target, categories of its language.
const char *judge = R"(
import difflib, plistlib, re, sys
source, old, new, categories = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4].split(',')
def fail(why): sys.exit(new + ': ' + why)
def raw(path): return open(path, 'rb').read()
def text(path):
    b = raw(path)
    for bom, enc in ((b'\xff\xfe', 'utf-16-le'), (b'\xfe\xff', 'utf-16-be'), (b'\xef\xbb\xbf', 'utf-8')):
        if b.startswith(bom): return bom, b[len(bom):].decode(enc)
    return b'', b.decode('utf-8')
if text(new)[0] != text(old or source)[0]: fail('written in another encoding')
if new.endswith('.strings'):
    from translate.storage import properties
    def units(path):
        if not path: return {}
        kind = properties.stringsfile if text(path)[0] in (b'\xff\xfe', b'\xfe\xff') else properties.stringsutf8file
        return {u.getid(): u.source for u in kind.parsefile(path).units if u.getid()}
    src, was, now = units(source), units(old), units(new)
    for key, value in was.items():
        if value and now.get(key) != value: fail('changed or lost: ' + key)
    for key in src:
        if not now.get(key): fail('not filled: ' + key)
    emptied = re.compile(r'.*= "";$')
else:
    src, was, now = (plistlib.loads(raw(p)) if p else {} for p in (source, old, new))
    for key, entry in src.items():
        there = now.get(key)
        if not there: fail('not filled: ' + key)
        for name, var in entry.items():
            if name == 'NSStringLocalizedFormatKey':
                if re.findall('%#@\\w+@', var) != re.findall('%#@\\w+@', there[name]): fail('variables lost: ' + key)
                continue
            if not any(var.get(c) for c in ('zero', 'one', 'two', 'few', 'many', 'other')):
                continue  # nothing to translate
            for field in ('NSStringFormatSpecTypeKey', 'NSStringFormatValueTypeKey'):
                if there[name][field] != var[field]: fail(field + ' changed: ' + key)
            lacking = [c for c in categories if c not in there[name]]
            if lacking: fail(key + ' lacks ' + ','.join(lacking))
            if 'zero' in var and 'zero' not in there[name]: fail(key + ' lost its zero')
    for key, entry in was.items():
        for name, var in entry.items():
            if isinstance(var, dict) and any(v and now[key][name].get(c) != v for c, v in var.items()):
                fail('changed: ' + key)
    emptied = re.compile(r'\s*<string>(</string>)?$|\s*<string/>$')
if old:
    for line in difflib.ndiff(text(old)[1].splitlines(), text(new)[1].splitlines()):
        if line.startswith('- ') and not emptied.match(line[2:]): fail('a line not filled changed: ' + line)
)";

// The stand-in's translation, as the run would write it.
QString answer(const QString &text)
{
    return u"«it» "_s + text;
}

bool copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

} // namespace

class TestFillApple : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void readsStrings_data();
    void readsStrings();
    void findsCatalogFiles_data();
    void findsCatalogFiles();
    void readsTheDevelopmentRegion();
    void fillsLproj_data();
    void fillsLproj();
    void fillsThroughTheProgram();
};

// Rows: a .strings text and the pairs Foundation reads from it.
void TestFillApple::readsStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pairs"); // "key=value"; one "!" item: a syntax error
    QTest::newRow("genstrings") << u"/* Title */\n\"Save\" = \"Save %@\";\n"_s << QStringList {u"Save=Save %@"_s};
    QTest::newRow("escapes") << uR"("a\"b" = "1\\2\n3\t4\U00e9\U263A\101\"";)"_s
                             << QStringList {u"a\"b=1\\2\n3\t4é☺A\""_s};
    QTest::newRow("bare key and value, line comment")
        << u"// header\nNSTitle = Hello_World-1.0;\nkey=\"v\" ; // after\n"_s
        << QStringList {u"NSTitle=Hello_World-1.0"_s, u"key=v"_s};
    QTest::newRow("key alone stands for itself") << u"\"Cancel\";"_s << QStringList {u"Cancel=Cancel"_s};
    QTest::newRow("comment between key and value") << u"\"k\" /* c */ = /* d */ \"v\";"_s << QStringList {u"k=v"_s};
    QTest::newRow("no semicolon") << u"\"k\" = \"v\"\n\"l\" = \"w\";"_s << QStringList {u"!"_s};
    QTest::newRow("open quote") << u"\"k\" = \"v;"_s << QStringList {u"!"_s};
}

void TestFillApple::readsStrings()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pairs);
    qsizetype at = 0;
    QString fault;
    const auto parsed = parseStrings(text, at, fault);
    QStringList read;
    for (const StringsPair &pair : parsed.value_or(QList<StringsPair> {}))
        read.append(pair.key + u'=' + pair.value);
    QCOMPARE(parsed ? read : QStringList {u"!"_s}, pairs);
    // What the format writes reads back as the text it wrote.
    for (const QString &value : std::as_const(read)) {
        const QString v = value.section(u'=', 1);
        const auto back = parseStrings(u"k = "_s + quotedStringsValue(v) + u';', at, fault);
        QVERIFY(back && back->first().value == v);
    }
}

// Where the files of an Xcode project's catalog lie.
void TestFillApple::findsCatalogFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language"); // of --to
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("source"); // of that target
    QTest::newRow("bcp 47 folders") << u"neardrop/Base.lproj/Localizable.strings"_s << u"pt_BR"_s
                                    << u"neardrop/pt-BR.lproj/Localizable.strings"_s
                                    << u"neardrop/Base.lproj/Localizable.strings"_s;
    QTest::newRow("a project with underscores")
        << u"sparkle/en.lproj/Sparkle.strings"_s << u"pt_BR"_s << u"sparkle/pt_BR.lproj/Sparkle.strings"_s
        << u"sparkle/en.lproj/Sparkle.strings"_s;
    QTest::newRow("a script") << u"mastodon/en.lproj/Localizable.stringsdict"_s << u"zh_Hans"_s
                              << u"mastodon/zh-Hans.lproj/Localizable.stringsdict"_s
                              << u"mastodon/en.lproj/Localizable.stringsdict"_s;
}

void TestFillApple::findsCatalogFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    QFETCH(QString, target);
    QFETCH(QString, source);
    const FormatInfo *info = formatFor(file);
    QVERIFY(info && info->isSource(data + u'/' + file, u"en"_s));
    QCOMPARE(info->targetFor(data + u'/' + file, language), data + u'/' + target);
    QVERIFY(!info->isSource(data + u'/' + target, u"en"_s));
    QCOMPARE(info->sourceFor(data + u'/' + target, u"en"_s), data + u'/' + source);
    QCOMPARE(lprojLanguage(target), QString(language).replace(u'_', u'-'));
}

// An Xcode project written in German has its source texts in de.lproj.
void TestFillApple::readsTheDevelopmentRegion()
{
    const QString root = dir.filePath(u"german"_s);
    for (const QString &folder : {u"App.xcodeproj"_s, u"App/de.lproj"_s, u"App/en.lproj"_s})
        QVERIFY(QDir().mkpath(root + u'/' + folder));
    QFile project(root + u"/App.xcodeproj/project.pbxproj"_s);
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("\t\t\tdevelopmentRegion = de;\n\t\t\tknownRegions = (\n\t\t\t\tde,\n\t\t\t\ten,\n");
    project.close();
    const FormatInfo *info = formatFor(u"x.strings"_s);
    QVERIFY(info->isSource(root + u"/App/de.lproj/Localizable.strings"_s, u"en"_s));
    QVERIFY(!info->isSource(root + u"/App/en.lproj/Localizable.strings"_s, u"en"_s));
    QCOMPARE(info->sourceFor(root + u"/App/en.lproj/Localizable.strings"_s, u"en"_s),
        root + u"/App/de.lproj/Localizable.strings"_s);
}

// Rows: a source, the target filled (existing or not), what is filled.
void TestFillApple::fillsLproj_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("filled");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("utf-8, in place")
        << u"neardrop/Base.lproj/Localizable.strings"_s << u"neardrop/it.lproj/Localizable.strings"_s << 5
        << QStringList {u"\"Accept\" = \"Accetta\";\n\n/* No comment provided by engineer. */\n\"Decline\" = \"«it» "
                        u"Decline\";\n\n/* No comment provided by engineer. */\n\"DeviceName\""_s,
               u"\"PinCode\" = \"«it» PIN: %@\";"_s};
    QTest::newRow("utf-8, new") << u"neardrop/Base.lproj/Localizable.strings"_s
                                << u"neardrop/pt-BR.lproj/Localizable.strings"_s << 14 << QStringList {};
    QTest::newRow("utf-16 both ways, in place")
        << u"sparkle/en.lproj/Sparkle.strings"_s << u"sparkle/it.lproj/Sparkle.strings"_s << 3
        << QStringList {u"/* the unit for bytes */\n\"B\" = \"B\";\n\n/* Take care not to overflow the status window. "
                        u"*/\n\"Downloading update...\" = \"«it» Downloading update…\";"_s};
    QTest::newRow("stringsdict, in place")
        << u"mastodon/en.lproj/Localizable.stringsdict"_s << u"mastodon/it.lproj/Localizable.stringsdict"_s << 5
        << QStringList {
               u"        <key>one</key>\n        <string>«it» 1 year left</string>\n        <key>many</key>"_s};
    // English's "zero" is its own entry where the language's rule has no
    // "zero"; Latvian's takes 10 to 20 too, and so the plural's text.
    QTest::newRow("stringsdict, english zero")
        << u"zero/en.lproj/Localizable.stringsdict"_s << u"zero/ja.lproj/Localizable.stringsdict"_s << 3
        << QStringList {u"<string>«it» %#@files@ selected</string>"_s,
               u"<key>zero</key>\n\t\t\t<string>«it» No files</string>\n\t\t\t<key>other</key>"_s};
    QTest::newRow("stringsdict, latvian zero")
        << u"zero/en.lproj/Localizable.stringsdict"_s << u"zero/lv.lproj/Localizable.stringsdict"_s << 2
        << QStringList {u"<key>zero</key>\n\t\t\t<string>«it» %d files</string>\n\t\t\t<key>one</key>"_s};
    QTest::newRow("stringsdict, new") << u"neardrop/Base.lproj/Localizable.stringsdict"_s
                                      << u"neardrop/pl.lproj/Localizable.stringsdict"_s << 1
                                      << QStringList {u"<key>few</key>\n\t\t\t<string>«it» %d files</string>"_s};
}

void TestFillApple::fillsLproj()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(int, filled);
    QFETCH(QStringList, written);
    const QString root = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(copyTree(data, root));
    const QString from = root + u'/' + source;
    const QString to = root + u'/' + target;
    const bool existed = QFileInfo::exists(to);
    const QString old = existed ? root + u"/old"_s : QString();
    QVERIFY(!existed || QFile::copy(to, old));
    const auto format = formatFor(to)->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {to, formatFor(to)->sourceFor(to, u"en"_s)}, catalog, error), qPrintable(error));
    const QString language = catalog.language;
    const QStringList categories = pluralCategoriesOf(language);
    QList<Fill> fills;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (needsFill(entry, false))
            fills.append(
                {entry.id, formsByCategory(entry, {answer(entry.source), answer(entry.pluralSource)}, categories)});
    }
    QCOMPARE(fills.size(), filled);
    const WriteResult result = format->write(fills, language, int(categories.size()));
    QVERIFY(result.ok && result.skipped.isEmpty());
    QDir().mkpath(QFileInfo(to).path());
    QFile out(to);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(result.bytes) == result.bytes.size());
    out.close();
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(judge), from, old, to, categories.join(u',')});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAll().constData());
    // Read again: nothing left to fill, and a second write changes nothing.
    const auto again = formatFor(to)->make();
    QVERIFY2(again->read(CatalogFiles {to, from}, catalog, error), qPrintable(error));
    for (const Entry &entry : std::as_const(catalog.entries))
        QVERIFY2(!needsFill(entry, false), qPrintable(entry.key));
    QCOMPARE(again->write({}, language, int(categories.size())).bytes, result.bytes);
    xml::Document doc;
    QVERIFY(doc.load(to, error));
    for (const QString &part : std::as_const(written))
        QVERIFY2(doc.text().contains(part), qPrintable(doc.text()));
}

void TestFillApple::fillsThroughTheProgram()
{
    tarnix::test::LoopbackServer service;
    QVERIFY(service.start());
    service.setResponder([](const tarnix::test::RecordedRequest &request) {
        tarnix::test::Answer reply;
        QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(request.formField("text")));
        reply.body = tarnix::test::servicePage(
            (u"«"_s + QString::fromUtf8(request.formField("tl")) + u"» "_s + text.replace(u'<', u"&#60;"_s)).toUtf8());
        return reply;
    });
    const QString root = dir.filePath(u"run"_s);
    QVERIFY(copyTree(data + u"/neardrop"_s, root));
    const auto run = [&](const QStringList &arguments) {
        QProcess fill;
        fill.setWorkingDirectory(root);
        fill.start(
            QStringLiteral(TARNIX_FILL_BINARY), QStringList {u"--service"_s, service.url().toString()} + arguments);
        [[maybe_unused]] const bool ended =
            QTest::qWaitFor([&fill] { return fill.state() == QProcess::NotRunning; }, 60000);
        return std::pair {
            fill.exitCode(), QString::fromUtf8(fill.readAllStandardOutput() + fill.readAllStandardError())};
    };
    const auto [status, out] =
        run({u"--to"_s, u"it,pt-BR"_s, u"Base.lproj/Localizable.strings"_s, u"Base.lproj/Localizable.stringsdict"_s});
    QVERIFY2(status == 0, qPrintable(out));
    QFile italian(root + u"/it.lproj/Localizable.strings"_s);
    QVERIFY(italian.open(QIODevice::ReadOnly));
    const QByteArray filled = italian.readAll();
    QVERIFY2(filled.contains("\"Decline\" = \"«it» Decline\";") && filled.contains("\"Accept\" = \"Accetta\";"),
        filled.constData());
    QVERIFY(QFileInfo::exists(root + u"/pt-BR.lproj/Localizable.stringsdict"_s));
    // The fills await review in the record beside each file; one is accepted.
    const auto [listed, unreviewed] = run({u"--unreviewed"_s, u"it.lproj/Localizable.strings"_s});
    QCOMPARE(listed, 1);
    QCOMPARE(unreviewed.count(u"it.lproj/Localizable.strings:"_s), 5);
    QCOMPARE(run({u"--accept"_s, u"it.lproj/Localizable.strings"_s, u"Decline"_s}).first, 0);
    QCOMPARE(run({u"--unreviewed"_s, u"it.lproj/Localizable.strings"_s}).second.count(u"Localizable"_s), 4);
    // --check: a placeholder lost and a plural category missing.
    italian.close();
    QVERIFY(italian.open(QIODevice::WriteOnly | QIODevice::Append));
    italian.write("\"TransferError\" = \"Impossibile ricevere i file\";\n");
    italian.close();
    QFile polish(root + u"/pl.lproj/Localizable.stringsdict"_s);
    QDir(root).mkpath(u"pl.lproj"_s);
    QFile::copy(root + u"/it.lproj/Localizable.stringsdict"_s, polish.fileName());
    const auto [found, findings] = run({u"--check"_s, u"it.lproj/Localizable.strings"_s, polish.fileName()});
    QVERIFY2(findings.contains(u"Localizable.strings:"_s)
            && findings.contains(u"%@: the translation does not have it"_s)
            && findings.contains(u"the plural lacks the forms few of pl"_s),
        qPrintable(findings));
    QVERIFY(found != 0);
}

QTEST_GUILESS_MAIN(TestFillApple)
#include "test_fill_apple.moc"
