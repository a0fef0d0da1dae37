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
    // The station's parts live in the Station; the window adds its own.
    m_startup = std::make_unique<Startup>(*this);
    m_trayIcon = std::make_unique<TrayIcon>(*this);
}

void F_MAIN::wireParts()
{
    // What the station asks of the window.
    connect(m_station.get(), &Station::supervisionTicked, this, [this] { m_trayIcon->add(); });
    connect(&unitUserList(), &UnitUserList::windowWanted, this, &F_MAIN::showUserListWindow);
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
    new FocusOutFilter(INP_PREFIX, &modeSwitch(), [this] { INP_PREFIX_LostFocus(); });
    new FocusOutFilter(INP_SUFFIX, &modeSwitch(), [this] { INP_SUFFIX_LostFocus(); });
    connect(B_PING, &QPushButton::clicked, this, &F_MAIN::B_PING_Click);
    connect(B_LOAD_TST, &QPushButton::clicked, this, &F_MAIN::B_LOAD_TST_Click);
}

// -- Handlers of the source link (link/, log/):
void F_MAIN::B_RECONNECT_Click()
{
    supervision().B_RECONNECT_Click();
}

void F_MAIN::B_CONNECT_IP_Click()
{
    supervision().B_CONNECT_IP_Click();
}

void F_MAIN::SW_COMM_Click(int Index)
{
    supervision().SW_COMM_Click(Index);
}

// -- Handlers of enrollment and user management (enroll/):
void F_MAIN::B_USER_ENROLL_Click()
{
    enrollment().B_USER_ENROLL_Click();
}

void F_MAIN::B_USER_DELETE_Click()
{
    userDeletion().B_USER_DELETE_Click();
}

void F_MAIN::B_BACKUP_TO_FILE_Click()
{
    templateBackup().B_BACKUP_TO_FILE_Click();
}

// -- Handlers of synchronization and the user list window (sync/):

void F_MAIN::B_UPLOAD_TST_Click()
{
    templateUpload().B_UPLOAD_TST_Click();
}

void F_MAIN::B_SYNCHRONIZE_NEW_UNIT_Click()
{
    newUnitSync().B_SYNCHRONIZE_NEW_UNIT_Click();
}

void F_MAIN::B_VIEW_TEMPLATES_Click()
{
    unitUserList().B_VIEW_TEMPLATES_Click();
}

void F_MAIN::B_TCP_VIEW_USR_LST_Click()
{
    unitUserList().B_TCP_VIEW_USR_LST_Click();
}

void F_MAIN::B_REQ_TMP_NO_Click()
{
    templateNumberRequest().B_REQ_TMP_NO_Click();
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
    configFile().B_SAVE_CFG_Click();
}

void F_MAIN::B_EDIT_DIR_TEMPLATE_Click()
{
    configFile().B_EDIT_DIR_TEMPLATE_Click();
}

void F_MAIN::B_IP_ADD_Click()
{
    targetList().B_IP_ADD_Click();
}

void F_MAIN::B_EDIT_TERM_Click()
{
    targetList().B_EDIT_TERM_Click();
}

void F_MAIN::B_IP_DEL_Click()
{
    targetList().B_IP_DEL_Click();
}

void F_MAIN::LST_IP_Click()
{
    targetList().LST_IP_Click();
}

void F_MAIN::SW_MODE_Click(int Index)
{
    modeSwitch().SW_MODE_Click(Index);
}

void F_MAIN::B_OK_PASSWORD_Click()
{
    modeSwitch().B_OK_PASSWORD_Click();
}

void F_MAIN::INP_PASSWORD_KeyPress()
{
    modeSwitch().INP_PASSWORD_KeyPress();
}

void F_MAIN::B_RESET_PASSWORD_Click()
{
    modeSwitch().B_RESET_PASSWORD_Click();
}

void F_MAIN::INP_PREFIX_LostFocus()
{
    modeSwitch().INP_PREFIX_LostFocus();
}

void F_MAIN::INP_SUFFIX_LostFocus()
{
    modeSwitch().INP_SUFFIX_LostFocus();
}

void F_MAIN::B_PING_Click()
{
    pingTest().B_PING_Click();
}

void F_MAIN::B_LOAD_TST_Click()
{
    pingTest().B_LOAD_TST_Click();
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
