#include "service/engines/enginecheck.h"

#include <memory>

#include <QDateTime>
#include <QPointer>
#include <QTimer>

#include "service/engines/router.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

QString named(const Engine &engine, const QString &problem)
{
    const QString address = engine.address();
    return engine.name() + (address.isEmpty() ? QString() : u" at "_s + address) + u": "_s + problem;
}

} // namespace

void checkEngines(Router &router, std::chrono::milliseconds patience, std::function<void(const QStringList &)> done)
{
    struct Round
    {
        std::function<void(const QStringList &)> done;
        QStringList problems;
        QList<const Engine *> silent;
        bool over = false;

        void finish()
        {
            if (over)
                return;
            over = true;
            for (const Engine *engine : silent)
                problems.append(named(
                    *engine, u"no answer yet; requests go to it meanwhile and on to the next engine when it fails"_s));
            done(problems);
        }
    };
    auto round = std::make_shared<Round>(Round {std::move(done), {}, {}, false});
    for (const auto &engine : router.engines())
        round->silent.append(engine.get());
    if (round->silent.isEmpty()) {
        QTimer::singleShot(0, &router, [round]() { round->finish(); });
        return;
    }
    QTimer::singleShot(patience, &router, [round]() { round->finish(); });
    for (const auto &engine : router.engines()) {
        Engine *asked = engine.get();
        asked->check([round, asked](const QString &problem) {
            round->silent.removeOne(asked);
            if (!problem.isEmpty() && round->over)
                qWarning().noquote() << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + u' '
                        + named(*asked, problem);
            else if (!problem.isEmpty())
                round->problems.append(named(*asked, problem));
            if (round->silent.isEmpty())
                round->finish();
        });
    }
}

} // namespace tarnix::service
