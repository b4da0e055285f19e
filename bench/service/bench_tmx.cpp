// Measures importing a TMX file of 100,000 units into the translation memory
// (an SQLite file), in units per second, against two references measured
// in the same run on the same file:
//  - a plain parse of it with QXmlStreamReader, every segment's text read;
//  - an SQLite bulk insert of the same rows, in one transaction, into a
//    table of the memory's shape (no digests, no checksums, no index but the
//    key's);
// then the import through the program itself (tarnix-service --import, its
// start included), and the export of what was imported.
// The units are made up here: sentences of varied length with placeholders
// and inline codes, as CAT tools export them.

#include <cstdio>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "service/memory/memorykey.h"
#include "service/memory/tmx.h"
#include "service/memory/translationmemory.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

constexpr int units = 100000;

const QStringList words {u"open"_s, u"the"_s, u"file"_s, u"settings"_s, u"cannot"_s, u"save"_s, u"document"_s,
    u"window"_s, u"network"_s, u"connection"_s, u"was"_s, u"lost"_s, u"please"_s, u"try"_s, u"again"_s};

QString sentence(int n, int salt)
{
    QString text;
    for (int w = 0; w < 4 + (n * 7 + salt) % 12; ++w)
        text += (w ? u" "_s : QString()) + words[(n * 31 + w * 17 + salt) % words.size()];
    return text + u" %1"_s.arg(n);
}

bool writeFile(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(u"tmx"_s);
    xml.writeAttribute(u"version"_s, u"1.4"_s);
    xml.writeEmptyElement(u"header"_s);
    xml.writeAttribute(u"srclang"_s, u"en"_s);
    xml.writeAttribute(u"segtype"_s, u"sentence"_s);
    xml.writeStartElement(u"body"_s);
    for (int n = 0; n < units; ++n) {
        xml.writeStartElement(u"tu"_s);
        if (n % 3 == 0) {
            xml.writeStartElement(u"prop"_s);
            xml.writeAttribute(u"type"_s, u"x-context"_s);
            xml.writeCharacters(u"dialog %1"_s.arg(n % 50));
            xml.writeEndElement();
        }
        for (const auto &[language, text] : {std::pair {u"en"_s, sentence(n, 0)}, {u"es"_s, sentence(n, 5)}}) {
            xml.writeStartElement(u"tuv"_s);
            xml.writeAttribute(u"xml:lang"_s, language);
            xml.writeStartElement(u"seg"_s);
            xml.writeCharacters(text);
            if (n % 4 == 0) {
                xml.writeCharacters(u" "_s);
                xml.writeTextElement(u"ph"_s, u"%s"_s);
            }
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return !xml.hasError() && file.commit();
}

// A plain parse: every segment's text read, nothing else done with it.
qint64 plainParse(const QString &path, double &seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QElapsedTimer clock;
    clock.start();
    QXmlStreamReader xml(&file);
    qint64 segments = 0, characters = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"seg") {
            characters += xml.readElementText(QXmlStreamReader::IncludeChildElements).size();
            ++segments;
        }
    }
    seconds = clock.nsecsElapsed() / 1e9;
    std::printf("segments' text: %lld characters\n", qlonglong(characters));
    if (xml.hasError())
        std::fprintf(stderr, "%s\n", qPrintable(xml.errorString()));
    return xml.hasError() ? -1 : segments / 2;
}

// The same rows into a table of the memory's shape, one transaction.
bool bulkInsert(const QString &tmx, const QString &database, double &seconds)
{
    QFile file(tmx);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QElapsedTimer reading;
    reading.start();
    TmxReader reader(&file);
    QList<TmxTranslation> rows;
    while (const auto unit = reader.next())
        rows += *unit;
    std::printf("TmxReader alone:                  %.2f s\n", reading.nsecsElapsed() / 1e9);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bulk"_s);
        db.setDatabaseName(database);
        QSqlQuery query(db.open() ? db : QSqlDatabase());
        query.exec(u"PRAGMA journal_mode=WAL"_s);
        query.exec(u"PRAGMA synchronous=NORMAL"_s);
        query.exec(u"CREATE TABLE t (key BLOB NOT NULL UNIQUE, engine TEXT NOT NULL, source TEXT NOT NULL, "
                   u"target TEXT NOT NULL, text TEXT NOT NULL, context TEXT NOT NULL, translation TEXT NOT NULL, "
                   u"stored INTEGER NOT NULL, used INTEGER NOT NULL, origin TEXT NOT NULL, note TEXT NOT NULL)"_s);
        QElapsedTimer clock;
        clock.start();
        ok = query.exec(u"BEGIN"_s)
            && query.prepare(u"INSERT INTO t VALUES (:key, '', :source, :target, :text, :context, :translation, 0, "
                             u"0, 'person', 'bench')"_s);
        qint64 n = 0;
        for (const TmxTranslation &row : std::as_const(rows)) {
            query.bindValue(u":key"_s, QByteArray::number(n++));
            query.bindValue(u":source"_s, row.source);
            query.bindValue(u":target"_s, row.target);
            query.bindValue(u":text"_s, row.text);
            query.bindValue(u":context"_s, row.context.isNull() ? u""_s : row.context);
            query.bindValue(u":translation"_s, row.translation);
            ok = ok && query.exec();
        }
        ok = ok && query.exec(u"COMMIT"_s);
        seconds = clock.nsecsElapsed() / 1e9;
        if (!ok)
            std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(u"bulk"_s);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString tmx = dir.filePath(u"units.tmx"_s);
    if (!writeFile(tmx)) {
        std::fputs("cannot write the TMX file\n", stderr);
        return 1;
    }
    std::printf("TMX file: %d units, %.1f MB\n", units, QFile(tmx).size() / 1e6);

    double parse = 0, bulk = 0;
    if (const qint64 parsed = plainParse(tmx, parse); parsed != units) {
        std::fprintf(stderr, "the plain parse read %lld units\n", qlonglong(parsed));
        return 1;
    }
    if (!bulkInsert(tmx, dir.filePath(u"bulk.sqlite"_s), bulk)) {
        std::fputs("the bulk insert failed\n", stderr);
        return 1;
    }
    std::printf("plain parse (QXmlStreamReader):   %.2f s, %.0f units/s\n", parse, units / parse);
    std::printf("SQLite bulk insert of the rows:   %.2f s, %.0f units/s\n", bulk, units / bulk);

    TmxImport imported;
    double import = 0;
    {
        QFile file(tmx);
        file.open(QIODevice::ReadOnly);
        TranslationMemory memory(dir.filePath(u"memory.sqlite"_s), 100000);
        QElapsedTimer clock;
        clock.start();
        imported = importTmx(&file, u"bench"_s, memory);
        import = clock.nsecsElapsed() / 1e9;
    }
    if (imported.people != units || !imported.error.isEmpty()) {
        std::fprintf(stderr, "the import stored %lld of %d units: %s\n", qlonglong(imported.people), units,
            qPrintable(imported.error));
        return 1;
    }
    std::printf(
        "import (parse, digests, upserts): %.2f s, %.0f units/s (target >= 20,000/s)\n", import, units / import);
    std::printf("  = %.2f x the plain parse's time + %.2f x the bulk insert's time of the same rows\n", import / parse,
        import / bulk);
    std::printf("  against both together: %.2f x\n", import / (parse + bulk));

    QFile conf(dir.filePath(u"service.conf"_s));
    conf.open(QIODevice::WriteOnly);
    conf.write("[memory]\npath = " + dir.filePath(u"program.sqlite"_s).toUtf8() + "\nmax-entries = 100000\n");
    conf.close();
    QProcess program;
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(TARNIX_SERVICE_BINARY), {u"--config"_s, conf.fileName(), u"--import"_s, tmx});
    program.waitForFinished(-1);
    const double run = clock.nsecsElapsed() / 1e9;
    std::printf("tarnix-service --import:          %.2f s, %.0f units/s (exit %d, start included)\n", run, units / run,
        program.exitCode());

    clock.restart();
    program.start(QStringLiteral(TARNIX_SERVICE_BINARY),
        {u"--config"_s, conf.fileName(), u"--export"_s, dir.filePath(u"back.tmx"_s)});
    program.waitForFinished(-1);
    const double exported = clock.nsecsElapsed() / 1e9;
    std::printf("tarnix-service --export:          %.2f s, %.0f units/s (exit %d), %.2f x the plain parse\n", exported,
        units / exported, program.exitCode(), exported / parse);
    return 0;
}
