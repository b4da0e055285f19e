#include "service/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace tarnix::service {

std::variant<ServiceOptions, OptionsExit> parseServiceOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Translation service for Tarnix: answers the program's form requests on 127.0.0.1 with translations "
        u"from the engines of its configuration file (default: Apertium alone)."_s);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        u"port"_s, u"Port on 127.0.0.1 to listen on (default %1)."_s.arg(defaultPort), u"port"_s);
    const QCommandLineOption configOption(u"config"_s,
        u"Configuration file (default %1; without it, Apertium alone)."_s.arg(defaultConfigPath()), u"file"_s);
    const QCommandLineOption engineOption(u"engine"_s,
        u"Use this one engine instead of the configured ones: apertium (starts Debian's apertium-apy) or "
        u"libretranslate."_s,
        u"engine"_s);
    const QCommandLineOption urlOption(u"engine-url"_s,
        u"Address of a running engine: an APy server for apertium (instead of starting one), the LibreTranslate "
        u"server for libretranslate (default http://127.0.0.1:5000)."_s,
        u"url"_s);
    const QCommandLineOption forgetOption(u"forget"_s,
        u"Empty the translation memory (every translation the service keeps) and exit; of the configuration file "
        u"only its [memory] section is read."_s);
    const QCommandLineOption allUsersOption(u"all-users"_s,
        u"With --forget: also empty a translation memory the team shares in a database, for every user."_s);
    const QCommandLineOption peopleOption(
        u"people"_s, u"With --forget: also remove people's translations (imported or learnt), which --forget keeps."_s);
    const QCommandLineOption importOption(u"import"_s,
        u"Store the translations of a TMX file in the translation memory as people's translations, and exit; of "
        u"the configuration file only its [memory] section is read."_s,
        u"file.tmx"_s);
    const QCommandLineOption exportOption(u"export"_s,
        u"Write the translation memory to a TMX 1.4 file, and exit; of the configuration file only its [memory] "
        u"section is read."_s,
        u"file.tmx"_s);
    const QCommandLineOption peopleOnlyOption(
        u"people-only"_s, u"With --export: only people's translations, not the machines' answers."_s);
    parser.addOptions({portOption, configOption, engineOption, urlOption, forgetOption, allUsersOption, peopleOption,
        importOption, exportOption, peopleOnlyOption});

    if (!parser.parse(arguments))
        return OptionsExit {parser.errorText() + u" (tarnix-service --help lists the options)\n"_s, 2};
    if (parser.isSet(helpOption))
        return OptionsExit {parser.helpText(), 0};
    if (parser.isSet(versionOption))
        return OptionsExit {
            QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n', 0};
    if (!parser.positionalArguments().isEmpty())
        return OptionsExit {u"Unexpected argument: %1 (tarnix-service --help lists the options)\n"_s.arg(
                                parser.positionalArguments().first()),
            2};

    ServiceOptions options;
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint port = parser.value(portOption).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return OptionsExit {u"--port needs a number from 1 to 65535\n"_s, 2};
        options.port = quint16(port);
    }
    options.configPath = parser.value(configOption);
    if (parser.isSet(engineOption)) {
        const QString engine = parser.value(engineOption);
        if (engine == u"apertium")
            options.engine = EngineConfig::Kind::Apertium;
        else if (engine == u"libretranslate")
            options.engine = EngineConfig::Kind::LibreTranslate;
        else
            return OptionsExit {u"--engine is apertium or libretranslate, not %1\n"_s.arg(engine), 2};
    }
    if (parser.isSet(urlOption)) {
        options.engineUrl = QUrl(parser.value(urlOption), QUrl::StrictMode);
        const QString scheme = options.engineUrl.scheme();
        if (!options.engineUrl.isValid() || options.engineUrl.host().isEmpty()
            || (scheme != u"http" && scheme != u"https"))
            return OptionsExit {
                u"--engine-url needs an http or https address, not %1\n"_s.arg(parser.value(urlOption)), 2};
        // An address alone does not say what runs there.
        if (!options.engine)
            return OptionsExit {
                u"--engine-url needs --engine apertium (an APy runs there) or --engine libretranslate\n"_s, 2};
    } else if (options.engine == EngineConfig::Kind::LibreTranslate) {
        options.engineUrl = QUrl(u"http://127.0.0.1:5000"_s);
    }
    options.forget = parser.isSet(forgetOption);
    options.allUsers = parser.isSet(allUsersOption);
    options.people = parser.isSet(peopleOption);
    options.importFile = parser.value(importOption);
    options.exportFile = parser.value(exportOption);
    options.peopleOnly = parser.isSet(peopleOnlyOption);
    if (options.allUsers && !options.forget)
        return OptionsExit {u"--all-users goes with --forget\n"_s, 2};
    if (options.people && !options.forget)
        return OptionsExit {u"--people goes with --forget\n"_s, 2};
    if (options.peopleOnly && options.exportFile.isEmpty())
        return OptionsExit {u"--people-only goes with --export\n"_s, 2};
    if (int(options.forget) + int(!options.importFile.isEmpty()) + int(!options.exportFile.isEmpty()) > 1)
        return OptionsExit {u"--forget, --import and --export are each done alone\n"_s, 2};
    return options;
}

ServiceConfig applyEngineShortcut(ServiceConfig config, const ServiceOptions &options)
{
    if (!options.engine)
        return config;
    EngineConfig engine;
    engine.kind = *options.engine;
    engine.name = engine.kind == EngineConfig::Kind::Apertium ? u"apertium"_s : u"libretranslate"_s;
    engine.url = options.engineUrl;
    config.engines = {engine};
    return config;
}

} // namespace tarnix::service
