#pragma once

#include <memory>
#include <vector>

#include <QHash>

#include "service/engines/engine.h"

namespace tarnix::service {

// The engines of the service in the order of the configuration, seen as one
// engine. A request goes to the first engine that offers its language pair;
// when that engine fails for reasons of its own (unavailable, timed out, its
// key refused, an answer that is no translation) the next one that offers
// the pair is asked. A pair that no engine offers is refused without asking
// any engine to translate. Each result names the engine that gave it, and a
// translated one can ask that engine again (EngineResult::askAgain). A text
// sent with the glossary's terms as written, because the engine that
// translates the pair takes the glossary itself, goes no further down the
// chain to an engine that does not take it: the result hands the caller
// the rest of the chain instead (EngineResult::fallBack), for the text
// with the terms masked.
class Router : public Engine
{
    Q_OBJECT

public:
    explicit Router(std::vector<std::unique_ptr<Engine>> engines, QObject *parent = nullptr);
    ~Router() override;

    const std::vector<std::unique_ptr<Engine>> &engines() const { return chain; }

    void offers(const QString &source, const QString &target, OfferCallback done) override;
    // The engine's that translates the pair, as takesGlossary() finds it.
    TokenForm tokenForm(const QString &source, const QString &target) const override;
    // The engine's that translates the pair: the first that offers it, as
    // prepareGlossary() last found it (before that, the first engine's).
    bool takesGlossary(const QString &source, const QString &target) const override;
    // Finds the first engine that offers the pair and gets its glossary ready.
    void prepareGlossary(const QString &source, const QString &target, std::function<void()> done) override;
    // The smallest of its engines': any of them may translate a piece.
    TextLimits textLimits() const override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    // The first engine's that offers the pair; every item unsupported when none does.
    void estimate(
        const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done) override;
    // The whole batch to the first engine that offers the pair; an item it
    // could not translate goes down the list alone, as a single request does.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;

private:
    struct Attempt;
    void tryFrom(const std::shared_ptr<Attempt> &attempt, std::size_t index);
    void finish(const std::shared_ptr<Attempt> &attempt);
    // What an attempt that no engine translated answers.
    static EngineResult unanswered(const Attempt &attempt);
    // After the engine at `index`, which takes the glossary, failed the
    // attempt: when its text holds the glossary's terms as written and an
    // engine further down does not take the glossary, answers the attempt
    // with the rest of the chain to be asked with the terms masked
    // (EngineResult::fallBack), and says so.
    bool handOver(const std::shared_ptr<Attempt> &attempt, std::size_t index);
    // Calls `found` with the index of the first engine from `index` that
    // offers the pair, or the chain's size when none does.
    void firstOffering(
        const QString &source, const QString &target, std::size_t index, std::function<void(std::size_t)> found);
    // The result's askAgain: the same engine, pair and context, another text.
    static std::function<void(const QString &, Callback)> askAgain(Engine *engine, const Attempt &attempt);

    std::vector<std::unique_ptr<Engine>> chain;
    QHash<QString, std::size_t> translating; // "source|target": the first engine that offered the pair
};

} // namespace tarnix::service
