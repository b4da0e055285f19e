#include "fill/formats/ts.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// lupdate's own escaping: the five markup characters as entities, control
// characters as <byte> elements (XML holds them in no other way), spaces
// beyond ASCII as references so a no-break space stays visible.
std::optional<QString> tsEscaped(char32_t c, const xml::Document &document)
{
    switch (c) {
    case u'"':
        return u"&quot;"_s;
    case u'&':
        return u"&amp;"_s;
    case u'>':
        return u"&gt;"_s;
    case u'<':
        return u"&lt;"_s;
    case u'\'':
        return u"&apos;"_s;
    default:
        break;
    }
    if (c < 0x20 && c != u'\n' && c != u'\t')
        return u"<byte value=\"x%1\"/>"_s.arg(uint(c), 0, 16);
    if ((c > 0x7f && QChar::isSpace(c)) || !document.holds(c))
        return u"&#x%1;"_s.arg(uint(c), 0, 16);
    return QString::fromUcs4(&c, 1);
}

bool isObsolete(QStringView type)
{
    return type == u"vanished" || type == u"obsolete";
}

} // namespace

bool TsFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    const QString &path = files.target;
    m_slots.clear();
    m_root = {};
    catalog = Catalog {};
    catalog.path = path;
    if (!m_document.load(path, error))
        return false;
    const QString &text = m_document.text();
    QXmlStreamReader reader(text);
    if (reader.readNextStartElement()) {
        if (reader.name() != u"TS") {
            error = u"%1:%2: not a Qt TS file (its root element is <%3>)"_s.arg(path)
                        .arg(reader.lineNumber())
                        .arg(reader.name());
            return false;
        }
        m_root = xml::startSpan(reader, text);
        catalog.language = reader.attributes().value(u"language"_s).toString();
        catalog.sourceLanguage = reader.attributes().value(u"sourcelanguage"_s).toString();
        m_hasLanguage = !catalog.language.isEmpty();
        while (reader.readNextStartElement()) {
            if (reader.name() != u"context") {
                reader.skipCurrentElement();
                continue;
            }
            QString contextName;
            while (reader.readNextStartElement()) {
                if (reader.name() == u"name")
                    contextName = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                else if (reader.name() == u"message")
                    readMessage(reader, contextName, catalog);
                else
                    reader.skipCurrentElement();
            }
        }
    }
    while (!reader.atEnd() && !reader.hasError())
        reader.readNext();
    if (reader.hasError()) {
        error = m_document.fault(reader);
        return false;
    }
    if (!m_root.present()) {
        error = u"%1:1: not a Qt TS file (no root element)"_s.arg(path);
        return false;
    }
    return true;
}

void TsFormat::readMessage(QXmlStreamReader &reader, const QString &contextName, Catalog &catalog)
{
    const QString &text = m_document.text();
    Slot slot;
    Entry entry;
    entry.accelerator = u'&';
    slot.numerus = entry.plural = reader.attributes().value(u"numerus"_s) == u"yes";
    QString type;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"source") {
            const xml::Content source = xml::readContent(reader, text);
            entry.source = source.text;
            entry.line = m_document.lineAt(source.span.tagStart);
            slot.source = source.span.tagStart;
            slot.insertAfter = source.span.end;
        } else if (name == u"translation") {
            type = reader.attributes().value(u"type"_s).toString();
            if (slot.numerus) {
                slot.translation = xml::startSpan(reader, text);
                while (reader.readNextStartElement()) {
                    if (reader.name() != u"numerusform") {
                        reader.skipCurrentElement();
                        continue;
                    }
                    const xml::Content form = xml::readContent(reader, text);
                    slot.forms.append(form.span);
                    entry.translations.append(form.text);
                }
                xml::finishSpan(slot.translation, reader, text);
            } else {
                const xml::Content translation = xml::readContent(reader, text);
                slot.translation = translation.span;
                entry.translations = {translation.text};
            }
        } else if (name == u"translatorcomment") {
            const xml::Content comment = xml::readContent(reader, text);
            slot.comment = comment.span;
            slot.commentText = comment.text;
            if (!slot.translation.present())
                slot.insertAfter = reader.characterOffset();
        } else if (name == u"comment" || name == u"extracomment") {
            const bool comment = name == u"comment";
            const QString value = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            if (comment)
                entry.context = value;
            else if (!value.isEmpty())
                entry.notes.append(value);
            if (!slot.translation.present())
                slot.insertAfter = reader.characterOffset();
        } else {
            reader.skipCurrentElement();
            if (!slot.translation.present() && slot.source >= 0)
                slot.insertAfter = reader.characterOffset();
        }
    }
    if (entry.plural)
        entry.pluralSource = entry.source;
    // What tells messages apart in Qt: the context's name, the
    // disambiguation comment and the source.
    entry.key = contextName + keySeparator + (entry.context.isEmpty() ? QString() : entry.context + keySeparator)
        + entry.source;
    entry.obsolete = isObsolete(type);
    const bool translated = std::any_of(
        entry.translations.cbegin(), entry.translations.cend(), [](const QString &t) { return !t.isEmpty(); });
    entry.fuzzy = type == u"unfinished" && translated;
    entry.origin = originIn(slot.commentText);
    entry.id = int(m_slots.size());
    m_slots.append(slot);
    // An id-based message without engineering text has nothing to send.
    if (!entry.source.isEmpty() && slot.source >= 0)
        catalog.entries.append(entry);
}

QList<xml::Edit> TsFormat::edits(const Slot &slot, const QStringList &forms, const QString &origin) const
{
    const QString &text = m_document.text();
    const auto escaped = [this](const QString &plain) {
        return *xml::toXml(plain, {}, [this](char32_t c) { return tsEscaped(c, m_document); });
    };
    QStringList content;
    for (const QString &form : forms)
        content.append(escaped(form));
    QList<xml::Edit> edits;
    // Where a person's translation came from goes in the translator's
    // comment, as a line of its own that replaces the one an earlier fill
    // left; a message without a comment gets one before its translation.
    const QString comment = withOrigin(slot.commentText, origin);
    QString commentBefore; // a new <translatorcomment> and what goes between it and the <translation>
    if (slot.comment.present() && comment != slot.commentText) {
        if (comment.isEmpty()) {
            edits.append({xml::lineBefore(text, slot.comment.tagStart), slot.comment.end, QString()});
        } else {
            edits.append({slot.comment.tagStart, slot.comment.end,
                u"<translatorcomment>"_s + escaped(comment) + u"</translatorcomment>"_s});
        }
    } else if (!slot.comment.present() && !comment.isEmpty()) {
        commentBefore = u"<translatorcomment>"_s + escaped(comment) + u"</translatorcomment>"_s;
    }
    const auto numerusBlock = [&content](const QString &lineBreak) {
        QString block;
        for (const QString &form : content)
            block +=
                lineBreak + (lineBreak.isEmpty() ? u""_s : u"    "_s) + u"<numerusform>"_s + form + u"</numerusform>"_s;
        return block + lineBreak;
    };
    const xml::Span &t = slot.translation;
    if (!t.present()) {
        const QString lineBreak = xml::breakBefore(text, slot.source);
        const QString inner = slot.numerus ? numerusBlock(lineBreak) : content.value(0);
        edits.append({slot.insertAfter, slot.insertAfter,
            (commentBefore.isEmpty() ? QString() : lineBreak + commentBefore) + lineBreak
                + u"<translation type=\"unfinished\">"_s + inner + u"</translation>"_s});
        return edits;
    }
    const QString tag = text.mid(t.tagStart, t.tagEnd - t.tagStart);
    const QString unfinished = xml::withAttribute(xml::opened(tag), u"type"_s, u"unfinished"_s);
    if (unfinished != tag || !commentBefore.isEmpty())
        edits.append({t.tagStart, t.tagEnd,
            (commentBefore.isEmpty() ? QString() : commentBefore + xml::breakBefore(text, t.tagStart)) + unfinished});
    const auto setContent = [&edits, &t](const QString &inner) {
        edits.append({t.tagEnd, t.contentEnd, inner + (t.selfClosing() ? u"</translation>"_s : QString())});
    };
    if (!slot.numerus) {
        setContent(content.value(0));
        return edits;
    }
    if (slot.forms.isEmpty()) {
        setContent(numerusBlock(xml::breakBefore(text, t.tagStart)));
        return edits;
    }
    for (qsizetype i = 0; i < std::min(content.size(), slot.forms.size()); ++i) {
        const xml::Span &form = slot.forms[i];
        if (form.selfClosing())
            edits.append({form.tagStart, form.end,
                xml::opened(text.mid(form.tagStart, form.tagEnd - form.tagStart)) + content[i] + u"</numerusform>"_s});
        else
            edits.append({form.tagEnd, form.contentEnd, content[i]});
    }
    // Forms the file lacks follow the last, spaced as the forms it has.
    const qsizetype n = slot.forms.size();
    const qsizetype gapStart = n >= 2 ? slot.forms[n - 2].end : t.tagEnd;
    const QString gap = text.mid(gapStart, slot.forms[n - 1].tagStart - gapStart);
    QString extra;
    for (qsizetype i = n; i < content.size(); ++i)
        extra += gap + u"<numerusform>"_s + content[i] + u"</numerusform>"_s;
    if (!extra.isEmpty())
        edits.append({slot.forms[n - 1].end, slot.forms[n - 1].end, extra});
    return edits;
}

WriteResult TsFormat::accept(const QList<int> &ids)
{
    QList<xml::Edit> edits;
    const QString &text = m_document.text();
    for (int id : ids) {
        const xml::Span &t = m_slots.value(id).translation;
        if (!t.present())
            continue;
        const QString tag = text.mid(t.tagStart, t.tagEnd - t.tagStart);
        const QString finished = xml::withoutAttribute(tag, u"type"_s);
        if (finished != tag)
            edits.append({t.tagStart, t.tagEnd, finished});
    }
    return {true, m_document.encode(xml::applied(text, edits)), {}, {}, {}};
}

WriteResult TsFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    WriteResult result;
    QList<xml::Edit> edits;
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_slots.size() && !fill.forms.isEmpty())
            edits.append(this->edits(m_slots[fill.id], fill.forms, fill.origin));
    }
    if (!m_hasLanguage && !language.isEmpty() && m_root.present()) {
        const QString &text = m_document.text();
        const QString root = text.mid(m_root.tagStart, m_root.tagEnd - m_root.tagStart);
        QString code = language;
        edits.append(
            {m_root.tagStart, m_root.tagEnd, xml::withAttribute(root, u"language"_s, code.replace(u'-', u'_'))});
    }
    result.bytes = m_document.encode(xml::applied(m_document.text(), edits));
    result.ok = true;
    return result;
}

} // namespace tarnix::fill
