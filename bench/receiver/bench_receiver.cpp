// bench_receiver throughput [senders] [sets per sender]
//   Datagrams handled per second with the activity log on, from concurrent senders on
//   loopback, each uploading two-template sets of its own users; checks that none is lost
//   and that every file holds its own template.
// bench_receiver paced [seconds] [receive buffer bytes]
//   20 senders offering 10,000 small datagrams a second in all, each paced evenly: how many
//   the kernel dropped before the station read them (RcvbufErrors of /proc/net/snmp, for the
//   whole system) with the receive buffer the station asks for, or with the size given (the
//   system's default is 212992). Run it while the machine is busy (a parallel build).
// bench_receiver writes log|files [seconds]
//   What one sender can make the station write, with the activity log on and no serial
//   unit: "log" sends the longest datagrams without end (their traces), "files" sends one
//   upload of the largest template and then its trailer without end (each rewrites the
//   file). Counts every byte the process hands to write() (wchar of /proc/self/io).
// bench_receiver memory stalled|reading [seconds]
//   The station's resident memory while a sender floods it with large datagrams, its serial
//   unit reading nothing (a stalled line) or reading everything.
#include "config/ModeSwitch.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "log/ActivityLog.h"
#include "support/FreePort.h"
#include "support/RawSerialPeer.h"
#include "support/StationFixture.h"
#include "sync/ReceiveState.h"
#include "sync/SerialRelay.h"
#include "sync/UdpReceiver.h"
#include "util/TextNumber.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QByteArray templateOf(quint32 user, int number)
{
    QByteArray t(400, '\0');
    for (int i = 0; i < t.size(); ++i)
        t[i] = static_cast<char>((i * 7 + user * 31 + number * 57) & 0xFF);
    return t;
}

QList<QByteArray> setOf(quint32 user)
{
    QList<QByteArray> out;
    for (int number = 1; number <= 2; ++number) {
        const QByteArray data = templateOf(user, number);
        out << Frame::uploadAnnounce(*USER_NUMBER_TO_BYTES(user), number == 1)
            << Frame::uploadDataHeader() << data << Frame::trailer(data);
    }
    return out;
}

// A sender station: a plain socket of its own in its own thread.
struct Sender
{
    explicit Sender(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Sender() { ::close(fd); }
    bool send(const QByteArray &d) const
    {
        return ::sendto(fd, d.constData(), size_t(d.size()), 0,
                        reinterpret_cast<const sockaddr *>(&to), sizeof to) == d.size();
    }
    int fd;
    sockaddr_in to{};
};

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void serveFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

int throughput(int senders, int setsPerSender)
{
    StationFixture f(freeUdpPort());
    QDir(f.folder()).mkdir(QStringLiteral("templates"));
    QString templates = f.folder() + QStringLiteral("templates/");
    // BENCH_TEMPLATES=/dev/shm puts the template files (not the log) on another file system,
    // to tell the handling from the cost of creating files.
    std::unique_ptr<QTemporaryDir> elsewhere;
    if (qEnvironmentVariableIsSet("BENCH_TEMPLATES")) {
        elsewhere = std::make_unique<QTemporaryDir>(qEnvironmentVariable("BENCH_TEMPLATES") +
                                                    QStringLiteral("/bench-XXXXXX"));
        templates = elsewhere->path() + QLatin1Char('/');
    }
    f.w().state().setTemplatesFolder(templates);
    if (!f.openSerialPeer())
        return 1;
    if (!qEnvironmentVariableIsSet("BENCH_NO_LOG"))
        f.enableLog();
    f.w().modeSwitch().select(1);
    UdpReceiver &receiver = f.w().udpReceiver();
    const quint16 port = f.w().options().udpPort;

    // Each sender keeps at most this many of its datagrams unhandled, so that the station's
    // socket buffer never overflows: what is measured is the station's handling.
    constexpr int kWindowPerSender = 5;
    std::atomic<quint64> handled{0};
    std::atomic<int> sendersDone{0};
    std::atomic<quint64> sent{0};
    std::vector<std::thread> threads;
    const quint64 total = quint64(senders) * setsPerSender * 8;

    QElapsedTimer clock;
    clock.start();
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&, s] {
            Sender out(port);
            for (int k = 0; k < setsPerSender; ++k) {
                for (const QByteArray &d : setOf(quint32(s + 1) * 100000 + k)) {
                    while (sent.load() - handled.load() >= quint64(kWindowPerSender * senders))
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    ++sent;
                    out.send(d);
                }
            }
            ++sendersDone;
        });
    }
    QElapsedTimer idle;
    idle.start();
    while (receiver.datagramsHandled() < total && idle.elapsed() < 3000) {
        const quint64 before = receiver.datagramsHandled();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        handled = receiver.datagramsHandled();
        if (handled > before)
            idle.restart();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    for (auto &t : threads)
        t.join();

    // Every template in its own user's file.
    int good = 0;
    int bad = 0;
    for (int s = 0; s < senders; ++s) {
        for (int k = 0; k < setsPerSender; ++k) {
            const quint32 user = quint32(s + 1) * 100000 + k;
            for (int number = 1; number <= 2; ++number) {
                QFile file(templates +
                           QStringLiteral("%1-%2.DAT").arg(user).arg(number, 2, 10, QChar(u'0')));
                const bool same =
                    file.open(QIODevice::ReadOnly) && file.readAll() == templateOf(user, number);
                (same ? good : bad)++;
            }
        }
    }
    const int files = int(QDir(templates).entryList(QDir::Files).size());
    std::printf("Receiver, %d concurrent senders, %d two-template sets each, activity log %s, "
                "templates in %s:\n"
                "  %llu of %llu datagrams handled in %.2f s: %.0f datagrams/s\n"
                "  %d template files right, %d wrong or missing, %d files in the folder\n"
                "  log file %lld bytes\n",
                senders, setsPerSender, f.w().SW_LOG->isChecked() ? "on" : "off",
                qPrintable(templates), static_cast<unsigned long long>(receiver.datagramsHandled()),
                static_cast<unsigned long long>(total), seconds,
                receiver.datagramsHandled() / seconds, good, bad, files,
                static_cast<long long>(QFileInfo(f.w().activityLog().filePath()).size()));
    return bad == 0 && receiver.datagramsHandled() == total ? 0 : 2;
}

int memory(bool unitReads, int seconds)
{
    StationFixture f(freeUdpPort());
    QDir(f.folder()).mkdir(QStringLiteral("templates"));
    f.w().state().setTemplatesFolder(f.folder() + QStringLiteral("templates/"));
    RawSerialPeer unit;
    const QString link = f.folder() + QStringLiteral("COM7");
    if (!unit.open(link))
        return 1;
    f.w().SW_COMM[0]->setChecked(true);
    f.w().Serial->setDevicePath(link);
    if (!f.w().Serial->open())
        return 1;
    f.w().modeSwitch().select(1);
    UdpReceiver &receiver = f.w().udpReceiver();
    const quint16 port = f.w().options().udpPort;
    serveFor(200);
    const long rssStart = statusKb("VmRSS:");

    std::atomic<bool> stop{false};
    std::atomic<quint64> sent{0};
    std::thread flood([&] {
        Sender out(port);
        quint64 n = 0;
        while (!stop.load()) {
            QByteArray d(16000, static_cast<char>(n & 0xFF));
            d[0] = 'A';
            if (out.send(d))
                ++sent;
            ++n;
            if (n % 64 == 0)
                std::this_thread::yield();
        }
    });

    std::printf("Read-mode station, %d s flood of 16,000-byte datagrams, serial unit %s:\n",
                seconds, unitReads ? "reading everything" : "reading nothing");
    std::printf("  start: VmRSS %ld kB\n", rssStart);
    qint64 largestBacklog = 0;
    quint64 unitBytes = 0;
    QElapsedTimer clock;
    clock.start();
    for (int second = 1; second <= seconds; ++second) {
        while (clock.elapsed() < second * 1000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            largestBacklog = qMax(largestBacklog, f.w().Serial->bytesToWrite());
            if (unitReads)
                unitBytes += unit.readAvailable().size();
        }
        if (second % 10 == 0 || second == seconds)
            std::printf("  %3d s: VmRSS %ld kB, handled %llu, backlog %lld bytes\n", second,
                        statusKb("VmRSS:"),
                        static_cast<unsigned long long>(receiver.datagramsHandled()),
                        static_cast<long long>(f.w().Serial->bytesToWrite()));
    }
    stop = true;
    flood.join();
    const qint64 notRelayed = receiver.relay().notRelayedInAll();
    const quint64 handled = receiver.datagramsHandled();
    std::printf(
        "  end: VmRSS %ld kB, VmHWM %ld kB; %llu sent, %llu handled (%.0f/s)\n"
        "  relayed %llu, not relayed %lld (relay stopped %lld times); largest backlog "
        "%lld bytes (bound %lld); the unit read %llu bytes\n"
        "  without the bound, %llu bytes would be waiting for the line\n",
        statusKb("VmRSS:"), statusKb("VmHWM:"), static_cast<unsigned long long>(sent.load()),
        static_cast<unsigned long long>(handled), handled / (clock.elapsed() / 1000.0),
        static_cast<unsigned long long>(handled - quint64(notRelayed)),
        static_cast<long long>(notRelayed), static_cast<long long>(receiver.relay().overloads()),
        static_cast<long long>(largestBacklog), static_cast<long long>(SerialRelay::kBacklogLimit),
        static_cast<unsigned long long>(unitBytes),
        static_cast<unsigned long long>(handled * 16000 - unitBytes));
    return 0;
}

// The RcvbufErrors counter of the Udp line of /proc/net/snmp (-1: not known).
long long udpRcvbufErrors()
{
    QFile snmp(QStringLiteral("/proc/net/snmp"));
    if (!snmp.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> names;
    for (const QByteArray &line : snmp.readAll().split('\n')) {
        if (!line.startsWith("Udp: "))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        const qsizetype at = names.indexOf("RcvbufErrors");
        return at > 0 ? fields.value(at).toLongLong() : -1;
    }
    return -1;
}

long long writtenBytes()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

int writes(bool files, int seconds)
{
    StationFixture f(freeUdpPort());
    QDir(f.folder()).mkdir(QStringLiteral("templates"));
    const QString templates = f.folder() + QStringLiteral("templates/");
    f.w().state().setTemplatesFolder(templates);
    f.enableLog();
    f.w().modeSwitch().select(1);
    UdpReceiver &receiver = f.w().udpReceiver();
    const quint16 port = f.w().options().udpPort;
    serveFor(200);

    std::atomic<bool> stop{false};
    std::thread flood([&] {
        Sender out(port);
        const QByteArray largest(int(kLargestTemplate), '\x5A');
        if (files) {
            for (const QByteArray &d : {Frame::uploadAnnounce(*USER_NUMBER_TO_BYTES(4711), true),
                                        Frame::uploadDataHeader(), largest})
                out.send(d);
        }
        const QByteArray repeated = files ? Frame::trailer(largest) : QByteArray(65507, '\x5A');
        quint64 n = 0;
        while (!stop.load()) {
            out.send(repeated);
            // Not faster than the station takes them: what is measured is what it writes.
            if (++n % 32 == 0)
                while (!stop.load() && n > receiver.datagramsHandled() + 256)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const long long before = writtenBytes();
    QElapsedTimer clock;
    clock.start();
    serveFor(seconds * 1000);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const long long written = writtenBytes() - before;
    stop = true;
    flood.join();
    const qint64 logBytes = QFileInfo(f.w().activityLog().filePath()).size();
    std::printf("One sender, %s, %d s, activity log on, templates in %s:\n"
                "  %llu datagrams handled (%.0f/s); written %lld bytes: %.1f MB/s, %.0f MB a "
                "minute; log file %lld bytes\n",
                files ? "the trailer of the largest template again and again"
                      : "datagrams of 65,507 bytes",
                seconds, qPrintable(templates),
                static_cast<unsigned long long>(receiver.datagramsHandled()),
                receiver.datagramsHandled() / elapsed, written, written / elapsed / 1e6,
                written / elapsed * 60 / 1e6, static_cast<long long>(logBytes));
    return 0;
}

int paced(int seconds, qint64 bufferBytes)
{
    constexpr int kSenders = 20;
    constexpr int kPerSecond = 10000;
    StationFixture f(freeUdpPort());
    QDir(f.folder()).mkdir(QStringLiteral("templates"));
    f.w().state().setTemplatesFolder(f.folder() + QStringLiteral("templates/"));
    if (!f.openSerialPeer())
        return 1;
    if (qEnvironmentVariableIsSet("BENCH_LOG"))
        f.enableLog();
    f.w().modeSwitch().select(1);
    if (bufferBytes > 0) // Linux doubles what it is asked
        f.w().UDP_RX->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                      bufferBytes / 2);
    const qint64 buffer =
        f.w().UDP_RX->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toLongLong();
    UdpReceiver &receiver = f.w().udpReceiver();
    const quint16 port = f.w().options().udpPort;
    serveFor(200);

    // Small datagrams that write no file: the two headers of uploads, by turns.
    const long long dropsBefore = udpRcvbufErrors();
    std::atomic<quint64> sent{0};
    std::vector<std::thread> threads;
    const auto step = std::chrono::nanoseconds(1000000000LL * kSenders / kPerSecond);
    const int perSender = seconds * kPerSecond / kSenders;
    for (int s = 0; s < kSenders; ++s) {
        threads.emplace_back([&, s] {
            Sender out(port);
            const QByteArray header = Frame::uploadAnnounce(*USER_NUMBER_TO_BYTES(s + 10), false);
            const QByteArray second = Frame::uploadDataHeader();
            // Evenly paced, the senders' phases spread over one step.
            auto next = std::chrono::steady_clock::now() + step * s / kSenders;
            for (int k = 0; k < perSender; ++k) {
                std::this_thread::sleep_until(next);
                if (out.send(k % 2 ? second : header))
                    ++sent;
                next += step;
            }
        });
    }
    const quint64 total = quint64(kSenders) * quint64(perSender);
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer idle;
    idle.start();
    while (receiver.datagramsHandled() < total && idle.elapsed() < 3000) {
        const quint64 before = receiver.datagramsHandled();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (receiver.datagramsHandled() > before)
            idle.restart();
    }
    for (auto &t : threads)
        t.join();
    serveFor(500);
    const long long dropsAfter = udpRcvbufErrors();
    const quint64 handled = receiver.datagramsHandled();
    std::printf("Receiver, %d senders paced at %d datagrams/s in all for %d s, receive buffer "
                "%lld bytes, activity log %s:\n"
                "  %llu sent, %llu handled, %llu lost; RcvbufErrors of the system %lld -> %lld "
                "(+%lld)\n",
                kSenders, kPerSecond, seconds, static_cast<long long>(buffer),
                f.w().SW_LOG->isChecked() ? "on" : "off",
                static_cast<unsigned long long>(sent.load()),
                static_cast<unsigned long long>(handled),
                static_cast<unsigned long long>(sent.load() - handled), dropsBefore, dropsAfter,
                dropsAfter - dropsBefore);
    return handled == sent.load() ? 0 : 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QStringLiteral("writes"))
        return writes(args.value(1) == QStringLiteral("files"), args.value(2, "10").toInt());
    if (args.value(0) == QStringLiteral("paced"))
        return paced(args.value(1, "10").toInt(), args.value(2, "0").toLongLong());
    if (args.value(0) == QStringLiteral("memory"))
        return memory(args.value(1) == QStringLiteral("reading"), args.value(2, "60").toInt());
    return throughput(args.value(1, "20").toInt(), args.value(2, "125").toInt());
}
