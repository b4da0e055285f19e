#pragma once

#include <variant>

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tarnix::service {

inline constexpr quint16 defaultPort = 7317;

struct ServiceOptions
{
    enum class EngineKind { Apertium, LibreTranslate };
    quint16 port = defaultPort;
    EngineKind engine = EngineKind::Apertium;
    QUrl engineUrl; // empty with Apertium: the service starts its own APy
    QString apiKey;
    bool forget = false; // empty the translation memory and exit
};

// What the command line asks for: options to run with, or a message to print
// and the exit status to leave with (--help, --version, a bad option).
struct OptionsExit
{
    QString message;
    int status = 0;
};

std::variant<ServiceOptions, OptionsExit> parseServiceOptions(const QStringList &arguments);

} // namespace tarnix::service
