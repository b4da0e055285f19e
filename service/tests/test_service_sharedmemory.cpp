#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "httpclient.h"
#include "service/config.h"
#include "service/engines/libretranslateengine.h"
#include "service/http/translationservice.h"
#include "service/memory/memoryengine.h"
#include "service/memory/translationmemory.h"
#include "tests/support/loopbackserver.h"
#include "tests/support/postgresserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using namespace tarnix::test;

#define REQUIRE_POSTGRES()                                                                                             \
    if (PostgresServer::binaries().isEmpty())                                                                          \
    QSKIP("PostgreSQL is not installed (Debian package postgresql)")

// The memory a team shares in one PostgreSQL database, started by the test.
class TestServiceSharedMemory : public QObject
{
    Q_OBJECT

    PostgresServer postgres;
    // LibreTranslate's POST /translate, 40 ms late: "[target] q #n" for its
    // n-th request, so two services asked the same never get the same answer.
    LoopbackServer engine;
    QNetworkAccessManager net;
    QTemporaryDir dir;

    MemoryServer server() const
    {
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(postgres.url(), {}));
        server.password = postgres.password();
        return server;
    }
    qsizetype asked() const
    {
        return std::count_if(engine.requests().cbegin(), engine.requests().cend(),
            [](const RecordedRequest &request) { return request.method == "POST"; });
    }
    QSqlQuery sql(const QString &statement)
    {
        QSqlDatabase db = QSqlDatabase::contains(u"check"_s) ? QSqlDatabase::database(u"check"_s)
                                                             : QSqlDatabase::addDatabase(u"QPSQL"_s, u"check"_s);
        const MemoryServer where = server();
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setDatabaseName(where.database);
        db.setUserName(where.user);
        db.setPassword(where.password);
        QSqlQuery query(db.open() ? db : QSqlDatabase());
        query.exec(statement);
        query.next();
        return query;
    }
    QString config(int permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner)
    {
        QFile password(dir.filePath(u"team.password"_s));
        QFile file(dir.filePath(u"service.conf"_s));
        if (!password.open(QIODevice::WriteOnly) || !file.open(QIODevice::WriteOnly))
            return {};
        password.write(postgres.password().toUtf8() + '\n');
        password.setPermissions(QFileDevice::Permissions::fromInt(permissions));
        file.write("[memory]\nurl = " + postgres.url().toUtf8() + "\npassword-file = team.password\n");
        return file.fileName();
    }
    bool start(QProcess &service, quint16 port)
    {
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY),
            {u"--config"_s, config(), u"--port"_s, QString::number(port), u"--engine"_s, u"libretranslate"_s,
                u"--engine-url"_s, engine.url().toString()});
        return QTest::qWaitFor([&] { return service.readAllStandardError().contains("listening"); }, 20000);
    }
    QProcess *forget(const QStringList &options)
    {
        auto *process = new QProcess(this);
        process->start(QStringLiteral(TARNIX_SERVICE_BINARY), QStringList {u"--config"_s, config()} + options);
        process->waitForFinished();
        return process;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(engine.start());
        engine.setResponder([this](const RecordedRequest &request) {
            if (request.method == "GET")
                return Answer {Answer::Kind::Complete, 200, R"([{"code":"en"},{"code":"es"},{"code":"it"}])", {}, 0};
            const QJsonObject query = QJsonDocument::fromJson(request.body).object();
            const QString text = u"[%1] %2 #%3"_s.arg(
                query["target"_L1].toString(), query["q"_L1].toString(), QString::number(engine.requests().size()));
            return Answer {
                Answer::Kind::Complete, 200, QJsonDocument(QJsonObject {{"translatedText"_L1, text}}).toJson(), {}, 40};
        });
        QVERIFY(PostgresServer::binaries().isEmpty() || postgres.start());
    }

    void memoryUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("sslmode");
        QTest::addColumn<QString>("expected"); // the sslmode used, or a part of the error
        QTest::newRow("remote: TLS verified")
            << u"postgresql://tm@db.example:6543/team"_s << QString() << u"verify-full"_s;
        QTest::newRow("loopback: TLS if offered") << u"postgres://tm@127.0.0.1/team"_s << QString() << u"prefer"_s;
        QTest::newRow("local socket") << u"postgresql:///team"_s << QString() << u"prefer"_s;
        QTest::newRow("sslmode set") << u"postgresql://tm@db.example/team"_s << u"require"_s << u"require"_s;
        QTest::newRow("password in url") << u"postgresql://tm:pw@db.example/t"_s << QString() << u"password-file"_s;
        QTest::newRow("no database") << u"postgresql://tm@db.example"_s << QString() << u"database's name"_s;
        QTest::newRow("not PostgreSQL") << u"mysql://tm@db.example/team"_s << QString() << u"PostgreSQL"_s;
        QTest::newRow("unknown sslmode") << u"postgresql://tm@db.example/t"_s << u"verify"_s << u"one of"_s;
    }
    void memoryUrl()
    {
        QFETCH(QString, url);
        QFETCH(QString, sslmode);
        QFETCH(QString, expected);
        const auto parsed = parseMemoryServer(url, sslmode);
        if (const auto *server = std::get_if<MemoryServer>(&parsed)) {
            QCOMPARE(server->sslMode, expected);
            QVERIFY(memoryConnectOptions(*server).contains(u"sslmode="_s + expected + u';'));
        } else {
            QVERIFY2(std::get<QString>(parsed).contains(expected), qPrintable(std::get<QString>(parsed)));
        }
    }

    void passwordFile_data()
    {
        QTest::addColumn<int>("permissions");
        const int owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QTest::newRow("owner only") << owner;
        QTest::newRow("group can read") << (owner | QFileDevice::ReadGroup);
        QTest::newRow("others can read") << (owner | QFileDevice::ReadOther);
    }
    void passwordFile()
    {
        QFETCH(int, permissions);
        const bool ownerOnly = permissions == (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const auto loaded = loadServiceConfig(config(permissions), true);
        if (const auto *error = std::get_if<QString>(&loaded)) {
            QVERIFY2(!ownerOnly && error->contains(u"can be read by other users"_s), qPrintable(*error));
            QVERIFY(!error->contains(postgres.password()));
        } else {
            QVERIFY(ownerOnly);
            QCOMPARE(std::get<ServiceConfig>(loaded).memory.server->password, postgres.password());
        }
    }

    // A memory file from before schema versions (no context, no version) is
    // migrated and keeps its entries; one from a newer version is left alone.
    void olderFileMigratedNewerLeftAlone()
    {
        const QString path = dir.filePath(u"old.sqlite"_s);
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        QVERIFY(TranslationMemory(path, 10).store(key, u"Abrir"_s));
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(u"ALTER TABLE translations DROP COLUMN context"_s));
        QVERIFY(query.exec(u"DROP TABLE tarnix_schema"_s));
        QCOMPARE(TranslationMemory(path, 10).lookup(key), u"Abrir"_s);
        QVERIFY(query.exec(u"SELECT version FROM tarnix_schema"_s) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QVERIFY(query.exec(u"UPDATE tarnix_schema SET version = 2"_s));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"set up by a newer tarnix-service"_s));
        QCOMPARE(TranslationMemory(path, 10).lookup(key), std::nullopt);
    }

    void firstKeptLeastRecentlyUsedEvicted_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("SQLite file") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void firstKeptLeastRecentlyUsedEvicted()
    {
        QFETCH(bool, shared);
        if (shared)
            REQUIRE_POSTGRES();
        auto memory = shared ? std::make_unique<TranslationMemory>(server(), 50)
                             : std::make_unique<TranslationMemory>(dir.filePath(u"lru.sqlite"_s), 50);
        QVERIFY(memory->clear());
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        QCOMPARE(memory->store(key, u"Abrir"_s), u"Abrir"_s);
        QCOMPARE(memory->store(key, u"Abre"_s), u"Abrir"_s);
        for (int i = 0; i < 80; ++i) {
            QCOMPARE(memory->lookup(key), u"Abrir"_s); // its time of use goes in with the next store
            QTest::qSleep(2);
            QVERIFY(memory->store({key.engine, key.source, key.target, QString::number(i)}, u"x"_s));
        }
        QCOMPARE(memory->lookup({key.engine, key.source, key.target, u"0"_s}), std::nullopt);
        QCOMPARE(memory->lookup({key.engine, key.source, key.target, u"79"_s}), u"x"_s);
        QCOMPARE(memory->lookup(key), u"Abrir"_s);
        QVERIFY(memory->clear() <= 50);
    }

    void hitsAndMissesAcrossServices()
    {
        REQUIRE_POSTGRES();
        TranslationMemory first(server(), 1000), second(server(), 1000);
        MemoryEngine engineA(std::make_unique<LibreTranslateEngine>(engine.url(), QString()), &first);
        MemoryEngine engineB(std::make_unique<LibreTranslateEngine>(engine.url(), QString()), &second);
        TranslationService a(&engineA), b(&engineB);
        const QUrl urlA(u"http://127.0.0.1:%1/"_s.arg(a.listen(0))), urlB(u"http://127.0.0.1:%1/"_s.arg(b.listen(0)));
        const auto post = [&](const QUrl &url, const char *target) {
            return httpExchange(net, url, "POST", programForm("en", target, "Shared%20label")).body;
        };
        const qsizetype before = asked();
        const QByteArray spanish = post(urlA, "es");
        QCOMPARE(asked(), before + 1);
        QCOMPARE(post(urlB, "es"), spanish);
        QCOMPARE(asked(), before + 1);
        const QByteArray italian = post(urlB, "it");
        QCOMPARE(asked(), before + 2);
        QCOMPARE(post(urlA, "it"), italian);
        QCOMPARE(asked(), before + 2);
    }

    // Two services asked the same at the same moment both ask the engine and
    // get different answers; the first stored wins and both answer with it.
    void sameKeyAtOnceFirstWins()
    {
        REQUIRE_POSTGRES();
        QProcess a, b;
        const quint16 portA = freeLoopbackPort(), portB = freeLoopbackPort();
        QVERIFY(start(a, portA) && start(b, portB));
        const qsizetype before = asked();
        QNetworkRequest toA(QUrl(u"http://127.0.0.1:%1/"_s.arg(portA))),
            toB(QUrl(u"http://127.0.0.1:%1/"_s.arg(portB)));
        for (QNetworkRequest *request : {&toA, &toB})
            request->setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
        for (int i = 0; i < 100; ++i) {
            const QByteArray form = programForm("en", "es", "Race%20" + QByteArray::number(i));
            std::unique_ptr<QNetworkReply> first(net.post(toA, form)), second(net.post(toB, form));
            QTRY_VERIFY(first->isFinished() && second->isFinished());
            const QByteArray answer = first->readAll();
            QCOMPARE(second->readAll(), answer);
            const QString stored =
                sql(u"SELECT translation FROM translations WHERE text = 'Race %1'"_s.arg(i)).value(0).toString();
            QVERIFY2(!stored.isEmpty() && answer.contains(stored.toUtf8()), answer.constData());
        }
        QVERIFY2(asked() > before + 100, "no two services raced");
        for (QProcess *service : {&a, &b}) {
            service->terminate();
            QVERIFY(service->waitForFinished());
        }
        QCOMPARE(sql(u"SELECT count(*) FROM translations WHERE text LIKE 'Race %'"_s).value(0).toInt(), 100);
    }

    void databaseStoppedAndStarted()
    {
        REQUIRE_POSTGRES();
        QProcess service;
        const quint16 port = freeLoopbackPort();
        QVERIFY(start(service, port));
        const QUrl url(u"http://127.0.0.1:%1/"_s.arg(port));
        const auto post = [&](const QByteArray &text) {
            return httpExchange(net, url, "POST", programForm("en", "es", text)).status;
        };
        QCOMPARE(post("Kept%20across"), 200);
        QVERIFY(postgres.stop());
        for (const QByteArray text : {"Away%201", "Away%202", "Away%203"})
            QCOMPARE(post(text), 200);
        QVERIFY(postgres.start());
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (post("Kept%20across"), (log += service.readAllStandardError()).contains("from memory")), 40000);
        QCOMPARE(log.count("cannot use postgresql://"), 1);
        QVERIFY(log.contains("is back in use"));
        QVERIFY(!log.contains(postgres.password().toUtf8()));
        service.terminate();
        QVERIFY(service.waitForFinished());
    }

    void forgetNeedsAllUsers()
    {
        REQUIRE_POSTGRES();
        QProcess *refused = forget({u"--forget"_s});
        QCOMPARE(refused->exitCode(), 2);
        QVERIFY(refused->readAllStandardError().contains("--forget --all-users"));
        const qint64 entries = sql(u"SELECT count(*) FROM translations"_s).value(0).toLongLong();
        QVERIFY(entries > 0);
        QProcess *emptied = forget({u"--forget"_s, u"--all-users"_s});
        QCOMPARE(emptied->exitCode(), 0);
        QVERIFY(emptied->readAllStandardError().contains("removed " + QByteArray::number(entries) + " translations"));
        QCOMPARE(sql(u"SELECT count(*) FROM translations"_s).value(0).toInt(), 0);
        QVERIFY(!postgres.log().contains("deadlock"));
    }
};

QTEST_GUILESS_MAIN(TestServiceSharedMemory)
#include "test_service_sharedmemory.moc"
