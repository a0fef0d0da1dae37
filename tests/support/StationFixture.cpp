#include "support/StationFixture.h"

#include "link/KeyboardWedge.h"
#include "link/SerialLink.h"
#include "log/ActivityLog.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

StationFixture::StationFixture(quint16 udpPort, quint16 tcpPort,
                               const std::function<void(StationOptions &)> &adjust)
{
    m_folder = m_dir.path() + QLatin1Char('/');
    StationOptions options;
    options.programFolder = m_dir.path();
    if (udpPort)
        options.udpPort = udpPort;
    if (tcpPort)
        options.tcpPort = tcpPort;
    if (adjust)
        adjust(options);
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
    const QString link = m_folder + QStringLiteral("COM%1").arg(portNumber);
    if (!m_peer.open(link))
        return false;
    w().SW_COMM[0]->setChecked(true);
    w().Serial->close();
    w().Serial->setDevicePath(link);
    return w().Serial->open();
}

bool StationFixture::feedSerial(const QByteArray &bytes, int timeoutMs)
{
    const qint64 before = w().Serial->bytesAvailable();
    m_peer.write(bytes);
    QDeadlineTimer deadline(timeoutMs);
    while (w().Serial->bytesAvailable() < before + bytes.size() && !deadline.hasExpired())
        QTest::qWait(1);
    return w().Serial->bytesAvailable() >= before + bytes.size();
}

QByteArray StationFixture::readSent(int minBytes, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        got += m_peer.readAll();
        if (got.size() >= minBytes || deadline.hasExpired())
            return got;
        QTest::qWait(1);
    }
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
    QStringList lines = QString::fromUtf8(logBytes()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
