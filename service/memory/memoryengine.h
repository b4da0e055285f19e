#pragma once

#include <memory>

#include "service/engines/engine.h"
#include "service/memory/memorykey.h"

namespace tarnix::service {

class MemoryWorker;

// An engine in front of another: answers what the memory holds for the same
// engine, pair and text without asking the engine, and has the memory keep
// each translation of the engine once the HTTP side accepts it (its result's
// `checked`), so that only what a client is answered with is remembered. A
// memory that does not answer within its deadline is passed by. People's
// translations are looked up before a request reaches any engine, by the
// HTTP side on the whole text as written (TranslationService): this engine
// sees the text masked and in pieces, which a person never translated.
class MemoryEngine : public Engine
{
    Q_OBJECT

public:
    MemoryEngine(std::unique_ptr<Engine> engine, MemoryWorker *memory, QObject *parent = nullptr);
    ~MemoryEngine() override;

    QString identity() const override;
    QString name() const override;
    QString address() const override { return engine->address(); }
    void check(CheckCallback done) override { engine->check(std::move(done)); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    TokenForm tokenForm(const QString &source, const QString &target) const override;
    TextLimits textLimits() const override { return engine->textLimits(); }
    bool takesGlossary(const QString &source, const QString &target) const override
    {
        return engine->takesGlossary(source, target);
    }
    void prepareGlossary(const QString &source, const QString &target, std::function<void()> done) override
    {
        engine->prepareGlossary(source, target, std::move(done));
    }
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    // The context is part of the key only when the engine uses it: for any
    // other engine the same text has one translation whatever its context.
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    bool usesContext() const override;
    // The items the memory holds go to no engine: they are counted as
    // remembered in the engine's share.
    void estimate(
        const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done) override;
    // Each item is looked up on its own, with its own context; the engine
    // gets the others as one batch, and each of its translations is kept on
    // its own once accepted, as a single request's is.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;

private:
    MemoryKey keyFor(const QString &source, const QString &target, const QString &text, const QString &context) const;
    // The memory's translation as a result; one the checks refuse is removed.
    EngineResult remembered(const MemoryKey &key, const QString &translation);
    // The engine's result, kept by the memory once the HTTP side accepts it.
    void keepOnceAccepted(EngineResult &result, const MemoryKey &key);

    std::unique_ptr<Engine> engine;
    MemoryWorker *memory;
};

} // namespace tarnix::service
