#include "service/engines/apertiumengine.h"

#include <algorithm>

#include <QTimer>

#include "service/engines/apyprocess.h"
#include "service/engines/apyprotocol.h"
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

std::chrono::milliseconds remaining(QDeadlineTimer deadline)
{
    return std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime()));
}

// How long a request cut off by a connection error waits for APy to be
// reported gone before it is sent once more anyway.
constexpr int graceMs = 500;

} // namespace

ApertiumEngine::ApertiumEngine(const QUrl &apyUrl, QObject *parent)
    : Engine(parent)
    , apyUrl(apyUrl)
{ }

void ApertiumEngine::followApy(ApyProcess *process)
{
    apy = process;
    connect(process, &ApyProcess::down, this, [this]() { up = false; });
    connect(process, &ApyProcess::ready, this, &ApertiumEngine::apyUp);
}

void ApertiumEngine::apyUp(const QUrl &url)
{
    if (url != apyUrl)
        paths.clear(); // another APy may have other pairs installed
    apyUrl = url;
    up = true;
    timeoutsInARow = 0;
    for (const auto &resume : std::exchange(held, {}))
        resume();
}

void ApertiumEngine::hold(
    QDeadlineTimer deadline, std::function<void()> resume, std::function<void()> expire, bool grace)
{
    const quint64 id = ++lastHeld;
    held.insert(id, std::move(resume));
    QTimer::singleShot(remaining(deadline), this, [this, id, expire = std::move(expire)]() {
        if (held.remove(id))
            expire();
    });
    if (grace) {
        QTimer::singleShot(graceMs, this, [this, id]() {
            if (up && held.contains(id))
                held.take(id)();
        });
    }
}

void ApertiumEngine::post(
    const QString &path, const QByteArray &body, QDeadlineTimer deadline, bool retried, Answered done)
{
    if (!up) {
        hold(
            deadline, [=, this]() { post(path, body, deadline, retried, done); },
            [done]() {
                done(EngineAnswer {0, {}, u"APy is restarting and did not answer in time"_s, false});
            },
            false);
        return;
    }
    postToEngine(
        net, endpoint(apyUrl, path), formType, body, remaining(deadline), [=, this](const EngineAnswer &answer) {
            if (answer.httpStatus != 0) {
                timeoutsInARow = 0;
            } else if (answer.timedOut) {
                if (++timeoutsInARow >= 3 && apy) {
                    timeoutsInARow = 0;
                    apy->restart(u"three requests in a row timed out"_s);
                }
            } else if (apy && !retried && !deadline.hasExpired()) {
                // Refused or cut off: APy has most likely just ended.
                hold(
                    deadline, [=, this]() { post(path, body, deadline, true, done); }, [=]() { done(answer); }, true);
                return;
            }
            done(answer);
        });
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
    const QDeadlineTimer deadline(engineTimeout);
    const auto known = paths.constFind(key);
    if (known != paths.constEnd()) {
        const Path path = *known;
        QTimer::singleShot(0, this, [this, path, text, deadline, done = std::move(done)]() {
            if (const auto *chain = std::get_if<QStringList>(&path))
                translateAlong(*chain, 0, text, deadline, done);
            else
                done(std::get<EngineResult>(path));
        });
        return;
    }
    post(u"/translateChain"_s, apyPathBody(from, to), deadline, false,
        [this, key, text, deadline, done = std::move(done)](const EngineAnswer &answer) {
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
                translateAlong(std::get<QStringList>(path), 0, text, deadline, done);
        });
}

void ApertiumEngine::translateAlong(
    const QStringList &chain, qsizetype hop, const QString &text, QDeadlineTimer deadline, const Callback &done)
{
    translateStep(
        chain[hop], chain[hop + 1], text, deadline, [this, chain, hop, deadline, done](const EngineResult &result) {
            if (result.status != EngineResult::Status::Translated || hop + 2 >= chain.size())
                done(result);
            else
                translateAlong(chain, hop + 1, result.text, deadline, done);
        });
}

void ApertiumEngine::translateStep(
    const QString &from, const QString &to, const QString &text, QDeadlineTimer deadline, const Callback &done)
{
    const QString key = from + u'|' + to + u'|' + text;
    auto waiting = stepsInFlight.find(key);
    if (waiting != stepsInFlight.end()) {
        waiting->append(done);
        return;
    }
    stepsInFlight.insert(key, {done});
    post(u"/translate"_s, apyTranslateBody(from, to, text), deadline, false, [this, key](const EngineAnswer &answer) {
        const EngineResult result =
            answer.httpStatus == 0 ? transportFailure(answer) : parseApyTranslation(answer.httpStatus, answer.body);
        for (const Callback &waiter : stepsInFlight.take(key))
            waiter(result);
    });
}

} // namespace tarnix::service
