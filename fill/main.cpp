#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "fill/estimator.h"
#include "fill/options.h"
#include "fill/ownservice.h"
#include "fill/reviewcommands.h"
#include "fill/run.h"
#include "fill/serviceclient.h"
#include "translate/serviceurl.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tarnix-fill"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNIX_VERSION));

    const auto parsed = parseOptions(app.arguments(), tarnix::serviceUrl());
    if (const auto *exit = std::get_if<OptionsExit>(&parsed)) {
        std::fputs(exit->text.toLocal8Bit().constData(), exit->status == 0 ? stdout : stderr);
        return exit->status;
    }
    const Options &options = std::get<Options>(parsed);

    if (options.unreviewed)
        return listUnreviewed(options);
    if (options.accept)
        return acceptEntries(options);
    if (options.learn) {
        OwnService own;
        if (!serviceAnswers(options.service)) {
            say(u"tarnix-fill: no translation service answers at %1: starting tarnix-service to learn\n"_s.arg(
                options.service.toString()));
            const QString why = own.start(serviceProgram(), options.service, []() { return false; });
            if (!why.isEmpty()) {
                say(u"tarnix-fill: cannot start a translation service: %1\n"_s.arg(why));
                return 2;
            }
        }
        const int status = learnReviewed(options);
        if (own.running())
            own.stop();
        return status;
    }

    FillRun run(options);
    if (!run.prepare())
        return 2;
    if (options.check) {
        // An unreadable file is the graver news: its entries went unchecked.
        const int found = run.check();
        return run.exitStatus() == 2 ? 2 : found > 0 ? 1 : 0;
    }
    if (options.dryRun) {
        run.printPlan();
        return run.exitStatus();
    }

    // Ctrl-C and SIGTERM stop the requests; what is filled so far is written.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &run, [&run]() {
            char byte;
            [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
            run.interrupt();
        });
        struct sigaction action
        {
        };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    // A file size limit makes a write fail and say so, which the safe write
    // reports, instead of killing the run mid-way.
    std::signal(SIGXFSZ, SIG_IGN);

    OwnService own;
    if (!serviceAnswers(options.service)) {
        say(u"tarnix-fill: no translation service answers at %1: starting tarnix-service for this run\n"_s.arg(
            options.service.toString()));
        const QString why = own.start(serviceProgram(), options.service, [&run]() { return run.wasInterrupted(); });
        if (run.wasInterrupted()) {
            say(u"tarnix-fill: interrupted before any request: nothing written\n"_s);
            return 1;
        }
        if (!why.isEmpty()) {
            say(u"tarnix-fill: cannot start a translation service: %1\n"_s.arg(why));
            return 2;
        }
    }
    if (run.wasInterrupted()) {
        say(u"tarnix-fill: interrupted before any request: nothing written\n"_s);
        return 1;
    }
    int estimateStatus = 0;
    std::unique_ptr<Estimator> estimator;
    if (options.estimate) {
        estimator = std::make_unique<Estimator>(
            options.service, run.plannedTexts(), [&](const QList<CatalogEstimate> &estimates, const QString &error) {
                if (error.isEmpty()) {
                    std::fputs(estimateTable(estimates).toLocal8Bit().constData(), stdout);
                } else {
                    say(u"tarnix-fill: no estimate: %1\n"_s.arg(error));
                    estimateStatus = 2;
                }
                QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
            });
    } else {
        QObject::connect(&run, &FillRun::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        run.start(options.service);
    }
    app.exec();
    if (own.running()) {
        say(u"tarnix-fill: stopping the tarnix-service this run started\n"_s);
        own.stop();
    }
    return options.estimate ? std::max(estimateStatus, run.exitStatus()) : run.exitStatus();
}
