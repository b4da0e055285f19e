#pragma once

#include <variant>

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include "service/engines/engine.h"
#include "service/http/form.h"

namespace tarnix::service {

// The most items one batch request may hold.
inline constexpr qsizetype maxBatchItems = 1000;

// A batch request, POST /batch with a JSON body:
// {"from": "en", "to": "es", "items": [{"id": "a", "text": "Open", "context": "menu"}, …]}
struct BatchForm
{
    struct Item
    {
        QJsonValue id; // a string or a number, given back as it came
        QString text;
        QString context;
    };
    QString source;
    QString target;
    QList<Item> items;
};

// Parses a batch request: a JSON object with the strings "from" and "to"
// and 1 to maxBatchItems items, each an object with an "id" (a string or a
// number, each id once) and a non-empty "text" string, and optionally a
// "context" string. Anything else is refused with what is wrong.
std::variant<BatchForm, FormError> parseBatchForm(QByteArrayView body);

// What the service answers for one item.
struct BatchItemAnswer
{
    int status = 200; // 200 translated; 422 refused; 503 no engine translated it
    QString text; // the translation, or why there is none
    QString engine;
    bool fromMemory = false;
    double requests = 0; // the engine requests it took (a share of a batch's)
    qsizetype characters = 0; // the characters the engines were sent for it
    // A person's translation (TranslationMemory::lookupPerson), where it came
    // from, and whether it was given for another context than the item's.
    bool person = false;
    QString note;
    bool contextDiffers = false;
    // A person's translation's score (similarityScore, 100 for the item's
    // own text) and, for a close match, the text the person translated.
    int score = 0;
    QString matched;
};

// What an estimate says of one item: the engine that would translate it
// (empty: no engine needed, or none offers the pair), whether the memory
// holds all of it.
struct EstimatedItem
{
    QString engine;
    bool remembered = false;
    bool offered = true;
    // A person's translation would answer it: 100 of the item's own text,
    // less a close match's score; 0 when none would.
    int personScore = 0;
};

// The answer to POST /estimate: {"items": [{"id": …, "engine": …, "memory":
// true}, {"id": …, "memory": true, "origin": "person", "score": 92}, {"id": …,
// "status": 422}], "people": {"exact": …, "close": …}, "engines": [{"engine":
// …, "characters": …, "requests": …, "seconds": …, "cost": …, "currency": …}]}.
// "people" counts the items people's translations would answer, of their own
// text (score 100) and close matches.
QByteArray estimateAnswerJson(
    const BatchForm &form, const QList<EstimatedItem> &items, const QList<EngineShare> &shares);

// The answer to a batch: {"items": [{"id": …, "status": 200, "text": …,
// "engine": …, "memory": false}, {"id": …, "status": 422, "reason": …}]},
// one per item in the order of the request. A person's translation has
// "memory": true, "origin": "person", its "note" when it has one and
// "context-differs": true when it was given for another context, and its
// "score" (100: of the item's own text); a close match of another text also
// has that text as "match".
QByteArray batchAnswerJson(const BatchForm &form, const QList<BatchItemAnswer> &answers);

// The most translations one POST /learn may hold.
inline constexpr qsizetype maxLearnItems = 1000;

// People's translations to remember, POST /learn with a JSON body:
// {"from": "en", "to": "es", "note": "GNU Hello 2.12",
//  "items": [{"text": "Open", "translation": "Abrir", "context": "menu"}, …]}
struct LearnForm
{
    QString source;
    QString target;
    QString note;
    QList<BatchItem> texts; // text and context
    QStringList translations;
};

// Parses a learn request: "from" and "to" strings, an optional "note"
// string, and 1 to maxLearnItems items, each with a non-empty "text" and
// "translation" string and optionally a "context" string.
std::variant<LearnForm, FormError> parseLearnForm(QByteArrayView body);

// The answer to GET /glossary: {"from": "en", "to": "es", "terms":
// [{"source": "file", "target": "fichero"}, …]}, the terms as the glossary
// of the pair holds them, in its order.
QByteArray glossaryAnswerJson(const QString &source, const QString &target, const QJsonArray &terms);

// {"error": message}: the answer to a batch refused as a whole.
QByteArray batchErrorJson(const QString &message);

} // namespace tarnix::service
