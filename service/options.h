#pragma once

#include <optional>
#include <variant>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "service/config.h"

namespace tarnix::service {

inline constexpr quint16 defaultPort = 7317;

struct ServiceOptions
{
    quint16 port = defaultPort;
    QString configPath; // empty: the default path, which may be missing
    // A shortcut for one engine instead of the configured ones (keys only
    // ever come from the configuration or the environment).
    std::optional<EngineConfig::Kind> engine;
    QUrl engineUrl; // empty with Apertium: the service starts its own APy
    bool forget = false; // empty the translation memory and exit
    bool allUsers = false; // with forget: a memory shared by a team too
    bool people = false; // with forget: people's translations too
    QString importFile; // a TMX file to store in the memory, then exit
    QString exportFile; // a TMX file to write the memory to, then exit
    bool peopleOnly = false; // with export: people's translations alone
};

// What the command line asks for: options to run with, or a message to print
// and the exit status to leave with (--help, --version, a bad option).
struct OptionsExit
{
    QString message;
    int status = 0;
};

std::variant<ServiceOptions, OptionsExit> parseServiceOptions(const QStringList &arguments);

// The configuration with the command line's engine shortcut applied.
ServiceConfig applyEngineShortcut(ServiceConfig config, const ServiceOptions &options);

} // namespace tarnix::service
