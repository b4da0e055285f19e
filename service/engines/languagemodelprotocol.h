#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "service/engines/batch.h"
#include "service/engines/engine.h"
#include "service/text/glossary.h"

namespace tarnix::service {

// The JSON body of an OpenAI-style POST /chat/completions: the model, a
// system message that says what the text is and asks for its translation
// alone, the text itself as the user's message, temperature 0, no streaming.
// Languages are named in English ("German"), which every model understands.
// A context (a message context, a note for translators) is given in the
// system message as help for the meaning, never as text to translate; so are
// the team's translations of the glossary terms the text holds.
QByteArray chatCompletionBody(const QString &model, const QString &sourceName, const QString &targetName,
    const QString &text, const QString &context = QString(), const QList<GlossaryEntry> &terms = {});

// The translation in a chat-completions answer, cleaned by
// cleanModelAnswer(); an answer that is not a translation, or was cut off,
// leaves the engine unavailable for this text.
EngineResult parseChatCompletion(
    int httpStatus, const QByteArray &json, const QString &sourceText, const QString &targetCode);

// What is wrong with a model server's answer to GET {url}/models (an
// OpenAI-style list: {"data": [{"id": "qwen2.5:7b"}, …]}) for `model`, with
// what to check; empty when nothing is. A server listing one model answers
// to any name, so only a list of several must hold the model's.
QString modelListProblem(int httpStatus, const QByteArray &json, const QString &model);

// A model's answer as a translation of `sourceText` into the language of
// `targetCode`: a reasoning block, a code fence and quotes around it removed
// (quotes only when the source itself is not quoted so); empty when it is
// plainly not a translation: nothing, a lead-in ("Here is the translation:"),
// a note after it, lines the source does not have, the source quoted inside
// a sentence, or words about translating that the source does not have.
// Latin words that translations keep ("OK", "Wi-Fi", names) are no sign.
std::optional<QString> cleanModelAnswer(const QString &answer, const QString &sourceText, const QString &targetCode);

// The body of a chat-completions request for several texts at once: the
// user's message is a JSON object of the texts keyed by their number ("1",
// "2", …), and the model is asked to answer with a JSON object of the same
// keys, in the same order, each holding the translation of its text alone.
// Contexts are given in the system message, keyed the same way.
QByteArray chatCompletionBatchBody(const QString &model, const QString &sourceName, const QString &targetName,
    const QList<BatchItem> &items, const QList<GlossaryEntry> &terms = {});

// The translations from a model's answer to a batch of `items`. Only an
// answer whose keys are the numbers sent, each once and in order, is used as
// it stands; one that leaves some out is trusted for the others; one with
// keys out of order is trusted for the keys that stand in order with all the
// others (of "2, 1, 3" only for 3); one with a key twice or a key not sent,
// or cut off by its token limit, is trusted for none. Each value must pass
// the same cleaning as a single answer (cleanModelAnswer).
BatchAnswer parseChatCompletionBatch(
    int httpStatus, const QByteArray &json, const QList<BatchItem> &items, const QString &targetCode);

// The keys and string values of a JSON object, in the order written, with
// keys given twice kept twice; nothing when `json` is not an object of
// strings.
std::optional<QList<std::pair<QString, QString>>> orderedStringMembers(const QString &json);

} // namespace tarnix::service
