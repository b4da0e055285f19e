#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include "service/engines/engine.h"

namespace tarnix::service {

// The language pairs an engine's server says it translates, asked for once,
// when the first request comes, and kept while the service runs. When the
// server cannot be asked (a model server still starting beside the service),
// it is asked again every `retryStep` for the first `retryWindow`, and a
// request meanwhile waits for the next attempt. After that, requests are
// told at once, and the first request after each `retryInterval` asks again.
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
    static constexpr std::chrono::milliseconds retryStep {1000};
    static constexpr std::chrono::milliseconds retryWindow {15000};

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
    void ask();

    Loader loader;
    std::optional<Table> table;
    QList<Question> waiting; // for the answer of the attempt under way or the next one
    bool asking = false;
    bool retrying = false; // asking again by itself, every retryStep
    QElapsedTimer failingSince; // the first failure
    QString failure;
    QDeadlineTimer askAgain {0};
};

} // namespace tarnix::service
