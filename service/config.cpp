#include "service/config.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

#include "service/configtext.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

struct Setting
{
    QString value;
    int line = 0;
};

struct Section
{
    QString name;
    int line = 0;
    QHash<QString, Setting> settings;
};

using Error = QString;

// Sections that configure a concern of the service rather than an engine;
// every other section is an engine. A new concern adds its section here and
// reads it into its own member of ServiceConfig.
const QStringList concernSections {u"engines"_s, u"memory"_s, u"http"_s, u"terms"_s, u"glossary"_s};

// Every key of the section is one of `known`.
std::optional<Error> unknownKey(const Section &section, const QStringList &known)
{
    for (auto it = section.settings.cbegin(); it != section.settings.cend(); ++it) {
        if (!known.contains(it.key()))
            return u"line %1: [%2] has no setting \"%3\"; it takes %4"_s.arg(it.value().line)
                .arg(section.name, it.key(), known.join(u", "_s));
    }
    return std::nullopt;
}

// A whole number of the section from `least` to `most`, when set.
std::variant<int, Error> wholeNumber(const Section &section, const QString &key, int least, int most, int fallback)
{
    if (!section.settings.contains(key))
        return fallback;
    const Setting setting = section.settings.value(key);
    bool ok = false;
    const int value = setting.value.toInt(&ok);
    if (!ok || value < least || value > most)
        return u"line %1: %2 is a whole number from %3 to %4"_s.arg(setting.line).arg(key).arg(least).arg(most);
    return value;
}

std::variant<HttpLimits, Error> readHttp(const Section &section)
{
    const QStringList keys {
        u"request-timeout-seconds"_s, u"keep-alive-timeout-seconds"_s, u"max-connections"_s, u"idle-exit-minutes"_s};
    if (auto error = unknownKey(section, keys))
        return *error;
    HttpLimits limits;
    const auto values = {wholeNumber(section, keys[0], 1, 3600, int(limits.requestTimeout.count() / 1000)),
        wholeNumber(section, keys[1], 1, 3600, int(limits.keepAliveTimeout.count() / 1000)),
        wholeNumber(section, keys[2], 1, 100000, limits.maxConnections),
        wholeNumber(section, keys[3], 0, 10080, int(limits.idleExit.count() / 60000))};
    std::vector<int> numbers;
    for (const auto &value : values) {
        if (const auto *error = std::get_if<Error>(&value))
            return *error;
        numbers.push_back(std::get<int>(value));
    }
    limits.requestTimeout = std::chrono::seconds(numbers[0]);
    limits.keepAliveTimeout = std::chrono::seconds(numbers[1]);
    limits.maxConnections = numbers[2];
    limits.idleExit = std::chrono::minutes(numbers[3]);
    return limits;
}

// A shared memory's database: its url and TLS, and where its password is.
std::optional<Error> readMemoryServer(const Section &section, MemorySettings &memory)
{
    const auto setting = [&](const char16_t *key) { return section.settings.value(QString::fromUtf16(key)); };
    const Setting url = setting(u"url");
    memory.passwordFile = setting(u"password-file").value;
    memory.passwordVariable = setting(u"password-env").value;
    if (url.value.isEmpty()) {
        for (const char16_t *key : {u"password-file", u"password-env", u"sslmode", u"ssl-root-cert"}) {
            if (!setting(key).value.isEmpty())
                return u"line %1: %2 goes with url (a PostgreSQL database)"_s.arg(setting(key).line).arg(key);
        }
        return std::nullopt;
    }
    if (!memory.path.isEmpty())
        return u"line %1: [memory] has a path or a url, not both"_s.arg(url.line);
    if (!memory.passwordFile.isEmpty() && !memory.passwordVariable.isEmpty())
        return u"line %1: [memory] has both password-file and password-env; keep one"_s.arg(url.line);
    auto server = parseMemoryServer(url.value, setting(u"sslmode").value);
    if (const auto *error = std::get_if<QString>(&server))
        return u"line %1: %2"_s.arg(url.line).arg(*error);
    memory.server = std::get<MemoryServer>(std::move(server));
    memory.server->sslRootCert = setting(u"ssl-root-cert").value;
    return std::nullopt;
}

std::variant<MemorySettings, Error> readMemory(const Section &section)
{
    if (auto error = unknownKey(section,
            {u"memory"_s, u"path"_s, u"max-entries"_s, u"url"_s, u"password-file"_s, u"password-env"_s, u"sslmode"_s,
                u"ssl-root-cert"_s, u"match-threshold"_s}))
        return *error;
    MemorySettings memory;
    if (section.settings.contains(u"memory"_s)) {
        const Setting on = section.settings.value(u"memory"_s);
        if (on.value != u"on" && on.value != u"off")
            return u"line %1: memory is on or off"_s.arg(on.line);
        memory.enabled = on.value == u"on";
    }
    memory.path = section.settings.value(u"path"_s).value;
    const auto entries = wholeNumber(section, u"max-entries"_s, 1, 100000000, memory.maxEntries);
    if (const auto *error = std::get_if<Error>(&entries))
        return *error;
    memory.maxEntries = std::get<int>(entries);
    const auto threshold = wholeNumber(section, u"match-threshold"_s, 1, 100, memory.matchThreshold);
    if (const auto *error = std::get_if<Error>(&threshold))
        return *error;
    memory.matchThreshold = std::get<int>(threshold);
    if (auto error = readMemoryServer(section, memory))
        return *error;
    return memory;
}

std::optional<Error> readTerms(const Section &section, ServiceConfig &config)
{
    if (auto error = unknownKey(section, {u"keep"_s, u"file"_s}))
        return *error;
    for (const QString &term : section.settings.value(u"keep"_s).value.split(u','))
        if (!term.trimmed().isEmpty())
            config.keptTerms.append(term.trimmed());
    config.keptTermsFile = section.settings.value(u"file"_s).value;
    return std::nullopt;
}

std::optional<Error> readGlossary(const Section &section, GlossarySettings &glossary)
{
    static const QRegularExpression language(u"^[A-Za-z]{2,3}(?:[-_][A-Za-z0-9]{2,8})*$"_s);
    for (auto it = section.settings.cbegin(); it != section.settings.cend(); ++it) {
        if (it.value().value.isEmpty())
            return u"line %1: [glossary] %2 needs a file"_s.arg(it.value().line).arg(it.key());
        if (it.key() == u"file")
            glossary.tbxFile = it.value().value;
        else if (language.match(it.key()).hasMatch())
            glossary.tableFiles.insert(it.key(), it.value().value);
        else
            return u"line %1: [glossary] takes \"file = team.tbx\" and a file per target language (\"es = "
                   u"glossary-es.csv\"), not \"%2\""_s.arg(it.value().line)
                       .arg(it.key());
    }
    return std::nullopt;
}

// The text as sections of settings, in the order of the file.
std::variant<QList<Section>, Error> readSections(const QString &text)
{
    static const QRegularExpression sectionName(u"^[A-Za-z0-9_.-]+$"_s);
    QList<Section> sections;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const QString name = line.endsWith(u']') ? line.sliced(1, line.size() - 2).trimmed() : QString();
            if (!sectionName.match(name).hasMatch())
                return u"line %1: a section is a name in brackets, like [apertium]"_s.arg(number);
            for (const Section &seen : sections) {
                if (seen.name == name)
                    return u"line %1: section [%2] appears twice (first on line %3)"_s.arg(number).arg(name).arg(
                        seen.line);
            }
            sections.append(Section {name, number, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            return u"line %1: expected \"key = value\""_s.arg(number);
        if (sections.isEmpty())
            return u"line %1: a setting before the first [section]"_s.arg(number);
        const QString key = line.left(equals).trimmed().toLower();
        if (sections.last().settings.contains(key))
            return u"line %1: %2 is set twice in [%3]"_s.arg(number).arg(key, sections.last().name);
        sections.last().settings.insert(key, Setting {withoutInlineComment(line.sliced(equals + 1).trimmed()), number});
    }
    return sections;
}

std::optional<EngineConfig::Kind> kindNamed(const QString &type)
{
    if (type == u"apertium")
        return EngineConfig::Kind::Apertium;
    if (type == u"libretranslate")
        return EngineConfig::Kind::LibreTranslate;
    if (type == u"deepl")
        return EngineConfig::Kind::DeepL;
    if (type == u"language-model")
        return EngineConfig::Kind::LanguageModel;
    return std::nullopt;
}

} // namespace

std::optional<EnginePrice> readPrice(const QString &text)
{
    static const QRegularExpression form(
        u"^(\\d+(?:\\.\\d+)?)\\s*(?:([^\\s\\d.][^\\s]*)\\s+)?per\\s+million\\s+(characters|tokens)$"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    EnginePrice price;
    price.amount = match.captured(1).toDouble();
    price.currency = match.captured(2);
    price.unit = match.captured(3).compare(u"tokens"_s, Qt::CaseInsensitive) == 0 ? EnginePrice::Unit::Tokens
                                                                                  : EnginePrice::Unit::Characters;
    return price;
}

namespace {

std::variant<EngineConfig, Error> readEngine(const Section &section)
{
    static const QStringList known {
        u"type"_s, u"url"_s, u"model"_s, u"limit"_s, u"timeout"_s, u"key-file"_s, u"key-env"_s, u"price"_s};
    const auto where = [&](const QString &key) { return u"line %1: "_s.arg(section.settings.value(key).line); };
    for (auto it = section.settings.cbegin(); it != section.settings.cend(); ++it) {
        if (!known.contains(it.key()))
            return where(it.key())
                + u"[%1] has no setting \"%2\"; it takes %3 (API keys go in a key-file or key-env, never here)"_s.arg(
                    section.name, it.key(), known.join(u", "_s));
    }
    EngineConfig engine;
    engine.name = section.name;
    const QString type = section.settings.value(u"type"_s, Setting {section.name, section.line}).value;
    const auto kind = kindNamed(type);
    if (!kind)
        return u"line %1: [%2] needs a type: apertium, libretranslate, deepl or language-model, not \"%3\""_s
            .arg(section.settings.value(u"type"_s, Setting {{}, section.line}).line)
            .arg(section.name, type);
    engine.kind = *kind;
    engine.limit = engine.kind == EngineConfig::Kind::LanguageModel ? 4 : 8;

    if (section.settings.contains(u"url"_s)) {
        engine.url = QUrl(section.settings.value(u"url"_s).value, QUrl::StrictMode);
        if (!engine.url.isValid() || engine.url.host().isEmpty()
            || (engine.url.scheme() != u"http" && engine.url.scheme() != u"https"))
            return where(u"url"_s) + u"url needs an http or https address"_s;
        const QString path = engine.url.path();
        if (engine.kind == EngineConfig::Kind::LanguageModel && path.endsWith(u"/chat/completions"))
            return where(u"url"_s)
                + u"url is the API's base, without /chat/completions: %1"_s.arg(
                    engine.url.toString().chopped(int(qstrlen("/chat/completions"))));
        if (engine.kind == EngineConfig::Kind::LanguageModel && !path.endsWith(u"/v1") && !path.endsWith(u"/v1/"))
            engine.note = u"[%1] url does not end in /v1: the service will call %2/chat/completions"_s.arg(
                section.name, engine.url.toString(QUrl::StripTrailingSlash));
    } else if (engine.kind == EngineConfig::Kind::LibreTranslate) {
        engine.url = QUrl(u"http://127.0.0.1:5000"_s);
    } else if (engine.kind == EngineConfig::Kind::LanguageModel) {
        return u"line %1: [%2] needs the url of its chat-completions API, like http://127.0.0.1:11434/v1"_s
            .arg(section.line)
            .arg(section.name);
    }
    engine.model = section.settings.value(u"model"_s).value;
    if (engine.kind == EngineConfig::Kind::LanguageModel && engine.model.isEmpty())
        return u"line %1: [%2] needs a model"_s.arg(section.line).arg(section.name);
    // A whole number from 1 to `most`, when set.
    const auto number = [&](const QString &key, int most, int fallback) -> std::variant<int, Error> {
        if (!section.settings.contains(key))
            return fallback;
        bool ok = false;
        const int value = section.settings.value(key).value.toInt(&ok);
        if (!ok || value < 1 || value > most)
            return where(key) + u"%1 is a whole number from 1 to %2"_s.arg(key).arg(most);
        return value;
    };
    const auto limit = number(u"limit"_s, 64, engine.limit);
    const auto timeout = number(u"timeout"_s, 600, int(engine.timeout.count() / 1000));
    for (const auto *checked : {&limit, &timeout}) {
        if (const auto *error = std::get_if<Error>(checked))
            return *error;
    }
    engine.limit = std::get<int>(limit);
    engine.timeout = std::chrono::seconds(std::get<int>(timeout));
    if (section.settings.contains(u"price"_s)) {
        engine.price = readPrice(section.settings.value(u"price"_s).value);
        if (!engine.price)
            return where(u"price"_s)
                + u"price is an amount per million characters or tokens, like \"20 EUR per million characters\""_s;
    }
    engine.keyFile = section.settings.value(u"key-file"_s).value;
    engine.keyVariable = section.settings.value(u"key-env"_s).value;
    if (!engine.keyFile.isEmpty() && !engine.keyVariable.isEmpty())
        return where(u"key-env"_s) + u"[%1] has both key-file and key-env; keep one"_s.arg(section.name);
    if (engine.kind == EngineConfig::Kind::DeepL && engine.keyFile.isEmpty() && engine.keyVariable.isEmpty())
        return u"line %1: [%2] needs its key: key-file = a file holding it, or key-env = a variable"_s.arg(section.line)
            .arg(section.name);
    return engine;
}

// A secret from a file (relative to the configuration's folder, or starting
// with "~/") that other users cannot read, or from an environment variable.
// Errors name the section and never hold the secret. Neither set: nothing to read.
std::optional<Error> readSecret(QString &secret, const QString &file, const QString &variable, const QString &section,
    const QString &noun, const QString &configFile)
{
    if (!variable.isEmpty()) {
        secret = qEnvironmentVariable(variable.toLocal8Bit().constData()).trimmed();
        if (secret.isEmpty())
            return u"%1: [%2] takes its %3 from the environment variable %4, which is not set"_s.arg(
                configFile, section, noun, variable);
        return std::nullopt;
    }
    if (file.isEmpty())
        return std::nullopt;
    const QString path = configPath(QFileInfo(configFile).absoluteDir(), file);
    QFile secretFile(path);
    if (!secretFile.open(QIODevice::ReadOnly))
        return u"%1: cannot read the %2 file of [%3], %4: %5"_s.arg(
            configFile, noun, section, path, secretFile.errorString());
    if (secretFile.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return u"%1: the %2 file of [%3], %4, can be read by other users; chmod 600 it"_s.arg(
            configFile, noun, section, path);
    secret = QString::fromUtf8(secretFile.readAll()).trimmed();
    if (secret.isEmpty())
        return u"%1: the %2 file of [%3], %4, is empty"_s.arg(configFile, noun, section, path);
    if (secret.contains(u'\n'))
        return u"%1: the %2 file of [%3], %4, holds %5 lines; it must hold the %2 alone, on one line"_s.arg(
            configFile, noun, section, path, QString::number(secret.count(u'\n') + 1));
    return std::nullopt;
}

} // namespace

ServiceConfig defaultServiceConfig()
{
    EngineConfig apertium;
    apertium.name = u"apertium"_s;
    return ServiceConfig {{apertium}, {}, {}, {}, {}, {}};
}

std::variant<ServiceConfig, QString> parseServiceConfig(const QString &text, bool readEngines)
{
    auto read = readSections(text);
    if (const auto *error = std::get_if<Error>(&read))
        return *error;
    const QList<Section> sections = std::get<QList<Section>>(std::move(read));

    QStringList order;
    std::optional<Section> engines;
    for (const Section &section : sections) {
        if (section.name == u"engines")
            engines = section;
        else if (!concernSections.contains(section.name))
            order.append(section.name);
    }
    if (!readEngines)
        engines.reset();
    if (engines) {
        for (auto it = engines->settings.cbegin(); it != engines->settings.cend(); ++it) {
            if (it.key() != u"order")
                return u"line %1: [engines] has only \"order\""_s.arg(it.value().line);
        }
        if (engines->settings.contains(u"order"_s)) {
            const Setting listed = engines->settings.value(u"order"_s);
            order.clear();
            for (const QString &name : listed.value.split(u',')) {
                const QString trimmed = name.trimmed();
                if (trimmed.isEmpty() || order.contains(trimmed))
                    return u"line %1: order is a list of different section names, separated by commas"_s.arg(
                        listed.line);
                const bool defined = std::any_of(sections.cbegin(), sections.cend(), [&](const Section &section) {
                    return section.name == trimmed && !concernSections.contains(trimmed);
                });
                if (!defined)
                    return u"line %1: order names [%2], which is not in the file"_s.arg(listed.line).arg(trimmed);
                order.append(trimmed);
            }
        }
    }
    ServiceConfig config = defaultServiceConfig();
    for (const Section &section : sections) {
        if (section.name == u"memory") {
            auto memory = readMemory(section);
            if (const auto *error = std::get_if<Error>(&memory))
                return *error;
            config.memory = std::get<MemorySettings>(memory);
        } else if (section.name == u"http") {
            auto http = readHttp(section);
            if (const auto *error = std::get_if<Error>(&http))
                return *error;
            config.http = std::get<HttpLimits>(http);
        } else if (section.name == u"terms") {
            if (auto error = readTerms(section, config))
                return *error;
        } else if (section.name == u"glossary") {
            if (auto error = readGlossary(section, config.glossary))
                return *error;
        }
    }
    if (order.isEmpty() || !readEngines)
        return config;

    config.engines.clear();
    for (const Section &section : sections) {
        if (concernSections.contains(section.name))
            continue;
        auto engine = readEngine(section);
        if (const auto *error = std::get_if<Error>(&engine))
            return *error;
        if (order.contains(section.name))
            config.engines.append(std::get<EngineConfig>(engine));
    }
    std::sort(config.engines.begin(), config.engines.end(),
        [&](const EngineConfig &a, const EngineConfig &b) { return order.indexOf(a.name) < order.indexOf(b.name); });
    return config;
}

QString defaultConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/tarnix/service.conf"_s;
}

std::variant<ServiceConfig, QString> loadServiceConfig(const QString &path, bool mustExist, ConfigScope scope)
{
    QFile file(path);
    if (!file.exists() && !mustExist)
        return defaultServiceConfig();
    if (!file.open(QIODevice::ReadOnly))
        return u"cannot read %1: %2"_s.arg(path, file.errorString());
    const auto text = configFileText(file.readAll());
    if (const auto *error = std::get_if<1>(&text))
        return path + u": "_s + *error;
    auto parsed = scope == ConfigScope::MemoryOnly
        ? parseServiceConfig(onlySection(std::get<0>(text), u"memory"_s), false)
        : parseServiceConfig(std::get<0>(text), scope == ConfigScope::Whole);
    if (const auto *error = std::get_if<QString>(&parsed))
        return path + u", "_s + *error;
    ServiceConfig config = std::get<ServiceConfig>(std::move(parsed));

    const QDir folder = QFileInfo(path).absoluteDir();
    if (!config.memory.path.isEmpty())
        config.memory.path = configPath(folder, config.memory.path);
    // libpq reads its certificate file from the working directory and knows no "~".
    if (config.memory.server && !config.memory.server->sslRootCert.isEmpty())
        config.memory.server->sslRootCert = configPath(folder, config.memory.server->sslRootCert);
    if (!config.keptTermsFile.isEmpty()) {
        const QString termsPath = configPath(folder, config.keptTermsFile);
        QFile terms(termsPath);
        if (!terms.open(QIODevice::ReadOnly))
            return u"%1: cannot read the terms file %2: %3"_s.arg(path, termsPath, terms.errorString());
        // One term a line; blank lines and lines starting with '#' are not terms.
        for (const QString &line : QString::fromUtf8(terms.readAll()).split(u'\n')) {
            if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(u'#'))
                config.keptTerms.append(line.trimmed());
        }
    }
    // The files' full paths and this host name where they were read: the
    // glossary's origin (GlossarySettings::originFor()).
    GlossarySettings &glossary = config.glossary;
    glossary.host = QSysInfo::machineHostName();
    for (auto it = glossary.tableFiles.begin(); it != glossary.tableFiles.end(); ++it) {
        it.value() = QDir::cleanPath(configPath(folder, it.value()));
        auto table = readGlossaryTable(it.value());
        if (const auto *error = std::get_if<QString>(&table))
            return path + u": "_s + *error;
        glossary.tables.insert(it.key(), std::get<QList<GlossaryEntry>>(std::move(table)));
    }
    if (!glossary.tbxFile.isEmpty()) {
        glossary.tbxFile = QDir::cleanPath(configPath(folder, glossary.tbxFile));
        auto concepts = readTbx(glossary.tbxFile);
        if (const auto *error = std::get_if<QString>(&concepts))
            return path + u": "_s + *error;
        glossary.concepts = std::get<0>(std::move(concepts));
    }
    for (EngineConfig &engine : config.engines) {
        if (auto error = readSecret(engine.key, engine.keyFile, engine.keyVariable, engine.name, u"key"_s, path))
            return *error;
    }
    MemorySettings &memory = config.memory;
    if (memory.server) {
        if (auto error = readSecret(memory.server->password, memory.passwordFile, memory.passwordVariable, u"memory"_s,
                u"password"_s, path))
            return *error;
    }
    return config;
}

} // namespace tarnix::service
