// Android's strings.xml on a real app's resources and a hand-made file of
// the cases around them. aapt2, Android's own resource compiler, judges:
// it reads every source text as the format does, it compiles every file
// written, and it reads each filled value back as the text the engine
// answered. xmllint checks the XML; diff shows nothing changed but the
// filled entries.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "fill/formatfor.h"
#include "fill/formats/android.h"
#include "fill/languages.h"
#include "fill/plan.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA "/android");

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

QString run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return program + u" did not finish"_s;
    const QByteArray output = process.readAll();
    if (out)
        *out = output;
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(output);
}

// What aapt2 reads from a file in a res/values… folder: each string's text
// ("name"), each plural's quantities ("name#" -> "one few many other") and
// its "other" text ("name:other"). Empty with `error` set when it does not compile.
QHash<QString, QString> aapt2Reading(const QString &file, QString &error)
{
    QTemporaryDir out;
    error = run(u"aapt2"_s, {u"compile"_s, file, u"-o"_s, out.path()});
    if (!error.isEmpty())
        return {};
    const QStringList flat = QDir(out.path()).entryList({u"*.flat"_s});
    QByteArray dump;
    error = run(u"aapt2"_s, {u"dump"_s, u"apc"_s, out.filePath(flat.value(0))}, &dump);
    QHash<QString, QString> read;
    // One block per resource; a value's lines after its first are indented by the dump.
    static const QRegularExpression string(u"^ +resource 0x[0-9a-f]+ string/(\\S+)\\n *\\([^)]*\\) "
                                           u"(?:\\(styled string\\) )?\"(.*)\"(?: \\S+:[0-9,]+)* src=[^\\n]*$"_s,
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression plurals(u"^ +resource 0x[0-9a-f]+ plurals/(\\S+)\\n"_s);
    static const QRegularExpression quantity(
        u"^ +(zero|one|two|few|many|other)=\"(.*?)\"(?=\\n +(?:zero|one|two|few|many|other)=\"|\\n*$)"_s,
        QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption);
    const QStringList blocks = QString::fromUtf8(dump).split(QRegularExpression(u"\\n(?= +resource )"_s));
    for (QString block : blocks) {
        block = block.trimmed().prepend(u"      "_s).replace(u"\n        "_s, u"\n"_s);
        if (const QRegularExpressionMatch match = string.match(block); match.hasMatch()) {
            read.insert(match.captured(1), match.captured(2));
        } else if (const QRegularExpressionMatch plural = plurals.match(block); plural.hasMatch()) {
            QStringList quantities;
            const QString items = block.section(u'\n', 2);
            for (const QRegularExpressionMatch &item : quantity.globalMatch(items)) {
                quantities.append(item.captured(1));
                if (item.captured(1) == u"other"_s)
                    read.insert(plural.captured(1) + u":other"_s, item.captured(2));
            }
            read.insert(plural.captured(1) + u'#', quantities.join(u' '));
        }
    }
    return read;
}

// A stand-in engine: the text between what Android escapes, a leading @
// that would make it a reference, white space that it would collapse.
QString answer(const QString &text)
{
    return u"@l'«%1» & <x>  \"q\" \\ ?\tü "_s.arg(text);
}

// The cases the real files lack: styling, quoting, references, arrays (a
// typed <array> is left alone), a string declared as an <item>, a product,
// tools:ignore, a comment, CR LF; and a Polish target a person started: a
// plural with two of its four forms (and a string of its name), an empty
// and a self-closing string, an array short of items.
const QByteArray handSource = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                              "<resources xmlns:tools=\"http://schemas.android.com/tools\" tools:locale=\"en\">\r\n"
                              "  <!-- The first screen -->\r\n"
                              "  <string name=\"welcome\">Tap <b>Save</b> to keep <i>your</i> notes</string>\r\n"
                              "  <string name=\"padded\">\"  two  spaces \"</string>\r\n"
                              "  <string name=\"at\">\\@home &amp; &lt;away&gt;</string>\r\n"
                              "  <string name=\"alias\">@string/welcome</string>\r\n"
                              "  <string name=\"lint\" tools:ignore=\"MissingTranslation\">Beta</string>\r\n"
                              "  <string name=\"size\" product=\"tablet\">Big screen</string>\r\n"
                              "  <string name=\"size\" product=\"default\">Small screen</string>\r\n"
                              "  <string name=\"blank\">Blank</string>\r\n"
                              "  <string name=\"closed\">Closed</string>\r\n"
                              "  <item type=\"string\" name=\"generic\">Declared as an item</item>\r\n"
                              "  <array name=\"icons\">\r\n    <item>@drawable/note</item>\r\n  </array>\r\n"
                              "  <plurals name=\"notes\">\r\n"
                              "    <item quantity=\"one\">%d note</item>\r\n"
                              "    <item quantity=\"other\">%d notes</item>\r\n"
                              "  </plurals>\r\n"
                              "  <plurals name=\"fixed\" translatable=\"false\">\r\n"
                              "    <item quantity=\"other\">%d</item>\r\n"
                              "  </plurals>\r\n"
                              "  <string-array name=\"sorts\">\r\n"
                              "    <item>By name</item>\r\n"
                              "    <item>@string/welcome</item>\r\n"
                              "    <item>By date</item>\r\n"
                              "  </string-array>\r\n"
                              "</resources>\r\n";
const QByteArray handPolish = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                              "<resources>\r\n"
                              "  <string name=\"blank\"></string>\r\n"
                              "  <string name=\"closed\"/>\r\n"
                              "  <string name=\"notes\">Notatki</string>\r\n" // its own resource, beside the plural
                              "  <!-- a person's -->\r\n"
                              "  <plurals name=\"notes\">\r\n"
                              "    <item quantity=\"one\">%d notatka</item>\r\n"
                              "    <item quantity=\"other\">%d notatki</item>\r\n"
                              "  </plurals>\r\n"
                              "  <string-array name=\"sorts\">\r\n"
                              "    <item>Według nazwy</item>\r\n"
                              "  </string-array>\r\n"
                              "</resources>\r\n";

} // namespace

class TestFillAndroid : public QObject
{
    Q_OBJECT

private slots:
    void readsAsAndroidDoes_data();
    void readsAsAndroidDoes();
    void fillingChangesOnlyEntries_data();
    void fillingChangesOnlyEntries();
    void layouts_data();
    void layouts();

private:
    QTemporaryDir m_dir;
};

void TestFillAndroid::readsAsAndroidDoes_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("entries"); // after translatable="false", tools:ignore and references
    QTest::newRow("lineage updater") << contents(data + u"/lineage-updater/values/strings.xml"_s) << 21;
    QTest::newRow("hand-made") << handSource << 11;
}

// Every text as aapt2 reads it; the inline elements stand where it shows
// their text.
void TestFillAndroid::readsAsAndroidDoes()
{
    QFETCH(QByteArray, source);
    QFETCH(int, entries);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u"/res/values/strings.xml"_s);
    put(path, source);
    QString error;
    const QHash<QString, QString> android = aapt2Reading(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    AndroidFormat format;
    Catalog catalog;
    QVERIFY2(format.read(path, catalog, error), qPrintable(error));
    QCOMPARE(catalog.entries.size(), entries);
    static const QRegularExpression xliff(u"<xliff:g [^>]*/>"_s);
    static const QRegularExpression tag(u"</?[biu]>"_s);
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (entry.key.contains(u'[') || !entry.context.isEmpty())
            continue; // aapt2 shows arrays and products otherwise
        const QString text = entry.plural ? entry.pluralSource : entry.source;
        const QString read = android.value(entry.key + (entry.plural ? u":other"_s : QString()));
        // An <xliff:g> shows its content to aapt2, one empty tag to the engine.
        QStringList pieces = QString(text).remove(tag).split(xliff);
        for (QString &piece : pieces)
            piece = QRegularExpression::escape(piece);
        const QRegularExpression pattern(
            u'^' + pieces.join(u".+?"_s) + u'$', QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(pattern.match(read).hasMatch(), qPrintable(entry.key + u": "_s + text + u" | aapt2: "_s + read));
    }
    QCOMPARE(catalog.sourceLanguage, source.contains("tools:locale") ? u"en"_s : QString());
}

// Rows: the source, the target before (none: a new one), its folder (which
// names its language), what the written file must hold.
void TestFillAndroid::fillingChangesOnlyEntries_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray lineage = contents(data + u"/lineage-updater/values/strings.xml"_s);
    QTest::newRow("lineage into its italian: new strings where the source has them")
        << lineage << contents(data + u"/lineage-updater/values-it/strings.xml"_s) << u"values-it"_s
        << "        ]]></string>\n    <string name=\"dialog_scratch_mounted_title\">\\@l\\'«Cannot install update "
           "with OverlayFS mounted» &amp; &lt;x> \\u0020\\\"q\\\" \\\\ ?\\tü\\u0020</string>\n"
           "    <string name=\"menu_ab_perf_mode\">"_ba;
    QTest::newRow("lineage, a new polish file: every category, its namespaces")
        << lineage << QByteArray() << u"values-pl"_s
        << "-->\n<resources xmlns:xliff=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
           "    <string name=\"app_name\">"_ba;
    QTest::newRow("lineage, a new serbian file in latin")
        << lineage << QByteArray() << u"values-b+sr+Latn"_s
        << "    <plurals name=\"eta_seconds\">\n        <item quantity=\"one\">\\@l\\'«1 second left» &amp; &lt;x> "
           "\\u0020\\\"q\\\" \\\\ ?\\tü\\u0020</item>\n        <item quantity=\"few\">"_ba;
    QTest::newRow("hand-made, a polish file a person started")
        << handSource << handPolish << u"values-pl"_s
        << "    <item quantity=\"one\">%d notatka</item>\r\n    <item quantity=\"few\">\\@l\\'«%d notes» &amp; "
           "&lt;x> \\u0020\\\"q\\\" \\\\ ?\\tü\\u0020</item>\r\n    <item quantity=\"many\">"_ba;
    QTest::newRow("hand-made, a new file") << handSource << QByteArray() << u"values-pl"_s
                                           << "<resources xmlns:tools=\"http://schemas.android.com/tools\">\r\n"
                                              "  <string name=\"welcome\">\\@l\\'«Tap <b>Save</b> to keep"_ba;
}

void TestFillAndroid::fillingChangesOnlyEntries()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, target);
    QFETCH(QString, folder);
    QFETCH(QByteArray, expected);
    const QString res = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).left(24) + u"/res/"_s);
    const QString sourcePath = res + u"values/strings.xml"_s;
    const QString targetPath = res + folder + u"/strings.xml"_s;
    put(sourcePath, source);
    if (!target.isNull())
        put(targetPath, target);
    const FormatInfo *info = formatFor(sourcePath);
    QVERIFY(info && info->name == u"Android strings"_s);
    const auto format = info->make();
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(CatalogFiles {targetPath, sourcePath}, catalog, error), qPrintable(error));
    const QStringList categories = pluralCategoriesOf(catalog.language);
    QList<Fill> fills;
    for (const Entry &entry : std::as_const(catalog.entries)) {
        if (needsFill(entry, false))
            fills.append(
                {entry.id, formsByCategory(entry, {answer(entry.source), answer(entry.pluralSource)}, categories)});
    }
    QVERIFY(!fills.isEmpty());
    const WriteResult result = format->write(fills, catalog.language, int(categories.size()));
    QVERIFY(result.ok);
    QVERIFY2(result.skipped.isEmpty(), qPrintable(result.skippedWhy));
    QVERIFY2(result.bytes.contains(expected), result.bytes.constData());
    const QString written = res + u"written/"_s + folder + u"/strings.xml"_s;
    put(written, result.bytes);
    QVERIFY2(run(u"xmllint"_s, {u"--noout"_s, written}).isEmpty(), qPrintable(run(u"xmllint"_s, {written})));
    // aapt2 takes the file and reads every filled text as the engine's answer.
    const QHash<QString, QString> before = aapt2Reading(sourcePath, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QHash<QString, QString> after = aapt2Reading(written, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const Fill &fill : std::as_const(fills)) {
        const Entry &entry = catalog.entries[fill.id];
        if (entry.key.contains(u'[') || !entry.context.isEmpty())
            continue;
        if (entry.plural) {
            QCOMPARE(after.value(entry.key + u'#'), categories.join(u' '));
            if (entry.translations.value(categories.indexOf(u"other"_s)).isEmpty()) // else a person's, kept
                QCOMPARE(after.value(entry.key + u":other"_s), answer(before.value(entry.key + u":other"_s)));
        } else {
            QCOMPARE(after.value(entry.key), answer(before.value(entry.key)));
        }
    }
    QVERIFY(!after.contains(u"lint"_s) && !after.contains(u"alias"_s) && !after.contains(u"download_path"_s));
    // Read back: the filled entries are translated, the others as they were.
    Catalog back;
    QVERIFY2(format->read(CatalogFiles {written, sourcePath}, back, error), qPrintable(error));
    QCOMPARE(back.entries.size(), catalog.entries.size());
    for (qsizetype i = 0; i < back.entries.size(); ++i) {
        const bool filled = std::any_of(
            fills.cbegin(), fills.cend(), [&](const Fill &fill) { return fill.id == catalog.entries[i].id; });
        QVERIFY2(isTranslated(back.entries[i]), qPrintable(back.entries[i].key));
        if (!filled)
            QCOMPARE(back.entries[i].translations, catalog.entries[i].translations);
    }
    if (target.isNull())
        return;
    // diff: a removed line held an empty value; an added one a filled text or a new element's tags.
    QProcess diff;
    diff.start(u"diff"_s,
        {u"--old-line-format=-%L"_s, u"--new-line-format=+%L"_s, u"--unchanged-line-format="_s, targetPath, written});
    QVERIFY(diff.waitForFinished());
    static const QRegularExpression structure(u"^\\+\\s*</?(plurals|string-array)\\b"_s);
    for (const QString &line : QString::fromUtf8(diff.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'-'))
            QVERIFY2(line.contains(u"></string>"_s) || line.contains(u"/>"_s), qPrintable(line));
        else
            QVERIFY2(line.contains(u"«"_s) || structure.match(line).hasMatch() || line.contains(u"<item>@"_s),
                qPrintable(line));
    }
}

void TestFillAndroid::layouts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("isSource");
    QTest::addColumn<QString>("other"); // targetFor(file, "pt-BR"), or sourceFor(file)
    QTest::newRow("source") << u"res/values/strings.xml"_s << true << u"res/values-pt-rBR/strings.xml"_s;
    QTest::newRow("source with another qualifier")
        << u"res/values-land/arrays.xml"_s << true << u"res/values-pt-rBR-land/arrays.xml"_s;
    QTest::newRow("target") << u"res/values-it/strings.xml"_s << false << u"res/values/strings.xml"_s;
    QTest::newRow("target in bcp 47 form")
        << u"res/values-b+sr+Latn/strings.xml"_s << false << u"res/values/strings.xml"_s;
    QTest::newRow("target with a region and a mobile code")
        << u"res/values-mcc262-de-rAT-night/strings.xml"_s << false << u"res/values-mcc262-night/strings.xml"_s;
}

void TestFillAndroid::layouts()
{
    QFETCH(QString, file);
    QFETCH(bool, isSource);
    QFETCH(QString, other);
    const QString root = m_dir.filePath(u"layouts/"_s + QString::fromLatin1(QTest::currentDataTag()));
    const QString path = root + u'/' + file;
    put(path, "<resources/>\n");
    const FormatInfo *info = formatFor(path);
    QVERIFY(info && info->name == u"Android strings"_s);
    QCOMPARE(info->isSource(path, u"en"_s), isSource);
    QCOMPARE(QDir(root).relativeFilePath(isSource ? info->targetFor(path, u"pt-BR"_s) : info->sourceFor(path, u"en"_s)),
        other);
}

QTEST_GUILESS_MAIN(TestFillAndroid)
#include "test_fill_android.moc"
