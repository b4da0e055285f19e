#pragma once

#include <variant>

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tarnix::fill {

struct Options
{
    QString language; // for files that name none
    QStringList to; // languages to start from a template
    bool check = false;
    bool dryRun = false;
    bool refillFuzzy = false;
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
