#pragma once

#include <optional>
#include <variant>

#include <QHash>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tarnix::service {

// One line of a team's glossary: a source term and the translation every
// answer must use for it.
struct GlossaryEntry
{
    QString source;
    QString target;
    bool operator==(const GlossaryEntry &) const = default;
};

// Where a glossary term stands in a text.
struct GlossaryMatch
{
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype entry = 0; // index into Glossary::entries()
    bool exact = false; // the text has the term as written, not a plural of it
};

// The glossary of one language pair. Terms match case-insensitively on word
// boundaries (never inside another word), also in their simple English
// plurals ("file"/"files", "box"/"boxes", "entry"/"entries"); where two
// terms start at the same place the longest wins.
class Glossary
{
public:
    Glossary() = default;
    // Entries with a blank side are dropped; of two with the same source
    // (in any case) the first counts.
    explicit Glossary(const QList<GlossaryEntry> &entries);

    bool isEmpty() const { return list.isEmpty(); }
    const QList<GlossaryEntry> &entries() const { return list; }
    // Left to right, none overlapping.
    QList<GlossaryMatch> find(QStringView text) const;
    // The entries of the terms that occur in `text`, each once, in the order of the glossary.
    QList<GlossaryEntry> occurringIn(QStringView text) const;
    // The first entry whose term occurs in `source` and whose translation
    // `translation` does not use (case-insensitive, a simple plural allowed).
    std::optional<GlossaryEntry> missingIn(QStringView source, QStringView translation) const;
    // A short digest of the entries, which names this version of the glossary.
    QString digest() const;

    // `term` or one of its simple plurals stands in `text` as a whole word.
    static bool uses(QStringView text, const QString &term);

private:
    QList<GlossaryEntry> list;
    QRegularExpression pattern;
    QHash<QString, qsizetype> byForm; // every lowercased form of every term: its entry
};

// [glossary] of service.conf: one CSV or TSV file of "source,target" lines
// per target language ("es = glossary-es.csv") and a TBX file of many
// languages ("file = team.tbx"); loadServiceConfig() reads the files into
// `tables` and `concepts`.
struct GlossarySettings
{
    QMap<QString, QString> tableFiles; // target language: the path as written, made full by loadServiceConfig()
    QString tbxFile; // as written, made full by loadServiceConfig()
    QString host; // the machine's name, where loadServiceConfig() read the files
    QMap<QString, QList<GlossaryEntry>> tables; // target language: its entries, whatever the source
    QList<QMap<QString, QStringList>> concepts; // per TBX entry: language (lowercase): its terms

    bool isEmpty() const { return tables.isEmpty() && concepts.isEmpty(); }
    // The glossary from `source` to `target`: the target's table first, then
    // every TBX concept that has a term in both (its first term in each).
    QList<GlossaryEntry> entriesFor(const QString &source, const QString &target) const;
    // Where the glossary to `target` comes from, as a short digest of the
    // host and the paths of the files that give its entries: DeepL's
    // glossaries made of them are named for it, so that a service that reads
    // other files leaves them alone.
    QString originFor(const QString &target) const;
};

// A CSV (comma) or TSV (tab, when the first line holds one) file of
// "source,target" lines; CSV fields may be double-quoted with "" inside.
// Blank lines and lines starting with '#' are skipped. Errors name the file
// and line.
std::variant<QList<GlossaryEntry>, QString> readGlossaryTable(const QString &path);

// A TBX file (TBX 2 termEntry/langSet/tig|ntig/term, TBX 3
// conceptEntry/langSec/termSec/term). Errors name the file and line.
std::variant<QList<QMap<QString, QStringList>>, QString> readTbx(const QString &path);

} // namespace tarnix::service
