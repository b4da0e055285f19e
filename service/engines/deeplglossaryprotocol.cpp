#include "service/engines/deeplglossaryprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "service/engines/engine.h"
#include "service/engines/enginerequest.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

QString failure(int httpStatus, const QByteArray &json)
{
    return httpFailure(u"DeepL"_s, httpStatus, QJsonDocument::fromJson(json).object().value("message"_L1).toString())
        .detail;
}

DeepLGlossary glossaryOf(const QJsonObject &object)
{
    return DeepLGlossary {object.value("glossary_id"_L1).toString(), object.value("name"_L1).toString(),
        object.value("source_lang"_L1).toString().toLower(), object.value("target_lang"_L1).toString().toLower(),
        object.value("ready"_L1).toBool(), qsizetype(object.value("entry_count"_L1).toInteger())};
}

bool usable(const QString &side)
{
    return !side.isEmpty() && side == side.trimmed() && !side.contains(u'\t') && !side.contains(u'\n')
        && !side.contains(u'\r');
}

} // namespace

QString deepLGlossaryLanguage(const QString &deepLCode)
{
    return deepLCode.section(u'-', 0, 0).toLower();
}

QString deepLGlossaryName(const QString &source, const QString &target, const QString &origin, const QString &digest)
{
    return u"tarnix-%1-%2-%3-%4"_s.arg(source, target, origin, digest);
}

bool isOlderDeepLGlossary(
    const QString &name, const QString &source, const QString &target, const QString &origin, const QString &digest)
{
    if (name == deepLGlossaryName(source, target, origin, digest))
        return false;
    // The pair's name and then only hex digits: "tarnix-en-pt-" is not followed by "BR-…" of another pair.
    const QString pair = u"tarnix-%1-%2-"_s.arg(source, target);
    if (!name.startsWith(pair))
        return false;
    static const QRegularExpression versioned(u"^[0-9a-f]+$"_s);
    static const QRegularExpression unnamedOrigin(u"^[0-9a-f]{12}$"_s);
    const QString rest = name.sliced(pair.size());
    if (rest.startsWith(origin + u'-'))
        return versioned.match(rest.sliced(origin.size() + 1)).hasMatch();
    return unnamedOrigin.match(rest).hasMatch();
}

QString deepLGlossaryEntries(const QList<GlossaryEntry> &entries)
{
    QString tsv;
    QSet<QString> sources;
    for (const GlossaryEntry &entry : entries) {
        if (!usable(entry.source) || !usable(entry.target) || sources.contains(entry.source))
            continue;
        sources.insert(entry.source);
        tsv += entry.source + u'\t' + entry.target + u'\n';
    }
    return tsv;
}

QByteArray deepLGlossaryBody(
    const QString &name, const QString &sourceLang, const QString &targetLang, const QString &tsvEntries)
{
    const QJsonObject body {
        {"name"_L1, name},
        {"source_lang"_L1, sourceLang},
        {"target_lang"_L1, targetLang},
        {"entries"_L1, tsvEntries},
        {"entries_format"_L1, "tsv"_L1},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::variant<QSet<QString>, QString> parseDeepLGlossaryPairs(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200)
        return failure(httpStatus, json);
    const QJsonValue list = QJsonDocument::fromJson(json).object().value("supported_languages"_L1);
    if (!list.isArray())
        return u"DeepL answered /v2/glossary-language-pairs without a list"_s;
    QSet<QString> pairs;
    for (const QJsonValue &pair : list.toArray()) {
        const QString source = pair.toObject().value("source_lang"_L1).toString().toLower();
        const QString target = pair.toObject().value("target_lang"_L1).toString().toLower();
        if (!source.isEmpty() && !target.isEmpty())
            pairs.insert(source + u'>' + target);
    }
    return pairs;
}

std::variant<QList<DeepLGlossary>, QString> parseDeepLGlossaries(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200)
        return failure(httpStatus, json);
    const QJsonValue list = QJsonDocument::fromJson(json).object().value("glossaries"_L1);
    if (!list.isArray())
        return u"DeepL answered /v2/glossaries without a list"_s;
    QList<DeepLGlossary> glossaries;
    for (const QJsonValue &glossary : list.toArray())
        glossaries.append(glossaryOf(glossary.toObject()));
    return glossaries;
}

std::variant<DeepLGlossary, QString> parseDeepLGlossary(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200 && httpStatus != 201)
        return failure(httpStatus, json);
    const DeepLGlossary glossary = glossaryOf(QJsonDocument::fromJson(json).object());
    if (glossary.id.isEmpty())
        return u"DeepL answered without a glossary_id"_s;
    return glossary;
}

} // namespace tarnix::service
