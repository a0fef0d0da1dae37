#include "enroll/Enrollment.h"
#include "link/Banner.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
    static void connectPeer(StationFixture &f)
    {
        QVERIFY(f.openSerialPeer(7));
        f.w().state().setSourceStatus(LinkStatus::Connected);
    }
    static QByteArray nothingMoreSent(StationFixture &f) { return f.readSent(1, 150); }

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
        StationFixture f;
        F_MAIN &w = f.w();
        connectPeer(f);
        f.enableLog();
        w.INP_SERIAL_PORT->setFocus();
        w.INP_USER_NUMBER->setText(typed);
        const qint64 sleptBefore = f.clock.sleptMs();

        w.B_USER_ENROLL->click();

        if (frame.isEmpty()) {
            QCOMPARE(f.dialogs.shown().size(), 1);
            const Shown box = f.dialogs.shown().first();
            QCOMPARE(box.kind, Shown::Kind::Message);
            QCOMPARE(box.title, QStringLiteral("Invalid user number"));
            QCOMPARE(box.text, QStringLiteral("Enter a number from 1 to 4294967295"));
            QCOMPARE(box.icon, Dialogs::Icon::Critical);
            QCOMPARE(box.beepsBefore, 2);
            QCOMPARE(w.focusWidget(), w.INP_USER_NUMBER);
            QCOMPARE(nothingMoreSent(f), QByteArray());
            QVERIFY(!f.logLines().join(u'\n').contains(QStringLiteral("Enroll User")));
            return;
        }
        QCOMPARE(f.readSent(13), frame);
        QCOMPARE(nothingMoreSent(f), QByteArray());
        QVERIFY(f.dialogs.shown().isEmpty());
        QVERIFY(f.clock.sleptMs() - sleptBefore >= 200);
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("Place your finger on sensor and wait ..."));
        QCOMPARE(w.AFF_MSG[1]->text(), QStringLiteral("User Enrollment"));
        QCOMPARE(w.AFF_SCORE->text(), QStringLiteral("0"));
        QCOMPARE(w.TRELVANE_LOAD, F_MAIN::True);
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
        StationFixture f;
        F_MAIN &w = f.w();
        QVERIFY(f.openSerialPeer(7));
        w.state().setSourceStatus(LinkStatus::Error);
        w.INP_USER_NUMBER->setText(QStringLiteral("12345"));
        w.INP_USER_NUMBER->setFocus();

        w.B_USER_ENROLL->click();

        QCOMPARE(f.dialogs.shown().size(), 1);
        const Shown box = f.dialogs.shown().first();
        QCOMPARE(box.title, QStringLiteral("Invalid serial port number"));
        QCOMPARE(box.text, QStringLiteral("Serial port error"));
        QCOMPARE(box.icon, Dialogs::Icon::Critical);
        QCOMPARE(box.beepsBefore, 2);
        QCOMPARE(w.focusWidget(), w.INP_SERIAL_PORT);
        QCOMPARE(nothingMoreSent(f), QByteArray());
    }

    void pressingEnrollTwiceSendsTwoCommands()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        connectPeer(f);
        w.INP_USER_NUMBER->setText(QStringLiteral("1"));
        w.B_USER_ENROLL->click();
        // The banner holds the window until the unanswered prompt has run its time.
        QVERIFY(!w.isEnabled());
        for (int tick = 0; tick < 20 && !w.isEnabled(); ++tick)
            w.banner().TIM_HIDE_MSG_Timer();
        QVERIFY(w.isEnabled());
        w.B_USER_ENROLL->click();

        const QByteArray once = hex("40 05 01 00 00 00 00 00 00 00 71 B7 0A");
        QCOMPARE(f.readSent(26), once + once);
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("Place your finger on sensor and wait ..."));
    }

    void theButtonCaptionsFollowTheField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("enrollCaption");
        QTest::addColumn<QString>("deleteCaption");
        QTest::newRow("blanks around") << " 42 "
                                       << "     Enroll user    42"
                                       << "    Delete user   42";
        QTest::newRow("cleared") << ""
                                 << "Enroll user"
                                 << "Delete user";
        QTest::newRow("only blanks") << "   "
                                     << "Enroll user"
                                     << "Delete user";
    }
    void theButtonCaptionsFollowTheField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, enrollCaption);
        QFETCH(QString, deleteCaption);
        StationFixture f;
        f.w().INP_USER_NUMBER->setText(QStringLiteral("7"));
        f.w().INP_USER_NUMBER->setText(typed);
        QCOMPARE(f.w().B_USER_ENROLL->text(), enrollCaption);
        QCOMPARE(f.w().B_USER_DELETE->text(), deleteCaption);
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
        StationFixture f;
        connectPeer(f);
        f.w().AFF_LOG_MSG(QStringLiteral("before"), 1);

        f.w().enrollment().SOURCE_COMMAND(user, command);

        QCOMPARE(nothingMoreSent(f), QByteArray());
        QCOMPARE(f.w().AFF_MSG[0]->text(), QStringLiteral("before"));
    }

    void sourceCommandSendsTheHandshakeAndTheFirstTemplateRequest()
    {
        StationFixture f;
        connectPeer(f);
        f.clock.setRealTimeFactor(0.02);
        f.w().enrollment().SOURCE_COMMAND(QStringLiteral("99999"), QStringLiteral("INIT"));
        QCOMPARE(f.readSent(13), hex("40 01 00 00 00 00 31 00 00 00 65 D7 0A"));

        // "LOAD" hands the user to the backup, whose first request names the user.
        f.w().enrollment().SOURCE_COMMAND(QStringLiteral("12345"), QStringLiteral("LOAD"));
        QCOMPARE(f.readSent(13).left(13), hex("40 89 39 30 00 00 80 01 00 00 00 B3 0A"));
    }

    void aSendOnAClosedLinkIsIgnored()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.SW_COMM[0]->setChecked(true);
        w.Serial->close();
        w.enrollment().SOURCE_COMMAND(QStringLiteral("5"), QStringLiteral("ADD"));
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("Place your finger on sensor and wait ..."));
    }

    void anEnrollmentWithTheSimulatedUnitArmsTheBackup()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        SimulatedUnit source;
        source.setSplit(Frame::kLength); // the unit's frames come one by one
        const QString com1 = f.folder() + QStringLiteral("COM1");
        QVERIFY(source.listenSerial(com1));
        w.SW_COMM[0]->setChecked(true);
        w.SW_MODE[0]->setChecked(true);
        w.Serial->setDevicePath(com1);
        QVERIFY(w.Serial->open());
        w.state().setSourceStatus(LinkStatus::Connected);
        w.SERIAL_RX->start();

        QSignalSpy requests(&source, &SimulatedUnit::requestReceived);
        w.INP_USER_NUMBER->setText(QStringLiteral("12345"));
        w.B_USER_ENROLL->click();
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests[0][0].toByteArray(), hex("40 05 39 30 00 00 00 00 00 00 71 1F 0A"));
        QCOMPARE(w.AFF_SCORE->text(), QStringLiteral("0"));

        QSignalSpy field(w.INP_USER_NUMBER, &QLineEdit::textChanged);
        source.finger(12345, {55, 87});
        QDeadlineTimer deadline(5000);
        while (!w.TIM_BACKUP->isActive() && !deadline.hasExpired())
            QTest::qWait(1);
        QVERIFY(w.TIM_BACKUP->isActive());
        w.TIM_BACKUP->stop(); // the backup itself is not part of this course
        QCOMPARE(w.TIM_BACKUP->interval(), 200);
        QCOMPARE(w.AFF_SCORE->text(), QStringLiteral("87"));
        QCOMPARE(field.size(), 2); // emptied, then the unit's number
        QCOMPARE(field[1][0].toString(), QStringLiteral("12345"));
        QCOMPARE(w.INP_USER_NUMBER->text(), QStringLiteral("12345"));
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("Remove your finger from the sensor"));
        QCOMPARE(w.AFF_MSG[1]->text(), QStringLiteral("Reception of template number: 12345"));
    }
};

QTEST_MAIN(EnrollmentTest)
#include "tst_enrollment.moc"
