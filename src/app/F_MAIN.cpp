#include "app/F_MAIN.h"

#include "app/F_VIEW_USERS.h"
#include "app/Startup.h"
#include "app/TrayIcon.h"
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "config/TargetList.h"
#include "diag/PingTest.h"
#include "enroll/Enrollment.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateNumberRequest.h"
#include "enroll/TemplateStore.h"
#include "enroll/UserDeletion.h"
#include "link/Banner.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/SourceSender.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/ScriptLauncher.h"
#include "sync/NewUnitSync.h"
#include "sync/TemplateUpload.h"
#include "sync/UdpReceiver.h"
#include "sync/UnitUserList.h"

#include "app/DesktopOfTheWindows.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

namespace {

// Before main(): a part may ask for the desktop before the window is built.
const bool kDesktopQueriesInstalled = (installDesktopQueries(), true);

// -- Configuration and diagnostics (config/, diag/):
// Runs an action when its control loses the keyboard focus, except to a popup (the control's
// own context menu). Owned by the part the action calls, so that it goes with it: a control
// torn down after the part loses its focus without calling it.
class FocusOutFilter : public QObject
{
public:
    FocusOutFilter(QObject *control, QObject *owner, std::function<void()> action)
        : QObject(owner), m_action(std::move(action))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            m_action();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

F_MAIN::F_MAIN(const StationOptions &options, const StationPlatform &platform)
    : m_station(std::make_unique<Station>(options, platform))
{
    setObjectName(QStringLiteral("F_MAIN"));
    setWindowTitle(QString::fromLatin1(kCaption));
    buildControls();
    bindState();
    createParts();
    wireParts();
    connectHandlers();
}

F_MAIN::~F_MAIN()
{
    // The controls outlive the state (they go with the QWidget base): what they report while
    // they are torn down must not reach it.
    for (QObject *control : findChildren<QObject *>())
        QObject::disconnect(control, nullptr, this, nullptr);
}

void F_MAIN::createParts()
{
    // Constructors only connect signals; no part calls another before all exist.
    Station &s = station();
    // -- Source link (link/, log/):
    m_sender = std::make_unique<SourceSender>(s.state(), s.activityLog(), s.serial(), s.tcp());
    m_dispatcher =
        std::make_unique<ReceiveDispatcher>(s.state(), s.activityLog(), s.bannerLines(), s.waits(),
                                            s.serial(), s.tcp(), s.serialRxTimer());
    m_supervision = std::make_unique<Supervision>(s.state(), s.options(), s.clock(),
                                                  s.activityLog(), s.bannerLines(), s.waits(),
                                                  s.serial(), s.tcp(), s.serialConnectTimer());
    m_banner = std::make_unique<Banner>(s.state(), s.dialogs(), s.activityLog(), s.bannerLines(),
                                        s.hideMessageTimer());
    m_keyboardWedge = std::make_unique<KeyboardWedge>(s.state(), s.clock(), s.activityLog(),
                                                      s.bannerLines(), *m_dispatcher);
    // -- Enrollment and user management (enroll/):
    m_templateStore = std::make_unique<TemplateStore>(state());
    m_templateBackup =
        std::make_unique<TemplateBackup>(state(), activityLog(), bannerLines(), waits(), *m_sender,
                                         *m_templateStore, m_station->backupTimer());
    m_enrollment = std::make_unique<Enrollment>(state(), dialogs(), bannerLines(), waits(),
                                                *m_sender, *m_templateBackup);
    m_userDeletion =
        std::make_unique<UserDeletion>(state(), dialogs(), activityLog(), bannerLines(), *m_sender,
                                       *m_enrollment, *m_templateStore);
    // -- Synchronization (sync/), and the user list's request (enroll/):
    m_templateUpload = std::make_unique<TemplateUpload>(
        options(), *UDP_TX, activityLog(), bannerLines(), waits(), *m_sender, *m_templateStore);
    m_udpReceiver =
        std::make_unique<UdpReceiver>(m_state, *UDP_RX, *Serial, activityLog(), *m_templateStore);
    m_templateNumberRequest = std::make_unique<TemplateNumberRequest>(
        m_state, clock(), activityLog(), bannerLines(), waits(), *Serial, *TCP_SOURCE, *SERIAL_RX,
        *m_sender, *m_supervision);
    m_unitUserList = std::make_unique<UnitUserList>(m_state, clock(), dialogs(), waits(),
                                                    *m_supervision, *m_templateNumberRequest);
    m_newUnitSync = std::make_unique<NewUnitSync>(m_state, clock(), dialogs(), bannerLines(),
                                                  waits(), *m_templateStore, *m_templateUpload);
    // -- Configuration and diagnostics (config/, diag/):
    m_targetList = std::make_unique<TargetList>(state(), dialogs(), activityLog());
    m_modeSwitch = std::make_unique<ModeSwitch>(state(), dialogs(), activityLog(),
                                                m_station->udpRx(), *m_keyboardWedge);
    m_configFile = std::make_unique<ConfigFile>(state(), dialogs(), activityLog(), *m_targetList,
                                                *m_modeSwitch);
    m_pingTest =
        std::make_unique<PingTest>(state(), dialogs(), activityLog(), *m_templateBackup,
                                   [this]() -> ScriptLauncher & { return scriptLauncher(); });
    // The window's own.
    m_startup = std::make_unique<Startup>(*this);
    m_trayIcon = std::make_unique<TrayIcon>(*this);
}

void F_MAIN::wireParts()
{
    // What one part asks of another that it does not own or that sits above it: the part
    // emits a signal, connected here.
    // -- Source link (link/, log/):
    connect(m_supervision.get(), &Supervision::ticked, this, [this] { m_trayIcon->add(); });
    connect(m_supervision.get(), &Supervision::greetingWanted, this, [this] {
        m_enrollment->SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
    });
    connect(m_supervision.get(), &Supervision::settingsChanged, this,
            [this] { m_configFile->B_SAVE_CFG_Click(); });
    connect(m_dispatcher.get(), &ReceiveDispatcher::enrolledUserHeard, this,
            [this] { m_templateBackup->armTrigger(); });

    // -- Enrollment and user management (enroll/):
    connect(m_enrollment.get(), &Enrollment::deleteUserWanted, m_userDeletion.get(),
            &UserDeletion::deleteUser, Qt::DirectConnection);
    connect(
        m_userDeletion.get(), &UserDeletion::targetDatagramWanted, m_templateUpload.get(),
        [upload = m_templateUpload.get()](const QString &address, const QByteArray &datagram) {
            upload->setDestination(address);
            upload->TX_UDP(datagram);
        },
        Qt::DirectConnection);
    connect(m_templateBackup.get(), &TemplateBackup::uploadTemplateWanted, m_templateUpload.get(),
            &TemplateUpload::UPLOAD_TEMPLATE, Qt::DirectConnection);

    // -- Synchronization and the user list window (sync/):
    connect(m_unitUserList.get(), &UnitUserList::windowWanted, this, &F_MAIN::showUserListWindow);

    // -- Configuration and diagnostics (config/, diag/):
    connect(m_targetList.get(), &TargetList::settingsChanged, m_configFile.get(),
            &ConfigFile::B_SAVE_CFG_Click);
    connect(m_modeSwitch.get(), &ModeSwitch::settingsChanged, m_configFile.get(),
            &ConfigFile::B_SAVE_CFG_Click);
    connect(m_modeSwitch.get(), &ModeSwitch::udpPortWanted, m_startup.get(),
            &Startup::OPEN_UDP_PORT);
}

void F_MAIN::connectHandlers()
{
    // -- Source link (link/, log/):
    connect(B_RECONNECT, &QPushButton::clicked, this, &F_MAIN::B_RECONNECT_Click);
    connect(B_CONNECT_IP, &QPushButton::clicked, this, &F_MAIN::B_CONNECT_IP_Click);
    for (int i = 0; i < int(SW_COMM.size()); ++i)
        connect(SW_COMM[i], &QRadioButton::clicked, this, [this, i] { SW_COMM_Click(i); });

    // -- Enrollment and user management (enroll/):
    connect(B_USER_ENROLL, &QPushButton::clicked, this, &F_MAIN::B_USER_ENROLL_Click);
    connect(B_USER_DELETE, &QPushButton::clicked, this, &F_MAIN::B_USER_DELETE_Click);
    connect(B_BACKUP_TO_FILE, &QPushButton::clicked, this, &F_MAIN::B_BACKUP_TO_FILE_Click);

    // -- Synchronization and the user list window (sync/):
    connect(B_UPLOAD_TST, &QPushButton::clicked, this, &F_MAIN::B_UPLOAD_TST_Click);
    connect(B_SYNCHRONIZE_NEW_UNIT, &QPushButton::clicked, this,
            &F_MAIN::B_SYNCHRONIZE_NEW_UNIT_Click);
    connect(B_VIEW_TEMPLATES, &QPushButton::clicked, this, &F_MAIN::B_VIEW_TEMPLATES_Click);
    connect(B_TCP_VIEW_USR_LST, &QPushButton::clicked, this, &F_MAIN::B_TCP_VIEW_USR_LST_Click);
    connect(B_REQ_TMP_NO, &QPushButton::clicked, this, &F_MAIN::B_REQ_TMP_NO_Click);

    // -- Configuration and diagnostics (config/, diag/):
    connect(B_SAVE_CFG, &QPushButton::clicked, this, &F_MAIN::B_SAVE_CFG_Click);
    connect(B_EDIT_DIR_TEMPLATE, &QPushButton::clicked, this, &F_MAIN::B_EDIT_DIR_TEMPLATE_Click);
    connect(B_IP_ADD, &QPushButton::clicked, this, &F_MAIN::B_IP_ADD_Click);
    connect(B_EDIT_TERM, &QPushButton::clicked, this, &F_MAIN::B_EDIT_TERM_Click);
    connect(B_IP_DEL, &QPushButton::clicked, this, &F_MAIN::B_IP_DEL_Click);
    // A click on an entry chooses it, even the one already chosen; the keyboard moving the
    // selection reaches the target list through the state.
    connect(LST_IP, &QListWidget::itemClicked, this, &F_MAIN::LST_IP_Click);
    // Enter on the entry that has the focus chooses it, as a click would.
    connect(LST_IP, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { LST_IP->setCurrentItem(item); });
    for (int i = 0; i < int(SW_MODE.size()); ++i)
        connect(SW_MODE[i], &QRadioButton::clicked, this, [this, i] { SW_MODE_Click(i); });
    connect(B_OK_PASSWORD, &QPushButton::clicked, this, &F_MAIN::B_OK_PASSWORD_Click);
    connect(INP_PASSWORD, &QLineEdit::returnPressed, this, &F_MAIN::INP_PASSWORD_KeyPress);
    connect(B_RESET_PASSWORD, &QPushButton::clicked, this, &F_MAIN::B_RESET_PASSWORD_Click);
    // Leaving the box saves, whether or not its text changed.
    new FocusOutFilter(INP_PREFIX, m_modeSwitch.get(), [this] { INP_PREFIX_LostFocus(); });
    new FocusOutFilter(INP_SUFFIX, m_modeSwitch.get(), [this] { INP_SUFFIX_LostFocus(); });
    connect(B_PING, &QPushButton::clicked, this, &F_MAIN::B_PING_Click);
    connect(B_LOAD_TST, &QPushButton::clicked, this, &F_MAIN::B_LOAD_TST_Click);
}

// -- Handlers of the source link (link/, log/):
void F_MAIN::B_RECONNECT_Click()
{
    m_supervision->B_RECONNECT_Click();
}

void F_MAIN::B_CONNECT_IP_Click()
{
    m_supervision->B_CONNECT_IP_Click();
}

void F_MAIN::SW_COMM_Click(int Index)
{
    m_supervision->SW_COMM_Click(Index);
}

// -- Handlers of enrollment and user management (enroll/):
void F_MAIN::B_USER_ENROLL_Click()
{
    m_enrollment->B_USER_ENROLL_Click();
}

void F_MAIN::B_USER_DELETE_Click()
{
    m_userDeletion->B_USER_DELETE_Click();
}

void F_MAIN::B_BACKUP_TO_FILE_Click()
{
    m_templateBackup->B_BACKUP_TO_FILE_Click();
}

// -- Handlers of synchronization and the user list window (sync/):

void F_MAIN::B_UPLOAD_TST_Click()
{
    m_templateUpload->B_UPLOAD_TST_Click();
}

void F_MAIN::B_SYNCHRONIZE_NEW_UNIT_Click()
{
    m_newUnitSync->B_SYNCHRONIZE_NEW_UNIT_Click();
}

void F_MAIN::B_VIEW_TEMPLATES_Click()
{
    m_unitUserList->B_VIEW_TEMPLATES_Click();
}

void F_MAIN::B_TCP_VIEW_USR_LST_Click()
{
    m_unitUserList->B_TCP_VIEW_USR_LST_Click();
}

void F_MAIN::B_REQ_TMP_NO_Click()
{
    m_templateNumberRequest->B_REQ_TMP_NO_Click();
}

void F_MAIN::showUserListWindow()
{
    F_VIEW_USERS window(*this);
    window.move(geometry().center() - window.rect().center());
    window.exec();
    // Closed by any means (OK, close box, Escape): the serial link is selected again.
    window.Form_Unload();
}

// -- Handlers of configuration and diagnostics (config/, diag/):

void F_MAIN::B_SAVE_CFG_Click()
{
    m_configFile->B_SAVE_CFG_Click();
}

void F_MAIN::B_EDIT_DIR_TEMPLATE_Click()
{
    m_configFile->B_EDIT_DIR_TEMPLATE_Click();
}

void F_MAIN::B_IP_ADD_Click()
{
    m_targetList->B_IP_ADD_Click();
}

void F_MAIN::B_EDIT_TERM_Click()
{
    m_targetList->B_EDIT_TERM_Click();
}

void F_MAIN::B_IP_DEL_Click()
{
    m_targetList->B_IP_DEL_Click();
}

void F_MAIN::LST_IP_Click()
{
    m_targetList->LST_IP_Click();
}

void F_MAIN::SW_MODE_Click(int Index)
{
    m_modeSwitch->SW_MODE_Click(Index);
}

void F_MAIN::B_OK_PASSWORD_Click()
{
    m_modeSwitch->B_OK_PASSWORD_Click();
}

void F_MAIN::INP_PASSWORD_KeyPress()
{
    m_modeSwitch->INP_PASSWORD_KeyPress();
}

void F_MAIN::B_RESET_PASSWORD_Click()
{
    m_modeSwitch->B_RESET_PASSWORD_Click();
}

void F_MAIN::INP_PREFIX_LostFocus()
{
    m_modeSwitch->INP_PREFIX_LostFocus();
}

void F_MAIN::INP_SUFFIX_LostFocus()
{
    m_modeSwitch->INP_SUFFIX_LostFocus();
}

void F_MAIN::B_PING_Click()
{
    m_pingTest->B_PING_Click();
}

void F_MAIN::B_LOAD_TST_Click()
{
    m_pingTest->B_LOAD_TST_Click();
}

void F_MAIN::AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER)
{
    m_station->AFF_LOG_MSG(LIGNE, LINE_NUMBER);
}

void F_MAIN::ID_PAUSE(double ID_DELAY)
{
    m_station->ID_PAUSE(ID_DELAY);
}

void F_MAIN::WRITE_LOG(const QString &text)
{
    m_station->WRITE_LOG(text);
}

void F_MAIN::SHOW_MAIN_WINDOW()
{
    m_startup->SHOW_MAIN_WINDOW();
}

bool F_MAIN::serialSelected() const
{
    return SW_COMM[0]->isChecked();
}

bool F_MAIN::enrollModeSelected() const
{
    return SW_MODE[0]->isChecked();
}

bool F_MAIN::readModeSelected() const
{
    return SW_MODE[1]->isChecked();
}

void F_MAIN::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_startup)
        m_startup->Form_Resize();
}

void F_MAIN::closeEvent(QCloseEvent *event)
{
    if (m_startup && !m_startup->Form_Unload())
        event->ignore();
    else
        event->accept();
}
