#pragma once

#include "link/Banner.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "link/SourceSender.h"
#include "link/Supervision.h"
#include "platform/ScriptedDialogs.h"
#include "platform/ScriptedKeyboard.h"
#include "platform/TestClock.h"
#include "station/Station.h"

#include <QTemporaryDir>
#include <memory>

// A station without a window, in a temporary folder, with its source-link parts at hand. The
// station's timers are not started: a test calls the handlers itself.
class HeadlessLinkStation
{
public:
    HeadlessLinkStation()
    {
        folder = dir.path() + QLatin1Char('/');
        StationOptions options;
        options.programFolder = dir.path();
        // Neither the system's devices nor its lock files: only what the test puts here.
        options.serialDeviceFolder = folder + QStringLiteral("dev/");
        options.serialLockFolder = folder + QStringLiteral("lock/");
        station = std::make_unique<Station>(options, StationPlatform{clock, dialogs});
        sender = &station->sender();
        dispatcher = &station->dispatcher();
        supervision = &station->supervision();
        banner = &station->banner();
        wedge = &station->keyboardWedge();
        wedge->setKeyboardOutput(&keyboard);
        state().setConfigFolder(folder);
        state().TRELVANE_LOAD = ReceiveDispatcher::kDispatchFrames;
    }

    StationState &state() { return station->state(); }

    QTemporaryDir dir;
    QString folder; // ends with "/"
    TestClock clock;
    ScriptedDialogs dialogs;
    ScriptedKeyboard keyboard;
    std::unique_ptr<Station> station;
    // The station's own source-link parts.
    SourceSender *sender = nullptr;
    ReceiveDispatcher *dispatcher = nullptr;
    Supervision *supervision = nullptr;
    Banner *banner = nullptr;
    KeyboardWedge *wedge = nullptr;
};
