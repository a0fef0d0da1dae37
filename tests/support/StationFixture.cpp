#include "support/StationFixture.h"

#include "link/KeyboardWedge.h"
#include "link/SerialLink.h"
#include "log/ActivityLog.h"
#include "support/HeadlessStationFixture.h"
#include "support/StationPeer.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

StationFixture::StationFixture(quint16 udpPort, quint16 tcpPort,
                               const std::function<void(StationOptions &)> &adjust)
{
    m_folder = m_dir.path() + QLatin1Char('/');
    const StationOptions options =
        HeadlessStationFixture::optionsIn(m_dir.path(), udpPort, tcpPort, adjust);
    m_window = std::make_unique<F_MAIN>(options, StationPlatform{clock, dialogs});
    m_window->setScriptLauncher(scripts);
    stopTimers();
    w().keyboardWedge().setKeyboardOutput(&keyboard);
    w().state().setConfigFolder(m_folder);
    w().state().setTemplatesFolder(m_folder);
    w().TRELVANE_LOAD = F_MAIN::True;
}

StationFixture::~StationFixture()
{
    m_window.reset();
}

void StationFixture::stopTimers()
{
    for (QTimer *t : {w().SERIAL_RX, w().TIM_SERIAL_CONNECT, w().TIM_HIDE_MSG, w().TIM_BACKUP})
        t->stop();
}

bool StationFixture::openSerialPeer(int portNumber)
{
    return StationPeer::open(m_peer, m_folder + QStringLiteral("COM%1").arg(portNumber),
                             w().state(), *w().Serial);
}

bool StationFixture::feedSerial(const QByteArray &bytes, int timeoutMs)
{
    return StationPeer::feed(m_peer, *w().Serial, bytes, timeoutMs);
}

QByteArray StationFixture::readSent(int minBytes, int timeoutMs)
{
    return StationPeer::readSent(m_peer, minBytes, timeoutMs);
}

void StationFixture::serve(int ms)
{
    QTest::qWait(ms);
}

void StationFixture::enableLog()
{
    w().SW_LOG->setChecked(true);
}

QByteArray StationFixture::logBytes() const
{
    QFile file(m_window->activityLog().filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList StationFixture::logLines() const
{
    return StationPeer::logLines(logBytes());
}
