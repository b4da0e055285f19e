// Wall time of a 20-language run through the real window against a loopback
// server that answers every request after a fixed delay, as a ratio to the
// fastest run possible with Qt's six connections per host: 4 waves x delay.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "tests/support/loopbackserver.h"
#include "tests/support/serviceurlseam.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int delayMs = 200;
constexpr int waves = 4; // 20 requests, at most 6 at once
constexpr int runs = 5;

// Milliseconds from the press of "Translate" to the window being idle again.
double timedRun(MainWindow &window)
{
    auto *button = window.findChild<QPushButton *>(u"translateBtn"_s);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (button->text() == u"Translate"_s)
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    button->click();
    poll.start(1);
    loop.exec();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    tarnix::test::LoopbackServer server;
    if (!server.start())
        return 1;
    tarnix::test::setServiceUrl(server.url());
    server.setResponder([](const tarnix::test::RecordedRequest &request) {
        tarnix::test::Answer answer;
        answer.body = tarnix::test::servicePage("translated to " + request.formField("tl"));
        answer.delayMs = delayMs;
        return answer;
    });

    MainWindow window;
    window.findChild<QTextEdit *>(u"srcTextEdit"_s)->setPlainText(u"Hello world"_s);

    std::vector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        server.clearRequests();
        const double ms = timedRun(window);
        if (server.requests().size() != 20) {
            std::printf("run %d sent %lld requests, expected 20\n", i + 1, qlonglong(server.requests().size()));
            return 1;
        }
        ratios.push_back(ms / (waves * delayMs));
        std::printf("run %d: %.1f ms, ratio %.3f\n", i + 1, ms, ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("20 languages, %d ms delay, ideal %d ms: median ratio %.3f, best %.3f (target < 1.10)\n", delayMs,
        waves * delayMs, ratios[ratios.size() / 2], ratios.front());
    return 0;
}
