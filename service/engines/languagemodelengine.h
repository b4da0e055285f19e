#pragma once

#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"

namespace tarnix::service {

// A language model behind an OpenAI-compatible chat-completions API
// (POST {url}/chat/completions), as Ollama, llama.cpp's server, vLLM, LM Studio
// and hosted services serve it. It offers every pair of the program's
// languages. A key, when given, is sent as a bearer token.
class LanguageModelEngine : public Engine
{
    Q_OBJECT

public:
    LanguageModelEngine(const QUrl &apiUrl, const QString &model, const QString &apiKey,
        std::chrono::milliseconds timeout = engineTimeout, int limit = 4, QObject *parent = nullptr);

    QString identity() const override;
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    bool usesContext() const override { return true; }

private:
    EngineClient client;
    QUrl completionsUrl;
    QString model;
    QString apiKey;
};

} // namespace tarnix::service
