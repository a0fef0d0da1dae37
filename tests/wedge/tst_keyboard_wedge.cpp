// Read mode's keyboard wedge with a scripted keyboard: user frames arrive through a real
// pseudo-terminal, and what would be typed into the focused application is recorded.
#include "config/ModeSwitch.h"
#include "link/Frame.h"
#include "link/KeyNotation.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "platform/DesktopDisplay.h"
#include "platform/KeyboardOutput.h"
#include "support/FreePort.h"
#include "support/HeadlessStationFixture.h"
#include "util/TextNumber.h"

#include <QTest>

namespace {

QByteArray userFrame(quint32 user)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, *USER_NUMBER_TO_BYTES(user));
    return Frame::frame(body);
}

// The station's own windows, as the window would name them: typing into one of them would
// type into the station itself.
constexpr WId kOwnWindow = 0x4242;

} // namespace

class KeyboardWedgeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessStationFixture> f;
    ScriptedKeyboard &keyboard() { return f->keyboard; }
    KeyboardWedge &wedge() { return f->station().keyboardWedge(); }

    // The unit reports users; one poll reads them, as the receive poll does.
    void hear(const QByteArray &bytes)
    {
        QVERIFY(f->feedSerial(bytes));
        f->station().dispatcher().SERIAL_RX_Timer();
    }
    bool typingEnds()
    {
        return QTest::qWaitFor([this] { return !wedge().isTyping() && !wedge().waitingUsers(); },
                               10000) &&
               QTest::qWaitFor([this] { return keyboard().text().endsWith(QLatin1Char('|')); });
    }
    bool logHas(const QString &text) const { return f->logLines().filter(text).size() == 1; }

private slots:
    void init()
    {
        f = std::make_unique<HeadlessStationFixture>(freeUdpPort());
        QVERIFY(f->openSerialPeer());
        f->state().setMode(StationState::Mode::Read);
        f->enableLog();
    }
    void cleanup() { f.reset(); }

    void userReadIsShownAndTypedBetweenPrefixAndSuffix_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("typed");
        QTest::newRow("default settings") << ""
                                          << "{ENTER}"
                                          << "12345{ENTER}|";
        QTest::newRow("no prefix and no suffix") << ""
                                                 << ""
                                                 << "12345|";
        QTest::newRow("named keys, modifiers and escapes") << "ID{:}+(ab)"
                                                           << "{TAB}~{{}"
                                                           << "ID:+a+b12345{TAB}{ENTER}{|";
    }
    void userReadIsShownAndTypedBetweenPrefixAndSuffix()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        QFETCH(QString, typed);
        f->state().setPrefix(prefix);
        f->state().setSuffix(suffix);
        f->clock.setNow(QDateTime(QDate(2025, 12, 9), QTime(7, 5, 9)));
        hear(userFrame(12345));
        QCOMPARE(f->state().lastUser().user, QStringLiteral("12345"));
        QCOMPARE(f->state().lastUser().date, QStringLiteral("09-12-2025"));
        QCOMPARE(f->state().lastUser().time, QStringLiteral("07:05:09"));
        // The first key goes out within the poll; the rest follow from the event loop.
        QCOMPARE(keyboard().typed().size(), 1);
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), typed);
    }

    void ownWindowInFrontTypesNothingButShowsTheUser()
    {
        setOwnWindowQuery([](quintptr window) { return window == kOwnWindow; });
        keyboard().setFocusedWindow(kOwnWindow);
        hear(userFrame(12345));
        setOwnWindowQuery(nullptr);
        QCOMPARE(f->state().lastUser().user, QStringLiteral("12345"));
        QTest::qWait(50);
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(!wedge().isTyping());
    }

    void secondUserWaitsForTheFirstToBeTyped()
    {
        hear(userFrame(111) + userFrame(222)); // one chunk: only the first is dispatched
        hear(userFrame(222));
        hear(userFrame(333));
        QCOMPARE(wedge().waitingUsers(), 2);
        QCOMPARE(f->state().lastUser().user, QStringLiteral("333"));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("111{ENTER}|222{ENTER}|333{ENTER}|"));
    }

    void pausesBetweenKeysAndOfTheNotationAreKept()
    {
        wedge().setKeyPauseMs(15);
        f->state().setPrefix(QStringLiteral("a{DELAY 80}b"));
        hear(userFrame(7));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("ab7{ENTER}|"));
        const auto &t = keyboard().typed();
        QVERIFY(t[1].atNs - t[0].atNs >= 79'000'000); // the pause follows a key's own pause
        for (int i = 2; i < t.size(); ++i)
            QVERIFY2(t[i].atNs - t[i - 1].atNs >= 14'000'000, qPrintable(QString::number(i)));
    }

    void malformedPrefixOrSuffixTypesNothingAndSaysWhy_data()
    {
        QTest::addColumn<bool>("inPrefix");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown key in the prefix")
            << true << "{ENTR}"
            << "not valid key notation: unknown key name \"ENTR\" at character 1";
        QTest::newRow("unbalanced group in the suffix")
            << false << "+(a~"
            << "not valid key notation: \"(\" is not closed by \")\" at character 2";
        QTest::newRow("10,000 opening braces in the prefix")
            << true << QString(10000, QLatin1Char('{'))
            << "not valid key notation: \"{\" is not closed by \"}\" at character 1";
    }
    void malformedPrefixOrSuffixTypesNothingAndSaysWhy()
    {
        QFETCH(bool, inPrefix);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        StationState &state = f->state();
        ModeSwitch &modeSwitch = f->station().modeSwitch();
        // The operator types into the field, then leaves it.
        const auto typeAndLeave = [&](const QString &typed) {
            if (inPrefix) {
                state.setPrefix(typed);
                modeSwitch.INP_PREFIX_LostFocus();
            } else {
                state.setSuffix(typed);
                modeSwitch.INP_SUFFIX_LostFocus();
            }
        };
        const auto problem = [&] {
            return inPrefix ? state.prefixProblem() : state.suffixProblem();
        };
        const QString name = inPrefix ? QStringLiteral("Prefix") : QStringLiteral("Suffix");

        // Saved: checked, the reason logged and kept in the field's tooltip.
        typeAndLeave(text);
        QVERIFY(problem().startsWith(name + QLatin1Char(' ') + reason));
        QVERIFY(logHas(name + QLatin1Char(' ') + reason));

        // Read: shown, not typed.
        hear(userFrame(12345));
        QCOMPARE(f->state().lastUser().user, QStringLiteral("12345"));
        QTest::qWait(30);
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(logHas(QStringLiteral("User 12345 not typed: the ") + name.toLower() +
                       QStringLiteral(" is ") + reason));

        // Corrected and saved: the tooltip clears, the next user is typed.
        typeAndLeave(QStringLiteral("{TAB}"));
        QCOMPARE(problem(), QString());
        hear(userFrame(8));
        QVERIFY(typingEnds());
        QVERIFY(keyboard().text().contains(QLatin1Char('8')));
    }

    void focusMovingAwayDropsTheRestOfTheNumber()
    {
        keyboard().setBeforeEachKey([this](int typed) {
            if (typed == 2)
                keyboard().setFocusedWindow(0x777); // the operator clicks elsewhere
        });
        hear(userFrame(12345));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("123|")); // the focus moved after "3"
        QVERIFY(logHas(QStringLiteral("User 12345: typing stopped after 3 of 6 keys: the "
                                      "keyboard focus moved to another window")));
        // The next user is typed whole into the window now in front.
        keyboard().setBeforeEachKey({});
        hear(userFrame(9));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("123|9{ENTER}|"));
    }

    void keysRefusedForAMomentAreTypedLaterAndAFailureStopsTheSequence()
    {
        keyboard().answer(KeyboardOutput::Result::Ok);
        keyboard().answer(KeyboardOutput::Result::Retry, QStringLiteral("held"));
        keyboard().answer(KeyboardOutput::Result::Retry, QStringLiteral("held"));
        hear(userFrame(34));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("34{ENTER}|"));

        keyboard().answer(KeyboardOutput::Result::Ok);
        keyboard().answer(KeyboardOutput::Result::Failed, QStringLiteral("the display went away"));
        hear(userFrame(56));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("34{ENTER}|5|"));
        QVERIFY(logHas(QStringLiteral("User 56: typing stopped after 1 of 3 keys: the display "
                                      "went away")));
    }

    void withoutAWayToTypeReadModeSaysSoOnceAndInTheTooltip()
    {
        const QString reason = QStringLiteral("No way to type here: log in to an X11 session.");
        keyboard().setUnavailable(reason);
        f->state().setReadModeShown(false);
        f->station().modeSwitch().select(1);
        f->station().modeSwitch().select(1); // already in read mode: not said again
        const QString cannot =
            QStringLiteral("Read mode cannot type user numbers into other programs.");
        QCOMPARE(f->state().bannerLine(0), cannot);
        QCOMPARE(f->state().bannerLine(1), reason);
        QVERIFY(logHas(cannot));
        QVERIFY(logHas(reason));
        QCOMPARE(f->state().typingProblem(), cannot + QLatin1Char('\n') + reason);

        hear(userFrame(12345));
        QCOMPARE(f->state().lastUser().user, QStringLiteral("12345"));
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(logHas(cannot));
    }

    void enrollModeStartUpSaysNothing()
    {
        keyboard().setUnavailable(QStringLiteral("No way to type here."));
        f->state().setMode(StationState::Mode::Enroll);
        f->state().setReadModeShown(false);
        const QString line1 = f->state().bannerLine(0);
        f->station().modeSwitch().SW_MODE_Click(0); // window hidden: lays out read mode first
        QCOMPARE(f->state().bannerLine(0), line1);
        QCOMPARE(f->state().typingProblem(), QString());
    }
};

QTEST_GUILESS_MAIN(KeyboardWedgeTest)
#include "tst_keyboard_wedge.moc"
