#include "service/http/guards.h"

#include "service/http/requestreader.h"

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

} // namespace

std::optional<Refusal> refuseRequest(const HttpRequest &request, quint16 port)
{
    int hosts = 0;
    for (const auto &[name, value] : request.headers) {
        if (name.compare("Origin", Qt::CaseInsensitive) == 0)
            return browserRefusal(u"Origin "_s + forLog(value));
        if (name.compare("Sec-Fetch-Site", Qt::CaseInsensitive) == 0
            && value.trimmed().compare("none", Qt::CaseInsensitive) != 0)
            return browserRefusal(u"Sec-Fetch-Site "_s + forLog(value));
        hosts += name.compare("Host", Qt::CaseInsensitive) == 0;
    }
    if (request.version >= 11 && hosts != 1)
        return Refusal {400, u"Bad Request"_s, u"An HTTP/1.1 request names its host in exactly one Host header."_s,
            hosts ? u"two Host headers"_s : u"no Host header"_s};
    const auto misdirected = [](const QString &named) {
        return Refusal {421, u"Misdirected Request"_s,
            u"This translation service answers only requests addressed to 127.0.0.1, localhost or [::1]."_s, named};
    };
    for (const auto &[name, value] : request.headers) {
        if (name.compare("Host", Qt::CaseInsensitive) == 0 && !isLoopbackHost(value, port))
            return misdirected(u"Host "_s + forLog(value));
    }
    if (const auto authority = targetAuthority(request.target);
        authority && !isLoopbackHost(authority->toByteArray(), port))
        return misdirected(u"target "_s + forLog(request.target));
    return std::nullopt;
}

std::optional<QByteArrayView> targetAuthority(QByteArrayView target)
{
    const qsizetype scheme = target.indexOf("://");
    if (scheme <= 0 || target.first(scheme).contains('/'))
        return std::nullopt;
    const QByteArrayView rest = target.sliced(scheme + 3);
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != '/' && rest[end] != '?')
        ++end;
    return rest.first(end);
}

QByteArrayView targetPath(QByteArrayView target)
{
    if (const auto authority = targetAuthority(target)) {
        const qsizetype start = authority->data() + authority->size() - target.data();
        target = target.sliced(start);
        if (target.isEmpty() || target.front() == '?')
            return "/"; // "http://host" and "http://host?q" stand for the root
    }
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.first(query);
}

} // namespace tarnix::service
