// trelvane-station: the station without a window, on the same core and the same folder as
// the window (settings, targets, templates, log, lock). Progress goes to standard error as
// the banner shows it; results go to standard output, as lines or as JSON.
#include "cli/ConsoleDialogs.h"
#include "cli/ProgressReporter.h"
#include "cli/ResultWriter.h"
#include "cli/StationCommandLine.h"
#include "cli/StopRequests.h"
#include "config/ConfigFile.h"
#include "enroll/Enrollment.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateNumberRequest.h"
#include "enroll/TemplateStore.h"
#include "enroll/UserDeletion.h"
#include "enroll/UserListPages.h"
#include "link/Banner.h"
#include "link/KeyboardWedge.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "log/BannerLines.h"
#include "platform/Clock.h"
#include "station/SingleInstance.h"
#include "station/Station.h"
#include "sync/NewUnitSync.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>
#include <QUdpSocket>

#include <functional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

constexpr int kLinkWaitMs = 8000;        // the port opens on a tick, the unit answers the greeting
constexpr int kOperationWaitMs = 180000; // an enrollment with its uploads, a deletion
constexpr int kTcpWaitMs = 10000;

const QString kCommunicationError =
    QStringLiteral("Communication Error with Trelvane source unit.");

// Serves events until done() says so or the time is up.
bool waitUntil(const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

class HeadlessRun
{
public:
    HeadlessRun(const StationCommandLine &command, Station &station, ConsoleDialogs &dialogs,
                ProgressReporter &progress, QTextStream &out, QTextStream &err)
        : m_command(command), m_station(station), m_state(station.state()), m_dialogs(dialogs),
          m_progress(progress), m_out(out), m_err(err), m_results(out, command.json)
    {
        QObject::connect(&station.bannerLines(), &BannerLines::lineChanged,
                         [this] { ++m_bannerSteps; });
        QObject::connect(&m_state, &StationState::changed, [this](StationState::Field field) {
            if (field == StationState::Field::Quality && m_state.quality() != QLatin1String("0"))
                m_lastQuality = m_state.quality();
        });
    }

    // As the window starts, without the window: the folder, the timers, the settings, and the
    // first supervision tick (the port is opened and the unit greeted).
    void start(const QString &folder)
    {
        for (QTimer *timer : {&m_station.serialRxTimer(), &m_station.serialConnectTimer(),
                              &m_station.hideMessageTimer()})
            timer->start();
        m_state.setConfigFolder(folder);
        m_station.supervision().selectLink(0);
        m_state.TRELVANE_LOAD = StationState::True;
        m_station.banner().TIM_HIDE_MSG_Timer();
        m_station.configFile().LOAD_CFG();
        m_state.setStarted(true);
        if (m_command.command != StationCommandLine::Command::Read) {
            // The commands work as enroll mode does, whatever mode the window was left in;
            // the settings file keeps that mode (nothing here saves it).
            m_station.udpRx().close();
            m_state.setMode(StationState::Mode::Enroll);
        }
        m_station.supervision().TIM_SERIAL_CONNECT_Timer();
    }

    ExitCode run()
    {
        using Command = StationCommandLine::Command;
        switch (m_command.command) {
        case Command::Status:
            return status();
        case Command::Enroll:
            return enroll();
        case Command::Delete:
            return deleteUser();
        case Command::Users:
            return users();
        case Command::Backup:
            return backup();
        case Command::SyncNewUnit:
            return syncNewUnit();
        case Command::Read:
            return read();
        case Command::None:
            break;
        }
        return ExitCode::Refused;
    }

private:
    bool linkUp() const { return m_state.sourceUp() && !m_state.handshakePending(); }

    bool waitForLink()
    {
        if (waitUntil([this] { return linkUp(); }, kLinkWaitMs))
            return true;
        m_err << "trelvane-station: the source unit did not answer on serial port "
              << m_state.serialPort() << " (" << captionOf(m_state.sourceStatus()) << ": "
              << m_state.sourceStatusDetail() << ")\n";
        m_err.flush();
        return false;
    }

    ExitCode status()
    {
        const bool answered = waitForLink();
        m_results.writeStatus(StatusResult::of(m_state, answered));
        return answered ? ExitCode::Done : ExitCode::NoAnswer;
    }

    // Runs a handler that either refuses (a box, nothing on the banner) or starts an
    // operation, then waits for the banner to say how it ended.
    enum class Outcome { Refused, Done, Failed, NoAnswer };
    Outcome operate(const std::function<void()> &handler, const std::function<bool()> &done)
    {
        const int stepsBefore = m_bannerSteps;
        handler();
        if (m_bannerSteps == stepsBefore)
            return Outcome::Refused;
        bool failed = false;
        bool noAnswer = false;
        const bool ended = waitUntil(
            [&] {
                if (m_state.bannerLine(0) == kCommunicationError)
                    noAnswer = true;
                else if (m_state.bannerLine(0).startsWith(QLatin1String("Cannot save")))
                    failed = true;
                return noAnswer || failed || done();
            },
            kOperationWaitMs);
        if (noAnswer || !ended)
            return Outcome::NoAnswer;
        return failed ? Outcome::Failed : Outcome::Done;
    }

    static ExitCode exitCodeOf(Outcome outcome)
    {
        switch (outcome) {
        case Outcome::Refused:
            return ExitCode::Refused;
        case Outcome::Failed:
            return ExitCode::Failed;
        case Outcome::NoAnswer:
            return ExitCode::NoAnswer;
        case Outcome::Done:
            break;
        }
        return ExitCode::Done;
    }

    ExitCode enroll()
    {
        if (!waitForLink())
            return ExitCode::NoAnswer;
        m_state.setUserText(m_command.user);
        const Outcome outcome = operate([this] { m_station.enrollment().B_USER_ENROLL_Click(); },
                                        [this] {
                                            return m_state.bannerLine(1).contains(QLatin1String(
                                                "Enrollment and Synchronization Complete"));
                                        });
        if (outcome == Outcome::Done)
            writeOperation(QStringLiteral("enroll"), m_lastQuality);
        return exitCodeOf(outcome);
    }

    ExitCode deleteUser()
    {
        if (!waitForLink())
            return ExitCode::NoAnswer;
        m_state.setUserText(m_command.user);
        const QString deleted =
            QStringLiteral("User ") + m_command.user + QStringLiteral(" deleted");
        const Outcome outcome = operate(
            [this] { m_station.userDeletion().B_USER_DELETE_Click(); },
            [this, deleted] {
                const QString line = m_state.bannerLine(0);
                return line == deleted || line.toUpper().contains(QLatin1String("DOES NOT EXIST"));
            });
        if (outcome == Outcome::Done)
            writeOperation(QStringLiteral("delete"), QString());
        return exitCodeOf(outcome);
    }

    void writeOperation(const QString &operation, const QString &quality)
    {
        OperationResult result;
        result.operation = operation;
        result.user = m_command.user;
        result.quality = quality;
        result.templatesStored = int(m_station.templateStore().list(m_command.user).size());
        // Datagrams to target units are not answered: every usable ticked target was sent to.
        result.targetsReached = m_state.usableTickedAddresses();
        m_results.writeOperation(result);
    }

    // Reads a unit's user list: the source unit, or a target unit over TCP.
    ExitCode readUserList(QStringList &lines)
    {
        TemplateNumberRequest &request = m_station.templateNumberRequest();
        if (m_command.unit.isEmpty()) {
            if (!waitForLink())
                return ExitCode::NoAnswer;
            m_station.supervision().selectLink(0);
        } else {
            m_state.setTcpAddress(m_command.unit);
            m_station.supervision().selectLink(1);
            m_station.supervision().B_CONNECT_IP_Click();
            m_state.setTcpStatus(QString());
            const bool answered = waitUntil(
                [this] {
                    return !m_state.tcpStatus().isEmpty() &&
                           m_state.tcpStatus() != QLatin1String("Disconnect");
                },
                kTcpWaitMs);
            if (!answered || m_state.tcpStatus() != captionOf(LinkStatus::Connected)) {
                m_err << "trelvane-station: unit " << m_command.unit << " did not answer on TCP: "
                      << (m_state.tcpStatus().isEmpty() ? QStringLiteral("no answer")
                                                        : m_state.tcpStatus())
                      << "\n";
                m_err.flush();
                m_station.supervision().selectLink(0);
                return ExitCode::NoAnswer;
            }
        }
        request.forgetLines();
        request.B_REQ_TMP_NO_Click();
        lines = request.lastLines();
        return ExitCode::Done;
    }

    static QList<UserEntry> entriesOf(const QStringList &lines)
    {
        QList<UserEntry> users;
        for (const QString &line : lines)
            users.append({UserListPages::userOfLine(line), line.mid(38).trimmed().toInt()});
        return users;
    }

    ExitCode users()
    {
        QStringList lines;
        const ExitCode read = readUserList(lines);
        if (read != ExitCode::Done)
            return read;
        m_results.writeUsers(m_command.unit, entriesOf(lines));
        return ExitCode::Done;
    }

    ExitCode backup()
    {
        QStringList lines;
        const ExitCode read = readUserList(lines);
        if (read != ExitCode::Done)
            return read;
        int failures = 0;
        QObject::connect(&m_station.bannerLines(), &BannerLines::lineChanged, [this, &failures] {
            if (m_state.bannerLine(0).startsWith(QLatin1String("Cannot save")))
                ++failures;
        });
        backupEach(lines);
        m_results.writeUsers(m_command.unit, entriesOf(lines));
        if (failures == 0)
            return ExitCode::Done;
        return failures >= lines.size() ? ExitCode::Failed : ExitCode::Partial;
    }

    // The user of each line, first to last, as the template backup does for a list, counted.
    void backupEach(const QStringList &lines)
    {
        const int total = int(lines.size());
        const QString counted = QStringLiteral("users backed up");
        m_progress.reportCount(0, total, counted);
        for (int i = 0; i < total; ++i) {
            m_station.templateBackup().backup(UserListPages::userOfLine(lines[i]));
            m_progress.reportCount(i + 1, total, counted);
        }
        m_progress.endCount();
    }

    ExitCode syncNewUnit()
    {
        m_dialogs.answerNextInput(m_command.unit);
        const int stepsBefore = m_bannerSteps;
        m_station.newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
        if (m_bannerSteps == stepsBefore)
            return ExitCode::Refused;
        if (m_state.bannerLine(0) != QLatin1String("Synchronization complete."))
            return ExitCode::Failed;
        return m_state.bannerLine(1).contains(QLatin1String(" of ")) ? ExitCode::Partial
                                                                     : ExitCode::Done;
    }

    ExitCode read();

    const StationCommandLine &m_command;
    Station &m_station;
    StationState &m_state;
    ConsoleDialogs &m_dialogs;
    ProgressReporter &m_progress;
    QTextStream &m_out;
    QTextStream &m_err;
    ResultWriter m_results;
    int m_bannerSteps = 0;
    QString m_lastQuality;
};

// Whether standard error is shown to a person (a terminal or a console window) rather than
// kept in a file or read by another program.
bool errorsGoToATerminal()
{
#ifdef Q_OS_WIN
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

// Read mode until stopped (SIGTERM or SIGINT; on Windows Ctrl+C, Ctrl+Break, the console
// closed, shutdown): datagrams of other stations are relayed to the unit and mirrored in the
// templates folder; a recognised user is typed where a desktop lets us.
ExitCode HeadlessRun::read()
{
    m_state.setMode(StationState::Mode::Read);
    if (m_station.udpRx().state() != QAbstractSocket::BoundState && !m_station.OPEN_UDP_PORT())
        return ExitCode::Failed;
    m_station.keyboardWedge().readModeEntered();
    QObject::connect(&m_state, &StationState::changed, [this](StationState::Field field) {
        if (field != StationState::Field::LastUser || m_state.lastUser().user.isEmpty())
            return;
        const StationState::LastUser last = m_state.lastUser();
        m_out << last.date << ' ' << last.time << '\t' << last.user << '\n';
        m_out.flush();
    });
    StopRequests stop;
    QObject::connect(&stop, &StopRequests::stopRequested, &QCoreApplication::quit);
    stop.listen();
    m_err << "trelvane-station: read mode on UDP port " << m_station.options().udpPort
          << " until stopped\n";
    m_err.flush();
    QCoreApplication::exec();
    m_station.serial().close();
    return ExitCode::Done;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StationCommandLine command = StationCommandLine::parse(arguments);
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.action) {
    case StationCommandLine::Action::Help:
        out << StationCommandLine::usage();
        return int(ExitCode::Done);
    case StationCommandLine::Action::Version:
        out << StationCommandLine::versionText();
        return int(ExitCode::Done);
    case StationCommandLine::Action::Error:
        err << "trelvane-station: " << command.error << "\n\n" << StationCommandLine::usage();
        return int(ExitCode::Refused);
    case StationCommandLine::Action::Run:
        break;
    }
    const QFileInfo folderInfo(command.folder);
    if (!command.folder.isEmpty() && !folderInfo.isDir()) {
        err << "trelvane-station: the folder " << command.folder << " does not exist\n";
        return int(ExitCode::Refused);
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trelvane-station"));

    StationOptions options;
    options.programFolder =
        QDir::toNativeSeparators(command.folder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                          : folderInfo.absoluteFilePath());
    const QString folder = ConfigFile::withTrailingSeparator(options.programFolder);
    SingleInstance instance(folder);
    if (!instance.acquire()) {
        err << "trelvane-station: a station already runs on the folder " << folder
            << ": stop it first (its window, or its service)\n";
        return int(ExitCode::AlreadyRunning);
    }

    SystemClock clock;
    ConsoleDialogs dialogs(err, command.yes);
    Station station(options, StationPlatform{clock, dialogs});
    ProgressReporter progress(station.state(), err,
                              errorsGoToATerminal() ? ProgressReporter::Output::Terminal
                                                    : ProgressReporter::Output::Log,
                              clock);
    HeadlessRun run(command, station, dialogs, progress, out, err);
    run.start(folder);
    const ExitCode code = run.run();
    progress.finish();
    out.flush();
    err.flush();
    return int(code);
}
