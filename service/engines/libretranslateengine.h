#pragma once

#include <QNetworkAccessManager>
#include <QUrl>

#include "service/engines/engine.h"
#include "service/engines/enginerequest.h"

namespace tarnix::service {

// Any server that speaks LibreTranslate's HTTP API (POST /translate).
class LibreTranslateEngine : public Engine
{
    Q_OBJECT

public:
    LibreTranslateEngine(const QUrl &serverUrl, const QString &apiKey,
        std::chrono::milliseconds timeout = engineTimeout, QObject *parent = nullptr);

    QString identity() const override;
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;

private:
    QNetworkAccessManager net;
    QUrl translateUrl;
    QString apiKey;
    std::chrono::milliseconds timeout;
};

} // namespace tarnix::service
