#pragma once

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

// `output` without the marks Apertium puts before a word it could not analyse
// ('*'), transfer ('@') or generate ('#'), which it writes even with
// markUnknown=no; the word stays. A mark character that `input` itself has
// before a word is text and left alone.
QString withoutApertiumMarks(const QString &output, const QString &input);

} // namespace tarnix::service
