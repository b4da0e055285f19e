#pragma once

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tarnix::fill {

// The flag a format gives an entry whose texts are ICU MessageFormat
// messages (FormatJS JSON, ARB): the run asks for their words alone and
// rebuilds each plural for the target language's CLDR categories.
inline constexpr QStringView icuFormatFlag = u"icu-format";

// One translatable entry of a catalog, whatever its format. The run decides
// what to ask from these fields alone; it never looks at a format's syntax.
struct Entry
{
    QString context; // msgctxt, a TS disambiguation comment, an XLIFF unit's resname: part of the entry's identity
    QString source; // msgid, <source>
    QString pluralSource; // msgid_plural; empty unless plural
    QStringList notes; // extracted comments, TS <extracomment>, XLIFF <note>: help for the engine
    QStringList flags; // the format's flags as written ("c-format", "qt-format", "no-c-format", …), icuFormatFlag
    QStringList translations; // msgstr, msgstr[n], <numerusform>s, <target>; empty list or empty strings: none
    bool plural = false; // msgid_plural, numerus="yes"
    bool fuzzy = false; // translated but marked as needing review (PO fuzzy, TS unfinished, XLIFF needs-review)
    bool obsolete = false; // obsolete, vanished: never filled
    // The comment an earlier fill left on where a person's translation came
    // from (Fill::origin), as the format read it; empty when none.
    QString origin = {};
    // The entry's identity within its catalog, as a person names it on the
    // command line (--accept) and the review record keeps it: a JSON key
    // path, an XLIFF unit's id, a PO message's msgid (after its msgctxt and
    // keySeparator when it has one, as gettext and translate-toolkit name
    // messages), a TS message's context name, comment and source.
    QString key;
    int line = 0; // 1-based line of the entry in the file, for messages
    int id = 0; // the format's own handle for writing the entry back
    // The character that marks a keyboard accelerator in the entry's texts
    // as its format means it ('&' in Qt and KDE, '_' in GTK); null when the
    // format has none. The run asks for the label without it and puts it
    // back (fill/accelerator.h).
    QChar accelerator;
};

// Between the parts of a key that has several (gettext's EOT, which no
// text holds): "menu\u0004Open".
inline constexpr QChar keySeparator = u'\u0004';

// A catalog as read from one file.
struct Catalog
{
    QString path;
    QString language; // the file's own target language (PO header, TS attribute, XLIFF); empty when it names none
    int pluralForms = 0; // nplurals from the file's header; 0 when the file does not say
    bool isTemplate = false; // a POT file: a template to start catalogs from, never filled itself
    QList<Entry> entries;
    QString sourceLanguage; // TS sourcelanguage, XLIFF source-language; empty: English
    QString project; // PO Project-Id-Version; empty where the format does not say
    // What the reader left alone and why, for the user ("3 keys with
    // substitutions left as they are").
    QStringList notices;
};

// The translation of one entry: one form, or every plural form in order.
struct Fill
{
    int id = 0; // Entry::id
    QStringList forms;
    // Where a person's translation came from, for its reviewer (originComment()
    // in fill/answer.h: "tarnix: 92% match of ..."); empty for an engine's.
    // A format with comments a reviewer sees writes it there, replacing the
    // comment an earlier fill of the entry left; the others keep it in the
    // review record.
    QString origin = {};
};

// How the comment a fill leaves in the catalog starts, so that a later fill
// of the entry finds and replaces it and leaves every other comment alone.
inline constexpr QStringView originPrefix = u"tarnix: ";

// `comments` (lines of a translator's comment) without the lines an earlier
// fill left, and with `origin` as their last line when it is not empty.
QString withOrigin(const QString &comments, const QString &origin);
// The line of `comments` an earlier fill left; empty when none.
QString originIn(const QString &comments);

struct WriteResult
{
    bool ok = false;
    QByteArray bytes; // the catalog's new content, when ok
    QString error; // "file:line: what" when not ok
    QList<int> skipped; // ids of fills the file cannot hold (a charset without their characters), left untranslated
    QString skippedWhy; // why, for the summary
};

// The files of one catalog as its ecosystem lays them out.
struct CatalogFiles
{
    QString target; // the catalog filled and written; it may not exist yet
    // Where its source texts come from when the target does not hold them
    // all: the template a new PO catalog starts from, the source language's
    // JSON file. Empty when the target holds them.
    QString source;
    // The language to read from a file that holds every language (a string
    // catalog); empty for the others.
    QString language = {};
};

// A catalog format reads a file into entries and writes translations back.
// Every fill is written as needing review in the format's own way. The
// object keeps what it needs between read() and write() (for the XML
// formats, the original bytes and where each empty translation lies), so
// that everything but the filled entries is written back as it was read.
class CatalogFormat
{
public:
    virtual ~CatalogFormat() = default;
    // Reads a catalog's files. On failure returns false with error
    // "file:line: what" (line 0 when the fault has no line).
    virtual bool read(const CatalogFiles &files, Catalog &catalog, QString &error) = 0;
    // Reads a catalog that is one file.
    bool read(const QString &path, Catalog &catalog, QString &error)
    {
        return read(CatalogFiles {path, {}}, catalog, error);
    }
    // The catalog last read, with fills applied, as the bytes of its file;
    // the caller puts them on disk. `language` and `pluralForms` are the
    // catalog's target language and plural count, for a header or attribute
    // the file lacks.
    virtual WriteResult write(const QList<Fill> &fills, const QString &language, int pluralForms) = 0;
    // Whether the format marks a filled entry as needing review in the file
    // itself (PO fuzzy, TS unfinished, XLIFF needs-review); one that cannot
    // (JSON, ARB) has its fills kept in a review record beside the catalog.
    virtual bool marksReview() const { return true; }
    // The catalog last read with the review marks of these entries
    // (Entry::id) cleared, as the bytes of its file: a person has accepted
    // their translations. A format that marks nothing has nothing to clear
    // (its review record has the entries) and fails.
    virtual WriteResult accept(const QList<int> &ids);
    // Whether a plural entry's forms are one per CLDR category of the target
    // language, in pluralCategories()' order (ICU-style formats: i18next,
    // ARB, string catalogs), rather than gettext's numbered forms.
    virtual bool pluralByCategory() const { return false; }
    // The file as another job of the same run has just written it: a file
    // that holds every language is filled one language at a time, and each
    // write starts from the last one's bytes. False for a format whose file
    // holds one language (no other job writes it) and for bytes it cannot read.
    virtual bool follow(const QByteArray &bytes)
    {
        Q_UNUSED(bytes);
        return false;
    }
};

// A plural's form for one CLDR category from the forms a fill holds: one
// per category in order, or the singular for "one" and the plural for the
// rest; empty when it holds none.
QString formOfCategory(const QStringList &forms, const QStringList &categories, const QString &category);

// A system error's words as the middle of a sentence: "no space left on device".
QString systemError(int error);

} // namespace tarnix::fill
