#pragma once

#include <memory>

#include <QSignalSpy>
#include <QStandardPaths>
#include <QString>
#include <QTest>

#include "service/engines/apertiumengine.h"
#include "service/engines/apyprocess.h"
#include "service/http/translationservice.h"

// In a test function: without Debian's apertium-apy the test is skipped,
// except under CI=true, where it fails.
#define TARNIX_REQUIRE_APY()                                                                                           \
    do {                                                                                                               \
        if (QStandardPaths::findExecutable(QStringLiteral("apertium-apy")).isEmpty()) {                                \
            if (!qEnvironmentVariableIsEmpty("CI"))                                                                    \
                QFAIL("apertium-apy is not installed, and CI must test against it");                                   \
            QSKIP("apertium-apy is not installed: apt-get install apertium-apy apertium-eng-spa apertium-spa-ita "     \
                  "apertium-es-pt apertium-fr-es cg3");                                                                \
        }                                                                                                              \
    } while (false)

namespace tarnix::service::test {

// A real APy started for a test, the Apertium engine on it, and the service on
// a free loopback port.
struct ApyService
{
    std::unique_ptr<ApyProcess> apy;
    std::unique_ptr<ApertiumEngine> engine;
    std::unique_ptr<TranslationService> service;
    quint16 port = 0;

    // Empty when all three run; otherwise why they do not.
    QString start()
    {
        apy = std::make_unique<ApyProcess>();
        QSignalSpy ready(apy.get(), &ApyProcess::ready);
        QSignalSpy failed(apy.get(), &ApyProcess::failed);
        apy->start();
        if (!QTest::qWaitFor([&] { return !ready.isEmpty() || !failed.isEmpty(); }, 90000))
            return QStringLiteral("APy did not start within 90 s");
        if (!failed.isEmpty())
            return failed.value(0).value(0).toString();
        engine = std::make_unique<ApertiumEngine>(apy->url());
        engine->followApy(apy.get());
        service = std::make_unique<TranslationService>(engine.get());
        port = service->listen(0);
        return port ? QString() : QStringLiteral("the service could not listen on loopback");
    }

    // The service first, APy last: each depends on the one after it.
    void stop()
    {
        service.reset();
        engine.reset();
        apy.reset();
    }
};

} // namespace tarnix::service::test
