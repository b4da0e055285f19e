#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QStringList>

#include "reply/entities.h"

namespace tarnix::fill {

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
