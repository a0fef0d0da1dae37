// Kills a station in the middle of its saves, many times: bench_kills [KILLS] [MAX_DELAY_US]
// (default 2000 kills per file kind, each 0 to 3000 us after the saving loop starts). For
// each kind of file (configuration, enroll password, template) it prints how often the file
// was left with either content, how many kills found it cut or missing (must be 0), how many
// left a temporary file behind, and the kills per second.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <time.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray readLine(QProcess &process)
{
    while (!process.canReadLine())
        if (!process.waitForReadyRead(10000))
            return QByteArray();
    return process.readLine().trimmed();
}

// Returns the number of kills that found the file neither old nor new.
int run(const QString &kind, const QString &fileName, int kills, int maxDelayUs)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QProcess helper;
    helper.start(QStringLiteral(SAVE_LOOP_HELPER), {dir.path(), kind});
    if (!helper.waitForStarted() || !readLine(helper).startsWith("ready")) {
        std::printf("%s: the helper did not start\n", qPrintable(kind));
        return kills;
    }
    const QByteArray a = readAll(folder + "expected-a");
    const QByteArray b = readAll(folder + "expected-b");
    const QStringList own{fileName, "expected-a", "expected-b"};
    int foundA = 0, foundB = 0, broken = 0, temporary = 0;
    QRandomGenerator random(1);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kills; ++i) {
        helper.write("go\n");
        const QByteArray child = readLine(helper);
        if (!child.startsWith("child "))
            return kills;
        const timespec pause{0, long(random.bounded(maxDelayUs + 1)) * 1000};
        nanosleep(&pause, nullptr);
        ::kill(pid_t(child.mid(6).toLongLong()), SIGKILL);
        readLine(helper);
        const QByteArray content = readAll(folder + fileName);
        if (content == a)
            ++foundA;
        else if (content == b)
            ++foundB;
        else
            ++broken;
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            if (!own.contains(name) && QFile::remove(folder + name))
                ++temporary;
    }
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("%-9s %6d kills  content A %6d  content B %6d  cut or missing %d  "
                "temporary files left %d  %.0f kills/s\n",
                qPrintable(kind), kills, foundA, foundB, broken, temporary, kills / seconds);
    helper.closeWriteChannel();
    helper.waitForFinished(5000);
    return broken;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int kills = args.size() > 1 ? args[1].toInt() : 2000;
    const int maxDelayUs = args.size() > 2 ? args[2].toInt() : 3000;
    int broken = 0;
    broken += run(QStringLiteral("config"), QStringLiteral("Trelvane.cfg"), kills, maxDelayUs);
    broken += run(QStringLiteral("password"), QStringLiteral("ADPW.CFG"), kills, maxDelayUs);
    broken += run(QStringLiteral("template"), QStringLiteral("12345-01.DAT"), kills, maxDelayUs);
    return broken == 0 ? 0 : 1;
}
