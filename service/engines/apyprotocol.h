#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "service/engines/engine.h"

namespace tarnix::service {

// Form body asking APy's /translateChain for the chain of installed pairs
// that leads from one language to another (no text: APy only plans the path).
QByteArray apyPathBody(const QString &from, const QString &to);

// The chain of languages from APy's /translateChain answer ("eng", "spa",
// "ita"), or the engine's refusal: a 400 answer means no path exists.
std::variant<QStringList, EngineResult> parseApyPath(int httpStatus, const QByteArray &json);

// The installed pairs ("eng|spa", "ita|spa") from APy's /listPairs answer,
// or what is wrong with the answer.
std::variant<QStringList, QString> parseApyPairs(int httpStatus, const QByteArray &json);

// Form body for APy's /translate over one installed pair: plain text, unknown
// words left unmarked.
QByteArray apyTranslateBody(const QString &from, const QString &to, const QString &text);

// The translation from APy's /translate answer.
EngineResult parseApyTranslation(int httpStatus, const QByteArray &json);

// Several texts in one /translate request: each text, then a line holding
// only a full stop, at which Apertium ends a sentence, so that each text is
// translated as it would be alone.
QString joinApyBatch(const QStringList &texts);

// The translations of `count` texts from the translation of joinApyBatch(),
// cut at the full-stop lines; nothing where the answer has another number
// of them (no text of it can be told apart then).
std::optional<QStringList> splitApyBatch(const QString &translation, qsizetype count);

// Whether a text can share a request with others: not empty, and no line of
// its own is a full stop alone (the answer could not be cut back then).
bool apyBatchable(const QString &text);

// `output` without the marks Apertium puts before a word it could not analyse
// ('*'), transfer ('@') or generate ('#'), which it writes even with
// markUnknown=no; the word stays. A mark character that `input` itself has
// before a word is text and left alone.
QString withoutApertiumMarks(const QString &output, const QString &input);

} // namespace tarnix::service
