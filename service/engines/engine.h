#pragma once

#include <functional>

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
        Unavailable, // the engine did not answer, timed out or failed
    };
    Status status = Status::Unavailable;
    QString text;
    QString detail; // why, for the error page and the log
};

// A translation engine behind the service. Language codes are the service
// codes of the program ("en", "zh-CN", "ko", …); each engine maps them itself.
class Engine : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const EngineResult &)>;

    using QObject::QObject;

    // Translates `text` and calls `done` exactly once, always later from the
    // event loop, never from inside this call.
    virtual void translate(const QString &source, const QString &target, const QString &text, Callback done) = 0;

    // How this engine is shown the placeholders it must keep; by default
    // bracketed numbers ("⟦0⟧"), which most engines copy untouched.
    virtual TokenForm tokenForm() const { return TokenForm {}; }
};

} // namespace tarnix::service
