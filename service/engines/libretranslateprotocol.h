#pragma once

#include <variant>

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include "service/engines/batch.h"
#include "service/engines/engine.h"

namespace tarnix::service {

// JSON body of LibreTranslate's POST /translate: q, source, target, format
// "text", and api_key when one is given.
QByteArray libreTranslateBody(const QString &from, const QString &to, const QString &text, const QString &apiKey);

// The translation from a LibreTranslate answer. A 400 is the server refusing
// the languages (the request itself is always well formed); any other failure
// (403 bad key, 429 rate limit, 5xx) leaves the engine unavailable.
EngineResult parseLibreTranslateReply(int httpStatus, const QByteArray &json);

// The pairs ("en|de", in LibreTranslate's codes) of a GET /languages answer:
// every source language with its "targets", or with every listed language
// when the server (an older version) gives no targets. Otherwise why not.
std::variant<QSet<QString>, QString> parseLibreTranslateLanguages(int httpStatus, const QByteArray &json);

// Several texts in one POST /translate: `q` as a list, as LibreTranslate's
// API documents it.
QByteArray libreTranslateBatchBody(
    const QString &from, const QString &to, const QStringList &texts, const QString &apiKey);

// The translations of `count` texts from a LibreTranslate answer to a batch:
// `translatedText` a list of exactly that many strings, or nothing is
// trusted; 413 is a batch too large to take.
BatchAnswer parseLibreTranslateBatch(int httpStatus, const QByteArray &json, qsizetype count);

} // namespace tarnix::service
