#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

#include <QDeadlineTimer>
#include <QList>
#include <QObject>

#include "service/engines/engine.h"

namespace tarnix::service {

// The language pairs an engine's server says it translates, asked for once,
// when the first request comes, and kept while the service runs. When the
// server cannot be asked, requests in the next `retryInterval` are told so
// at once; the one after that asks again.
class OfferCache : public QObject
{
    Q_OBJECT

public:
    // Whether a pair of service codes is offered.
    using Table = std::function<bool(const QString &source, const QString &target)>;
    // The table, or why there is none.
    using Loaded = std::variant<Table, QString>;
    using Loader = std::function<void(std::function<void(const Loaded &)>)>;

    static constexpr std::chrono::milliseconds retryInterval {10000};

    explicit OfferCache(Loader loader, QObject *parent = nullptr);

    void offers(const QString &source, const QString &target, Engine::OfferCallback done);
    // Asks the server now, unless its answer is known: why it could not be
    // asked, or an empty string.
    void check(Engine::CheckCallback done);

private:
    struct Question
    {
        QString source;
        QString target;
        Engine::OfferCallback done;
    };

    static PairOffer answer(const Table &table, const QString &source, const QString &target);

    Loader loader;
    std::optional<Table> table;
    QList<Question> waiting; // non-empty while the server is being asked
    QString failure;
    QDeadlineTimer askAgain {0};
};

} // namespace tarnix::service
