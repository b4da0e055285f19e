#pragma once

#include "fill/formats/catalog.h"
#include "fill/formats/xmledit.h"

class QXmlStreamReader;

namespace tarnix::fill {

// Qt TS files as lupdate writes them. A message is one entry: its
// disambiguation comment the context, its extracted comment a note, a
// numerus message plural with one translation per <numerusform>. A fill
// goes into the message's <translation>, kept or marked type="unfinished",
// and is escaped as lupdate escapes, so lupdate finds nothing to rewrite.
class TsFormat : public CatalogFormat
{
public:
    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    WriteResult accept(const QList<int> &ids) override;

private:
    // Where one message's translation lies, or goes when it has none.
    struct Slot
    {
        xml::Span translation;
        QList<xml::Span> forms;
        bool numerus = false;
        qsizetype source = -1; // start of <source>, whose indentation a new <translation> takes
        qsizetype insertAfter = -1; // end of the last element a new <translation> follows
        xml::Span comment; // <translatorcomment>, where a fill says where a person's translation came from
        QString commentText;
    };
    void readMessage(QXmlStreamReader &reader, const QString &contextName, Catalog &catalog);
    QList<xml::Edit> edits(const Slot &slot, const QStringList &forms, const QString &origin) const;

    xml::Document m_document;
    QList<Slot> m_slots;
    xml::Span m_root;
    bool m_hasLanguage = false;
};

} // namespace tarnix::fill
