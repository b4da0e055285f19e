#include "fill/formats/android.h"

#include <algorithm>
#include <map>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "fill/languages.h"
#include "languages/languagetags.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

const auto toolsNamespace = u"http://schemas.android.com/tools"_s;
const auto xliffNamespace = u"urn:oasis:names:tc:xliff:document:1.2"_s;

// The white space aapt2 collapses: ASCII's, not a no-break or thin space.
bool collapses(QChar c)
{
    return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isHex(QChar c)
{
    return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
}

// The white space before an element on its own line; empty when text stands before it there.
QString indentOf(const QString &text, qsizetype start)
{
    const qsizetype lineStart = text.lastIndexOf(u'\n', start - 1) + 1;
    const QString indent = text.mid(lineStart, start - lineStart);
    return indent.trimmed().isEmpty() ? indent : QString();
}

// A layout taken from one element for another indented otherwise: each
// line's indentation `from` becomes `to`.
QString reindented(const QString &layout, const QString &from, const QString &to)
{
    if (from == to)
        return layout;
    QStringList lines = layout.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith(from))
            lines[i] = to + lines[i].sliced(from.size());
    }
    return lines.join(u'\n');
}

// The line break a file uses.
QString lineBreakOf(const QString &text)
{
    const qsizetype at = text.indexOf(u'\n');
    return at > 0 && text[at - 1] == u'\r' ? u"\r\n"_s : u"\n"_s;
}

QString spanText(const QString &text, qsizetype start, qsizetype end)
{
    return text.mid(start, end - start);
}

// Whether a lint tools:ignore list silences the check for missing translations.
bool ignoresTranslation(QStringView ignored)
{
    const auto checks = ignored.split(u',');
    return std::any_of(checks.cbegin(), checks.cend(),
        [](QStringView check) { return check.trimmed() == u"MissingTranslation" || check.trimmed() == u"all"; });
}

// A resource's name within its type: a <string> and a <plurals> may share one.
std::pair<int, QString> typedKey(const AndroidFormat::Resource &resource)
{
    return {int(resource.kind), resource.key};
}

// A value from its element's start tag (the reader's token) to its end tag.
AndroidFormat::Value readValue(QXmlStreamReader &reader, const QString &text)
{
    AndroidFormat::Value value;
    value.span = xml::startSpan(reader, text);
    QList<AndroidPiece> pieces;
    QList<bool> open; // the paired elements open, whether each closes itself
    bool styled = false;
    bool onlyCdata = true;
    bool cdata = false;
    const auto addText = [&pieces](QStringView chars) {
        if (pieces.isEmpty() || pieces.last().element)
            pieces.append({QString(), false});
        pieces.last().text += chars;
    };
    const auto addInline = [&](const QString &shown, const QString &raw) {
        pieces.append({shown, true});
        const bool known = std::any_of(
            value.inlines.cbegin(), value.inlines.cend(), [&shown](const xml::Inline &i) { return i.shown == shown; });
        if (!known)
            value.inlines.append({shown, raw});
    };
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::Characters) {
            cdata = cdata || reader.isCDATA();
            onlyCdata = onlyCdata && (reader.isCDATA() || reader.isWhitespace());
            addText(reader.text());
        } else if (token == QXmlStreamReader::StartElement) {
            onlyCdata = false;
            xml::Span span = xml::startSpan(reader, text);
            const QString tag = spanText(text, span.tagStart, span.tagEnd);
            if (reader.namespaceUri() == xliffNamespace && reader.name() == u"g") {
                // Text not to translate: one empty tag to the engine, the element as it is to the file.
                reader.skipCurrentElement();
                xml::finishSpan(span, reader, text);
                const QString raw = spanText(text, span.tagStart, span.end);
                const QString shown = tag.endsWith(u"/>"_s) ? tag : tag.chopped(1).trimmed() + u"/>"_s;
                const bool clash = std::any_of(value.inlines.cbegin(), value.inlines.cend(),
                    [&](const xml::Inline &i) { return i.shown == shown && i.raw != raw; });
                addInline(clash ? raw : shown, raw);
                continue;
            }
            styled = true;
            open.append(tag.endsWith(u"/>"_s));
            addInline(tag, tag);
        } else if (token == QXmlStreamReader::EndElement) {
            if (open.isEmpty()) {
                xml::finishSpan(value.span, reader, text);
                break;
            }
            if (!open.takeLast()) {
                const qsizetype end = reader.characterOffset();
                const QString tag = spanText(text, text.lastIndexOf(u'<', end - 1), end);
                addInline(tag, tag);
            }
        }
    }
    value.cdata = cdata && onlyCdata;
    value.text = androidText(pieces, styled);
    // "@string/other", "?attr/colour": a reference to another resource, no text.
    const QString first = pieces.isEmpty() || pieces.first().element ? QString() : pieces.first().text.trimmed();
    value.reference = !styled && pieces.size() == 1 && (first.startsWith(u'@') || first.startsWith(u'?'));
    return value;
}

const QStringList cldrOrder {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s, u"other"_s};

} // namespace

QString androidText(const QList<AndroidPiece> &pieces, bool styled)
{
    QString out;
    bool softEnd = false; // the last character is a space made of collapsed white space
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        const AndroidPiece &piece = pieces[p];
        if (piece.element) {
            out += piece.text;
            softEnd = false;
            continue;
        }
        // Each text node starts outside quotes; white space that starts an
        // unstyled value is dropped.
        bool quoted = false;
        bool space = !styled && p == 0;
        const QStringView t(piece.text);
        qsizetype plain = 0; // the start of the run of characters taken as they are, not copied yet
        for (qsizetype i = 0; i < t.size(); ++i) {
            const QChar c = t[i];
            // A single space between words is taken as it is too.
            const bool ordinary = c == u' ' ? quoted || (!space && i + 1 < t.size() && !collapses(t[i + 1]))
                                            : c != u'"' && c != u'\\' && (quoted || !collapses(c));
            if (ordinary) {
                space = softEnd = false;
                continue;
            }
            if (i > plain)
                out += t.sliced(plain, i - plain);
            plain = i + 1;
            if (!quoted && collapses(c)) {
                if (!space) {
                    out += u' ';
                    space = softEnd = true;
                }
                continue;
            }
            space = softEnd = false;
            if (c == u'"') {
                quoted = !quoted;
            } else if (c != u'\\') {
                out += c;
            } else if (++i < t.size()) {
                const QChar e = t[i];
                const bool unicode = e == u'u' && i + 4 < t.size()
                    && std::all_of(t.cbegin() + i + 1, t.cbegin() + i + 5, [](QChar h) { return isHex(h); });
                if (unicode) {
                    out += QChar(ushort(t.sliced(i + 1, 4).toUInt(nullptr, 16)));
                    i += 4;
                } else {
                    out += e == u'n' ? u'\n' : e == u't' ? u'\t' : e;
                }
                plain = i + 1;
            }
        }
        if (t.size() > plain)
            out += t.sliced(plain);
    }
    if (!styled && softEnd)
        out.chop(1);
    return out;
}

std::optional<QString> androidEscaped(
    const QString &translation, const QList<xml::Inline> &inlines, bool cdata, const xml::Document *document)
{
    QList<xml::Inline> longestFirst = inlines;
    if (longestFirst.size() > 1)
        std::stable_sort(longestFirst.begin(), longestFirst.end(),
            [](const xml::Inline &a, const xml::Inline &b) { return a.shown.size() > b.shown.size(); });
    QString out;
    out.reserve(translation.size() + translation.size() / 8 + 8);
    bool rawSpace = false; // the last character written is a space as it is, which one more would join
    const qsizetype n = translation.size();
    const QStringView whole(translation);
    qsizetype plain = 0; // the start of the run of characters written as they are, not copied yet
    const auto flush = [&](qsizetype upTo) {
        if (upTo > plain)
            out += whole.sliced(plain, upTo - plain);
    };
    for (qsizetype i = 0; i < n;) {
        const char16_t u = translation[i].unicode();
        // Most characters are written as they are: they only extend the run.
        // A space is, between others, unless it follows one written so.
        const bool space = u == u' ';
        const bool ordinary = space ? i > 0 && i + 1 < n && !rawSpace
                                    : u >= 0x20 && u != 0x7f && u < 0xd800 && u != u'\\' && u != u'\'' && u != u'"'
                && u != u'@' && u != u'?' && u != u'&' && u != u'<' && u != u'>' && (!document || document->holds(u));
        if (ordinary) {
            ++i;
            rawSpace = space;
            continue;
        }
        flush(i);
        if (u == u'<' && !cdata) {
            const auto inl = std::find_if(longestFirst.cbegin(), longestFirst.cend(),
                [&](const xml::Inline &candidate) { return whole.sliced(i).startsWith(candidate.shown); });
            if (inl != longestFirst.cend()) {
                out += inl->raw;
                i += inl->shown.size();
                plain = i;
                rawSpace = false;
                continue;
            }
        }
        char32_t c = u;
        qsizetype width = 1;
        if (translation[i].isHighSurrogate() && i + 1 < n && translation[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(translation[i], translation[i + 1]);
            width = 2;
        }
        const bool first = i == 0;
        const bool last = i + width == n;
        QStringView piece;
        QString escape;
        switch (c) {
        case u'\\':
            piece = u"\\\\";
            break;
        case u'\'':
            piece = u"\\'";
            break;
        case u'"':
            piece = u"\\\"";
            break;
        case u'\n':
            piece = u"\\n";
            break;
        case u'\t':
            piece = u"\\t";
            break;
        case u'@': // at the start it would make the value a reference
            piece = first ? u"\\@" : u"@";
            break;
        case u'?':
            piece = first ? u"\\?" : u"?";
            break;
        case u' ':
            piece = first || last || rawSpace ? u"\\u0020" : u" ";
            break;
        case u'&':
            piece = cdata ? u"&" : u"&amp;";
            break;
        case u'<':
            piece = cdata ? u"<" : u"&lt;";
            break;
        case u'>':
            piece = !out.endsWith(u"]]") ? u">" : cdata ? u"]]><![CDATA[>" : u"&gt;";
            break;
        default:
            if (c < 0x20 || c == 0x7f || (c >= 0xd800 && c < 0xe000) || c == 0xfffe || c == 0xffff)
                escape = u"\\u%1"_s.arg(uint(c), 4, 16, QChar(u'0'));
            else if (document && !document->holds(c) && c < 0x10000)
                escape = u"\\u%1"_s.arg(uint(c), 4, 16, QChar(u'0'));
            else if (document && !document->holds(c) && cdata)
                return std::nullopt;
            else if (document && !document->holds(c))
                escape = u"&#x%1;"_s.arg(uint(c), 0, 16);
            piece = escape.isNull() ? whole.sliced(i, width) : QStringView(escape);
        }
        rawSpace = piece == u" ";
        out += piece;
        i += width;
        plain = i;
    }
    flush(n);
    return out;
}

bool AndroidFormat::readFile(const QString &path, File &file, QString &error) const
{
    file = File {};
    if (!file.document.load(path, error))
        return false;
    const QString &text = file.document.text();
    QXmlStreamReader reader(text);
    if (!reader.readNextStartElement()) {
        error = reader.hasError() ? file.document.fault(reader)
                                  : u"%1:1: not an Android resource file (no root element)"_s.arg(path);
        return false;
    }
    if (reader.name() != u"resources") {
        error = u"%1:%2: not an Android resource file (its root element is <%3>)"_s.arg(path)
                    .arg(reader.lineNumber())
                    .arg(reader.name());
        return false;
    }
    file.root = xml::startSpan(reader, text);
    // One allocation for a big file's resources, not one per doubling.
    const qsizetype expected = text.count(u"<string"_s) + text.count(u"<plurals"_s);
    file.resources.reserve(expected);
    file.byKey.reserve(expected);
    for (const QXmlStreamNamespaceDeclaration &declaration : reader.namespaceDeclarations()) {
        file.namespaces.insert(declaration.prefix().toString(), declaration.namespaceUri().toString());
        if (declaration.namespaceUri() == toolsNamespace)
            file.toolsPrefix = declaration.prefix().toString();
    }
    QStringList comment; // the comment just before the next resource
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::Comment) {
            comment = {reader.text().trimmed().toString()};
        } else if (token == QXmlStreamReader::Characters && !reader.isWhitespace()) {
            comment.clear();
        } else if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (name == u"string")
                readResource(reader, file, Kind::String, comment);
            else if (name == u"plurals")
                readResource(reader, file, Kind::Plurals, comment);
            else if (name == u"string-array")
                readResource(reader, file, Kind::Array, comment);
            else if (name == u"item" && reader.attributes().value(u"type"_s) == u"string")
                readResource(reader, file, Kind::String, comment); // as <string>, to aapt2 too
            else
                reader.skipCurrentElement();
            comment.clear();
        } else if (token == QXmlStreamReader::EndElement) {
            xml::finishSpan(file.root, reader, text);
            break;
        }
    }
    while (!reader.atEnd() && !reader.hasError())
        reader.readNext();
    if (reader.hasError()) {
        error = file.document.fault(reader);
        return false;
    }
    return true;
}

void AndroidFormat::readResource(QXmlStreamReader &reader, File &file, Kind kind, const QStringList &notes) const
{
    const QString &text = file.document.text();
    Resource resource;
    resource.kind = kind;
    resource.notes = notes;
    const QXmlStreamAttributes attributes = reader.attributes();
    resource.product = attributes.value(u"product"_s).toString();
    resource.key = attributes.value(u"name"_s).toString()
        + (resource.product.isEmpty() ? QString() : keySeparator + resource.product);
    resource.translatable = attributes.value(u"translatable"_s) != u"false"
        && !ignoresTranslation(attributes.value(toolsNamespace, u"ignore"_s));
    if (kind == Kind::String) {
        resource.value = readValue(reader, text);
        resource.span = resource.value.span;
    } else {
        resource.span = xml::startSpan(reader, text);
        while (reader.readNextStartElement()) {
            if (reader.name() != u"item") {
                reader.skipCurrentElement();
                continue;
            }
            const QString quantity = reader.attributes().value(u"quantity"_s).toString();
            Value item = readValue(reader, text);
            item.quantity = quantity;
            resource.items.append(std::move(item));
        }
        xml::finishSpan(resource.span, reader, text);
    }
    auto typed = typedKey(resource);
    if (!file.byKey.contains(typed))
        file.byKey.insert(std::move(typed), file.resources.size());
    file.resources.append(std::move(resource));
}

const AndroidFormat::Resource *AndroidFormat::targetOf(const Resource &source) const
{
    if (!m_hasTarget)
        return nullptr;
    const auto at = m_target.byKey.constFind(typedKey(source));
    return at == m_target.byKey.cend() ? nullptr : &m_target.resources[*at];
}

bool AndroidFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_hasTarget = QFileInfo::exists(files.target);
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    m_sameFile = sourcePath == files.target;
    if (!readFile(sourcePath, m_source, error))
        return false;
    if (m_hasTarget && !m_sameFile && !readFile(files.target, m_target, error))
        return false;
    if (m_sameFile)
        m_target = m_source;
    if (const auto tag = languages::readAndroidQualifiers(QFileInfo(files.target).dir().dirName()))
        catalog.language = tag->bcp47();
    // Lint's tools:locale names the language of the default resources.
    if (!m_source.toolsPrefix.isEmpty()) {
        const QString &text = m_source.document.text();
        QXmlStreamReader root(text);
        if (root.readNextStartElement())
            catalog.sourceLanguage = root.attributes().value(toolsNamespace, u"locale"_s).toString();
    }
    const QStringList categories = pluralCategoriesOf(catalog.language.isEmpty() ? u"en"_s : catalog.language);
    catalog.entries.reserve(m_source.resources.size());
    m_units.reserve(m_source.resources.size());
    const File &target = m_hasTarget ? m_target : m_source;
    // An entry the target lacks is at the line of the element it will follow there.
    int anchorLine = m_hasTarget ? m_target.document.lineAt(m_target.root.tagStart) : 0;
    for (qsizetype r = 0; r < m_source.resources.size(); ++r) {
        const Resource &resource = m_source.resources[r];
        const Resource *there = m_hasTarget ? targetOf(resource) : nullptr;
        if (there)
            anchorLine = m_target.document.lineAt(there->span.tagStart);
        if (!resource.translatable)
            continue;
        Entry entry;
        entry.key = resource.key;
        entry.context = resource.product;
        entry.notes = resource.notes;
        entry.line = m_hasTarget ? anchorLine : m_source.document.lineAt(resource.span.tagStart);
        if (resource.kind == Kind::String) {
            if (resource.value.reference || resource.value.text.isEmpty())
                continue;
            entry.source = resource.value.text;
            entry.translations = {there ? there->value.text : QString()};
        } else if (resource.kind == Kind::Plurals) {
            const auto item = [](const Resource &of, const QString &quantity) -> const Value * {
                const auto found = std::find_if(of.items.cbegin(), of.items.cend(),
                    [&quantity](const Value &value) { return value.quantity == quantity; });
                return found == of.items.cend() ? nullptr : &*found;
            };
            const Value *other = item(resource, u"other"_s);
            if (!other && !resource.items.isEmpty())
                other = &resource.items.last();
            const Value *one = item(resource, u"one"_s);
            if (!other || other->text.isEmpty())
                continue;
            entry.plural = true;
            entry.source = one && !one->text.isEmpty() ? one->text : other->text;
            entry.pluralSource = other->text;
            for (const QString &category : categories) {
                const Value *form = there ? item(*there, category) : nullptr;
                entry.translations.append(form ? form->text : QString());
            }
        } else {
            for (qsizetype i = 0; i < resource.items.size(); ++i) {
                const Value &value = resource.items[i];
                if (value.reference || value.text.isEmpty())
                    continue;
                Entry item = entry;
                item.key = resource.key + u'[' + QString::number(i) + u']';
                item.source = value.text;
                const Value *form = there && i < there->items.size() ? &there->items[i] : nullptr;
                item.translations = {form ? form->text : QString()};
                if (form)
                    item.line = target.document.lineAt(form->span.tagStart);
                item.id = int(m_units.size());
                m_units.append({r, i});
                catalog.entries.append(std::move(item));
            }
            continue;
        }
        entry.id = int(m_units.size());
        m_units.append({r, -1});
        catalog.entries.append(std::move(entry));
    }
    return true;
}

// What a write gathers: each unit's forms, and what could not be written.
struct AndroidFormat::Writing
{
    QHash<int, QStringList> forms;
    std::map<std::pair<qsizetype, qsizetype>, int> units; // (resource, item) -> unit
    QStringList categories;
    const xml::Document *document = nullptr; // the file written, for the characters it holds
    QList<int> skipped;
    QString skippedWhy;

    QStringList formsOf(qsizetype resource, qsizetype item = -1) const
    {
        const auto unit = units.find({resource, item});
        return unit == units.end() ? QStringList() : forms.value(unit->second);
    }
    int unitOf(qsizetype resource, qsizetype item = -1) const
    {
        const auto unit = units.find({resource, item});
        return unit == units.end() ? -1 : unit->second;
    }
    void skip(int unit, const QString &why)
    {
        if (unit >= 0 && !skipped.contains(unit)) {
            skipped.append(unit);
            skippedWhy = why;
        }
    }
};

namespace {

std::optional<QString> valueContent(
    const AndroidFormat::Value &source, const QString &translation, const xml::Document *document)
{
    const std::optional<QString> escaped = androidEscaped(translation, source.inlines, source.cdata, document);
    if (!escaped)
        return std::nullopt;
    if (source.cdata)
        return u"<![CDATA["_s + *escaped + u"]]>"_s;
    // Without inline elements every '<' is escaped: nothing to be out of order.
    return source.inlines.isEmpty() || xml::wellFormed(*escaped) ? escaped : std::nullopt;
}

const auto cannotHold =
    u"the file cannot hold the translation (a character of its own encoding, or inline elements out of order)"_s;
const auto arrayWhole = u"an array's items follow one another, and one before them has no translation"_s;

} // namespace

AndroidFormat::Value AndroidFormat::pluralValue(const Resource &resource)
{
    Value merged;
    for (const Value &item : resource.items) {
        for (const xml::Inline &inl : item.inlines) {
            if (std::none_of(merged.inlines.cbegin(), merged.inlines.cend(),
                    [&inl](const xml::Inline &known) { return known.shown == inl.shown; }))
                merged.inlines.append(inl);
        }
        if (item.quantity == u"other"_s)
            merged.cdata = item.cdata;
    }
    return merged;
}

QStringList AndroidFormat::newItems(qsizetype r, Writing &writing) const
{
    const Resource &resource = m_source.resources[r];
    const QString &text = m_source.document.text();
    const auto itemElement = [&text](const Value &from, const QString &inner, const QString &quantity) {
        QString tag = xml::opened(spanText(text, from.span.tagStart, from.span.tagEnd));
        if (!quantity.isEmpty() && from.quantity != quantity)
            tag = xml::withAttribute(tag, u"quantity"_s, quantity);
        return tag + inner + u"</item>"_s;
    };
    QStringList items;
    if (resource.kind == Kind::Plurals) {
        const int unit = writing.unitOf(r);
        const QStringList forms = writing.formsOf(r);
        const auto other = std::find_if(resource.items.cbegin(), resource.items.cend(),
            [](const Value &item) { return item.quantity == u"other"_s; });
        // Android falls back to "other" for a quantity a plural lacks, and fails without it.
        if (other == resource.items.cend() || formOfCategory(forms, writing.categories, u"other"_s).isEmpty())
            return {};
        const Value merged = pluralValue(resource);
        for (const QString &category : writing.categories) {
            const QString form = formOfCategory(forms, writing.categories, category);
            if (form.isEmpty())
                continue;
            const std::optional<QString> inner = valueContent(merged, form, writing.document);
            if (!inner) {
                writing.skip(unit, cannotHold);
                return {};
            }
            const auto own = std::find_if(resource.items.cbegin(), resource.items.cend(),
                [&category](const Value &item) { return item.quantity == category; });
            items.append(itemElement(own == resource.items.cend() ? *other : *own, *inner, category));
        }
        return items;
    }
    for (qsizetype i = 0; i < resource.items.size(); ++i) {
        const Value &item = resource.items[i];
        const int unit = writing.unitOf(r, i);
        if (unit < 0) { // a reference or an empty item: as the source has it
            items.append(spanText(text, item.span.tagStart, item.span.end));
            continue;
        }
        const QString form = writing.formsOf(r, i).value(0);
        const std::optional<QString> inner = form.isEmpty() ? std::nullopt : valueContent(item, form, writing.document);
        if (!inner) {
            // An array is taken whole from one language: written only with every item.
            for (qsizetype j = 0; j < resource.items.size(); ++j) {
                if (!writing.formsOf(r, j).value(0).isEmpty())
                    writing.skip(writing.unitOf(r, j), form.isEmpty() ? arrayWhole : cannotHold);
            }
            return {};
        }
        items.append(itemElement(item, *inner, {}));
    }
    return items;
}

QString AndroidFormat::itemsContent(qsizetype r, Writing &writing, const QString &indent) const
{
    const Resource &resource = m_source.resources[r];
    const QStringList items = newItems(r, writing);
    if (items.isEmpty() || resource.items.isEmpty())
        return {};
    const QString &text = m_source.document.text();
    const QList<Value> &from = resource.items;
    const QString lead = spanText(text, resource.span.tagEnd, from.first().span.tagStart);
    const QString gap = from.size() >= 2 ? spanText(text, from[0].span.end, from[1].span.tagStart) : lead;
    const QString tail = spanText(text, from.last().span.end, resource.span.contentEnd);
    const QString own = indentOf(text, resource.span.tagStart);
    return reindented(lead, own, indent) + items.join(reindented(gap, own, indent)) + reindented(tail, own, indent);
}

QString AndroidFormat::element(qsizetype r, Writing &writing, const QString &indent) const
{
    const Resource &resource = m_source.resources[r];
    const QString &text = m_source.document.text();
    const QString startTag = spanText(text, resource.span.tagStart, resource.span.tagEnd);
    const QString endTag = spanText(text, resource.span.contentEnd, resource.span.end);
    if (resource.kind != Kind::String) {
        const QString inner = itemsContent(r, writing, indent);
        return inner.isEmpty() ? QString() : startTag + inner + endTag;
    }
    const QString form = writing.formsOf(r).value(0);
    if (form.isEmpty())
        return {};
    const std::optional<QString> inner = valueContent(resource.value, form, writing.document);
    if (!inner) {
        writing.skip(writing.unitOf(r), cannotHold);
        return {};
    }
    return startTag + *inner + endTag;
}

QString AndroidFormat::newFile(Writing &writing) const
{
    const QString &text = m_source.document.text();
    const xml::Span &root = m_source.root;
    QString rootTag = spanText(text, root.tagStart, root.tagEnd);
    // tools:locale names the default resources' language: not this file's.
    if (!m_source.toolsPrefix.isEmpty())
        rootTag = xml::withoutAttribute(rootTag, m_source.toolsPrefix + u":locale"_s);
    const QString endTag = root.selfClosing() ? u"</resources>"_s : spanText(text, root.contentEnd, root.end);
    QString indent = u"    "_s;
    if (!m_source.resources.isEmpty())
        indent = indentOf(text, m_source.resources.first().span.tagStart);
    QString body;
    for (qsizetype r = 0; r < m_source.resources.size(); ++r) {
        if (!m_source.resources[r].translatable)
            continue;
        const QString added = element(r, writing, indent);
        if (!added.isEmpty())
            body += lineBreakOf(text) + indent + added;
    }
    return text.left(root.tagStart) + xml::opened(rootTag) + body + lineBreakOf(text) + endTag + text.sliced(root.end);
}

QList<xml::Edit> AndroidFormat::targetEdits(Writing &writing) const
{
    const QString &text = m_target.document.text();
    QList<xml::Edit> edits;
    const auto setContent = [&edits, &text](const Value &value, const QString &inner, const QString &name) {
        if (value.span.selfClosing())
            edits.append({value.span.tagStart, value.span.end,
                xml::opened(spanText(text, value.span.tagStart, value.span.tagEnd)) + inner + u"</"_s + name + u'>'});
        else
            edits.append({value.span.tagEnd, value.span.contentEnd, inner});
    };
    QString defaultIndent = u"    "_s;
    if (!m_target.resources.isEmpty())
        defaultIndent = indentOf(text, m_target.resources.first().span.tagStart);
    else if (!m_source.resources.isEmpty())
        defaultIndent = indentOf(m_source.document.text(), m_source.resources.first().span.tagStart);
    std::map<qsizetype, QString> after; // new elements after the target's element that ends there
    QString front; // new elements before the target's first
    const Resource *anchor = nullptr;
    for (qsizetype r = 0; r < m_source.resources.size(); ++r) {
        const Resource &resource = m_source.resources[r];
        if (const Resource *there = targetOf(resource)) {
            anchor = there;
            if (resource.translatable)
                fillExisting(r, *there, writing, edits, setContent);
            continue;
        }
        if (!resource.translatable)
            continue;
        const QString indent = anchor ? indentOf(text, anchor->span.tagStart) : defaultIndent;
        const QString added = element(r, writing, indent);
        if (added.isEmpty())
            continue;
        if (anchor)
            after[anchor->span.end] += xml::breakBefore(text, anchor->span.tagStart) + added;
        else
            front += lineBreakOf(text) + indent + added;
    }
    for (const auto &[offset, added] : after)
        edits.append({offset, offset, added});
    const xml::Span &root = m_target.root;
    QString rootContent;
    if (!front.isEmpty() && !m_target.resources.isEmpty()) {
        const qsizetype first = m_target.resources.first().span.tagStart;
        edits.append({first, first,
            front.sliced(lineBreakOf(text).size() + defaultIndent.size()) + xml::breakBefore(text, first)});
    } else if (!front.isEmpty() && !root.selfClosing()) {
        edits.append({root.tagEnd, root.tagEnd, front});
    } else {
        rootContent = front;
    }
    // Prefixes the new text uses that the target's root does not declare: the source's declarations.
    static const QRegularExpression prefixed(u"(?:<|\\s)([A-Za-z_][\\w.-]*):[A-Za-z_]"_s);
    QString rootTag = spanText(text, root.tagStart, root.tagEnd);
    const QString originalRoot = rootTag;
    QStringList added;
    for (const xml::Edit &edit : std::as_const(edits)) {
        if (m_source.namespaces.isEmpty() || !edit.text.contains(u':'))
            continue;
        for (const QRegularExpressionMatch &match : prefixed.globalMatch(edit.text)) {
            const QString prefix = match.captured(1);
            if (!m_target.namespaces.contains(prefix) && m_source.namespaces.contains(prefix)
                && !added.contains(prefix)) {
                added.append(prefix);
                rootTag = xml::withAttribute(rootTag, u"xmlns:"_s + prefix, m_source.namespaces.value(prefix));
            }
        }
    }
    for (const QRegularExpressionMatch &match : prefixed.globalMatch(rootContent)) {
        const QString prefix = match.captured(1);
        if (!m_target.namespaces.contains(prefix) && m_source.namespaces.contains(prefix) && !added.contains(prefix)) {
            added.append(prefix);
            rootTag = xml::withAttribute(rootTag, u"xmlns:"_s + prefix, m_source.namespaces.value(prefix));
        }
    }
    if (!rootContent.isEmpty())
        edits.append(
            {root.tagStart, root.end, xml::opened(rootTag) + rootContent + lineBreakOf(text) + u"</resources>"_s});
    else if (rootTag != originalRoot)
        edits.append({root.tagStart, root.tagEnd, rootTag});
    return edits;
}

template <typename SetContent>
void AndroidFormat::fillExisting(
    qsizetype r, const Resource &there, Writing &writing, QList<xml::Edit> &edits, const SetContent &setContent) const
{
    const Resource &resource = m_source.resources[r];
    const QString &text = m_target.document.text();
    const auto wholeContent = [&] {
        const QString inner = itemsContent(r, writing, indentOf(text, there.span.tagStart));
        if (inner.isEmpty())
            return;
        const QString name = resource.kind == Kind::Plurals ? u"plurals"_s : u"string-array"_s;
        if (there.span.selfClosing())
            edits.append({there.span.tagStart, there.span.end,
                xml::opened(spanText(text, there.span.tagStart, there.span.tagEnd)) + inner + u"</"_s + name + u'>'});
        else
            edits.append({there.span.tagEnd, there.span.contentEnd, inner});
    };
    if (resource.kind == Kind::String) {
        const QString form = writing.formsOf(r).value(0);
        if (form.isEmpty() || !there.value.text.isEmpty())
            return; // nothing filled, or a person's translation
        if (const std::optional<QString> inner = valueContent(resource.value, form, writing.document))
            setContent(there.value, *inner, u"string"_s);
        else
            writing.skip(writing.unitOf(r), cannotHold);
        return;
    }
    if (there.items.isEmpty()) {
        if (!writing.formsOf(r).isEmpty() || resource.kind == Kind::Array)
            wholeContent();
        return;
    }
    const QString &sourceText = m_source.document.text();
    if (resource.kind == Kind::Plurals) {
        const QStringList forms = writing.formsOf(r);
        if (forms.isEmpty())
            return;
        const Value merged = pluralValue(resource);
        const auto other = std::find_if(resource.items.cbegin(), resource.items.cend(),
            [](const Value &item) { return item.quantity == u"other"_s; });
        const Value &model = other == resource.items.cend() ? resource.items.last() : *other;
        QList<xml::Edit> mine;
        std::map<qsizetype, QString> afterItem;
        QString beforeFirst;
        for (const QString &category : writing.categories) {
            const QString form = formOfCategory(forms, writing.categories, category);
            if (form.isEmpty())
                continue;
            const std::optional<QString> inner = valueContent(merged, form, writing.document);
            if (!inner) {
                writing.skip(writing.unitOf(r), cannotHold);
                return;
            }
            const auto own = std::find_if(there.items.cbegin(), there.items.cend(),
                [&category](const Value &item) { return item.quantity == category; });
            if (own != there.items.cend()) {
                if (own->text.isEmpty()) {
                    if (own->span.selfClosing())
                        mine.append({own->span.tagStart, own->span.end,
                            xml::opened(spanText(text, own->span.tagStart, own->span.tagEnd)) + *inner + u"</item>"_s});
                    else
                        mine.append({own->span.tagEnd, own->span.contentEnd, *inner});
                }
                continue;
            }
            const QString item =
                xml::withAttribute(
                    xml::opened(spanText(sourceText, model.span.tagStart, model.span.tagEnd)), u"quantity"_s, category)
                + *inner + u"</item>"_s;
            // After the last item of an earlier category, else before the first.
            const Value *previous = nullptr;
            for (const Value &item : there.items) {
                if (cldrOrder.indexOf(item.quantity) < cldrOrder.indexOf(category))
                    previous = &item;
            }
            if (previous)
                afterItem[previous->span.end] += xml::breakBefore(text, previous->span.tagStart) + item;
            else
                beforeFirst += item + xml::breakBefore(text, there.items.first().span.tagStart);
        }
        edits += mine;
        for (const auto &[offset, added] : afterItem)
            edits.append({offset, offset, added});
        if (!beforeFirst.isEmpty())
            edits.append({there.items.first().span.tagStart, there.items.first().span.tagStart, beforeFirst});
        return;
    }
    // An array: empty items filled in place, the items it lacks after its last.
    QString appended;
    const Value &last = there.items.last();
    bool stopped = false;
    for (qsizetype i = 0; i < resource.items.size(); ++i) {
        const Value &item = resource.items[i];
        const int unit = writing.unitOf(r, i);
        const QString form = writing.formsOf(r, i).value(0);
        const std::optional<QString> inner = form.isEmpty() ? std::nullopt : valueContent(item, form, writing.document);
        if (!form.isEmpty() && !inner)
            writing.skip(unit, cannotHold);
        if (i < there.items.size()) {
            if (inner && there.items[i].text.isEmpty() && !there.items[i].reference)
                setContent(there.items[i], *inner, u"item"_s);
            continue;
        }
        if (stopped || (unit >= 0 && !inner)) {
            if (!form.isEmpty() && inner)
                writing.skip(unit, arrayWhole);
            stopped = true;
            continue;
        }
        const QString element = unit < 0
            ? spanText(sourceText, item.span.tagStart, item.span.end)
            : xml::opened(spanText(sourceText, item.span.tagStart, item.span.tagEnd)) + *inner + u"</item>"_s;
        appended += xml::breakBefore(text, last.span.tagStart) + element;
    }
    if (!appended.isEmpty())
        edits.append({last.span.end, last.span.end, appended});
}

WriteResult AndroidFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    Writing writing;
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_units.size() && !fill.forms.isEmpty())
            writing.forms.insert(fill.id, fill.forms);
    }
    for (qsizetype i = 0; i < m_units.size(); ++i)
        writing.units[{m_units[i].resource, m_units[i].item}] = int(i);
    writing.categories = pluralCategoriesOf(language.isEmpty() ? u"en"_s : language);
    WriteResult result;
    if (!m_hasTarget) {
        writing.document = &m_source.document;
        result.bytes = m_source.document.encode(newFile(writing));
    } else {
        writing.document = &m_target.document;
        result.bytes = m_target.document.encode(xml::applied(m_target.document.text(), targetEdits(writing)));
    }
    result.ok = true;
    result.skipped = writing.skipped;
    result.skippedWhy = writing.skippedWhy;
    return result;
}

} // namespace tarnix::fill
