#pragma once

#include <variant>

#include <QDeadlineTimer>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"

namespace tarnix::service {

class ApyProcess;

// Apertium through its HTTP server APy. APy plans the chain of installed
// pairs (/translateChain), so English reaches Italian through Spanish: a pair
// is offered when APy finds a chain for it. Each pair of the chain is then
// translated with its own /translate call, because APy's chained translation
// keeps the unknown-word marks ('*') of the middle steps even with
// markUnknown=no. Identical steps in flight at the same time are sent once: a
// run from English to Italian, Portuguese and French needs the English-Spanish
// step of the same text three times.
class ApertiumEngine : public Engine
{
    Q_OBJECT

public:
    // An APy this service started translates with the pairs installed here,
    // wherever it listens; a given APy is known by its address.
    enum class Apy { Given, Started };

    explicit ApertiumEngine(const QUrl &apyUrl, Apy origin = Apy::Given, int limit = 8,
        std::chrono::milliseconds timeout = engineTimeout, QObject *parent = nullptr);

    // Works with the APy that `apy` supervises: while it restarts, requests
    // wait for it within their time limit (one cut off by its end waits too,
    // and is sent once more), and three requests in a row that time out have
    // it killed and started again.
    void followApy(ApyProcess *apy);

    QString identity() const override;
    QString address() const override { return apyUrl.adjusted(QUrl::RemoveUserInfo).toString(); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const override;
    // Up to 50 texts (3,000 characters) a request, each followed by a line
    // holding a full stop (joinApyBatch), along the chain step by step.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;
    // Asks APy for its installed pairs (once more every 10 s while it does not
    // answer), then has every direction translate one word: one whose mode
    // fails (a program it runs is not installed) is not offered, and the log
    // says which and why. A request waits for the verdicts on its steps.
    void check(CheckCallback done) override;
    // Apertium parses "⟦0⟧" as punctuation around a number and moves them
    // apart; numbers and names it moves or keeps like any other, into a
    // language written in Latin letters.
    TokenForm tokenForm(const QString &source, const QString &target) const override;
    // APy cuts a request into at most ten chunks and drops the rest; a chunk
    // is at least about 500 characters, so 3,000 (with room for a chain's
    // middle language growing the text) always fit.
    TextLimits textLimits() const override { return {3000, client.concurrency()}; }

private:
    using Path = std::variant<QStringList, EngineResult>;
    using PathCallback = std::function<void(const Path &)>;
    using Answered = std::function<void(const EngineAnswer &)>;

    void findPath(const QString &source, const QString &target, QDeadlineTimer deadline, PathCallback done);
    void translateAlong(
        const QStringList &chain, qsizetype hop, const QString &text, QDeadlineTimer deadline, const Callback &done);
    void batchAlong(const QStringList &chain, qsizetype hop, const QList<BatchItem> &items, QDeadlineTimer deadline,
        const BatchCallback &done);
    void translateStep(
        const QString &from, const QString &to, const QString &text, QDeadlineTimer deadline, const Callback &done);
    void post(const QString &path, const QByteArray &body, QDeadlineTimer deadline, bool retried, Answered done);
    void hold(QDeadlineTimer deadline, std::function<void()> resume, std::function<void()> expire, bool grace);
    void apyUp(const QUrl &url);
    void listPairs(std::function<void(const QString &problem)> done);
    void checkDirections(const QStringList &pairs);
    // Has every direction of `pairs` translate one word at `checkedApy`;
    // `checker`, the APy started for the check if any, goes once all have
    // answered.
    void sendChecks(const QUrl &checkedApy, const QStringList &pairs, ApyProcess *checker);
    // The path, or a refusal when one of its steps failed its check.
    Path usable(const Path &path) const;
    // Whether a step of the path is still being checked.
    bool underCheck(const Path &path) const;

    EngineClient client;
    QUrl apyUrl;
    Apy origin;
    QPointer<ApyProcess> apy;
    bool up = true;
    int timeoutsInARow = 0;
    quint64 lastHeld = 0;
    QHash<quint64, std::function<void()>> held; // requests waiting for APy to answer again
    QHash<QString, Path> paths; // "eng|ita" -> chain or refusal; APy's pairs are fixed while it runs
    QHash<QString, QList<PathCallback>> pathsInFlight; // "eng|ita" -> everyone waiting for that chain
    QHash<QString, QList<Callback>> stepsInFlight; // "eng|spa|text" -> everyone waiting for that step
    QHash<QString, QString> brokenSteps; // "ita|spa" -> why its one-word translation failed
    QSet<QString> stepsUnderCheck; // "eng|spa": its one-word translation is still out
    QList<std::function<void()>> waitingForCheck; // requests held until a step's verdict
};

} // namespace tarnix::service
