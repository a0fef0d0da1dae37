#include "support/HeadlessStationFixture.h"

#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "log/ActivityLog.h"
#include "support/StationPeer.h"

#include <QFile>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>

HeadlessStationFixture::HeadlessStationFixture(quint16 udpPort, quint16 tcpPort,
                                               const std::function<void(StationOptions &)> &adjust)
{
    m_folder = m_dir.path() + QLatin1Char('/');
    const StationOptions options = optionsIn(m_dir.path(), udpPort, tcpPort, adjust);
    m_station = std::make_unique<Station>(options, StationPlatform{clock, dialogs});
    startAsTheWindowDoes(state());
    // Read mode counts as laid out once its frame shows: the window's view tells the state
    // so, and the keyboard wedge reads it (it says why typing cannot work only on entering
    // read mode). Without the window, the frame shows as the mode is laid out.
    QObject::connect(&state(), &StationState::changed, &state(), [this](StationState::Field f) {
        if (f == StationState::Field::LaidOutMode &&
            state().laidOutMode() != StationState::Mode::None)
            state().setReadModeShown(state().laidOutMode() == StationState::Mode::Read);
    });
    QObject::connect(&state(), &StationState::focusRequested, &state(),
                     [this](StationState::Field field) { focusRequests.append(field); });
    m_station->setScriptLauncher(scripts);
    stopTimers();
    m_station->keyboardWedge().setKeyboardOutput(&keyboard);
    state().setConfigFolder(m_folder);
    state().setTemplatesFolder(m_folder);
    state().TRELVANE_LOAD = ReceiveDispatcher::kDispatchFrames;
}

StationOptions
HeadlessStationFixture::optionsIn(const QString &folder, quint16 udpPort, quint16 tcpPort,
                                  const std::function<void(StationOptions &)> &adjust)
{
    StationOptions options;
    options.programFolder = folder;
    if (udpPort)
        options.udpPort = udpPort;
    if (tcpPort)
        options.tcpPort = tcpPort;
    if (adjust)
        adjust(options);
    return options;
}

HeadlessStationFixture::~HeadlessStationFixture()
{
    m_station.reset();
}

void HeadlessStationFixture::startAsTheWindowDoes(StationState &state)
{
    // As the window's state starts: no part acts on it (no port to open, nothing to save).
    const QSignalBlocker quiet(&state);
    for (int line : {0, 1})
        state.setBannerLine(line, QStringLiteral("... MESSAGE ..."));
    state.setBannerLine(2, QStringLiteral("Communication error with Trelvane"));
    state.setConfigFolder(QStringLiteral("CURDIR"));
    state.setTemplatesFolder(QStringLiteral("CURDIR"));
    state.setSuffix(QStringLiteral("{ENTER}"));
    state.setLogCaption(QStringLiteral("Log activity to Trelvane_DATE.log"));
    state.setLastUser({QString(), QString(), QString(), QStringLiteral("0.0.0.0")});
    state.setTargetFrameShown(true);
}

void HeadlessStationFixture::stopTimers()
{
    for (QTimer *t : {&station().serialRxTimer(), &station().serialConnectTimer(),
                      &station().hideMessageTimer(), &station().backupTimer()})
        t->stop();
}

bool HeadlessStationFixture::openSerialPeer(int portNumber)
{
    return StationPeer::open(m_peer, m_folder + QStringLiteral("COM%1").arg(portNumber), state(),
                             station().serial());
}

bool HeadlessStationFixture::feedSerial(const QByteArray &bytes, int timeoutMs)
{
    return StationPeer::feed(m_peer, station().serial(), bytes, timeoutMs);
}

QByteArray HeadlessStationFixture::readSent(int minBytes, int timeoutMs)
{
    return StationPeer::readSent(m_peer, minBytes, timeoutMs);
}

void HeadlessStationFixture::serve(int ms)
{
    QTest::qWait(ms);
}

void HeadlessStationFixture::enableLog()
{
    state().setLogging(true);
}

QByteArray HeadlessStationFixture::logBytes() const
{
    QFile file(m_station->activityLog().filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList HeadlessStationFixture::logLines() const
{
    return StationPeer::logLines(logBytes());
}
