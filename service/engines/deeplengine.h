#pragma once

#include <QSet>
#include <QUrl>

#include "service/engines/deeplglossaries.h"
#include "service/engines/engine.h"
#include "service/engines/engineclient.h"
#include "service/engines/offercache.h"

namespace tarnix::service {

// DeepL's API v2 (POST /v2/translate, GET /v2/languages), with the key in the
// Authorization header. It offers the pairs whose source and target DeepL
// lists; routing passes the program's other languages to other engines.
// The team's glossary goes to DeepL as DeepL glossaries (DeepLGlossaries)
// for the pairs whose languages DeepL's glossaries take; a translate
// request of such a pair names its glossary.
class DeepLEngine : public Engine
{
    Q_OBJECT

public:
    // An empty `apiUrl` picks the free or the pro address from the key.
    DeepLEngine(const QUrl &apiUrl, const QString &apiKey, std::chrono::milliseconds timeout = engineTimeout,
        int limit = 8, QObject *parent = nullptr);

    QString identity() const override;
    QString address() const override { return apiUrl.adjusted(QUrl::RemoveUserInfo).toString(); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void check(CheckCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const override;
    // Up to 50 texts a request (DeepL's limit), within its request size.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;
    // The team's glossary, for the DeepL glossaries made of it.
    void setGlossary(const GlossarySettings &settings);
    // Once the pair's DeepL glossary is ready.
    bool takesGlossary(const QString &source, const QString &target) const override;
    void prepareGlossary(const QString &source, const QString &target, std::function<void()> done) override;
    // DeepL takes a request body of at most 128 KiB.
    TextLimits textLimits() const override { return {10000, client.concurrency()}; }

private:
    EngineCall call(const QByteArray &method, const QString &path, const QByteArray &body = {}) const;
    void loadLanguages(std::function<void(const OfferCache::Loaded &)> loaded);
    QString targetCode(const QString &serviceCode) const;
    // An answer to a request that named the pair's glossary: whether DeepL no
    // longer knows it (deleted from the account meanwhile); then it is
    // forgotten, and made again before the request is sent once more.
    bool glossaryGone(
        const QString &source, const QString &target, const QString &glossaryId, const EngineAnswer &answer);
    void translateOnce(const QString &source, const QString &target, const QString &text, Callback done, bool again);

    EngineClient client;
    OfferCache pairs;
    QUrl apiUrl;
    QByteArray authorization;
    QSet<QString> sources;
    QSet<QString> targets;
    DeepLGlossaries glossaries;
};

} // namespace tarnix::service
