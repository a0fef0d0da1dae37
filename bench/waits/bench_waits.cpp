// How much longer than asked the two kinds of wait last on the real clock, and what a wait
// costs in CPU time. Prints figures; never fails.
#include "log/Waits.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <ctime>

namespace {

template <typename Wait> void measure(const char *name, double seconds, int count, Wait wait)
{
    QElapsedTimer wall;
    const std::clock_t cpu = std::clock();
    wall.start();
    for (int i = 0; i < count; ++i)
        wait(seconds);
    const double wallMs = wall.nsecsElapsed() / 1e6;
    const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
    const double askedMs = seconds * 1000.0 * count;
    QTextStream(stdout) << name << " " << seconds << " s x " << count << ": overshoot "
                        << (wallMs - askedMs) / count << " ms per wait ("
                        << 100.0 * (wallMs - askedMs) / askedMs << " %), CPU " << cpuMs / count
                        << " ms per wait\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SystemClock clock;
    Waits waits(clock);
    measure("ID_PAUSE", 0.1, 50, [&](double s) { waits.ID_PAUSE(s); });
    measure("ID_PAUSE", 0.2, 25, [&](double s) { waits.ID_PAUSE(s); });
    measure("serveEventsFor", 0.6, 10, [&](double s) { waits.serveEventsFor(s); });
    return 0;
}
