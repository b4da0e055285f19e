#include "service/engines/languagemodelengine.h"

#include <QTimer>

#include "languages/languagecodes.h"
#include "service/engines/languagemodelprotocol.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

using languages::languageName;

namespace {

// How many texts one request carries (so that the answer fits the model's output).
const BatchLimits batchLimits {20, 2000};

bool inCatalogue(const QString &source, const QString &target)
{
    return source != target && !languageName(source).isEmpty() && !languageName(target).isEmpty();
}

// Every text of a batch, for the glossary's terms among them.
QString sentTexts(const QList<BatchItem> &items)
{
    QStringList texts;
    for (const BatchItem &item : items)
        texts.append(item.text);
    return texts.join(u'\n');
}

} // namespace

LanguageModelEngine::LanguageModelEngine(const QUrl &apiUrl, const QString &model, const QString &apiKey,
    std::chrono::milliseconds timeout, int limit, QObject *parent)
    : Engine(parent)
    , client(this, limit, timeout)
    , reachable([this](auto loaded) {
        EngineCall call {QByteArrayLiteral("GET"), modelsUrl, {}, {}, {}};
        if (!this->apiKey.isEmpty())
            call.headers.append({QByteArrayLiteral("Authorization"), "Bearer " + this->apiKey.toUtf8()});
        client.send(call, [this, loaded = std::move(loaded)](const EngineAnswer &answer) {
            // A server that answers at all is asked to translate; what its
            // list says only goes to the log.
            if (answer.httpStatus == 0) {
                loaded(u"Language model: "_s + answer.error);
                return;
            }
            modelsProblem = modelListProblem(answer.httpStatus, answer.body, this->model);
            loaded(OfferCache::Table(inCatalogue));
        });
    })
    , completionsUrl(apiUrl)
    , model(model)
    , apiKey(apiKey)
{
    setObjectName(u"language-model"_s);
    QString path = completionsUrl.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    modelsUrl = completionsUrl;
    modelsUrl.setPath(path + u"models"_s);
    completionsUrl.setPath(path + u"chat/completions"_s);
}

void LanguageModelEngine::check(CheckCallback done)
{
    reachable.check([this, done = std::move(done)](const QString &problem) {
        done(problem.isEmpty() ? modelsProblem
                               : problem
                    + u": check that the model server runs at that address (the url of [%1] in "
                      u"service.conf); asked again every second for 15 s, then every 10 s"_s.arg(name()));
    });
}

QString LanguageModelEngine::identity() const
{
    return u"language-model "_s + completionsUrl.adjusted(QUrl::RemoveUserInfo).toString() + u' ' + model;
}

void LanguageModelEngine::offers(const QString &source, const QString &target, OfferCallback done)
{
    reachable.offers(source, target, std::move(done));
}

void LanguageModelEngine::translate(const QString &source, const QString &target, const QString &text, Callback done)
{
    translateInContext(source, target, text, QString(), std::move(done));
}

void LanguageModelEngine::translateInContext(
    const QString &source, const QString &target, const QString &text, const QString &context, Callback done)
{
    if (!inCatalogue(source, target)) {
        refuseLater(std::move(done), u"The language model is not asked from %1 to %2"_s.arg(source, target));
        return;
    }
    EngineCall call {QByteArrayLiteral("POST"), completionsUrl, QByteArrayLiteral("application/json"),
        chatCompletionBody(
            model, languageName(source), languageName(target), text, context, termsIn(source, target, text)),
        {}};
    if (!apiKey.isEmpty())
        call.headers.append({QByteArrayLiteral("Authorization"), "Bearer " + apiKey.toUtf8()});
    client.send(call, [text, target, done = std::move(done)](const EngineAnswer &answer) {
        if (answer.httpStatus == 0)
            done(EngineResult {EngineResult::Status::Unavailable, QString(), u"Language model: "_s + answer.error, {}});
        else
            done(parseChatCompletion(answer.httpStatus, answer.body, text, target));
    });
}

void LanguageModelEngine::setGlossary(const GlossarySettings &settings)
{
    glossarySettings = settings;
    glossaries.clear();
}

QList<GlossaryEntry> LanguageModelEngine::termsIn(const QString &source, const QString &target, const QString &text)
{
    if (glossarySettings.isEmpty())
        return {};
    const QString pair = source + u'|' + target;
    auto it = glossaries.find(pair);
    if (it == glossaries.end())
        it = glossaries.insert(pair, Glossary(glossarySettings.entriesFor(source, target)));
    return it->occurringIn(text);
}

void LanguageModelEngine::translateBatch(
    const QString &source, const QString &target, const QList<BatchItem> &items, BatchCallback done)
{
    if (!inCatalogue(source, target)) {
        Engine::translateBatch(source, target, items, std::move(done));
        return;
    }
    const auto sendBatch = [this, source, target](
                               const QList<BatchItem> &sent, std::function<void(const BatchAnswer &)> answered) {
        EngineCall call {QByteArrayLiteral("POST"), completionsUrl, QByteArrayLiteral("application/json"),
            chatCompletionBatchBody(
                model, languageName(source), languageName(target), sent, termsIn(source, target, sentTexts(sent))),
            {}};
        if (!apiKey.isEmpty())
            call.headers.append({QByteArrayLiteral("Authorization"), "Bearer " + apiKey.toUtf8()});
        client.send(call, [sent, target, answered](const EngineAnswer &answer) {
            if (answer.httpStatus == 0) {
                answered(unreachableBatch(u"Language model"_s, answer.error));
            } else {
                answered(parseChatCompletionBatch(answer.httpStatus, answer.body, sent, target));
            }
        });
    };
    const auto sendOne = [this, source, target](const BatchItem &item, Callback answered) {
        translateInContext(source, target, item.text, item.context, std::move(answered));
    };
    translateInBatches(items, batchLimits, nullptr, sendBatch, sendOne, std::move(done));
}

QList<QList<qsizetype>> LanguageModelEngine::requestGroups(const QList<BatchItem> &items) const
{
    return batchGroups(items, batchLimits, nullptr);
}

} // namespace tarnix::service
