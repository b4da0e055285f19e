#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "httpclient.h"
#include "service/config.h"
#include "service/memory/memorydialect.h"
#include "service/memory/similarity.h"
#include "service/memory/translationmemory.h"
#include "service/memory/trigrams.h"
#include "tests/support/loopbackserver.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;
using namespace tarnix::test;

// The memory a team shares in one PostgreSQL database, started by the test.
class TestServiceSharedMemory : public QObject
{
    Q_OBJECT

    // A PostgreSQL cluster of the test's own (tests/support/postgres.sh).
    QTemporaryDir cluster;
    const QString port = QString::number(freeLoopbackPort());
    const QString password = QString::number(QRandomGenerator::global()->generate64(), 36);
    const QString url = u"postgresql://tarnix@127.0.0.1:%1/postgres"_s.arg(port);
    // LibreTranslate's POST /translate, 40 ms late: "[target] q #n" for its
    // n-th request, so two services asked the same never get the same answer.
    LoopbackServer engine;
    QNetworkAccessManager net;
    QTemporaryDir dir;
    QSqlDatabase check;

    int postgres(const QString &command)
    {
        return QProcess::execute(QStringLiteral(TARNIX_POSTGRES_SCRIPT), {command, cluster.path(), port});
    }
    qsizetype asked() const
    {
        return std::count_if(engine.requests().cbegin(), engine.requests().cend(),
            [](const RecordedRequest &request) { return request.method == "POST"; });
    }
    QVariant sql(const QString &statement)
    {
        QSqlQuery query(statement, check);
        return query.next() ? query.value(0) : QVariant();
    }
    QString config(int permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner, const QString &memoryUrl = {})
    {
        QFile password(dir.filePath(u"team.password"_s)), file(dir.filePath(u"service.conf"_s));
        if (!password.open(QIODevice::WriteOnly) || !file.open(QIODevice::WriteOnly))
            return {};
        password.write(this->password.toUtf8() + '\n');
        password.setPermissions(QFileDevice::Permissions::fromInt(permissions));
        file.write("[memory]\nurl = " + (memoryUrl.isEmpty() ? url : memoryUrl).toUtf8()
            + "\npassword-file = team.password\n");
        return file.fileName();
    }
    // The service with `arguments`, once it listens or has ended; its log so far in `log`.
    bool start(QProcess &service, const QStringList &arguments, QByteArray &log)
    {
        service.start(QStringLiteral(TARNIX_SERVICE_BINARY),
            QStringList {
                u"--config"_s, config(), u"--engine"_s, u"libretranslate"_s, u"--engine-url"_s, engine.url().toString()}
                + arguments);
        log.clear();
        return QTest::qWaitFor(
            [&] { return (log += service.readAllStandardError()).contains("listening") || !service.processId(); },
            20000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(engine.start());
        engine.setResponder([this](const RecordedRequest &request) {
            if (request.method == "GET")
                return Answer {Answer::Kind::Complete, 200, R"([{"code":"en"},{"code":"es"}])", {}, 0};
            const QJsonObject query = QJsonDocument::fromJson(request.body).object();
            const QString text = u"[%1] %2 #%3"_s.arg(
                query["target"_L1].toString(), query["q"_L1].toString(), QString::number(engine.requests().size()));
            return Answer {
                Answer::Kind::Complete, 200, QJsonDocument(QJsonObject {{"translatedText"_L1, text}}).toJson(), {}, 40};
        });
        QFile pwfile(cluster.filePath(u"pwfile"_s));
        QVERIFY(pwfile.open(QIODevice::WriteOnly) && pwfile.write(password.toUtf8()) > 0 && pwfile.flush());
        const int started = postgres(u"start"_s);
        if (started == 77) // not installed: the tests that need it skip
            return;
        QCOMPARE(started, 0);
        check = QSqlDatabase::addDatabase(u"QPSQL"_s, u"check"_s);
        check.setConnectOptions(u"host=127.0.0.1;port=%1;dbname=postgres;user=tarnix"_s.arg(port));
        check.setPassword(password);
        QVERIFY(check.open());
    }
    void cleanupTestCase()
    {
        if (check.isValid())
            postgres(u"stop"_s);
    }

    // [memory] with a url, and a password file readable by others or not.
    void memoryConfig_data()
    {
        QTest::addColumn<QString>("memoryUrl");
        QTest::addColumn<int>("readable"); // the password file, by others than its owner
        QTest::addColumn<QString>("expected"); // in the connection's options, or in the error
        QTest::newRow("loopback: TLS if offered") << url << 0 << u"sslmode=prefer;"_s;
        QTest::newRow("remote: verified TLS")
            << u"postgresql://tm@db.example:6543/t"_s << 0 << u"sslmode=verify-full;"_s;
        QTest::newRow("remote: its authority beside the file")
            << u"postgresql://tm@db.example/t\nssl-root-cert = team-ca.crt"_s << 0
            << u"sslrootcert='%1'"_s.arg(dir.filePath(u"team-ca.crt"_s));
        QTest::newRow("group can read") << url << int(QFileDevice::ReadGroup) << u"can be read by other users"_s;
        QTest::newRow("others can read") << url << int(QFileDevice::ReadOther) << u"can be read by other users"_s;
        QTest::newRow("password in url") << u"postgresql://tm:pw@db.example/t"_s << 0 << u"password-file"_s;
    }
    void memoryConfig()
    {
        QFETCH(QString, memoryUrl);
        QFETCH(int, readable);
        QFETCH(QString, expected);
        const auto loaded =
            loadServiceConfig(config(QFileDevice::ReadOwner | QFileDevice::WriteOwner | readable, memoryUrl), true);
        const auto *config = std::get_if<ServiceConfig>(&loaded);
        const QString found = config ? memoryConnectOptions(*config->memory.server) : std::get<QString>(loaded);
        QVERIFY2(found.contains(expected) && !found.contains(password), qPrintable(found));
        QVERIFY(!config || config->memory.server->password == password);
    }

    // A memory file from before schema versions (no context, no version) is
    // migrated and keeps its entries.
    void olderFileMigrated()
    {
        const QString path = dir.filePath(u"old.sqlite"_s);
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        QVERIFY(TranslationMemory(path, 10).store(key, u"Abrir"_s));
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
        db.setDatabaseName(path);
        QSqlQuery query(db.open() ? db : QSqlDatabase());
        QVERIFY(query.exec(u"ALTER TABLE translations DROP COLUMN context"_s)
            && query.exec(u"ALTER TABLE translations DROP COLUMN checksum"_s)
            && query.exec(u"DROP TABLE tarnix_schema"_s));
        QCOMPARE(TranslationMemory(path, 10).lookup(key), u"Abrir"_s);
        QVERIFY(query.exec(u"SELECT version FROM tarnix_schema"_s) && query.next()
            && query.value(0).toInt() == memorySchemaVersion);
    }

    // One byte of a stored translation changed on disk ("la casa" becomes
    // "la cosa"): the row is never served, is removed once, and a new store
    // takes its place.
    void damagedRowNeverServed_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("SQLite file") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void damagedRowNeverServed()
    {
        QFETCH(bool, shared);
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        const QString path = dir.filePath(u"damaged.sqlite"_s);
        const auto open = [&]() {
            const auto loaded = loadServiceConfig(config(), true);
            return shared ? std::make_unique<TranslationMemory>(*std::get<ServiceConfig>(loaded).memory.server, 100)
                          : std::make_unique<TranslationMemory>(path, 100);
        };
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"the house"_s};
        QCOMPARE(open()->store(key, u"la casa"_s), u"la casa"_s);
        if (shared) {
            QVERIFY(QSqlQuery(u"UPDATE translations SET translation = 'la cosa' WHERE translation = 'la casa'"_s, check)
                        .numRowsAffected()
                == 1);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            QCOMPARE(bytes.count("la casa"), 1);
            bytes.replace("la casa", "la cosa");
            QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        }
        const auto memory = open();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"does not match its checksum"_s));
        QCOMPARE(memory->lookup(key), std::nullopt);
        QCOMPARE(memory->lookup(key), std::nullopt); // said once: the row is gone
        QCOMPARE(memory->store(key, u"la casa"_s), u"la casa"_s);
        QCOMPARE(memory->lookup(key), u"la casa"_s);
        memory->clear();
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
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(url, {}));
        server.password = password;
        auto memory = shared ? std::make_unique<TranslationMemory>(server, 50)
                             : std::make_unique<TranslationMemory>(dir.filePath(u"lru.sqlite"_s), 50);
        const MemoryKey key {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        QCOMPARE(memory->store(key, u"Abrir"_s), u"Abrir"_s);
        QCOMPARE(memory->store(key, u"Abre"_s), u"Abrir"_s);
        // A context an engine uses is part of the key: the same text in
        // another context is another entry, its text alone a third.
        MemoryKey verb = key, noun = key;
        verb.context = u"File menu|verb"_s;
        noun.context = u"File menu|noun"_s;
        QCOMPARE(memory->store(verb, u"Abre"_s), u"Abre"_s);
        QCOMPARE(memory->lookup(noun), std::nullopt);
        QCOMPARE(memory->lookup(verb), u"Abre"_s);
        for (int i = 0; i < 80; ++i) {
            QCOMPARE(memory->lookup(key), u"Abrir"_s); // its time of use goes in with the next store
            QTest::qSleep(2);
            QVERIFY(memory->store({key.engine, key.source, key.target, QString::number(i)}, u"x"_s));
        }
        QCOMPARE(memory->lookup({key.engine, key.source, key.target, u"0"_s}), std::nullopt);
        QCOMPARE(memory->lookup(key), u"Abrir"_s);
        QVERIFY(memory->clear() <= 50);
    }

    // A version 2 memory (machine rows alone) gains people's rows: they
    // replace each other, are found in another context when theirs has
    // none, and are never trimmed, however many there are.
    void peopleBesideMachines_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("SQLite file") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void peopleBesideMachines()
    {
        QFETCH(bool, shared);
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(url, {}));
        server.password = password;
        const QString path = dir.filePath(u"people.sqlite"_s);
        const auto open = [&]() {
            return shared ? std::make_unique<TranslationMemory>(server, 5)
                          : std::make_unique<TranslationMemory>(path, 5);
        };
        const MemoryKey machine {u"engine"_s, u"en"_s, u"es"_s, u"Open"_s};
        QCOMPARE(open()->store(machine, u"Abrir"_s), u"Abrir"_s);
        {
            QSqlDatabase file = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"v2"_s);
            file.setDatabaseName(path);
            QSqlQuery query(shared ? check : (file.open() ? file : QSqlDatabase()));
            for (const QString &statement :
                {u"DROP INDEX translations_by_person_text"_s, u"DROP INDEX translations_by_use"_s,
                    shared ? u"SELECT 1"_s : u"DROP TRIGGER people_pieces_insert"_s,
                    shared ? u"SELECT 1"_s : u"DROP TRIGGER people_pieces_update"_s,
                    shared ? u"SELECT 1"_s : u"DROP TRIGGER people_pieces_delete"_s,
                    u"ALTER TABLE translations DROP COLUMN origin"_s, u"ALTER TABLE translations DROP COLUMN note"_s,
                    u"CREATE INDEX translations_by_use ON translations (used)"_s,
                    u"UPDATE tarnix_schema SET version = 2"_s})
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase(u"v2"_s);
        const auto memory = open();
        QCOMPARE(memory->lookup(machine), u"Abrir"_s);
        QCOMPARE(memory->lookupPerson(machine), std::nullopt);
        MemoryKey menu = machine;
        menu.context = u"File menu"_s;
        QCOMPARE(memory->storePerson(menu, u"Abre"_s, u"first.tmx"_s), u"Abre"_s);
        QCOMPARE(memory->lookupPerson(machine)->sameContext, false);
        QCOMPARE(memory->storePerson(machine, u"Abrir archivo"_s, u"first.tmx"_s), u"Abrir archivo"_s);
        QCOMPARE(memory->storePerson(machine, u"Abrir el archivo"_s, u"corrected.tmx"_s), u"Abrir el archivo"_s);
        MemoryKey toolbar = machine;
        toolbar.context = u"Toolbar"_s;
        const auto found = memory->lookupPerson(toolbar);
        QVERIFY(found && !found->sameContext);
        QCOMPARE(found->translation, u"Abrir el archivo"_s); // the one without a context before "File menu"
        QCOMPARE(found->note, u"corrected.tmx"_s);
        QCOMPARE(memory->lookupPerson(menu)->translation, u"Abre"_s);
        QVERIFY(memory->lookupPerson(menu)->sameContext);
        QList<PersonTranslation> many;
        for (int i = 0; i < 40; ++i)
            many.append({{QString(), u"en"_s, u"es"_s, u"person %1"_s.arg(i)}, u"persona %1"_s.arg(i), u"p"_s});
        QCOMPARE(memory->storePeople(many), 40);
        for (int i = 0; i < 20; ++i)
            QVERIFY(memory->store({machine.engine, u"en"_s, u"es"_s, QString::number(i)}, u"x"_s));
        qint64 people = 0, machines = 0, damaged = 0;
        QVERIFY(memory->forEachRow(
            false, [&](const MemoryRow &row) { return ++(row.person ? people : machines); }, &damaged));
        QCOMPARE(people, 42);
        QVERIFY(machines <= 6 && damaged == 0);
        QCOMPARE(memory->clear(), machines);
        people = 0;
        QVERIFY(memory->forEachRow(true, [&](const MemoryRow &) { return ++people; }));
        QCOMPARE(people, 42);
        QCOMPARE(memory->clear(true), 42);
    }

    // A person's translation of a similar text, found through the database's
    // index (made for rows from before it), of the same pair only, the best
    // first, and kept in step with replacing and emptying.
    void closeMatchesOfPeople_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("SQLite file") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void closeMatchesOfPeople()
    {
        QFETCH(bool, shared);
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(url, {}));
        server.password = password;
        const QString path = dir.filePath(u"close.sqlite"_s);
        const auto open = [&]() {
            return shared ? std::make_unique<TranslationMemory>(server, 5)
                          : std::make_unique<TranslationMemory>(path, 5);
        };
        const auto person = [](const QString &text, const QString &source = u"en"_s, const QString &target = u"es"_s) {
            return MemoryKey {QString(), source, target, text};
        };
        {
            const auto memory = open();
            memory->clear(true);
            QVERIFY(memory->storePeople({{person(u"Open the file"_s), u"Abrir el archivo"_s, u"project X"_s},
                {person(u"Open the folder"_s), u"Abrir la carpeta"_s, u"project X"_s},
                {person(u"Open the file?"_s, u"en"_s, u"fr"_s), u"Ouvrir le fichier ?"_s, u"project Y"_s}}));
        }
        const QString earlierIndex =
            u"SELECT count(*) FROM pg_indexes WHERE indexname = 'translations_person_trigrams'"_s;
        const QString earlierFileIndex = u"SELECT count(*) FROM sqlite_master WHERE name LIKE 'people_trigrams%'"_s;
        const QString endIndexes = u"SELECT count(*) FROM pg_indexes WHERE indexname IN "
                                   u"('translations_person_pair_heads', 'translations_person_pair_tails')"_s;
        {
            // As a memory with an earlier version's index (PostgreSQL:
            // without the pair, and without the indexes of long texts' ends;
            // SQLite: with positions, the pair a column of its own, its
            // triggers queueing rows for it).
            QSqlDatabase file = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"noindex"_s);
            file.setDatabaseName(path);
            QSqlQuery query(shared ? check : (file.open() ? file : QSqlDatabase()));
            for (const QString &statement : shared
                    ? QStringList {u"DROP INDEX translations_person_pair_trigrams, translations_person_pair_heads, "
                                   u"translations_person_pair_tails"_s,
                        u"CREATE INDEX translations_person_trigrams ON translations USING gin (text gin_trgm_ops) "
                        u"WHERE origin = 'person'"_s}
                    : QStringList {u"DROP TRIGGER people_pieces_insert"_s, u"DROP TRIGGER people_pieces_update"_s,
                        u"DROP TRIGGER people_pieces_delete"_s, u"DROP TABLE people_pieces"_s,
                        u"DROP TABLE people_pieces_pending"_s,
                        u"CREATE VIRTUAL TABLE people_trigrams USING fts5(pair, text, content='', "
                        u"tokenize='trigram')"_s,
                        u"CREATE TABLE people_trigrams_pending (id INTEGER PRIMARY KEY)"_s,
                        u"CREATE TRIGGER people_trigrams_insert AFTER INSERT ON translations BEGIN INSERT OR IGNORE "
                        u"INTO people_trigrams_pending (id) SELECT new.rowid WHERE new.origin = 'person'; END"_s})
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase(u"noindex"_s);
        const auto memory = open();
        if (shared) {
            QCOMPARE(sql(earlierIndex).toInt(), 0);
            QCOMPARE(sql(endIndexes).toInt(), 2);
        } else {
            int left = -1; // the earlier index's tables and triggers
            {
                QSqlDatabase file = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"earlier"_s);
                file.setDatabaseName(path);
                QSqlQuery query(file.open() ? file : QSqlDatabase());
                if (query.exec(earlierFileIndex) && query.next())
                    left = query.value(0).toInt();
            }
            QSqlDatabase::removeDatabase(u"earlier"_s);
            QCOMPARE(left, 0);
        }
        const auto found = memory->closestPerson(person(u"Open the file."_s));
        QVERIFY(found);
        QCOMPARE(found->text, u"Open the file"_s);
        QCOMPARE(found->translation, u"Abrir el archivo"_s);
        QCOMPARE(found->note, u"project X"_s);
        QCOMPARE(found->score, 92);
        QCOMPARE(memory->closestPerson(person(u"Open the folders"_s))->text, u"Open the folder"_s);
        QCOMPARE(memory->closestPerson(person(u"Close the window"_s)), std::nullopt);
        QCOMPARE(memory->closestPerson(person(u"Open the file?"_s, u"en"_s, u"de"_s)), std::nullopt);
        QCOMPARE(memory->closestPerson(person(u"Open the file!"_s, u"en"_s, u"fr"_s))->translation,
            u"Ouvrir le fichier ?"_s);
        QVERIFY(memory->storePerson(person(u"Open the file"_s), u"Abre el archivo"_s, u"project Z"_s));
        QCOMPARE(memory->closestPerson(person(u"Open the file."_s))->translation, u"Abre el archivo"_s);
        memory->setMatchThreshold(95);
        QCOMPARE(memory->closestPerson(person(u"Open the file."_s)), std::nullopt);
        memory->setMatchThreshold(85);
        QCOMPARE(memory->clear(true), 3);
        QCOMPARE(memory->closestPerson(person(u"Open the file."_s)), std::nullopt);
        QVERIFY(memory->storePerson(person(u"Open the file"_s), u"Abrir"_s, QString()));
        QCOMPARE(memory->closestPerson(person(u"Open the file."_s))->translation, u"Abrir"_s);
        memory->clear(true);
    }

    // A text whose pieces are not three UTF-16 units each: a character
    // beyond U+FFFF, one that lower-cases to two ("İ"). Its close match is
    // found, and asking for it is no error that would leave the memory alone.
    void closeMatchesBeyondAscii_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("near");
        for (const bool shared : {false, true}) {
            const char *where = shared ? "PostgreSQL" : "SQLite file";
            QTest::addRow("%s: dotted capital I", where)
                << shared << u"İstanbul ofisi kapalı"_s << u"İstanbul ofisi kapali"_s;
            QTest::addRow("%s: emoji", where)
                << shared << u"Tap 👍 to like the photo"_s << u"Tap 👍 to like the photos"_s;
            QTest::addRow("%s: mathematical letters", where)
                << shared << u"Use 𝐛𝐨𝐥𝐝 for the title"_s << u"Use 𝐛𝐨𝐥𝐝 for the titles"_s;
        }
    }
    void closeMatchesBeyondAscii()
    {
        QFETCH(bool, shared);
        QFETCH(QString, stored);
        QFETCH(QString, near);
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(url, {}));
        server.password = password;
        const auto memory = shared ? std::make_unique<TranslationMemory>(server, 5)
                                   : std::make_unique<TranslationMemory>(dir.filePath(u"beyond.sqlite"_s), 5);
        memory->clear(true);
        const MemoryKey key {QString(), u"en"_s, u"tr"_s, stored};
        QVERIFY(memory->storePeople({{key, u"tr: "_s + stored, QString()},
            {{QString(), u"en"_s, u"tr"_s, u"Open the file"_s}, u"Dosyayı aç"_s, QString()}}));
        const auto found = memory->closestPerson({QString(), u"en"_s, u"tr"_s, near});
        QVERIFY(found);
        QCOMPARE(found->text, stored);
        QVERIFY(memory->lookupPerson(key)); // still answering
        memory->clear(true);
    }

    // The close match of a text changed from a stored one is as good as the
    // best that scoring every row finds, whatever the change, over the 360
    // source texts of qpdfview 0.5's German catalog (fill/tests/data) and 22
    // help texts of GNU packages (data/help-texts-es.json, up to 532
    // characters). One edit anywhere takes a short text's trigrams far
    // ("Save..." and "Sae...": pg_trgm's similarity 0.29); a long text's
    // first or last words reworded (12 % of it, within the threshold) leave
    // one end of it alike.
    void closeMatchesAsGoodAsEveryRow_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::addColumn<QString>("change");
        for (const QString &change : {u"one edit"_s, u"start reworded"_s, u"end reworded"_s}) {
            QTest::addRow("SQLite file, %s", qPrintable(change)) << false << change;
            QTest::addRow("PostgreSQL, %s", qPrintable(change)) << true << change;
        }
    }
    void closeMatchesAsGoodAsEveryRow()
    {
        QFETCH(bool, shared);
        QFETCH(QString, change);
        if (shared && !check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        QFile catalog(QStringLiteral(CATALOG_DATA "/qpdfview_de.ts")),
            help(QStringLiteral(TMX_DATA "/help-texts-es.json"));
        QVERIFY(catalog.open(QIODevice::ReadOnly) && help.open(QIODevice::ReadOnly));
        QStringList texts;
        for (QXmlStreamReader ts(&catalog); !ts.atEnd();) {
            if (ts.readNext() == QXmlStreamReader::StartElement && ts.name() == u"source")
                texts.append(ts.readElementText());
        }
        for (const QJsonValue &message : QJsonDocument::fromJson(help.readAll()).array())
            texts.append(message["source"_L1].toString());
        texts.removeDuplicates();
        QCOMPARE(texts.size(), 382);
        MemoryServer server = std::get<MemoryServer>(parseMemoryServer(url, {}));
        server.password = password;
        const auto memory = shared ? std::make_unique<TranslationMemory>(server, 5)
                                   : std::make_unique<TranslationMemory>(dir.filePath(u"every.sqlite"_s), 5);
        memory->clear(true);
        QList<PersonTranslation> people;
        for (const QString &text : std::as_const(texts))
            people.append({{QString(), u"en"_s, u"de"_s, text}, u"de: "_s + text, QString()});
        QVERIFY(memory->storePeople(people));
        QRandomGenerator random(17);
        QStringList worse;
        for (const QString &text : std::as_const(texts)) {
            if (text.isEmpty())
                continue;
            QString near = text;
            const qsizetype at = random.bounded(near.size());
            const qsizetype reworded = std::max<qsizetype>(1, text.size() * 12 / 100);
            if (change == u"start reworded")
                near.replace(0, reworded, QString(reworded, u'q'));
            else if (change == u"end reworded")
                near.replace(text.size() - reworded, reworded, QString(reworded, u'q'));
            else if (const int edit = random.bounded(3); edit == 0)
                near.remove(at, 1);
            else if (edit == 1)
                near[at] = near[at] == u'q' ? u'z' : u'q';
            else
                near.insert(at, u'q');
            int best = -1;
            for (const QString &row : std::as_const(texts))
                best = std::max(best, similarityScore(near, row, memory->threshold()));
            const auto found = memory->closestPerson({QString(), u"en"_s, u"de"_s, near});
            if ((found ? found->score : -1) != best)
                worse.append(u"\"%1\": %2 for %3"_s.arg(near).arg(found ? found->score : -1).arg(best));
        }
        QVERIFY2(worse.isEmpty(), qPrintable(worse.join(u"; "_s)));
        memory->clear(true);
    }

    // The pieces a close match's least similarity counts are pg_trgm's: each
    // word's, one-letter words and digits too, lower-cased, each once.
    void trigramCountAsPgTrgm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ellipsis") << u"Save..."_s;
        QTest::newRow("format and one letter") << u"%s: fatal error: "_s;
        QTest::newRow("apostrophe and case") << u"Don't DON'T"_s;
        QTest::newRow("digits") << u"1Ki = 1024,"_s;
        QTest::newRow("a word again and within") << u"the then the"_s;
        QTest::newRow("lines and columns") << u"  -W, --password\n\t force password prompt\n"_s;
    }
    void trigramCountAsPgTrgm()
    {
        QFETCH(QString, text);
        if (!check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        QSqlQuery query(check);
        QVERIFY(query.exec(u"CREATE EXTENSION IF NOT EXISTS pg_trgm"_s));
        QVERIFY(query.prepare(u"SELECT coalesce(array_length(show_trgm(:text), 1), 0)"_s));
        query.bindValue(u":text"_s, text);
        QVERIFY2(query.exec() && query.next(), qPrintable(query.lastError().text()));
        QCOMPARE(wordTrigramCount(text), query.value(0).toLongLong());
    }

    // Two services asked the same at the same moment both miss and ask the
    // engine, which answers each differently; the first stored wins, both
    // answer with it, and afterwards either answers it from the memory.
    void sameKeyAtOnceFirstWins()
    {
        if (!check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        QProcess a, b;
        QByteArray log;
        QList<QNetworkRequest> to;
        for (QProcess *service : {&a, &b}) {
            const QString port = QString::number(freeLoopbackPort());
            QVERIFY(start(*service, {u"--port"_s, port}, log));
            to.append(QNetworkRequest(QUrl(u"http://127.0.0.1:"_s + port)));
            to.last().setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
        }
        const qsizetype before = asked();
        for (int i = 0; i < 100; ++i) {
            const QByteArray form = programForm("en", "es", "Race%20" + QByteArray::number(i));
            std::unique_ptr<QNetworkReply> first(net.post(to[0], form)), second(net.post(to[1], form));
            QTRY_VERIFY(first->isFinished() && second->isFinished());
            QCOMPARE(first->readAll(), second->readAll()); // every answer of the engine differs
        }
        QVERIFY2(asked() > before + 100, "no two services raced");
        QCOMPARE(sql(u"SELECT count(*) FROM translations WHERE text LIKE 'Race %'"_s).toInt(), 100);
        const qsizetype raced = asked();
        for (const QNetworkRequest &request : to)
            QCOMPARE(httpExchange(net, request.url(), "POST", programForm("en", "es", "Race%207")).status, 200);
        QCOMPARE(asked(), raced);
        a.terminate();
        b.terminate();
        QVERIFY(a.waitForFinished(60000) && b.waitForFinished(60000)); // a sanitizer build checks for leaks at exit
    }

    void databaseStoppedAndStarted()
    {
        if (!check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        QProcess service;
        QByteArray log;
        const quint16 port = freeLoopbackPort();
        QVERIFY(start(service, {u"--port"_s, QString::number(port)}, log));
        const auto post = [&](const QByteArray &text) {
            return httpExchange(net, QUrl(u"http://127.0.0.1:%1/"_s.arg(port)), "POST", programForm("en", "es", text))
                .status;
        };
        QCOMPARE(post("Kept%20across"), 200);
        // A table another client keeps locked: the first request waits for
        // its look-up's and its write's time limits, the next ones skip the
        // memory; none of it is an outage ("cannot use" comes once, below).
        const auto timedOut = [this]() {
            QFile serverLog(cluster.filePath(u"server.log"_s));
            return serverLog.open(QIODevice::ReadOnly) ? serverLog.readAll().count("due to statement timeout") : -1;
        };
        const qsizetype before = timedOut();
        QVERIFY(check.transaction() && QSqlQuery(u"LOCK TABLE translations"_s, check).isActive());
        for (const QByteArray text : {"Locked%201", "Locked%202", "Locked%203"})
            QCOMPARE(post(text), 200);
        QVERIFY(check.rollback());
        // The look-up's; the write's too when it ran into the lock before the
        // rollback (it goes on after its request is answered).
        QVERIFY(timedOut() - before >= 1 && timedOut() - before <= 2);
        // A server that stops answering (SIGSTOP on it and its backends: its
        // sockets stay open, so only a deadline of the client's own helps):
        // every request is answered by the engine while it stays so, and
        // the memory answers again once it thaws.
        QFile pidFile(cluster.filePath(u"data/postmaster.pid"_s));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const QString server = QString::fromLatin1(pidFile.readLine().trimmed());
        const auto signal = [&server](const char *name) {
            QProcess::execute(u"pkill"_s, {QLatin1String(name), u"-P"_s, server});
            QProcess::execute(u"kill"_s, {QLatin1String(name), server});
        };
        const auto hits = [&]() { return (log += service.readAllStandardError()).count("from memory"); };
        signal("-STOP");
        const qsizetype hitsBefore = hits();
        for (const QByteArray text : {"Kept%20across", "Frozen%201", "Frozen%202", "Kept%20across"})
            QCOMPARE(post(text), 200);
        signal("-CONT");
        QCOMPARE(hits(), hitsBefore);
        QTRY_VERIFY_WITH_TIMEOUT((post("Kept%20across"), hits() > hitsBefore), 20000);
        QCOMPARE(postgres(u"stop"_s), 0);
        for (const QByteArray text : {"Away%201", "Away%202", "Away%203"})
            QCOMPARE(post(text), 200);
        const qsizetype hitsWhileAway = hits();
        QCOMPARE(postgres(u"start"_s), 0);
        QTRY_VERIFY_WITH_TIMEOUT((post("Kept%20across"), hits() > hitsWhileAway), 40000);
        QVERIFY(log.count("cannot use postgresql://") == 1 && log.contains("a look-up in postgresql://")
            && log.indexOf("is back in use") > log.indexOf("cannot use postgresql://")
            && !log.contains(password.toUtf8()));
        QVERIFY(check.open());
        service.terminate();
        QVERIFY(service.waitForFinished());
    }

    void forgetNeedsAllUsers()
    {
        if (!check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        QProcess refused, emptied;
        QByteArray log;
        QVERIFY(start(refused, {u"--forget"_s}, log) && refused.exitCode() == 2 && log.contains("--all-users"));
        const qint64 entries = sql(u"SELECT count(*) FROM translations"_s).toLongLong();
        QVERIFY(start(emptied, {u"--forget"_s, u"--all-users"_s}, log) && emptied.exitCode() == 0);
        QVERIFY2(entries > 0 && log.contains("removed " + QByteArray::number(entries) + " translations"), log);
        QCOMPARE(sql(u"SELECT count(*) FROM translations"_s).toInt(), 0);
    }

    // A real GNU catalog through po2tmx into the database and back out, read
    // by translate-toolkit; --forget keeps people's rows unless --people.
    void tmxInAndOut()
    {
        if (!check.isOpen())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        if (QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import translate.storage.tmx"_s}) != 0)
            QSKIP("translate-toolkit is not installed (Debian package translate-toolkit)");
        const QString made = dir.filePath(u"hello.tmx"_s), back = dir.filePath(u"hello-back.tmx"_s);
        QCOMPARE(QProcess::execute(u"/usr/bin/python3"_s,
                     {u"-m"_s, u"translate.convert.po2tmx"_s, u"--progress=none"_s, u"-l"_s, u"es"_s,
                         QStringLiteral(TMX_DATA "/hello-es.po"), made}),
            0);
        QByteArray log;
        const auto run = [&](const QStringList &arguments) {
            QProcess service;
            start(service, arguments, log);
            if (service.state() != QProcess::NotRunning)
                service.waitForFinished(60000);
            log += service.readAllStandardError();
            return service.exitCode();
        };
        QCOMPARE(run({u"--import"_s, made}), 0);
        QVERIFY2(log.contains("stored 27 people's"), log.constData());
        QCOMPARE(run({u"--export"_s, back, u"--people-only"_s}), 0);
        QProcess python;
        python.start(u"/usr/bin/python3"_s, {QStringLiteral(TMX_JUDGE), made, back});
        QVERIFY(python.waitForFinished(60000));
        QCOMPARE(python.readAllStandardOutput().trimmed(), "same 27"_ba);
        // A thousand learnt at once through a running service, then answering.
        QProcess service;
        const QString port = QString::number(freeLoopbackPort());
        QVERIFY(start(service, {u"--port"_s, port}, log));
        QJsonArray items;
        for (int i = 0; i < 1000; ++i)
            items.append(
                QJsonObject {{"text"_L1, u"Learnt %1"_s.arg(i)}, {"translation"_L1, u"Aprendido %1"_s.arg(i)}});
        const QUrl url(u"http://127.0.0.1:"_s + port);
        const HttpAnswer learnt = httpExchange(net, url.resolved(QUrl(u"learn"_s)), "POST",
            QJsonDocument(QJsonObject {{"from"_L1, "en"_L1}, {"to"_L1, "es"_L1}, {"items"_L1, items}}).toJson(),
            "application/json");
        QCOMPARE(learnt.body, R"({"stored":1000})"_ba);
        const HttpAnswer answered = httpExchange(net, url.resolved(QUrl(u"batch"_s)), "POST",
            R"({"from":"en","to":"es","items":[{"id":1,"text":"Learnt 999"},{"id":2,"text":"Hello, world!"}]})",
            "application/json");
        QVERIFY2(answered.body.contains(R"("origin":"person","score":100,"status":200,"text":"Aprendido 999")")
                && answered.body.contains(
                    R"("note":"hello.tmx","origin":"person","score":100,"status":200,"text":"¡Hola mundo!")"),
            answered.body.constData());
        service.terminate();
        QVERIFY(service.waitForFinished());
        QCOMPARE(run({u"--forget"_s, u"--all-users"_s}), 0);
        QVERIFY2(log.contains("keeps 1027 people's"), log.constData());
        QCOMPARE(run({u"--forget"_s, u"--all-users"_s, u"--people"_s}), 0);
        QCOMPARE(sql(u"SELECT count(*) FROM translations"_s).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceSharedMemory)
#include "test_service_sharedmemory.moc"
