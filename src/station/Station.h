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
class SourceSender;
class ReceiveDispatcher;
class Supervision;
class Banner;
class KeyboardWedge;
class TemplateStore;
class TemplateBackup;
class Enrollment;
class UserDeletion;
class TemplateNumberRequest;
class TemplateUpload;
class UdpReceiver;
class UnitUserList;
class NewUnitSync;
class TargetList;
class ModeSwitch;
class ConfigFile;
class PingTest;

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

    // Binds UDP_RX to the station's UDP port (read mode); reports a failure in a box. True
    // when bound.
    bool OPEN_UDP_PORT();

    // The parts.
    SourceSender &sender() const { return *m_sender; }
    ReceiveDispatcher &dispatcher() const { return *m_dispatcher; }
    Supervision &supervision() const { return *m_supervision; }
    Banner &banner() const { return *m_banner; }
    KeyboardWedge &keyboardWedge() const { return *m_keyboardWedge; }
    TemplateStore &templateStore() const { return *m_templateStore; }
    TemplateBackup &templateBackup() const { return *m_templateBackup; }
    Enrollment &enrollment() const { return *m_enrollment; }
    UserDeletion &userDeletion() const { return *m_userDeletion; }
    TemplateNumberRequest &templateNumberRequest() const { return *m_templateNumberRequest; }
    TemplateUpload &templateUpload() const { return *m_templateUpload; }
    UdpReceiver &udpReceiver() const { return *m_udpReceiver; }
    UnitUserList &unitUserList() const { return *m_unitUserList; }
    NewUnitSync &newUnitSync() const { return *m_newUnitSync; }
    TargetList &targetList() const { return *m_targetList; }
    ModeSwitch &modeSwitch() const { return *m_modeSwitch; }
    ConfigFile &configFile() const { return *m_configFile; }
    PingTest &pingTest() const { return *m_pingTest; }

signals:
    // The source link supervision ticked (each second): the notification area may have lost
    // the tray icon meanwhile.
    void supervisionTicked();

private:
    void createParts();
    // What holds a port that is taken, when the system tells, and what the operator can do.
    static QString portTakenAdvice(const QUdpSocket &socket, quint16 port);
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

    std::unique_ptr<SourceSender> m_sender;
    std::unique_ptr<ReceiveDispatcher> m_dispatcher;
    std::unique_ptr<Supervision> m_supervision;
    std::unique_ptr<Banner> m_banner;
    std::unique_ptr<KeyboardWedge> m_keyboardWedge;
    std::unique_ptr<TemplateStore> m_templateStore;
    std::unique_ptr<TemplateBackup> m_templateBackup;
    std::unique_ptr<Enrollment> m_enrollment;
    std::unique_ptr<UserDeletion> m_userDeletion;
    std::unique_ptr<TemplateNumberRequest> m_templateNumberRequest;
    std::unique_ptr<TemplateUpload> m_templateUpload;
    std::unique_ptr<UdpReceiver> m_udpReceiver;
    std::unique_ptr<UnitUserList> m_unitUserList;
    std::unique_ptr<NewUnitSync> m_newUnitSync;
    std::unique_ptr<TargetList> m_targetList;
    std::unique_ptr<ModeSwitch> m_modeSwitch;
    std::unique_ptr<ConfigFile> m_configFile;
    std::unique_ptr<PingTest> m_pingTest;
};
