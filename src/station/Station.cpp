#include "station/Station.h"

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
#include "platform/Dialogs.h"
#include "platform/ScriptLauncher.h"
#include "platform/UdpPortHolder.h"
#include "sync/NewUnitSync.h"
#include "sync/TemplateUpload.h"
#include "sync/UdpReceiver.h"
#include "sync/UnitUserList.h"

#include <QCoreApplication>

#include <QTimer>
#include <QUdpSocket>

namespace {

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QTimer *timer(QObject *parent, const char *name, int intervalMs)
{
    auto *t = named(new QTimer(parent), name);
    t->setInterval(intervalMs);
    return t;
}

} // namespace

Station::Station(const StationOptions &options, const StationPlatform &platform, QObject *parent)
    : QObject(parent), m_options(options), m_platform(platform)
{
    setObjectName(QStringLiteral("Station"));
    m_serial = named(new SerialLink(this), "Serial");
    m_serialTst = named(new SerialLink(this), "SerialTST");
    m_tcp = named(new TcpLink(this), "TCP_SOURCE");
    m_udpRx = named(new QUdpSocket(this), "UDP_RX");
    m_udpTx = named(new QUdpSocket(this), "UDP_TX");
    m_serialRx = timer(this, "SERIAL_RX", 1);
    m_serialConnect = timer(this, "TIM_SERIAL_CONNECT", 1000);
    m_hideMessage = timer(this, "TIM_HIDE_MSG", 1000);
    m_backup = timer(this, "TIM_BACKUP", 0);
    createParts();
    wireParts();
}

Station::~Station() = default;

bool Station::OPEN_UDP_PORT()
{
    constexpr double kBindSettleSeconds = 0.2;
    QUdpSocket &socket = *m_udpRx;
    const quint16 port = m_options.udpPort;
    // Exclusive: a port that another program (or another station) holds is reported, not
    // shared.
    const auto bindPort = [&socket, port] {
        return socket.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
    };

    socket.close();
    QCoreApplication::processEvents();
    bindPort();
    QCoreApplication::processEvents();
    ID_PAUSE(kBindSettleSeconds);
    if (socket.state() == QAbstractSocket::BoundState || bindPort())
        return true;

    emit m_state.windowWanted();
    dialogs().messageBox(QStringLiteral("ERROR: UDP PORT %1 not available !\r\n").arg(port) +
                             socket.errorString() + portTakenAdvice(socket, port),
                         QString(), Dialogs::Icon::None);
    return false;
}

QString Station::portTakenAdvice(const QUdpSocket &socket, quint16 port)
{
    if (socket.error() != QAbstractSocket::AddressInUseError)
        return {};
    QString advice = QStringLiteral("\r\n");
    const UdpPortHolder::Process holder = UdpPortHolder::find(port);
    if (holder.pid > 0)
        advice += QStringLiteral("It is held by %1 (process %2).\r\n")
                      .arg(holder.name.isEmpty() ? QStringLiteral("a program") : holder.name)
                      .arg(holder.pid);
    return advice + QStringLiteral("another program on this PC uses UDP port %1: close it or use "
                                   "read mode on one station only")
                        .arg(port);
}

void Station::createParts()
{
    // Constructors only connect signals; no part calls another before all exist.
    m_activityLog = std::make_unique<ActivityLog>(m_state, clock());
    m_bannerLines = std::make_unique<BannerLines>(m_state);
    m_waits = std::make_unique<Waits>(clock());
    m_systemScriptLauncher = std::make_unique<SystemScriptLauncher>();
    m_scriptLauncher = m_systemScriptLauncher.get();
    // The source link.
    m_sender = std::make_unique<SourceSender>(m_state, *m_activityLog, *m_serial, *m_tcp);
    m_dispatcher = std::make_unique<ReceiveDispatcher>(m_state, *m_activityLog, *m_bannerLines,
                                                       *m_waits, *m_serial, *m_tcp, *m_serialRx);
    m_supervision =
        std::make_unique<Supervision>(m_state, m_options, clock(), *m_activityLog, *m_bannerLines,
                                      *m_waits, *m_serial, *m_tcp, *m_serialConnect);
    m_banner = std::make_unique<Banner>(m_state, dialogs(), *m_activityLog, *m_bannerLines,
                                        *m_hideMessage);
    m_keyboardWedge = std::make_unique<KeyboardWedge>(m_state, clock(), *m_activityLog,
                                                      *m_bannerLines, *m_dispatcher);
    // Enrollment and user management.
    m_templateStore = std::make_unique<TemplateStore>(m_state);
    m_templateBackup = std::make_unique<TemplateBackup>(
        m_state, *m_activityLog, *m_bannerLines, *m_waits, *m_sender, *m_templateStore, *m_backup);
    m_enrollment = std::make_unique<Enrollment>(m_state, dialogs(), *m_bannerLines, *m_waits,
                                                *m_sender, *m_templateBackup);
    m_userDeletion =
        std::make_unique<UserDeletion>(m_state, dialogs(), *m_activityLog, *m_bannerLines,
                                       *m_sender, *m_enrollment, *m_templateStore);
    m_templateNumberRequest = std::make_unique<TemplateNumberRequest>(
        m_state, clock(), *m_activityLog, *m_bannerLines, *m_waits, *m_serial, *m_tcp, *m_serialRx,
        *m_sender, *m_supervision);
    // Synchronization.
    m_templateUpload = std::make_unique<TemplateUpload>(
        m_options, *m_udpTx, *m_activityLog, *m_bannerLines, *m_waits, *m_sender, *m_templateStore);
    m_udpReceiver = std::make_unique<UdpReceiver>(m_state, *m_udpRx, *m_serial, *m_activityLog,
                                                  *m_templateStore);
    m_unitUserList = std::make_unique<UnitUserList>(m_state, clock(), dialogs(), *m_waits,
                                                    *m_supervision, *m_templateNumberRequest);
    m_newUnitSync = std::make_unique<NewUnitSync>(m_state, clock(), dialogs(), *m_bannerLines,
                                                  *m_waits, *m_templateStore, *m_templateUpload);
    // Configuration and diagnostics.
    m_targetList = std::make_unique<TargetList>(m_state, dialogs(), *m_activityLog);
    m_modeSwitch = std::make_unique<ModeSwitch>(m_state, dialogs(), *m_activityLog, *m_udpRx,
                                                *m_keyboardWedge);
    m_configFile = std::make_unique<ConfigFile>(m_state, dialogs(), *m_activityLog, *m_targetList,
                                                *m_modeSwitch);
    // Tests put their own launcher in after the station is built: asked for at each start.
    m_pingTest =
        std::make_unique<PingTest>(m_state, dialogs(), *m_activityLog, *m_templateBackup,
                                   [this]() -> ScriptLauncher & { return scriptLauncher(); });
}

void Station::wireParts()
{
    // What one part asks of another that sits beside or above it: the part emits a signal,
    // connected here. Direct connections: the effects keep the order of the calls they stand
    // for.
    connect(m_supervision.get(), &Supervision::ticked, this, &Station::supervisionTicked);
    connect(m_supervision.get(), &Supervision::greetingWanted, this, [this] {
        m_enrollment->SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
    });
    connect(m_supervision.get(), &Supervision::settingsChanged, m_configFile.get(),
            &ConfigFile::B_SAVE_CFG_Click, Qt::DirectConnection);
    connect(m_dispatcher.get(), &ReceiveDispatcher::enrolledUserHeard, m_templateBackup.get(),
            &TemplateBackup::armTrigger, Qt::DirectConnection);

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
            &TemplateUpload::uploadToTargets, Qt::DirectConnection);

    connect(m_targetList.get(), &TargetList::settingsChanged, m_configFile.get(),
            &ConfigFile::B_SAVE_CFG_Click, Qt::DirectConnection);
    connect(m_modeSwitch.get(), &ModeSwitch::settingsChanged, m_configFile.get(),
            &ConfigFile::B_SAVE_CFG_Click, Qt::DirectConnection);
    connect(m_modeSwitch.get(), &ModeSwitch::udpPortWanted, this, &Station::OPEN_UDP_PORT,
            Qt::DirectConnection);
}

void Station::AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER)
{
    m_bannerLines->AFF_LOG_MSG(LIGNE, LINE_NUMBER);
}

void Station::ID_PAUSE(double ID_DELAY)
{
    m_waits->ID_PAUSE(ID_DELAY);
}

void Station::WRITE_LOG(const QString &text)
{
    m_activityLog->WRITE_LOG(text);
}
