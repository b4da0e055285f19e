#pragma once

#include <variant>

#include <QHash>
#include <QStringList>
#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"

namespace tarnix::service {

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

    explicit ApertiumEngine(const QUrl &apyUrl, Apy apy = Apy::Given, int limit = 8,
        std::chrono::milliseconds timeout = engineTimeout, QObject *parent = nullptr);

    QString identity() const override;
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    // Apertium parses "⟦0⟧" as punctuation around a number and moves them
    // apart; numbers and names it moves or keeps like any other, into a
    // language written in Latin letters.
    TokenForm tokenForm(const QString &source, const QString &target) const override;

private:
    using Path = std::variant<QStringList, EngineResult>;
    using PathCallback = std::function<void(const Path &)>;

    void findPath(const QString &source, const QString &target, PathCallback done);
    void translateAlong(const QStringList &chain, qsizetype hop, const QString &text, const Callback &done);
    void translateStep(const QString &from, const QString &to, const QString &text, const Callback &done);

    EngineClient client;
    QUrl apyUrl;
    Apy apy;
    QHash<QString, Path> paths; // "eng|ita" -> chain or refusal; APy's pairs are fixed while it runs
    QHash<QString, QList<PathCallback>> pathsInFlight; // "eng|ita" -> everyone waiting for that chain
    QHash<QString, QList<Callback>> stepsInFlight; // "eng|spa|text" -> everyone waiting for that step
};

} // namespace tarnix::service
