#include "fill/answer.h"

#include <QVariant>

#include "reply/extract.h"
#include "reply/replystatus.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// The explanation on one of the service's error pages: its first paragraph.
QString errorMessage(const QByteArray &body, const EntityTable &table)
{
    const QString page = QString::fromUtf8(body);
    const qsizetype start = page.indexOf(u"<p>"_s);
    const qsizetype end = start < 0 ? -1 : page.indexOf(u"</p>"_s, start);
    if (end < 0)
        return {};
    return cleanText(QStringView(page).sliced(start + 3, end - start - 3), table).simplified();
}

} // namespace

Answer readAnswer(QNetworkReply::NetworkError error, int httpStatus, const QByteArray &body, bool fromMemory,
    const EntityTable &table)
{
    if (isAcceptedReply(error, httpStatus)) {
        const QString text = extractTranslation(body, table);
        if (text.isEmpty())
            return {Answer::Kind::Failed, u"the service answered with an empty translation"_s, false};
        return {Answer::Kind::Translated, text, fromMemory};
    }
    // 422: the service answered, but with a refusal; anything else is a failure.
    const QString message = errorMessage(body, table);
    if (httpStatus == 422)
        return {Answer::Kind::Refused, message.isEmpty() ? u"refused by the service"_s : message, false};
    if (httpStatus > 0)
        return {Answer::Kind::Failed,
            message.isEmpty() ? u"HTTP %1"_s.arg(httpStatus) : u"HTTP %1: %2"_s.arg(httpStatus).arg(message), false};
    return {Answer::Kind::Failed, error == QNetworkReply::NoError ? u"no answer"_s : u"no answer from the service"_s,
        false};
}

} // namespace tarnix::fill
