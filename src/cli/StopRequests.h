#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;
class QWinEventNotifier;

// Asks the event loop to end when the system asks the program to stop, so that a program
// that runs until stopped (read mode) still closes its port and gives up its folder:
// - on Unix: SIGTERM (a service manager, kill) and SIGINT (Ctrl+C);
// - on Windows: the console control events Ctrl+C and Ctrl+Break (a service wrapper sends
//   one of them to stop its program), the console closed, and the system shutting down.
//   A log-off is not a stop: it reaches every program a service runs, whoever logs off.
//
// Only one is listening at a time. stopRequested is delivered on the thread that owns the
// object, through its event loop, whatever thread or signal handler the request came on.
class StopRequests : public QObject
{
    Q_OBJECT
public:
    // What asked to stop; on Windows the console control event's number, on Unix the signal.
    using Reason = int;

    explicit StopRequests(QObject *parent = nullptr);
    ~StopRequests() override;

    // Starts listening; false when another listens or the system refused (nothing then stops
    // the loop cleanly).
    bool listen();

#ifdef Q_OS_WIN
    // What the system calls on a thread of its own for a console control event (the Win32
    // event number): true when the event is handled here. Returns at once, except for a
    // console closed or a shutdown, after which the system ends the process: then it waits
    // (up to a bound) for the program to end on its own.
    static bool handleConsoleEvent(unsigned long controlType);
#endif

signals:
    void stopRequested(StopRequests::Reason reason);

private:
#ifdef Q_OS_UNIX
    void readSignalPipe();

    std::unique_ptr<QSocketNotifier> m_notifier; // the signal handler's byte is waiting
#endif
#ifdef Q_OS_WIN
    std::unique_ptr<QWinEventNotifier> m_notifier; // the console handler's event is set
#endif
    bool m_listening = false;
};
