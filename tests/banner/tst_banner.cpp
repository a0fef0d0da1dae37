// The operator banner driven as the station drives it: lines written through AFF_LOG_MSG,
// the once-a-second tick called directly, the day moved on the test clock.
#include "link/Banner.h"
#include "support/HeadlessStationFixture.h"

#include <QTest>

namespace {

const QString kFingerPrompt = QStringLiteral("Place your finger on sensor and wait ...");
const QString kEstablished = QStringLiteral("Communication with Trelvane source unit established.");
const QString kCommError = QStringLiteral("Communication Error with Trelvane source unit.");

} // namespace

class BannerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessStationFixture> f;

    Station &s() { return f->station(); }
    StationState &state() { return f->state(); }
    QString line(int i) { return state().bannerLine(i); }
    void tick() { s().banner().TIM_HIDE_MSG_Timer(); }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            tick();
    }
    bool bannerShown() { return state().bannerShown(); }
    // The picture of the list PIC_MSG shows, or -1 when it is hidden.
    int pictureShown() { return state().bannerPicture(); }
    // The operation holds the window: it is disabled.
    bool windowEnabled() { return !state().busy(); }

private slots:
    void init()
    {
        f = std::make_unique<HeadlessStationFixture>();
        // An idle banner with empty lines, written around the banner's own handler.
        state().setBannerLine(0, QString());
        state().setBannerLine(1, QString());
        state().setBannerShown(false);
        state().setBannerPicture(-1);
        state().bannerCountdown = QStringLiteral("99");
        state().setBusy(false);
    }
    void cleanup() { f.reset(); }

    void linesAreClassifiedByTheFirstMatchingRow_data()
    {
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<QString>("countdown");
        QTest::addColumn<int>("picture");
        QTest::addColumn<int>("beeps");

        QTest::newRow("finger prompt") << kFingerPrompt << "User Enrollment"
                                       << "-6" << 0 << 0;
        QTest::newRow("remove finger") << "Remove your finger from the sensor"
                                       << "Reception of template number: 12345"
                                       << "-2" << 2 << 0;
        QTest::newRow("save on line 2") << "User 12345"
                                        << "Save user template to: C:\\T\\1.DAT"
                                        << "0" << 5 << 0;
        // A template that could not be saved is a failure, though its text holds "SAVE". Both
        // line changes find it, so the alarm sounds for each, as for any error on line 2.
        QTest::newRow("save failure on line 2")
            << "User: 12345"
            << "Cannot save user template to: /srv/t/12345-01.DAT"
            << "-3" << 7 << 6;
        QTest::newRow("save failure during the fetch")
            << "Remove your finger from the sensor"
            << "Cannot save user template to: /srv/t/12345-01.DAT"
            << "-3" << 7 << 6;
        QTest::newRow("upload") << "Upload template(s)"
                                << ""
                                << "0" << 5 << 0;
        QTest::newRow("synchronize with z") << "Synchronize template(s)"
                                            << ""
                                            << "0" << 5 << 0;
        QTest::newRow("upload wins over error") << "Upload error"
                                                << ""
                                                << "0" << 5 << 0;
        QTest::newRow("deleted") << "User 12 deleted"
                                 << ""
                                 << "0" << 3 << 0;
        QTest::newRow("delete wait") << "Delete User: 12"
                                     << ""
                                     << "0" << 3 << 0;
        QTest::newRow("does not exist") << "User 77 does not exist"
                                        << ""
                                        << "0" << 3 << 0;
        QTest::newRow("delete wins over enroll") << "Enroll then delete"
                                                 << ""
                                                 << "0" << 3 << 0;
        QTest::newRow("enroll") << "Enroll User: 12345"
                                << ""
                                << "0" << 6 << 0;
        QTest::newRow("complete on line 1") << "Backup Complete"
                                            << ""
                                            << "-1" << 4 << 0;
        QTest::newRow("established") << kEstablished << ""
                                     << "2" << 4 << 0;
        QTest::newRow("complete on line 2 only") << "User: 12345  Template quality: 87%"
                                                 << "Enrollment and Synchronization Complete"
                                                 << "0" << 4 << 0;
        QTest::newRow("synchronise with s") << "Synchronise user template, please wait."
                                            << ""
                                            << "0" << 5 << 0;
        QTest::newRow("handshake wait") << "Establish communication with Trelvane source unit"
                                        << ""
                                        << "-3" << 8 << 0;
        QTest::newRow("error") << kCommError << ""
                               << "-3" << 7 << 3;
        QTest::newRow("lower-case error") << "a serial error"
                                          << ""
                                          << "-3" << 7 << 3;
        QTest::newRow("no row") << "Hello"
                                << "World"
                                << "0" << -1 << 0;
    }
    void linesAreClassifiedByTheFirstMatchingRow()
    {
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        QFETCH(QString, countdown);
        QFETCH(int, picture);
        QFETCH(int, beeps);

        // Line 2 first: the classification that counts is the one of the last change.
        s().AFF_LOG_MSG(line2, 2);
        s().AFF_LOG_MSG(line1, 1);

        QVERIFY(bannerShown());
        QCOMPARE(state().bannerCountdown, countdown);
        QCOMPARE(pictureShown(), picture);
        QCOMPARE(f->dialogs.beeps(), beeps);
        QVERIFY(!windowEnabled());
    }

    void unansweredFingerPromptTimesOutOnTheTwelfthTick_data()
    {
        QTest::addColumn<QString>("line2");
        QTest::addColumn<int>("beeps");
        // Emptying a line 2 that held a text classifies the error a second time.
        QTest::newRow("line 2 empty") << "" << 3;
        QTest::newRow("line 2 with a text") << "User Enrollment" << 6;
    }
    void unansweredFingerPromptTimesOutOnTheTwelfthTick()
    {
        QFETCH(QString, line2);
        QFETCH(int, beeps);
        s().AFF_LOG_MSG(kFingerPrompt, 1);
        s().AFF_LOG_MSG(line2, 2);

        ticks(11);
        QCOMPARE(line(0), kFingerPrompt);
        QVERIFY(!windowEnabled());
        QCOMPARE(f->dialogs.beeps(), 0);

        tick();
        QCOMPARE(line(0), kCommError);
        QCOMPARE(line(1), QString());
        QCOMPARE(pictureShown(), 7);
        QCOMPARE(f->dialogs.beeps(), beeps);
        QVERIFY(windowEnabled());
        QVERIFY(bannerShown());

        // The error's own countdown, which the time-out tick already counted once.
        ticks(7);
        QVERIFY(bannerShown());
        QCOMPARE(line(0), kCommError);
        tick();
        QVERIFY(!bannerShown());
        QCOMPARE(line(0), QString());
        QCOMPARE(f->dialogs.beeps(), beeps);
    }

    void waitsTimeOutButTheirAnswersDoNot_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ticksToAct");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("handshake wait")
            << "Establish communication with Trelvane source unit" << 9 << true;
        QTest::newRow("delete wait") << "Delete User: 12" << 6 << true;
        QTest::newRow("deletion done") << "User 12 deleted" << 6 << false;
        QTest::newRow("remove finger") << "Remove your finger from the sensor" << 8 << false;
        QTest::newRow("complete") << "Backup Complete" << 7 << false;
        QTest::newRow("ordinary") << "Hello" << 6 << false;
    }
    void waitsTimeOutButTheirAnswersDoNot()
    {
        QFETCH(QString, text);
        QFETCH(int, ticksToAct);
        QFETCH(bool, timesOut);
        s().AFF_LOG_MSG(text, 1);

        ticks(ticksToAct - 1);
        QCOMPARE(line(0), text);
        QVERIFY(bannerShown());
        QVERIFY(!windowEnabled());

        tick();
        QCOMPARE(line(0), timesOut ? kCommError : QString());
        QCOMPARE(bannerShown(), timesOut);
        QVERIFY(windowEnabled());
        QCOMPARE(state().bannerCountdown, timesOut ? QStringLiteral("-2") : QStringLiteral("100"));
    }

    void establishedIsHiddenOnItsFourthTick()
    {
        s().AFF_LOG_MSG(QStringLiteral("Establish communication with Trelvane source unit"), 1);
        tick();
        s().AFF_LOG_MSG(kEstablished, 1);
        ticks(3);
        QVERIFY(bannerShown());
        QVERIFY(!windowEnabled());
        tick();
        QVERIFY(!bannerShown());
        QVERIFY(windowEnabled());
        QCOMPARE(line(0), QString());
        QCOMPARE(line(1), QString());
        QCOMPARE(state().bannerCountdown, QStringLiteral("100"));
        QCOMPARE(f->dialogs.beeps(), 0);
    }

    void aLaterMessageRestartsTheCountdownAndKeepsTheWindowDisabled()
    {
        s().AFF_LOG_MSG(QStringLiteral("Hello"), 1);
        ticks(5);
        s().AFF_LOG_MSG(QStringLiteral("World"), 1);
        ticks(5);
        QVERIFY(bannerShown());
        QVERIFY(!windowEnabled());
        tick();
        QVERIFY(!bannerShown());
        QVERIFY(windowEnabled());
    }

    void idleBannerIsLeftAloneAndAnUnreadableCountdownCountsAsZero()
    {
        ticks(3);
        QCOMPARE(state().bannerCountdown, QStringLiteral("99"));
        QVERIFY(!bannerShown());

        s().AFF_LOG_MSG(QStringLiteral("Hello"), 1);
        state().bannerCountdown = QStringLiteral("abc");
        tick();
        QCOMPARE(state().bannerCountdown, QStringLiteral("1"));
        ticks(4);
        QVERIFY(bannerShown());
        tick();
        QVERIFY(!bannerShown());
    }

    void logCheckBoxNamesTheNewDayAtMidnight()
    {
        QCOMPARE(state().logCaption(), QStringLiteral("Log activity to Trelvane_DATE.log"));
        f->clock.setNow(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 500)));
        tick();
        QCOMPARE(state().logCaption(), QStringLiteral("Log activity to Trelvane_31-12-2026.log"));
        f->clock.setNow(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 500)));
        tick();
        QCOMPARE(state().logCaption(), QStringLiteral("Log activity to Trelvane_01-01-2027.log"));
    }

    void everyNewLineTextIsLoggedWhileLoggingIsOn()
    {
        s().AFF_LOG_MSG(QStringLiteral("Not logged"), 1);
        f->enableLog();
        s().AFF_LOG_MSG(QStringLiteral("Enroll User: 12345"), 1);
        s().AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2);
        s().AFF_LOG_MSG(QStringLiteral("User Enrollment"), 2); // no change, no line
        ticks(6);

        QStringList entries = f->logLines();
        const qsizetype body = entries.indexOf(QString()) + 1; // after the header
        QVERIFY(body > 0);
        entries = entries.mid(body);
        QCOMPARE(entries, (QStringList{"14:03:27 Enroll User: 12345", "14:03:27 User Enrollment",
                                       "14:03:27 ", "14:03:27 "}));
    }
};

QTEST_GUILESS_MAIN(BannerTest)
#include "tst_banner.moc"
