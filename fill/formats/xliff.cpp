#include "fill/formats/xliff.h"

#include <algorithm>
#include <map>

#include <QSet>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

const auto namespace2 = u"urn:oasis:names:tc:xliff:document:2.0"_s;
const auto qtNamespace = u"urn:trolltech:names:ts:document:1.0"_s;

// XLIFF 1.2's states that say a target is not yet a finished translation.
bool needsWork12(QStringView state)
{
    return state == u"new" || state.startsWith(u"needs-");
}

// ...and those that say it is no translation at all: tools put the source
// (or nothing useful) in a target that is new or still to be translated.
bool untranslated12(QStringView state)
{
    return state == u"new" || state == u"needs-translation";
}

// Xcode writes this note on every string that has none: no help to anyone.
const auto noComment = u"No comment provided by engineer."_s;

// Who writes the note that says where a person's translation came from:
// 1.2's from, 2.0's category.
const auto originAuthor = u"tarnix-fill"_s;

// A 2.0 origin note's id within its unit: its segment's number.
QString originNoteId(int segment)
{
    return u"tarnix-fill-%1"_s.arg(segment);
}

} // namespace

bool XliffFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    const QString &path = files.target;
    m_slots.clear();
    m_unlabelled.clear();
    catalog = Catalog {};
    catalog.path = path;
    if (!m_document.load(path, error))
        return false;
    QXmlStreamReader reader(m_document.text());
    m_entryFiles.clear();
    m_file.clear();
    const bool read = readDocument(reader, catalog, error);
    // Unit ids are unique within a <file>: with several, the file is part of the key.
    if (QSet<QString>(m_entryFiles.cbegin(), m_entryFiles.cend()).size() > 1) {
        for (qsizetype i = 0; i < catalog.entries.size(); ++i)
            catalog.entries[i].key.prepend(m_entryFiles[i] + keySeparator);
    }
    while (read && !reader.atEnd() && !reader.hasError())
        reader.readNext();
    if (reader.hasError()) {
        error = m_document.fault(reader);
        return false;
    }
    return read && error.isEmpty();
}

bool XliffFormat::readDocument(QXmlStreamReader &reader, Catalog &catalog, QString &error)
{
    if (!reader.readNextStartElement()) {
        if (!reader.hasError())
            error = u"%1:1: not an XLIFF file (no root element)"_s.arg(m_document.path());
        return false;
    }
    const QString where = u"%1:%2: "_s.arg(m_document.path()).arg(reader.lineNumber());
    if (reader.name() != u"xliff") {
        error = where + u"not an XLIFF file (its root element is <%1>)"_s.arg(reader.name());
        return false;
    }
    const QStringView version = reader.attributes().value(u"version"_s);
    m_version2 = reader.namespaceUri() == namespace2 || version.startsWith(u"2.");
    if (!m_version2 && !version.startsWith(u"1.")) {
        error = where + u"XLIFF version \"%1\" is not supported (1.2 and 2.0 are)"_s.arg(version);
        return false;
    }
    if (m_version2) {
        catalog.sourceLanguage = reader.attributes().value(u"srcLang"_s).toString();
        catalog.language = reader.attributes().value(u"trgLang"_s).toString();
        if (catalog.language.isEmpty())
            m_unlabelled.append(xml::startSpan(reader, m_document.text()));
    }
    // Qt's lconvert declares its own namespace: its texts are Qt's, whose
    // '&' marks accelerators. Other XLIFF (Xcode, Angular, Symfony) has none.
    const auto declarations = reader.namespaceDeclarations();
    m_accelerator = std::any_of(declarations.cbegin(), declarations.cend(),
                        [](const QXmlStreamNamespaceDeclaration &d) { return d.namespaceUri() == qtNamespace; })
        ? u'&'
        : QChar();
    readContainer(reader, catalog, error);
    return true;
}

// Files, groups and bodies, down to the units.
void XliffFormat::readContainer(QXmlStreamReader &reader, Catalog &catalog, QString &error)
{
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == (m_version2 ? u"unit" : u"trans-unit")) {
            readUnit(reader, catalog);
            continue;
        }
        if (name == u"file" && !m_version2) {
            if (catalog.sourceLanguage.isEmpty())
                catalog.sourceLanguage = reader.attributes().value(u"source-language"_s).toString();
            const QString language = reader.attributes().value(u"target-language"_s).toString();
            if (language.isEmpty())
                m_unlabelled.append(xml::startSpan(reader, m_document.text()));
            else if (catalog.language.isEmpty())
                catalog.language = language;
            else if (language != catalog.language && error.isEmpty())
                error = u"%1:%2: <file> elements with different target languages (%3, %4): one catalog has one"_s
                            .arg(m_document.path())
                            .arg(reader.lineNumber())
                            .arg(catalog.language, language);
        }
        if (name == u"file")
            m_file = reader.attributes().value(m_version2 ? u"id"_s : u"original"_s).toString();
        if (name == u"file" || name == u"group" || name == u"body")
            readContainer(reader, catalog, error);
        else
            reader.skipCurrentElement();
    }
}

void XliffFormat::readNote(QXmlStreamReader &reader, Unit &unit, const QString &kind)
{
    const QString note = reader.readElementText(QXmlStreamReader::IncludeChildElements);
    if (kind == u"meaning" && unit.context.isEmpty())
        unit.context = note; // Angular's meaning tells apart messages with one text
    else if (kind != u"location" && kind != u"meaning" && !note.isEmpty() && note != noComment)
        unit.notes.append(note);
}

void XliffFormat::readUnit(QXmlStreamReader &reader, Catalog &catalog)
{
    const bool translatable = reader.attributes().value(u"translate"_s) != u"no";
    const QString id = reader.attributes().value(u"id"_s).toString();
    QStringList segmentIds;
    Unit unit;
    unit.context = reader.attributes().value(m_version2 ? u"name"_s : u"resname"_s).toString();
    const qsizetype firstSlot = m_slots.size();
    const xml::Span unitSpan = xml::startSpan(reader, m_document.text());
    if (!m_version2) {
        m_slots.append(Slot {});
        unit.entries.append(readPart(reader, unit, m_slots.last()));
    }
    while (m_version2 && reader.readNextStartElement()) {
        if (reader.name() == u"segment") {
            m_slots.append(Slot {});
            m_slots.last().segment = xml::startSpan(reader, m_document.text());
            segmentIds.append(reader.attributes().value(u"id"_s).toString());
            unit.entries.append(readPart(reader, unit, m_slots.last()));
        } else if (reader.name() == u"notes") {
            unit.notesElement = xml::startSpan(reader, m_document.text());
            while (reader.readNextStartElement()) {
                ++unit.noteCount;
                const QString category = reader.attributes().value(u"category"_s).toString();
                if (reader.name() == u"note" && category == originAuthor) {
                    const QString noteId = reader.attributes().value(u"id"_s).toString();
                    const xml::Content note = xml::readContent(reader, m_document.text());
                    unit.originNotes.insert(noteId, note.span);
                    unit.originTexts.insert(noteId, note.text);
                } else if (reader.name() == u"note") {
                    readNote(reader, unit, category);
                } else {
                    reader.skipCurrentElement();
                }
            }
            xml::finishSpan(unit.notesElement, reader, m_document.text());
        } else {
            reader.skipCurrentElement();
        }
    }
    for (qsizetype i = firstSlot; m_version2 && i < m_slots.size(); ++i) {
        Slot &slot = m_slots[i];
        slot.segmentNumber = int(i - firstSlot + 1);
        slot.originNote = unit.originNotes.value(originNoteId(slot.segmentNumber));
        slot.notes = unit.notesElement;
        slot.otherNotes = unit.noteCount - (slot.originNote.present() ? 1 : 0);
        slot.unitTagEnd = unitSpan.tagEnd;
        slot.unitStart = unitSpan.tagStart;
    }
    for (qsizetype i = 0; i < unit.entries.size(); ++i) {
        Entry &entry = unit.entries[i];
        if (m_version2)
            entry.origin = unit.originTexts.value(originNoteId(int(i + 1)));
        entry.context = unit.context;
        entry.notes = unit.notes;
        entry.id = int(firstSlot + i);
        entry.accelerator = m_accelerator;
        // The unit's id; a segment of several its own id, else its number.
        entry.key = id.isEmpty() ? entry.source : id;
        if (segmentIds.size() > 1)
            entry.key += keySeparator + (segmentIds[i].isEmpty() ? QString::number(i + 1) : segmentIds[i]);
        if (translatable && !entry.source.isEmpty() && m_slots[entry.id].source >= 0) {
            catalog.entries.append(entry);
            m_entryFiles.append(m_file);
        }
    }
}

// A 1.2 <trans-unit> or a 2.0 <segment>: its source and target.
Entry XliffFormat::readPart(QXmlStreamReader &reader, Unit &unit, Slot &slot)
{
    const QString &text = m_document.text();
    Entry entry;
    QString state = reader.attributes().value(u"state"_s).toString();
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"source") {
            const xml::Content source = xml::readContent(reader, text);
            entry.source = source.text;
            entry.line = m_document.lineAt(source.span.tagStart);
            slot.source = source.span.tagStart;
            slot.insertAfter = source.span.end;
            slot.inlines = source.inlines;
        } else if (name == u"target") {
            if (!m_version2)
                state = reader.attributes().value(u"state"_s).toString();
            const xml::Content target = xml::readContent(reader, text);
            slot.target = target.span;
            entry.translations = {!m_version2 && untranslated12(state) ? QString() : target.text};
        } else if (name == u"note" && !m_version2 && reader.attributes().value(u"from"_s) == originAuthor) {
            const xml::Content note = xml::readContent(reader, text);
            slot.originNote = note.span;
            entry.origin = note.text;
        } else if (name == u"note" && !m_version2) {
            readNote(reader, unit, reader.attributes().value(u"from"_s).toString());
        } else {
            // The name is the reader's: read it before moving on.
            const bool segSource = name == u"seg-source";
            reader.skipCurrentElement();
            if (segSource)
                slot.insertAfter = reader.characterOffset();
        }
    }
    const bool translated = !entry.translations.value(0).isEmpty();
    // 2.0 leaves a translated segment's state out (its default is
    // "initial"); only one that says so is unfinished.
    entry.fuzzy = translated && (m_version2 ? state == u"initial" : needsWork12(state));
    return entry;
}

std::optional<QList<xml::Edit>> XliffFormat::edits(const Slot &slot, const QString &translation) const
{
    const auto escape = [this](char32_t c) -> std::optional<QString> {
        switch (c) {
        case u'&':
            return u"&amp;"_s;
        case u'<':
            return u"&lt;"_s;
        case u'>':
            return u"&gt;"_s;
        case u'\r':
            return u"&#xD;"_s; // a raw one would be read back as a line feed
        default:
            break;
        }
        // XML 1.0 holds no other control character; 2.0 has an element for them.
        if (c < 0x20 && c != u'\t' && c != u'\n') {
            if (!m_version2)
                return std::nullopt;
            return u"<cp hex=\"%1\"/>"_s.arg(QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
        }
        return m_document.holds(c) ? QString::fromUcs4(&c, 1) : u"&#x%1;"_s.arg(uint(c), 0, 16);
    };
    const std::optional<QString> content = xml::toXml(translation, slot.inlines, escape);
    if (!content || !xml::wellFormed(*content))
        return std::nullopt;
    const QString &text = m_document.text();
    QList<xml::Edit> edits;
    // A filled entry waits for a reviewer. 1.2: "needs-review-translation"
    // is the state for a translation whose text needs review, and the
    // state-qualifier "mt-suggestion" says it came from machine
    // translation. 2.0 has only initial, translated, reviewed and final, and
    // tools take "translated" as done unless a review step is enforced;
    // "initial" keeps the segment unapproved, the target a proposal.
    if (m_version2) {
        const xml::Span &s = slot.segment;
        const QString tag = text.mid(s.tagStart, s.tagEnd - s.tagStart);
        const QString initial = xml::withAttribute(tag, u"state"_s, u"initial"_s);
        if (initial != tag)
            edits.append({s.tagStart, s.tagEnd, initial});
    }
    const QString review12 = u"<target state=\"needs-review-translation\" state-qualifier=\"mt-suggestion\">"_s;
    const xml::Span &t = slot.target;
    if (!t.present()) {
        edits.append({slot.insertAfter, slot.insertAfter,
            xml::breakBefore(text, slot.source) + (m_version2 ? u"<target>"_s : review12) + *content + u"</target>"_s});
        return edits;
    }
    const QString tag = text.mid(t.tagStart, t.tagEnd - t.tagStart);
    QString opened = xml::opened(tag);
    if (!m_version2) {
        opened = xml::withAttribute(opened, u"state"_s, u"needs-review-translation"_s);
        opened = xml::withAttribute(opened, u"state-qualifier"_s, u"mt-suggestion"_s);
    }
    if (opened != tag)
        edits.append({t.tagStart, t.tagEnd, opened});
    edits.append({t.tagEnd, t.contentEnd, *content + (t.selfClosing() ? u"</target>"_s : QString())});
    return edits;
}

QString XliffFormat::originNote(const Slot &slot, const QString &origin) const
{
    QString escaped = origin;
    escaped.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    return m_version2 ? u"<note id=\"%1\" category=\"%2\" appliesTo=\"target\">%3</note>"_s.arg(
               originNoteId(slot.segmentNumber), originAuthor, escaped)
                      : u"<note from=\"%1\" annotates=\"target\">%2</note>"_s.arg(originAuthor, escaped);
}

QList<xml::Edit> XliffFormat::originEdits(const Slot &slot, const QString &origin) const
{
    const QString &text = m_document.text();
    if (origin.isEmpty() && !slot.originNote.present())
        return {};
    if (slot.originNote.present()) {
        if (origin.isEmpty())
            return {{xml::lineBefore(text, slot.originNote.tagStart), slot.originNote.end, QString()}};
        return {{slot.originNote.tagStart, slot.originNote.end, originNote(slot, origin)}};
    }
    // After the target: a new one is part of the target's own edit.
    const qsizetype at = slot.target.present() ? slot.target.end : slot.insertAfter;
    return {{at, at, xml::breakBefore(text, slot.source) + originNote(slot, origin)}};
}

QList<xml::Edit> XliffFormat::unitOriginEdits(const QList<std::pair<const Slot *, QString>> &filled) const
{
    const QString &text = m_document.text();
    const Slot &unit = *filled.front().first;
    int notesLeft = unit.otherNotes + (unit.originNote.present() ? 1 : 0);
    QList<xml::Edit> edits;
    QString added;
    const QString lineBreak = xml::breakBefore(text, unit.unitStart);
    for (const auto &[slot, origin] : filled) {
        if (slot->originNote.present()) {
            notesLeft -= origin.isEmpty() ? 1 : 0;
            edits.append(originEdits(*slot, origin));
        } else if (!origin.isEmpty()) {
            added += (lineBreak.isEmpty() ? QString() : lineBreak + u"    "_s) + originNote(*slot, origin);
        }
    }
    if (unit.notes.present()) {
        // <notes> holds at least one note: one left empty goes.
        if (notesLeft == 0 && added.isEmpty())
            return {{xml::lineBefore(text, unit.notes.tagStart), unit.notes.end, QString()}};
        const qsizetype at = xml::lineBefore(text, unit.notes.contentEnd);
        if (!added.isEmpty())
            edits.append({at, at, added});
        return edits;
    }
    if (added.isEmpty())
        return edits;
    const QString inner = lineBreak.isEmpty() ? QString() : lineBreak + u"  "_s;
    edits.append({unit.unitTagEnd, unit.unitTagEnd, inner + u"<notes>"_s + added + inner + u"</notes>"_s});
    return edits;
}

WriteResult XliffFormat::accept(const QList<int> &ids)
{
    // A person's yes: 1.2's target and 2.0's segment become "translated";
    // 1.2's state-qualifier still says where the text came from.
    QList<xml::Edit> edits;
    const QString &text = m_document.text();
    for (int id : ids) {
        if (id < 0 || id >= m_slots.size())
            continue;
        const xml::Span &s = m_version2 ? m_slots[id].segment : m_slots[id].target;
        if (!s.present())
            continue;
        const QString tag = text.mid(s.tagStart, s.tagEnd - s.tagStart);
        const QString translated = xml::withAttribute(tag, u"state"_s, u"translated"_s);
        if (translated != tag)
            edits.append({s.tagStart, s.tagEnd, translated});
    }
    return {true, m_document.encode(xml::applied(text, edits)), {}, {}, {}};
}

WriteResult XliffFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    WriteResult result;
    QList<xml::Edit> edits;
    std::map<qsizetype, QList<std::pair<const Slot *, QString>>> filledOfUnit;
    for (const Fill &fill : fills) {
        if (fill.id < 0 || fill.id >= m_slots.size() || fill.forms.isEmpty())
            continue;
        if (auto slotEdits = this->edits(m_slots[fill.id], fill.forms.first())) {
            const Slot &slot = m_slots[fill.id];
            if (m_version2) {
                // A unit's notes are one element for all its segments: edited once.
                filledOfUnit[slot.unitTagEnd].append({&slot, fill.origin});
            } else if (const QList<xml::Edit> note = originEdits(slot, fill.origin);
                       !slot.target.present() && !slot.originNote.present() && !note.isEmpty()) {
                // A new 1.2 target and the note after it go in at one place, in that order.
                slotEdits->last().text += note.first().text;
            } else {
                slotEdits->append(note);
            }
            edits.append(*slotEdits);
        } else {
            result.skipped.append(fill.id);
            result.skippedWhy =
                u"XLIFF cannot hold the translation (a control character, or inline elements out of order)"_s;
        }
    }
    for (const auto &[unit, filled] : filledOfUnit)
        edits.append(unitOriginEdits(filled));
    const QString &text = m_document.text();
    for (const xml::Span &span : std::as_const(m_unlabelled)) {
        if (language.isEmpty())
            break;
        QString code = language;
        edits.append({span.tagStart, span.tagEnd,
            xml::withAttribute(text.mid(span.tagStart, span.tagEnd - span.tagStart),
                m_version2 ? u"trgLang"_s : u"target-language"_s, code.replace(u'_', u'-'))});
    }
    result.bytes = m_document.encode(xml::applied(text, edits));
    result.ok = true;
    return result;
}

} // namespace tarnix::fill
