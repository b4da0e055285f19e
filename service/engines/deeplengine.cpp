#include "service/engines/deeplengine.h"

#include <QTimer>

#include "languages/languagecodes.h"
#include "service/engines/deeplglossaryprotocol.h"
#include "service/engines/deeplprotocol.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// How many texts one request carries (DeepL takes 50 texts a request, and 128 KiB).
const BatchLimits batchLimits {50, 20000};

} // namespace

using languages::deepLSourceCode;
using languages::deepLTargetCodes;

DeepLEngine::DeepLEngine(
    const QUrl &apiUrl, const QString &apiKey, std::chrono::milliseconds timeout, int limit, QObject *parent)
    : Engine(parent)
    , client(this, limit, timeout)
    , pairs([this](auto loaded) { loadLanguages(std::move(loaded)); })
    , apiUrl(apiUrl.isEmpty() ? deepLDefaultUrl(apiKey) : apiUrl)
    , authorization("DeepL-Auth-Key " + apiKey.toUtf8())
    , glossaries([this](const QByteArray &method, const QString &path, const QByteArray &body,
                     std::function<void(const EngineAnswer &)> done) {
        client.send(call(method, path, body), std::move(done));
    })
{
    setObjectName(u"deepl"_s);
}

EngineCall DeepLEngine::call(const QByteArray &method, const QString &path, const QByteArray &body) const
{
    QUrl url = apiUrl;
    QString base = url.path();
    if (base.endsWith(u'/'))
        base.chop(1);
    const qsizetype query = path.indexOf(u'?');
    url.setPath(base + path.left(query));
    if (query >= 0)
        url.setQuery(path.sliced(query + 1));
    return EngineCall {method, url, body.isEmpty() ? QByteArray() : QByteArrayLiteral("application/json"), body,
        {{QByteArrayLiteral("Authorization"), authorization}}};
}

// Both lists, one after the other: the pairs are known once both are.
void DeepLEngine::loadLanguages(std::function<void(const OfferCache::Loaded &)> loaded)
{
    const auto list = [this](const QString &type, auto next) {
        client.send(call("GET", u"/v2/languages?type="_s + type), [next](const EngineAnswer &answer) {
            if (answer.httpStatus == 0)
                next(std::variant<QSet<QString>, QString>(u"DeepL: "_s + answer.error));
            else
                next(parseDeepLLanguages(answer.httpStatus, answer.body));
        });
    };
    list(u"source"_s, [this, list, loaded](const std::variant<QSet<QString>, QString> &sourceList) {
        if (const auto *why = std::get_if<QString>(&sourceList)) {
            loaded(*why);
            return;
        }
        sources = std::get<QSet<QString>>(sourceList);
        list(u"target"_s, [this, loaded](const std::variant<QSet<QString>, QString> &targetList) {
            if (const auto *why = std::get_if<QString>(&targetList)) {
                loaded(*why);
                return;
            }
            targets = std::get<QSet<QString>>(targetList);
            const auto table = OfferCache::Table([this](const QString &source, const QString &target) {
                return source != target && sources.contains(deepLSourceCode(source)) && !targetCode(target).isEmpty();
            });
            if (!glossaries.wanted()) {
                loaded(table);
                return;
            }
            // With a team glossary: which pairs DeepL's glossaries take. A
            // server without that list still translates; every pair's
            // glossary is then tried.
            client.send(
                call("GET", u"/v2/glossary-language-pairs"_s), [this, loaded, table](const EngineAnswer &answer) {
                    if (answer.httpStatus == 0) {
                        loaded(u"DeepL: "_s + answer.error);
                        return;
                    }
                    const auto pairs = parseDeepLGlossaryPairs(answer.httpStatus, answer.body);
                    if (const auto *found = std::get_if<QSet<QString>>(&pairs))
                        glossaries.setSupportedPairs(*found);
                    loaded(table);
                });
        });
    });
}

QString DeepLEngine::targetCode(const QString &serviceCode) const
{
    for (const QString &code : deepLTargetCodes(serviceCode)) {
        if (targets.contains(code))
            return code;
    }
    return QString();
}

void DeepLEngine::check(CheckCallback done)
{
    pairs.check([this, done = std::move(done)](const QString &problem) {
        done(problem.isEmpty() ? problem
                               : problem
                    + u": check the key of [%1] and that DeepL can be reached; asked again every second "
                      u"for 15 s, then every 10 s"_s.arg(name()));
    });
}

QString DeepLEngine::identity() const
{
    return u"deepl "_s + apiUrl.adjusted(QUrl::RemoveUserInfo).toString();
}

void DeepLEngine::offers(const QString &source, const QString &target, OfferCallback done)
{
    pairs.offers(source, target, std::move(done));
}

void DeepLEngine::setGlossary(const GlossarySettings &settings)
{
    glossaries.setSettings(settings);
}

bool DeepLEngine::takesGlossary(const QString &source, const QString &target) const
{
    return !glossaries.idFor(source, target).isEmpty();
}

void DeepLEngine::prepareGlossary(const QString &source, const QString &target, std::function<void()> done)
{
    if (!glossaries.wanted()) {
        Engine::prepareGlossary(source, target, std::move(done));
        return;
    }
    // The languages first: a pair DeepL does not translate needs no glossary.
    pairs.offers(source, target, [this, source, target, done = std::move(done)](const PairOffer &offer) mutable {
        if (offer.answer != PairOffer::Answer::Offered) {
            done();
            return;
        }
        glossaries.prepare(source, target, deepLGlossaryLanguage(deepLSourceCode(source)),
            deepLGlossaryLanguage(targetCode(target)), std::move(done));
    });
}

bool DeepLEngine::glossaryGone(
    const QString &source, const QString &target, const QString &glossaryId, const EngineAnswer &answer)
{
    if (glossaryId.isEmpty() || (answer.httpStatus != 404 && answer.httpStatus != 400)
        || !answer.body.toLower().contains("glossary"))
        return false;
    glossaries.forget(source, target);
    return true;
}

void DeepLEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateOnce(source, target, text, std::move(done), true);
}

void DeepLEngine::translateOnce(
    const QString &source, const QString &target, const QString &text, Callback done, bool again)
{
    // Before the lists are known (a caller that did not ask for offers),
    // DeepL's preferred code is sent and DeepL itself refuses what it lacks.
    const QString from = deepLSourceCode(source);
    const QString to = targets.isEmpty() ? deepLTargetCodes(target).value(0) : targetCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        refuseLater(std::move(done), u"DeepL does not translate from %1 to %2"_s.arg(source, target));
        return;
    }
    const QString glossaryId = glossaries.idFor(source, target);
    client.send(call("POST", u"/v2/translate"_s, deepLTranslateBody(from, to, text, glossaryId)),
        [this, source, target, text, glossaryId, again, done = std::move(done)](const EngineAnswer &answer) mutable {
            if (glossaryGone(source, target, glossaryId, answer) && again) {
                prepareGlossary(source, target, [this, source, target, text, done = std::move(done)]() mutable {
                    translateOnce(source, target, text, std::move(done), false);
                });
                return;
            }
            if (answer.httpStatus == 0)
                done(EngineResult {EngineResult::Status::Unavailable, QString(), u"DeepL: "_s + answer.error, {}});
            else
                done(parseDeepLTranslation(answer.httpStatus, answer.body));
        });
}

void DeepLEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    const QString from = deepLSourceCode(source);
    const QString to = targets.isEmpty() ? deepLTargetCodes(target).value(0) : targetCode(target);
    if (from.isEmpty() || to.isEmpty()) {
        Engine::translateBatch(source, target, items, std::move(done));
        return;
    }
    const auto sendBatch = [this, source, target, from, to](
                               const QList<BatchItem> &sent, std::function<void(const BatchAnswer &)> answered) {
        QStringList texts;
        for (const BatchItem &item : sent)
            texts.append(item.text);
        const QString glossaryId = glossaries.idFor(source, target);
        client.send(call("POST", u"/v2/translate"_s, deepLBatchBody(from, to, texts, glossaryId)),
            [this, source, target, glossaryId, count = texts.size(), answered](const EngineAnswer &answer) {
                // Its texts are asked again, by then with the glossary made anew.
                if (glossaryGone(source, target, glossaryId, answer)) {
                    prepareGlossary(source, target, [count, answered]() {
                        BatchAnswer untrusted;
                        untrusted.items.resize(std::size_t(count));
                        answered(untrusted);
                    });
                    return;
                }
                if (answer.httpStatus == 0) {
                    answered(unreachableBatch(u"DeepL"_s, answer.error));
                } else {
                    answered(parseDeepLBatch(answer.httpStatus, answer.body, count));
                }
            });
    };
    const auto sendOne = [this, source, target](const BatchItem &item, Callback answered) {
        translate(source, target, item.text, std::move(answered));
    };
    // DeepL takes 50 texts and 128 KiB a request; 20,000 UTF-16 units stay
    // below that even with every character escaped and three bytes long.
    translateInBatches(items, batchLimits, nullptr, sendBatch, sendOne, std::move(done));
}

QList<QList<qsizetype>> DeepLEngine::requestGroups(const QList<BatchItem> &items) const
{
    return batchGroups(items, batchLimits, nullptr);
}

} // namespace tarnix::service
