// The source-link parts on a station without a window: what they used to ask of the window
// or of parts above them now goes through the state and their signals, and must still
// happen, once and in order.
#include "support/HeadlessStationFixture.h"

#include "link/Banner.h"
#include "link/Frame.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "unit-sim/PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kHandshakeReply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

QByteArray userFrame(const char *userHex)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, QByteArray::fromHex(userHex));
    return Frame::frame(body);
}

} // namespace

class LinkHeadlessTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessStationFixture> s;
    PseudoTerminal peer;

    StationState &state() { return s->state(); }

    // The unit's bytes reach the station's port, then one receive poll runs.
    bool feed(const QByteArray &bytes)
    {
        peer.write(bytes);
        QDeadlineTimer deadline(2000);
        while (s->station().serial().bytesAvailable() < bytes.size() && !deadline.hasExpired())
            QTest::qWait(1);
        s->station().dispatcher().SERIAL_RX_Timer();
        return !deadline.hasExpired();
    }

    bool openPort()
    {
        if (!peer.open(s->folder() + QStringLiteral("COM1")))
            return false;
        state().setSelectedLink(StationState::Link::Serial);
        state().setSerialPort(QStringLiteral("1"));
        s->station().supervision().TIM_SERIAL_CONNECT_Timer();
        return s->station().serial().isOpen();
    }

private slots:
    void init()
    {
        // Neither the system's devices nor its lock files: only what the test puts here.
        s = std::make_unique<HeadlessStationFixture>(0, 0, [](StationOptions &options) {
            options.serialDeviceFolder = options.programFolder + QStringLiteral("/dev/");
            options.serialLockFolder = options.programFolder + QStringLiteral("/lock/");
        });
        state().setMode(StationState::Mode::Enroll);
    }

    void cleanup()
    {
        s.reset();
        peer.close();
    }

    void openingThePortGreetsTheUnitOnceAndTheAnswerEndsTheWait()
    {
        QSignalSpy ticked(&s->station().supervision(), &Supervision::ticked);
        QSignalSpy greeting(&s->station().supervision(), &Supervision::greetingWanted);
        QSignalSpy saved(&s->station().supervision(), &Supervision::settingsChanged);
        QVERIFY(openPort());
        QCOMPARE(saved.count(), 1); // the typed port number
        QCOMPARE(ticked.count(), 1);
        QCOMPARE(greeting.count(), 1);
        QCOMPARE(state().sourceStatus(), LinkStatus::Connected);
        QVERIFY(state().handshakePending());
        QCOMPARE(state().bannerLine(0),
                 QStringLiteral("Establish communication with Trelvane source unit"));

        s->station().supervision().TIM_SERIAL_CONNECT_Timer(); // connected: left alone
        QCOMPARE(ticked.count(), 2);
        QCOMPARE(greeting.count(), 1);

        QVERIFY(feed(kHandshakeReply));
        QVERIFY(!state().handshakePending());
        QCOMPARE(state().bannerLine(0),
                 QStringLiteral("Communication with Trelvane source unit established."));
    }

    void reconnectClosesThePortAndTheNextTickGreetsAgain()
    {
        QVERIFY(openPort());
        QSignalSpy greeting(&s->station().supervision(), &Supervision::greetingWanted);
        QSignalSpy saved(&s->station().supervision(), &Supervision::settingsChanged);
        s->station().supervision().B_RECONNECT_Click();
        QCOMPARE(state().serialPort(), QStringLiteral("1"));
        QCOMPARE(saved.count(), 2); // two changes of the port number
        QVERIFY(!s->station().serial().isOpen());
        QCOMPARE(state().sourceStatus(), LinkStatus::Disconnected);

        s->station().supervision().TIM_SERIAL_CONNECT_Timer();
        QVERIFY(s->station().serial().isOpen());
        QCOMPARE(greeting.count(), 1);
    }

    void aPortThatDoesNotOpenWantsTheWindow()
    {
        QSignalSpy wanted(&state(), &StationState::windowWanted);
        QSignalSpy greeting(&s->station().supervision(), &Supervision::greetingWanted);
        state().setSelectedLink(StationState::Link::Serial);
        state().setSerialPort(QStringLiteral("1")); // no COM1 in the folder, no device
        s->station().supervision().TIM_SERIAL_CONNECT_Timer();
        QCOMPARE(state().sourceStatus(), LinkStatus::Error);
        QVERIFY(wanted.count() >= 1);
        QCOMPARE(greeting.count(), 0);
    }

    void aBannerLineMakesTheStationBusyAndIsDrawnAtOnce_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("picture");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("prompt") << "Place YOUR FINGER ON the sensor" << 0 << false;
        QTest::newRow("error") << "Communication Error with Trelvane source unit." << 7 << true;
        QTest::newRow("plain") << "Nothing the banner knows" << -1 << false;
    }

    void aBannerLineMakesTheStationBusyAndIsDrawnAtOnce()
    {
        QFETCH(QString, line);
        QFETCH(int, picture);
        QFETCH(bool, alarm);
        QSignalSpy drawn(&state(), &StationState::showNow);
        QSignalSpy wanted(&state(), &StationState::windowWanted);
        s->station().AFF_LOG_MSG(line, 1);
        QVERIFY(state().busy());
        QVERIFY(state().bannerShown());
        QCOMPARE(state().bannerPicture(), picture);
        QCOMPARE(drawn.count(), 1);
        QCOMPARE(wanted.count(), alarm ? 1 : 0);
        QCOMPARE(s->dialogs.beeps(), alarm ? 3 : 0);

        // Already busy: drawn again for the second line.
        s->station().AFF_LOG_MSG(QStringLiteral("second"), 2);
        QCOMPARE(drawn.count(), 2);
    }

    void aUserFrameGoesToTheBackupOrToTheKeyboard_data()
    {
        QTest::addColumn<bool>("enroll");
        QTest::newRow("enroll mode") << true;
        QTest::newRow("read mode") << false;
    }

    void aUserFrameGoesToTheBackupOrToTheKeyboard()
    {
        QFETCH(bool, enroll);
        QVERIFY(openPort());
        state().setMode(enroll ? StationState::Mode::Enroll : StationState::Mode::Read);
        QSignalSpy backup(&s->station().dispatcher(), &ReceiveDispatcher::enrolledUserHeard);
        QSignalSpy recognised(&s->station().dispatcher(), &ReceiveDispatcher::userRecognised);
        state().setUserText(QStringLiteral("777")); // typed before the unit spoke
        QSignalSpy changed(&state(), &StationState::changed);
        const auto userTextChanges = [&changed] {
            int n = 0;
            for (const QList<QVariant> &args : changed)
                n += args.at(0).value<StationState::Field>() == StationState::Field::UserText;
            return n;
        };

        // The same user twice: the number is shown as changed each time (emptied, then
        // written), as a reaction to it must run again.
        for (int heard = 1; heard <= 2; ++heard) {
            QVERIFY(feed(userFrame("39300000")));
            QCOMPARE(state().userText(), QStringLiteral("12345"));
            QCOMPARE(userTextChanges(), 2 * heard);
            QCOMPARE(backup.count(), enroll ? heard : 0);
            QCOMPARE(recognised.count(), enroll ? 0 : heard);
        }
        if (!enroll)
            QCOMPARE(state().lastUser().user, QStringLiteral("12345"));
    }

    void readModeSaysOnceThatItCannotType()
    {
        s->keyboard.setUnavailable(QStringLiteral("no keyboard here"));
        state().setMode(StationState::Mode::Read);
        state().setReadModeShown(true); // laid out already: nothing more to say
        s->station().keyboardWedge().readModeEntered();
        QCOMPARE(state().typingProblem(), QString());

        state().setReadModeShown(false);
        s->station().keyboardWedge().readModeEntered();
        QVERIFY(state().typingProblem().endsWith(QStringLiteral("\nno keyboard here")));
        QCOMPARE(state().bannerLine(1), QStringLiteral("no keyboard here"));
    }

    void aBadPrefixOrSuffixIsShownUntilCorrected_data()
    {
        QTest::addColumn<bool>("prefix");
        QTest::newRow("prefix") << true;
        QTest::newRow("suffix") << false;
    }

    void aBadPrefixOrSuffixIsShownUntilCorrected()
    {
        QFETCH(bool, prefix);
        const auto set = [&](const QString &text) {
            prefix ? state().setPrefix(text) : state().setSuffix(text);
            return prefix ? s->station().keyboardWedge().checkPrefix()
                          : s->station().keyboardWedge().checkSuffix();
        };
        const auto problem = [&] {
            return prefix ? state().prefixProblem() : state().suffixProblem();
        };
        QVERIFY(!set(QStringLiteral("{ENTER")));
        QVERIFY(problem().startsWith(prefix ? QStringLiteral("Prefix not valid key notation")
                                            : QStringLiteral("Suffix not valid key notation")));
        QVERIFY(set(QStringLiteral("{ENTER}")));
        QCOMPARE(problem(), QString());
    }
};

QTEST_GUILESS_MAIN(LinkHeadlessTest)
#include "tst_link_headless.moc"
