// trelvane-unit: a simulated fingerprint unit on a pseudo-terminal, TCP and UDP, steered by
// line commands on standard input.

#include "SimulatedUnit.h"
#include "UnitConsole.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr quint16 kDefaultTcpPort = 10001;
constexpr quint16 kDefaultUdpPort = 10002;

int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

void printLine(const QString &line)
{
    QTextStream out(stdout);
    out << line << Qt::endl; // endl flushes: scripts wait on these lines
}

void printError(const QString &line)
{
    QTextStream err(stderr);
    err << "trelvane-unit: " << line << Qt::endl;
}

QString usageText()
{
    return QStringLiteral(
               "usage: trelvane-unit [--serial PATH] [--tcp [PORT]] [--udp [PORT]] [--bind ADDR]\n"
               "                     [--baud N] [--template-bytes N] [--enroll-templates N]\n"
               "                     [--page-records N] [--auto-enroll MS] [--seed-users N]\n"
               "                     [--templates-per-user K] [--verbose] [--daemon]\n"
               "       trelvane-unit --help | --version\n"
               "At least one of --serial, --tcp, --udp. TCP port defaults to %1, UDP to %2.\n"
               "Standard input: %3\n")
        .arg(kDefaultTcpPort)
        .arg(kDefaultUdpPort)
        .arg(UnitConsole::usage());
}

struct Settings
{
    SimulatedUnit::Options unit;
    QString serial;
    std::optional<quint16> tcp;
    std::optional<quint16> udp;
    QHostAddress bind{QHostAddress::AnyIPv4};
    int seedUsers = 0;
    int templatesPerUser = 2;
    bool daemon = false;
};

// Options take their value as the next argument or after "="; --tcp and --udp take a port
// only when the next argument is a number.
std::optional<Settings> parse(const QStringList &args, QString &error)
{
    Settings s;
    for (int i = 1; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> inlineValue;
        if (const qsizetype eq = name.indexOf('='); name.startsWith("--") && eq > 0) {
            inlineValue = name.mid(eq + 1);
            name = name.left(eq);
        }
        auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            error = name + QStringLiteral(" needs a value");
            return std::nullopt;
        };
        auto integer = [&](qint64 min, qint64 max) -> std::optional<int> {
            const auto v = value();
            if (!v)
                return std::nullopt;
            bool ok = false;
            const qint64 n = v->toLongLong(&ok);
            if (!ok || n < min || n > max) {
                error = QStringLiteral("%1 must be a number %2..%3").arg(name).arg(min).arg(max);
                return std::nullopt;
            }
            return int(n);
        };
        auto optionalPort = [&](quint16 fallback) -> std::optional<quint16> {
            QString text;
            if (inlineValue)
                text = *inlineValue;
            else if (i + 1 < args.size() && !args[i + 1].startsWith("-"))
                text = args[++i];
            else
                return fallback;
            bool ok = false;
            const uint port = text.toUInt(&ok);
            if (!ok || port > 65535) {
                error = QStringLiteral("%1: bad port \"%2\"").arg(name, text);
                return std::nullopt;
            }
            return quint16(port);
        };

        std::optional<int> n;
        if (name == "--serial") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            s.serial = *v;
        } else if (name == "--tcp") {
            if (!(s.tcp = optionalPort(kDefaultTcpPort)))
                return std::nullopt;
        } else if (name == "--udp") {
            if (!(s.udp = optionalPort(kDefaultUdpPort)))
                return std::nullopt;
        } else if (name == "--bind") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            if (!s.bind.setAddress(*v)) {
                error = QStringLiteral("--bind: bad address \"%1\"").arg(*v);
                return std::nullopt;
            }
        } else if (name == "--baud") {
            if (!(n = integer(0, 4000000)))
                return std::nullopt;
            s.unit.baud = *n;
        } else if (name == "--template-bytes") {
            if (!(n = integer(1, UnitProtocol::kMaxUploadBytes)))
                return std::nullopt;
            s.unit.templateBytes = *n;
        } else if (name == "--enroll-templates") {
            if (!(n = integer(0, 255)))
                return std::nullopt;
            s.unit.enrollTemplates = *n;
        } else if (name == "--page-records") {
            if (!(n = integer(1, UnitProtocol::kMaxPageRecords)))
                return std::nullopt;
            s.unit.pageRecords = *n;
        } else if (name == "--auto-enroll") {
            if (!(n = integer(0, 3600000)))
                return std::nullopt;
            s.unit.autoEnrollMs = *n;
        } else if (name == "--seed-users") {
            if (!(n = integer(0, 100000)))
                return std::nullopt;
            s.seedUsers = *n;
        } else if (name == "--templates-per-user") {
            if (!(n = integer(0, 255)))
                return std::nullopt;
            s.templatesPerUser = *n;
        } else if (name == "--verbose") {
            s.unit.verbose = true;
        } else if (name == "--daemon") {
            s.daemon = true;
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(args[i]);
            return std::nullopt;
        }
    }
    if (s.serial.isEmpty() && !s.tcp && !s.udp) {
        error = QStringLiteral("nothing to listen on: give --serial, --tcp or --udp");
        return std::nullopt;
    }
    return s;
}

// SIGTERM and SIGINT end the event loop through a socket pair, so the link is removed on the
// way out like after "quit".
bool watchSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return false;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN); // a closed stdout or peer must not kill us before cleanup
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        app.quit();
    });
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trelvane-unit"));

    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        QTextStream(stdout) << usageText();
        return 0;
    }
    if (args.contains(QStringLiteral("--version"))) {
        QTextStream(stdout) << "trelvane-unit " TRELVANE_VERSION "\n";
        return 0;
    }
    QString error;
    const std::optional<Settings> settings = parse(args, error);
    if (!settings) {
        printError(error);
        QTextStream(stderr) << usageText();
        return 2;
    }
    if (!watchSignals(app)) {
        printError(QStringLiteral("cannot watch signals"));
        return 1;
    }

    SimulatedUnit unit(settings->unit);
    if (settings->seedUsers > 0)
        unit.seedUsers(settings->seedUsers, settings->templatesPerUser);

    QStringList ready{QStringLiteral("ready")};
    if (!settings->serial.isEmpty()) {
        if (!unit.listenSerial(settings->serial)) {
            printError(unit.errorString());
            return 1;
        }
        ready << QStringLiteral("serial=") + unit.serialLinkPath();
    }
    if (settings->tcp) {
        if (!unit.listenTcp(*settings->tcp, settings->bind)) {
            printError(unit.errorString());
            return 1;
        }
        ready << QStringLiteral("tcp=%1").arg(unit.tcpPort());
    }
    if (settings->udp) {
        if (!unit.listenUdp(*settings->udp, settings->bind)) {
            printError(unit.errorString());
            return 1;
        }
        ready << QStringLiteral("udp=%1").arg(unit.udpPort());
    }

    UnitConsole console(unit);
    QByteArray pendingInput;
    auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app, [&] {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            input->setEnabled(false);
            if (!settings->daemon)
                app.quit();
            return;
        }
        pendingInput.append(chunk, n);
        qsizetype end;
        while ((end = pendingInput.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pendingInput.left(end)).trimmed();
            pendingInput.remove(0, end + 1);
            if (line.isEmpty())
                continue;
            for (const QString &out : console.execute(line))
                printLine(out);
            if (console.quitRequested()) {
                input->setEnabled(false);
                app.quit();
                return;
            }
        }
        if (pendingInput.size() > 65536) // no line feed in sight: drop the rubbish
            pendingInput.clear();
    });

    printLine(ready.join(' '));
    const int rc = app.exec();
    unit.close(); // removes the serial link
    return rc;
}
