#include "service/engines/libretranslateengine.h"

#include <QTimer>

#include "service/engines/enginerequest.h"
#include "service/engines/libretranslateprotocol.h"
#include "service/text/languagecodes.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

LibreTranslateEngine::LibreTranslateEngine(
    const QUrl &serverUrl, const QString &apiKey, std::chrono::milliseconds timeout, QObject *parent)
    : Engine(parent)
    , translateUrl(serverUrl)
    , apiKey(apiKey)
    , timeout(timeout)
{
    // The API lives under the server's address, which may itself carry a path
    // when the server sits behind a reverse proxy.
    QString path = translateUrl.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    translateUrl.setPath(path + u"translate"_s);
}

QString LibreTranslateEngine::identity() const
{
    QUrl server = translateUrl.adjusted(QUrl::RemoveUserInfo);
    server.setPath(server.path().chopped(QStringView(u"translate").size()));
    return u"libretranslate "_s + server.toString();
}

void LibreTranslateEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    const QString from = libreTranslateCode(source);
    const QString to = libreTranslateCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        QTimer::singleShot(0, this, [done = std::move(done), source, target]() {
            done(EngineResult {EngineResult::Status::Unsupported, QString(),
                u"LibreTranslate has no code for %1 or %2"_s.arg(source, target)});
        });
        return;
    }
    postToEngine(net, translateUrl, QByteArrayLiteral("application/json"), libreTranslateBody(from, to, text, apiKey),
        timeout, [done = std::move(done)](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                done(EngineResult {EngineResult::Status::Unavailable, QString(), u"LibreTranslate: "_s + answer.error});
                return;
            }
            done(parseLibreTranslateReply(answer.httpStatus, answer.body));
        });
}

} // namespace tarnix::service
