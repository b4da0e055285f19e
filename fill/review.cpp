#include "fill/review.h"

#include <algorithm>

#include <QFile>
#include <QHash>
#include <QSet>

#include "fill/formats/catalog.h"
#include "fill/safewrite.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// The first line of every record, so a reader of the file knows what it is.
const QByteArray recordHeader =
    "# tarnix-fill review record: machine-filled entries not yet reviewed, key<TAB>text, see tarnix-fill(1)";

// What starts the field of an item's origin, which no escaped text starts with.
constexpr QStringView originField = u"\\#";

// Characters that would break a line or a field, in any editor or diff:
// controls, C1 controls (NEL among them), the Unicode line and paragraph separators.
bool needsUnicodeEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool hasText(const QStringList &forms)
{
    return std::any_of(forms.cbegin(), forms.cend(), [](const QString &form) { return !form.isEmpty(); });
}

} // namespace

QString reviewRecordPath(const QString &catalog)
{
    return catalog + u".tarnix-review"_s;
}

QString escapedField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\"_s;
            break;
        case u'\t':
            out += u"\\t"_s;
            break;
        case u'\n':
            out += u"\\n"_s;
            break;
        case u'\r':
            out += u"\\r"_s;
            break;
        default:
            if (needsUnicodeEscape(c.unicode()))
                out += u"\\u%1"_s.arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out;
}

std::optional<QString> unescapedField(QStringView field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i].unicode()) {
        case u'\\':
            out += u'\\';
            break;
        case u't':
            out += u'\t';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u'u': {
            if (field.size() - i <= 4)
                return std::nullopt;
            char16_t code = 0;
            for (const QChar digit : field.sliced(i + 1, 4)) {
                const int value = hexValue(digit.unicode());
                if (value < 0)
                    return std::nullopt;
                code = char16_t(code * 16 + value);
            }
            out += QChar(code);
            i += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

QByteArray serialisedRecord(QList<ReviewItem> items)
{
    if (items.isEmpty())
        return {};
    std::stable_sort(
        items.begin(), items.end(), [](const ReviewItem &a, const ReviewItem &b) { return a.key < b.key; });
    QByteArray out = recordHeader + '\n';
    for (const ReviewItem &item : std::as_const(items)) {
        QString line = escapedField(item.key);
        for (const QString &form : item.forms)
            line += u'\t' + escapedField(form);
        if (!item.origin.isEmpty())
            line += u'\t' + originField.toString() + escapedField(item.origin);
        out += line.toUtf8() + '\n';
    }
    return out;
}

std::optional<QList<ReviewItem>> parsedRecord(const QByteArray &bytes, int &badLine)
{
    QList<ReviewItem> items;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r')) // a checkout that turned line ends into CR LF
            line.chop(1);
        if (line.isEmpty() || (n == 0 && line.startsWith("# tarnix-fill review record")))
            continue;
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        ReviewItem item;
        std::optional<QString> key = unescapedField(fields.first());
        qsizetype formFields = fields.size();
        if (formFields > 2 && fields.last().startsWith(originField)) {
            const auto origin = unescapedField(QStringView(fields.last()).sliced(originField.size()));
            if (!origin)
                key.reset();
            else
                item.origin = *origin;
            --formFields;
        }
        for (qsizetype f = 1; key && f < formFields; ++f) {
            const auto form = unescapedField(fields[f]);
            if (!form)
                key.reset();
            else
                item.forms.append(*form);
        }
        if (!key || key->isEmpty() || fields.size() < 2) {
            badLine = int(n + 1);
            return std::nullopt;
        }
        item.key = *key;
        items.append(item);
    }
    return items;
}

bool holdsMachineText(const Entry &entry, const ReviewItem &item)
{
    return !entry.obsolete && entry.key == item.key && entry.translations == item.forms && hasText(item.forms);
}

QList<ReviewItem> mergedRecord(
    const QList<ReviewItem> &record, const QList<Entry> &entries, const QList<ReviewItem> &filled)
{
    QHash<QString, const Entry *> byKey;
    for (const Entry &entry : entries)
        byKey.insert(entry.key, &entry);
    QSet<QString> refilled;
    for (const ReviewItem &item : filled)
        refilled.insert(item.key);
    QList<ReviewItem> merged;
    for (const ReviewItem &item : record) {
        const Entry *entry = byKey.value(item.key);
        if (entry && !refilled.contains(item.key) && holdsMachineText(*entry, item))
            merged.append(item);
    }
    return merged + filled;
}

QList<int> unreviewedEntries(const QList<Entry> &entries, bool marksReview, const QList<ReviewItem> &record)
{
    QHash<QString, const ReviewItem *> byKey;
    for (const ReviewItem &item : record)
        byKey.insert(item.key, &item);
    QList<int> found;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries[i];
        const ReviewItem *item = byKey.value(entry.key);
        if (marksReview ? entry.fuzzy && !entry.obsolete && hasText(entry.translations)
                        : item && holdsMachineText(entry, *item))
            found.append(int(i));
    }
    return found;
}

QList<ReviewItem> withoutKeys(const QList<ReviewItem> &record, const QStringList &keys)
{
    QList<ReviewItem> kept;
    for (const ReviewItem &item : record) {
        if (!keys.contains(item.key))
            kept.append(item);
    }
    return kept;
}

std::optional<QList<ReviewItem>> readRecord(const QString &catalog, FileStamp &stamp, QString &error)
{
    const QString path = reviewRecordPath(catalog);
    stamp = stampOf(path);
    if (!stamp.exists)
        return QList<ReviewItem> {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + u":0: cannot read: "_s + file.errorString();
        return std::nullopt;
    }
    int badLine = 0;
    auto items = parsedRecord(file.readAll(), badLine);
    if (!items)
        error = u"%1:%2: not a line of a review record (key, a tab, the machine's text)"_s.arg(path).arg(badLine);
    return items;
}

QString putRecord(const QString &catalog, const QList<ReviewItem> &items, const FileStamp &stamp)
{
    const QString path = reviewRecordPath(catalog);
    if (items.isEmpty()) {
        if (stamp.exists && QFile::exists(path) && !QFile::remove(path))
            return path + u": cannot remove the record, which lists nothing to review any more"_s;
        return {};
    }
    QByteArray bytes = serialisedRecord(items);
    if (stamp.crlf)
        bytes = withCrlf(bytes);
    const Written written = writeReplacing(bytes, path, stamp);
    if (!written.error.isEmpty())
        return path + u": "_s + written.error;
    if (written.placed != path)
        return path + u": changed on disk meanwhile and is left as it is; the new record is "_s + written.placed;
    return {};
}

} // namespace tarnix::fill
