#pragma once

#include <chrono>
#include <variant>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "service/engines/meteredengine.h"
#include "service/http/httplimits.h"
#include "service/memory/translationmemory.h"
#include "service/text/glossary.h"

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
    std::optional<EnginePrice> price; // "price = 20 EUR per million characters", for estimates
    QString note; // something odd but accepted, for the log at start ("url does not end in /v1: …")
};

// "20 EUR per million characters", "0.60 $ per million tokens", "5 per
// million characters"; nothing for anything else.
std::optional<EnginePrice> readPrice(const QString &text);

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
    // [terms]: "keep = Tarnix, GNOME, Wi-Fi" and "file", a file of one term a
    // line (relative to the configuration's folder, or starting with "~/"):
    // the terms no engine translates, filled from both by loadServiceConfig().
    QStringList keptTerms;
    QString keptTermsFile; // as written
    // [glossary]: "es = glossary-es.csv", one CSV or TSV file per target
    // language, and "file = team.tbx"; read by loadServiceConfig().
    GlossarySettings glossary;
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
// A value may be followed by a comment (" ; …" or " # …").
// A malformed text gives a one-line reason with its line number. Without
// `readEngines` the engine sections are left unread (the command line
// replaces them) and the engines are the default ones.
std::variant<ServiceConfig, QString> parseServiceConfig(const QString &text, bool readEngines = true);

// $XDG_CONFIG_HOME/tarnix/service.conf (~/.config/tarnix/service.conf).
QString defaultConfigPath();

// What of the configuration file a run reads: all of it; all but the engine
// sections (--engine names the engine); or the [memory] section alone
// (--forget, and a shortcut whose file has a mistake elsewhere).
enum class ConfigScope { Whole, WithoutEngines, MemoryOnly };

// Reads and parses the file at `path`, which must be UTF-8, and each
// engine's key (and a shared memory's password, the same way): from its key
// file (a path relative to the configuration's folder, or starting with "~/";
// one line), which other users must not be able to read, or from its
// environment variable. The memory's path and ssl-root-cert are read the same way. A missing
// file is the default configuration unless `mustExist`. Errors are one line
// naming the file; they never hold a key.
std::variant<ServiceConfig, QString> loadServiceConfig(
    const QString &path, bool mustExist, ConfigScope scope = ConfigScope::Whole);

} // namespace tarnix::service
