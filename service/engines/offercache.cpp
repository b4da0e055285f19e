#include "service/engines/offercache.h"

#include <QTimer>

namespace tarnix::service {

OfferCache::OfferCache(Loader loader, QObject *parent)
    : QObject(parent)
    , loader(std::move(loader))
{ }

PairOffer OfferCache::answer(const Table &table, const QString &source, const QString &target)
{
    return PairOffer {table(source, target) ? PairOffer::Answer::Offered : PairOffer::Answer::NotOffered, {}};
}

void OfferCache::check(Engine::CheckCallback done)
{
    offers(QString(), QString(), [done = std::move(done)](const PairOffer &offer) {
        done(offer.answer == PairOffer::Answer::Unknown ? offer.detail : QString());
    });
}

void OfferCache::offers(const QString &source, const QString &target, Engine::OfferCallback done)
{
    if (table || (!failure.isEmpty() && !askAgain.hasExpired() && !retrying)) {
        QTimer::singleShot(0, this, [this, source, target, done = std::move(done)]() {
            done(table ? answer(*table, source, target) : PairOffer {PairOffer::Answer::Unknown, failure});
        });
        return;
    }
    // While the server is asked again every second, a request waits for the
    // next attempt.
    waiting.append(Question {source, target, std::move(done)});
    if (!asking && !retrying)
        ask();
}

void OfferCache::ask()
{
    asking = true;
    loader([this](const Loaded &loaded) {
        asking = false;
        if (const auto *loadedTable = std::get_if<Table>(&loaded)) {
            table = *loadedTable;
            retrying = false;
        } else {
            failure = std::get<QString>(loaded);
            if (!failingSince.isValid())
                failingSince.start();
            retrying = !failingSince.hasExpired(retryWindow.count());
            askAgain = QDeadlineTimer(retrying ? retryStep : retryInterval);
            if (retrying) {
                QTimer::singleShot(retryStep, this, [this]() {
                    if (!table && !asking)
                        ask();
                });
            }
        }
        for (const Question &question : std::exchange(waiting, {})) {
            question.done(table ? answer(*table, question.source, question.target)
                                : PairOffer {PairOffer::Answer::Unknown, failure});
        }
    });
}

} // namespace tarnix::service
