#include "service/engines/apertiumengine.h"

#include <QTimer>

#include "service/engines/apyprotocol.h"
#include "service/engines/enginerequest.h"
#include "service/text/languagecodes.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

const QByteArray formType = QByteArrayLiteral("application/x-www-form-urlencoded");

QUrl endpoint(QUrl base, const QString &path)
{
    base.setPath(path);
    return base;
}

EngineResult transportFailure(const EngineAnswer &answer)
{
    return EngineResult {EngineResult::Status::Unavailable, QString(), u"APy: "_s + answer.error};
}

} // namespace

ApertiumEngine::ApertiumEngine(const QUrl &apyUrl, Apy apy, QObject *parent)
    : Engine(parent)
    , apyUrl(apyUrl)
    , apy(apy)
{ }

QString ApertiumEngine::identity() const
{
    return apy == Apy::Started ? u"apertium installed pairs"_s
                               : u"apertium "_s + apyUrl.adjusted(QUrl::RemoveUserInfo).toString();
}

void ApertiumEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    const QString from = apertiumCode(source);
    const QString to = apertiumCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        QTimer::singleShot(0, this, [done = std::move(done), source, target]() {
            done(EngineResult {EngineResult::Status::Unsupported, QString(),
                u"Apertium has no pair from %1 to %2"_s.arg(source, target)});
        });
        return;
    }
    const QString key = from + u'|' + to;
    const auto known = paths.constFind(key);
    if (known != paths.constEnd()) {
        const Path path = *known;
        QTimer::singleShot(0, this, [this, path, text, done = std::move(done)]() {
            if (const auto *chain = std::get_if<QStringList>(&path))
                translateAlong(*chain, 0, text, done);
            else
                done(std::get<EngineResult>(path));
        });
        return;
    }
    postToEngine(net, endpoint(apyUrl, u"/translateChain"_s), formType, apyPathBody(from, to), engineTimeout,
        [this, key, text, done = std::move(done)](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                done(transportFailure(answer));
                return;
            }
            const Path path = parseApyPath(answer.httpStatus, answer.body);
            const auto *refusal = std::get_if<EngineResult>(&path);
            if (!refusal || refusal->status == EngineResult::Status::Unsupported)
                paths.insert(key, path);
            if (refusal)
                done(*refusal);
            else
                translateAlong(std::get<QStringList>(path), 0, text, done);
        });
}

void ApertiumEngine::translateAlong(const QStringList &chain, qsizetype hop, const QString &text, const Callback &done)
{
    translateStep(chain[hop], chain[hop + 1], text, [this, chain, hop, done](const EngineResult &result) {
        if (result.status != EngineResult::Status::Translated || hop + 2 >= chain.size())
            done(result);
        else
            translateAlong(chain, hop + 1, result.text, done);
    });
}

void ApertiumEngine::translateStep(const QString &from, const QString &to, const QString &text, const Callback &done)
{
    const QString key = from + u'|' + to + u'|' + text;
    auto waiting = stepsInFlight.find(key);
    if (waiting != stepsInFlight.end()) {
        waiting->append(done);
        return;
    }
    stepsInFlight.insert(key, {done});
    postToEngine(net, endpoint(apyUrl, u"/translate"_s), formType, apyTranslateBody(from, to, text), engineTimeout,
        [this, key](const EngineAnswer &answer) {
            const EngineResult result =
                answer.httpStatus == 0 ? transportFailure(answer) : parseApyTranslation(answer.httpStatus, answer.body);
            for (const Callback &waiter : stepsInFlight.take(key))
                waiter(result);
        });
}

} // namespace tarnix::service
