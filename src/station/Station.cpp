#include "station/Station.h"

#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/ScriptLauncher.h"

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

void Station::createParts()
{
    // Constructors only connect signals; no part calls another before all exist.
    m_activityLog = std::make_unique<ActivityLog>(m_state, clock());
    m_bannerLines = std::make_unique<BannerLines>(m_state);
    m_waits = std::make_unique<Waits>(clock());
    m_systemScriptLauncher = std::make_unique<SystemScriptLauncher>();
    m_scriptLauncher = m_systemScriptLauncher.get();
    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization (sync/):

    // -- Configuration and diagnostics (config/, diag/):
}

void Station::wireParts()
{
    // What one part asks of another that sits beside or above it: the part emits a signal,
    // connected here.
    // -- Source link (link/, log/):

    // -- Enrollment and user management (enroll/):

    // -- Synchronization (sync/):

    // -- Configuration and diagnostics (config/, diag/):
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
