#pragma once

#include "station/StationOptions.h"
#include "station/StationState.h"

#include <QObject>
#include <memory>

class QTimer;
class QUdpSocket;

class ActivityLog;
class BannerLines;
class Waits;
class SerialLink;
class TcpLink;
class ScriptLauncher;

// The station without a window: its state, its links, sockets and timers, its services and
// its parts, wired to one another. The window (F_MAIN) and the headless program are views of
// it; neither is needed for it to work.
class Station : public QObject
{
    Q_OBJECT
public:
    Station(const StationOptions &options, const StationPlatform &platform,
            QObject *parent = nullptr);
    ~Station() override;

    StationState &state() { return m_state; }
    const StationState &state() const { return m_state; }
    const StationOptions &options() const { return m_options; }
    Clock &clock() const { return m_platform.clock; }
    Dialogs &dialogs() const { return m_platform.dialogs; }
    // Starts command scripts in a console window: the system's, unless tests set another.
    ScriptLauncher &scriptLauncher() const { return *m_scriptLauncher; }
    void setScriptLauncher(ScriptLauncher &launcher) { m_scriptLauncher = &launcher; }

    // The links, sockets and timers of the design (Serial, SerialTST, TCP_SOURCE, UDP_RX,
    // UDP_TX, SERIAL_RX, TIM_SERIAL_CONNECT, TIM_HIDE_MSG, TIM_BACKUP).
    SerialLink &serial() const { return *m_serial; }
    SerialLink &serialTst() const { return *m_serialTst; } // a second port that nothing opens
    TcpLink &tcp() const { return *m_tcp; }
    QUdpSocket &udpRx() const { return *m_udpRx; }
    QUdpSocket &udpTx() const { return *m_udpTx; }
    QTimer &serialRxTimer() const { return *m_serialRx; }
    QTimer &serialConnectTimer() const { return *m_serialConnect; }
    QTimer &hideMessageTimer() const { return *m_hideMessage; }
    QTimer &backupTimer() const { return *m_backup; }

    // The services every part uses.
    ActivityLog &activityLog() const { return *m_activityLog; }
    BannerLines &bannerLines() const { return *m_bannerLines; }
    Waits &waits() const { return *m_waits; }
    void AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER);
    void ID_PAUSE(double ID_DELAY);
    void WRITE_LOG(const QString &text);

    // The parts.
    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization (sync/):

    // -- Configuration and diagnostics (config/, diag/):

private:
    void createParts();
    void wireParts();

    StationOptions m_options;
    StationPlatform m_platform;
    StationState m_state;

    SerialLink *m_serial = nullptr;
    SerialLink *m_serialTst = nullptr;
    TcpLink *m_tcp = nullptr;
    QUdpSocket *m_udpRx = nullptr;
    QUdpSocket *m_udpTx = nullptr;
    QTimer *m_serialRx = nullptr;
    QTimer *m_serialConnect = nullptr;
    QTimer *m_hideMessage = nullptr;
    QTimer *m_backup = nullptr;

    std::unique_ptr<ActivityLog> m_activityLog;
    std::unique_ptr<BannerLines> m_bannerLines;
    std::unique_ptr<Waits> m_waits;
    std::unique_ptr<ScriptLauncher> m_systemScriptLauncher;
    ScriptLauncher *m_scriptLauncher = nullptr;

    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization (sync/):

    // -- Configuration and diagnostics (config/, diag/):
};
