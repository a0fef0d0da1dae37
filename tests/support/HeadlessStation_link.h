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

// A station without a window, in a temporary folder, with the source-link parts built on it
// as the window builds them. The station's timers are not started: a test calls the
// handlers itself.
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
        Station &s = *station;
        sender = std::make_unique<SourceSender>(s.state(), s.activityLog(), s.serial(), s.tcp());
        dispatcher =
            std::make_unique<ReceiveDispatcher>(s.state(), s.activityLog(), s.bannerLines(),
                                                s.waits(), s.serial(), s.tcp(), s.serialRxTimer());
        supervision = std::make_unique<Supervision>(s.state(), s.options(), s.clock(),
                                                    s.activityLog(), s.bannerLines(), s.waits(),
                                                    s.serial(), s.tcp(), s.serialConnectTimer());
        banner = std::make_unique<Banner>(s.state(), s.dialogs(), s.activityLog(), s.bannerLines(),
                                          s.hideMessageTimer());
        wedge = std::make_unique<KeyboardWedge>(s.state(), s.clock(), s.activityLog(),
                                                s.bannerLines(), *dispatcher);
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
    std::unique_ptr<SourceSender> sender;
    std::unique_ptr<ReceiveDispatcher> dispatcher;
    std::unique_ptr<Supervision> supervision;
    std::unique_ptr<Banner> banner;
    std::unique_ptr<KeyboardWedge> wedge;
};
