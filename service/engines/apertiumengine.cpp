#include "service/engines/apertiumengine.h"

#include <algorithm>

#include <QTimer>

#include "languages/languagecodes.h"
#include "service/engines/apyprocess.h"
#include "service/engines/apyprotocol.h"
#include "service/engines/batch.h"
#include "service/text/placeholders.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

using languages::apertiumCode;

namespace {

// How many texts one request carries (a text with a full-stop line of its own cannot share APy's request).
const BatchLimits batchLimits {50, 3000};

bool goesAlone(const BatchItem &item)
{
    return !apyBatchable(item.text);
}

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

std::chrono::milliseconds remaining(QDeadlineTimer deadline)
{
    return std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime()));
}

// How long a request cut off by a connection error waits for APy to be
// reported gone before it is sent once more anyway.
constexpr int graceMs = 500;

} // namespace

TokenForm ApertiumEngine::tokenForm(const QString &source, const QString &target) const
{
    static const QStringList latinScript {u"en"_s, u"es"_s, u"fr"_s, u"de"_s, u"it"_s, u"pl"_s, u"ro"_s, u"pt"_s,
        u"tr"_s, u"id"_s, u"vi"_s, u"ca"_s, u"gl"_s, u"nl"_s};
    const bool names = latinScript.contains(target) && !apertiumCode(source).isEmpty();
    return names ? TokenForm::Natural : TokenForm::Bracketed;
}

ApertiumEngine::ApertiumEngine(
    const QUrl &apyUrl, Apy origin, int limit, std::chrono::milliseconds timeout, QObject *parent)
    : Engine(parent)
    , client(this, limit, timeout)
    , apyUrl(apyUrl)
    , origin(origin)
{
    setObjectName(u"apertium"_s);
}

QString ApertiumEngine::identity() const
{
    return origin == Apy::Started ? u"apertium installed pairs"_s
                                  : u"apertium "_s + apyUrl.adjusted(QUrl::RemoveUserInfo).toString();
}

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
                done(EngineAnswer {0, {}, u"APy is restarting and did not answer in time"_s, {}, false});
            },
            false);
        return;
    }
    client.send(formCall(apyUrl, path, body), [=, this](const EngineAnswer &answer) {
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

void ApertiumEngine::findPath(const QString &source, const QString &target, QDeadlineTimer deadline, PathCallback done)
{
    // A variant (por_BR) is how Apertium writes a text, not how it reads
    // one: the language's own analysis reads every variant of it.
    const QString from = apertiumCode(source).section(u'_', 0, 0);
    const QString to = apertiumCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        refuseLater([done = std::move(done)](const EngineResult &refusal) { done(refusal); },
            u"Apertium has no pair from %1 to %2"_s.arg(source, target));
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
    post(u"/translateChain"_s, apyPathBody(from, to), deadline, false, [this, key](const EngineAnswer &answer) {
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
    findPath(source, target, QDeadlineTimer(engineTimeout), [=, this](const Path &found) {
        if (underCheck(found)) {
            waitingForCheck.append([=, this]() { offers(source, target, done); });
            return;
        }
        const Path path = usable(found);
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
    const QDeadlineTimer deadline(engineTimeout);
    findPath(source, target, deadline, [=, this](const Path &found) {
        if (underCheck(found)) {
            waitingForCheck.append([=, this]() { translate(source, target, text, done); });
            return;
        }
        const Path path = usable(found);
        if (const auto *chain = std::get_if<QStringList>(&path))
            translateAlong(*chain, 0, text, deadline, done);
        else
            done(std::get<EngineResult>(path));
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
    post(u"/translate"_s, apyTranslateBody(from, to, text), deadline, false,
        [this, key, text](const EngineAnswer &answer) {
            EngineResult result =
                answer.httpStatus == 0 ? transportFailure(answer) : parseApyTranslation(answer.httpStatus, answer.body);
            if (result.status == EngineResult::Status::Translated)
                result.text = withoutApertiumMarks(result.text, text);
            for (const Callback &waiter : stepsInFlight.take(key))
                waiter(result);
        });
}

void ApertiumEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    const QDeadlineTimer deadline(engineTimeout);
    findPath(source, target, deadline, [=, this](const Path &found) {
        if (underCheck(found)) {
            waitingForCheck.append([=, this]() { translateBatch(source, target, items, done); });
            return;
        }
        const Path path = usable(found);
        if (const auto *chain = std::get_if<QStringList>(&path))
            batchAlong(*chain, 0, items, deadline, done);
        else
            done(std::vector<EngineResult>(std::size_t(items.size()), std::get<EngineResult>(path)));
    });
}

void ApertiumEngine::batchAlong(const QStringList &chain, qsizetype hop, const QList<BatchItem> &items,
    QDeadlineTimer deadline, const BatchCallback &done)
{
    const QString from = chain[hop];
    const QString to = chain[hop + 1];
    const auto sendBatch = [this, from, to, deadline](
                               const QList<BatchItem> &sent, std::function<void(const BatchAnswer &)> answered) {
        QStringList texts;
        for (const BatchItem &item : sent)
            texts.append(item.text);
        post(u"/translate"_s, apyTranslateBody(from, to, joinApyBatch(texts)), deadline, false,
            [texts, answered](const EngineAnswer &answer) {
                BatchAnswer batch;
                if (answer.httpStatus == 413) {
                    batch.tooLarge = true;
                    answered(batch);
                    return;
                }
                const EngineResult result = answer.httpStatus == 0
                    ? transportFailure(answer)
                    : parseApyTranslation(answer.httpStatus, answer.body);
                if (result.status != EngineResult::Status::Translated) {
                    batch.failure = result;
                } else if (const auto split = splitApyBatch(result.text, texts.size())) {
                    for (qsizetype i = 0; i < texts.size(); ++i)
                        batch.items.push_back(withoutApertiumMarks((*split)[i], texts[i]));
                } else {
                    batch.items.resize(std::size_t(texts.size()));
                }
                answered(batch);
            });
    };
    const auto sendOne = [this, from, to, deadline](const BatchItem &item, Callback answered) {
        translateStep(from, to, item.text, deadline, answered);
    };
    translateInBatches(items, batchLimits, goesAlone, sendBatch, sendOne,
        [this, chain, hop, items, deadline, done](const std::vector<EngineResult> &results) {
            if (hop + 2 >= chain.size()) {
                done(results);
                return;
            }
            // The translated texts go on to the next language of the chain.
            QList<BatchItem> next;
            QList<qsizetype> where;
            for (qsizetype i = 0; i < items.size(); ++i) {
                if (results[std::size_t(i)].status == EngineResult::Status::Translated) {
                    next.append({results[std::size_t(i)].text, items[i].context});
                    where.append(i);
                }
            }
            if (next.isEmpty()) {
                done(results);
                return;
            }
            batchAlong(chain, hop + 1, next, deadline, [results, where, done](const std::vector<EngineResult> &later) {
                std::vector<EngineResult> all = results;
                for (qsizetype i = 0; i < where.size(); ++i) {
                    EngineResult &result = all[std::size_t(where[i])];
                    const bool batched = result.batched;
                    const double requests = result.requests;
                    result = later[std::size_t(i)];
                    result.batched = result.batched || batched;
                    result.requests += requests; // every hop's requests
                }
                done(all);
            });
        });
}

QList<QList<qsizetype>> ApertiumEngine::requestGroups(const QList<BatchItem> &items) const
{
    return batchGroups(items, batchLimits, goesAlone);
}

} // namespace tarnix::service
