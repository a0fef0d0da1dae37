#pragma once

#include "platform/ScriptedDialogs.h"
#include "platform/TestClock.h"
#include "station/Station.h"

#include <QTemporaryDir>

#include <memory>

// A station without a window, in a temporary folder, with a test clock and scripted dialogs:
// the synchronization parts that need nothing of the window are tried on it.
class HeadlessStation
{
public:
    HeadlessStation()
    {
        StationOptions options;
        options.programFolder = m_dir.path();
        m_station = std::make_unique<Station>(options, StationPlatform{clock, dialogs});
        m_station->state().setConfigFolder(folder());
        m_station->state().setTemplatesFolder(folder());
    }

    Station &station() { return *m_station; }
    QString folder() const { return m_dir.path() + QLatin1Char('/'); }

    TestClock clock;
    ScriptedDialogs dialogs;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Station> m_station;
};
