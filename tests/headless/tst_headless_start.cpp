// The station without its window starts its state as the window's controls start it, and
// follows the laid-out mode as the window's read mode frame does: the logic tests that run
// without a window see what the parts see beside it.
#include "app/F_MAIN.h"
#include "platform/ScriptedDialogs.h"
#include "platform/TestClock.h"
#include "support/HeadlessStationFixture.h"
#include "support/StationFixture.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Every field of the state, one line each, named so that a difference says which.
QStringList fieldsOf(const StationState &s)
{
    const auto n = [](auto value) { return QString::number(int(value)); };
    const StationState::LastUser last = s.lastUser();
    const StationState::SyncProgress sync = s.syncProgress();
    QStringList targets;
    for (const TargetUnit &target : s.targets())
        targets << target.line + (target.ticked ? QStringLiteral("+") : QStringLiteral("-"));
    return {
        QStringLiteral("sourceStatus ") + captionOf(s.sourceStatus()),
        QStringLiteral("sourceStatusDetail ") + s.sourceStatusDetail(),
        QStringLiteral("tcpStatus ") + s.tcpStatus(),
        QStringLiteral("selectedLink ") + n(s.selectedLink()),
        QStringLiteral("serialPort ") + s.serialPort(),
        QStringLiteral("tcpAddress ") + s.tcpAddress(),
        QStringLiteral("handshakePending ") + n(s.handshakePending()),
        QStringLiteral("mode ") + n(s.mode()),
        QStringLiteral("passwordPrompt ") + n(s.passwordPrompt()),
        QStringLiteral("passwordResetOffered ") + n(s.passwordResetOffered()),
        QStringLiteral("passwordText ") + s.passwordText(),
        QStringLiteral("userText ") + s.userText(),
        QStringLiteral("backupArmed ") + n(s.backupArmed()),
        QStringLiteral("quality ") + s.quality(),
        QStringLiteral("bannerLine0 ") + s.bannerLine(0),
        QStringLiteral("bannerLine1 ") + s.bannerLine(1),
        QStringLiteral("bannerLine2 ") + s.bannerLine(2),
        QStringLiteral("bannerShown ") + n(s.bannerShown()),
        QStringLiteral("bannerPicture ") + n(s.bannerPicture()),
        QStringLiteral("bannerCountdown ") + s.bannerCountdown,
        QStringLiteral("busy ") + n(s.busy()),
        QStringLiteral("configFolder ") + s.configFolder(),
        QStringLiteral("templatesFolder ") + s.templatesFolder(),
        QStringLiteral("prefix ") + s.prefix(),
        QStringLiteral("suffix ") + s.suffix(),
        QStringLiteral("logging ") + n(s.logging()),
        QStringLiteral("logCaption ") + s.logCaption(),
        QStringLiteral("typingProblem ") + s.typingProblem(),
        QStringLiteral("targets ") + targets.join(QLatin1Char('|')),
        QStringLiteral("currentTarget ") + n(s.currentTarget()),
        QStringLiteral("lastUser ") +
            QStringList{last.user, last.date, last.time, last.source}.join(QLatin1Char('|')),
        QStringLiteral("listingUsers ") + n(s.listingUsers()),
        QStringLiteral("readModeShown ") + n(s.readModeShown()),
        QStringLiteral("prefixProblem ") + s.prefixProblem(),
        QStringLiteral("suffixProblem ") + s.suffixProblem(),
        QStringLiteral("syncProgress ") +
            QStringList{n(sync.shown), n(sync.value), n(sync.maximum), sync.text}.join(
                QLatin1Char('|')),
        QStringLiteral("started ") + n(s.started()),
        QStringLiteral("laidOutMode ") + n(s.laidOutMode()),
        QStringLiteral("targetFrameShown ") + n(s.targetFrameShown()),
        QStringLiteral("TRELVANE_LOAD ") + n(s.TRELVANE_LOAD),
    };
}

} // namespace

class HeadlessStartTest : public QObject
{
    Q_OBJECT

private slots:
    void theStateStartsAsTheWindowStartsIt()
    {
        QTemporaryDir dir;
        StationOptions options;
        options.programFolder = dir.path();
        TestClock clock;
        ScriptedDialogs dialogs;
        F_MAIN window(options, StationPlatform{clock, dialogs});
        Station station(options, StationPlatform{clock, dialogs});
        HeadlessStationFixture::startAsTheWindowDoes(station.state());
        QCOMPARE(fieldsOf(station.state()), fieldsOf(window.state()));
    }

    void readModeShowsAsItIsLaidOut_data()
    {
        QTest::addColumn<QList<StationState::Mode>>("laidOut");
        using Mode = StationState::Mode;
        QTest::newRow("read") << QList<Mode>{Mode::Read};
        QTest::newRow("read, then enroll") << QList<Mode>{Mode::Read, Mode::Enroll};
        QTest::newRow("enroll, then read") << QList<Mode>{Mode::Enroll, Mode::Read};
    }
    void readModeShowsAsItIsLaidOut()
    {
        QFETCH(QList<StationState::Mode>, laidOut);
        HeadlessStationFixture f;
        StationFixture withWindow;
        for (const StationState::Mode mode : laidOut) {
            f.state().setLaidOutMode(mode);
            withWindow.w().state().setLaidOutMode(mode);
            QCOMPARE(f.state().readModeShown(), withWindow.w().state().readModeShown());
        }
    }
};

QTEST_MAIN(HeadlessStartTest)
#include "tst_headless_start.moc"
