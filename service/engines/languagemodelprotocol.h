#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "service/engines/engine.h"

namespace tarnix::service {

// The JSON body of an OpenAI-style POST /chat/completions: the model, a
// system message that says what the text is and asks for its translation
// alone, the text itself as the user's message, temperature 0, no streaming.
// Languages are named in English ("German"), which every model understands.
// A context (a message context, a note for translators) is given in the
// system message as help for the meaning, never as text to translate.
QByteArray chatCompletionBody(const QString &model, const QString &sourceName, const QString &targetName,
    const QString &text, const QString &context = QString());

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

} // namespace tarnix::service
