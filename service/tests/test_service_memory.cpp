#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "httpclient.h"
#include "service/engines/libretranslateengine.h"
#include "service/http/translationservice.h"
#include "service/memory/memoryengine.h"
#include "service/memory/memoryworker.h"
#include "service/memory/translationmemory.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using namespace tarnix::test;

class TestServiceMemory : public QObject
{
    Q_OBJECT

    // LibreTranslate's documented POST /translate: "[target] q" with `status`,
    // the n-th request n x `step` ms late, or with the first placeholder lost.
    LoopbackServer engine;
    int status = 200;
    int step = 0;
    bool losePlaceholder = false;
    QNetworkAccessManager net;
    QTemporaryDir dir;

    // Translations asked of the engine (its language list aside).
    qsizetype translationsAsked() const
    {
        return std::count_if(engine.requests().cbegin(), engine.requests().cend(),
            [](const RecordedRequest &request) { return request.method == "POST"; });
    }

    QString engineUrl(const char *host = "127.0.0.1") const
    {
        return u"http://%1:%2"_s.arg(QLatin1StringView(host)).arg(engine.serverPort());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(engine.start());
        engine.setResponder([this](const RecordedRequest &request) {
            if (request.method == "GET") { // GET /languages: every language of a run
                QByteArray languages = "[";
                for (const QByteArray &code :
                    "en zh zt es fr ru uk de ja ko it pl ro pt ar he tr id hi vi fa"_ba.split(' '))
                    languages += (languages.size() > 1 ? ",{\"code\":\"" : "{\"code\":\"") + code + "\"}";
                return Answer {Answer::Kind::Complete, 200, languages + ']', {}, 0};
            }
            const QJsonObject query = QJsonDocument::fromJson(request.body).object();
            QString text = u"[%1] %2"_s.arg(query["target"_L1].toString(), query["q"_L1].toString());
            if (losePlaceholder)
                text.remove(u"\u27E60\u27E7"_s);
            const QByteArray body = QJsonDocument(QJsonObject {{"translatedText"_L1, text}}).toJson();
            return Answer {Answer::Kind::Complete, status, body, {}, int(engine.requests().size()) * step};
        });
    }

    // After a first request "Save %1 now" en>es answered with firstStatus.
    void hitsAndMissesByKey_data()
    {
        QTest::addColumn<int>("firstStatus");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<bool>("hit");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("terms");
        const auto row = [](const char *name, int first, const char *host, const QByteArray &form, bool hit,
                             const QByteArray &answer, const QStringList &terms = {}) {
            QTest::newRow(name) << first << QByteArray(host) << form << hit << answer << terms;
        };
        const QByteArray es = "sl=en&tl=es&text=", save = "Save%20%251%20now";
        row("same key", 200, "127.0.0.1", es + save, true, "[es] Save %1 now");
        row("same text for the engine", 200, "127.0.0.1", es + "Save%20%7Bn%7D%20now", true, "[es] Save {n} now");
        row("outer white space", 200, "127.0.0.1", es + "%20" + save + "%0A", true, "> [es] Save %1 now\n<");
        row("other engine address", 200, "localhost", es + save, false, "[es] Save %1 now");
        row("other source", 200, "127.0.0.1", "sl=fr&tl=es&text=" + save, false, "[es] Save %1 now");
        row("other target", 200, "127.0.0.1", "sl=en&tl=it&text=" + save, false, "[it] Save %1 now");
        row("other text", 200, "127.0.0.1", es + "save%20%251%20now", false, "[es] save %1 now");
        row("a kept term added", 200, "127.0.0.1", es + save, false, "[es] Save %1 now", {u"Save"_s});
        row("a context the engine does not use", 200, "127.0.0.1", es + save + "&context=menu", true,
            "[es] Save %1 now");
        row("after a 503", 503, "127.0.0.1", es + save, false, "[es] Save %1 now");
        row("after a 422 (placeholder lost)", 422, "127.0.0.1", es + save, false, "[es] Save %1 now");
    }
    void hitsAndMissesByKey()
    {
        QFETCH(int, firstStatus);
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, form);
        QFETCH(bool, hit);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, terms);
        const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        MemoryWorker memory(path, [path] { return std::make_unique<TranslationMemory>(path, 100); });
        const auto post = [&](const char *engineHost, const QByteArray &body, const QStringList &kept = {}) {
            MemoryEngine withMemory(std::make_unique<LibreTranslateEngine>(engineUrl(engineHost), QString()), &memory);
            TranslationService service(&withMemory);
            service.setKeptTerms(kept);
            return httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(service.listen(0))), "POST", body);
        };
        status = firstStatus == 503 ? 500 : 200;
        losePlaceholder = firstStatus == 422;
        QCOMPARE(post("127.0.0.1", "sl=en&tl=es&text=Save%20%251%20now").status, firstStatus);
        status = 200;
        losePlaceholder = false;
        const qsizetype asked = translationsAsked();
        const HttpAnswer reply = post(host.constData(), form, terms);
        QCOMPARE(reply.status, 200);
        QCOMPARE(translationsAsked() == asked, hit);
        QVERIFY2(reply.body.contains(answer), reply.body.constData());
    }

    // People's translations, learnt through POST /learn, answer before the
    // machine row and the engine: single requests and batch items, with the
    // same context or another; unchecked (a placeholder left out is the
    // person's choice), but never one changed on disk.
    void personWins()
    {
        const QString path = dir.filePath(u"people"_s);
        MemoryWorker memory(path, [path] { return std::make_unique<TranslationMemory>(path, 100); });
        MemoryEngine withMemory(std::make_unique<LibreTranslateEngine>(engineUrl(), QString()), &memory);
        TranslationService service(&withMemory);
        service.setMemory(&memory);
        const QUrl url(u"http://127.0.0.1:%1/"_s.arg(service.listen(0)));
        const auto json = [&](const char *path, const QByteArray &body) {
            const HttpAnswer answer =
                httpExchange(net, url.resolved(QUrl(QString::fromLatin1(path))), "POST", body, "application/json");
            return std::pair {answer.status, QJsonDocument::fromJson(answer.body).object()};
        };
        QCOMPARE(
            httpExchange(net, url, "POST", "sl=en&tl=es&text=Open%20file&context=menu").body.contains("[es] Open file"),
            true); // the machine's row
        const auto learnt = json("learn", R"({"from": "en-US", "to": "es", "note": "GNU hello 2.10", "items": [
            {"text": "Open file", "translation": "Abrir archivo", "context": "menu"},
            {"text": "Save %s now", "translation": "Guardar ahora"},
            {"text": "Tampered", "translation": "Alterado"}]})");
        QCOMPARE(learnt.first, 200);
        QCOMPARE(learnt.second["stored"_L1].toInt(), 3);
        QCOMPARE(json("learn", R"({"from": "en", "to": "es", "items": [{"text": "x"}]})").first, 400);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"tamper"_s);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(u"UPDATE translations SET translation = 'Alterada' WHERE text = 'Tampered'"_s, db)
                        .numRowsAffected()
                == 1);
        }
        QSqlDatabase::removeDatabase(u"tamper"_s);
        const qsizetype asked = translationsAsked(), seen = engine.requests().size();
        QVERIFY(
            httpExchange(net, url, "POST", "sl=en&tl=es&text=Open%20file&context=menu").body.contains("Abrir archivo"));
        QCOMPARE(translationsAsked(), asked);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"a person's entry .* does not match its checksum"_s));
        const auto batch = json("batch", R"({"from": "en", "to": "es", "items": [
            {"id": 1, "text": "Open file", "context": "menu"}, {"id": 2, "text": "Open file", "context": "toolbar"},
            {"id": 3, "text": "Save %s now"}, {"id": 4, "text": "Close"}, {"id": 5, "text": "Tampered"},
            {"id": 6, "text": "Open files", "context": "menu"}, {"id": 7, "text": "Save %s later"}]})");
        QCOMPARE(batch.first, 200);
        QStringList answers;
        for (const QJsonValue item : batch.second["items"_L1].toArray()) {
            const QJsonObject o = item.toObject();
            answers.append(u"%1 %2 %3 %4 %5 %6"_s.arg(o["text"_L1].toString(), o["origin"_L1].toString(),
                o["note"_L1].toString(), o["context-differs"_L1].toBool() ? u"elsewhere"_s : QString(),
                QString::number(o["score"_L1].toInt()), o["match"_L1].toString()));
        }
        // "Open files" is 90% like "Open file" (one edit in ten), "Save %s
        // later" 76% like "Save %s now", below the threshold.
        QCOMPARE(answers,
            QStringList({u"Abrir archivo person GNU hello 2.10  100 "_s,
                u"Abrir archivo person GNU hello 2.10 elsewhere 100 "_s, u"Guardar ahora person GNU hello 2.10  100 "_s,
                u"[es] Close    0 "_s, u"[es] Tampered    0 "_s, u"Abrir archivo person GNU hello 2.10  90 Open file"_s,
                u"[es] Save %s later    0 "_s}));
        // The window asks for its own text: a close match of another is not its answer.
        QVERIFY(httpExchange(net, url, "POST", "sl=en&tl=es&text=Open%20files").body.contains("[es] Open files"));
        // An estimate of the same batch counts no engine for them, and says
        // which are people's translations of the text itself and which close.
        const auto estimated = json("estimate", R"({"from": "en", "to": "es", "items": [
            {"id": 1, "text": "Open file", "context": "toolbar"}, {"id": 2, "text": "Save %s now"},
            {"id": 3, "text": "Open files"}]})");
        QStringList scores;
        for (const QJsonValue item : estimated.second["items"_L1].toArray()) {
            QVERIFY(item["memory"_L1].toBool() && !item.toObject().contains("engine"_L1));
            scores.append(item["origin"_L1].toString() + u' ' + QString::number(item["score"_L1].toInt()));
        }
        QCOMPARE(scores, (QStringList {u"person 100"_s, u"person 100"_s, u"person 90"_s}));
        QCOMPARE(estimated.second["people"_L1].toObject(), (QJsonObject {{"exact"_L1, 2}, {"close"_L1, 1}}));
        for (qsizetype i = seen; i < engine.requests().size(); ++i) // people's texts never reach the engine
            QVERIFY((!engine.requests()[i].body.contains("Open") || engine.requests()[i].body.contains("files"))
                && (!engine.requests()[i].body.contains("Save") || engine.requests()[i].body.contains("later")));
    }

    // SIGKILL in the middle of a 20-language run; then the service is started
    // again on its file, with an engine that only fails.
    void killedServiceKeepsEveryAnswerItGave()
    {
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit()); // for the services this test starts
        const QString port = QString::number(freeLoopbackPort());
        const QUrl serviceUrl(u"http://127.0.0.1:"_s + port);
        QByteArray log;
        const auto start = [&](QProcess &service) {
            service.start(QStringLiteral(TARNIX_SERVICE_BINARY),
                {u"--port"_s, port, u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s, engineUrl()});
            return QTest::qWaitFor([&] { return (log = service.readAllStandardError()).contains("listening"); });
        };
        const QList<QByteArray> targets =
            "zh-CN zh-TW es fr ru uk de ja ko it pl ro pt ar iw tr id hi vi fa"_ba.split(' ');
        QProcess first;
        QVERIFY(start(first));
        step = 100;
        std::vector<std::unique_ptr<QNetworkReply>> run;
        QNetworkRequest request(serviceUrl);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
        for (const QByteArray &target : targets)
            run.emplace_back(net.post(request, programForm("en", target, "Open%20the%20file")));
        const auto finished = [&] {
            return std::count_if(run.begin(), run.end(), [](auto &r) { return r->isFinished(); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(finished() >= 5, 20000);
        first.kill();
        QVERIFY(first.waitForFinished());
        QTRY_COMPARE(finished(), qsizetype(targets.size()));
        QHash<QByteArray, QByteArray> received;
        for (qsizetype i = 0; i < targets.size(); ++i) {
            if (run[i]->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200)
                received.insert(targets[i], run[i]->readAll());
        }
        QVERIFY2(received.size() >= 5 && received.size() < targets.size(), QByteArray::number(received.size()));

        status = 500;
        step = 0;
        const qsizetype asked = translationsAsked();
        QProcess second;
        QVERIFY(start(second));
        for (auto answer = received.cbegin(); answer != received.cend(); ++answer) {
            const HttpAnswer again =
                httpExchange(net, serviceUrl, "POST", programForm("en", answer.key(), "Open%20the%20file"));
            QCOMPARE(again.status, 200);
            QCOMPARE(again.body, answer.value());
        }
        QCOMPARE(translationsAsked(), asked);
        QTRY_COMPARE((log += second.readAllStandardError()).count(" from memory"), received.size());
        second.terminate();
        QVERIFY(second.waitForFinished());
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        db.setDatabaseName(dir.filePath(u"tarnix/memory.sqlite"_s));
        QSqlQuery check(db.open() ? db : QSqlDatabase());
        QVERIFY(check.exec(u"PRAGMA integrity_check"_s) && check.next());
        QCOMPARE(check.value(0).toString(), u"ok"_s);
    }

    void brokenFileIsMovedAside_data()
    {
        QTest::addColumn<qint64>("offset"); // of the 4 KiB overwritten
        QTest::newRow("not an SQLite database") << qint64(0);
        QTest::newRow("corrupt page") << qint64(4096);
    }
    void brokenFileIsMovedAside()
    {
        QFETCH(qint64, offset);
        const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const MemoryKey key {u"libretranslate x"_s, u"en"_s, u"es"_s, u"Hello"_s};
        {
            TranslationMemory memory(path, 1000);
            for (int i = 0; i < 300; ++i)
                QVERIFY(memory.store({key.engine, key.source, key.target, QString::number(i).repeated(20)}, key.text));
        }
        QFile file(path);
        QVERIFY(
            file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(QByteArray(4096, 'U')) && file.seek(0));
        const QByteArray broken = file.readAll();

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"is (corrupt|not an SQLite database); moved aside"_s));
        TranslationMemory memory(path, 1000);
        QCOMPARE(memory.lookup(key), std::nullopt);
        QVERIFY(memory.store(key, u"Hola"_s));
        QCOMPARE(memory.lookup(key), u"Hola"_s);
        QFile moved(dir.filePath(QDir(dir.path()).entryList({QFileInfo(path).fileName() + u".broken-*"_s}).value(0)));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), broken);
    }

    void fileDamagedInUseIsMovedAsideAtOnce()
    {
        const QString path = dir.filePath(u"damaged-in-use"_s);
        TranslationMemory memory(path, 1000);
        const MemoryKey key {u"libretranslate x"_s, u"en"_s, u"es"_s, u"Hello"_s};
        for (int i = 0; i < 300; ++i)
            QVERIFY(memory.store({key.engine, key.source, key.target, QString::number(i).repeated(20)}, key.text));
        // Another program writes over the file, its log and their index while the memory is open.
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s}) {
            QFile file(path + suffix);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(suffix.isEmpty() ? 4096 : 0));
            QVERIFY(file.write(QByteArray(std::min<qint64>(file.size(), 65536), 'U')));
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"is (corrupt|not an SQLite database); moved aside"_s));
        QCOMPARE(memory.lookup({key.engine, key.source, key.target, u"7"_s.repeated(20)}), std::nullopt);
        QVERIFY(!QDir(dir.path()).entryList({u"damaged-in-use.broken-*"_s}).isEmpty());
        QVERIFY(memory.store(key, u"Hola"_s));
        QCOMPARE(memory.lookup(key), u"Hola"_s);
    }

    // --forget reads only [memory]: a mistake elsewhere does not stop it,
    // one in [memory] does (it says which memory to empty), and with the
    // memory off it creates nothing.
    void forgetReadsOnlyItsMemory_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("says");
        QTest::addColumn<int>("entriesLeft"); // -1: no memory file
        QTest::newRow("a mistake in an engine section")
            << "[memory]\npath = m.sqlite\n[apertium]\nurl http://127.0.0.1:2737\n"_ba << 0
            << "removed 1 translations"_ba << 0;
        QTest::newRow("a mistake in [memory]")
            << "[memory]\npath = m.sqlite\nmax-entries = x\n"_ba << 2 << "correct it first"_ba << 1;
        QTest::newRow("memory off") << "[memory]\npath = off.sqlite\nmemory = off\n[x\n"_ba << 0
                                    << "nothing to empty"_ba << -1;
    }
    void forgetReadsOnlyItsMemory()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, says);
        QFETCH(int, entriesLeft);
        QTemporaryDir folder;
        const QString memoryPath = folder.filePath(file.contains("off") ? u"off.sqlite"_s : u"m.sqlite"_s);
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        if (entriesLeft >= 0)
            QVERIFY(TranslationMemory(memoryPath, 10).store(key, u"Abrir"_s));
        QFile conf(folder.filePath(u"service.conf"_s));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write(file) == file.size());
        conf.close();
        QProcess forget;
        forget.start(QStringLiteral(TARNIX_SERVICE_BINARY), {u"--config"_s, conf.fileName(), u"--forget"_s});
        QVERIFY(forget.waitForFinished(20000));
        QCOMPARE(forget.exitCode(), exitCode);
        QVERIFY2(forget.readAllStandardError().contains(says), qPrintable(QString::fromUtf8(file)));
        QCOMPARE(QFileInfo::exists(memoryPath), entriesLeft >= 0);
        if (entriesLeft >= 0)
            QCOMPARE(TranslationMemory(memoryPath, 10).lookup(key).has_value(), entriesLeft > 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceMemory)
#include "test_service_memory.moc"
