#include "fill/glossarycheck.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrlQuery>

#include "fill/accelerator.h"
#include "service/text/placeholdergrammar.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

std::optional<QList<service::GlossaryEntry>> readGlossaryAnswer(const QByteArray &body)
{
    const QJsonValue terms = QJsonDocument::fromJson(body).object().value("terms"_L1);
    if (!terms.isArray())
        return std::nullopt;
    QList<service::GlossaryEntry> entries;
    for (const QJsonValue &term : terms.toArray())
        entries.append({term["source"_L1].toString(), term["target"_L1].toString()});
    return entries;
}

TeamGlossary fetchGlossary(const QUrl &service, const QString &source, const QString &target)
{
    QUrl url = serviceRequestUrl(service).resolved(QUrl(u"glossary"_s));
    url.setQuery(QUrlQuery {{u"from"_s, source}, {u"to"_s, target}});
    QNetworkRequest get(url);
    get.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    get.setTransferTimeout(5000);
    QNetworkAccessManager net;
    std::unique_ptr<QNetworkReply> reply(net.get(get));
    QEventLoop wait;
    QObject::connect(reply.get(), &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    TeamGlossary answer;
    answer.reached = status.isValid();
    if (status.toInt() == 200) {
        if (const auto entries = readGlossaryAnswer(reply->readAll()))
            answer.glossary = service::Glossary(*entries);
    }
    return answer;
}

std::variant<service::GlossarySettings, QString> readGlossaryFiles(const QStringList &given)
{
    // "es=terms.csv", "pt_BR=terms.csv", "sr@latin=…": a language code before
    // the first '='; any other '=' belongs to the file's name.
    static const QRegularExpression withLanguage(u"^([A-Za-z]{2,3}(?:[_@-][A-Za-z0-9]+)*)=(.+)$"_s);
    service::GlossarySettings settings;
    for (const QString &value : given) {
        const QRegularExpressionMatch match = withLanguage.match(value);
        const QString path = match.hasMatch() ? match.captured(2) : value;
        if (!match.hasMatch() && path.endsWith(u".tbx"_s, Qt::CaseInsensitive)) {
            auto concepts = service::readTbx(path);
            if (const auto *error = std::get_if<QString>(&concepts))
                return *error;
            settings.concepts += std::get<0>(std::move(concepts));
            continue;
        }
        auto table = service::readGlossaryTable(path);
        if (const auto *error = std::get_if<QString>(&table))
            return *error;
        settings.tables[match.hasMatch() ? match.captured(1) : u"*"_s] += std::get<0>(std::move(table));
    }
    return settings;
}

service::Glossary glossaryOf(const service::GlossarySettings &settings, const QString &source, const QString &target)
{
    // The language's own table, then the TBX's concepts, then the tables
    // given for every language: of two entries for one term the first counts.
    return service::Glossary(settings.entriesFor(source, target) + settings.tables.value(u"*"_s));
}

namespace {

// The text with its directives blanked out, as the service's placeholder
// grammar finds them: a term inside an option or a placeholder
// ("--from-file", "%{file}") is written as the program needs it, never
// translated.
QString withoutDirectives(const QString &text)
{
    QString out = text;
    for (const service::Placeholder &placeholder : service::findPlaceholders(text))
        out.replace(placeholder.start, placeholder.length, QString(placeholder.length, u' '));
    return out;
}

} // namespace

QList<Finding> glossaryFindings(const Entry &entry, const service::Glossary &glossary)
{
    QList<Finding> found;
    if (glossary.isEmpty())
        return found;
    for (qsizetype i = 0; i < entry.translations.size(); ++i) {
        const QString &translation = entry.translations[i];
        if (translation.isEmpty())
            continue;
        const QString &source = i > 0 && entry.plural ? entry.pluralSource : entry.source;
        const auto missing = glossary.missingIn(withoutDirectives(withoutAccelerator(source, entry.accelerator)),
            withoutDirectives(withoutAccelerator(translation, entry.accelerator)));
        if (!missing)
            continue;
        const QString form = entry.plural ? u"form %1: "_s.arg(i) : QString();
        found.append({entry.line, missing->source, QString(),
            form
                + u"\"%1\": the translation does not use the glossary's \"%2\""_s.arg(
                    missing->source, missing->target)});
    }
    return found;
}

} // namespace tarnix::fill
