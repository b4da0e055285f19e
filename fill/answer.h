#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QString>

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
};

// Reads the service's answer to one request, with the window's page reading
// for a translation; an error page's message is the reason.
Answer readAnswer(QNetworkReply::NetworkError error, int httpStatus, const QByteArray &body, bool fromMemory,
    const EntityTable &table);

} // namespace tarnix::fill
