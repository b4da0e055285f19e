#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "service/memory/tmx.h"
#include "service/memory/translationmemory.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

// TMX files as tools write them, read; the memory exported and imported
// through the built program, judged by translate-toolkit's TMX reader.
class TestServiceTmx : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static QByteArray tmx(const QByteArray &header, const QByteArray &body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tmx SYSTEM \"tmx14.dtd\">\n<tmx version=\"1.4\">"
               "<header creationtool=\"x\" segtype=\"sentence\" o-tmf=\"x\" adminlang=\"en\" datatype=\"PlainText\" "
            + header + "<body>" + body + "</body></tmx>";
    }

    // Runs tarnix-service with a memory in `memory`; its exit code, its log in `log`.
    int service(const QString &memory, const QStringList &arguments, QByteArray &log)
    {
        QFile conf(dir.filePath(u"service.conf"_s));
        if (!conf.open(QIODevice::WriteOnly) || conf.write("[memory]\npath = " + memory.toUtf8() + "\n") < 0)
            return -1;
        conf.close();
        QProcess run;
        run.start(QStringLiteral(TARNIX_SERVICE_BINARY), QStringList {u"--config"_s, conf.fileName()} + arguments);
        if (!run.waitForFinished(60000))
            return -1;
        log = run.readAllStandardError();
        return run.exitCode();
    }

    static QString judge(const QString &before, const QString &after)
    {
        QProcess python;
        python.start(u"/usr/bin/python3"_s, {QStringLiteral(TMX_JUDGE), before, after});
        python.waitForFinished(60000);
        return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError()).trimmed();
    }

    static bool haveToolkit()
    {
        return QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import translate.storage.tmx"_s}) == 0;
    }

private slots:
    // Each translation read as "source>target text=translation [context] (note) engine".
    void readsWhatToolsWrite_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("skipped");
        const QByteArray en = "srclang=\"en\"/>", all = "srclang=\"*all*\"/>";
        QTest::newRow("po2tmx") << tmx(en,
            "<tu><tuv xml:lang=\"en\"><seg>Usage: %s\n</seg></tuv><tuv xml:lang=\"es\"><seg>Uso: %s\n</seg></tuv></tu>")
                                << QStringList {u"en>es Usage: %s\n=Uso: %s\n [] () "_s} << 0;
        QTest::newRow("inline codes kept as their text")
            << tmx(en,
                   "<tu><tuv xml:lang=\"en-US\"><seg>Click <bpt i=\"1\">&lt;b&gt;</bpt>here<ept "
                   "i=\"1\">&lt;/b&gt;</ept> "
                   "or <ph x=\"1\">%1$s</ph> <hi type=\"x\">now</hi><it pos=\"begin\">{</it></seg></tuv>"
                   "<tuv xml:lang=\"de-DE\"><seg>Klicken Sie <bpt i=\"1\">&lt;b&gt;</bpt>hier<ept i=\"1\">&lt;/b&gt;"
                   "</ept> oder <ph>%1$s</ph></seg></tuv></tu>")
            << QStringList {u"en>de Click <b>here</b> or %1$s now{=Klicken Sie <b>hier</b> oder %1$s [] () "_s} << 0;
        QTest::newRow("context, notes, the header's note")
            << tmx("srclang=\"en\"><note>GNU hello 2.10</note></header>",
                   "<tu><prop type=\"x-context\">menu|File</prop><note>checked</note><note>by Ana</note>"
                   "<tuv xml:lang=\"en\"><seg>Open</seg></tuv><tuv xml:lang=\"es\"><seg>Abrir</seg></tuv></tu>"
                   "<tu><tuv xml:lang=\"en\"><seg>Close</seg></tuv><tuv xml:lang=\"es\"><seg>Cerrar</seg></tuv></tu>")
            << QStringList {u"en>es Open=Abrir [menu|File] (checked; by Ana) "_s,
                   u"en>es Close=Cerrar [] (GNU hello 2.10) "_s}
            << 0;
        QTest::newRow("*all*: the first is the source; three languages")
            << tmx(all,
                   "<tu><tuv xml:lang=\"fr\"><seg>Ouvrir</seg></tuv><tuv xml:lang=\"pt_BR\"><seg>Abrir</seg></tuv>"
                   "<tuv xml:lang=\"zh-Hans\"><seg>打开</seg></tuv></tu>")
            << QStringList {u"fr>pt-BR Ouvrir=Abrir [] () "_s, u"fr>zh-CN Ouvrir=打开 [] () "_s} << 0;
        QTest::newRow("a unit's srclang, targets first, TMX 1.1's lang") << tmx(en,
            "<tu srclang=\"de\"><tuv lang=\"en\"><seg>Save</seg></tuv><tuv lang=\"de\"><seg>Sichern</seg>"
            "</tuv></tu>") << QStringList {u"de>en Sichern=Save [] () "_s}
                                                                         << 0;
        QTest::newRow("a machine's, as exported") << tmx(all,
            "<tu srclang=\"en\"><prop type=\"x-tarnix-engine\">apertium http://x</prop><tuv "
            "xml:lang=\"en\"><seg>Hi</seg></tuv><tuv xml:lang=\"es\"><seg>Hola</seg></tuv></tu>")
                                                  << QStringList {u"en>es Hi=Hola [] () apertium http://x"_s} << 0;
        QTest::newRow("nothing to store") << tmx(en,
            "<tu><tuv xml:lang=\"en\"><seg></seg></tuv><tuv xml:lang=\"es\"><seg>x</seg></tuv></tu>"
            "<tu><tuv xml:lang=\"fr\"><seg>a</seg></tuv><tuv xml:lang=\"es\"><seg>b</seg></tuv></tu>"
            "<tu><tuv xml:lang=\"en\"><seg>a</seg></tuv></tu>"
            "<tu><tuv xml:lang=\"English\"><seg>a</seg></tuv><tuv xml:lang=\"es\"><seg>b</seg></tuv></tu>")
                                          << QStringList {} << 4;
        QTest::newRow("an entity the file never declares")
            << tmx(en,
                   "<tu><tuv xml:lang=\"en\"><seg>a</seg></tuv><tuv xml:lang=\"es\"><seg>b</seg></tuv></tu>\n"
                   "<tu><tuv xml:lang=\"en\"><seg>a&nbsp;b</seg></tuv><tuv xml:lang=\"es\"><seg>c</seg></tuv></tu>")
            << QStringList {u"en>es a=b [] () "_s, u"error line 4"_s} << 0;
    }
    void readsWhatToolsWrite()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QFETCH(int, skipped);
        QBuffer buffer(&file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        TmxReader reader(&buffer);
        QStringList found;
        while (const auto unit = reader.next()) {
            for (const TmxTranslation &t : *unit)
                found.append(u"%1>%2 %3=%4 [%5] (%6) %7"_s.arg(
                    t.source, t.target, t.text, t.translation, t.context, t.note, t.engine));
        }
        if (!reader.error().isEmpty())
            found.append(u"error "_s + reader.error().section(u':', 0, 0));
        QCOMPARE(found, expected);
        QCOMPARE(reader.skipped(), skipped);
    }

    // A real GNU catalog through po2tmx, imported and exported back whole;
    // then a corrected file imported again wins, and the export with the
    // machines' rows goes back into a new memory as the same rows.
    void roundTripThroughTheProgram()
    {
        if (!haveToolkit())
            QSKIP("translate-toolkit is not installed (Debian package translate-toolkit)");
        const QString made = dir.filePath(u"hello-es.tmx"_s), back = dir.filePath(u"back.tmx"_s);
        QCOMPARE(QProcess::execute(u"/usr/bin/python3"_s,
                     {u"-m"_s, u"translate.convert.po2tmx"_s, u"--progress=none"_s, u"-l"_s, u"es"_s,
                         QStringLiteral(TMX_DATA "/hello-es.po"), made}),
            0);
        const QString memoryPath = dir.filePath(u"m.sqlite"_s);
        const MemoryKey machine {u"apertium http://127.0.0.1:2737"_s, u"en"_s, u"es"_s, u"Line\r\nend"_s};
        {
            TranslationMemory memory(memoryPath, 100);
            QVERIFY(memory.store(machine, u"Fin\r\nde línea"_s));
            QVERIFY(memory.storePerson({{}, u"en"_s, u"es"_s, u"Bell\u0007"_s}, u"Campana"_s, u"x"_s));
        }
        QByteArray log;
        QCOMPARE(service(memoryPath, {u"--import"_s, made}, log), 0);
        QVERIFY2(log.contains("stored 27 people's translations"), log.constData());
        QCOMPARE(service(memoryPath, {u"--export"_s, back, u"--people-only"_s}, log), 0);
        QVERIFY2(log.contains("wrote 27 people's") && log.contains("left out 1 holding characters"), log.constData());
        QCOMPARE(judge(made, back), u"same 27"_s);

        QFile corrected(made);
        QVERIFY(corrected.open(QIODevice::ReadOnly));
        QByteArray text = corrected.readAll().replace("hola mundo", "hola, mundo");
        corrected.close();
        QVERIFY(corrected.open(QIODevice::WriteOnly | QIODevice::Truncate) && corrected.write(text) == text.size());
        corrected.close();
        QCOMPARE(service(memoryPath, {u"--import"_s, made}, log), 0);
        QCOMPARE(
            TranslationMemory(memoryPath, 100).lookupPerson({{}, u"en"_s, u"es"_s, u"hello, world"_s})->translation,
            u"hola, mundo"_s);

        const QString everything = dir.filePath(u"all.tmx"_s), fresh = dir.filePath(u"fresh.sqlite"_s);
        QCOMPARE(service(memoryPath, {u"--export"_s, everything}, log), 0);
        QVERIFY2(log.contains("wrote 28 translations"), log.constData());
        QCOMPARE(service(fresh, {u"--import"_s, everything}, log), 0);
        QVERIFY2(log.contains("stored 27 people's translations and 1 machine translations"), log.constData());
        TranslationMemory again(fresh, 100);
        QCOMPARE(again.lookup(machine), u"Fin\r\nde línea"_s);
        const auto person = again.lookupPerson({{}, u"en"_s, u"es"_s, u"hello, world"_s});
        QCOMPARE(person->translation, u"hola, mundo"_s);
        QCOMPARE(person->note, u"hello-es.tmx"_s);

        // A broken file stops the import with its line; what came before stays.
        QFile broken(dir.filePath(u"broken.tmx"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(text.left(text.size() / 2)) > 0);
        broken.close();
        QCOMPARE(service(dir.filePath(u"broken.sqlite"_s), {u"--import"_s, broken.fileName()}, log), 1);
        QVERIFY2(log.contains("not a TMX file that can be read to its end: line"), log.constData());
    }
};

QTEST_GUILESS_MAIN(TestServiceTmx)
#include "test_service_tmx.moc"
