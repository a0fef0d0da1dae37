#pragma once

#include "app/F_MAIN.h"
#include "platform/ScriptLauncher.h"
#include "platform/ScriptedDialogs.h"
#include "platform/ScriptedKeyboard.h"
#include "platform/TestClock.h"
#include "unit-sim/PseudoTerminal.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

// A station in a temporary configuration folder, with scripted dialogs and a test clock.
// Its timers are stopped, so a test drives the handlers itself; peers are real: a
// pseudo-terminal (or a simulated unit) on the serial side, loopback sockets on the network.
class StationFixture
{
public:
    // adjust may change the options further (the folder and ports are set by then).
    explicit StationFixture(quint16 udpPort = 0, quint16 tcpPort = 0,
                            const std::function<void(StationOptions &)> &adjust = {});
    ~StationFixture();

    F_MAIN &w() { return *m_window; }
    QString folder() const { return m_folder; } // ends with "/"
    TestClock clock;
    ScriptedDialogs dialogs;
    // Read mode types here, not into the test's display.
    ScriptedKeyboard keyboard;
    ScriptedLauncher scripts; // consoles the station starts

    // Stops SERIAL_RX, TIM_SERIAL_CONNECT, TIM_HIDE_MSG and TIM_BACKUP.
    void stopTimers();

    // Opens a raw pseudo-terminal published as FOLDER/COM<n> and the station's serial port
    // on it, with "Serial Port" selected (no supervision, no handshake).
    bool openSerialPeer(int portNumber = 7);
    PseudoTerminal &peer() { return m_peer; }

    // Writes bytes from the peer and waits until the station's serial port holds them all.
    bool feedSerial(const QByteArray &bytes, int timeoutMs = 2000);
    // Reads what the station wrote to the peer, waiting up to timeoutMs for at least
    // minBytes.
    QByteArray readSent(int minBytes = 1, int timeoutMs = 2000);
    // Serves events for the given real time.
    static void serve(int ms);

    // Ticks SW_LOG and returns the content of the clock's day's log (empty when none).
    void enableLog();
    QByteArray logBytes() const;
    QStringList logLines() const; // entry and header lines, CR LF removed

private:
    QTemporaryDir m_dir;
    QString m_folder;
    std::unique_ptr<F_MAIN> m_window;
    PseudoTerminal m_peer;
};
