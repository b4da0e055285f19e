#pragma once

#include <memory>

#include "service/engines/engine.h"

namespace tarnix::service {

class MemoryWorker;

// An engine in front of another: answers what the memory holds for the same
// engine, pair and text without asking the engine, and has the memory keep
// each translation of the engine once the HTTP side accepts it (its result's
// `checked`), so that only what a client is answered with is remembered. A
// memory that does not answer within its deadline is passed by.
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
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    // The context is part of the key only when the engine uses it: for any
    // other engine the same text has one translation whatever its context.
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    bool usesContext() const override;

private:
    std::unique_ptr<Engine> engine;
    MemoryWorker *memory;
};

} // namespace tarnix::service
