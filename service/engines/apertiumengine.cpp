#include "service/engines/apertiumengine.h"

#include <QTimer>

#include "service/engines/apyprotocol.h"
#include "service/text/languagecodes.h"
#include "service/text/placeholders.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

const QByteArray formType = QByteArrayLiteral("application/x-www-form-urlencoded");

EngineCall formCall(QUrl url, const QString &path, const QByteArray &body)
{
    url.setPath(path);
    return EngineCall {QByteArrayLiteral("POST"), url, formType, body, {}};
}

EngineResult transportFailure(const EngineAnswer &answer)
{
    return EngineResult {EngineResult::Status::Unavailable, QString(), u"APy: "_s + answer.error, {}};
}

} // namespace

TokenForm ApertiumEngine::tokenForm(const QString &source, const QString &target) const
{
    static const QStringList latinScript {
        u"en"_s, u"es"_s, u"fr"_s, u"de"_s, u"it"_s, u"pl"_s, u"ro"_s, u"pt"_s, u"tr"_s, u"id"_s, u"vi"_s};
    const bool names = latinScript.contains(target) && !apertiumCode(source).isEmpty();
    return names ? TokenForm::Natural : TokenForm::Bracketed;
}

ApertiumEngine::ApertiumEngine(
    const QUrl &apyUrl, Apy apy, int limit, std::chrono::milliseconds timeout, QObject *parent)
    : Engine(parent)
    , client(this, limit, timeout)
    , apyUrl(apyUrl)
    , apy(apy)
{
    setObjectName(u"apertium"_s);
}

QString ApertiumEngine::identity() const
{
    return apy == Apy::Started ? u"apertium installed pairs"_s
                               : u"apertium "_s + apyUrl.adjusted(QUrl::RemoveUserInfo).toString();
}

void ApertiumEngine::findPath(const QString &source, const QString &target, PathCallback done)
{
    const QString from = apertiumCode(source);
    const QString to = apertiumCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        QTimer::singleShot(0, this, [done = std::move(done), source, target]() {
            done(EngineResult {EngineResult::Status::Unsupported, QString(),
                u"Apertium has no pair from %1 to %2"_s.arg(source, target), {}});
        });
        return;
    }
    const QString key = from + u'|' + to;
    if (const auto known = paths.constFind(key); known != paths.constEnd()) {
        QTimer::singleShot(0, this, [path = *known, done = std::move(done)]() { done(path); });
        return;
    }
    if (auto waiting = pathsInFlight.find(key); waiting != pathsInFlight.end()) {
        waiting->append(std::move(done));
        return;
    }
    pathsInFlight.insert(key, {std::move(done)});
    client.send(formCall(apyUrl, u"/translateChain"_s, apyPathBody(from, to)), [this, key](const EngineAnswer &answer) {
        const Path path =
            answer.httpStatus == 0 ? Path(transportFailure(answer)) : parseApyPath(answer.httpStatus, answer.body);
        // A failure of APy itself is not remembered: the next request asks again.
        const auto *refusal = std::get_if<EngineResult>(&path);
        if (!refusal || refusal->status == EngineResult::Status::Unsupported)
            paths.insert(key, path);
        for (const PathCallback &waiter : pathsInFlight.take(key))
            waiter(path);
    });
}

void ApertiumEngine::offers(const QString &source, const QString &target, OfferCallback done)
{
    findPath(source, target, [done = std::move(done)](const Path &path) {
        const auto *refusal = std::get_if<EngineResult>(&path);
        if (!refusal)
            done(PairOffer {PairOffer::Answer::Offered, {}});
        else if (refusal->status == EngineResult::Status::Unsupported)
            done(PairOffer {PairOffer::Answer::NotOffered, refusal->detail});
        else
            done(PairOffer {PairOffer::Answer::Unknown, refusal->detail});
    });
}

void ApertiumEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    findPath(source, target, [this, text, done = std::move(done)](const Path &path) {
        if (const auto *chain = std::get_if<QStringList>(&path))
            translateAlong(*chain, 0, text, done);
        else
            done(std::get<EngineResult>(path));
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
    client.send(formCall(apyUrl, u"/translate"_s, apyTranslateBody(from, to, text)),
        [this, key, text](const EngineAnswer &answer) {
            EngineResult result =
                answer.httpStatus == 0 ? transportFailure(answer) : parseApyTranslation(answer.httpStatus, answer.body);
            if (result.status == EngineResult::Status::Translated)
                result.text = withoutApertiumMarks(result.text, text);
            for (const Callback &waiter : stepsInFlight.take(key))
                waiter(result);
        });
}

} // namespace tarnix::service
