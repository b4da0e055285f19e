#include "service/engines/batch.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace tarnix::service {

QList<QList<qsizetype>> batchGroups(
    const QList<BatchItem> &items, const BatchLimits &limits, const std::function<bool(const BatchItem &)> &alone)
{
    QList<QList<qsizetype>> groups;
    QList<qsizetype> group;
    qsizetype characters = 0;
    const auto close = [&]() {
        if (!group.isEmpty())
            groups.append(std::exchange(group, {}));
        characters = 0;
    };
    for (qsizetype i = 0; i < items.size(); ++i) {
        const qsizetype size = items[i].text.size();
        if ((alone && alone(items[i])) || size >= limits.characters) {
            close();
            groups.append(QList<qsizetype> {i});
            continue;
        }
        if (group.size() >= limits.items || characters + size > limits.characters)
            close();
        group.append(i);
        characters += size;
    }
    close();
    return groups;
}

namespace {

struct Run
{
    QList<BatchItem> items;
    SendBatch sendBatch;
    SendOne sendOne;
    std::vector<EngineResult> results;
    qsizetype left = 0;
    Engine::BatchCallback done;
    std::vector<double> spent {}; // per item: its share of every request it was sent in

    void settle(qsizetype index, const EngineResult &result)
    {
        results[std::size_t(index)] = result;
        results[std::size_t(index)].requests = spent[std::size_t(index)];
        if (--left == 0)
            done(results);
    }
};

void ask(const std::shared_ptr<Run> &run, const QList<qsizetype> &indices)
{
    if (indices.size() == 1) {
        const qsizetype index = indices.front();
        run->sendOne(run->items[index], [run, index](const EngineResult &result) {
            run->spent[std::size_t(index)] += std::max(result.requests, 1.0);
            run->settle(index, result);
        });
        return;
    }
    QList<BatchItem> sent;
    for (const qsizetype index : indices)
        sent.append(run->items[index]);
    run->sendBatch(sent, [run, indices](const BatchAnswer &answer) {
        for (const qsizetype index : indices)
            run->spent[std::size_t(index)] += 1.0 / double(indices.size());
        const auto halves = [&](const QList<qsizetype> &rest) {
            const qsizetype half = rest.size() / 2;
            ask(run, rest.first(half));
            ask(run, rest.sliced(half));
        };
        if (answer.tooLarge) {
            halves(indices);
            return;
        }
        if (answer.failure) {
            for (const qsizetype index : indices)
                run->settle(index, *answer.failure);
            return;
        }
        QList<qsizetype> untrusted;
        QList<std::pair<qsizetype, QString>> trusted;
        for (qsizetype i = 0; i < indices.size(); ++i) {
            if (std::size_t(i) < answer.items.size() && answer.items[std::size_t(i)])
                trusted.append({indices[i], *answer.items[std::size_t(i)]});
            else
                untrusted.append(indices[i]);
        }
        // Asked before any item settles: the last one settled ends the run.
        if (untrusted.size() == indices.size())
            halves(untrusted);
        else if (!untrusted.isEmpty())
            ask(run, untrusted);
        for (const auto &[index, text] : trusted) {
            EngineResult result {EngineResult::Status::Translated, text, {}, {}};
            result.batched = true;
            run->settle(index, result);
        }
    });
}

} // namespace

void translateInBatches(const QList<BatchItem> &items, const BatchLimits &limits,
    const std::function<bool(const BatchItem &)> &alone, SendBatch sendBatch, SendOne sendOne,
    Engine::BatchCallback done)
{
    auto run = std::make_shared<Run>(
        Run {items, std::move(sendBatch), std::move(sendOne), std::vector<EngineResult>(std::size_t(items.size())),
            items.size(), std::move(done), std::vector<double>(std::size_t(items.size()), 0.0)});
    if (items.isEmpty()) {
        run->done({});
        return;
    }
    for (const QList<qsizetype> &group : batchGroups(items, limits, alone))
        ask(run, group);
}

BatchAnswer unreachableBatch(const QString &engine, const QString &error)
{
    BatchAnswer failed;
    failed.failure = EngineResult {EngineResult::Status::Unavailable, QString(), engine + u": "_s + error, {}};
    return failed;
}

} // namespace tarnix::service
