#include "cli/StopRequests.h"

#include <atomic>
#include <utility>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <QWinEventNotifier>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

// The one listener, read on the console's control thread.
std::atomic<StopRequests *> s_listener = nullptr;

#ifdef Q_OS_UNIX
int s_signalPipe[2] = {-1, -1};

void onStopSignal(int number)
{
    // Only async-signal-safe work here: the event loop reads the byte.
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(s_signalPipe[1], &byte, 1);
}

const int kStopSignals[] = {SIGTERM, SIGINT};
#endif

#ifdef Q_OS_WIN
// How long the handler of a closed console or a shutdown keeps the process alive: when it
// returns the system ends the process, so it waits for the program to close its port and
// end on its own. The system ends it anyway after its own grace time (5 s for a console
// closed, more for a shutdown).
constexpr DWORD kCloseGraceMs = 30000;

// Set by the handler, on a thread the system makes. Nothing of Qt is called there: a thread
// Qt has seen is waited for when the program ends, and this one may still be waiting itself.
HANDLE s_stopEvent = nullptr;
std::atomic<unsigned long> s_stopReason = 0;

BOOL WINAPI onConsoleEvent(DWORD controlType)
{
    return StopRequests::handleConsoleEvent(controlType) ? TRUE : FALSE;
}
#endif

} // namespace

StopRequests::StopRequests(QObject *parent) : QObject(parent) {}

StopRequests::~StopRequests()
{
    if (!m_listening)
        return;
#ifdef Q_OS_UNIX
    for (const int number : kStopSignals)
        std::signal(number, SIG_DFL);
    m_notifier.reset();
    ::close(s_signalPipe[0]);
    ::close(s_signalPipe[1]);
    s_signalPipe[0] = s_signalPipe[1] = -1;
#endif
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    // Left open: a handler still waiting for the end may set it yet.
    m_notifier.reset();
#endif
    s_listener = nullptr;
}

bool StopRequests::listen()
{
    if (m_listening)
        return true;
    if (s_listener)
        return false;
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_signalPipe) != 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(s_signalPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopRequests::readSignalPipe);
    s_listener = this;
    for (const int number : kStopSignals)
        std::signal(number, onStopSignal);
#endif
#ifdef Q_OS_WIN
    if (!s_stopEvent)
        s_stopEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!s_stopEvent)
        return false;
    ::ResetEvent(s_stopEvent);
    m_notifier = std::make_unique<QWinEventNotifier>(s_stopEvent);
    connect(m_notifier.get(), &QWinEventNotifier::activated, this,
            [this] { emit stopRequested(Reason(s_stopReason.load())); });
    s_listener = this;
    if (!::SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        s_listener = nullptr;
        m_notifier.reset();
        return false;
    }
    // A program started in a process group of its own (as service wrappers start theirs)
    // ignores Ctrl+C until it asks for it again.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
#endif
    m_listening = true;
    return true;
}

#ifdef Q_OS_WIN
bool StopRequests::handleConsoleEvent(unsigned long controlType)
{
    bool waitForTheEnd = false;
    switch (controlType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        waitForTheEnd = true;
        break;
    case CTRL_LOGOFF_EVENT:
        // Sent to the programs services run when anybody logs off: not ours to stop on, and
        // unhandled it would end the process.
        return true;
    default:
        return false;
    }
    if (s_listener) {
        s_stopReason = controlType;
        ::SetEvent(s_stopEvent);
    }
    if (waitForTheEnd)
        ::Sleep(kCloseGraceMs); // main() returns meanwhile and ends the process
    return true;
}
#endif

#ifdef Q_OS_UNIX
void StopRequests::readSignalPipe()
{
    char byte = 0;
    if (::read(s_signalPipe[0], &byte, 1) == 1)
        emit stopRequested(Reason(byte));
}
#endif
