// Times a new unit synchronization against the pauses the station is designed to make, and
// the filling of the user list window from a unit's last page.
//
//   bench_userlist [--templates N] [--users N]
//     --templates: files sent by the new unit synchronization (500 by default, 0 skips;
//                  takes 0.6 s per file)
//     --users:     users of the listed unit (10000 by default, 0 skips)
//
//   bench_userlist --hostile
//     The station's memory while it lists the users of something on a unit's TCP port
//     that announces 100 pages of 65,535 bytes and then sends records without end, as fast
//     as the station takes them (from a thread of its own), and after the window is closed.

#include "app/F_MAIN.h"
#include "app/F_VIEW_USERS.h"
#include "config/TargetList.h"
#include "enroll/TemplateStore.h"
#include "enroll/UserListPages.h"
#include "link/Supervision.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"
#include "support/RealStation.h"
#include "sync/NewUnitSync.h"
#include "sync/UnitUserList.h"
#include "unit-sim/SimulatedUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double kBeforeFirstUpload = 0.5;
constexpr double kUploadPauses = 0.6; // 0.1 + 0.2 + 0.1 + 0.1 + 0.1 per upload

bool synchronizeNewUnit(int templates)
{
    SimulatedUnit unit;
    if (!unit.listenUdp(0, QHostAddress::LocalHost))
        return false;
    RealStation s(unit.udpPort(), RealStation::Poll::Stopped);
    for (int n = 0; n < templates; ++n) {
        const QString user = QString::number(1001 + n / 2);
        if (!s.w->templateStore().write(user, n % 2 + 1, QByteArray(384, static_cast<char>(n))))
            return false;
    }
    s.w->supervision().setSerialStatus(LinkStatus::Connected);
    s.dialogs.answerInput(QStringLiteral("127.0.0.1"));

    QElapsedTimer timer;
    s.clock.reset();
    timer.start();
    s.w->newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
    const double wall = timer.nsecsElapsed() / 1e9;
    const double inWaits = s.clock.secondsInWaits();
    QCoreApplication::processEvents();

    const double design = templates * kUploadPauses + kBeforeFirstUpload;
    const double own = wall - inWaits;
    int stored = 0;
    for (const auto &set : unit.users())
        stored += int(set.size());
    std::printf("New unit synchronization of %d templates:\n"
                "  wall %.3f s, design %d x 0.6 s + 0.5 s = %.3f s, ratio %.4f\n"
                "  the station's own work %.3f s (%.3f %% of the design time), waits ending "
                "late %.3f s (%.3f %%)\n"
                "  templates held by the unit afterwards %d of %d; banner \"%s\" / \"%s\"\n",
                templates, wall, templates, design, wall / design, own, own / design * 100.0,
                inWaits - design, (inWaits - design) / design * 100.0, stored, templates,
                qPrintable(s.w->AFF_MSG[0]->text()), qPrintable(s.w->AFF_MSG[1]->text()));
    std::fflush(stdout);
    return true;
}

bool fillUserList(int users)
{
    RealStation s(0, RealStation::Poll::Stopped);
    // The data of every page as the unit sends it: two templates a user, consecutive.
    QByteArray data;
    data.reserve(qsizetype(users) * 16);
    for (int u = 1; u <= users; ++u)
        for (int t = 1; t <= 2; ++t) {
            const quint32 user = 100000u + quint32(u);
            const char record[8] = {char(user & 0xFF),
                                    char((user >> 8) & 0xFF),
                                    char((user >> 16) & 0xFF),
                                    char(user >> 24),
                                    char(t),
                                    0,
                                    0,
                                    0};
            data.append(record, 8);
        }
    F_VIEW_USERS window(*s.w);
    window.show();
    QCoreApplication::processEvents();
    window.listRequestStarted();

    constexpr int kRounds = 5;
    double best = 1e9;
    double sum = 0;
    qsizetype filled = 0;
    for (int round = 0; round < kRounds; ++round) {
        window.LST_USERS->clear();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        // From the last page's bytes to the window showing the list.
        const QStringList lines = UserListPages::listLines(UserListPages::groupRecords(data));
        window.listRead(lines);
        window.listRequestEnded();
        window.repaint();
        const double ms = timer.nsecsElapsed() / 1e6;
        filled = window.LST_USERS->count();
        best = std::min(best, ms);
        sum += ms;
        window.listRequestStarted();
    }
    std::printf("User list of %d users (%lld records): last page to filled window %.1f ms "
                "(best of %d), %.1f ms on average; goal under 100 ms; %d lines\n",
                users, static_cast<long long>(data.size() / 8), best, kRounds, sum / kRounds,
                int(filled));
    std::fflush(stdout);
    window.close();
    return true;
}

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

// Accepts one connection; after the first request sends the header of page 1 and then
// records without end, until stopped. Every byte of a record is 0x80 or more, so that a page
// header read anywhere in them announces a long page.
struct HostileUnit
{
    HostileUnit()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        ::bind(listener, reinterpret_cast<sockaddr *>(&at), sizeof at);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&at), &length);
        port = ntohs(at.sin_port);
        thread = std::thread([this] { run(); });
    }
    ~HostileUnit()
    {
        stop = true;
        ::shutdown(listener, SHUT_RDWR);
        thread.join();
        ::close(listener);
    }
    void run()
    {
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer < 0)
            return;
        char request[13];
        if (::recv(peer, request, sizeof request, MSG_WAITALL) == sizeof request) {
            QByteArray head(26, '\0');
            head[15] = char(100);  // pages
            head[20] = char(0xFF); // data length, high byte
            head[21] = char(0xFF);
            ::send(peer, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
            QByteArray chunk;
            for (quint32 n = 0; chunk.size() < 64 * 1024; ++n) {
                chunk += char(0x80 | (n & 0x7F));
                chunk += char(0x80 | ((n >> 7) & 0x7F));
                chunk += char(0x80 | ((n >> 14) & 0x7F));
                chunk += QByteArray(5, char(0xFF));
            }
            while (!stop) {
                const ssize_t n =
                    ::send(peer, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
                char drain[4096];
                while (::recv(peer, drain, sizeof drain, MSG_DONTWAIT) > 0) {
                }
            }
        }
        ::close(peer);
    }
    int listener = -1;
    quint16 port = 0;
    std::atomic<bool> stop{false};
    std::atomic<qint64> sent{0};
    std::thread thread;
};

bool listHostileUnit()
{
    HostileUnit unit;
    RealStation s(0, RealStation::Poll::Stopped, unit.port);
    s.w->targetList().addEntry(QStringLiteral("127.0.0.1"));
    s.w->LST_IP->setCurrentRow(0);
    QCoreApplication::processEvents();
    const long before = statusKb("VmRSS:");
    long whileOpen = 0;
    int lines = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *v = qobject_cast<F_VIEW_USERS *>(QApplication::activeModalWidget());
        if (v && v->isLoaded() && v->isEnabled()) {
            whileOpen = statusKb("VmRSS:");
            lines = v->LST_USERS->count();
            v->close();
        }
    });
    look.start(20);
    QElapsedTimer timer;
    timer.start();
    s.w->unitUserList().B_TCP_VIEW_USR_LST_Click();
    look.stop();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QCoreApplication::processEvents();
    std::printf("User list of a unit streaming without end over TCP:\n"
                "  %.1f s, %lld bytes sent by the unit, %d lines listed\n"
                "  VmRSS before %ld kB, with the window open %ld kB, after it closed %ld kB; "
                "VmHWM %ld kB\n",
                seconds, static_cast<long long>(unit.sent.load()), lines, before, whileOpen,
                statusKb("VmRSS:"), statusKb("VmHWM:"));
    std::fflush(stdout);
    return lines > 0;
}

int optionValue(const QStringList &args, const QString &name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--hostile")))
        return listHostileUnit() ? 0 : 1;
    const int users = optionValue(args, QStringLiteral("--users"), 10000);
    const int templates = optionValue(args, QStringLiteral("--templates"), 500);
    if (users > 0 && !fillUserList(users))
        return 1;
    if (templates > 0 && !synchronizeNewUnit(templates))
        return 1;
    return 0;
}
