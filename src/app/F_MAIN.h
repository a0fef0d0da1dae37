#pragma once

#include "station/Station.h"

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QUdpSocket;

class SerialLink;
class TcpLink;
class ActivityLog;
class BannerLines;
class Waits;
class SourceSender;
class ReceiveDispatcher;
class Supervision;
class Banner;
class TemplateStore;
class Enrollment;
class UserDeletion;
class TemplateBackup;
class TemplateUpload;
class ConfigFile;
class TargetList;
class ModeSwitch;
class Startup;
class TrayIcon;
class UdpReceiver;
class KeyboardWedge;
class TemplateNumberRequest;
class UnitUserList;
class NewUnitSync;
class PingTest;
class ScriptLauncher;

// The notification-area icon's data, filled once at start-up.
struct TrayIconData
{
    quint32 size = 0;
    WId window = 0;
    quint32 id = 0;
    quint32 flags = 0;
    quint32 callbackMessage = 0;
    QIcon icon;
    QString tip; // 64 characters once filled
};

// The main window. It owns the controls, the form-level state and the parts that give them
// behaviour; each part lives in its subsystem's folder and reaches the window and the other
// parts through the reference it is given.
class F_MAIN : public QWidget
{
    Q_OBJECT
public:
    static constexpr qint16 True = -1;
    static constexpr const char *kCaption = StationState::kCaption;

    F_MAIN(const StationOptions &options, const StationPlatform &platform);
    ~F_MAIN() override;

    // The station this window shows.
    Station &station() const { return *m_station; }
    const StationOptions &options() const { return m_station->options(); }
    Clock &clock() const { return m_station->clock(); }
    Dialogs &dialogs() const { return m_station->dialogs(); }
    // Starts command scripts in a console window: the system's, unless tests set another.
    ScriptLauncher &scriptLauncher() const { return m_station->scriptLauncher(); }
    void setScriptLauncher(ScriptLauncher &launcher) { m_station->setScriptLauncher(launcher); }

    // The parts.
    SerialLink &serial() const { return *Serial; }
    TcpLink &tcp() const { return *TCP_SOURCE; }
    ActivityLog &activityLog() const { return m_station->activityLog(); }
    BannerLines &bannerLines() const { return m_station->bannerLines(); }
    Waits &waits() const { return m_station->waits(); }
    SourceSender &sender() const { return m_station->sender(); }
    ReceiveDispatcher &dispatcher() const { return m_station->dispatcher(); }
    Supervision &supervision() const { return m_station->supervision(); }
    Banner &banner() const { return m_station->banner(); }
    TemplateStore &templateStore() const { return m_station->templateStore(); }
    Enrollment &enrollment() const { return m_station->enrollment(); }
    UserDeletion &userDeletion() const { return m_station->userDeletion(); }
    TemplateBackup &templateBackup() const { return m_station->templateBackup(); }
    TemplateUpload &templateUpload() const { return m_station->templateUpload(); }
    ConfigFile &configFile() const { return m_station->configFile(); }
    TargetList &targetList() const { return m_station->targetList(); }
    ModeSwitch &modeSwitch() const { return m_station->modeSwitch(); }
    Startup &startup() const { return *m_startup; }
    TrayIcon &trayIcon() const { return *m_trayIcon; }
    UdpReceiver &udpReceiver() const { return m_station->udpReceiver(); }
    KeyboardWedge &keyboardWedge() const { return m_station->keyboardWedge(); }
    TemplateNumberRequest &templateNumberRequest() const
    {
        return m_station->templateNumberRequest();
    }
    UnitUserList &unitUserList() const { return m_station->unitUserList(); }
    NewUnitSync &newUnitSync() const { return m_station->newUnitSync(); }
    PingTest &pingTest() const { return m_station->pingTest(); }

    // Shortcuts to the services that almost every part uses.
    void AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER);
    void ID_PAUSE(double ID_DELAY);
    void WRITE_LOG(const QString &text);
    void SHOW_MAIN_WINDOW();

private:
    std::unique_ptr<Station> m_station; // before the references into it below
    StationState &m_state = m_station->state();

public:
    // The station's shared state; the controls below show it.
    StationState &state() { return m_state; }
    const StationState &state() const { return m_state; }

    // Form-level variables, kept in the state.
    QByteArray &RX_SCORE = m_state.RX_SCORE;
    qint16 &TRELVANE_LOAD = m_state.TRELVANE_LOAD;
    QByteArray &RX_EMPREINTE = m_state.RX_EMPREINTE;
    QString &ID_IP = m_state.ID_IP;
    qint16 &ID_LOAD_CFG = m_state.ID_LOAD_CFG;
    QString &LST_USER_NUMBER = m_state.LST_USER_NUMBER;
    QByteArray &LST_RX_TEMPLATE = m_state.LST_RX_TEMPLATE;
    qint16 &LST_RX_TEMPLATE_NUMBER = m_state.LST_RX_TEMPLATE_NUMBER;
    TrayIconData TRAY_ICON_DATA;
    qint32 TRAY_EVENT = 0;

    // Controls directly on the window.
    QPushButton *B_EDIT_DIR_TEMPLATE = nullptr;
    QGroupBox *FR_MSG = nullptr;
    QGroupBox *FR_TCP = nullptr;
    QGroupBox *FR_COMM = nullptr;
    QGroupBox *FR_TARGET = nullptr;
    QGroupBox *FR_SOURCE = nullptr;
    QLabel *AFF_DIR_TEMPLATES = nullptr;
    QLabel *AFF_CURDIR = nullptr;

    // In FR_MSG: the banner.
    QGroupBox *Frame2 = nullptr;
    QTimer *TIM_HIDE_MSG = nullptr;
    QString &TIM_HIDE_MSG_Tag = m_state.bannerCountdown; // the banner countdown
    std::array<QLabel *, 3> AFF_MSG{};                   // 0, 1: banner lines; 2: in FR_ERROR
    QGroupBox *Frame1 = nullptr;
    std::array<QLabel *, 10> PIC_MSG_LIST{};
    QLabel *PIC_MSG = nullptr;

    // In FR_TCP.
    QPushButton *B_CONNECT_IP = nullptr;
    QLineEdit *INP_IP = nullptr;
    TcpLink *TCP_SOURCE = nullptr;
    QLabel *AFF_TCP_STATUS = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;

    // In FR_COMM.
    QPushButton *B_LOAD_TST = nullptr;
    std::array<QRadioButton *, 2> SW_COMM{};

    // In FR_TARGET.
    QPushButton *B_TCP_VIEW_USR_LST = nullptr;
    QPushButton *B_PING = nullptr;
    QPushButton *B_SAVE_TEMPLATES = nullptr;
    QPushButton *B_REQ_TMP_NO = nullptr;
    QLabel *pichook = nullptr;
    QUdpSocket *UDP_RX = nullptr;
    QPushButton *B_EDIT_TERM = nullptr;
    QGroupBox *FR_ENR_QUALITY = nullptr;
    std::array<QLabel *, 2> Label8{};
    QLabel *AFF_SCORE = nullptr;
    QPushButton *B_UPLOAD_TST = nullptr;
    QPushButton *B_BACKUP_TO_FILE = nullptr;
    QPushButton *B_IP_DEL = nullptr;
    QPushButton *B_IP_ADD = nullptr;
    QUdpSocket *UDP_TX = nullptr;
    QListWidget *LST_IP = nullptr;
    QLabel *Label15 = nullptr;
    QLabel *Label9 = nullptr;
    std::array<QLabel *, 5> Label3{};

    // In FR_SOURCE.
    QPushButton *B_SAVE_CFG = nullptr;
    QGroupBox *FR_PASSWORD = nullptr;
    QPushButton *B_OK_PASSWORD = nullptr;
    QLineEdit *INP_PASSWORD = nullptr;
    QLabel *Label14 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QPushButton *B_RESET_PASSWORD = nullptr;
    std::array<QRadioButton *, 2> SW_MODE{};
    QGroupBox *FR_ERROR = nullptr;
    QCheckBox *SW_LOG = nullptr;
    QGroupBox *FR_MANAGE_USR = nullptr;
    QPushButton *B_SYNCHRONIZE_NEW_UNIT = nullptr;
    QTimer *TIM_BACKUP = nullptr;
    QLineEdit *INP_USER_NUMBER = nullptr;
    QPushButton *B_USER_ENROLL = nullptr;
    QPushButton *B_USER_DELETE = nullptr;
    QPushButton *B_VIEW_TEMPLATES = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label7 = nullptr;
    QGroupBox *FR_SERIAL = nullptr;
    QPushButton *B_RECONNECT = nullptr;
    SerialLink *Serial = nullptr;
    SerialLink *SerialTST = nullptr; // a second port object that nothing opens
    QTimer *SERIAL_RX = nullptr;
    QTimer *TIM_SERIAL_CONNECT = nullptr;
    QLineEdit *INP_SERIAL_PORT = nullptr;
    QLabel *AFF_SERIAL_STATUS = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *FR_READ_MODE = nullptr;
    QLineEdit *INP_SUFFIX = nullptr;
    QLineEdit *INP_PREFIX = nullptr;
    QLabel *Label13 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *AFF_LST_USER = nullptr;
    QLabel *AFF_IP_SERVER = nullptr;
    QLabel *AFF_LST_USER_DATE = nullptr;
    QLabel *AFF_LST_USER_TIME = nullptr;
    QLabel *Label12 = nullptr;
    QLabel *Label10 = nullptr;

    // The selected link and mode, as the controls say.
    bool serialSelected() const;
    bool enrollModeSelected() const;
    bool readModeSelected() const;

    // The controls' handlers, each forwarding to the part that does the work.
    // -- Source link (link/, log/):
    void B_RECONNECT_Click();
    void B_CONNECT_IP_Click();
    void SW_COMM_Click(int Index);

    // -- Enrollment and user management (enroll/):
    void B_USER_ENROLL_Click();
    void B_USER_DELETE_Click();
    void B_BACKUP_TO_FILE_Click(); // a hidden button

    // -- Synchronization and the user list window (sync/):
    void B_UPLOAD_TST_Click();
    void B_SYNCHRONIZE_NEW_UNIT_Click();
    void B_VIEW_TEMPLATES_Click();
    void B_TCP_VIEW_USR_LST_Click();
    void B_REQ_TMP_NO_Click();
    // Shows the unit's users in the modal user list window, centred on this one; returns when
    // it has closed.
    void showUserListWindow();
    // In Frame2, under the banner lines: a new unit's synchronization progress.
    QProgressBar *PRG_SYNC_NEW_UNIT = nullptr;

    // -- Configuration and diagnostics (config/, diag/):
    void B_SAVE_CFG_Click();
    void B_EDIT_DIR_TEMPLATE_Click();
    void B_IP_ADD_Click();
    void B_EDIT_TERM_Click();
    void B_IP_DEL_Click();
    void LST_IP_Click();
    void SW_MODE_Click(int Index);
    void B_OK_PASSWORD_Click();
    void INP_PASSWORD_KeyPress();
    void B_RESET_PASSWORD_Click();
    void INP_PREFIX_LostFocus();
    void INP_SUFFIX_LostFocus();
    void B_PING_Click();
    void B_LOAD_TST_Click();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls(); // creates every control, in MainWindowLayout.cpp
    void applyArtwork();
    void nameForAssistiveTechnology();
    void createParts();
    void wireParts();
    // Shows the state in the controls, and what the operator types or ticks in the state
    // (StateView.cpp).
    void bindState();
    void showStateField(StationState::Field field);
    void showTargets();
    void focusField(StationState::Field field);
    // Connects the controls to their handlers (F_MAIN.cpp).
    void connectHandlers();

    bool m_showingTargets = false; // the list is being drawn from the state
    bool m_takingTargets = false;  // the state is taking a change of the list
    // Source link: the window was disabled and not drawn so since; the next immediate
    // drawing draws all of it, later ones only the banner (the rest does not change).
    bool m_disabledWindowUndrawn = false;

    std::unique_ptr<Startup> m_startup;
    std::unique_ptr<TrayIcon> m_trayIcon;
};
