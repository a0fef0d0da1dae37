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

#include <QCloseEvent>
#include <QPushButton>
#include <QRadioButton>

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
    m_sender = std::make_unique<SourceSender>(*this);
    m_dispatcher = std::make_unique<ReceiveDispatcher>(*this);
    m_supervision = std::make_unique<Supervision>(*this);
    m_banner = std::make_unique<Banner>(*this);
    m_templateStore = std::make_unique<TemplateStore>(*this);
    m_enrollment = std::make_unique<Enrollment>(*this);
    m_userDeletion = std::make_unique<UserDeletion>(*this);
    m_templateBackup = std::make_unique<TemplateBackup>(*this);
    // -- Synchronization (sync/), and the user list's request (enroll/):
    m_templateUpload = std::make_unique<TemplateUpload>(
        options(), *UDP_TX, activityLog(), bannerLines(), waits(), *m_sender, *m_templateStore);
    m_configFile = std::make_unique<ConfigFile>(*this);
    m_targetList = std::make_unique<TargetList>(*this);
    m_modeSwitch = std::make_unique<ModeSwitch>(*this);
    m_startup = std::make_unique<Startup>(*this);
    m_trayIcon = std::make_unique<TrayIcon>(*this);
    m_udpReceiver =
        std::make_unique<UdpReceiver>(m_state, *UDP_RX, *Serial, activityLog(), *m_templateStore);
    m_keyboardWedge = std::make_unique<KeyboardWedge>(*this);
    m_templateNumberRequest = std::make_unique<TemplateNumberRequest>(
        m_state, clock(), activityLog(), bannerLines(), waits(), *Serial, *TCP_SOURCE, *SERIAL_RX,
        *m_sender, *m_supervision);
    m_unitUserList = std::make_unique<UnitUserList>(m_state, clock(), dialogs(), waits(),
                                                    *m_supervision, *m_templateNumberRequest);
    m_newUnitSync = std::make_unique<NewUnitSync>(m_state, clock(), dialogs(), bannerLines(),
                                                  waits(), *m_templateStore, *m_templateUpload);
    m_pingTest = std::make_unique<PingTest>(*this);
}

void F_MAIN::wireParts()
{
    // What one part asks of another that it does not own or that sits above it: the part
    // emits a signal, connected here.
    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization and the user list window (sync/):
    connect(m_unitUserList.get(), &UnitUserList::windowWanted, this, &F_MAIN::showUserListWindow);

    // -- Configuration and diagnostics (config/, diag/):
}

void F_MAIN::connectHandlers()
{
    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization and the user list window (sync/):
    connect(B_UPLOAD_TST, &QPushButton::clicked, this, &F_MAIN::B_UPLOAD_TST_Click);
    connect(B_SYNCHRONIZE_NEW_UNIT, &QPushButton::clicked, this,
            &F_MAIN::B_SYNCHRONIZE_NEW_UNIT_Click);
    connect(B_VIEW_TEMPLATES, &QPushButton::clicked, this, &F_MAIN::B_VIEW_TEMPLATES_Click);
    connect(B_TCP_VIEW_USR_LST, &QPushButton::clicked, this, &F_MAIN::B_TCP_VIEW_USR_LST_Click);
    connect(B_REQ_TMP_NO, &QPushButton::clicked, this, &F_MAIN::B_REQ_TMP_NO_Click);

    // -- Configuration and diagnostics (config/, diag/):
}

// -- Handlers of the source link (link/, log/):

// -- Handlers of enrollment and user management (enroll/):

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
