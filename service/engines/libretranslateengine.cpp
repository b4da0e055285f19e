#include "service/engines/libretranslateengine.h"

#include <QTimer>

#include "languages/languagecodes.h"
#include "service/engines/libretranslateprotocol.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// How many texts one request carries.
const BatchLimits batchLimits {50, 4000};

} // namespace

using languages::libreTranslateCode;

LibreTranslateEngine::LibreTranslateEngine(
    const QUrl &serverUrl, const QString &apiKey, std::chrono::milliseconds timeout, int limit, QObject *parent)
    : Engine(parent)
    , client(this, limit, timeout)
    , pairs([this](auto loaded) {
        client.send(EngineCall {QByteArrayLiteral("GET"), endpoint(u"languages"_s), {}, {}, {}},
            [loaded = std::move(loaded)](const EngineAnswer &answer) {
                if (answer.httpStatus == 0) {
                    loaded(u"LibreTranslate: "_s + answer.error);
                    return;
                }
                auto parsed = parseLibreTranslateLanguages(answer.httpStatus, answer.body);
                if (const auto *why = std::get_if<QString>(&parsed)) {
                    loaded(*why);
                    return;
                }
                loaded(OfferCache::Table(
                    [known = std::get<QSet<QString>>(std::move(parsed))](const QString &source, const QString &target) {
                        return known.contains(libreTranslateCode(source) + u'|' + libreTranslateCode(target));
                    }));
            });
    })
    , serverUrl(serverUrl)
    , apiKey(apiKey)
{
    setObjectName(u"libretranslate"_s);
}

QUrl LibreTranslateEngine::endpoint(const QString &name) const
{
    // The API lives under the server's address, which may itself carry a path
    // when the server sits behind a reverse proxy.
    QUrl url = serverUrl;
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + name);
    return url;
}

void LibreTranslateEngine::offers(const QString &source, const QString &target, OfferCallback done)
{
    pairs.offers(source, target, std::move(done));
}

void LibreTranslateEngine::check(CheckCallback done)
{
    pairs.check([this, done = std::move(done)](const QString &problem) {
        done(problem.isEmpty() ? problem
                               : problem
                    + u": check that LibreTranslate runs at that address (the url of [%1] in "
                      u"service.conf, or --engine-url); asked again every second for 15 s, then every 10 s"_s.arg(
                          name()));
    });
}

QString LibreTranslateEngine::identity() const
{
    return u"libretranslate "_s + serverUrl.adjusted(QUrl::RemoveUserInfo).toString();
}

void LibreTranslateEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    const QString from = libreTranslateCode(source);
    const QString to = libreTranslateCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        refuseLater(std::move(done), u"LibreTranslate has no code for %1 or %2"_s.arg(source, target));
        return;
    }
    const EngineCall call {QByteArrayLiteral("POST"), endpoint(u"translate"_s), QByteArrayLiteral("application/json"),
        libreTranslateBody(from, to, text, apiKey), {}};
    client.send(call, [done = std::move(done)](const EngineAnswer &answer) {
        if (answer.httpStatus == 0)
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"LibreTranslate: "_s + answer.error, {}});
        else
            done(parseLibreTranslateReply(answer.httpStatus, answer.body));
    });
}

void LibreTranslateEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    const QString from = libreTranslateCode(source);
    const QString to = libreTranslateCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        Engine::translateBatch(source, target, items, std::move(done));
        return;
    }
    const auto sendBatch = [this, from, to](
                               const QList<BatchItem> &sent, std::function<void(const BatchAnswer &)> answered) {
        QStringList texts;
        for (const BatchItem &item : sent)
            texts.append(item.text);
        const EngineCall call {QByteArrayLiteral("POST"), endpoint(u"translate"_s),
            QByteArrayLiteral("application/json"), libreTranslateBatchBody(from, to, texts, apiKey), {}};
        client.send(call, [count = texts.size(), answered](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                answered(unreachableBatch(u"LibreTranslate"_s, answer.error));
            } else {
                answered(parseLibreTranslateBatch(answer.httpStatus, answer.body, count));
            }
        });
    };
    const auto sendOne = [this, source, target](const BatchItem &item, Callback answered) {
        translate(source, target, item.text, std::move(answered));
    };
    translateInBatches(items, batchLimits, nullptr, sendBatch, sendOne, std::move(done));
}

QList<QList<qsizetype>> LibreTranslateEngine::requestGroups(const QList<BatchItem> &items) const
{
    return batchGroups(items, batchLimits, nullptr);
}

} // namespace tarnix::service
