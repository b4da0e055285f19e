#pragma once

#include <optional>

#include <QHash>

#include "fill/formats/catalog.h"
#include "fill/formats/xmledit.h"

class QXmlStreamReader;

namespace tarnix::fill {

// XLIFF 1.2 (<trans-unit>, as Xcode and Angular export it) and XLIFF 2.0
// (<unit>/<segment>). A 1.2 unit or a 2.0 segment is one entry; its unit's
// resname (1.2) or name (2.0), else an Angular "meaning" note, is the
// context; its notes are notes. Inline elements stay in the entry's text as
// markup, which the service keeps as placeholders, and go back into the
// target as the source has them.
class XliffFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    WriteResult accept(const QList<int> &ids) override;

private:
    // Where one entry's target lies, or goes when it has none.
    struct Slot
    {
        xml::Span target;
        qsizetype source = -1; // start of <source>, whose indentation a new <target> takes
        qsizetype insertAfter = -1; // end of <source> (or 1.2 <seg-source>)
        xml::Span segment; // 2.0: the <segment>, which carries the state
        QList<xml::Inline> inlines;
        // Where a fill says where a person's translation came from: 1.2 a
        // <note from="tarnix-fill"> after the target; 2.0 a <note
        // category="tarnix-fill"> in the unit's <notes>, one per segment.
        xml::Span originNote;
        xml::Span notes; // 2.0: the unit's <notes>, when it has them
        int otherNotes = 0; // 2.0: the notes in them besides this segment's origin note
        qsizetype unitTagEnd = -1; // 2.0: the end of the unit's start tag, where a new <notes> goes
        qsizetype unitStart = -1; // 2.0: the start of the unit's start tag, whose indentation <notes> takes
        int segmentNumber = 0; // 2.0: the segment's number in its unit, from 1
    };
    struct Unit
    {
        QString context;
        QStringList notes;
        QList<Entry> entries;
        QHash<QString, xml::Span> originNotes; // 2.0: the fills' notes by id
        QHash<QString, QString> originTexts;
        xml::Span notesElement; // 2.0: <notes>
        int noteCount = 0; // the <note>s in it
    };
    bool readDocument(QXmlStreamReader &reader, Catalog &catalog, QString &error);
    void readContainer(QXmlStreamReader &reader, Catalog &catalog, QString &error);
    void readUnit(QXmlStreamReader &reader, Catalog &catalog);
    void readNote(QXmlStreamReader &reader, Unit &unit, const QString &kind);
    Entry readPart(QXmlStreamReader &reader, Unit &unit, Slot &slot);
    // The edits that fill one entry; nullopt when XML cannot hold the
    // translation (a control character in 1.2, inline elements out of order).
    std::optional<QList<xml::Edit>> edits(const Slot &slot, const QString &translation) const;
    // The note that says where a fill came from (`origin`, as the reviewer reads it).
    QString originNote(const Slot &slot, const QString &origin) const;
    // The edits that put a fill's origin note in place of the one an earlier
    // fill left (none: that one removed); a new 1.2 note goes after the target.
    QList<xml::Edit> originEdits(const Slot &slot, const QString &origin) const;
    // 2.0: the same for the filled segments of one unit, whose <notes> they
    // share: a unit without one gets one holding all the new notes, and one
    // left without a note goes.
    QList<xml::Edit> unitOriginEdits(const QList<std::pair<const Slot *, QString>> &filled) const;

    xml::Document m_document;
    QList<Slot> m_slots;
    bool m_version2 = false;
    QChar m_accelerator; // '&' in a file Qt's lconvert wrote
    // Start tags that hold the target language (1.2 <file>s, the 2.0 root) and lack it.
    QList<xml::Span> m_unlabelled;
    QString m_file; // the <file> being read: its original (1.2) or id (2.0)
    QStringList m_entryFiles; // the <file> of each entry read, to tell keys apart across files
};

} // namespace tarnix::fill
