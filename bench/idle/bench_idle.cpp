// How often an idle station wakes up: the station program runs in a station folder of its
// own against a simulated unit on a pseudo-terminal, connects and greets the unit, lets its
// banner hide, and is then left alone. Its context switches (voluntary and involuntary, from
// /proc) over the measuring time are its wake-ups; its CPU time is read alongside.
//
//   bench_idle [SECONDS]   (default 20; offscreen unless DISPLAY is set)
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

struct Counters
{
    qint64 contextSwitches = 0; // voluntary + involuntary
    qint64 cpuTicks = 0;        // user + system
};

Counters countersOf(qint64 pid)
{
    Counters c;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                c.contextSwitches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray all = stat.readAll();
        // Fields after the command name, which ends with the last ')': state is field 3,
        // utime and stime are fields 14 and 15.
        const QList<QByteArray> fields = all.mid(all.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            c.cpuTicks = fields[11].toLongLong() + fields[12].toLongLong();
    }
    return c;
}

// Serves the processes' output until the unit has traced text, or the deadline passes.
bool waitForTrace(QProcess &unit, QByteArray &trace, const QByteArray &text, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!trace.contains(text) && !deadline.hasExpired()) {
        unit.waitForReadyRead(100);
        trace += unit.readAllStandardError();
    }
    return trace.contains(text);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString program = folder + QStringLiteral("TrelvaneEnrollment");
    if (!QFile::copy(QStringLiteral(STATION_PROGRAM), program)) {
        std::fprintf(stderr, "Cannot copy the station program %s\n", STATION_PROGRAM);
        return 1;
    }
    // Port 1, enroll mode, Enter as suffix, templates next to the program, no target unit;
    // an empty enroll password, so no question at start.
    QFile config(folder + QStringLiteral("Trelvane.cfg"));
    QFile password(folder + QStringLiteral("ADPW.CFG"));
    if (!config.open(QIODevice::WriteOnly) || !password.open(QIODevice::WriteOnly))
        return 1;
    config.write("1\r\n 0 \r\n\r\n{ENTER}\r\n" + folder.toLocal8Bit() + "\r\n");
    config.close();
    password.write("\r\n");
    password.close();

    QProcess unit;
    unit.start(QStringLiteral(UNIT_PROGRAM),
               {QStringLiteral("--serial"), folder + QStringLiteral("COM1"),
                QStringLiteral("--baud"), QStringLiteral("57600"), QStringLiteral("--verbose"),
                QStringLiteral("--daemon")});
    if (!unit.waitForStarted() || !unit.waitForReadyRead(5000)) {
        std::fprintf(stderr, "The simulated unit did not start\n");
        return 1;
    }

    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) &&
        !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    station.setProcessEnvironment(env);
    station.setStandardOutputFile(QProcess::nullDevice());
    station.setStandardErrorFile(QProcess::nullDevice());
    station.start(program, {});
    if (!station.waitForStarted()) {
        std::fprintf(stderr, "The station did not start\n");
        return 1;
    }
    QByteArray trace;
    const QByteArray handshake("[64][1][0][0][0][0][49][0][0][0][101][215][10]");
    if (!waitForTrace(unit, trace, handshake, 10000)) {
        std::fprintf(stderr, "The station did not greet the unit\n");
        station.kill();
        return 1;
    }
    // The banner's "established" message shows for up to four seconds; then all is quiet.
    QThread::sleep(6);

    const qint64 pid = station.processId();
    const Counters before = countersOf(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(seconds);
    const Counters after = countersOf(pid);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    unit.readAllStandardError(); // keep the unit's pipe drained

    const double wakeUps = (after.contextSwitches - before.contextSwitches) / elapsed;
    const double cpuPercent =
        100.0 * (after.cpuTicks - before.cpuTicks) / double(sysconf(_SC_CLK_TCK)) / elapsed;
    std::printf("Idle connected station over %.0f s: %.1f wake-ups per second, %.2f %% of a "
                "core\n",
                elapsed, wakeUps, cpuPercent);

    station.kill();
    station.waitForFinished();
    unit.kill();
    unit.waitForFinished();
    return 0;
}
