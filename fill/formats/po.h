#pragma once

#include <QByteArray>
#include <QList>

#include "fill/formats/catalog.h"

struct po_file;
struct po_message;

namespace tarnix::fill {

// PO and POT files through GNU gettext's libgettextpo, both ways: the file is
// written back as msgmerge writes it. Texts stay in the file's charset; a
// fill the charset cannot hold is skipped. A template written to another
// path becomes a new catalog, with the header msginit gives one.
class PoFormat : public CatalogFormat
{
public:
    PoFormat();
    ~PoFormat() override;
    PoFormat(const PoFormat &) = delete;
    PoFormat &operator=(const PoFormat &) = delete;

    using CatalogFormat::read;
    bool read(const CatalogFiles &files, Catalog &catalog, QString &error) override;
    WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) override;
    WriteResult accept(const QList<int> &ids) override;

private:
    // The catalog as it stands, as the bytes of its file.
    WriteResult serialised();
    po_file *file = nullptr;
    QList<po_message *> messages; // by Entry::id
    po_message *header = nullptr;
    QByteArray charset; // the header's, "UTF-8" when it names none
    bool charsetNamed = false; // whether the header names it
    QString path;
    bool isTemplate = false;
};

// The line of each message's msgid (or msgctxt) in a PO file's text, in file
// order, obsolete ones included: libgettextpo does not tell.
QList<int> poMessageLines(const QByteArray &text);

} // namespace tarnix::fill
