#include "service/http/page.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

QString escapePageText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += u"&#38;";
        else if (c == u'<')
            out += u"&#60;";
        else if (c == u'>')
            out += u"&#62;";
        else
            out += c;
    }
    return out;
}

QByteArray translationPage(QStringView translation)
{
    // No white space around the translation: anything between the markers
    // that is not inside a tag would become part of the client's result.
    const QString page = u"<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>Tarnix translation</title></head>\n"
                         u"<body><div id=gt-res-content><span id=result_box class=short_text>"_s
        + escapePageText(translation) + u"</span></div><div id=gt-res-tools></div>\n</body></html>\n"_s;
    return page.toUtf8();
}

QByteArray errorPage(int status, QStringView reason, QStringView message)
{
    const QString heading = QString::number(status) + u' ' + escapePageText(reason);
    const QString page = u"<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>"_s + heading
        + u"</title></head>\n<body><h1>"_s + heading + u"</h1>\n<p>"_s + escapePageText(message)
        + u"</p>\n</body></html>\n"_s;
    return page.toUtf8();
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 421:
        return "Misdirected Request";
    case 422:
        return "Unprocessable Entity";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Unknown";
    }
}

} // namespace tarnix::service
