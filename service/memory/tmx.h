#pragma once

#include <optional>

#include <QHash>
#include <QList>
#include <QString>
#include <QXmlStreamReader>

class QIODevice;

namespace tarnix::service {

class TranslationMemory;

// One translation of a TMX unit: its source and one of its targets, in the
// service's language codes (languages/languagetags.h).
struct TmxTranslation
{
    QString source;
    QString target;
    QString text;
    QString translation;
    QString context; // <prop type="x-context">
    QString note; // the unit's <note>s, else the header's
    QString engine; // <prop type="x-tarnix-engine">: a machine's translation, as tarnix-service exports them
};

// Reads a TMX file (1.4, and 1.1's `lang`) one unit at a time, as CAT tools
// and translate-toolkit's po2tmx write it: the header's srclang (or a
// unit's own), each <tuv>'s xml:lang, a segment's inline elements (<ph>,
// <bpt>, <ept>, <it>, <ut>, <hi>, <sub>) kept as the text they hold (the
// native codes a placeholder stands for are the source's own text). A unit
// gives one translation per target language; one whose source segment is
// missing or empty, or whose languages are no language codes, gives none
// and is counted in skipped().
class TmxReader
{
public:
    explicit TmxReader(QIODevice *device);

    // The next unit's translations (possibly none), or nothing at the end
    // of the file or at an error (error() then says which).
    std::optional<QList<TmxTranslation>> next();
    // Why reading stopped before the end ("line 12: …"), or empty.
    QString error() const;
    qint64 skipped() const { return skippedUnits; }

private:
    bool readHeader();
    QList<TmxTranslation> readUnit();
    QString readText();

    QXmlStreamReader xml;
    QString headerSource; // the header's srclang as a service code; empty for "*all*"
    QString headerNote;
    QHash<QString, std::optional<QString>> languages; // as written -> service code: a file has a few

    bool inBody = false;
    qint64 skippedUnits = 0;
    QString problem;
};

struct TmxImport
{
    qint64 people = 0; // people's translations stored
    qint64 machines = 0; // machine translations (exported by tarnix-service) stored
    qint64 skipped = 0; // units with nothing to store
    qint64 notStored = 0; // translations the memory refused
    QString error; // why the import stopped, or empty
};

// Stores every translation of a TMX file in the memory, in transactions of
// ten thousand (a thousand in a shared database): units are people's translations, with `note` where a unit and
// the header have none; units tarnix-service exported from a machine (with
// an x-tarnix-engine property) go back as that engine's. A later unit for
// the same text, languages and context replaces an earlier person's.
TmxImport importTmx(QIODevice *device, const QString &note, TranslationMemory &memory);

struct TmxExport
{
    qint64 written = 0;
    qint64 damaged = 0; // rows that fail their checksum: left out
    qint64 unwritable = 0; // rows holding characters XML cannot carry: left out
    QString error; // why the export failed, or empty
};

// Writes the memory's rows (people's alone with `peopleOnly`) as TMX 1.4,
// one unit each: the context as <prop type="x-context">, a person's note
// as <note>, a machine's engine as <prop type="x-tarnix-engine">.
TmxExport exportTmx(TranslationMemory &memory, QIODevice *device, bool peopleOnly);

} // namespace tarnix::service
