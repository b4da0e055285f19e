#pragma once

#include <QSet>
#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"
#include "service/engines/offercache.h"

namespace tarnix::service {

// DeepL's API v2 (POST /v2/translate, GET /v2/languages), with the key in the
// Authorization header. It offers the pairs whose source and target DeepL
// lists; routing passes the program's other languages to other engines.
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
    // DeepL takes a request body of at most 128 KiB.
    TextLimits textLimits() const override { return {10000, client.concurrency()}; }

private:
    EngineCall call(const QByteArray &method, const QString &path, const QByteArray &body = {}) const;
    void loadLanguages(std::function<void(const OfferCache::Loaded &)> loaded);
    QString targetCode(const QString &serviceCode) const;

    EngineClient client;
    OfferCache pairs;
    QUrl apiUrl;
    QByteArray authorization;
    QSet<QString> sources;
    QSet<QString> targets;
};

} // namespace tarnix::service
