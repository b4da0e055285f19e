#pragma once

#include <chrono>
#include <variant>

#include <QList>
#include <QString>
#include <QUrl>

#include "service/http/httplimits.h"
#include "service/memory/translationmemory.h"

namespace tarnix::service {

// One engine of the configuration: a section of service.conf.
struct EngineConfig
{
    enum class Kind { Apertium, LibreTranslate, DeepL, LanguageModel };

    QString name; // the section's name, shown in the log
    Kind kind = Kind::Apertium;
    QUrl url; // Apertium: an APy already running (empty: the service starts one)
    QString model; // language models only
    int limit = 8; // requests in flight at once; more wait in turn
    std::chrono::milliseconds timeout {30000}; // for one request, waiting in turn included
    QString keyFile; // as written; read by loadServiceConfig()
    QString keyVariable; // the environment variable holding the key
    QString key; // filled by loadServiceConfig(), never from the file itself
};

// Everything service.conf sets, one member per concern; a new concern is a
// new section and a new member, read by its own part of the parser.
struct ServiceConfig
{
    QList<EngineConfig> engines; // in the order they are asked
    // [memory]: "memory = on|off", "path", "max-entries"; or a shared database:
    // "url", "password-file"/"password-env", "sslmode", "ssl-root-cert"
    MemorySettings memory;
    // [http]: "request-timeout-seconds", "keep-alive-timeout-seconds",
    // "max-connections", "idle-exit-minutes" (0: never)
    HttpLimits http;
};

// The configuration without a file: Apertium alone, through an APy the
// service starts itself.
ServiceConfig defaultServiceConfig();

// service.conf's text: INI sections ("[name]"), "key = value" lines, comments
// starting with '#' or ';'. [engines] has "order = a, b, …", naming the engine
// sections to ask in that order (without it, every engine section in the
// order of the file); each engine section has "type" (apertium,
// libretranslate, deepl, language-model; the section's name when left out),
// "url", "model", "limit", "timeout" (seconds), "key-file" or "key-env".
// A malformed text gives a one-line reason with its line number.
std::variant<ServiceConfig, QString> parseServiceConfig(const QString &text);

// $XDG_CONFIG_HOME/tarnix/service.conf (~/.config/tarnix/service.conf).
QString defaultConfigPath();

// Reads and parses the file at `path` and each engine's key (and a shared
// memory's password, the same way): from its key
// file (a path relative to the configuration's folder, or starting with
// "~/"), which other users must not be able to read, or from its environment
// variable. A missing file is the default configuration unless `mustExist`.
// Errors are one line naming the file; they never hold a key.
std::variant<ServiceConfig, QString> loadServiceConfig(const QString &path, bool mustExist);

} // namespace tarnix::service
