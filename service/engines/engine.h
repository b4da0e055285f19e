#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QList>
#include <QObject>
#include <QString>

namespace tarnix::service {

enum class TokenForm : unsigned char; // service/text/placeholders.h

// What an engine made of one translation request.
struct EngineResult
{
    enum class Status {
        Translated, // text holds the translation
        Unsupported, // the engine cannot translate this pair
        Unavailable, // the engine did not answer, timed out, refused the key or answered nonsense
    };
    Status status = Status::Unavailable;
    QString text;
    QString detail; // why, for the error page and the log
    QString engine; // the name of the engine that answered, for the log; empty when none did
    bool fromMemory = false; // answered by the translation memory without asking an engine
    // Taken from an engine's answer to a batch of several texts: an answer
    // that fails a check is then asked for once more alone before anything
    // else (Engine::translateBatch).
    bool batched = false;
    // The engine requests this result took: 1 for a request of its own, 1/n
    // of a batch request of n texts, a second ask added; 0 from memory.
    double requests = 0;
    // Set by the translation memory on a translated result. The HTTP side
    // calls it with true right before it answers with this translation (the
    // memory commits it then, before any client can have read it) and with
    // false when its checks refuse the translation. Once accepted, `kept`
    // is called (soon: the memory has a deadline) with what the memory holds
    // for the request: when another service or request stored a translation
    // first, that one, and the answer is it; nothing when the memory could
    // not say in time.
    using Kept = std::function<void(const std::optional<QString> &kept)>;
    std::function<void(bool accepted, Kept kept)> checked = nullptr;
    // Set by the router on a translated result: asks the engine that gave it
    // once more, with `text` (the same source masked with other tokens), and
    // calls `done` once with that engine's second result.
    std::function<void(const QString &text, std::function<void(const EngineResult &)> done)> askAgain = nullptr;
    // Set by the router on a result that is no translation when the engine
    // that failed was sent the glossary's terms as written (it takes the
    // glossary itself) and an engine further down the chain does not: sends
    // `text` (the same source with the glossary's terms masked) on down the
    // chain and calls `done` once with what comes of it.
    std::function<void(const QString &text, std::function<void(const EngineResult &)> done)> fallBack = nullptr;
};

// How much one engine takes at once: the longest text (UTF-16 units) it
// translates whole in one request, and how many requests it runs at a time.
struct TextLimits
{
    qsizetype longestText = 3000;
    int parallel = 4;
};

// One text of a batch, with what it is (see Engine::translateInContext).
struct BatchItem
{
    QString text;
    QString context;
};

// What translating some texts of one pair would take of one engine, as an
// estimate answers it before a run (Engine::estimate).
struct EngineShare
{
    QString engine; // its name
    QList<qsizetype> items; // the texts that would go to it, as indices of those asked about
    QList<qsizetype> remembered; // of them, those the memory answers without it
    qsizetype characters = 0; // of the others: what it would be sent
    qsizetype requests = 0; // in how many requests
    std::optional<double> seconds; // how long, from its measured speed; none before it was measured
    std::optional<double> cost; // from its configured price
    QString currency; // of the cost, as configured ("EUR"; may be empty)
};

// Whether an engine can translate a language pair, as far as it knows.
struct PairOffer
{
    enum class Answer {
        Offered,
        NotOffered,
        Unknown, // the engine could not be asked (detail says why)
    };
    Answer answer = Answer::Offered;
    QString detail;
};

// A translation engine behind the service. Language codes are the service
// codes of the program ("en", "zh-CN", "ko", …); each engine maps them itself.
class Engine : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const EngineResult &)>;
    using OfferCallback = std::function<void(const PairOffer &)>;

    using QObject::QObject;

    // What the translation memory keys this engine's answers by: its kind,
    // its address and its model, so that another engine or model is never
    // answered with this one's translations. Never a secret.
    virtual QString identity() const { return QString::fromLatin1(metaObject()->className()); }
    // The name the log shows for this engine.
    virtual QString name() const { return objectName(); }
    // Where the engine is reached ("http://127.0.0.1:2737"), for the log and
    // error pages; empty when it has no address of its own. Never a secret.
    virtual QString address() const { return QString(); }

    // Asks the engine's server once whether it answers as this engine
    // expects (its languages, pairs or models) and calls `done` once, later
    // from the event loop, with what is wrong and what to check, or an empty
    // string. An engine that does not answer is routed around and asked
    // again later; the check only says so early.
    using CheckCallback = std::function<void(const QString &problem)>;
    virtual void check(CheckCallback done);

    // Tells `done` once, always later from the event loop, whether this engine
    // translates from `source` to `target`. An engine that cannot tell in
    // advance offers every pair and answers Unsupported from translate().
    virtual void offers(const QString &source, const QString &target, OfferCallback done);

    // Translates `text` and calls `done` exactly once, always later from the
    // event loop, never from inside this call.
    virtual void translate(const QString &source, const QString &target, const QString &text, Callback done) = 0;

    // The same with a context: what the text is (a message context, a note
    // for translators). Only an engine that uses context (usesContext())
    // reads it; by default it is dropped.
    virtual void translateInContext(
        const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
    {
        Q_UNUSED(context);
        translate(source, target, text, std::move(done));
    }
    // Translates several texts of one pair and calls `done` once, always later
    // from the event loop, with one result per item in their order. An
    // engine that takes many texts in one request sends them so
    // (service/engines/batch.h); by default each is translated alone.
    using BatchCallback = std::function<void(const std::vector<EngineResult> &)>;
    virtual void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done);

    // What translateBatch() would take for `items`, translating nothing:
    // `done` gets a share per engine that would be asked and the items no
    // engine offers the pair for, once, always later from the event loop.
    // By default every item goes to this engine, in requestGroups().
    using EstimateCallback = std::function<void(const QList<EngineShare> &shares, const QList<qsizetype> &unsupported)>;
    virtual void estimate(
        const QString &source, const QString &target, const QList<BatchItem> &items, EstimateCallback done);
    // The requests translateBatch() sends `items` in, before any answer
    // splits one: indices into `items`, a request each. By default each alone.
    virtual QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const;

    // Whether translateInContext() may answer differently for another
    // context: then the context is part of what its answers are remembered by.
    virtual bool usesContext() const { return false; }

    // How this engine is shown the placeholders of a text it will translate
    // from `source` to `target`; by default bracketed numbers ("⟦0⟧"), which
    // most engines copy untouched.
    virtual TokenForm tokenForm(const QString &source, const QString &target) const
    {
        Q_UNUSED(source);
        Q_UNUSED(target);
        return TokenForm {};
    }

    // Whether this engine is told the team's glossary itself (a model's
    // prompt, DeepL's glossaries): otherwise the glossary's terms are masked
    // in what it is sent and the team's translations put in their place.
    virtual bool takesGlossary(const QString &source, const QString &target) const
    {
        Q_UNUSED(source);
        Q_UNUSED(target);
        return false;
    }
    // Gets ready what takesGlossary() answers for the pair (DeepL finds or
    // makes its glossary of the pair) and calls `done` once, later from the
    // event loop. By default there is nothing to get ready.
    virtual void prepareGlossary(const QString &source, const QString &target, std::function<void()> done);

    // A longer text is sent in pieces (service/engines/wholetext.h).
    virtual TextLimits textLimits() const { return {}; }

protected:
    // Tells `done`, later from the event loop, that this engine does not
    // translate the pair, and why.
    void refuseLater(Callback done, const QString &why);
};

} // namespace tarnix::service
