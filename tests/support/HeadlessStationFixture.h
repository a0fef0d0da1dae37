#pragma once

#include "platform/ScriptLauncher.h"
#include "platform/ScriptedDialogs.h"
#include "platform/ScriptedKeyboard.h"
#include "platform/TestClock.h"
#include "station/Station.h"
#include "unit-sim/PseudoTerminal.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

// A station without a window, in a temporary configuration folder, with scripted dialogs and
// a test clock. Its timers are stopped, so a test drives the handlers itself; peers are real:
// a pseudo-terminal (or a simulated unit) on the serial side, loopback sockets on the network.
// The state starts as the window's controls start it, so that what a part reads of it is
// what it would read beside the window.
class HeadlessStationFixture
{
public:
    // adjust may change the options further (the folder and ports are set by then).
    explicit HeadlessStationFixture(quint16 udpPort = 0, quint16 tcpPort = 0,
                                    const std::function<void(StationOptions &)> &adjust = {});
    ~HeadlessStationFixture();

    Station &station() { return *m_station; }
    StationState &state() { return m_station->state(); }
    QString folder() const { return m_folder; } // ends with "/"
    TestClock clock;
    ScriptedDialogs dialogs;
    // Read mode types here, not into the test's display.
    ScriptedKeyboard keyboard;
    ScriptedLauncher scripts; // consoles the station starts

    // The fields whose control a part asked the keyboard focus for, first to last.
    QList<StationState::Field> focusRequests;
    // The last of them: the control that would have the focus.
    std::optional<StationState::Field> focusedField() const
    {
        return focusRequests.isEmpty() ? std::nullopt : std::optional(focusRequests.last());
    }

    // Stops SERIAL_RX, TIM_SERIAL_CONNECT, TIM_HIDE_MSG and TIM_BACKUP.
    void stopTimers();

    // Opens a raw pseudo-terminal published as FOLDER/COM<n> and the station's serial port
    // on it, with the serial link selected (no supervision, no handshake).
    bool openSerialPeer(int portNumber = 7);
    PseudoTerminal &peer() { return m_peer; }

    // Writes bytes from the peer and waits until the station's serial port holds them all.
    bool feedSerial(const QByteArray &bytes, int timeoutMs = 2000);
    // Reads what the station wrote to the peer, waiting up to timeoutMs for at least
    // minBytes.
    QByteArray readSent(int minBytes = 1, int timeoutMs = 2000);
    // Serves events for the given real time.
    static void serve(int ms);

    // Turns logging on and returns the content of the clock's day's log (empty when none).
    void enableLog();
    QByteArray logBytes() const;
    QStringList logLines() const; // entry and header lines, CR LF removed

    // The options of a station in folder, on the given ports (0: the default) and changed
    // further by adjust; the window's fixture builds its station from them too.
    static StationOptions optionsIn(const QString &folder, quint16 udpPort, quint16 tcpPort,
                                    const std::function<void(StationOptions &)> &adjust);
    // What the window's controls hold before anything changes them, as its state starts.
    static void startAsTheWindowDoes(StationState &state);

private:
    QTemporaryDir m_dir;
    QString m_folder;
    std::unique_ptr<Station> m_station;
    PseudoTerminal m_peer;
};
