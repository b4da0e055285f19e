#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "service/config.h"
#include "service/enginelist.h"
#include "service/engines/apyprocess.h"
#include "service/engines/enginecheck.h"
#include "service/engines/router.h"
#include "service/enginespeeds.h"
#include "service/http/httplimits.h"
#include "service/http/translationservice.h"
#include "service/memory/memoryworker.h"
#include "service/memory/tmx.h"
#include "service/memory/translationmemory.h"
#include "service/options.h"
#include "service/socketactivation.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so that everything (APy first of
// all) is torn down in order.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app]() { app.quit(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#else
// Elsewhere the toolkit's default handling ends the process.
void quitOnSignals(QCoreApplication &) { }
#endif

void say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tarnix-service"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNIX_VERSION));

    const auto parsed = parseServiceOptions(QCoreApplication::arguments());
    if (const auto *exit = std::get_if<OptionsExit>(&parsed)) {
        std::fputs(exit->message.toLocal8Bit().constData(), exit->status == 0 ? stdout : stderr);
        return exit->status;
    }
    const ServiceOptions &options = std::get<ServiceOptions>(parsed);
    // A malformed configuration or an exposed key file stops the service
    // before it listens, with one line that says why. The shortcuts read only
    // what they need: --forget the [memory] section, which says what to
    // empty; --engine all but the engine sections, or with a mistake in
    // those its [memory] section alone.
    const QString configPath = options.configPath.isEmpty() ? defaultConfigPath() : options.configPath;
    const bool mustExist = !options.configPath.isEmpty();
    const bool memoryOnly = options.forget || !options.importFile.isEmpty() || !options.exportFile.isEmpty();
    auto loaded = loadServiceConfig(configPath, mustExist,
        memoryOnly           ? ConfigScope::MemoryOnly
            : options.engine ? ConfigScope::WithoutEngines
                             : ConfigScope::Whole);
    if (const auto *error = std::get_if<QString>(&loaded)) {
        say(u"tarnix-service: %1\n"_s.arg(*error));
        if (options.forget)
            say(u"tarnix-service: --forget empties the translation memory that [memory] names: correct it first\n"_s);
        if (!options.engine || memoryOnly)
            return 2;
        loaded = loadServiceConfig(configPath, mustExist, ConfigScope::MemoryOnly);
        if (std::holds_alternative<QString>(loaded)) {
            say(u"tarnix-service: going on with --engine alone, without a translation memory\n"_s);
            ServiceConfig fallback = defaultServiceConfig();
            fallback.memory.enabled = false;
            loaded = fallback;
        } else {
            say(u"tarnix-service: going on with --engine and the file's [memory] section alone\n"_s);
        }
    }
    const ServiceConfig config = applyEngineShortcut(std::get<ServiceConfig>(std::move(loaded)), options);

    const MemorySettings &memorySettings = config.memory;
    const QString memoryPath = memorySettings.path.isEmpty() ? defaultMemoryPath() : memorySettings.path;
    const auto openMemory = [&]() {
        auto memory = memorySettings.server
            ? std::make_unique<TranslationMemory>(*memorySettings.server, memorySettings.maxEntries)
            : std::make_unique<TranslationMemory>(memoryPath, memorySettings.maxEntries);
        memory->setMatchThreshold(memorySettings.matchThreshold);
        return memory;
    };
    if (options.forget) {
        if (!memorySettings.enabled) {
            say(u"tarnix-service: the translation memory is off (memory = off in [memory]): nothing to empty\n"_s);
            return 0;
        }
        // A shared memory holds the whole team's translations: emptying it
        // takes saying so.
        if (memorySettings.server && !options.allUsers) {
            say(u"tarnix-service: the translation memory %1 is shared by every service that uses it; "
                u"--forget --all-users empties it for everyone\n"_s.arg(memorySettings.server->display()));
            return 2;
        }
        if (!memorySettings.server && !QFileInfo::exists(memoryPath)) {
            say(u"tarnix-service: there is no translation memory at %1: nothing to empty\n"_s.arg(memoryPath));
            return 0;
        }
        const auto memory = openMemory();
        const auto removed = memory->clear(options.people);
        if (!removed) {
            say(u"tarnix-service: could not empty the translation memory %1\n"_s.arg(memory->path()));
            return 1;
        }
        qint64 people = 0;
        if (!options.people)
            memory->forEachRow(true, [&](const MemoryRow &) { return ++people; });
        say(people ? u"tarnix-service: removed %1 translations from the translation memory %2; it keeps %3 people's "
                     u"translations (--forget --people removes them too)\n"_s.arg(*removed)
                         .arg(memory->path())
                         .arg(people)
                   : u"tarnix-service: removed %1 translations from the translation memory %2; it is empty\n"_s
                         .arg(*removed)
                         .arg(memory->path()));
        return 0;
    }
    if (!options.importFile.isEmpty() || !options.exportFile.isEmpty()) {
        if (!memorySettings.enabled) {
            say(u"tarnix-service: the translation memory is off (memory = off in [memory])\n"_s);
            return 2;
        }
        if (!options.importFile.isEmpty()) {
            QFile file(options.importFile);
            if (!file.open(QIODevice::ReadOnly)) {
                say(u"tarnix-service: cannot read %1: %2\n"_s.arg(options.importFile, file.errorString()));
                return 1;
            }
            const auto memory = openMemory();
            if (!memory->isOpen()) {
                say(u"tarnix-service: cannot open the translation memory %1 (see above)\n"_s.arg(memory->path()));
                return 1;
            }
            const TmxImport imported = importTmx(&file, QFileInfo(options.importFile).fileName(), *memory);
            say(u"tarnix-service: stored %1 people's translations%2 from %3 in the translation memory %4%5%6\n"_s
                    .arg(imported.people)
                    .arg(imported.machines ? u" and %1 machine translations"_s.arg(imported.machines) : QString(),
                        options.importFile, memory->path(),
                        imported.skipped ? u"; %1 units had nothing to store"_s.arg(imported.skipped) : QString(),
                        imported.notStored ? u"; the memory did not take %1 (see above)"_s.arg(imported.notStored)
                                           : QString()));
            if (!imported.error.isEmpty()) {
                say(u"tarnix-service: %1 is not a TMX file that can be read to its end: %2\n"_s.arg(
                    options.importFile, imported.error));
                return 1;
            }
            return imported.notStored ? 1 : 0;
        }
        // Written beside, then renamed: a failed export leaves no half file.
        QSaveFile file(options.exportFile);
        if (!file.open(QIODevice::WriteOnly)) {
            say(u"tarnix-service: cannot write %1: %2\n"_s.arg(options.exportFile, file.errorString()));
            return 1;
        }
        if (!memorySettings.server && !QFileInfo::exists(memoryPath)) {
            say(u"tarnix-service: there is no translation memory at %1: nothing to export\n"_s.arg(memoryPath));
            return 1;
        }
        const auto memory = openMemory();
        if (!memory->isOpen()) {
            say(u"tarnix-service: cannot open the translation memory %1 (see above)\n"_s.arg(memory->path()));
            return 1;
        }
        const TmxExport exported = exportTmx(*memory, &file, options.peopleOnly);
        if (!exported.error.isEmpty() || !file.commit()) {
            say(u"tarnix-service: could not export to %1: %2\n"_s.arg(
                options.exportFile, exported.error.isEmpty() ? file.errorString() : exported.error));
            return 1;
        }
        say(u"tarnix-service: wrote %1 %2translations of the translation memory %3 to %4%5%6\n"_s.arg(exported.written)
                .arg(options.peopleOnly ? u"people's "_s : QString(), memory->path(), options.exportFile,
                    exported.damaged ? u"; left out %1 that fail their checksum"_s.arg(exported.damaged) : QString(),
                    exported.unwritable
                        ? u"; left out %1 holding characters XML cannot carry"_s.arg(exported.unwritable)
                        : QString()));
        return 0;
    }
    quitOnSignals(app);

    // Started by systemd's socket unit, the service serves on the socket it
    // passed and exits when no client came for a while; the socket stays
    // open in systemd, which starts the service again at the next connection.
    const int systemdSocket = takeSystemdSocket();
    HttpLimits limits = config.http;
    if (systemdSocket < 0)
        limits.idleExit = {};

    // A database server's memory on a thread of its own: a silent server holds no request.
    std::unique_ptr<MemoryWorker> memory;
    if (memorySettings.enabled && memorySettings.maxEntries > 0)
        memory = memorySettings.server
            ? std::make_unique<MemoryWorker>(memorySettings.server->display(), openMemory, MemoryWorker::Thread::Own)
            : std::make_unique<MemoryWorker>(memoryPath, openMemory);
    for (const EngineConfig &engine : config.engines) {
        if (!engine.note.isEmpty())
            say(u"tarnix-service: %1\n"_s.arg(engine.note));
    }
    EngineSpeeds speeds(defaultEngineSpeedsPath());
    std::unique_ptr<ApyProcess> apy;
    std::unique_ptr<Router> engine;
    std::unique_ptr<TranslationService> service;
    // Listens once every engine was asked whether it answers (those that do
    // not are named, and routed around), so the start line says what works.
    const auto listen = [&](const QUrl &ownApy, std::chrono::milliseconds checked) {
        service = std::make_unique<TranslationService>(engine.get(), limits);
        service->setKeptTerms(config.keptTerms);
        service->setGlossary(config.glossary);
        service->setMemory(memory.get());
        const QString memoryState = !memory ? u"no translation memory"_s
            : memory->isOpen()
            ? u"translation memory %1"_s.arg(memory->path())
            : u"translation memory %1 cannot be opened (see above), translating without it"_s.arg(memory->path());
        const QString engines = describeEngines(config.engines, ownApy) + u"; "_s + memoryState
            + u"; engines checked in %1 ms"_s.arg(checked.count());
        if (systemdSocket >= 0) {
            const quint16 port = service->listenOn(systemdSocket);
            if (!port) {
                say(u"tarnix-service: descriptor %1 from systemd is not a socket listening on loopback\n"_s.arg(
                    systemdSocket));
                app.exit(1);
                return;
            }
            say(u"tarnix-service: listening on port %1 (the socket from systemd) with %2\n"_s.arg(port).arg(engines));
        } else if (service->listen(options.port)) {
            say(u"tarnix-service: listening on http://127.0.0.1:%1 with %2\n"_s.arg(options.port).arg(engines));
        } else {
            say(u"tarnix-service: cannot listen on 127.0.0.1:%1: the port is taken, most likely by another "
                u"tarnix-service (systemctl --user stop tarnix-service.socket tarnix-service stops the one systemd "
                u"started), or choose another --port\n"_s.arg(options.port));
            app.exit(1);
            return;
        }
        // However the service ends, requests still waiting get an answer.
        QObject::connect(&app, &QCoreApplication::aboutToQuit, service.get(), &TranslationService::stop);
        QObject::connect(service.get(), &TranslationService::idle, &app, [&]() {
            say(u"tarnix-service: no client for %1 s, exiting (systemd starts it again at the next connection)\n"_s.arg(
                limits.idleExit.count() / 1000));
            app.quit();
        });
    };
    const auto serve = [&](const QUrl &ownApy) {
        engine = makeRouter(config.engines, ownApy, memory.get(), apy.get(), &speeds, config.glossary);
        const auto started = std::chrono::steady_clock::now();
        checkEngines(*engine, std::chrono::seconds(5), [&, ownApy, started](const QStringList &problems) {
            for (const QString &problem : problems)
                say(u"tarnix-service: %1\n"_s.arg(problem));
            listen(ownApy,
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
        });
    };

    if (!needsOwnApy(config.engines)) {
        serve(QUrl());
    } else {
        // Listen only once APy answers: a client that finds the port open can
        // translate at once. Later restarts of APy only reach the engine.
        apy = std::make_unique<ApyProcess>();
        QObject::connect(apy.get(), &ApyProcess::ready, &app, [&](const QUrl &url) {
            if (!engine)
                serve(url);
        });
        QObject::connect(apy.get(), &ApyProcess::failed, &app, [&](const QString &why) {
            say(u"tarnix-service: %1\n"_s.arg(why));
            app.exit(1);
        });
        apy->start();
    }
    const int status = app.exec();
    service.reset();
    engine.reset();
    apy.reset();
    memory.reset();
    return status;
}
