#pragma once

#include <functional>
#include <optional>

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
    // Set by the translation memory on a translated result. The HTTP side
    // calls it with true right before it answers with this translation (the
    // memory commits it then, before any client can have read it) and with
    // false when its checks refuse the translation. It returns what the
    // memory holds for the request once accepted: when another service or
    // request stored a translation first, that one, and the answer is it.
    std::function<std::optional<QString>(bool accepted)> checked = nullptr;
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

    // Tells `done` once, always later from the event loop, whether this engine
    // translates from `source` to `target`. An engine that cannot tell in
    // advance offers every pair and answers Unsupported from translate().
    virtual void offers(const QString &source, const QString &target, OfferCallback done);

    // Translates `text` and calls `done` exactly once, always later from the
    // event loop, never from inside this call.
    virtual void translate(const QString &source, const QString &target, const QString &text, Callback done) = 0;

    // How this engine is shown the placeholders of a text it will translate
    // from `source` to `target`; by default bracketed numbers ("⟦0⟧"), which
    // most engines copy untouched.
    virtual TokenForm tokenForm(const QString &source, const QString &target) const
    {
        Q_UNUSED(source);
        Q_UNUSED(target);
        return TokenForm {};
    }

protected:
    // Tells `done`, later from the event loop, that this engine does not
    // translate the pair, and why.
    void refuseLater(Callback done, const QString &why);
};

} // namespace tarnix::service
