#include "fill/run.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "fill/answer.h"
#include "fill/check.h"
#include "fill/estimator.h"
#include "fill/formatfor.h"
#include "fill/formats/catalog.h"
#include "fill/glossarycheck.h"
#include "fill/languages.h"
#include "fill/plan.h"
#include "fill/review.h"
#include "fill/serviceclient.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

void say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

// One catalog in one language: a file, or a template and the catalog it starts.
struct FillRun::Job
{
    QString writePath;
    QString language;
    int pluralForms = 0;
    QStringList categories; // a format whose plural forms go by CLDR category: the language's, in order
    std::unique_ptr<CatalogFormat> format;
    Catalog catalog;
    FileStamp stamp;
    QList<ReviewItem> record; // the review record as read, for a format that marks no review
    FileStamp recordStamp;
    bool sourceCrlf = false; // the template a new catalog starts from ends its lines in CR LF
    QList<int> todo; // entry indices
    QHash<int, QStringList> answers; // entry index -> answers so far
    QHash<int, int> outstanding; // entry index -> texts not answered yet
    QSet<int> fromMemory; // entries with an answer from the service's memory
    QHash<int, PersonOrigin> people; // entries whose first text a person's translation answered
    QHash<int, bool> personFills; // Entry::id of a fill from a person's translation: whether a close match
    QList<Fill> fills;
    Counts counts;
    bool newCatalog = false;
    bool oneOfLanguages = false; // a language of a file that holds several
    bool written = false;

    // The service's code of the language the catalog is translated from.
    QString serviceSource() const
    {
        return catalog.sourceLanguage.isEmpty() ? u"en"_s : serviceLanguage(catalog.sourceLanguage);
    }
};

FillRun::FillRun(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , terminal(::isatty(STDERR_FILENO))
{ }

FillRun::~FillRun() = default;

void FillRun::fileError(const QString &message)
{
    errors = true;
    say(u"tarnix-fill: "_s + message + u'\n');
}

bool FillRun::prepare()
{
    for (const QString &path : options.files) {
        const QFileInfo info(path);
        if (!info.exists()) {
            fileError(path + u":0: no such file"_s);
            continue;
        }
        const FormatInfo *format = formatFor(path);
        if (!format) {
            fileError(path + u":0: not a catalog (tarnix-fill reads %1 files)"_s.arg(readableFiles()));
            continue;
        }
        if (format->languagesIn) {
            // A file that holds every language: a job per language over the
            // same file, each write starting from the one before (write()).
            QStringList languages = options.to.isEmpty() ? format->languagesIn(path) : options.to;
            if (languages.isEmpty())
                fileError(path + u":0: holds no language but its source: name the languages to fill with --to"_s);
            for (QString &language : languages) {
                language.replace(u'_', u'-'); // as Xcode names them: "pt-BR", "zh-Hans"
                addJob(*format, {path, {}, language}, language);
            }
            continue;
        }
        const bool source = format->isSource && format->isSource(path, options.sourceLanguage);
        if (!source || options.check) {
            CatalogFiles files {path, options.source};
            if (files.source.isEmpty() && format->sourceFor && !source)
                files.source = format->sourceFor(path, options.sourceLanguage);
            addJob(*format, files, QString());
            continue;
        }
        if (options.to.isEmpty()) {
            fileError(path + u":0: a source file is filled into catalogs: name their languages with --to"_s);
            continue;
        }
        // An existing catalog is filled, never replaced by a new one.
        for (const QString &language : options.to)
            addJob(*format, {format->targetFor(path, language), path}, language);
    }
    for (const auto &job : jobs)
        total += job->todo.size();
    return !jobs.empty();
}

void FillRun::addJob(const FormatInfo &format, const CatalogFiles &files, const QString &language)
{
    const QString &writePath = files.target;
    // One job per catalog: "po/es.po" given beside "po/app.pot --to es" is filled once.
    // A file that holds every language has a job per language.
    const QString canonical =
        QFileInfo(writePath).absoluteFilePath() + (files.language.isEmpty() ? QString() : u'\n' + files.language);
    if (targets.contains(canonical))
        return;
    targets.insert(canonical);
    auto job = std::make_unique<Job>();
    job->writePath = writePath;
    job->format = format.make();
    job->stamp = stampOf(writePath);
    job->newCatalog = !job->stamp.exists;
    job->oneOfLanguages = !files.language.isEmpty();
    job->sourceCrlf = job->newCatalog && stampOf(files.source).crlf;
    const QString readPath = job->newCatalog ? files.source : writePath;
    if (!files.source.isEmpty() && !QFileInfo::exists(files.source)) {
        fileError(u"%1:0: its source texts are in %2, which does not exist: name the file with --source"_s.arg(
            writePath, files.source));
        return;
    }
    if (!options.check && !options.dryRun) {
        // A linked catalog is written where its link leads, as editors do.
        const QFileInfo target(linkTarget(writePath));
        // A new catalog's own folder ("locales/de/") is made when it is written.
        QString folder = target.absolutePath();
        while (!QFileInfo::exists(folder) && folder != QFileInfo(folder).path())
            folder = QFileInfo(folder).path();
        const QFileInfo directory(folder);
        // A file without write permission is left alone even by a user who
        // could write it anyway (root): its owner made it read-only.
        const bool readOnly = target.exists() && (!target.isWritable() || !(target.permissions() & QFile::WriteOwner));
        if (readOnly || !directory.isWritable()) {
            fileError(writePath + u":0: cannot write here (read-only)"_s);
            return;
        }
        const QStringList stale = removeStaleTemporaries(target.absoluteFilePath());
        if (!stale.isEmpty())
            say(u"tarnix-fill: removed what a killed run left beside %1: %2\n"_s.arg(writePath, stale.join(u", "_s)));
    }
    QString error;
    if (!job->format->read(files, job->catalog, error)) {
        fileError(error);
        return;
    }
    for (const QString &notice : std::as_const(job->catalog.notices)) {
        if (!notices.contains(notice))
            say(u"tarnix-fill: "_s + notice + u'\n');
        notices.insert(notice);
    }
    if (!options.dryRun && !job->format->marksReview()) {
        // The fills are known as the machine's through the record alone:
        // a catalog whose record cannot be read is not filled (nor checked
        // as a person's).
        if (!options.check)
            removeStaleTemporaries(linkTarget(reviewRecordPath(writePath)));
        auto record = readRecord(writePath, job->recordStamp, error);
        if (!record) {
            fileError(error + (options.check ? QString() : u"; the catalog is left as it was"_s));
            return;
        }
        job->record = *record;
    }
    job->language = job->newCatalog ? language : catalogLanguage(job->catalog, options.language);
    if (job->language.isEmpty() && !options.check) {
        fileError(readPath + u":0: names no language in its header or file name: give one with --language"_s);
        return;
    }
    const PluralRule rule = pluralRule(job->language);
    job->pluralForms = job->catalog.pluralForms > 0 && !job->newCatalog ? job->catalog.pluralForms : rule.count;
    if (job->pluralForms == 0)
        job->pluralForms = 2; // a language neither the file nor the table knows: gettext's default
    if (job->format->pluralByCategory() && !job->language.isEmpty()) {
        job->categories = pluralCategoriesOf(job->language);
        job->pluralForms = int(job->categories.size());
    }
    job->counts.file = QDir::current().relativeFilePath(writePath);
    if (job->counts.file.startsWith(u"../"_s))
        job->counts.file = writePath;
    job->counts.language = job->language;
    for (int i = 0; i < job->catalog.entries.size(); ++i) {
        const Entry &entry = job->catalog.entries[i];
        if (entry.obsolete || entry.source.isEmpty())
            continue;
        ++job->counts.entries;
        if (isTranslated(entry))
            ++(entry.fuzzy ? job->counts.review : job->counts.translated);
        if (needsFill(entry, options.refillFuzzy))
            job->todo.append(i);
    }
    job->counts.toFill = job->todo.size();
    jobs.push_back(std::move(job));
}

int FillRun::check()
{
    int found = 0;
    // The team's glossary of each pair, as the service that holds it serves
    // it; people's translations are held to it too. --glossary's files stand
    // in for the service's.
    QHash<QString, TeamGlossary> glossaries;
    std::optional<service::GlossarySettings> given;
    if (!options.glossaries.isEmpty()) {
        auto read = readGlossaryFiles(options.glossaries);
        if (const auto *error = std::get_if<QString>(&read)) {
            say(u"tarnix-fill: --glossary: %1\n"_s.arg(*error));
            errors = true;
            return 0;
        }
        given = std::get<service::GlossarySettings>(std::move(read));
    }
    bool unreached = false;
    for (const auto &job : jobs) {
        const QString source = job->serviceSource();
        const QString target = job->language.isEmpty() ? QString() : serviceLanguage(job->language);
        const QString pair = source + u'|' + target;
        if (given && !target.isEmpty() && !glossaries.contains(pair))
            glossaries.insert(pair, TeamGlossary {true, glossaryOf(*given, source, target)});
        if (!given && !target.isEmpty() && !glossaries.contains(pair) && !unreached) {
            glossaries.insert(pair, fetchGlossary(options.service, source, target));
            if (!glossaries[pair].reached) {
                unreached = true;
                say(u"tarnix-fill: no translation service answers at %1: translations are not checked against the "
                    u"team's glossary\n"_s.arg(options.service.toString()));
            }
        }
        const auto glossary = glossaries.value(pair).glossary;
        // A person's translation: one that awaits no review.
        const QList<int> machine = unreviewedEntries(job->catalog.entries, job->format->marksReview(), job->record);
        const QSet<int> awaiting(machine.cbegin(), machine.cend());
        for (qsizetype i = 0; i < job->catalog.entries.size(); ++i) {
            const Entry &entry = job->catalog.entries[i];
            QList<Finding> findings = checkEntry(entry, job->language, job->categories);
            if (glossary && !entry.obsolete && !entry.fuzzy && !awaiting.contains(int(i)))
                findings += glossaryFindings(entry, *glossary);
            for (const Finding &finding : std::as_const(findings)) {
                ++found;
                std::printf("%s:%d: %s\n", qPrintable(job->catalog.path), finding.line, qPrintable(finding.what));
            }
        }
    }
    std::fflush(stdout);
    return found;
}

void FillRun::printPlan()
{
    QList<Counts> rows;
    for (const auto &job : jobs) {
        rows.append(job->counts);
        const QString file = job->newCatalog ? QDir::current().relativeFilePath(job->catalog.path) : job->counts.file;
        for (int index : std::as_const(job->todo)) {
            const Entry &entry = job->catalog.entries[index];
            std::puts(qPrintable(plannedEntry(
                file, entry.line, job->newCatalog || job->oneOfLanguages ? job->language : QString(), entry.source)));
        }
    }
    std::fputs(summaryTable(rows, true).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

QList<PlannedTexts> FillRun::plannedTexts() const
{
    QList<PlannedTexts> planned;
    for (const auto &job : jobs) {
        PlannedTexts catalog {
            job->counts.file, job->counts.language, job->serviceSource(), serviceLanguage(job->language), {}, {}};
        for (int index : job->todo) {
            const Entry &entry = job->catalog.entries[index];
            catalog.texts.append(textsToAsk(entry, job->language));
            catalog.contexts.append(contextOf(entry));
        }
        planned.append(catalog);
    }
    return planned;
}

void FillRun::start(const QUrl &service)
{
    client = std::make_unique<ServiceClient>(service, options.jobs);
    clock.start();
    for (const auto &job : jobs) {
        Job *current = job.get();
        const QString source = job->serviceSource();
        for (int index : job->todo) {
            const Entry &entry = job->catalog.entries[index];
            const QStringList texts = textsToAsk(entry, current->language);
            if (texts.isEmpty()) {
                // An ICU message with no words, or one that does not parse: done without asking.
                finishEntry(*current, index, {});
                continue;
            }
            const QString context = contextOf(entry);
            current->outstanding.insert(index, int(texts.size()));
            current->answers.insert(index, QStringList(texts.size(), QString()));
            for (int t = 0; t < texts.size(); ++t) {
                client->ask(source, serviceLanguage(current->language), texts[t], context,
                    [this, current, index, t](const Answer &answer) { answered(*current, index, t, answer); });
            }
        }
    }
    for (const auto &job : jobs) {
        if (job->outstanding.isEmpty())
            write(*job);
    }
    showProgress(true);
    finishIfDone();
}

void FillRun::answered(Job &job, int entryIndex, int textIndex, const Answer &answer)
{
    if (job.written)
        return;
    // What each engine did, counted as an estimate counts it: an entry under
    // the engine of its first text.
    if (!answer.engine.isEmpty()) {
        EngineEstimate &tally = engines[answer.engine];
        tally.characters += answer.characters;
        requestShares[answer.engine] += answer.requests;
        if (textIndex == 0) {
            ++tally.entries;
            tally.remembered += answer.fromMemory ? 1 : 0;
        }
    }
    auto remaining = job.outstanding.find(entryIndex);
    if (remaining == job.outstanding.end())
        return; // the entry already failed through its other text
    if (answer.kind != Answer::Kind::Translated) {
        job.outstanding.erase(remaining);
        (answer.kind == Answer::Kind::Refused ? job.counts.refused : job.counts.failed) += 1;
        ++job.counts.reasons[answer.text];
        ++completed;
    } else {
        job.answers[entryIndex][textIndex] = answer.text;
        if (answer.fromMemory)
            job.fromMemory.insert(entryIndex);
        if (textIndex == 0 && answer.origin.person)
            job.people.insert(entryIndex, answer.origin);

        if (--remaining.value() == 0) {
            job.outstanding.erase(remaining);
            finishEntry(job, entryIndex, job.answers.take(entryIndex));
        }
    }
    showProgress();
    if (job.outstanding.isEmpty())
        write(job);
    finishIfDone();
}

void FillRun::finishEntry(Job &job, int entryIndex, const QStringList &answers)
{
    const Entry &entry = job.catalog.entries[entryIndex];
    const EntryFill fill = fillFromAnswers(entry, answers, {job.language, job.pluralForms, job.categories});
    ++completed;
    if (!fill.refused.isEmpty()) {
        ++job.counts.refused;
        ++job.counts.reasons[fill.refused];
        return;
    }
    const auto person = job.people.constFind(entryIndex);
    const bool fromPerson = person != job.people.cend();
    job.fills.append({entry.id, fill.forms, fromPerson ? originComment(*person) : QString()});
    ++job.counts.filled;
    if (fromPerson) {
        ++(person->close() ? job.counts.close : job.counts.people);
        job.personFills.insert(entry.id, person->close());
    } else if (job.fromMemory.contains(entryIndex))
        ++job.counts.fromMemory;
}

void FillRun::write(Job &job)
{
    if (job.written)
        return;
    job.written = true;
    if (job.fills.isEmpty() && !job.newCatalog) {
        if (interrupted)
            say(u"tarnix-fill: interrupted: %1 left as it was, nothing filled yet\n"_s.arg(job.writePath));
        else if (!terminal)
            say(u"%1: nothing filled\n"_s.arg(job.counts.file));
        return; // nothing to change: the file is not touched
    }
    WriteResult result = job.format->write(job.fills, job.language, job.pluralForms);
    if (!result.ok) {
        fileError(result.error);
        notWritten(job);
        return;
    }
    if (!result.skipped.isEmpty()) {
        job.counts.filled -= int(result.skipped.size());
        for (const int id : std::as_const(result.skipped)) {
            const auto person = job.personFills.constFind(id);
            if (person != job.personFills.cend())
                --(*person ? job.counts.close : job.counts.people);
        }
        job.counts.failed += int(result.skipped.size());
        job.counts.reasons[result.skippedWhy] += int(result.skipped.size());
    }
    if (job.stamp.crlf || job.sourceCrlf)
        result.bytes = withCrlf(result.bytes);
    const QString folder = QFileInfo(linkTarget(job.writePath)).absolutePath();
    if (job.newCatalog && !QDir().mkpath(folder)) {
        fileError(u"%1:0: cannot make its folder %2; the catalog is not written"_s.arg(job.writePath, folder));
        notWritten(job);
        return;
    }
    // The record first: a catalog whose fills it lacks would pass them off
    // as a person's; a record with fills the catalog lacks lists nothing.
    QList<ReviewItem> record;
    if (!job.format->marksReview()) {
        QHash<int, QString> keys; // Entry::id -> Entry::key
        for (const Entry &entry : std::as_const(job.catalog.entries))
            keys.insert(entry.id, entry.key);
        QList<ReviewItem> filled;
        for (const Fill &fill : std::as_const(job.fills)) {
            if (!result.skipped.contains(fill.id))
                filled.append({keys.value(fill.id), fill.forms, fill.origin});
        }
        record = mergedRecord(job.record, job.catalog.entries, filled);
        const QString why = putRecord(job.writePath, record, job.recordStamp);
        if (!why.isEmpty()) {
            fileError(why + u"; the catalog is left as it was"_s);
            notWritten(job);
            return;
        }
    }
    const Written written = writeReplacing(result.bytes, job.writePath, job.stamp);
    if (!written.error.isEmpty()) {
        fileError(u"%1:0: %2; the catalog is left as it was"_s.arg(job.writePath, written.error));
        notWritten(job);
        return;
    }
    const QString &placed = written.placed;
    // The other languages of a file that holds every language go on from
    // these bytes, where they went.
    for (const auto &other : jobs) {
        if (other.get() != &job && !other->written
            && QFileInfo(other->writePath).absoluteFilePath() == QFileInfo(job.writePath).absoluteFilePath()
            && other->format->follow(result.bytes)) {
            other->writePath = placed;
            other->stamp = stampOf(placed);
        }
    }
    if (!written.note.isEmpty())
        say(u"tarnix-fill: %1: %2\n"_s.arg(placed, written.note));
    if (placed != job.writePath) {
        errors = true;
        if (!job.format->marksReview()) {
            const QString why = putRecord(placed, record, stampOf(reviewRecordPath(placed)));
            if (!why.isEmpty())
                fileError(why);
        }
        say(u"tarnix-fill: %1 changed on disk during the run and is left as it is; the filled catalog is %2\n"_s.arg(
            job.writePath, placed));
    }
    if (interrupted)
        say(u"tarnix-fill: interrupted: %1 written with the %2 entries filled so far\n"_s.arg(placed).arg(
            job.counts.filled));
    else if (!terminal)
        say(u"%1: %2 filled, %3 refused, %4 failed\n"_s.arg(job.counts.file)
                .arg(job.counts.filled)
                .arg(job.counts.refused)
                .arg(job.counts.failed));
}

void FillRun::notWritten(Job &job)
{
    // Its answers are lost with the file: the table must not count them as filled.
    if (job.counts.filled > 0)
        job.counts.reasons[u"the catalog could not be written"_s] += job.counts.filled;
    job.counts.failed += job.counts.filled;
    job.counts.filled = 0;
    job.counts.fromMemory = 0;
    job.counts.people = 0;
    job.counts.close = 0;
}

void FillRun::interrupt()
{
    if (done)
        return;
    interrupted = true;
    if (!client) {
        done = true; // before any request: nothing to write
        emit finished();
        return;
    }
    client->cancel();
    if (terminal)
        say(u"\n"_s);
    for (const auto &job : jobs)
        write(*job);
    finishIfDone();
}

void FillRun::showProgress(bool force)
{
    if (!terminal || done)
        return;
    const qint64 now = clock.elapsed();
    if (!force && completed != total && now - lastProgress < 100)
        return;
    lastProgress = now;
    say(u"\r"_s + progressLine(completed, total, double(now) / 1000.0) + u"\x1b[K"_s);
}

void FillRun::finishIfDone()
{
    if (done)
        return;
    for (const auto &job : jobs) {
        if (!job->written)
            return;
    }
    done = true;
    if (terminal)
        say(u"\n"_s);
    QList<Counts> rows;
    for (const auto &job : jobs)
        rows.append(job->counts);
    QString table = summaryTable(rows, false);
    if (!engines.isEmpty()) {
        QMap<QString, EngineEstimate> done = engines;
        for (auto it = done.begin(); it != done.end(); ++it)
            it->requests = qint64(std::lround(requestShares.value(it.key())));
        table += engineTable(done);
    }
    std::fputs(table.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    emit finished();
}

int FillRun::exitStatus() const
{
    if (errors)
        return 2;
    if (interrupted)
        return 1;
    for (const auto &job : jobs) {
        if (job->counts.refused > 0 || job->counts.failed > 0)
            return 1;
    }
    return 0;
}

} // namespace tarnix::fill
