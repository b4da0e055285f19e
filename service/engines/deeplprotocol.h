#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "service/engines/batch.h"
#include "service/engines/engine.h"

namespace tarnix::service {

// DeepL's API address for a key: free accounts' keys end in ":fx" and are
// served at api-free.deepl.com, all others at api.deepl.com.
QUrl deepLDefaultUrl(const QString &apiKey);

// Masked text as the XML DeepL's tag handling reads: the placeholder tokens
// ("⟦0⟧") become empty <x i="0"/> elements, which DeepL keeps and moves with
// the words around them, and the rest is escaped text.
QString toDeepLXml(const QString &maskedText);
// DeepL's XML answer back as masked text; empty when it is not well formed or
// holds markup other than the tokens' elements.
std::optional<QString> fromDeepLXml(const QString &xml);

// The JSON body of POST /v2/translate: one text, XML tag handling with the
// token element ignored, formatting preserved, and the glossary when one is
// given (DeepL then needs the source language, which is always sent).
QByteArray deepLTranslateBody(const QString &sourceLang, const QString &targetLang, const QString &maskedText,
    const QString &glossaryId = QString());

// The translation from a /v2/translate answer, as masked text. 456 (the
// account's character quota is used up) and every other failure leave the
// engine unavailable with a reason that names it; 400 is a refusal of the
// request's languages.
EngineResult parseDeepLTranslation(int httpStatus, const QByteArray &json);

// The language codes of a GET /v2/languages answer ("EN", "PT-PT"), or why not.
std::variant<QSet<QString>, QString> parseDeepLLanguages(int httpStatus, const QByteArray &json);

// Several masked texts in one POST /v2/translate, one `text` value each (at
// most 50, DeepL's limit for a request), with the glossary as above.
QByteArray deepLBatchBody(const QString &sourceLang, const QString &targetLang, const QStringList &maskedTexts,
    const QString &glossaryId = QString());

// The translations of `count` texts from a /v2/translate answer to a batch:
// exactly that many, each well-formed, or the ones that are not are not
// trusted; 413 is a request over DeepL's size limit.
BatchAnswer parseDeepLBatch(int httpStatus, const QByteArray &json, qsizetype count);

} // namespace tarnix::service
