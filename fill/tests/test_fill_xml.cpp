// The XML catalog formats against the tools that write and compile them:
// lupdate, lrelease, xmllint, and real files from Debian's packages.
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include "fill/formats/ts.h"
#include "fill/formats/xliff.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA);
const QString qtTools = QStringLiteral(QT_TOOLS_DIR);

std::unique_ptr<CatalogFormat> formatOf(const QString &path)
{
    if (path.endsWith(u".ts"_s))
        return std::make_unique<TsFormat>();
    return std::make_unique<XliffFormat>();
}

bool untranslated(const Entry &entry)
{
    return std::all_of(
        entry.translations.cbegin(), entry.translations.cend(), [](const QString &t) { return t.isEmpty(); });
}

// A stand-in engine's answer: the source kept whole (inline markup
// included), with characters every format must escape.
QStringList formsFor(const Entry &entry)
{
    const QString form = u"«%1» & <i> €"_s.arg(entry.source);
    if (!entry.plural)
        return {form};
    return {form + u"#0"_s, form + u"#1"_s};
}

QList<Fill> fillsFor(const Catalog &catalog, bool refillFuzzy = false)
{
    QList<Fill> fills;
    for (const Entry &entry : catalog.entries) {
        if (!entry.obsolete && (untranslated(entry) || (refillFuzzy && entry.fuzzy)))
            fills.append({entry.id, formsFor(entry)});
    }
    return fills;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A format's result written where a test reads it.
WriteResult writeTo(
    CatalogFormat &format, const QList<Fill> &fills, const QString &path, const QString &language, int pluralForms)
{
    const WriteResult result = format.write(fills, language, pluralForms);
    if (result.ok)
        put(path, result.bytes);
    return result;
}

int run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (process.exitCode() != 0)
        qWarning().noquote() << program << process.readAllStandardError();
    return process.exitCode();
}

} // namespace

class TestFillXml : public QObject
{
    Q_OBJECT

private slots:
    void tsAsLupdateWritesIt();
    void fixtures_data();
    void fixtures();
    void misnestedInlineIsSkipped();
    void realFiles_data();
    void realFiles();
    void readErrors_data();
    void readErrors();

private:
    QTemporaryDir m_dir;
};

// lupdate writes the catalog; the filled file is what lupdate itself would
// write with those translations, and lrelease compiles each fill as unfinished.
void TestFillXml::tsAsLupdateWritesIt()
{
    const QString source = m_dir.filePath(u"main.cpp"_s);
    put(source, R"(#include <QCoreApplication>
class W { Q_DECLARE_TR_FUNCTIONS(W)
void f() {
    //: Shown in the title bar
    tr("Open \"%1\" & <b>save</b>'s");
    tr("Open", "verb");
    tr("%n file(s) copied", "", 3);
    tr("Tab\there, bell\a !");
}
};
)");
    const QString ts = m_dir.filePath(u"app_fr.ts"_s);
    QCOMPARE(run(qtTools + u"/lupdate"_s, {u"-silent"_s, source, u"-ts"_s, ts}), 0);
    TsFormat format;
    Catalog catalog;
    QString error;
    QVERIFY2(format.read(ts, catalog, error), qPrintable(error));
    QCOMPARE(catalog.language, u"fr_FR"_s);
    QCOMPARE(catalog.entries.size(), 4);
    QCOMPARE(catalog.entries[0].source, u"Open \"%1\" & <b>save</b>'s"_s);
    QCOMPARE(catalog.entries[0].notes, QStringList {u"Shown in the title bar"_s});
    QCOMPARE(catalog.entries[1].context, u"verb"_s);
    QVERIFY(catalog.entries[2].plural);
    QCOMPARE(catalog.entries[2].pluralSource, u"%n file(s) copied"_s);
    QCOMPARE(catalog.entries[3].source, u"Tab\there, bell\a\u00a0!"_s);

    const QList<Fill> fills = fillsFor(catalog);
    QCOMPARE(fills.size(), 4);
    const QString filled = m_dir.filePath(u"filled_fr.ts"_s);
    QVERIFY(writeTo(format, fills, filled, catalog.language, 2).ok);
    const QString again = m_dir.filePath(u"again_fr.ts"_s);
    put(again, contents(filled));
    QCOMPARE(run(qtTools + u"/lupdate"_s, {u"-silent"_s, source, u"-ts"_s, again}), 0);
    QCOMPARE(contents(again), contents(filled));

    Catalog back;
    QVERIFY2(format.read(filled, back, error), qPrintable(error));
    const QString qm = m_dir.filePath(u"all.qm"_s);
    const QString finishedQm = m_dir.filePath(u"finished.qm"_s);
    QCOMPARE(run(qtTools + u"/lrelease"_s, {u"-silent"_s, filled, u"-qm"_s, qm}), 0);
    QCOMPARE(run(qtTools + u"/lrelease"_s, {u"-silent"_s, u"-nounfinished"_s, filled, u"-qm"_s, finishedQm}), 0);
    QTranslator all;
    QTranslator finished;
    QVERIFY(all.load(qm));
    const bool anyFinished = finished.load(finishedQm);
    for (const Entry &entry : back.entries) {
        QVERIFY(entry.fuzzy);
        QCOMPARE(entry.translations, formsFor(entry));
        const QByteArray text = entry.source.toUtf8();
        const QByteArray context = entry.context.toUtf8();
        const int n = entry.plural ? 1 : -1;
        QCOMPARE(all.translate("W", text.constData(), context.constData(), n), entry.translations[0]);
        QVERIFY(!anyFinished || finished.translate("W", text.constData(), context.constData(), n).isEmpty());
    }
}

// Hand-made files in the shapes Xcode, Angular and hand editing leave, each
// with the file its fills must give byte for byte.
void TestFillXml::fixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("filled");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("first"); // the first entry's context and notes
    const QString angular = u"User welcome|An introduction header for this sample"_s;
    QTest::newRow("Xcode export, XLIFF 1.2")
        << u"xcode.xlf"_s << u"es"_s << 5 << 3 << u"UTF-8"_s << u"|Count in the sidebar"_s;
    QTest::newRow("Angular XLIFF 1.2, inline elements")
        << u"angular12.xlf"_s << u"es"_s << 3 << 3 << u"UTF-8"_s << angular;
    QTest::newRow("Angular XLIFF 2.0, inline elements")
        << u"angular20.xlf"_s << u"es_ES"_s << 5 << 3 << u"UTF-8"_s << angular;
    QTest::newRow("XLIFF 2.0 in UTF-16") << u"angular20.xlf"_s << u"es_ES"_s << 5 << 3 << u"UTF-16"_s << angular;
    QTest::newRow("TS by hand, CRLF, odd forms") << u"handwritten.ts"_s << u"de"_s << 7 << 3 << u"UTF-8"_s << u""_s;
    QTest::newRow("TS in ISO-8859-1") << u"handwritten.ts"_s << u"de"_s << 7 << 3 << u"ISO-8859-1"_s << u""_s;
}

void TestFillXml::fixtures()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    QFETCH(int, entries);
    QFETCH(int, filled);
    QFETCH(QString, encoding);
    QFETCH(QString, first);
    const qsizetype dot = file.lastIndexOf(u'.');
    QByteArray original = contents(data + u'/' + file);
    QByteArray expected = contents(data + u'/' + file.left(dot) + u".filled"_s + file.mid(dot));
    // The same file in another encoding, declared; what Latin-1 lacks as a reference.
    const auto recoded = [&encoding](const QByteArray &utf8) {
        QString text = QString::fromUtf8(utf8).replace(u"UTF-8"_s, encoding, Qt::CaseInsensitive);
        if (encoding == u"ISO-8859-1"_s)
            return text.replace(u"€"_s, u"&#x20ac;"_s).toLatin1();
        QStringEncoder encoder(encoding.toLatin1().constData(), QStringConverter::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    };
    original = recoded(original);
    expected = recoded(expected);
    const QString in = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + file.mid(dot));
    const QString out = in + u".out"_s;
    put(in, original);
    auto format = formatOf(in);
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(in, catalog, error), qPrintable(error));
    QCOMPARE(catalog.entries.size(), entries);
    QCOMPARE((QStringList {catalog.entries[0].context} + catalog.entries[0].notes).join(u'|'), first);
    const QList<Fill> fills = fillsFor(catalog);
    QCOMPARE(fills.size(), filled);
    // Every inline element reaches an engine as a placeholder token.
    for (const Entry &entry : std::as_const(catalog.entries))
        QVERIFY2(!tarnix::service::prepareForEngine(entry.source).masked.text.contains(u'<'), qPrintable(entry.source));

    QVERIFY(writeTo(*format, {}, out, QString(), 0).ok);
    QCOMPARE(contents(out), original);
    const WriteResult result = writeTo(*format, fills, out, language, 2);
    QVERIFY2(result.ok && result.skipped.isEmpty(), qPrintable(result.error));
    QCOMPARE(contents(out), expected);
    QCOMPARE(run(u"xmllint"_s, {u"--noout"_s, out}), 0);

    Catalog back;
    QVERIFY2(format->read(out, back, error), qPrintable(error));
    QCOMPARE(back.entries.size(), entries);
    for (const Fill &fill : fills) {
        const auto entry = std::find_if(
            back.entries.cbegin(), back.entries.cend(), [&fill](const Entry &e) { return e.id == fill.id; });
        QVERIFY(entry != back.entries.cend() && entry->fuzzy);
        QCOMPARE(entry->translations, fill.forms);
    }
}

// An answer whose paired inline element ends before it starts would break
// the file: it is skipped, the entry left as it was.
void TestFillXml::misnestedInlineIsSkipped()
{
    const QString in = data + u"/angular12.xlf"_s;
    const QString out = m_dir.filePath(u"misnested.xlf"_s);
    XliffFormat format;
    Catalog catalog;
    QString error;
    QVERIFY2(format.read(in, catalog, error), qPrintable(error));
    const Entry &entry = catalog.entries.last();
    QVERIFY(entry.source.startsWith(u"Press <g id=\"1\" ctype=\"bold\">Save</g>"_s));
    const WriteResult result = writeTo(format, {{entry.id, {u"</g>Pulse<g id=\"1\" ctype=\"bold\">"_s}}}, out, {}, 0);
    QVERIFY(result.ok);
    QCOMPARE(result.skipped, QList<int> {entry.id});
    QCOMPARE(contents(out), contents(in));
}

// Files nobody here wrote (qpdfview's German catalog as lupdate left it,
// Symfony's Afrikaans messages): written back unchanged, and filled (fuzzy
// ones refilled) with only the filled lines changed.
void TestFillXml::realFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("qpdfview, Qt TS") << u"qpdfview_de.ts"_s;
    QTest::newRow("Symfony, XLIFF 1.2") << u"security.af.xlf"_s;
}

void TestFillXml::realFiles()
{
    QFETCH(QString, file);
    const QString in = data + u'/' + file;
    const QString out = m_dir.filePath(file);
    auto format = formatOf(in);
    Catalog catalog;
    QString error;
    QVERIFY2(format->read(in, catalog, error), qPrintable(error));
    QVERIFY(writeTo(*format, {}, out, catalog.language, 0).ok);
    QCOMPARE(contents(out), contents(in));

    const QList<Fill> fills = fillsFor(catalog, true);
    QVERIFY(!fills.isEmpty());
    QVERIFY(writeTo(*format, fills, out, catalog.language, 0).ok);
    QCOMPARE(run(u"xmllint"_s, {u"--noout"_s, out}), 0);
    const QList<QByteArray> before = contents(in).split('\n');
    const QList<QByteArray> after = contents(out).split('\n');
    QCOMPARE(after.size(), before.size());
    qsizetype changed = 0;
    for (qsizetype i = 0; i < before.size(); ++i)
        changed += before[i] != after[i] && after[i].contains("«");
    QCOMPARE(changed, fills.size());
}

void TestFillXml::readErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("what");
    QTest::newRow("TS cut short") << u"a.ts"_s << QByteArray("<?xml version=\"1.0\"?>\n<TS>\n<context>\n</TS>\n") << 4
                                  << u""_s;
    QTest::newRow("TS not UTF-8") << u"j.ts"_s << QByteArray("<TS>\xc3\x28</TS>") << 0 << u"not valid UTF-8"_s;
    QTest::newRow("TS empty") << u"b.ts"_s << QByteArray() << 1 << u""_s;
    QTest::newRow("XML but not TS") << u"c.ts"_s << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>\n") << 2
                                    << u"not a Qt TS file"_s;
    QTest::newRow("XML but not XLIFF") << u"d.xlf"_s << QByteArray("<TS version=\"2.1\"/>") << 1
                                       << u"not an XLIFF file"_s;
    QTest::newRow("XLIFF 3.0") << u"e.xlf"_s << QByteArray("<xliff version=\"3.0\"/>") << 1 << u"not supported"_s;
    QTest::newRow("XLIFF mismatched tag")
        << u"f.xlf"_s
        << QByteArray("<xliff version=\"1.2\">\n<file>\n<body>\n<trans-unit id=\"1\"><source>a</target>\n") << 4
        << u""_s;
    QTest::newRow("XLIFF in Shift_JIS") << u"i.xlf"_s
                                        << QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<xliff/>") << 1
                                        << u"not supported"_s;
    QTest::newRow("XLIFF not UTF-8") << u"g.xlf"_s << QByteArray("<xliff version=\"1.2\">\xff</xliff>") << 0
                                     << u"not valid UTF-8"_s;
    QTest::newRow("XLIFF two languages") << u"h.xlf"_s
                                         << QByteArray("<xliff version=\"1.2\">\n<file target-language=\"fr\"/>\n"
                                                       "<file target-language=\"de\"/>\n</xliff>")
                                         << 3 << u"different target languages"_s;
}

void TestFillXml::readErrors()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QFETCH(QString, what);
    const QString path = m_dir.filePath(file);
    put(path, bytes);
    Catalog catalog;
    QString error;
    QVERIFY(!formatOf(path)->read(path, catalog, error));
    QVERIFY2(error.startsWith(u"%1:%2: "_s.arg(path).arg(line)) && error.contains(what), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestFillXml)
#include "test_fill_xml.moc"
