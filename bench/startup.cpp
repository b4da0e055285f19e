// Start-up cost of the Tarnix window against a bare QMainWindow of the same
// size: each is built, shown and quit at the first idle moment in a child
// process of its own, so that wall time and peak memory belong to it alone.
// Prints medians and their ratios.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include "ui/mainwindow.h"

extern char **environ;

namespace {

struct Sample
{
    double milliseconds;
    long peakKiB;
};

int child(int argc, char *argv[], bool tarnix)
{
    QApplication app(argc, argv);
    QMainWindow bare;
    MainWindow *window = nullptr;
    if (tarnix) {
        window = new MainWindow;
        window->show();
    } else {
        bare.resize(250, 550);
        bare.show();
    }
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int status = app.exec();
    delete window;
    return status;
}

Sample measure(const char *self, const char *kind)
{
    char *const args[] = {const_cast<char *>(self), const_cast<char *>(kind), nullptr};
    const auto start = std::chrono::steady_clock::now();
    // The children's platform chatter would bury the figures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &quiet, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s start-up failed\n", kind);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

template <typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--window") == 0)
        return child(argc, argv, true);
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return child(argc, argv, false);

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    constexpr int rounds = 15;
    std::vector<double> windowMs, bareMs;
    std::vector<long> windowKiB, bareKiB;
    measure(argv[0], "--bare"); // warm the file cache before anything counts
    for (int i = 0; i < rounds; ++i) {
        const Sample bare = measure(argv[0], "--bare");
        const Sample window = measure(argv[0], "--window");
        bareMs.push_back(bare.milliseconds);
        bareKiB.push_back(bare.peakKiB);
        windowMs.push_back(window.milliseconds);
        windowKiB.push_back(window.peakKiB);
    }
    const double wallRatio = median(windowMs) / median(bareMs);
    const double memoryRatio = double(median(windowKiB)) / double(median(bareKiB));
    std::printf("start-up, median of %d (platform %s)\n", rounds, std::getenv("QT_QPA_PLATFORM"));
    std::printf("  bare QMainWindow  %7.1f ms  %7.1f MiB peak\n", median(bareMs), median(bareKiB) / 1024.0);
    std::printf("  Tarnix window     %7.1f ms  %7.1f MiB peak\n", median(windowMs), median(windowKiB) / 1024.0);
    std::printf("  ratio             %7.2fx    %7.2fx        (target: at most 1.3x on both)\n", wallRatio, memoryRatio);
    return 0;
}
