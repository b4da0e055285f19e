#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace tarnix::fill {

// What the service said one engine would take for texts of one catalog and
// language (the service's POST /estimate), summed over its requests.
struct EngineEstimate
{
    int entries = 0; // the entries that would go to the engine
    int remembered = 0; // of them, those the memory holds whole
    qint64 characters = 0; // sent to the engine
    qint64 requests = 0;
    double seconds = 0;
    bool timed = true; // false when part of it went to an engine whose speed is not measured yet
    double cost = 0;
    bool priced = false; // the engine has a price
    QString currency;

    EngineEstimate &operator+=(const EngineEstimate &part);
};

// One catalog and language of an estimate; the engine "" holds entries no
// engine is needed for (their texts are all placeholders), peoplesEngine
// those people's translations of their own texts would answer, and
// closeEngine those close matches of people's translations would.
inline const QString peoplesEngine = QStringLiteral("(people's)");
inline const QString closeEngine = QStringLiteral("(close match)");
struct CatalogEstimate
{
    QString file;
    QString language;
    QMap<QString, EngineEstimate> engines;
    int unsupported = 0; // entries no engine offers the pair for
};

// The service's answer to an estimate of `count` texts: per text the engine
// (empty for none) and whether the memory holds it, or that no engine offers
// the pair; and per engine what it would take. Nothing when the body is not
// such an answer (a service without estimates).
struct EstimateAnswer
{
    struct Item
    {
        QString engine;
        bool remembered = false;
        bool offered = true;
        int personScore = 0; // a person's translation would answer it: 100 of its own text, less a close match
    };
    QList<Item> items;
    QMap<QString, EngineEstimate> engines; // characters, requests, seconds and cost only
};
std::optional<EstimateAnswer> readEstimateAnswer(const QByteArray &body, qsizetype count);

// Adds what the service said of the texts of some entries to `into`:
// `textsOf` holds, per entry, how many of the answer's texts are its own, in
// order. An entry goes to the engine of its first text and counts as
// remembered when that text is (as a run counts it), or to peoplesEngine or
// closeEngine when a person's translation answers that text; it is
// unsupported when any of its texts is.
void addEstimate(CatalogEstimate &into, const EstimateAnswer &answer, const QList<int> &textsOf);

// The table --estimate prints: a row per catalog, language and engine, then
// the whole. Times as m:ss ("?" while unmeasured), costs with two decimals.
QString estimateTable(const QList<CatalogEstimate> &estimates);

// What a run did, per engine, as the estimate counts it: entries, from
// memory, characters and requests.
QString engineTable(const QMap<QString, EngineEstimate> &engines);

} // namespace tarnix::fill
