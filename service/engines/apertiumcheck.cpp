// ApertiumEngine's check at start: which directions of the installed pairs
// really translate here.
#include <algorithm>
#include <memory>

#include <QDateTime>
#include <QTimer>

#include "service/engines/apertiumengine.h"
#include "service/engines/apyprocess.h"
#include "service/engines/apyprotocol.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// How long the check waits for an APy of its own to answer.
constexpr int checkerPatienceMs = 10000;

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
                      u"or --engine-url); asked again every second for 15 s, then every 10 s"_s.arg(name()));
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
    if (origin != Apy::Started || !apy) {
        sendChecks(apyUrl, pairs, nullptr);
        return;
    }
    // APy keeps every pipeline it starts, and with one running for each
    // installed direction its requests took 6 to 8% longer. So the
    // service's own APy only runs the directions asked for: the check goes
    // to an APy of its own, stopped once every verdict is in. One that does
    // not answer within checkerPatienceMs is given up, and the check goes to
    // the serving APy after all.
    auto *checker = new ApyProcess(this);
    auto chosen = std::make_shared<bool>(false);
    const auto checkOn = [this, pairs, checker, chosen](bool own) {
        if (std::exchange(*chosen, true))
            return;
        if (own) {
            sendChecks(checker->url(), pairs, checker);
        } else {
            checker->deleteLater();
            sendChecks(apyUrl, pairs, nullptr);
        }
    };
    connect(
        checker, &ApyProcess::ready, this, [checkOn]() { checkOn(true); }, Qt::SingleShotConnection);
    connect(checker, &ApyProcess::failed, this, [checkOn]() { checkOn(false); });
    QTimer::singleShot(checkerPatienceMs, checker, [checkOn]() { checkOn(false); });
    checker->start(apy->modes());
}

void ApertiumEngine::sendChecks(const QUrl &checkedApy, const QStringList &pairs, ApyProcess *checker)
{
    auto left = std::make_shared<qsizetype>(pairs.size());
    if (pairs.isEmpty() && checker)
        checker->deleteLater();
    for (const QString &pair : pairs) {
        const QStringList languages = pair.split(u'|');
        QUrl url = checkedApy;
        url.setPath(u"/translate"_s);
        const EngineCall call {QByteArrayLiteral("POST"), url, QByteArrayLiteral("application/x-www-form-urlencoded"),
            apyTranslateBody(languages[0], languages[1], u"1"_s), {}};
        client.send(call, [this, pair, left, checker = QPointer<ApyProcess>(checker)](const EngineAnswer &answer) {
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
            if (--*left == 0 && checker)
                checker->deleteLater();
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
