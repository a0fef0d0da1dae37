// Times the backup of a user with two templates and its synchronization to 1, 5 and 10 target
// units on loopback, with the real clock and a simulated source unit on a pseudo-terminal,
// without a window. Compares the wall time with the design's pauses for one target and with
// what the same work cost when each target had its own uploads, one after the other; and
// gives the station's own work per datagram: a synchronization timed with waits that take no
// time, less that of the same synchronization with no target ticked, shared out over the
// datagrams sent (the best of 20).
//
//   bench_targets [--runs N]   (N runs per figure, 3 by default; the best and the median)

#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "station/Station.h"
#include "support/DatagramListener.h"
#include "support/RealStation.h"
#include "unit-sim/SimulatedUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kTemplates = 2;
constexpr double kReplyWait = 0.6;    // per request of a fetch: one more than the templates
constexpr double kUploadPauses = 0.6; // 0.1 + 0.2 + 0.1 + 0.1 + 0.1 per upload
constexpr double kPassPause = 0.2;
constexpr int kPasses = 3;
constexpr int kOwnWorkRepeats = 20;

double fetchPauses()
{
    return (kTemplates + 1) * kReplyWait;
}

// One upload sequence per template and pass, whatever the number of targets.
double designPausesForOneTarget()
{
    return fetchPauses() + kPasses * (kTemplates * kUploadPauses + kPassPause);
}

// Each target with its own uploads, one after the other, as before.
double pausesOneTargetAfterTheOther(int targets)
{
    return fetchPauses() + kPasses * (kTemplates * targets * kUploadPauses + kPassPause);
}

// A clock whose waits take no time: what remains of a backup is the station's own work.
class InstantClock final : public Clock
{
public:
    QDateTime now() const override { return m_start.addMSecs(m_elapsedMs); }
    void sleep(int ms) override { m_elapsedMs += ms; }
    void serveEvents(int ms) override
    {
        QCoreApplication::processEvents();
        m_elapsedMs += ms;
    }

private:
    const QDateTime m_start = QDateTime::currentDateTime();
    qint64 m_elapsedMs = 0;
};

struct Run
{
    double wallS = 0;
    double inWaitsS = 0;
    int datagrams = 0;
};

// A station without a window in a temporary folder, with its target units listening on
// 127.0.0.1, 127.0.0.2 ... and ticked.
class BenchSite
{
public:
    BenchSite(int targetCount, bool logging, Clock &clock)
    {
        quint16 udpPort = 10002; // no target: nothing is sent there
        for (int i = 0; i < targetCount; ++i) {
            m_targets.push_back(std::make_unique<DatagramListener>());
            if (!m_targets.back()->bind(QHostAddress(address(i)),
                                        i == 0 ? 0 : m_targets[0]->port()))
                return;
            udpPort = m_targets[0]->port();
        }
        StationOptions options;
        options.programFolder = m_dir.path();
        options.udpPort = udpPort;
        options.serialDeviceFolder = folder() + QStringLiteral("dev/");
        options.serialLockFolder = folder() + QStringLiteral("lock/");
        station = std::make_unique<Station>(options, StationPlatform{clock, m_dialogs});
        StationState &state = station->state();
        state.setConfigFolder(folder());
        state.setTemplatesFolder(folder());
        state.setLogging(logging);
        state.TRELVANE_LOAD = ReceiveDispatcher::kDispatchFrames;
        QList<TargetUnit> lines;
        for (int i = 0; i < targetCount; ++i)
            lines.append({address(i).leftJustified(17) + QStringLiteral("unit"), true});
        state.setTargets(lines);
    }

    bool ready() const { return station != nullptr; }
    QString folder() const { return m_dir.path() + QLatin1Char('/'); }
    // Everything the target units received since last asked.
    int takeDatagrams(int quietMs)
    {
        int received = 0;
        for (auto &target : m_targets)
            received += int(target->drain(quietMs).size());
        return received;
    }

    std::unique_ptr<Station> station;

private:
    static QString address(int i) { return QStringLiteral("127.0.0.%1").arg(i + 1); }

    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    std::vector<std::unique_ptr<DatagramListener>> m_targets;
};

bool backupTo(int targetCount, bool logging, Run &run)
{
    MeasuringClock clock;
    BenchSite site(targetCount, logging, clock);
    if (!site.ready())
        return false;
    Station &station = *site.station;

    SimulatedUnit source;
    const QString com1 = site.folder() + QStringLiteral("COM1");
    if (!source.listenSerial(com1))
        return false;
    source.addUser(12345, kTemplates, 384);
    station.state().setSelectedLink(StationState::Link::Serial);
    station.serial().setDevicePath(com1);
    if (!station.serial().open())
        return false;
    station.serialRxTimer().start(); // the receive poll collects the unit's replies

    QElapsedTimer timer;
    clock.reset();
    timer.start();
    station.templateBackup().backup(QStringLiteral("12345"));
    run.wallS = timer.nsecsElapsed() / 1e9;
    run.inWaitsS = clock.secondsInWaits();
    run.datagrams = site.takeDatagrams(100);
    return run.datagrams == targetCount * kPasses * kTemplates * 4;
}

// The station's own work for one synchronization of the user's stored templates (no source
// unit: the fetch finds nothing), in seconds, the best of the repeats.
double ownWorkOfSynchronization(int targetCount, bool logging, int repeats)
{
    InstantClock clock;
    BenchSite site(targetCount, logging, clock);
    if (!site.ready())
        return -1;
    Station &station = *site.station;
    for (int n = 1; n <= kTemplates; ++n)
        if (!station.templateStore().write(QStringLiteral("12345"), n, QByteArray(384, char(n))))
            return -1;

    double best = 1e9;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer timer;
        timer.start();
        station.templateBackup().backup(QStringLiteral("12345"));
        best = std::min(best, timer.nsecsElapsed() / 1e9);
        site.takeDatagrams(0);
    }
    return best;
}

Run median(std::vector<Run> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Run &a, const Run &b) { return a.wallS < b.wallS; });
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--runs"));
    if (at >= 0 && at + 1 < args.size())
        runs = qMax(1, args[at + 1].toInt());

    std::printf("Backup of a user with %d templates of 384 bytes, synchronized in %d passes "
                "(median of %d runs)\n",
                kTemplates, kPasses, runs);
    std::printf("design pauses for one target: %.3f s\n\n", designPausesForOneTarget());
    std::printf("| targets | log | wall s | x one target's pauses | before (one after the "
                "other) s | own work per datagram us |\n");
    std::printf("|---:|:--|---:|---:|---:|---:|\n");
    for (const bool logging : {false, true}) {
        const double ownWithoutTargetsS = ownWorkOfSynchronization(0, logging, kOwnWorkRepeats);
        for (const int targets : {1, 5, 10}) {
            std::vector<Run> measured;
            for (int r = 0; r < runs; ++r) {
                Run run;
                if (!backupTo(targets, logging, run)) {
                    std::fprintf(stderr,
                                 "%d targets: the scenario could not be set up or "
                                 "datagrams were lost\n",
                                 targets);
                    return 1;
                }
                measured.push_back(run);
            }
            const Run m = median(measured);
            const double ownS = ownWorkOfSynchronization(targets, logging, kOwnWorkRepeats);
            const int datagrams = targets * kPasses * kTemplates * 4;
            std::printf("| %d | %s | %.3f | %.4f | %.1f | %.1f |\n", targets,
                        logging ? "on" : "off", m.wallS, m.wallS / designPausesForOneTarget(),
                        pausesOneTargetAfterTheOther(targets),
                        (ownS - ownWithoutTargetsS) * 1e6 / datagrams);
            std::fflush(stdout);
        }
    }
    return 0;
}
