#pragma once

#include <memory>
#include <optional>

#include <QElapsedTimer>

#include "service/engines/engine.h"

namespace tarnix::service {

// What an engine costs, as its configuration section says: `amount` per
// million characters (or tokens) it is sent.
struct EnginePrice
{
    enum class Unit { Characters, Tokens };
    double amount = 0;
    Unit unit = Unit::Characters;
    QString currency; // as written ("EUR", "$"); may be empty
};

// The rough cost of sending `characters` in `requests` at `price`. Tokens
// are taken as four characters each, counted both ways (the text in, its
// translation out), and a model's prompt as 150 tokens per request.
double estimatedCost(const EnginePrice &price, qsizetype characters, qsizetype requests);

// How fast an engine translated: the characters of the texts it translated
// while it had requests in flight, over the seconds it had.
struct EngineSpeed
{
    double characters = 0;
    double seconds = 0;
    // A speed from too little is no speed.
    bool measured() const { return characters >= 200 && seconds >= 0.05; }
};

// An engine in front of a configured engine that measures its speed (for
// estimates before a run) and counts a single request as one request.
// `recorded` is told the speed whenever it changes, to be kept across runs.
class MeteredEngine : public Engine
{
    Q_OBJECT

public:
    MeteredEngine(std::unique_ptr<Engine> engine, std::optional<EnginePrice> price, EngineSpeed speed,
        std::function<void(const EngineSpeed &)> recorded, QObject *parent = nullptr);
    ~MeteredEngine() override;

    QString identity() const override { return engine->identity(); }
    QString name() const override { return engine->name(); }
    QString address() const override { return engine->address(); }
    void check(CheckCallback done) override { engine->check(std::move(done)); }
    void offers(const QString &source, const QString &target, OfferCallback done) override
    {
        engine->offers(source, target, std::move(done));
    }
    bool takesGlossary(const QString &source, const QString &target) const override
    {
        return engine->takesGlossary(source, target);
    }
    void prepareGlossary(const QString &source, const QString &target, std::function<void()> done) override
    {
        engine->prepareGlossary(source, target, std::move(done));
    }
    TokenForm tokenForm(const QString &source, const QString &target) const override
    {
        return engine->tokenForm(source, target);
    }
    TextLimits textLimits() const override { return engine->textLimits(); }
    bool usesContext() const override { return engine->usesContext(); }
    QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const override
    {
        return engine->requestGroups(items);
    }
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;
    // The engine's share with the time its measured speed gives and the cost its price does.
    void estimate(
        const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done) override;

    EngineSpeed speed() const { return measured; }

private:
    void started();
    void ended(qsizetype translatedCharacters);

    std::unique_ptr<Engine> engine;
    std::optional<EnginePrice> price;
    EngineSpeed measured;
    std::function<void(const EngineSpeed &)> recorded;
    int inFlight = 0;
    QElapsedTimer busy; // running while a request is in flight
};

} // namespace tarnix::service
