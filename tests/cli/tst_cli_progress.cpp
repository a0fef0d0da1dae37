#include "cli/ProgressReporter.h"

#include "platform/TestClock.h"
#include "station/StationState.h"

#include <QTest>
#include <QTextStream>

using Output = ProgressReporter::Output;

class TestCliProgress : public QObject
{
    Q_OBJECT

    struct Reporter
    {
        explicit Reporter(Output output = Output::Log)
            : stream(&text), reporter(state, stream, output, clock)
        {}
        StationState state;
        TestClock clock;
        QString text;
        QTextStream stream;
        ProgressReporter reporter;

        // What a part does: line 1, then line 2, in one go.
        void show(const QString &line1, const QString &line2)
        {
            state.setBannerLine(0, line1);
            state.setBannerLine(1, line2);
        }
        QString settled()
        {
            QCoreApplication::processEvents();
            return std::exchange(text, QString());
        }
    };

private slots:
    // The steps of an enrollment as the parts write them: each step once, with the lines
    // as they stand when the part lets the program go on, not a line 1 with a stale line 2.
    void oneLinePerStep()
    {
        Reporter r;
        r.show(QStringLiteral("Place your finger on sensor and wait ..."),
               QStringLiteral("User Enrollment"));
        QCOMPARE(r.settled(),
                 QStringLiteral("Place your finger on sensor and wait ... User Enrollment\n"));
        r.show(QStringLiteral("Enroll User: 12"), QString());
        QCOMPARE(r.settled(), QStringLiteral("Enroll User: 12\n"));
        // The same step written again (bulk collection writes its line per chunk).
        r.show(QStringLiteral("Enroll User: 12"), QString());
        QCOMPARE(r.settled(), QString());
        // Lines cleared only: the banner goes, no step.
        r.show(QString(), QString());
        QCOMPARE(r.settled(), QString());
        // A second line that starts with its own blank is not given another.
        r.show(QStringLiteral("Upload user #12 template #1"), QStringLiteral(" to 3 target units"));
        QCOMPARE(r.settled(), QStringLiteral("Upload user #12 template #1 to 3 target units\n"));
        r.show(QString(), QStringLiteral("Enrollment and Synchronization Complete"));
        QCOMPARE(r.settled(), QStringLiteral("Enrollment and Synchronization Complete\n"));
    }

    // A wait that serves no events follows showNow: the step is written before it.
    void showNowWritesAtOnce()
    {
        Reporter r;
        r.show(QStringLiteral("Delete User: 7"), QString());
        emit r.state.showNow();
        QCOMPARE(r.text, QStringLiteral("Delete User: 7\n"));
        QCOMPARE(r.settled(), QStringLiteral("Delete User: 7\n")); // not a second time
    }

    // The error panel's line is not a banner step.
    void errorLineIsNotAStep()
    {
        Reporter r;
        r.state.setBannerLine(2, QStringLiteral("Communication error"));
        QCOMPARE(r.settled(), QString());
    }

    void unitBytesCannotDriveTheTerminal_data()
    {
        QTest::addColumn<Output>("output");
        QTest::newRow("log") << Output::Log;
        QTest::newRow("terminal") << Output::Terminal;
    }
    void unitBytesCannotDriveTheTerminal()
    {
        QFETCH(Output, output);
        Reporter r(output);
        r.show(QStringLiteral("User: 5\x1b[1A\r"), QStringLiteral("\x1b]0;t\x07"));
        QCOMPARE(r.settled(), QStringLiteral("User: 5\\x1b[1A\\x0d \\x1b]0;t\\x07\n"));
        // The bar's text is a file's name and count: the same.
        r.state.setSyncProgress({true, 0, 2, QStringLiteral("0 of 2\x1b[2J")});
        r.reporter.finish();
        const QString counted = r.settled();
        QVERIFY2(counted.contains(QLatin1String("\\x1b[2J")) && !counted.contains(QChar(0x1b)),
                 qPrintable(counted));
    }

    // In a log each count that is written is a line; a long run writes one when the whole
    // percentage has changed and at least the interval has passed, and always its first and
    // last count, however fast or slow the work goes.
    void aLogKeepsLongWorkShort_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("msPerStep");
        QTest::addColumn<QList<int>>("written");
        constexpr int interval = ProgressReporter::kLogIntervalMs;
        QTest::newRow("slow: every step") << 3 << interval * 2 << QList<int>{0, 1, 2, 3};
        QTest::newRow("quick and short: first and last") << 3 << 1000 << QList<int>{0, 3};
        QList<int> everyFifty;
        for (int done = 0; done <= 500; done += 50)
            everyFifty << done;
        QTest::newRow("quick and long: every interval") << 500 << 100 << everyFifty;
        QList<int> everyPercent;
        for (int done = 0; done <= 300; done += 3)
            everyPercent << done;
        QTest::newRow("slow and long: every whole percent") << 300 << interval << everyPercent;
        QTest::newRow("nothing to do") << 0 << 1000 << QList<int>{0};
    }
    void aLogKeepsLongWorkShort()
    {
        QFETCH(int, total);
        QFETCH(int, msPerStep);
        QFETCH(QList<int>, written);
        Reporter r(Output::Log);
        r.reporter.reportCount(0, total, QStringLiteral("users"));
        for (int done = 1; done <= total; ++done) {
            r.clock.advance(msPerStep);
            r.reporter.reportCount(done, total, QStringLiteral("users"));
        }
        r.reporter.endCount();
        QString expected;
        for (const int done : written)
            expected += QStringLiteral("[%1/%2] users\n").arg(done).arg(total);
        QCOMPARE(r.settled(), expected);
    }

    // Work given up before its end leaves the count it reached in the log, once; the next
    // work's first count is written however soon it comes.
    void aLogKeepsWhereWorkStopped()
    {
        Reporter r(Output::Log);
        for (int done = 0; done <= 7; ++done)
            r.reporter.reportCount(done, 40);
        r.reporter.endCount();
        r.reporter.endCount();
        r.reporter.reportCount(0, 40);
        r.reporter.reportCount(0, 40);
        QCOMPARE(r.settled(), QStringLiteral("[0/40]\n[7/40]\n[0/40]\n"));
    }

    // On a terminal the counter is one line rewritten in place (blanks cover a longer text
    // before it), steps are written above it, and it is ended when the work is.
    void aTerminalRewritesOneLine()
    {
        Reporter r(Output::Terminal);
        r.reporter.reportCount(0, 12, QStringLiteral("users backed up"));
        r.reporter.reportCount(1, 12, QStringLiteral("users"));
        r.show(QStringLiteral("Cannot save 7-01.DAT"), QString());
        QCoreApplication::processEvents();
        r.reporter.reportCount(2, 12);
        QCOMPARE(r.text, QStringLiteral("\r[0/12] users backed up"
                                        "\r[1/12] users          "
                                        "\r            \rCannot save 7-01.DAT\n"
                                        "\r[1/12] users"
                                        "\r[2/12]      "));
        r.text.clear();
        r.reporter.reportCount(12, 12);
        r.reporter.finish();
        QCOMPARE(r.settled(), QStringLiteral("\r[12/12]\n"));

        // Given up: the line is ended when the program finishes, and only then.
        r.reporter.reportCount(3, 12);
        r.show(QStringLiteral("Synchronization complete."), QString());
        r.reporter.finish();
        QCOMPARE(r.settled(), QStringLiteral("\r[3/12]\r      \rSynchronization complete.\n"
                                             "\r[3/12]\n"));
    }

    // A new unit's synchronization is counted as its progress bar shows it, the banner's
    // steps around it in the order they came.
    void theSynchronizationIsCountedAsItsBarShowsIt()
    {
        Reporter r(Output::Log);
        r.show(QStringLiteral("Synchronize new Trelvane unit: COM"), QString());
        r.state.setSyncProgress({true, 0, 2, QStringLiteral("0 of 2 files, 1 s left")});
        r.clock.advance(600);
        r.state.setSyncProgress({true, 1, 2, QStringLiteral("1 of 2 files, 1 s left")});
        r.clock.advance(600);
        r.state.setSyncProgress({true, 2, 2, QStringLiteral("2 of 2 files, 0 s left")});
        r.state.setSyncProgress({false, 2, 2, QStringLiteral("2 of 2 files, 0 s left")});
        r.show(QStringLiteral("Synchronization complete."), QString());
        QCOMPARE(r.settled(), QStringLiteral("Synchronize new Trelvane unit: COM\n"
                                             "[0/2] 0 of 2 files, 1 s left\n"
                                             "[2/2] 2 of 2 files, 0 s left\n"
                                             "Synchronization complete.\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliProgress)
#include "tst_cli_progress.moc"
