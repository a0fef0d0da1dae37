#pragma once

#include "app/F_MAIN.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// The real clock, also counting how long the station spends inside its waits: what is not
// spent there is the station's own work (sending, reading files, showing the banner).
class MeasuringClock final : public Clock
{
public:
    QDateTime now() const override { return m_real.now(); }
    void sleep(int ms) override
    {
        timed([&] { m_real.sleep(ms); });
    }
    void serveEvents(int ms) override
    {
        timed([&] { m_real.serveEvents(ms); });
    }
    double secondsInWaits() const { return m_nsInWaits / 1e9; }
    void reset() { m_nsInWaits = 0; }

private:
    template <typename Wait> void timed(Wait wait)
    {
        QElapsedTimer t;
        t.start();
        wait();
        m_nsInWaits += t.nsecsElapsed();
    }
    SystemClock m_real;
    qint64 m_nsInWaits = 0;
};

// A station in a temporary folder on the real clock, its timers stopped, serial selected as
// in the program; with the receive poll running when the benchmark talks to a source unit.
struct RealStation
{
    enum class Poll { Stopped, Running };

    explicit RealStation(quint16 udpPort, Poll poll, quint16 tcpPort = 0)
    {
        StationOptions options;
        options.programFolder = dir.path();
        options.udpPort = udpPort;
        if (tcpPort != 0)
            options.tcpPort = tcpPort;
        w = std::make_unique<F_MAIN>(options, StationPlatform{clock, dialogs});
        for (QTimer *t : {w->SERIAL_RX, w->TIM_SERIAL_CONNECT, w->TIM_HIDE_MSG, w->TIM_BACKUP})
            t->stop();
        w->SW_COMM[0]->setChecked(true);
        folder = dir.path() + QLatin1Char('/');
        w->state().setConfigFolder(folder);
        w->state().setTemplatesFolder(folder);
        w->TRELVANE_LOAD = F_MAIN::True;
        if (poll == Poll::Running)
            w->SERIAL_RX->start(); // the receive poll collects the unit's replies
    }

    QTemporaryDir dir;
    QString folder;
    MeasuringClock clock;
    ScriptedDialogs dialogs;
    std::unique_ptr<F_MAIN> w;
};
