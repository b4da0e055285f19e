// tarnix-fill end to end through the real tarnix-service: Italian through
// Apertium (APy started by the service), Polish and Brazilian Portuguese through a language-model stand-in that
// speaks the OpenAI chat API on loopback. What is written is judged by ICU's
// MessageFormat for the target locale, translate-toolkit's JSON readers and
// Python's JSON reader, never by the formats' own reading alone.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "fill/icumessage.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;
using namespace tarnix::test;

namespace {

const QString data = QStringLiteral(FILL_TEST_DATA);

// The stand-in's translation: the text marked, so that what was asked can
// be told from what was copied. A JSON object or list of texts (several
// entries in one request) is answered in kind.
QString translated(const QString &text, const QString &mark)
{
    QJsonParseError error;
    const QJsonDocument batch = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || batch.isNull())
        return mark + text;
    if (batch.isObject()) {
        QJsonObject object = batch.object();
        for (auto it = object.begin(); it != object.end(); ++it)
            *it = it->isString() ? QJsonValue(mark + it->toString()) : *it;
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    QJsonArray list = batch.array();
    for (auto item : list)
        item = item.isString() ? QJsonValue(mark + item.toString()) : QJsonValue(item);
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

// translate-toolkit's reader of each JSON kind: the units it reads, or its error.
const char *toolkit = R"(
import sys
from translate.storage import jsonl10n
kinds = {'i18next': jsonl10n.I18NextV4File, 'arb': jsonl10n.ARBJsonFile, 'json': jsonl10n.JsonFile}
with open(sys.argv[2], 'rb') as f:
    store = kinds[sys.argv[1]](f)
print(sum(1 for unit in store.units if unit.source))
)";

} // namespace

class TestFillService : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    LoopbackServer model;
    QProcess modelService;
    QUrl modelServiceUrl;
    QProcess apertiumService;
    QUrl apertiumServiceUrl;
    QProcess peopleService; // the model, a memory of its own that people's translations fill, and a glossary
    QUrl peopleServiceUrl;
    QStringList prompts;

    void put(const QString &name, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(scratch.filePath(name)).path());
        QFile file(scratch.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
    }

    static QByteArray contentOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The numbers of a row of a table tarnix-fill prints, by its header's
    // names: the row whose first cell is `first`.
    static QMap<QString, int> tableRow(const QString &output, const QString &first)
    {
        const QStringList lines = output.split(u'\n');
        QStringList header;
        for (const QString &line : lines) {
            const QStringList cells = line.split(u' ', Qt::SkipEmptyParts);
            if (cells.value(0) == u"file"_s)
                header = cells;
            else if (cells.value(0) == first && cells.size() == header.size()) {
                QMap<QString, int> row;
                for (qsizetype i = 2; i < cells.size(); ++i)
                    row.insert(header[i], cells[i].toInt());
                return row;
            }
        }
        return {};
    }

    int fill(const QUrl &service, const QStringList &arguments, QString &output)
    {
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.setWorkingDirectory(scratch.path());
        run.start(QStringLiteral(TARNIX_FILL_BINARY), QStringList {u"--service"_s, service.toString()} + arguments);
        [[maybe_unused]] const bool ended =
            QTest::qWaitFor([&run] { return run.state() == QProcess::NotRunning; }, 240000);
        output = QString::fromLocal8Bit(run.readAll());
        return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
    }

    // A service on a free loopback port, once it listens: a tarnix-fill
    // that found nothing there would start a service of its own on it.
    static QUrl start(QProcess &service, const QStringList &options)
    {
        const quint16 port = freeLoopbackPort();
        service.setProcessChannelMode(QProcess::MergedChannels);
        service.start(
            QStringLiteral(TARNIX_SERVICE_BINARY), QStringList {u"--port"_s, QString::number(port)} + options);
        [[maybe_unused]] const bool listens = QTest::qWaitFor(
            [port] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(200);
            },
            60000);
        return QUrl(u"http://127.0.0.1:%1"_s.arg(port));
    }

    static QJsonObject readJson(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }

    // Every string of a JSON tree with its key path, "@" metadata left out.
    static void strings(const QJsonObject &object, const QString &prefix, QMap<QString, QString> &out)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key().startsWith(u'@'))
                continue;
            if (it->isObject())
                strings(it->toObject(), prefix + it.key() + u'.', out);
            else if (it->isString())
                out.insert(prefix + it.key(), it->toString());
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        qputenv("XDG_CONFIG_HOME", scratch.filePath(u"config"_s).toLocal8Bit());
        qputenv("XDG_DATA_HOME", scratch.filePath(u"data"_s).toLocal8Bit());
        QVERIFY(model.start());
        model.setResponder([this](const RecordedRequest &request) {
            if (request.path.endsWith("/models"))
                return Answer {Answer::Kind::Complete, 200, R"({"data":[{"id":"stand-in"}]})", {}, 0};
            const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages"_L1).toArray();
            const QString prompt = messages.first().toObject().value("content"_L1).toString();
            prompts.append(prompt);
            const QString mark = prompt.contains(u"Polish"_s) ? u"[pl] "_s : u"[pt-BR] "_s;
            const QJsonObject message {{"role"_L1, "assistant"_L1},
                {"content"_L1, translated(messages.last().toObject().value("content"_L1).toString(), mark)}};
            const QJsonObject answer {
                {"choices"_L1, QJsonArray {QJsonObject {{"message"_L1, message}, {"finish_reason"_L1, "stop"_L1}}}}};
            return Answer {Answer::Kind::Complete, 200, QJsonDocument(answer).toJson(), {}, 0};
        });
        QFile conf(scratch.filePath(u"model.conf"_s));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(u"[engines]\norder = llm\n[llm]\ntype = language-model\nurl = %1/v1\nmodel = stand-in\n"_s
                       .arg(model.url().toString(QUrl::StripTrailingSlash))
                       .toUtf8());
        conf.close();
        modelServiceUrl = start(modelService, {u"--config"_s, conf.fileName()});
        // The team's glossary and its own memory, which people's
        // translations of "project X" fill through POST /learn.
        put(u"people/glossary-es.csv"_s, "folder,carpeta\n");
        put(u"people/service.conf"_s,
            u"[engines]\norder = llm\n[llm]\ntype = language-model\nurl = %1/v1\nmodel = stand-in\n"
            u"[memory]\npath = people.sqlite\n[glossary]\nes = glossary-es.csv\n"_s
                .arg(model.url().toString(QUrl::StripTrailingSlash))
                .toUtf8());
        peopleServiceUrl = start(peopleService, {u"--config"_s, scratch.filePath(u"people/service.conf"_s)});
        put(u"people/learnt-es.po"_s,
            "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: project X <&>\\n\"\n\"Language: es\\n\"\n"
            "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
            "msgid \"Open the file\"\nmsgstr \"Abrir el archivo\"\n\n"
            "msgctxt \"menu\"\nmsgid \"Save all\"\nmsgstr \"Guardar todo\"\n");
        QString output;
        QVERIFY2(fill(peopleServiceUrl, {u"--learn"_s, u"people/learnt-es.po"_s}, output) == 0, qPrintable(output));
        apertiumServiceUrl = start(apertiumService, {u"--engine"_s, u"apertium"_s});
    }

    void cleanupTestCase()
    {
        for (QProcess *service : {&modelService, &apertiumService, &peopleService}) {
            service->terminate();
            service->waitForFinished(15000);
        }
    }

    // Rows: the source files copied from the test data, the file named on
    // the command line, the language, the engine, the file written and
    // translate-toolkit's reader of it.
    void fillsWebCatalogs_data()
    {
        QTest::addColumn<QStringList>("copies"); // "data path=scratch path"
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("apertium");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("kind");
        const QStringList medusa {u"medusa/en/dashboard.json=locales/en/dashboard.json"_s};
        const QStringList mastodon {u"mastodon/en.json=mastodon/en.json"_s};
        const QStringList gallery {u"gallery/intl_en.arb=l10n/intl_en.arb"_s};
        for (const bool apertium : {true, false}) {
            const QString language = apertium ? u"it"_s : u"pl"_s;
            const QString engine = apertium ? u" through Apertium"_s : u" through a model"_s;
            QTest::addRow("i18next into %s", qPrintable(language + engine))
                << medusa << u"locales/en/dashboard.json"_s << language << apertium
                << u"locales/%1/dashboard.json"_s.arg(language) << u"i18next"_s;
            QTest::addRow("FormatJS into %s", qPrintable(language + engine))
                << mastodon << u"mastodon/en.json"_s << language << apertium << u"mastodon/%1.json"_s.arg(language)
                << u"json"_s;
            QTest::addRow("ARB into %s", qPrintable(language + engine))
                << gallery << u"l10n/intl_en.arb"_s << language << apertium << u"l10n/intl_%1.arb"_s.arg(language)
                << u"arb"_s;
        }
    }

    void fillsWebCatalogs()
    {
        QFETCH(QStringList, copies);
        QFETCH(QString, argument);
        QFETCH(QString, language);
        QFETCH(bool, apertium);
        QFETCH(QString, written);
        QFETCH(QString, kind);
        for (const QString &copy : std::as_const(copies)) {
            const QString to = scratch.filePath(copy.section(u'=', 1));
            QDir().mkpath(QFileInfo(to).path());
            QFile::remove(to);
            QVERIFY(QFile::copy(data + u'/' + copy.section(u'=', 0, 0), to));
        }
        const QUrl service = apertium ? apertiumServiceUrl : modelServiceUrl;
        // The estimate's counts of the model's entries and memory hits are
        // those the run then reports; its requests at most the run's (which
        // may ask an item again alone).
        static const QRegularExpression llmRow(u"\\bllm +(\\d+) +(\\d+) +(\\d+) +(\\d+)"_s);
        const auto llmCounts = [](const QString &output) {
            QStringList last;
            for (const QRegularExpressionMatch &match : llmRow.globalMatch(output))
                last = match.capturedTexts().mid(1);
            return last;
        };
        QString output;
        if (!apertium) {
            QCOMPARE(fill(service, {u"--estimate"_s, u"--to"_s, language, argument}, output), 0);
        }
        const QStringList estimated = llmCounts(output);
        QVERIFY2(apertium || estimated.size() == 4, qPrintable(output));
        const int status = fill(service, {u"--to"_s, language, argument}, output);
        QVERIFY2(status == 0, qPrintable(output));
        if (!apertium) {
            const QStringList done = llmCounts(output);
            QVERIFY2(done.size() == 4 && done.mid(0, 2) == estimated.mid(0, 2) && estimated[3].toInt() >= 1
                    && estimated[3].toInt() <= done[3].toInt(),
                qPrintable(output + estimated.join(u' ')));
        }

        QMap<QString, QString> source, target;
        strings(readJson(scratch.filePath(argument)), {}, source);
        strings(readJson(scratch.filePath(written)), {}, target);
        QVERIFY2(!target.isEmpty(), qPrintable(output));
        int changed = 0;
        const QStringList categories = icuCategories(language, false);
        for (auto it = target.cbegin(); it != target.cend(); ++it) {
            const bool same = it.value() == source.value(it.key());
            changed += !same;
            if (!apertium && !same)
                QVERIFY2(it.value().contains(u"[pl] "_s), qPrintable(it.key() + u": "_s + it.value()));
            if (kind == u"i18next"_s)
                continue;
            // Every message parses with ICU for the target's locale, and
            // every plural has exactly the language's categories beside its "=N".
            QVERIFY2(icuFormatError(it.value(), language).isEmpty(), qPrintable(it.key() + u": "_s + it.value()));
            for (const IcuArgument &argument : icuArguments(it.value()).arguments) {
                if (argument.type != u"plural"_s)
                    continue;
                QStringList selectors = argument.selectors;
                selectors.removeIf([](const QString &s) { return s.startsWith(u'='); });
                QCOMPARE(selectors, categories);
            }
        }
        QVERIFY2(changed * 10 >= target.size() * 7, qPrintable(output));
        if (kind == u"i18next"_s && !apertium) {
            // Each of the source's plurals in every Polish category.
            for (const QString &key : source.keys()) {
                if (key.endsWith(u"_other"_s)) {
                    for (const QString &category : categories)
                        QVERIFY2(target.contains(key.chopped(5) + category), qPrintable(key));
                }
            }
        }
        QProcess reader;
        reader.setProcessChannelMode(QProcess::MergedChannels);
        reader.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(toolkit), kind, scratch.filePath(written)});
        QVERIFY(reader.waitForFinished(60000));
        const QByteArray units = reader.readAll().trimmed();
        QVERIFY2(reader.exitCode() == 0 && units.toInt() > 0, units.constData());
    }

    // The platforms' catalogs into Italian through Apertium, each source's
    // existing Italian file filled in place (and a UTF-16 one), judged by the
    // platform's own reader: aapt2, translate-toolkit's .strings and
    // properties readers, Python's YAML reader.
    void fillsPlatformCatalogs_data()
    {
        QTest::addColumn<QStringList>("copies"); // "data path=scratch path"
        QTest::addColumn<QString>("written");
        QTest::addColumn<QStringList>("judge"); // a program and its arguments, %1 the written file
        const QString python = u"/usr/bin/python3"_s;
        QTest::newRow("Android strings.xml")
            << QStringList {u"android/lineage-updater/values/strings.xml=app/res/values/strings.xml"_s,
                   u"android/lineage-updater/values-it/strings.xml=app/res/values-it/strings.xml"_s}
            << u"app/res/values-it/strings.xml"_s
            << QStringList {u"aapt2"_s, u"compile"_s, u"%1"_s, u"-o"_s, scratch.path()};
        // translate-toolkit's reader of the encoding the file must have kept.
        const auto strings = [&python](const char *encoding) {
            return QStringList {python, u"-c"_s,
                u"import sys\nfrom translate.storage import properties\n"
                u"utf16 = open(sys.argv[1], 'rb').read(2) in (b'\\xff\\xfe', b'\\xfe\\xff')\n"
                u"assert utf16 == (sys.argv[2] == 'utf-16')\n"
                u"kind = properties.stringsfile if utf16 else properties.stringsutf8file\n"
                u"assert [u for u in kind.parsefile(sys.argv[1]).units if u.getid()]"_s,
                u"%1"_s, QString::fromLatin1(encoding)};
        };
        QTest::newRow(".strings, UTF-8")
            << QStringList {u"apple/neardrop/Base.lproj/Localizable.strings=neardrop/Base.lproj/Localizable.strings"_s,
                   u"apple/neardrop/it.lproj/Localizable.strings=neardrop/it.lproj/Localizable.strings"_s}
            << u"neardrop/it.lproj/Localizable.strings"_s << strings("utf-8");
        QTest::newRow(".strings, UTF-16")
            << QStringList {u"apple/sparkle/en.lproj/Sparkle.strings=sparkle/en.lproj/Sparkle.strings"_s,
                   u"apple/sparkle/it.lproj/Sparkle.strings=sparkle/it.lproj/Sparkle.strings"_s}
            << u"sparkle/it.lproj/Sparkle.strings"_s << strings("utf-16");
        QTest::newRow("Rails YAML") << QStringList {u"rails-i18n/en.yml=config/locales/en.yml"_s,
            u"rails-i18n/it.yml=config/locales/it.yml"_s}
                                    << u"config/locales/it.yml"_s
                                    << QStringList {python, u"-c"_s,
                                           u"import sys, yaml\nassert yaml.safe_load(open(sys.argv[1]))['it']"_s,
                                           u"%1"_s};
        QTest::newRow("Java properties") << QStringList {u"jenkins/Messages.properties=jenkins/Messages.properties"_s,
            u"jenkins/Messages_it.properties=jenkins/Messages_it.properties"_s}
                                         << u"jenkins/Messages_it.properties"_s
                                         << QStringList {u"prop2po"_s, u"%1"_s, u"/dev/null"_s};
    }

    void fillsPlatformCatalogs()
    {
        QFETCH(QStringList, copies);
        QFETCH(QString, written);
        QFETCH(QStringList, judge);
        for (const QString &copy : std::as_const(copies)) {
            const QString to = scratch.filePath(copy.section(u'=', 1));
            QDir().mkpath(QFileInfo(to).path());
            QFile::remove(to);
            QVERIFY(QFile::copy(data + u'/' + copy.section(u'=', 0, 0), to));
            QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
        const QString target = scratch.filePath(written);
        QFile before(target);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray old = before.readAll();
        before.close();
        QString output;
        QVERIFY2(fill(apertiumServiceUrl, {target}, output) == 0, qPrintable(output));
        QVERIFY2(output.contains(u" filled"_s), qPrintable(output));
        QFile after(target);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QVERIFY2(after.readAll() != old, qPrintable(output));
        QProcess reader;
        reader.setProcessChannelMode(QProcess::MergedChannels);
        reader.start(judge.first(), judge.sliced(1).replaceInStrings(u"%1"_s, target));
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0, reader.readAll().constData());
        // Nothing machine-made passes for a person's work.
        QVERIFY2(fill(apertiumServiceUrl, {u"--unreviewed"_s, target}, output) == 1 && !output.isEmpty(),
            qPrintable(output));
    }

    // A string catalog's Polish plurals in every category, and a Brazilian
    // catalog asked of the engine as Brazilian.
    void stringCatalogAndRegions()
    {
        const QString catalog = scratch.filePath(u"Localizable.xcstrings"_s);
        QVERIFY(QFile::copy(data + u"/xcstrings/Localizable.xcstrings"_s, catalog));
        QString output;
        QVERIFY2(fill(modelServiceUrl, {u"--to"_s, u"pl,pt-BR"_s, catalog}, output) == 0, qPrintable(output));
        const QJsonObject strings = readJson(catalog).value("strings"_L1).toObject();
        int plurals = 0;
        for (const QJsonValue &unit : strings) {
            const QJsonObject polish = unit["localizations"_L1]["pl"_L1]["variations"_L1]["plural"_L1].toObject();
            if (polish.isEmpty())
                continue;
            ++plurals;
            QCOMPARE(polish.keys(), (QStringList {u"few"_s, u"many"_s, u"one"_s, u"other"_s}));
        }
        QVERIFY(plurals > 0);
        const qsizetype brazilian = prompts.filter(u"Brazil"_s).size();
        QVERIFY2(brazilian > 0 && prompts.filter(u"Portuguese"_s).size() == brazilian, qPrintable(prompts.join(u'\n')));
    }

    // Hand-made catalogs of four texts in every format with comments a
    // reviewer sees, and two without: "Open the file" a person translated
    // (learnt from "project X"), "Open the file." close to it, "Save all" a
    // person translated in another context, "Print" the engine's. The
    // estimate and the end-of-run table count them apart; each fill from a
    // person's translation says where it came from in the format's comment
    // (or the review record), once, also after a second run, beside the
    // person's own comment; --unreviewed shows it; the format's own tool
    // reads the file.
    void peoplesTranslationsSayWhereFrom_data()
    {
        QTest::addColumn<QStringList>("files"); // "path=content", the first the catalog filled
        QTest::addColumn<QString>("marks"); // the file that holds the comments
        QTest::addColumn<QString>("kept"); // a person's comment that must stay
        QTest::addColumn<QStringList>("judge"); // a program and its arguments, %1 the catalog
        const QString po = u"msgid \"\"\nmsgstr \"\"\n\"Language: es\\n\"\n"
                           u"\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                           u"# Ana checked the menu.\nmsgid \"Open the file\"\nmsgstr \"\"\n\n"
                           u"msgid \"Open the file.\"\nmsgstr \"\"\n\n"
                           u"msgctxt \"toolbar\"\nmsgid \"Save all\"\nmsgstr \"\"\n\n"
                           u"msgid \"Print\"\nmsgstr \"\"\n"_s;
        QTest::newRow("PO: translator comments")
            << QStringList {u"marks/es.po="_s + po} << u"marks/es.po"_s << u"# Ana checked the menu."_s
            << QStringList {u"msgfmt"_s, u"-c"_s, u"-o"_s, u"/dev/null"_s, u"%1"_s};
        const QString message = u"    <message>\n        <source>%1</source>%2\n"
                                u"        <translation type=\"unfinished\"></translation>\n    </message>\n"_s;
        const QString ts = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                           u"<TS version=\"2.1\" language=\"es\">\n<context>\n    <name>Main</name>\n"_s
            + message.arg(
                u"Open the file"_s, u"\n        <translatorcomment>Ana checked the menu.</translatorcomment>"_s)
            + message.arg(u"Open the file."_s, QString())
            + message.arg(u"Save all"_s, u"\n        <comment>toolbar</comment>"_s) + message.arg(u"Print"_s, QString())
            + u"</context>\n</TS>\n"_s;
        QTest::newRow("TS: translatorcomment")
            << QStringList {u"marks/app_es.ts="_s + ts} << u"marks/app_es.ts"_s << u"Ana checked the menu."_s
            << QStringList {QStringLiteral(QT_TOOLS_DIR "/lrelease"), u"-silent"_s, u"%1"_s, u"-qm"_s,
                   scratch.filePath(u"marks/out.qm"_s)};
        const QString unit12 =
            u"      <trans-unit id=\"%1\"%2>\n        <source>%3</source>%4\n      </trans-unit>\n"_s;
        const QString xliff12 = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\" "
                                u"xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n  <file source-language=\"en\" "
                                u"target-language=\"es\" datatype=\"plaintext\" original=\"app\">\n    <body>\n"_s
            + unit12.arg(u"open"_s, QString(), u"Open the file"_s, QString())
            + unit12.arg(
                u"open-dot"_s, QString(), u"Open the file."_s, u"\n        <note>Ana checked the menu.</note>"_s)
            + unit12.arg(u"save"_s, u" resname=\"toolbar\""_s, u"Save all"_s, QString())
            + unit12.arg(u"print"_s, QString(), u"Print"_s, QString()) + u"    </body>\n  </file>\n</xliff>\n"_s;
        const QStringList xmllint {u"xmllint"_s, u"--noout"_s, u"%1"_s};
        QTest::newRow("XLIFF 1.2: note") << QStringList {u"marks/app.es.xlf="_s + xliff12} << u"marks/app.es.xlf"_s
                                         << u"<note>Ana checked the menu.</note>"_s << xmllint;
        const QString unit20 = u"    <unit id=\"%1\"%2>%3\n      <segment>\n        <source>%4</source>\n"
                               u"      </segment>\n    </unit>\n"_s;
        const QString xliff20 = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"2.0\" "
                                u"xmlns=\"urn:oasis:names:tc:xliff:document:2.0\" srcLang=\"en\" trgLang=\"es\">\n"
                                u"  <file id=\"app\">\n"_s
            + unit20.arg(u"open"_s, QString(), QString(), u"Open the file"_s)
            + unit20.arg(u"open-dot"_s, QString(),
                u"\n      <notes>\n        <note category=\"description\">Ana checked the menu.</note>\n      </notes>"_s,
                u"Open the file."_s)
            + unit20.arg(u"save"_s, u" name=\"toolbar\""_s, QString(), u"Save all"_s)
            + unit20.arg(u"print"_s, QString(), QString(), u"Print"_s) + u"  </file>\n</xliff>\n"_s;
        // XLIFF 2.0 wants one <notes> at most per unit, and a note in each: xmllint's XPath finds neither
        // an empty one nor a second one.
        const QStringList xliff20Judge {u"/bin/sh"_s, u"-c"_s,
            u"test \"$(xmllint --xpath 'count(//*[local-name()=\"notes\"][not(*)] | "
            u"//*[local-name()=\"unit\"][count(*[local-name()=\"notes\"]) > 1])' \"$0\")\" = 0"_s,
            u"%1"_s};
        QTest::newRow("XLIFF 2.0: note") << QStringList {u"marks/app20.es.xlf="_s + xliff20} << u"marks/app20.es.xlf"_s
                                         << u"Ana checked the menu.</note>"_s << xliff20Judge;
        // Two segments of one unit filled from people's translations share one new <notes>.
        const QString segment = u"\n      <segment>\n        <source>%1</source>\n      </segment>"_s;
        const QString segments20 =
            QString(xliff20)
                .replace(unit20.arg(u"open-dot"_s, QString(),
                             u"\n      <notes>\n        <note category=\"description\">Ana checked the menu.</note>"
                             u"\n      </notes>"_s,
                             u"Open the file."_s),
                    QString())
                .replace(unit20.arg(u"open"_s, QString(), QString(), u"Open the file"_s),
                    u"    <unit id=\"open\">"_s + segment.arg(u"Open the file"_s) + segment.arg(u"Open the file."_s)
                        + u"\n    </unit>\n"_s)
                .replace(unit20.arg(u"save"_s, u" name=\"toolbar\""_s, QString(), u"Save all"_s),
                    unit20.arg(u"save"_s, u" name=\"toolbar\""_s,
                        u"\n      <notes>\n        <note category=\"description\">Ana checked the menu.</note>"
                        u"\n      </notes>"_s,
                        u"Save all"_s));
        QTest::newRow("XLIFF 2.0: segments")
            << QStringList {u"marks/seg20.es.xlf="_s + segments20} << u"marks/seg20.es.xlf"_s
            << u"Ana checked the menu.</note>"_s << xliff20Judge;
        const QString json = u"{\n  \"open\": \"Open the file\",\n  \"openDot\": \"Open the file.\",\n"
                             u"  \"save\": \"Save all\",\n  \"print\": \"Print\"\n}\n"_s;
        QTest::newRow("i18next JSON: review record")
            << QStringList {u"marks/locales/es/app.json={}\n"_s, u"marks/locales/en/app.json="_s + json}
            << u"marks/locales/es/app.json.tarnix-review"_s << QString()
            << QStringList {u"/usr/bin/python3"_s, u"-c"_s,
                   u"import json, sys\nassert len(json.load(open(sys.argv[1]))) == 4"_s, u"%1"_s};
        const QString android = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>\n"
                                u"    <string name=\"open\">Open the file</string>\n"
                                u"    <string name=\"open_dot\">Open the file.</string>\n"
                                u"    <string name=\"save\">Save all</string>\n"
                                u"    <string name=\"print\">Print</string>\n</resources>\n"_s;
        QTest::newRow("Android: review record")
            << QStringList {u"marks/res/values-es/strings.xml=<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                            u"<resources>\n</resources>\n"_s,
                   u"marks/res/values/strings.xml="_s + android}
            << u"marks/res/values-es/strings.xml.tarnix-review"_s << QString()
            << QStringList {u"aapt2"_s, u"compile"_s, u"%1"_s, u"-o"_s, scratch.filePath(u"marks"_s)};
    }

    void peoplesTranslationsSayWhereFrom()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, marks);
        QFETCH(QString, kept);
        QFETCH(QStringList, judge);
        for (const QString &file : std::as_const(files))
            put(file.section(u'=', 0, 0), file.section(u'=', 1).toUtf8());
        const QString catalog = files.first().section(u'=', 0, 0);
        const bool record = marks.endsWith(u".tarnix-review"_s);
        // The project's name holds what XML must escape.
        const QStringList comments {u"tarnix: people's translation (project X <&>)"_s,
            u"tarnix: 92% match of \"Open the file\" (project X <&>)"_s,
            u"tarnix: people's translation (project X <&>); context differs"_s};
        QString output;
        QCOMPARE(fill(peopleServiceUrl, {u"--estimate"_s, catalog}, output), 0);
        static const QRegularExpression people(u"\\(people's\\) +(\\d+)"_s), close(u"\\(close match\\) +(\\d+)"_s);
        QVERIFY2(people.match(output).captured(1) == u"2"_s && close.match(output).captured(1) == u"1"_s,
            qPrintable(output));
        // Filled, filled again from the same memory, then again by a service
        // whose memory holds no person's translation (the record formats'
        // entries are not refilled).
        for (int run = 0; run < 3; ++run) {
            const QStringList refill = run > 0 ? QStringList {u"--refill-fuzzy"_s} : QStringList();
            QVERIFY2(fill(run < 2 ? peopleServiceUrl : modelServiceUrl, refill + QStringList {catalog}, output) == 0,
                qPrintable(output));
            const QMap<QString, int> counted = tableRow(output, catalog);
            if (run < 2 && (run == 0 || !record)) {
                QVERIFY2(counted.value(u"filled"_s) == 4 && counted.value(u"people"_s) == 2
                        && counted.value(u"close"_s) == 1
                        && counted.value(u"memory"_s) + counted.value(u"engine"_s) == 1,
                    qPrintable(output));
            }
            // As an XML reader reads it: TS writes quotes as lupdate does (&apos;, &quot;).
            const QString written = QString::fromUtf8(contentOf(scratch.filePath(marks)))
                                        .replace(u"&apos;"_s, u"'"_s)
                                        .replace(u"&quot;"_s, u"\""_s)
                                        .replace(u"&lt;"_s, u"<"_s)
                                        .replace(u"&gt;"_s, u">"_s)
                                        .replace(u"&amp;"_s, u"&"_s);
            const bool marked = run < 2 || record;
            for (const QString &comment : comments) {
                // "people's translation (project X)" is the start of the context's one too.
                const qsizetype times = written.count(comment) - (marked && comment == comments.first());
                QVERIFY2(times == (marked ? 1 : 0), qPrintable(comment + u"\n"_s + written));
            }
            QCOMPARE(written.count(u"tarnix: "_s), marked ? 3 : 0);
            QVERIFY2(written.contains(kept), qPrintable(written));
            if (record)
                QVERIFY(!contentOf(scratch.filePath(catalog)).contains("tarnix: "));
            QCOMPARE(fill(peopleServiceUrl, {u"--unreviewed"_s, catalog}, output), 1);
            for (const QString &comment : comments)
                QVERIFY2(output.contains(u'\t' + comment + u'\n') == marked, qPrintable(output));
            QProcess reader;
            reader.setProcessChannelMode(QProcess::MergedChannels);
            reader.start(judge.first(), judge.sliced(1).replaceInStrings(u"%1"_s, scratch.filePath(catalog)));
            QVERIFY(reader.waitForFinished(60000));
            QVERIFY2(
                reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0, reader.readAll().constData());
        }
    }

    // --check holds people's translations to the service's glossary
    // ("folder" is "carpeta"), as the service holds every answer: any case,
    // simple plurals, whole words, not inside an option or a placeholder;
    // machine fills awaiting review (fuzzy, in
    // the review record) are not a person's and are left to the reviewer.
    // --glossary's files stand in for the service's, with no service at all.
    void checkFindsGlossaryTermsNotUsed_data()
    {
        QTest::addColumn<QStringList>("files"); // "path=content", the first the catalog checked
        QTest::addColumn<QStringList>("glossaries"); // --glossary's values; none: the service's
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("found"); // "line: what", or the start of the message
        const QString po = u"glossary/es.po=msgid \"\"\nmsgstr \"\"\n\"Language: es\\n\"\n"
                           u"\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                           u"msgid \"Open the folder\"\nmsgstr \"Abrir el directorio\"\n\n"
                           u"msgid \"Delete the Folders\"\nmsgstr \"Borrar las carpetas\"\n\n"
                           u"#, fuzzy\nmsgid \"Move the folder\"\nmsgstr \"Mover el directorio\"\n\n"
                           u"msgid \"Unfolded\"\nmsgstr \"Desplegado\"\n\n"
                           u"msgid \"%d folder\"\nmsgid_plural \"%d folders\"\n"
                           u"msgstr[0] \"%d carpeta\"\nmsgstr[1] \"%d directorios\"\n\n"
                           u"msgid \"use --folder=DIR or %{folder}\"\nmsgstr \"usa --folder=DIR o %{folder}\"\n"_s;
        const QStringList poFound {u"6: \"folder\": the translation does not use the glossary's \"carpeta\""_s,
            u"19: form 1: \"folder\": the translation does not use"_s};
        const QString csv = u"glossary/terms.csv=folder,carpeta\n"_s;
        QTest::newRow("PO") << QStringList {po} << QStringList() << 1 << poFound;
        QTest::newRow("i18next JSON and its review record")
            << QStringList {u"glossary/locales/es/app.json={\"open\": \"Abrir el directorio\", \"move\": "
                            u"\"Mover el directorio\", \"delete\": \"Borrar la carpeta\"}\n"_s,
                   u"glossary/locales/en/app.json={\"open\": \"Open the folder\", \"move\": \"Move the folder\", "
                   u"\"delete\": \"Delete the folder\"}\n"_s,
                   u"glossary/locales/es/app.json.tarnix-review=move\tMover el directorio\n"_s}
            << QStringList() << 1
            << QStringList {u"1: \"folder\": the translation does not use the glossary's \"carpeta\""_s};
        QTest::newRow("a CSV for every language")
            << QStringList {po, csv} << QStringList {u"glossary/terms.csv"_s} << 1 << poFound;
        QTest::newRow("a CSV for the catalog's language")
            << QStringList {po, csv} << QStringList {u"es=glossary/terms.csv"_s} << 1 << poFound;
        QTest::newRow("a CSV for another language")
            << QStringList {po, csv} << QStringList {u"fr=glossary/terms.csv"_s} << 0 << QStringList();
        QTest::newRow("a TBX") << QStringList {po,
            u"glossary/team.tbx=<tbx><text><body><termEntry><langSet xml:lang=\"en\"><tig><term>folder</term>"
            u"</tig></langSet><langSet xml:lang=\"es\"><tig><term>carpeta</term></tig></langSet></termEntry>"
            u"</body></text></tbx>\n"_s}
                               << QStringList {u"glossary/team.tbx"_s} << 1 << poFound;
        QTest::newRow("an unreadable glossary") << QStringList {po} << QStringList {u"glossary/none.csv"_s} << 2
                                                << QStringList {u"tarnix-fill: --glossary: "_s};
    }

    void checkFindsGlossaryTermsNotUsed()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, glossaries);
        QFETCH(int, status);
        QFETCH(QStringList, found);
        for (const QString &file : std::as_const(files))
            put(file.section(u'=', 0, 0), file.section(u'=', 1).toUtf8());
        const QString catalog = files.first().section(u'=', 0, 0);
        QStringList arguments {u"--check"_s, catalog};
        for (const QString &glossary : std::as_const(glossaries))
            arguments << u"--glossary"_s << glossary;
        // Given glossaries, no service is asked: none answers at port 9.
        const QUrl service = glossaries.isEmpty() ? peopleServiceUrl : QUrl(u"http://127.0.0.1:9/"_s);
        QString output;
        QCOMPARE(fill(service, arguments, output), status);
        const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), found.size());
        for (qsizetype i = 0; i < found.size(); ++i)
            QVERIFY2(lines[i].startsWith(status == 2 ? found[i] : catalog + u':' + found[i]), qPrintable(output));
    }

    // GNU hello's Spanish catalog, one entry made fuzzy, learnt by the
    // service; then the same catalog emptied is filled: every reviewed
    // entry comes back as the person wrote it, without asking the model,
    // and only the fuzzy one is the model's.
    void learntTranslationsAnswerFirst()
    {
        QFile po(QStringLiteral(HELLO_PO));
        QVERIFY(po.open(QIODevice::ReadOnly));
        QByteArray text = po.readAll();
        QVERIFY(text.contains("\nmsgid \"hello, world\""));
        text.replace("\nmsgid \"hello, world\"", "\n#, fuzzy\nmsgid \"hello, world\"");
        QFile learnt(scratch.filePath(u"hello-es.po"_s));
        QVERIFY(learnt.open(QIODevice::WriteOnly) && learnt.write(text) == text.size());
        learnt.close();
        QString output;
        QCOMPARE(fill(modelServiceUrl, {u"--learn"_s, learnt.fileName()}, output), 0);
        QVERIFY2(output.contains(u"learnt 26 reviewed translations (GNU hello 2.9)"_s), qPrintable(output));
        const QString blank = scratch.filePath(u"blank-es.po"_s);
        QCOMPARE(QProcess::execute(u"msgfilter"_s,
                     {u"--keep-header"_s, u"-i"_s, learnt.fileName(), u"-o"_s, blank, u"--no-wrap"_s, u"sed"_s, u"-e"_s,
                         u"d"_s}),
            0);
        QCOMPARE(fill(modelServiceUrl, {blank}, output), 0);
        // translate-toolkit's PO reader: the entries whose translations
        // differ are exactly the fuzzy ones (GNU hello's own, and the one
        // made so), which the model filled.
        QProcess judge;
        judge.start(u"/usr/bin/python3"_s,
            {u"-c"_s,
                u"import sys\nfrom translate.storage import po\n"
                u"a, b = (po.pofile.parsefile(f) for f in sys.argv[1:])\n"
                u"t = {u.source: u.target for u in a.units if not u.isheader()}\n"
                u"fuzzy = sorted(u.source for u in a.units if u.isfuzzy() and not u.isheader())\n"
                u"differ = sorted(u.source for u in b.units if not u.isheader() and t[u.source] != u.target)\n"
                u"print(len(fuzzy), differ == fuzzy)"_s,
                learnt.fileName(), blank});
        QVERIFY(judge.waitForFinished(60000));
        QCOMPARE(judge.readAllStandardOutput().trimmed(), "4 True"_ba);
    }
};

QTEST_GUILESS_MAIN(TestFillService)
#include "test_fill_service.moc"
