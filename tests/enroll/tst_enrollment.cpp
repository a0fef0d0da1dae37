#include "enroll/Enrollment.h"
#include "link/Banner.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "support/HeadlessStationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The enroll button, the user number check and SOURCE_COMMAND, against a real pseudo-terminal
// and the simulated unit.
class EnrollmentTest : public QObject
{
    Q_OBJECT

private:
    using Shown = ScriptedDialogs::Shown;

    static QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

    // A station with its serial port on a raw pty, the link reading "Connected".
    static void connectPeer(HeadlessStationFixture &f)
    {
        QVERIFY(f.openSerialPeer(7));
        f.state().setSourceStatus(LinkStatus::Connected);
    }
    static QByteArray nothingMoreSent(HeadlessStationFixture &f) { return f.readSent(1, 150); }

private slots:
    void theEnrollButtonChecksTheUserNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("frame"); // empty: refused
        const QByteArray refused;
        QTest::newRow("empty") << "" << refused;
        QTest::newRow("zero") << "0" << refused;
        QTest::newRow("letters") << "abc" << refused;
        QTest::newRow("negative") << "-5" << refused;
        QTest::newRow("above 32 bits") << "4294967296" << refused;
        QTest::newRow("fraction") << "12.5" << refused;
        QTest::newRow("pattern star") << "1*" << refused;
        QTest::newRow("pattern question mark") << "12?" << refused;
        QTest::newRow("pattern bracket") << "12[3]" << refused;
        QTest::newRow("parent folder") << "../12" << refused;
        QTest::newRow("slash after digits") << "12/3" << refused;
        QTest::newRow("slash") << "a/b" << refused;
        QTest::newRow("backslash") << "12\\3" << refused;
        QTest::newRow("colon") << "12:3" << refused;
        QTest::newRow("control character") << "12\t" << refused;
        QTest::newRow("largest") << "4294967295" << hex("40 05 FF FF FF FF 00 00 00 00 71 B2 0A");
        QTest::newRow("user 1") << "1" << hex("40 05 01 00 00 00 00 00 00 00 71 B7 0A");
        QTest::newRow("letters after digits")
            << "12abc" << hex("40 05 0C 00 00 00 00 00 00 00 71 C2 0A");
        QTest::newRow("blanks around") << " 42 " << hex("40 05 2A 00 00 00 00 00 00 00 71 E0 0A");
    }
    void theEnrollButtonChecksTheUserNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, frame);
        HeadlessStationFixture f;
        Station &w = f.station();
        connectPeer(f);
        f.enableLog();
        w.state().setUserText(typed);
        const qint64 sleptBefore = f.clock.sleptMs();

        w.enrollment().B_USER_ENROLL_Click();

        if (frame.isEmpty()) {
            QCOMPARE(f.dialogs.shown().size(), 1);
            const Shown box = f.dialogs.shown().first();
            QCOMPARE(box.kind, Shown::Kind::Message);
            QCOMPARE(box.title, QStringLiteral("Invalid user number"));
            QCOMPARE(box.text, QStringLiteral("Enter a number from 1 to 4294967295"));
            QCOMPARE(box.icon, Dialogs::Icon::Critical);
            QCOMPARE(box.beepsBefore, 2);
            QCOMPARE(f.focusedField(), StationState::Field::UserText);
            QCOMPARE(nothingMoreSent(f), QByteArray());
            QVERIFY(!f.logLines().join(u'\n').contains(QStringLiteral("Enroll User")));
            return;
        }
        QCOMPARE(f.readSent(13), frame);
        QCOMPARE(nothingMoreSent(f), QByteArray());
        QVERIFY(f.dialogs.shown().isEmpty());
        QVERIFY(f.clock.sleptMs() - sleptBefore >= 200);
        QCOMPARE(w.state().bannerLine(0),
                 QStringLiteral("Place your finger on sensor and wait ..."));
        QCOMPARE(w.state().bannerLine(1), QStringLiteral("User Enrollment"));
        QCOMPARE(w.state().quality(), QStringLiteral("0"));
        QCOMPARE(w.state().TRELVANE_LOAD, StationState::True);
        // The whole field text was shown before the command went out.
        const QStringList log = f.logLines();
        const auto banner = std::find_if(log.cbegin(), log.cend(), [&](const QString &line) {
            return line.endsWith(QStringLiteral("Enroll User: ") + typed);
        });
        const auto sent = std::find_if(log.cbegin(), log.cend(), [&](const QString &line) {
            return line.endsWith(QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(frame));
        });
        QVERIFY2(banner != log.cend(), qPrintable(log.join(u'\n')));
        QVERIFY(sent != log.cend());
        QVERIFY(banner < sent);
    }

    void withTheLinkDownTheEnrollButtonAsksForTheSerialPort()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        QVERIFY(f.openSerialPeer(7));
        w.state().setSourceStatus(LinkStatus::Error);
        w.state().setUserText(QStringLiteral("12345"));

        w.enrollment().B_USER_ENROLL_Click();

        QCOMPARE(f.dialogs.shown().size(), 1);
        const Shown box = f.dialogs.shown().first();
        QCOMPARE(box.title, QStringLiteral("Invalid serial port number"));
        QCOMPARE(box.text, QStringLiteral("Serial port error"));
        QCOMPARE(box.icon, Dialogs::Icon::Critical);
        QCOMPARE(box.beepsBefore, 2);
        QCOMPARE(f.focusedField(), StationState::Field::SerialPort);
        QCOMPARE(nothingMoreSent(f), QByteArray());
    }

    void pressingEnrollTwiceSendsTwoCommands()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        connectPeer(f);
        w.state().setUserText(QStringLiteral("1"));
        w.enrollment().B_USER_ENROLL_Click();
        // The banner holds the window until the unanswered prompt has run its time.
        QVERIFY(w.state().busy());
        for (int tick = 0; tick < 20 && w.state().busy(); ++tick)
            w.banner().TIM_HIDE_MSG_Timer();
        QVERIFY(!w.state().busy());
        w.enrollment().B_USER_ENROLL_Click();

        const QByteArray once = hex("40 05 01 00 00 00 00 00 00 00 71 B7 0A");
        QCOMPARE(f.readSent(26), once + once);
        QCOMPARE(w.state().bannerLine(0),
                 QStringLiteral("Place your finger on sensor and wait ..."));
    }

    void sourceCommandSendsNothingForAnUnusableNumber_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("command");
        for (const char *command : {"ADD", "DEL", "LOAD"}) {
            const QByteArray c(command);
            QTest::addRow("%s zero", command) << "0" << QString::fromLatin1(c);
            QTest::addRow("%s letters", command) << "abc" << QString::fromLatin1(c);
            QTest::addRow("%s fraction", command) << "12.5" << QString::fromLatin1(c);
            QTest::addRow("%s above 32 bits", command) << "4294967296" << QString::fromLatin1(c);
            QTest::addRow("%s negative", command) << "-3" << QString::fromLatin1(c);
            QTest::addRow("%s pattern", command) << "1*" << QString::fromLatin1(c);
            QTest::addRow("%s separator", command) << "12/3" << QString::fromLatin1(c);
        }
        QTest::newRow("unknown command") << "12"
                                         << "FOO";
    }
    void sourceCommandSendsNothingForAnUnusableNumber()
    {
        QFETCH(QString, user);
        QFETCH(QString, command);
        HeadlessStationFixture f;
        connectPeer(f);
        f.station().AFF_LOG_MSG(QStringLiteral("before"), 1);

        f.station().enrollment().SOURCE_COMMAND(user, command);

        QCOMPARE(nothingMoreSent(f), QByteArray());
        QCOMPARE(f.state().bannerLine(0), QStringLiteral("before"));
    }

    void sourceCommandSendsTheHandshakeAndTheFirstTemplateRequest()
    {
        HeadlessStationFixture f;
        connectPeer(f);
        f.clock.setRealTimeFactor(0.02);
        f.station().enrollment().SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
        QCOMPARE(f.readSent(13), hex("40 01 00 00 00 00 31 00 00 00 65 D7 0A"));

        // "LOAD" hands the user to the backup, whose first request names the user.
        f.station().enrollment().SOURCE_COMMAND(QStringLiteral("12345"), QStringLiteral("LOAD"));
        QCOMPARE(f.readSent(13).left(13), hex("40 89 39 30 00 00 80 01 00 00 00 B3 0A"));
    }

    void aSendOnAClosedLinkIsIgnored()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        w.state().setSelectedLink(StationState::Link::Serial);
        w.serial().close();
        w.enrollment().SOURCE_COMMAND(QStringLiteral("5"), QStringLiteral("ADD"));
        QCOMPARE(w.state().bannerLine(0),
                 QStringLiteral("Place your finger on sensor and wait ..."));
    }

    void anEnrollmentWithTheSimulatedUnitArmsTheBackup()
    {
        HeadlessStationFixture f;
        Station &w = f.station();
        SimulatedUnit source;
        source.setSplit(Frame::kLength); // the unit's frames come one by one
        const QString com1 = f.folder() + QStringLiteral("COM1");
        QVERIFY(source.listenSerial(com1));
        w.state().setSelectedLink(StationState::Link::Serial);
        w.state().setMode(StationState::Mode::Enroll);
        w.serial().setDevicePath(com1);
        QVERIFY(w.serial().open());
        w.state().setSourceStatus(LinkStatus::Connected);
        w.serialRxTimer().start();

        QSignalSpy requests(&source, &SimulatedUnit::requestReceived);
        w.state().setUserText(QStringLiteral("12345"));
        w.enrollment().B_USER_ENROLL_Click();
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests[0][0].toByteArray(), hex("40 05 39 30 00 00 00 00 00 00 71 1F 0A"));
        QCOMPARE(w.state().quality(), QStringLiteral("0"));

        QStringList field; // each text the user field took
        QObject watching;  // goes before field does
        connect(&w.state(), &StationState::changed, &watching, [&field, &w](StationState::Field f) {
            if (f == StationState::Field::UserText)
                field.append(w.state().userText());
        });
        source.finger(12345, {55, 87});
        QDeadlineTimer deadline(5000);
        while (!w.backupTimer().isActive() && !deadline.hasExpired())
            QTest::qWait(1);
        QVERIFY(w.backupTimer().isActive());
        w.backupTimer().stop(); // the backup itself is not part of this course
        QCOMPARE(w.backupTimer().interval(), 200);
        QCOMPARE(w.state().quality(), QStringLiteral("87"));
        QCOMPARE(field.size(), 2); // emptied, then the unit's number
        QCOMPARE(field[1], QStringLiteral("12345"));
        QCOMPARE(w.state().userText(), QStringLiteral("12345"));
        QCOMPARE(w.state().bannerLine(0), QStringLiteral("Remove your finger from the sensor"));
        QCOMPARE(w.state().bannerLine(1), QStringLiteral("Reception of template number: 12345"));
    }
};

QTEST_GUILESS_MAIN(EnrollmentTest)
#include "tst_enrollment.moc"
