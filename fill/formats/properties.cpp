#include "fill/formats/properties.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace properties {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\f';
}

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Walks a file's text as Properties.load()'s LineReader and load0() do.
class Reader
{
public:
    Reader(const QString &text, const QString &path)
        : m_text(text)
        , m_path(path)
    { }

    bool read(File &file, QString &error)
    {
        QStringList comments;
        qsizetype block = -1;
        while (m_pos < m_text.size()) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
                ++m_pos;
            if (m_pos == m_text.size() || isBreak(m_text[m_pos])) { // a blank line ends a comment block
                skipBreak();
                comments.clear();
                block = -1;
                continue;
            }
            if (m_text[m_pos] == u'#' || m_text[m_pos] == u'!') { // a comment never continues
                const qsizetype from = m_pos + 1;
                while (m_pos < m_text.size() && !isBreak(m_text[m_pos]))
                    ++m_pos;
                comments.append(m_text.mid(from, m_pos - from).trimmed());
                if (block < 0)
                    block = start;
                skipBreak();
                continue;
            }
            Property property;
            property.start = start;
            property.block = block < 0 ? start : block;
            property.line = m_line;
            property.comments = comments;
            comments.clear();
            if (!readProperty(property, file, error))
                return false;
            block = -1;
            file.byKey.insert(property.key, int(file.properties.size()));
            file.properties.append(property);
        }
        return true;
    }

private:
    void skipBreak()
    {
        if (m_pos < m_text.size() && m_text[m_pos] == u'\r')
            ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == u'\n')
            ++m_pos;
        ++m_line;
    }

    // At a backslash: whether it ends its line, and if so past the break
    // and the next line's indentation.
    bool continuation()
    {
        if (m_pos + 1 >= m_text.size() || !isBreak(m_text[m_pos + 1])) {
            if (m_pos + 1 < m_text.size())
                return false;
            ++m_pos; // a backslash at the end of the file: nothing follows
            return true;
        }
        ++m_pos;
        skipBreak();
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
        return true;
    }

    // The character an escape stands for, the backslash at m_pos; false for a malformed \u.
    bool escape(QString &out, QString &error)
    {
        const QChar c = m_text[m_pos + 1];
        m_pos += 2;
        switch (c.unicode()) {
        case u't':
            out += u'\t';
            return true;
        case u'n':
            out += u'\n';
            return true;
        case u'r':
            out += u'\r';
            return true;
        case u'f':
            out += u'\f';
            return true;
        case u'u': {
            const QStringView digits = QStringView(m_text).mid(m_pos, 4);
            const bool ok = digits.size() == 4 && std::all_of(digits.begin(), digits.end(), [](QChar d) {
                return d.isDigit() || (d.toLower() >= u'a' && d.toLower() <= u'f');
            });
            if (!ok) {
                error = u"%1:%2: not a properties file: a \\u escape without four hexadecimal digits"_s.arg(
                    m_path, QString::number(m_line));
                return false;
            }
            out += QChar(char16_t(digits.toUInt(nullptr, 16)));
            m_pos += 4;
            return true;
        }
        default:
            out += c;
            return true;
        }
    }

    bool readProperty(Property &property, File &file, QString &error)
    {
        // The key: up to an unescaped '=', ':' or blank.
        while (m_pos < m_text.size() && !isBreak(m_text[m_pos])) {
            const QChar c = m_text[m_pos];
            if (c == u'\\') {
                if (continuation())
                    continue;
                if (!escape(property.key, error))
                    return false;
                continue;
            }
            if (c == u'=' || c == u':' || isBlank(c))
                break;
            property.key += c;
            ++m_pos;
        }
        const qsizetype keyEnd = m_pos;
        // Blanks, at most one '=' or ':', blanks; a line's end may come between.
        bool separator = false;
        property.valueStart = -1;
        while (m_pos < m_text.size() && !isBreak(m_text[m_pos])) {
            const QChar c = m_text[m_pos];
            if (c == u'\\' && m_pos + 1 < m_text.size() && isBreak(m_text[m_pos + 1])) {
                if (property.valueStart < 0)
                    property.valueStart = m_pos;
                continuation();
                continue;
            }
            if (isBlank(c) || (!separator && (c == u'=' || c == u':'))) {
                separator = separator || !isBlank(c);
                ++m_pos;
                continue;
            }
            break;
        }
        if (property.valueStart < 0)
            property.valueStart = m_pos;
        property.separated = property.valueStart > keyEnd;
        if (file.properties.isEmpty() && keyEnd < property.valueStart)
            file.separator = m_text.mid(keyEnd, property.valueStart - keyEnd);
        while (m_pos < m_text.size() && !isBreak(m_text[m_pos])) {
            if (m_text[m_pos] == u'\\') {
                if (continuation())
                    continue;
                if (!escape(property.value, error))
                    return false;
                continue;
            }
            property.value += m_text[m_pos++];
        }
        property.end = m_pos;
        skipBreak();
        property.next = m_pos;
        return true;
    }

    const QString &m_text;
    const QString &m_path;
    qsizetype m_pos = 0;
    int m_line = 1;
};

} // namespace

bool parse(const QByteArray &bytes, const QString &path, File &file, QString &error)
{
    file = File {};
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
    if (ascii) {
        file.charset = Charset::Escaped;
        file.text = QString::fromLatin1(bytes);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        file.text = utf8(bytes);
        file.charset = utf8.hasError() ? Charset::Latin1 : Charset::Utf8;
        if (file.charset == Charset::Latin1)
            file.text = QString::fromLatin1(bytes);
    }
    static const QRegularExpression hexLetter(u"\\\\u[0-9a-fA-F]*([a-fA-F])"_s);
    const QRegularExpressionMatch letter = hexLetter.match(file.text);
    file.upperHex = !letter.hasMatch() || letter.captured(1).at(0).isUpper();
    const qsizetype firstBreak = file.text.indexOf(u'\n');
    file.lineBreak = firstBreak > 0 && file.text[firstBreak - 1] == u'\r' ? u"\r\n"_s : u"\n"_s;
    file.finalNewline = file.text.isEmpty() || isBreak(file.text.back());
    return Reader(file.text, path).read(file, error);
}

QString escaped(const QString &text, const File &style, bool key)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\"_s;
            continue;
        case u'\n':
            out += u"\\n"_s;
            continue;
        case u'\r':
            out += u"\\r"_s;
            continue;
        case u'\t':
            out += u"\\t"_s;
            continue;
        case u'\f':
            out += u"\\f"_s;
            continue;
        default:
            break;
        }
        // A value's leading blank would be skipped; a key's ends it.
        const bool escapeMark = (c == u' ' && (key || i == 0)) || (key && (c == u'=' || c == u':'))
            || (key && i == 0 && (c == u'#' || c == u'!'));
        if (escapeMark) {
            out += u'\\';
            out += c;
            continue;
        }
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7f && u < 0xa0);
        const bool held = style.charset == Charset::Utf8 || (style.charset == Charset::Latin1 && u <= 0xff);
        if (control || (u >= 0x80 && !held)) {
            const QString hex = QString::number(uint(u), 16).rightJustified(4, u'0');
            out += u"\\u"_s + (style.upperHex ? hex.toUpper() : hex);
            continue;
        }
        out += c;
    }
    return out;
}

QByteArray encoded(const QString &text, Charset charset)
{
    return charset == Charset::Utf8 ? text.toUtf8() : text.toLatin1();
}

} // namespace properties

using properties::File;
using properties::Property;

namespace {

// A MessageFormat argument: "{0}", "{1,number}", "{0,choice,…}".
bool hasArgument(const QString &value)
{
    static const QRegularExpression argument(u"\\{\\s*\\d+\\s*[,}]"_s);
    return argument.match(value).hasMatch();
}

// An apostrophe that quotes ("'{0}'") rather than stands for itself ("''").
bool quotes(const QString &value)
{
    return QString(value).remove(u"''"_s).contains(u'\'');
}

bool loadFile(const QString &path, File &file, QString &error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        error = u"%1:0: cannot be read: %2"_s.arg(path, in.errorString());
        return false;
    }
    return properties::parse(in.readAll(), path, file, error);
}

} // namespace

bool PropertiesFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_target = File {};
    m_doubles.clear();
    m_hasTarget = QFileInfo::exists(files.target);
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    if (!loadFile(sourcePath, m_source, error))
        return false;
    if (m_hasTarget && !loadFile(files.target, m_target, error))
        return false;
    catalog.language = languageFromFileName(files.target);
    catalog.sourceLanguage = languageFromFileName(sourcePath);
    // Whether the project formats its texts with MessageFormat, and does so
    // for the texts without arguments too.
    bool patterns = false;
    bool everywhere = false;
    for (const Property &property : std::as_const(m_source.properties)) {
        const bool argument = hasArgument(property.value);
        patterns = patterns || argument || property.value.contains(u"''"_s);
        everywhere = everywhere || (!argument && property.value.contains(u"''"_s));
    }
    for (int i = 0; i < m_source.properties.size(); ++i) {
        const Property &property = m_source.properties[i];
        const bool pattern = hasArgument(property.value) || everywhere;
        m_doubles.append(patterns && pattern && !quotes(property.value));
        if (property.value.isEmpty() || m_source.byKey.value(property.key) != i)
            continue; // nothing to translate, or a key that a later line sets again
        const auto shown = [this, i](const QString &value) {
            return m_doubles[i] && !quotes(value) ? QString(value).replace(u"''"_s, u"'"_s) : value;
        };
        Entry entry;
        entry.key = property.key;
        entry.source = shown(property.value);
        entry.notes = property.comments;
        if (hasArgument(property.value))
            entry.flags = {u"java-format"_s};
        entry.id = i;
        entry.line = property.line;
        const auto there = m_hasTarget ? m_target.byKey.constFind(property.key) : m_target.byKey.cend();
        if (there != m_target.byKey.cend()) {
            const Property &target = m_target.properties[*there];
            entry.translations = {shown(target.value)};
            entry.line = target.line;
        } else {
            entry.translations = {QString()};
        }
        catalog.entries.append(entry);
    }
    return true;
}

WriteResult PropertiesFormat::write(const QList<Fill> &fills, const QString &, int)
{
    QHash<int, QString> filled;
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_source.properties.size() && !fill.forms.value(0).isEmpty())
            filled.insert(
                fill.id, m_doubles[fill.id] ? QString(fill.forms.first()).replace(u'\'', u"''"_s) : fill.forms.first());
    }
    struct Edit
    {
        qsizetype start;
        qsizetype end;
        QString text;
    };
    QList<Edit> edits;
    const File &into = m_hasTarget ? m_target : m_source;
    const auto line = [&](const Property &property, const QString &value) {
        return escaped(property.key, into, true) + into.separator + escaped(value, into, false);
    };
    if (!m_hasTarget) {
        // The source's lines with the filled values; a key not filled is
        // left out (the bundle falls back to the source's), its comments too.
        for (int i = 0; i < m_source.properties.size(); ++i) {
            const Property &property = m_source.properties[i];
            const auto form = filled.constFind(i);
            if (form != filled.cend() && m_source.byKey.value(property.key) == i) {
                edits.append({property.valueStart, property.end,
                    (property.separated ? QString() : m_source.separator) + escaped(*form, m_source, false)});
                continue;
            }
            edits.append({property.block, property.next, {}});
        }
    } else {
        int last = -1; // the target's property the next new one follows
        for (int i = 0; i < m_source.properties.size(); ++i) {
            const Property &property = m_source.properties[i];
            if (m_source.byKey.value(property.key) != i)
                continue;
            const auto there = m_target.byKey.constFind(property.key);
            const auto form = filled.constFind(i);
            if (there != m_target.byKey.cend()) {
                const Property &target = m_target.properties[*there];
                if (form != filled.cend())
                    edits.append({target.valueStart, target.end,
                        (target.separated ? QString() : m_target.separator) + escaped(*form, m_target, false)});
                last = *there;
                continue;
            }
            if (form == filled.cend())
                continue;
            if (last >= 0) {
                const Property &after = m_target.properties[last];
                const bool broken = after.next > after.end; // a line break ends it
                edits.append({after.next, after.next,
                    broken ? line(property, *form) + m_target.lineBreak : m_target.lineBreak + line(property, *form)});
            } else if (!m_target.properties.isEmpty()) {
                const qsizetype from = m_target.properties.first().block;
                edits.append({from, from, line(property, *form) + m_target.lineBreak});
            } else {
                const bool open = !m_target.text.isEmpty() && !m_target.finalNewline;
                edits.append({m_target.text.size(), m_target.text.size(),
                    (open ? m_target.lineBreak : QString()) + line(property, *form) + m_target.lineBreak});
            }
        }
    }
    std::stable_sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.start < b.start; });
    QString text;
    text.reserve(into.text.size() + edits.size() * 32);
    qsizetype at = 0;
    for (const Edit &edit : std::as_const(edits)) {
        text += QStringView(into.text).mid(at, edit.start - at);
        text += edit.text;
        at = std::max(at, edit.end);
    }
    text += QStringView(into.text).mid(at);
    return {true, properties::encoded(text, into.charset), {}, {}, {}};
}

QString propertiesTargetFor(const QString &source, const QString &language)
{
    const QFileInfo file(source);
    return file.dir().filePath(
        file.completeBaseName() + u'_' + QString(language).replace(u'-', u'_') + u'.' + file.suffix());
}

QString propertiesSourceFor(const QString &target)
{
    const QString language = languageFromFileName(target);
    if (language.isEmpty())
        return {};
    const QFileInfo file(target);
    const QString base = file.completeBaseName();
    return file.dir().filePath(base.left(base.size() - language.size() - 1) + u'.' + file.suffix());
}

} // namespace tarnix::fill
