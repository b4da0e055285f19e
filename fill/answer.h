#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QStringList>

#include "reply/entities.h"

namespace tarnix::fill {

// Where a translation from the service's memory came from when a person
// made it (the batch answer's "origin": "person"): the project or file its
// note names, and for a close match the text the person translated and how
// alike it is to the one asked.
struct PersonOrigin
{
    bool person = false;
    int score = 0; // 100: a translation of the text itself
    QString match; // a close match: the text the person translated; null for the text itself
    QString note; // where it came from ("GNU hello 2.10", "ui.tmx"); empty when unknown
    bool contextDiffers = false; // translated in another context than the entry's
    bool close() const { return person && !match.isNull() && score < 100; }
    friend bool operator==(const PersonOrigin &, const PersonOrigin &) = default;
};

// The comment a fill from a person's translation carries, so that its
// reviewer sees where it came from: "tarnix: people's translation (GNU hello
// 2.10)", "tarnix: 92% match of "Open the file" (project X)", ending in "; context
// differs" when it was given in another context. Empty for anything else.
// One line: line breaks in the matched text are written \n, and a long
// one is cut.
QString originComment(const PersonOrigin &origin);

// What the service made of one text.
struct Answer
{
    enum class Kind {
        Translated,
        Refused, // the service would not answer with a translation (a lost placeholder, a pair no engine offers)
        Failed, // no answer: the service or its engine unavailable, the connection lost
    };
    Kind kind = Kind::Failed;
    QString text; // the translation, or why there is none
    bool fromMemory = false;
    QString engine = {}; // the engine that answered, as the service names it (batches only)
    double requests = 0; // the engine requests it took (batches only)
    qsizetype characters = 0; // the characters the engines were sent for it (batches only)
    PersonOrigin origin = {}; // a person's translation: whose, and how close
};

// Reads the service's answer to one request, with the window's page reading
// for a translation; an error page's message is the reason.
Answer readAnswer(QNetworkReply::NetworkError error, int httpStatus, const QByteArray &body, bool fromMemory,
    const EntityTable &table);

// The body of a batch request (the service's POST /batch) for `texts` of
// one pair, each with its context; the ids are the texts' indices.
QByteArray batchRequestBody(
    const QString &source, const QString &target, const QStringList &texts, const QStringList &contexts);

// The service's answer to a batch of `count` texts, one answer per text in
// the order sent, matched by id: a text the answer lacks, or has twice, is
// failed. Nothing when the body is not the service's batch answer.
std::optional<QList<Answer>> readBatchAnswer(const QByteArray &body, qsizetype count);

} // namespace tarnix::fill
