#pragma once

#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>

#include "fill/estimate.h"
#include "fill/options.h"
#include "fill/report.h"
#include "fill/safewrite.h"

class QTextStream;

namespace tarnix::fill {

class CatalogFormat;
class ServiceClient;
struct Catalog;

// One run of tarnix-fill over its files: reads every catalog first (a file
// that cannot be read, written or understood is reported and left out before
// any request), then asks the service for every entry to fill, across all
// files at once, and writes each catalog safely once its answers are in.
class FillRun : public QObject
{
    Q_OBJECT

public:
    explicit FillRun(const Options &options, QObject *parent = nullptr);
    ~FillRun() override;

    // Reads and plans; prints errors of files. False when no file is left.
    bool prepare();
    // --check over the read files: prints each finding; how many.
    int check();
    // --dry-run: the table of what would be filled.
    void printPlan();
    // What the run would ask, per catalog and language, for --estimate.
    QList<struct PlannedTexts> plannedTexts() const;
    // Starts asking the service; finished() once every catalog is written.
    void start(const QUrl &service);
    // Ctrl-C, SIGTERM: no more requests; what is filled so far is written.
    void interrupt();

    int exitStatus() const;
    bool wasInterrupted() const { return interrupted; }

signals:
    void finished();

private:
    struct Job;
    void addJob(const struct FormatInfo &format, const struct CatalogFiles &files, const QString &language);
    void answered(Job &job, int entryIndex, int textIndex, const struct Answer &answer);
    // Every text of the entry answered: its fill, or its refusal.
    void finishEntry(Job &job, int entryIndex, const QStringList &answers);
    void write(Job &job);
    void notWritten(Job &job);
    void showProgress(bool force = false);
    void fileError(const QString &message);
    void finishIfDone();

    Options options;
    std::vector<std::unique_ptr<Job>> jobs;
    QSet<QString> targets; // the absolute paths of the catalogs the jobs write
    QSet<QString> notices; // what readers said, each said once
    std::unique_ptr<ServiceClient> client;
    QMap<QString, EngineEstimate> engines; // what each engine did in this run
    QMap<QString, double> requestShares; // per engine: its requests, summed from each answer's share
    bool errors = false;
    bool interrupted = false;
    bool done = false;
    bool terminal = false;
    qint64 total = 0;
    qint64 completed = 0;
    QElapsedTimer clock;
    qint64 lastProgress = -1;
};

} // namespace tarnix::fill
