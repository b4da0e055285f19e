// The line and indentation formats (Java properties, Rails YAML) on real
// catalogs: what a filled file means is judged by the ecosystem's own
// readers (java.util.Properties and PropertyResourceBundle, with
// MessageFormat; translate-toolkit's prop2po; Python's yaml), and a diff
// shows nothing but the filled entries.
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <QJsonDocument>
#include <QJsonObject>

#include "fill/check.h"
#include "fill/formatfor.h"
#include "fill/formats/properties.h"
#include "fill/formats/yamlcatalog.h"
#include "fill/languages.h"
#include "fill/plan.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA);

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

// A program's standard output; a null array when it fails.
QByteArray output(const QString &program, const QStringList &arguments, const QString &dir = {})
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << program << arguments << process.readAllStandardError();
        return {};
    }
    const QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// A stand-in engine: the source marked, with an apostrophe, a character of
// Latin-1 and one beyond it; the source's leading blanks kept, as engines do.
QString answer(const QString &text)
{
    if (text.isEmpty())
        return {};
    qsizetype lead = 0;
    while (lead < text.size() && text[lead].isSpace())
        ++lead;
    return text.left(lead) + u"«%1» l'ü€"_s.arg(text.mid(lead));
}

// Java's reading of a properties file: key -> (value, MessageFormat's formatting).
using JavaReading = QMap<QString, QPair<QString, QString>>;

JavaReading javaReads(const QString &classes, const QString &path, bool bundle)
{
    JavaReading read;
    const QByteArray out = output(u"java"_s,
        QStringList {u"-cp"_s, classes, u"PropertiesDump"_s, path}
            + (bundle ? QStringList {u"bundle"_s} : QStringList {}));
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 3)
            read.insert(QString::fromUtf8(fields[0]), {QString::fromUtf8(fields[1]), QString::fromUtf8(fields[2])});
    }
    return read;
}

// The lines a diff from the original to the filled file removes and adds.
QPair<QStringList, QStringList> changedLines(const QString &before, const QString &after)
{
    QProcess diff;
    diff.start(u"diff"_s,
        {u"--old-line-format=-%L"_s, u"--new-line-format=+%L"_s, u"--unchanged-line-format="_s, before, after});
    diff.waitForFinished();
    QStringList removed, added;
    for (const QString &line : QString::fromLatin1(diff.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        (line.startsWith(u'-') ? removed : added).append(line.mid(1));
    return {removed, added};
}

// Python's yaml: the filled file parses, its root is the target's language,
// it holds every fill where its key says, every value the target had (but
// empty ones), and in a new file every setting of the source.
const char *yamlCheck = R"(
import json, sys, yaml
written, original, source, language = sys.argv[1:5]
fills = json.loads(sys.argv[5])
new = yaml.safe_load(open(written, encoding='utf-8'))
assert list(new) == [language], 'root: %r' % list(new)
def at(tree, path):
    for part in path.split('.'):
        tree = tree[int(part)] if isinstance(tree, list) else tree[part]
    return tree
def leaves(tree, path=''):
    items = enumerate(tree) if isinstance(tree, list) else tree.items()
    for k, v in items:
        p = path + str(k)
        if isinstance(v, (dict, list)):
            yield from leaves(v, p + '.')
        else:
            yield p, v
root = new[language]
for key, value in fills.items():
    got = at(root, key)
    if isinstance(value, dict):
        got = {k: v for k, v in got.items() if k in value}
    assert got == value, '%s: %r, not %r' % (key, got, value)
if original:
    old = yaml.safe_load(open(original, encoding='utf-8'))
    for key, value in leaves(old[language]):
        if value not in (None, ''):
            assert at(root, key) == value, 'changed: ' + key
else:
    for key, value in leaves(yaml.safe_load(open(source, encoding='utf-8'))['en']):
        if not isinstance(value, str) and value is not None:
            assert at(root, key) == value, 'lost: ' + key
)";

} // namespace

class TestFillLines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void properties_data();
    void properties();
    void yaml_data();
    void yaml();
    void checks_data();
    void checks();
    void layouts_data();
    void layouts();
    void mutatedFilesStayReadable_data();
    void mutatedFilesStayReadable();
    void yamlErrors_data();
    void yamlErrors();
    void propertiesErrors_data();
    void propertiesErrors();

private:
    QTemporaryDir m_dir;
    QString m_classes; // PropertiesDump, compiled
};

void TestFillLines::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_classes = m_dir.filePath(u"classes"_s);
    QVERIFY(!output(u"javac"_s, {u"-d"_s, m_classes, data + u"/java/PropertiesDump.java"_s}).isNull());
}

// Rows: the source file, the target as it is (none: a new file started from
// the source), the target's name, how Java reads it (PropertyResourceBundle
// or Properties.load()), and bytes the filled file must hold.
void TestFillLines::properties_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("targetName");
    QTest::addColumn<bool>("bundle");
    QTest::addColumn<QByteArray>("expected");
    const auto real = [](const QString &name) { return contents(data + u'/' + name); };
    // Jenkins formats every text with MessageFormat and doubles apostrophes
    // everywhere, "wouldn''t" too: so does every fill.
    QTest::newRow("jenkins, utf-8: missing and empty keys filled")
        << u"jenkins/Messages.properties"_s << real(u"jenkins/Messages_it.properties"_s) << u"Messages_it.properties"_s
        << true
        << "AbstractItem.NewNameInUse=Il nome \"{0}\" è già utilizzato.\nAbstractItem.NewNameUnchanged=«The new "
           "name is the same as the current name.» l''ü€\nAbstractProject.NewBuildForWorkspace="_ba;
    QTest::newRow("jenkins, new file in the source's utf-8")
        << u"jenkins/Messages.properties"_s << QByteArray() << u"Messages_pt_BR.properties"_s << true
        << "AbstractBuild.BuildingInWorkspace=\\ «in workspace {0}» l''ü€\n"_ba;
    QTest::newRow("jenkins, ascii with escapes stays so")
        << u"jenkins/Messages.properties"_s << real(u"jenkins/Messages_it.escaped.properties"_s)
        << u"Messages_it.properties"_s << false
        << "AbstractBuild.BuildingOnMaster=Esegui su master\nAbstractBuild_Building=\\u00ABBuilding\\u00BB "
           "l''\\u00FC\\u20AC\n"_ba;
    QTest::newRow("latin-1 keeps latin-1, escapes the rest, no arguments: one apostrophe")
        << u"jenkins/Messages.properties"_s
        << "# ISO-8859-1\r\nAbstractItem.Pronoun : Elemento n\xb0\r\nAbstractItem.TaskNoun :\r\n"_ba
        << u"Messages_it.properties"_s << false
        << "AbstractItem.TaskNoun :\xab"
           "Build\xbb l''\xfc\\u20AC\r\n"_ba;
    QTest::newRow("apostrophes doubled in patterns alone")
        << u"java/Counts.properties"_s << QByteArray() << u"Counts_it.properties"_s << true
        << "files.count=\\u00ABThere are {0} files in {1}\\u00BB l''\\u00FC\\u20AC\napp.title=\\u00ABTom's "
           "Editor\\u00BB l'\\u00FC\\u20AC\n"_ba;
    QTest::newRow("a key before every key the target has, one at the end without a line break")
        << u"jenkins/Messages.properties"_s << "# header\n\n# its comment\nAbstractItem.Pronoun=Elemento"_ba
        << u"Messages_it.properties"_s << true
        << "# header\n\nAbstractBuild.BuildingRemotely=\\u00ABBuilding remotely on {0}\\u00BB l''\\u00FC\\u20AC\n"_ba;
}

void TestFillLines::properties()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, target);
    QFETCH(QString, targetName);
    QFETCH(bool, bundle);
    QFETCH(QByteArray, expected);
    const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).left(20));
    const QString sourcePath = dir + u'/' + source.section(u'/', -1);
    const QString targetPath = dir + u'/' + targetName;
    put(sourcePath, contents(data + u'/' + source));
    if (!target.isNull())
        put(targetPath, target);
    const FormatInfo *info = formatFor(targetPath);
    QVERIFY(info);
    QCOMPARE(info->sourceFor(targetPath, u"en"_s), sourcePath);
    const auto format = info->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, catalog, error), qPrintable(error));
    QList<Fill> fills;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (needsFill(entry, false))
            fills.append({entry.id, {answer(entry.source)}});
    }
    QVERIFY(!fills.isEmpty());
    const WriteResult result = format->write(fills, catalogLanguage(catalog, {}), 2);
    QVERIFY(result.ok);
    QVERIFY2(result.bytes.contains(expected), result.bytes.constData());
    const QString written = dir + u"/written/"_s + targetName;
    put(written, result.bytes);

    // Java reads every fill as the engine's text, MessageFormat included,
    // and every value the target had as it was.
    const JavaReading java = javaReads(m_classes, written, bundle);
    QVERIFY(!java.isEmpty());
    const bool doublesEverywhere = contents(sourcePath).contains("''");
    for (const Fill &fill : std::as_const(fills)) {
        const Entry &entry = *std::find_if(
            catalog.entries.cbegin(), catalog.entries.cend(), [&](const Entry &e) { return e.id == fill.id; });
        QVERIFY2(java.contains(entry.key), qPrintable(entry.key));
        const bool pattern = doublesEverywhere || entry.flags.contains(u"java-format"_s);
        const QString &shown = pattern ? java[entry.key].second : java[entry.key].first;
        QVERIFY2(shown.contains(u"» l'ü€"_s), qPrintable(entry.key + u": "_s + shown));
    }
    if (!target.isNull()) {
        const JavaReading was = javaReads(m_classes, targetPath, bundle);
        for (auto it = was.cbegin(); it != was.cend(); ++it) {
            if (!it->first.isEmpty())
                QCOMPARE(java.value(it.key()), *it);
        }
        // A diff holds the filled entries alone: a removed line was an empty value.
        const auto [removed, added] = changedLines(targetPath, written);
        for (const QString &line : removed)
            QVERIFY2(QRegularExpression(u"^\\S+\\s*[=:]?\\s*\r?$"_s).match(line).hasMatch() || added.contains(line),
                qPrintable(line));
        QCOMPARE(
            std::count_if(added.cbegin(), added.cend(), [&](const QString &line) { return !removed.contains(line); }),
            fills.size());
    }
    // translate-toolkit reads it too, in the file's charset.
    const bool utf8 = bundle && !result.bytes.contains("\\u");
    QVERIFY(
        !output(u"prop2po"_s, {u"--personality"_s, utf8 ? u"java-utf8"_s : u"java"_s, written, dir + u"/prop2po.po"_s})
             .isNull());
    QVERIFY2(contents(dir + u"/prop2po.po"_s).contains("l'ü€") || contents(dir + u"/prop2po.po"_s).contains("l''ü€"),
        qPrintable(dir));
    // Read back, every fill is there as the engine wrote it.
    Catalog back;
    QVERIFY2(format->read(CatalogFiles {written, sourcePath}, back, error), qPrintable(error));
    for (const Fill &fill : std::as_const(fills)) {
        const auto entry =
            std::find_if(back.entries.cbegin(), back.entries.cend(), [&](const Entry &e) { return e.id == fill.id; });
        QVERIFY(entry != back.entries.cend());
        QCOMPARE(entry->translations, fill.forms);
    }
}

// Rows: the source file, the target as it is (none: a new file), the
// target's name, and bytes the filled file must hold.
void TestFillLines::yaml_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("targetName");
    QTest::addColumn<QByteArray>("expected");
    const auto real = [](const QString &name) { return contents(data + u'/' + name); };
    QTest::newRow("rails-i18n: an empty quoted value, a null one, a plural, a subtree, a first key")
        << u"rails-i18n/en.yml"_s << real(u"rails-i18n/it.yml"_s) << u"it.yml"_s
        << "      half_a_minute: '«half a minute» l''ü€'\n      x_seconds:\n        one: \"«%{count} second» l'ü€\"\n"
           "        many: \"«%{count} seconds» l'ü€\"\n        other: \"«%{count} seconds» l'ü€\"\n  errors:"_ba;
    QTest::newRow("rails-i18n: a new polish file, lists and settings kept")
        << u"rails-i18n/en.yml"_s << QByteArray() << u"pl.yml"_s
        << "---\npl:\n  activerecord:\n    errors:\n      messages:\n        record_invalid: '«Validation failed: "
           "%{errors}» l''ü€'\n"_ba;
    QTest::newRow("a rails app: sections before and after the target's")
        << u"24pullrequests/en.yml"_s << real(u"24pullrequests/it.yml"_s) << u"it.yml"_s
        << "  about_us: «About» l'ü€\n  activerecord:\n"_ba;
    QTest::newRow("anchors, aliases, blocks, zero and symbols into polish")
        << u"rails-handwritten/en.yml"_s << QByteArray() << u"pl-PL.yml"_s
        << "  users:\n    actions: *defaults\n  intro: |-\n    «Welcome to the site.\n    Enjoy your stay.\n    » "
           "l'ü€\n"
           "  folded: |-\n    «A long line folded here» l'ü€\n  count:\n    zero: \"«No items» l'ü€\"\n"
           "    one: \"«One item» l'ü€\"\n    few: \"«%{count} items» l'ü€\"\n"_ba;
    QTest::newRow("into a target with an anchor, a block and CR LF")
        << u"rails-handwritten/en.yml"_s
        << "it:\r\n  defaults: &defaults\r\n    save: Salva\r\n  intro: \"\"\r\n  posts:\r\n    <<: *defaults\r\n"_ba
        << u"it.yml"_s
        << "  defaults: &defaults\r\n    save: Salva\r\n    cancel: «Cancel» l'ü€\r\n  intro: \"«Welcome to the "
           "site.\\nEnjoy your stay.\\n» l'ü€\"\r\n"_ba;
}

void TestFillLines::yaml()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, target);
    QFETCH(QString, targetName);
    QFETCH(QByteArray, expected);
    const QString dir = m_dir.filePath(u"yaml-"_s + QString::fromLatin1(QTest::currentDataTag()).left(20));
    const QString sourcePath = dir + u"/en.yml"_s;
    const QString targetPath = dir + u'/' + targetName;
    put(sourcePath, contents(data + u'/' + source));
    if (!target.isNull())
        put(targetPath, target);
    const FormatInfo *info = formatFor(targetPath);
    QVERIFY(info);
    QCOMPARE(info->sourceFor(targetPath, u"en"_s), sourcePath);
    const auto format = info->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, catalog, error), qPrintable(error));
    const QString language = catalogLanguage(catalog, {});
    const QStringList categories = pluralCategoriesOf(language);
    QList<Fill> fills;
    QJsonObject expectedFills;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (!needsFill(entry, false))
            continue;
        const QStringList forms = entry.plural
            ? formsByCategory(entry, {answer(entry.source), answer(entry.pluralSource)}, categories)
            : QStringList {answer(entry.source)};
        fills.append({entry.id, forms});
        if (!entry.plural) {
            expectedFills.insert(entry.key, forms.first());
            continue;
        }
        QJsonObject byCategory;
        for (qsizetype i = 0; i < categories.size(); ++i)
            byCategory.insert(categories[i], forms[i]);
        expectedFills.insert(entry.key, byCategory);
    }
    QVERIFY(!fills.isEmpty());
    const WriteResult result = format->write(fills, language, int(categories.size()));
    QVERIFY(result.ok);
    QVERIFY2(result.skipped.isEmpty(), qPrintable(result.skippedWhy));
    QVERIFY2(result.bytes.contains(expected), result.bytes.constData());
    const QString written = dir + u"/written/"_s + targetName;
    put(written, result.bytes);
    const QByteArray judged = output(u"python3"_s,
        {u"-c"_s, QString::fromLatin1(yamlCheck), written, target.isNull() ? QString() : targetPath, sourcePath,
            QString(language).replace(u'_', u'-'), QString::fromUtf8(QJsonDocument(expectedFills).toJson())});
    QVERIFY(!judged.isNull());
    // Neither an alias's texts nor settings went to the engine.
    for (const Entry &entry : std::as_const(catalog.entries))
        QVERIFY2(!entry.key.startsWith(u"posts.save"_s) && !entry.key.startsWith(u"users."_s)
                && !entry.key.startsWith(u"date.order"_s) && entry.key != u"mode"_s,
            qPrintable(entry.key));
    if (!target.isNull()) {
        // A diff holds the filled entries alone: a removed line held an empty value.
        const auto [removed, added] = changedLines(targetPath, written);
        for (const QString &line : removed)
            QVERIFY2(QRegularExpression(u"^\\s*[\\w-]+:\\s*(''|\"\")?\r?$"_s).match(line).hasMatch(), qPrintable(line));
        for (const QString &line : added)
            QVERIFY2(
                line.contains(u"l'"_s) || QRegularExpression(u"^\\s*[\\w-]+:( \\|[-+]?)?\r?$"_s).match(line).hasMatch(),
                qPrintable(line));
    }
    // Read back, every fill is there as the engine wrote it.
    Catalog back;
    QVERIFY2(format->read(CatalogFiles {written, sourcePath}, back, error), qPrintable(error));
    for (const Fill &fill : std::as_const(fills)) {
        const auto entry =
            std::find_if(back.entries.cbegin(), back.entries.cend(), [&](const Entry &e) { return e.id == fill.id; });
        QVERIFY(entry != back.entries.cend());
        QCOMPARE(entry->translations, fill.forms);
    }
}

// --check on what translators write in these formats: "line: what" for
// each finding.
void TestFillLines::checks_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("targetName");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QStringList>("findings");
    QTest::newRow("rails: a plural without polish forms, a placeholder added")
        << u"rails-i18n/en.yml"_s << u"pl.yml"_s
        << "pl:\n  datetime:\n    distance_in_words:\n      about_x_hours:\n        one: około godziny\n"
           "        other: około %{count} godzin\n      x_seconds:\n        one: \"%{count} sekunda\"\n"
           "        few: \"%{count} sekundy\"\n        many: \"%{count} sekund\"\n        other: \"%{count} sekund\"\n"
           "  errors:\n    messages:\n      accepted: musi zostać zaakceptowane przez %{user}\n"_ba
        << QStringList {u"4: the plural lacks the forms few, many of pl"_s,
               u"14: %{user}: the translation has it, the source does not"_s};
    QTest::newRow("properties: an argument changed, a choice's branches translated")
        << u"jenkins/Messages.properties"_s << u"Messages_it.properties"_s
        << "AbstractBuild.BuildingRemotely=Compilazione remota su {1} in corso\nAbstractItem.FailureToStopBuilds="
           "Impossibile arrestare {0,choice,1#{0,number,integer} compilazione|1<{0,number,integer} compilazioni} di "
           "{1}\n"_ba
        << QStringList {u"1: {0}: the translation has {1} instead"_s};
}

void TestFillLines::checks()
{
    QFETCH(QString, source);
    QFETCH(QString, targetName);
    QFETCH(QByteArray, target);
    QFETCH(QStringList, findings);
    const QString dir = m_dir.filePath(u"check-"_s + QString::fromLatin1(QTest::currentDataTag()).left(10));
    const QString sourcePath = dir + u'/' + source.section(u'/', -1);
    const QString targetPath = dir + u'/' + targetName;
    put(sourcePath, contents(data + u'/' + source));
    put(targetPath, target);
    const auto format = formatFor(targetPath)->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, catalog, error), qPrintable(error));
    const QStringList categories = format->pluralByCategory() ? pluralCategoriesOf(catalog.language) : QStringList();
    QStringList found;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        for (const Finding &finding : checkEntry(entry, catalog.language, categories))
            found.append(u"%1: %2"_s.arg(finding.line).arg(finding.what));
    }
    QCOMPARE(found, findings);
}

void TestFillLines::layouts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("isSource");
    QTest::addColumn<QString>("other"); // targetFor(file, "pt-BR"), or sourceFor(file, "en")
    QTest::newRow("properties source") << u"res/Messages.properties"_s << u"Java properties"_s << true
                                       << u"res/Messages_pt_BR.properties"_s;
    QTest::newRow("properties translation")
        << u"res/Messages_zh_TW.properties"_s << u"Java properties"_s << false << u"res/Messages.properties"_s;
    QTest::newRow("rails, a file per language")
        << u"config/locales/en.yml"_s << u"Rails YAML"_s << true << u"config/locales/pt-BR.yml"_s;
    QTest::newRow("rails, a folder per language")
        << u"config/locales/en/devise.yml"_s << u"Rails YAML"_s << true << u"config/locales/pt-BR/devise.yml"_s;
    QTest::newRow("rails, the language in the name")
        << u"config/locales/devise.it.yml"_s << u"Rails YAML"_s << false << u"config/locales/devise.en.yml"_s;
}

void TestFillLines::layouts()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(bool, isSource);
    QFETCH(QString, other);
    const QString root = m_dir.filePath(u"layouts"_s);
    const QString path = root + u'/' + file;
    put(path, "a=b\n");
    const FormatInfo *info = formatFor(path);
    QVERIFY(info);
    QCOMPARE(info->name, format);
    QCOMPARE(info->isSource(path, u"en"_s), isSource);
    QCOMPARE(QDir(root).relativeFilePath(isSource ? info->targetFor(path, u"pt-BR"_s) : info->sourceFor(path, u"en"_s)),
        other);
}

// Real files with bytes changed at random (a fixed seed; SEED=n in the
// environment runs 3,000 rounds of another): whatever the reader takes,
// what the writer gives back reads again, with every fill.
void TestFillLines::mutatedFilesStayReadable_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("targetName");
    QTest::newRow("properties") << u"jenkins/Messages.properties"_s << u"jenkins/Messages_it.properties"_s
                                << u"Messages_it.properties"_s;
    QTest::newRow("properties, escaped") << u"jenkins/Messages.properties"_s
                                         << u"jenkins/Messages_it.escaped.properties"_s << u"Messages_it.properties"_s;
    QTest::newRow("yaml, rails-i18n") << u"rails-i18n/en.yml"_s << u"rails-i18n/it.yml"_s << u"it.yml"_s;
    QTest::newRow("yaml, handwritten") << u"rails-handwritten/en.yml"_s << QString() << u"pl.yml"_s;
}

void TestFillLines::mutatedFilesStayReadable()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, targetName);
    const QString dir = m_dir.filePath(u"mutated-"_s + QString::fromLatin1(QTest::currentDataTag()).left(12));
    const QByteArray marks = "\\:=#! \n\t\"'&*|>-[]{}~%u";
    QRandomGenerator random(qEnvironmentVariableIntValue("SEED") ? qEnvironmentVariableIntValue("SEED") : 20261208);
    int read = 0;
    for (int round = 0; round < (qEnvironmentVariableIsSet("SEED") ? 3000 : 300); ++round) {
        QByteArray files[2] = {
            contents(data + u'/' + source), target.isEmpty() ? QByteArray() : contents(data + u'/' + target)};
        QByteArray &mutated = files[target.isEmpty() || round % 2 ? 0 : 1];
        for (int n = 0; n < 3; ++n) {
            const qsizetype at = random.bounded(mutated.size());
            if (random.bounded(2))
                mutated[at] = marks[random.bounded(marks.size())];
            else
                mutated.insert(at, marks[random.bounded(marks.size())]);
        }
        put(dir + u"/en."_s + source.section(u'.', -1), files[0]);
        const QString sourcePath = dir + u"/en."_s + source.section(u'.', -1);
        const QString targetPath = dir + u'/' + targetName;
        QFile::remove(targetPath);
        if (!target.isEmpty())
            put(targetPath, files[1]);
        const auto format = formatFor(targetPath)->make();
        Catalog catalog;
        QString error;
        if (!format->read(CatalogFiles {targetPath, sourcePath}, catalog, error))
            continue;
        ++read;
        const QStringList categories = pluralCategoriesOf(catalog.language.isEmpty() ? u"it"_s : catalog.language);
        QList<Fill> fills;
        for (const Entry &entry : std::as_const(catalog.entries)) {
            if (needsFill(entry, false))
                fills.append({entry.id,
                    entry.plural
                        ? formsByCategory(entry, {answer(entry.source), answer(entry.pluralSource)}, categories)
                        : QStringList {answer(entry.source)}});
        }
        const WriteResult result = format->write(fills, catalog.language.isEmpty() ? u"it"_s : catalog.language, 2);
        QVERIFY(result.ok);
        put(targetPath, result.bytes);
        Catalog back;
        QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, back, error),
            qPrintable(error + u"\n"_s + QString::fromUtf8(result.bytes)));
        for (const Fill &fill : std::as_const(fills)) {
            if (result.skipped.contains(fill.id))
                continue;
            const auto entry = std::find_if(
                back.entries.cbegin(), back.entries.cend(), [&](const Entry &e) { return e.id == fill.id; });
            QVERIFY2(entry != back.entries.cend() && entry->translations == fill.forms,
                qPrintable(u"round %1: entry %2: %3 read back as %4"_s.arg(round).arg(fill.id).arg(
                    fill.forms.join(u'|'),
                    entry == back.entries.cend() ? u"nothing"_s : entry->key + u' ' + entry->translations.join(u'|'))));
        }
    }
    QVERIFY(read > 30);
}

// What a person needs to find the fault in a Rails catalog.
void TestFillLines::yamlErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("unclosed quote")
        << "it:\n  a: \"b\n  c: d\n"_ba
        << u"2: not valid YAML: while scanning a quoted scalar: found unexpected end of stream"_s;
    QTest::newRow("two documents") << "it:\n  a: b\n---\nit:\n  c: d\n"_ba
                                   << u"3: more than one YAML document: a catalog is one"_s;
    QTest::newRow("no language at the root")
        << "messages:\n  a: b\n"_ba << u"1: not a Rails catalog: its top level is no language's key"_s;
    QTest::newRow("a language over a list")
        << "it:\n- a\n"_ba << u"1: not a Rails catalog: its language's key holds no mapping"_s;
}

void TestFillLines::yamlErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString dir = m_dir.filePath(u"yaml-errors"_s);
    put(dir + u"/en.yml"_s, "en:\n  a: A\n");
    put(dir + u"/it.yml"_s, content);
    Catalog catalog;
    QString error;
    QVERIFY(!RailsYamlFormat().read(CatalogFiles {dir + u"/it.yml"_s, dir + u"/en.yml"_s}, catalog, error));
    QCOMPARE(error, dir + u"/it.yml:"_s + message);
}

// What Properties.load() reads, and what it refuses, as this reader does.
void TestFillLines::propertiesErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("read"); // key=value|…, or the error
    QTest::newRow("separators, escapes, continuation")
        << "a b\n c:d\n!x\ne\\=f = g\\\n   h\\\\\ni\\u00e8 \\ \\tj\\\n"_ba << u"a=b|c=d|e=f=gh\\|iè= \tj"_s;
    QTest::newRow("a comment does not continue, a value does") << "#a\\\nb=1\\\n#c\n"_ba << u"b=1#c"_s;
    QTest::newRow("bad escape")
        << "a=\\u00g1\n"_ba
        << u"bad.properties:1: not a properties file: a \\u escape without four hexadecimal digits"_s;
}

void TestFillLines::propertiesErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, read);
    properties::File file;
    QString error;
    if (!properties::parse(content, u"bad.properties"_s, file, error)) {
        QCOMPARE(error, read);
        return;
    }
    QStringList pairs;
    for (const properties::Property &property : std::as_const(file.properties))
        pairs.append(property.key + u'=' + property.value);
    QCOMPARE(pairs.join(u'|'), read);
}

QTEST_GUILESS_MAIN(TestFillLines)
#include "test_fill_lines.moc"
