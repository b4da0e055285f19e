#pragma once

#include <variant>

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include "service/text/glossary.h"

namespace tarnix::service {

// One glossary of a DeepL account, as GET /v2/glossaries lists it.
struct DeepLGlossary
{
    QString id; // glossary_id
    QString name;
    QString sourceLang; // "en"
    QString targetLang; // "de"
    bool ready = false; // usable in a translate request
    qsizetype entryCount = 0;
};

// DeepL's glossaries name a language without its variant, in lower case:
// "PT-BR" and "pt" are "pt", "ZH-HANS" is "zh".
QString deepLGlossaryLanguage(const QString &deepLCode);

// What the service names the glossary of a pair of service codes made of
// the files of one origin (GlossarySettings::originFor()) in one version of
// their entries (Glossary::digest()): "tarnix-en-pt-BR-<origin>-<digest>".
// A restarted service, or another that reads the same files on the same
// host, finds it by that name, and a changed file names another.
QString deepLGlossaryName(const QString &source, const QString &target, const QString &origin, const QString &digest);
// Whether `name` is an older version of that glossary: one of the same pair
// and origin with another digest, or one named before names held their
// origin ("tarnix-en-pt-BR-<digest>"). Those are deleted once a new version
// is ready; other origins' glossaries are left alone.
bool isOlderDeepLGlossary(
    const QString &name, const QString &source, const QString &target, const QString &origin, const QString &digest);

// The entries as DeepL's TSV: one "source<TAB>target" line each. DeepL
// refuses an entry with a tab or a line break in it, one with white space
// at either end and a source given twice; those are left out (the first of
// two sources counts, as in the glossary itself).
QString deepLGlossaryEntries(const QList<GlossaryEntry> &entries);

// The JSON body of POST /v2/glossaries.
QByteArray deepLGlossaryBody(
    const QString &name, const QString &sourceLang, const QString &targetLang, const QString &tsvEntries);

// The pairs GET /v2/glossary-language-pairs lists, as "en>de", or why not.
std::variant<QSet<QString>, QString> parseDeepLGlossaryPairs(int httpStatus, const QByteArray &json);

// The glossaries of GET /v2/glossaries, or why not.
std::variant<QList<DeepLGlossary>, QString> parseDeepLGlossaries(int httpStatus, const QByteArray &json);

// One glossary: the answer to POST /v2/glossaries (201) or to
// GET /v2/glossaries/{id} (200), or why not.
std::variant<DeepLGlossary, QString> parseDeepLGlossary(int httpStatus, const QByteArray &json);

} // namespace tarnix::service
