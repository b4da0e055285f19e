#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QList>
#include <QString>

#include "service/engines/engine.h"

namespace tarnix::service {

// How much one batch request of an engine carries: at most `items` texts
// and `characters` UTF-16 units of text in all.
struct BatchLimits
{
    qsizetype items = 50;
    qsizetype characters = 3000;
};

// What an engine made of one batch request. Only an answer aligned to what
// was sent is used: per text its translation, or nothing where the answer
// cannot be trusted for it (a text missing, one too many, two the same, an
// answer out of order). A failure stands for every text of the request.
struct BatchAnswer
{
    std::vector<std::optional<QString>> items;
    std::optional<EngineResult> failure;
    bool tooLarge = false; // refused for its size (413, an engine's own limit): split, not failed
};

// A batch the engine did not answer at all (no connection, a timeout): every
// item unavailable, the engine named in the reason ("DeepL: timed out").
BatchAnswer unreachableBatch(const QString &engine, const QString &error);

// The groups, as indices into `items` in their order, that go out as one
// request each: consecutive texts within `limits`; a text `alone` says may
// not share a request (or a longer one than the limit) goes by itself.
QList<QList<qsizetype>> batchGroups(
    const QList<BatchItem> &items, const BatchLimits &limits, const std::function<bool(const BatchItem &)> &alone);

using SendBatch = std::function<void(const QList<BatchItem> &items, std::function<void(const BatchAnswer &)> done)>;
using SendOne = std::function<void(const BatchItem &item, Engine::Callback done)>;

// Translates `items` in batch requests (`sendBatch`, in the groups above,
// all at once: the engine's client keeps to its limit), a group of one with
// the engine's single request (`sendOne`). The texts an answer cannot be
// trusted for are asked again in a smaller batch, a request refused for its
// size is split in two, down to each text alone; what fails alone fails.
// `done` gets one result per item, in order; a result taken from a batch
// answer of several texts is marked `batched`.
void translateInBatches(const QList<BatchItem> &items, const BatchLimits &limits,
    const std::function<bool(const BatchItem &)> &alone, SendBatch sendBatch, SendOne sendOne,
    Engine::BatchCallback done);

} // namespace tarnix::service
