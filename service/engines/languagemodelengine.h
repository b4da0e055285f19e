#pragma once

#include <QHash>
#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"
#include "service/engines/offercache.h"
#include "service/text/glossary.h"

namespace tarnix::service {

// A language model behind an OpenAI-compatible chat-completions API
// (POST {url}/chat/completions), as Ollama, llama.cpp's server, vLLM, LM Studio
// and hosted services serve it. It offers every pair of the program's
// languages while its server answers (GET {url}/models, asked once and again
// every 10 s while it does not). A key, when given, is sent as a bearer token.
class LanguageModelEngine : public Engine
{
    Q_OBJECT

public:
    LanguageModelEngine(const QUrl &apiUrl, const QString &model, const QString &apiKey,
        std::chrono::milliseconds timeout = engineTimeout, int limit = 4, QObject *parent = nullptr);

    QString identity() const override;
    QString address() const override { return completionsUrl.adjusted(QUrl::RemoveUserInfo).toString(); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void check(CheckCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const override;
    // Up to 20 texts (2,000 characters, so the answer fits the model's output)
    // a request, as a JSON object keyed by number.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;
    // The prompt, the text and its translation share the model's context,
    // 2,048 tokens by default in Ollama; a token is three or four letters of
    // English, one or two of other scripts.
    TextLimits textLimits() const override { return {1500, client.concurrency()}; }
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;
    bool usesContext() const override { return true; }
    // Its prompt names the team's translation of each glossary term the text holds.
    bool takesGlossary(const QString &, const QString &) const override { return true; }
    void setGlossary(const GlossarySettings &settings);

private:
    EngineClient client;
    OfferCache reachable; // every pair of the catalogue, once the server answered at all
    QString modelsProblem; // what its list of models said was wrong, for check()
    QUrl modelsUrl;
    QUrl completionsUrl;
    QString model;
    QString apiKey;
    // The glossary's terms in `text` from `source` to `target`.
    QList<GlossaryEntry> termsIn(const QString &source, const QString &target, const QString &text);
    GlossarySettings glossarySettings;
    QHash<QString, Glossary> glossaries; // "source|target": its glossary
};

} // namespace tarnix::service
