#pragma once

#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/engineclient.h"
#include "service/engines/offercache.h"

namespace tarnix::service {

// Any server that speaks LibreTranslate's HTTP API: POST /translate, and
// GET /languages for the pairs it offers.
class LibreTranslateEngine : public Engine
{
    Q_OBJECT

public:
    LibreTranslateEngine(const QUrl &serverUrl, const QString &apiKey,
        std::chrono::milliseconds timeout = engineTimeout, int limit = 8, QObject *parent = nullptr);

    QString identity() const override;
    QString address() const override { return serverUrl.adjusted(QUrl::RemoveUserInfo).toString(); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    void check(CheckCallback done) override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    QList<QList<qsizetype>> requestGroups(const QList<BatchItem> &items) const override;
    // Up to 50 texts (4,000 characters) a request, `q` as a list.
    void translateBatch(
        const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done) override;
    // Public servers run with a character limit per request (5,000 on
    // libretranslate.com); a self-hosted one has none by default.
    TextLimits textLimits() const override { return {4000, client.concurrency()}; }

private:
    QUrl endpoint(const QString &name) const;

    EngineClient client;
    OfferCache pairs;
    QUrl serverUrl;
    QString apiKey;
};

} // namespace tarnix::service
