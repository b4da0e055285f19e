// ApertiumEngine's check at start: which directions of the installed pairs
// really translate here.
#include <algorithm>

#include <QDateTime>
#include <QTimer>

#include "service/engines/apertiumengine.h"
#include "service/engines/apyprotocol.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

void logLine(const QString &line)
{
    qWarning().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' ' + line;
}

// The installed pairs a chain of languages goes through: "eng|spa", "spa|ita".
QStringList steps(const std::variant<QStringList, EngineResult> &path)
{
    QStringList found;
    const auto *chain = std::get_if<QStringList>(&path);
    for (qsizetype hop = 0; chain && hop + 1 < chain->size(); ++hop)
        found.append(chain->at(hop) + u'|' + chain->at(hop + 1));
    return found;
}

QString arrow(const QString &pair)
{
    return QString(pair).replace(u'|', u'>');
}

} // namespace

void ApertiumEngine::check(CheckCallback done)
{
    listPairs([this, done = std::move(done)](const QString &problem) {
        done(problem.isEmpty() ? problem
                               : problem
                    + u": check that APy runs at that address (the url of [%1] in service.conf, "
                      u"or --engine-url); asked again every 10 s"_s.arg(name()));
    });
}

void ApertiumEngine::listPairs(std::function<void(const QString &)> done)
{
    QUrl url = apyUrl;
    url.setPath(u"/listPairs"_s);
    client.send(EngineCall {QByteArrayLiteral("GET"), url, {}, {}, {}}, [this, done](const EngineAnswer &answer) {
        const auto pairs = answer.httpStatus == 0 ? std::variant<QStringList, QString>(u"APy: "_s + answer.error)
                                                  : parseApyPairs(answer.httpStatus, answer.body);
        if (const auto *problem = std::get_if<QString>(&pairs)) {
            done(*problem);
            // Asked again quietly until it answers; requests meanwhile go to
            // APy as they come and fail over to the next engine.
            QTimer::singleShot(10000, this, [this]() {
                listPairs([this](const QString &again) {
                    if (again.isEmpty())
                        logLine(u"%1 at %2 answers now"_s.arg(name(), address()));
                });
            });
            return;
        }
        checkDirections(std::get<QStringList>(pairs));
        done(QString());
    });
}

void ApertiumEngine::checkDirections(const QStringList &pairs)
{
    for (const QString &pair : pairs)
        stepsUnderCheck.insert(pair);
    for (const QString &pair : pairs) {
        const QStringList languages = pair.split(u'|');
        QUrl url = apyUrl;
        url.setPath(u"/translate"_s);
        const EngineCall call {QByteArrayLiteral("POST"), url, QByteArrayLiteral("application/x-www-form-urlencoded"),
            apyTranslateBody(languages[0], languages[1], u"1"_s), {}};
        client.send(call, [this, pair](const EngineAnswer &answer) {
            // Only an answer that is no translation says the mode fails; a
            // direction that got no answer (slow to start on a busy machine,
            // APy restarting) is kept.
            if (answer.httpStatus != 0) {
                const EngineResult result = parseApyTranslation(answer.httpStatus, answer.body);
                if (result.status != EngineResult::Status::Translated)
                    brokenSteps.insert(pair, result.detail);
            }
            if (brokenSteps.contains(pair))
                logLine(u"%1: %2 fails a one-word translation and is not offered (%3): check that the programs its "
                        u"mode runs are installed (cg-proc is in the package cg3)"_s.arg(
                            name(), arrow(pair), brokenSteps.value(pair)));
            // Those still waiting for another step ask again.
            stepsUnderCheck.remove(pair);
            for (const auto &resume : std::exchange(waitingForCheck, {}))
                resume();
        });
    }
}

bool ApertiumEngine::underCheck(const Path &path) const
{
    const QStringList chainSteps = steps(path);
    return std::any_of(
        chainSteps.cbegin(), chainSteps.cend(), [this](const QString &step) { return stepsUnderCheck.contains(step); });
}

ApertiumEngine::Path ApertiumEngine::usable(const Path &path) const
{
    for (const QString &step : steps(path)) {
        if (brokenSteps.contains(step))
            return EngineResult {EngineResult::Status::Unsupported, QString(),
                u"Apertium's %1 does not work here: %2"_s.arg(arrow(step), brokenSteps.value(step)), {}};
    }
    return path;
}

} // namespace tarnix::service
