#include "service/http/guards.h"

#include <array>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// A header value as the log shows it: one line, printable ASCII, short.
QString forLog(const QByteArray &value)
{
    QString shown;
    for (const char c : value.left(80))
        shown += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : u'?';
    return value.size() > 80 ? shown + u"…"_s : shown;
}

bool isLoopbackHost(const QByteArray &value, quint16 port)
{
    const QByteArray host = value.trimmed().toLower();
    const QByteArray portSuffix = ':' + QByteArray::number(port);
    for (const QByteArray &name :
        {QByteArrayLiteral("127.0.0.1"), QByteArrayLiteral("localhost"), QByteArrayLiteral("[::1]")}) {
        if (host == name || host == name + portSuffix)
            return true;
    }
    return false;
}

Refusal browserRefusal(const QString &note)
{
    return Refusal {403, u"Forbidden"_s,
        u"This translation service answers only local programs, not requests made by a web browser."_s, note};
}

// The methods a request line may name: HTTP's own.
constexpr std::array<QByteArrayView, 9> methods {
    "GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "TRACE", "PATCH"};

bool isMethodPrefix(QByteArrayView word)
{
    for (const QByteArrayView method : methods) {
        if (method.startsWith(word))
            return true;
    }
    return false;
}

bool isMethod(QByteArrayView word)
{
    for (const QByteArrayView method : methods) {
        if (method == word)
            return true;
    }
    return false;
}

// A request target's characters: those of a URI's path, query and authority.
bool isTargetChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("-._~!$&'()*+,;=:@/?%[]").contains(c);
}

constexpr qsizetype maxRequestLine = 8 * 1024;

} // namespace

std::optional<Refusal> refuseRequest(const QList<QPair<QByteArray, QByteArray>> &headers, quint16 port)
{
    for (const auto &[name, value] : headers) {
        if (name.compare("Origin", Qt::CaseInsensitive) == 0)
            return browserRefusal(u"Origin "_s + forLog(value));
        if (name.compare("Sec-Fetch-Site", Qt::CaseInsensitive) == 0
            && value.trimmed().compare("none", Qt::CaseInsensitive) != 0)
            return browserRefusal(u"Sec-Fetch-Site "_s + forLog(value));
    }
    for (const auto &[name, value] : headers) {
        if (name.compare("Host", Qt::CaseInsensitive) == 0 && !isLoopbackHost(value, port))
            return Refusal {421, u"Misdirected Request"_s,
                u"This translation service answers only requests addressed to 127.0.0.1, localhost or [::1]."_s,
                u"Host "_s + forLog(value)};
    }
    return std::nullopt;
}

RequestLineCheck checkRequestLine(QByteArrayView received)
{
    // Empty lines before a request line are allowed (a client may end a body with one).
    qsizetype start = 0;
    while (start < received.size() && (received[start] == '\r' || received[start] == '\n'))
        ++start;
    const QByteArrayView line = received.sliced(start);
    const qsizetype end = line.indexOf('\n');
    if (end < 0 && line.size() > maxRequestLine)
        return RequestLineCheck::NotHttp;
    const bool complete = end >= 0;
    QByteArrayView text = complete ? line.first(end) : line;
    if (text.endsWith('\r'))
        text.chop(1); // the line's CR, or one whose LF is still on its way

    const qsizetype methodEnd = text.indexOf(' ');
    const QByteArrayView method = methodEnd < 0 ? text : text.first(methodEnd);
    if (methodEnd < 0)
        return !complete && isMethodPrefix(method) ? RequestLineCheck::Incomplete : RequestLineCheck::NotHttp;
    if (!isMethod(method))
        return RequestLineCheck::NotHttp;

    const QByteArrayView rest = text.sliced(methodEnd + 1);
    const qsizetype targetEnd = rest.indexOf(' ');
    const QByteArrayView target = targetEnd < 0 ? rest : rest.first(targetEnd);
    for (const char c : target) {
        if (!isTargetChar(c))
            return RequestLineCheck::NotHttp;
    }
    if (targetEnd < 0)
        return complete ? RequestLineCheck::NotHttp : RequestLineCheck::Incomplete;
    if (target.isEmpty())
        return RequestLineCheck::NotHttp;

    // "HTTP/1." and one digit, then the end of the line.
    const QByteArrayView version = rest.sliced(targetEnd + 1);
    constexpr QByteArrayView prefix = "HTTP/1.";
    const qsizetype known = std::min(version.size(), prefix.size());
    if (version.first(known) != prefix.first(known))
        return RequestLineCheck::NotHttp;
    if (version.size() > prefix.size()
        && (version.size() > prefix.size() + 1 || version.back() < '0' || version.back() > '9'))
        return RequestLineCheck::NotHttp;
    if (!complete)
        return RequestLineCheck::Incomplete;
    return version.size() == prefix.size() + 1 ? RequestLineCheck::Http : RequestLineCheck::NotHttp;
}

} // namespace tarnix::service
