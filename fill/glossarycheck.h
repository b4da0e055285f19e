#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include "fill/check.h"
#include "service/text/glossary.h"

namespace tarnix::fill {

// The terms of the service's answer to GET /glossary ({"terms": [{"source":
// …, "target": …}, …]}); nothing when the body is no such answer (a service
// without that path).
std::optional<QList<service::GlossaryEntry>> readGlossaryAnswer(const QByteArray &body);

// What the service said of its glossary for one language pair.
struct TeamGlossary
{
    bool reached = false; // a service answered at the address at all
    std::optional<service::Glossary> glossary; // the terms, when it serves them
};

// Asks the service at `service` for its glossary from `source` to `target`
// (its codes), waiting at most a few seconds.
TeamGlossary fetchGlossary(const QUrl &service, const QString &source, const QString &target);

// The glossaries --glossary names ("LANG=FILE" a CSV or TSV for the
// catalogs of LANG, a bare CSV or TSV for every catalog, "FILE.tbx" a TBX of
// many languages), read as the service reads its own; a bare table is kept
// under the language "*". Errors name the file and line.
std::variant<service::GlossarySettings, QString> readGlossaryFiles(const QStringList &given);

// The terms from `source` to `target` of glossaries read by readGlossaryFiles.
service::Glossary glossaryOf(const service::GlossarySettings &settings, const QString &source, const QString &target);

// A person's translation of an entry that does not use the team's term:
// the glossary's own test (service::Glossary::missingIn, as the service
// checks every answer), on the label without its accelerator and its
// directives (a term inside an option or a placeholder is no word to
// translate), per form; a
// plural's forms after the first against its plural source. One finding per
// form at most, naming the first term missing.
QList<Finding> glossaryFindings(const Entry &entry, const service::Glossary &glossary);

} // namespace tarnix::fill
