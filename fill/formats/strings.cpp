#include "fill/formats/strings.h"

#include <map>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "languages/languagetags.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// The characters of a key or value written without quotes.
bool isBare(QChar c)
{
    return (c.unicode() < 0x80 && c.isLetterOrNumber()) || QStringView(u"_$+/:.-").contains(c);
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

class Reader
{
public:
    explicit Reader(const QString &text)
        : t(text)
    { }

    // Past white space and comments. Comments count as attached to what
    // follows unless a blank line separates them from it.
    void skip(bool attach)
    {
        int breaks = 0;
        while (i < t.size()) {
            const QChar c = t[i];
            if (c == u'\n') {
                ++breaks;
                ++i;
            } else if (c.isSpace()) {
                ++i;
            } else if (t.sliced(i).startsWith(u"/*")) {
                const qsizetype close = t.indexOf(u"*/", i + 2);
                const qsizetype end = close < 0 ? t.size() : close + 2;
                note(attach, breaks, i, t.mid(i + 2, (close < 0 ? t.size() : close) - i - 2));
                breaks = 0;
                i = end;
            } else if (t.sliced(i).startsWith(u"//")) {
                qsizetype end = t.indexOf(u'\n', i);
                if (end < 0)
                    end = t.size();
                note(attach, breaks, i, t.mid(i + 2, end - i - 2));
                breaks = 0;
                i = end;
            } else {
                break;
            }
        }
        if (attach && breaks >= 2)
            comments.clear();
    }

    // A quoted or bare string; nullopt when none starts here.
    std::optional<QString> string()
    {
        if (i >= t.size())
            return std::nullopt;
        if (t[i] != u'"') {
            const qsizetype start = i;
            while (i < t.size() && isBare(t[i]))
                ++i;
            return i > start ? std::optional<QString>(t.mid(start, i - start)) : std::nullopt;
        }
        QString out;
        for (++i; i < t.size(); ++i) {
            const QChar c = t[i];
            if (c == u'"') {
                ++i;
                return out;
            }
            if (c != u'\\' || i + 1 >= t.size()) {
                out += c;
                continue;
            }
            const QChar e = t[++i];
            static const QString letters = u"ntrabfv"_s;
            static const QString controls = u"\n\t\r\a\b\f\v"_s;
            if (letters.contains(e)) {
                out += controls[letters.indexOf(e)];
            } else if (e >= u'0' && e <= u'7') {
                int value = 0;
                int digits = 0;
                for (; digits < 3 && i < t.size() && t[i] >= u'0' && t[i] <= u'7'; ++digits, ++i)
                    value = value * 8 + (t[i].unicode() - u'0');
                --i;
                out += QChar(value);
            } else if (e == u'U' || e == u'u') {
                int value = 0;
                int digits = 0;
                for (; digits < 4 && i + 1 < t.size() && hexValue(t[i + 1]) >= 0; ++digits, ++i)
                    value = value * 16 + hexValue(t[i + 1]);
                out += digits > 0 ? QChar(value) : e;
            } else {
                out += e; // \" \\ \' and any other character as itself
            }
        }
        return std::nullopt; // no closing quote
    }

    const QString &t;
    qsizetype i = 0;
    struct Comment
    {
        qsizetype start;
        QString text;
    };
    QList<Comment> comments;

private:
    void note(bool attach, int breaks, qsizetype start, const QString &text)
    {
        if (!attach)
            return;
        if (breaks >= 2)
            comments.clear();
        comments.append({start, text.trimmed()});
    }
};

// Xcode's placeholder for a string without a comment in the code: no help.
bool isNote(const QString &comment)
{
    return !comment.isEmpty() && comment != u"No comment provided by engineer."_s;
}

bool loadPairs(const QString &path, xml::Document &doc, QList<StringsPair> &pairs, QString &error)
{
    if (!doc.load(path, error))
        return false;
    qsizetype at = 0;
    QString fault;
    auto parsed = parseStrings(doc.text(), at, fault);
    if (!parsed) {
        error = u"%1:%2: %3"_s.arg(path).arg(doc.lineAt(at)).arg(fault);
        return false;
    }
    pairs = *parsed;
    return true;
}

// The last pair of each key, as Foundation keeps it.
QHash<QString, int> lastOfKeys(const QList<StringsPair> &pairs)
{
    QHash<QString, int> last;
    for (int i = 0; i < pairs.size(); ++i)
        last.insert(pairs[i].key, i);
    return last;
}

int lineBreaks(QStringView text)
{
    return int(text.count(u'\n'));
}

qsizetype lineStart(const QString &text, qsizetype at)
{
    const qsizetype start = text.lastIndexOf(u'\n', at - 1) + 1;
    return QStringView(text).sliced(start, at - start).trimmed().isEmpty() ? start : at;
}

// Where the line that holds `at` ends, before its line break.
qsizetype lineEnd(const QString &text, qsizetype at)
{
    qsizetype end = text.indexOf(u'\n', at);
    if (end < 0)
        return text.size();
    return end > at && text[end - 1] == u'\r' ? end - 1 : end;
}

} // namespace

std::optional<QList<StringsPair>> parseStrings(const QString &text, qsizetype &faultAt, QString &fault)
{
    QList<StringsPair> pairs;
    Reader r(text);
    if (!text.isEmpty() && text[0] == QChar(0xfeff))
        r.i = 1;
    const auto failed = [&](const QString &why) {
        faultAt = r.i;
        fault = why;
        return std::nullopt;
    };
    while (true) {
        r.skip(true);
        if (r.i >= text.size())
            break;
        StringsPair pair;
        pair.start = r.i;
        pair.leadStart = r.comments.isEmpty() ? r.i : r.comments.first().start;
        for (const Reader::Comment &comment : std::as_const(r.comments))
            pair.comments.append(comment.text);
        r.comments.clear();
        const auto key = r.string();
        if (!key)
            return failed(u"a quoted key expected"_s);
        pair.key = *key;
        r.skip(false);
        if (r.i < text.size() && text[r.i] == u'=') {
            ++r.i;
            r.skip(false);
            pair.valueStart = r.i;
            const auto value = r.string();
            if (!value)
                return failed(u"a quoted value expected after ="_s);
            pair.value = *value;
            pair.valueEnd = r.i;
            r.skip(false);
        } else {
            pair.value = pair.key; // "key"; stands for "key" = "key";
            pair.valueStart = pair.valueEnd = r.i;
        }
        if (r.i >= text.size() || text[r.i] != u';')
            return failed(u"';' expected after a value"_s);
        pair.end = ++r.i;
        pairs.append(pair);
    }
    return pairs;
}

QString quotedStringsValue(const QString &text)
{
    QString out = u"\""_s;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += u"\\\""_s;
            break;
        case u'\\':
            out += u"\\\\"_s;
            break;
        case u'\n':
            out += u"\\n"_s;
            break;
        case u'\t':
            out += u"\\t"_s;
            break;
        case u'\r':
            out += u"\\r"_s;
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += u"\\U%1"_s.arg(uint(c.unicode()), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

QString lprojLanguage(const QString &path)
{
    const auto tag = languages::readLprojName(QFileInfo(path).dir().dirName());
    return tag ? tag->bcp47() : QString();
}

bool StringsFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_targetPairs.clear();
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    if (!loadPairs(sourcePath, m_source, m_sourcePairs, error))
        return false;
    m_hasTarget = QFileInfo::exists(files.target);
    if (m_hasTarget && sourcePath != files.target && !loadPairs(files.target, m_target, m_targetPairs, error))
        return false;
    if (m_hasTarget && sourcePath == files.target) {
        m_target = m_source;
        m_targetPairs = m_sourcePairs;
    }
    catalog.language = lprojLanguage(files.target);
    catalog.sourceLanguage = lprojLanguage(sourcePath);
    const QHash<QString, int> lastSource = lastOfKeys(m_sourcePairs);
    const QHash<QString, int> inTarget = lastOfKeys(m_targetPairs);
    for (int i = 0; i < m_sourcePairs.size(); ++i) {
        const StringsPair &pair = m_sourcePairs[i];
        if (lastSource.value(pair.key) != i)
            continue;
        Entry entry;
        entry.key = pair.key;
        entry.source = pair.value;
        for (const QString &comment : pair.comments) {
            if (isNote(comment))
                entry.notes.append(comment);
        }
        entry.line = m_source.lineAt(pair.start);
        const auto there = inTarget.constFind(pair.key);
        entry.translations = {there == inTarget.cend() ? QString() : m_targetPairs[*there].value};
        if (there != inTarget.cend())
            entry.line = m_target.lineAt(m_targetPairs[*there].start);
        entry.id = int(m_units.size());
        m_units.append(i);
        catalog.entries.append(entry);
    }
    return true;
}

WriteResult StringsFormat::write(const QList<Fill> &fills, const QString &, int)
{
    QHash<int, QString> filled; // source pair -> its translation
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_units.size() && !fill.forms.value(0).isEmpty())
            filled.insert(m_units[fill.id], fill.forms.first());
    }
    const auto valueEdit = [](const StringsPair &pair, const QString &value) {
        const QString quoted = quotedStringsValue(value);
        return xml::Edit {
            pair.valueStart, pair.valueEnd, pair.valueStart == pair.valueEnd ? u" = "_s + quoted : quoted};
    };
    QList<xml::Edit> edits;
    WriteResult result;
    result.ok = true;
    const QString &source = m_source.text();
    if (!m_hasTarget) {
        // The source file with the filled values; every other pair taken out
        // with its comment and the blank lines after it.
        const QSet<int> units(m_units.cbegin(), m_units.cend());
        for (int i = 0; i < m_sourcePairs.size(); ++i) {
            const StringsPair &pair = m_sourcePairs[i];
            if (filled.contains(i) && units.contains(i)) {
                edits.append(valueEdit(pair, filled.value(i)));
                continue;
            }
            const qsizetype from = lineStart(source, pair.leadStart);
            qsizetype to = pair.end;
            while (to < source.size() && (source[to] == u' ' || source[to] == u'\t'))
                ++to;
            if ((from == 0 || source[from - 1] == u'\n') && lineEnd(source, to) == to) {
                while (to < source.size()) { // the line break, and blank lines after it
                    const qsizetype next = source.indexOf(u'\n', to);
                    if (next < 0 || !QStringView(source).sliced(to, next - to).trimmed().isEmpty())
                        break;
                    to = next + 1;
                }
            }
            edits.append({from, to, {}});
        }
        result.bytes = m_source.encode(xml::applied(source, edits));
        return result;
    }
    const QString &text = m_target.text();
    const QString lineBreak = text.contains(u"\r\n"_s) ? u"\r\n"_s : u"\n"_s;
    const auto withBreaks = [&lineBreak](QString part) {
        part.replace(u"\r\n"_s, u"\n"_s);
        return lineBreak == u"\n"_s ? part : part.replace(u'\n', lineBreak);
    };
    const QHash<QString, int> inTarget = lastOfKeys(m_targetPairs);
    std::map<qsizetype, QString> insertions;
    const StringsPair *anchor = nullptr; // the target's pair of the last source key it has
    for (const int p : std::as_const(m_units)) {
        const StringsPair &pair = m_sourcePairs[p];
        if (const auto there = inTarget.constFind(pair.key); there != inTarget.cend()) {
            anchor = &m_targetPairs[*there];
            if (filled.contains(p))
                edits.append(valueEdit(*anchor, filled.value(p)));
            continue;
        }
        if (!filled.contains(p))
            continue;
        // A key the target lacks, as the source writes it, where the source has it.
        const QString added = withBreaks(source.mid(pair.leadStart, pair.valueStart - pair.leadStart))
            + (pair.valueStart == pair.valueEnd ? u" = "_s : QString()) + quotedStringsValue(filled.value(p))
            + withBreaks(source.mid(pair.valueEnd, pair.end - pair.valueEnd));
        const qsizetype before = p > 0 ? m_sourcePairs[p - 1].end : 0;
        const int gap = std::max(1, lineBreaks(QStringView(source).sliced(before, pair.leadStart - before)));
        if (anchor) {
            insertions[lineEnd(text, anchor->end)] += lineBreak.repeated(gap) + added;
        } else if (!m_targetPairs.isEmpty()) {
            const qsizetype next = p + 1 < m_sourcePairs.size() ? m_sourcePairs[p + 1].leadStart : source.size();
            const int after = std::max(1, lineBreaks(QStringView(source).sliced(pair.end, next - pair.end)));
            insertions[lineStart(text, m_targetPairs.first().leadStart)] += added + lineBreak.repeated(after);
        } else {
            QString &atEnd = insertions[text.size()];
            if (atEnd.isEmpty() && !text.isEmpty() && !text.endsWith(u'\n'))
                atEnd += lineBreak;
            else if (!atEnd.isEmpty())
                atEnd += lineBreak.repeated(gap - 1);
            atEnd += added + lineBreak;
        }
    }
    for (const auto &[at, added] : insertions)
        edits.append({at, at, added});
    result.bytes = m_target.encode(xml::applied(text, edits));
    return result;
}

} // namespace tarnix::fill
