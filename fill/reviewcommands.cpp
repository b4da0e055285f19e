#include "fill/reviewcommands.h"

#include <cstdio>

#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>

#include "fill/accelerator.h"
#include "fill/formatfor.h"
#include "fill/languages.h"
#include "fill/options.h"
#include "fill/plan.h"
#include "fill/review.h"
#include "fill/safewrite.h"
#include "translate/request.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

void sayError(const QString &text)
{
    std::fputs(("tarnix-fill: "_L1 + text + u'\n').toLocal8Bit().constData(), stderr);
}

// A catalog and what awaits review in it.
struct Reviewed
{
    std::unique_ptr<CatalogFormat> format;
    Catalog catalog;
    QList<ReviewItem> record; // for a format without marks of its own
    FileStamp recordStamp;
};

std::optional<Reviewed> readReviewed(const QString &path, const Options &options, QString &error)
{
    const FormatInfo *info = formatFor(path);
    if (!info) {
        error = path + u":0: not a catalog (tarnix-fill reads %1 files)"_s.arg(readableFiles());
        return std::nullopt;
    }
    Reviewed reviewed;
    reviewed.format = info->make();
    CatalogFiles files {path, options.source};
    if (files.source.isEmpty() && info->sourceFor)
        files.source = info->sourceFor(path, options.sourceLanguage);
    if (!reviewed.format->read(files, reviewed.catalog, error))
        return std::nullopt;
    if (!reviewed.format->marksReview()) {
        auto record = readRecord(path, reviewed.recordStamp, error);
        if (!record)
            return std::nullopt;
        reviewed.record = *record;
    }
    return reviewed;
}

// Posts one POST /learn; empty, or why the service did not store them.
QString postLearn(QNetworkAccessManager &net, const QUrl &service, const QJsonObject &request)
{
    const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
    QNetworkRequest post = makeServiceRequest(serviceRequestUrl(service).resolved(QUrl(u"learn"_s)), body.size());
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/json"_ba);
    post.setTransferTimeout(60000);
    std::unique_ptr<QNetworkReply> reply(net.post(post, body));
    QEventLoop wait;
    QObject::connect(reply.get(), &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    const qsizetype sent = request.value("items"_L1).toArray().size();
    if (status == 200 && answer.value("stored"_L1).toInteger() == sent)
        return {};
    if (status == 0)
        return reply->errorString();
    if (status == 404)
        return u"the service at %1 does not learn translations (an older tarnix-service?)"_s.arg(service.toString());
    return u"the service answered %1: %2"_s.arg(status).arg(answer.value("error"_L1).toString());
}

} // namespace

int learnReviewed(const Options &options)
{
    // The service's limits: items per request, and a body well within its 1 MiB.
    constexpr qsizetype mostItems = 1000;
    constexpr qsizetype mostBytes = 768 * 1024;
    QNetworkAccessManager net;
    bool failed = false;
    for (const QString &path : options.files) {
        QString error;
        const auto reviewed = readReviewed(path, options, error);
        if (!reviewed) {
            sayError(error);
            failed = true;
            continue;
        }
        const Catalog &catalog = reviewed->catalog;
        const QString target = catalogLanguage(catalog, options.language);
        if (catalog.isTemplate || target.isEmpty()) {
            sayError(catalog.isTemplate ? u"%1: a template holds no translations to learn"_s.arg(path)
                                        : u"%1: the file names no language: give it with --language"_s.arg(path));
            failed = failed || !catalog.isTemplate;
            continue;
        }
        const QString project = catalog.project == u"PACKAGE VERSION" ? QString() : catalog.project;
        const QString note = project.isEmpty() ? QFileInfo(path).fileName() : project;
        const QString source =
            serviceLanguage(catalog.sourceLanguage.isEmpty() ? options.sourceLanguage : catalog.sourceLanguage);
        const QList<int> awaiting =
            unreviewedEntries(catalog.entries, reviewed->format->marksReview(), reviewed->record);
        const QSet<int> unreviewed(awaiting.cbegin(), awaiting.cend());
        QJsonArray items;
        qsizetype bytes = 0, learnt = 0, plural = 0;
        const auto send = [&]() {
            if (items.isEmpty())
                return true;
            const QString why = postLearn(net, options.service,
                QJsonObject {
                    {"from"_L1, source}, {"to"_L1, serviceLanguage(target)}, {"note"_L1, note}, {"items"_L1, items}});
            if (!why.isEmpty()) {
                sayError(u"%1: %2; %3 of its translations were learnt before"_s.arg(path, why).arg(learnt));
                return false;
            }
            learnt += items.size();
            items = QJsonArray();
            bytes = 0;
            return true;
        };
        bool sent = true;
        for (qsizetype i = 0; i < catalog.entries.size() && sent; ++i) {
            const Entry &entry = catalog.entries[i];
            if (entry.obsolete || entry.source.isEmpty() || entry.fuzzy || !isTranslated(entry)
                || unreviewed.contains(int(i)))
                continue;
            if (entry.plural || isIcuMessage(entry)) {
                ++plural;
                continue;
            }
            // As tarnix-fill asks for it, so that its own requests find it.
            const QJsonObject item {{"text"_L1, withoutAccelerator(entry.source, entry.accelerator)},
                {"translation"_L1, withoutAccelerator(entry.translations.first(), entry.accelerator)},
                {"context"_L1, contextOf(entry)}};
            const qsizetype size = QJsonDocument(item).toJson(QJsonDocument::Compact).size();
            if (!items.isEmpty() && (items.size() >= mostItems || bytes + size > mostBytes))
                sent = send();
            items.append(item);
            bytes += size;
        }
        if (!sent || !send()) {
            failed = true;
            continue;
        }
        std::fputs(qPrintable(u"%1: learnt %2 reviewed translations (%3)%4\n"_s.arg(path).arg(learnt).arg(note,
                       plural ? u"; left out %1 plural or ICU entries, which the memory keeps no "
                                u"single translation of"_s.arg(plural)
                              : QString())),
            stdout);
    }
    std::fflush(stdout);
    return failed ? 2 : 0;
}

int listUnreviewed(const Options &options)
{
    bool failed = false;
    bool found = false;
    for (const QString &path : options.files) {
        QString error;
        const auto reviewed = readReviewed(path, options, error);
        if (!reviewed) {
            sayError(error);
            failed = true;
            continue;
        }
        const QList<Entry> &entries = reviewed->catalog.entries;
        const bool marks = reviewed->format->marksReview();
        QHash<QString, QString> origins; // a record's key: where its person's translation came from
        for (const ReviewItem &item : std::as_const(reviewed->record))
            origins.insert(item.key, item.origin);
        for (int index : unreviewedEntries(entries, marks, reviewed->record)) {
            const Entry &entry = entries[index];
            const QString where = entry.line > 0 ? u"%1:%2"_s.arg(path).arg(entry.line) : path;
            // After a tab, which no key holds: where a person's translation came from.
            const QString origin = marks ? entry.origin : origins.value(entry.key);
            std::puts(qPrintable(
                where + u": "_s + escapedField(entry.key) + (origin.isEmpty() ? QString() : u'\t' + origin)));
            found = true;
        }
    }
    std::fflush(stdout);
    return failed ? 2 : found ? 1 : 0;
}

int acceptEntries(const Options &options)
{
    const QString &path = options.files.first();
    QStringList keys;
    for (const QString &written : options.keys) {
        const auto key = unescapedField(written);
        if (!key) {
            sayError(u"--accept %1: a backslash starts \\\\, \\t, \\n, \\r or \\uXXXX in a key"_s.arg(written));
            return 2;
        }
        keys.append(*key);
    }
    const FileStamp stamp = stampOf(path);
    QString error;
    auto reviewed = readReviewed(path, options, error);
    if (!reviewed) {
        sayError(error);
        return 2;
    }
    const QList<Entry> &entries = reviewed->catalog.entries;
    const bool marks = reviewed->format->marksReview();
    const QList<int> unreviewed = unreviewedEntries(entries, marks, reviewed->record);
    QSet<QString> known;
    QList<int> ids;
    for (int index : unreviewed) {
        if (keys.contains(entries[index].key))
            ids.append(entries[index].id);
    }
    for (const Entry &entry : entries)
        known.insert(entry.key);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (!known.contains(keys[i])) {
            sayError(u"%1:0: no entry has the key %2; nothing accepted"_s.arg(path, options.keys[i]));
            return 2;
        }
    }
    if (ids.isEmpty()) {
        sayError(u"%1: nothing to accept: those entries await no review"_s.arg(path));
        return 0;
    }
    if (!marks) {
        const QString why = putRecord(path, withoutKeys(reviewed->record, keys), reviewed->recordStamp);
        if (!why.isEmpty()) {
            sayError(why + u"; nothing accepted"_s);
            return 2;
        }
        return 0;
    }
    WriteResult result = reviewed->format->accept(ids);
    if (!result.ok) {
        sayError(result.error);
        return 2;
    }
    if (stamp.crlf)
        result.bytes = withCrlf(result.bytes);
    const Written written = writeReplacing(result.bytes, path, stamp);
    if (!written.error.isEmpty()) {
        sayError(u"%1:0: %2; the catalog is left as it was"_s.arg(path, written.error));
        return 2;
    }
    if (!written.note.isEmpty())
        sayError(u"%1: %2"_s.arg(written.placed, written.note));
    if (written.placed != path) {
        sayError(u"%1 changed on disk meanwhile and is left as it is; the accepted catalog is %2"_s.arg(
            path, written.placed));
        return 2;
    }
    return 0;
}

} // namespace tarnix::fill
