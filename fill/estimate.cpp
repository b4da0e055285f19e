#include "fill/estimate.h"

#include <algorithm>
#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "fill/report.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

QString duration(const EngineEstimate &e)
{
    if (!e.timed)
        return u"?"_s;
    const auto whole = qint64(std::ceil(e.seconds));
    return u"%1:%2"_s.arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

QString money(const EngineEstimate &e)
{
    if (!e.priced)
        return u"-"_s;
    const QString amount = QString::number(e.cost, 'f', 2);
    return e.currency.isEmpty() ? amount : amount + u' ' + e.currency;
}

} // namespace

EngineEstimate &EngineEstimate::operator+=(const EngineEstimate &part)
{
    entries += part.entries;
    remembered += part.remembered;
    characters += part.characters;
    requests += part.requests;
    seconds += part.seconds;
    timed = timed && part.timed;
    cost += part.cost;
    priced = priced || part.priced;
    if (currency.isEmpty())
        currency = part.currency;
    return *this;
}

std::optional<EstimateAnswer> readEstimateAnswer(const QByteArray &body, qsizetype count)
{
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    const QJsonValue items = root.value("items"_L1);
    const QJsonValue engines = root.value("engines"_L1);
    if (!items.isArray() || !engines.isArray() || items.toArray().size() != count)
        return std::nullopt;
    EstimateAnswer answer;
    answer.items.resize(count);
    QList<bool> seen(count, false);
    for (const QJsonValue &value : items.toArray()) {
        const QJsonObject item = value.toObject();
        const double number = item.value("id"_L1).toDouble(-1);
        if (number < 0 || number >= double(count) || number != std::floor(number) || seen[qsizetype(number)])
            return std::nullopt;
        seen[qsizetype(number)] = true;
        answer.items[qsizetype(number)] = {item.value("engine"_L1).toString(), item.value("memory"_L1).toBool(),
            item.value("status"_L1).toInt() == 200,
            item.value("origin"_L1) == "person"_L1 ? item.value("score"_L1).toInt(100) : 0};
    }
    for (const QJsonValue &value : engines.toArray()) {
        const QJsonObject engine = value.toObject();
        EngineEstimate row;
        row.characters = qint64(engine.value("characters"_L1).toDouble());
        row.requests = qint64(engine.value("requests"_L1).toDouble());
        row.seconds = engine.value("seconds"_L1).toDouble();
        row.timed = engine.contains("seconds"_L1) || row.characters == 0;
        row.cost = engine.value("cost"_L1).toDouble();
        row.priced = engine.contains("cost"_L1);
        row.currency = engine.value("currency"_L1).toString();
        answer.engines.insert(engine.value("engine"_L1).toString(), row);
    }
    return answer;
}

void addEstimate(CatalogEstimate &into, const EstimateAnswer &answer, const QList<int> &textsOf)
{
    qsizetype next = 0;
    for (const int texts : textsOf) {
        const QList<EstimateAnswer::Item> own = answer.items.mid(next, texts);
        next += texts;
        if (own.isEmpty())
            continue;
        if (std::any_of(own.cbegin(), own.cend(), [](const EstimateAnswer::Item &item) { return !item.offered; })) {
            ++into.unsupported;
            continue;
        }
        const int score = own.front().personScore;
        EngineEstimate &row = into.engines[score >= 100 ? peoplesEngine : score > 0 ? closeEngine : own.front().engine];
        ++row.entries;
        if (!own.front().engine.isEmpty() && own.front().remembered)
            ++row.remembered;
    }
    for (auto it = answer.engines.cbegin(); it != answer.engines.cend(); ++it)
        into.engines[it.key()] += *it;
}

QString estimateTable(const QList<CatalogEstimate> &estimates)
{
    QList<QStringList> table {{u"file"_s, u"language"_s, u"engine"_s, u"entries"_s, u"memory"_s, u"characters"_s,
        u"requests"_s, u"time"_s, u"cost"_s}};
    QMap<QString, EngineEstimate> whole;
    int unsupported = 0;
    const auto row = [](const QString &file, const QString &language, const QString &engine, const EngineEstimate &e) {
        return QStringList {file, language, engine.isEmpty() ? u"(none needed)"_s : engine, QString::number(e.entries),
            QString::number(e.remembered), QString::number(e.characters), QString::number(e.requests), duration(e),
            money(e)};
    };
    for (const CatalogEstimate &estimate : estimates) {
        for (auto it = estimate.engines.cbegin(); it != estimate.engines.cend(); ++it) {
            table.append(row(estimate.file, estimate.language, it.key(), *it));
            whole[it.key()] += *it;
        }
        if (estimate.unsupported > 0)
            table.append({estimate.file, estimate.language, u"(no engine)"_s, QString::number(estimate.unsupported),
                u"0"_s, u"0"_s, u"0"_s, u"-"_s, u"-"_s});
        unsupported += estimate.unsupported;
    }
    if (estimates.size() > 1) {
        for (auto it = whole.cbegin(); it != whole.cend(); ++it)
            table.append(row(u"all"_s, QString(), it.key(), *it));
    }
    QString out = alignedTable(table, 3);
    if (unsupported > 0)
        out += u"%1 entries have no engine that offers their language pair\n"_s.arg(unsupported);
    return out;
}

QString engineTable(const QMap<QString, EngineEstimate> &engines)
{
    QList<QStringList> table {{u"engine"_s, u"entries"_s, u"memory"_s, u"characters"_s, u"requests"_s}};
    for (auto it = engines.cbegin(); it != engines.cend(); ++it)
        table.append({it.key(), QString::number(it->entries), QString::number(it->remembered),
            QString::number(it->characters), QString::number(it->requests)});
    return alignedTable(table, 1);
}

} // namespace tarnix::fill
