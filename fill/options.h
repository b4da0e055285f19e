#pragma once

#include <variant>

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tarnix::fill {

struct Options
{
    QString language; // for files that name none
    QStringList to; // languages to start from a source file (a template)
    QString source; // --source: the file catalogs take their source texts from, where the layout does not say
    QString sourceLanguage = QStringLiteral("en"); // the source file's language
    bool check = false;
    QStringList glossaries; // --glossary: "[LANG=]FILE", as given; --check's terms instead of the service's
    bool dryRun = false;
    bool estimate = false; // --estimate: what a run would take of each engine; translate nothing
    bool refillFuzzy = false;
    bool unreviewed = false; // --unreviewed: list what awaits review; translate nothing
    bool accept = false; // --accept: mark `keys` of the one file reviewed
    bool learn = false; // --learn: store the reviewed translations in the service's memory
    QStringList keys; // --accept's keys, as written (escaped as the review record writes them)
    QUrl service; // the build's address unless --service
    bool serviceGiven = false;
    int jobs = 8;
    QStringList files;
};

// Text for standard output (--help, --version) or an error of use for
// standard error, and the exit status.
struct OptionsExit
{
    QString text;
    int status = 0;
};

std::variant<Options, OptionsExit> parseOptions(const QStringList &arguments, const QUrl &buildService);

} // namespace tarnix::fill
