#include "service/engines/deeplglossaries.h"

#include <QDateTime>
#include <QDebug>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

void logLine(const QString &line)
{
    qWarning().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' ' + line;
}

QString keyOf(const QString &source, const QString &target)
{
    return source + u'|' + target;
}

} // namespace

DeepLGlossaries::DeepLGlossaries(Send send, QObject *parent)
    : QObject(parent)
    , send(std::move(send))
{ }

void DeepLGlossaries::setSettings(const GlossarySettings &glossary)
{
    settings = glossary;
    pairs.clear();
}

QString DeepLGlossaries::idFor(const QString &source, const QString &target) const
{
    const auto it = pairs.constFind(keyOf(source, target));
    return it != pairs.cend() && it->state == Pair::State::Ready ? it->id : QString();
}

void DeepLGlossaries::prepare(const QString &source, const QString &target, const QString &sourceLang,
    const QString &targetLang, std::function<void()> done)
{
    const QString key = keyOf(source, target);
    Pair &pair = pairs[key];
    if (pair.state == Pair::State::Unknown) {
        pair.source = source;
        pair.target = target;
        pair.sourceLang = sourceLang;
        pair.targetLang = targetLang;
        pair.origin = settings.originFor(target);
        pair.glossary = Glossary(settings.entriesFor(source, target));
        if (pair.glossary.isEmpty() || deepLGlossaryEntries(pair.glossary.entries()).isEmpty()) {
            pair.state = Pair::State::Without;
        } else if (supported && !supported->contains(sourceLang + u'>' + targetLang)) {
            pair.state = Pair::State::Without;
            logLine(u"DeepL takes no glossary from %1 to %2: the glossary's terms for %3>%4 are masked instead"_s.arg(
                sourceLang, targetLang, source, target));
        }
    }
    if (pair.state == Pair::State::Working) {
        pair.waiting.append(std::move(done));
        return;
    }
    if (pair.state == Pair::State::Unknown || (pair.state == Pair::State::Failed && pair.retry.hasExpired())) {
        pair.state = Pair::State::Working;
        pair.waiting.append(std::move(done));
        look(key);
        return;
    }
    QTimer::singleShot(0, this, std::move(done));
}

void DeepLGlossaries::forget(const QString &source, const QString &target)
{
    auto it = pairs.find(keyOf(source, target));
    if (it != pairs.end() && it->state == Pair::State::Ready) {
        logLine(u"DeepL no longer knows the glossary of %1>%2: it is looked for again"_s.arg(source, target));
        it->state = Pair::State::Unknown;
        it->id.clear();
    }
}

// The account's glossaries, for one of this version's name.
void DeepLGlossaries::look(const QString &key)
{
    send("GET", u"/v2/glossaries"_s, {}, [this, key](const EngineAnswer &answer) {
        if (answer.httpStatus == 0) {
            fail(key, answer.error);
            return;
        }
        const auto listed = parseDeepLGlossaries(answer.httpStatus, answer.body);
        if (const auto *why = std::get_if<QString>(&listed)) {
            fail(key, *why);
            return;
        }
        const QList<DeepLGlossary> &existing = std::get<QList<DeepLGlossary>>(listed);
        const Pair &pair = pairs[key];
        const QString name = nameOf(pair);
        const DeepLGlossary *found = nullptr;
        for (const DeepLGlossary &glossary : existing) {
            if (glossary.name == name && glossary.sourceLang == pair.sourceLang
                && glossary.targetLang == pair.targetLang && (!found || (glossary.ready && !found->ready)))
                found = &glossary;
        }
        if (!found)
            create(key, existing);
        else if (found->ready)
            ready(key, found->id, existing);
        else
            waitUntilReady(key, found->id, readyPolls, existing);
    });
}

void DeepLGlossaries::create(const QString &key, const QList<DeepLGlossary> &existing)
{
    const Pair &pair = pairs[key];
    const QString name = nameOf(pair);
    send("POST", u"/v2/glossaries"_s,
        deepLGlossaryBody(name, pair.sourceLang, pair.targetLang, deepLGlossaryEntries(pair.glossary.entries())),
        [this, key, name, existing](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                fail(key, answer.error);
                return;
            }
            const auto created = parseDeepLGlossary(answer.httpStatus, answer.body);
            if (const auto *why = std::get_if<QString>(&created)) {
                fail(key, *why);
                return;
            }
            const DeepLGlossary &glossary = std::get<DeepLGlossary>(created);
            logLine(u"DeepL glossary %1 created for %2>%3 (%4 entries)"_s.arg(
                name, pairs[key].source, pairs[key].target, QString::number(glossary.entryCount)));
            if (glossary.ready)
                ready(key, glossary.id, existing);
            else
                waitUntilReady(key, glossary.id, readyPolls, existing);
        });
}

void DeepLGlossaries::waitUntilReady(
    const QString &key, const QString &id, int polls, const QList<DeepLGlossary> &existing)
{
    if (polls == 0) {
        fail(key, u"glossary %1 was not ready after %2 ms"_s.arg(id).arg(readyPolls * readyPoll.count()));
        return;
    }
    QTimer::singleShot(readyPoll, this, [this, key, id, polls, existing]() {
        send("GET", u"/v2/glossaries/"_s + id, {}, [this, key, id, polls, existing](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                fail(key, answer.error);
                return;
            }
            const auto asked = parseDeepLGlossary(answer.httpStatus, answer.body);
            if (const auto *why = std::get_if<QString>(&asked))
                fail(key, *why);
            else if (std::get<DeepLGlossary>(asked).ready)
                ready(key, id, existing);
            else
                waitUntilReady(key, id, polls - 1, existing);
        });
    });
}

void DeepLGlossaries::ready(const QString &key, const QString &id, const QList<DeepLGlossary> &existing)
{
    Pair &pair = pairs[key];
    pair.state = Pair::State::Ready;
    pair.id = id;
    // Older versions of the pair's glossary made of the same files: the
    // account keeps only so many. Another service's, made of other files,
    // stay. One already gone (another service of the same files deleted it
    // first) needs no word in the log.
    for (const DeepLGlossary &old : existing) {
        if (old.id == id
            || !isOlderDeepLGlossary(old.name, pair.source, pair.target, pair.origin, pair.glossary.digest()))
            continue;
        send("DELETE", u"/v2/glossaries/"_s + old.id, {}, [name = old.name](const EngineAnswer &answer) {
            if ((answer.httpStatus < 200 || answer.httpStatus > 299) && answer.httpStatus != 404)
                logLine(u"DeepL did not delete the older glossary %1: %2"_s.arg(
                    name, answer.httpStatus ? u"HTTP %1"_s.arg(answer.httpStatus) : answer.error));
        });
    }
    settle(key);
}

QString DeepLGlossaries::nameOf(const Pair &pair) const
{
    return deepLGlossaryName(pair.source, pair.target, pair.origin, pair.glossary.digest());
}

void DeepLGlossaries::fail(const QString &key, const QString &why)
{
    Pair &pair = pairs[key];
    pair.state = Pair::State::Failed;
    pair.retry = QDeadlineTimer(retryAfter);
    logLine(u"DeepL has no glossary for %1>%2 (%3): the glossary's terms are masked instead; tried again in %4 s"_s.arg(
        pair.source, pair.target, why, QString::number(retryAfter.count() / 1000)));
    settle(key);
}

void DeepLGlossaries::settle(const QString &key)
{
    const QList<std::function<void()>> waiting = std::exchange(pairs[key].waiting, {});
    for (const auto &done : waiting)
        done();
}

} // namespace tarnix::service
