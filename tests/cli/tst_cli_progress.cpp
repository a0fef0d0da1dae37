#include "cli/ProgressReporter.h"

#include "station/StationState.h"

#include <QTest>
#include <QTextStream>

class TestCliProgress : public QObject
{
    Q_OBJECT

    struct Reporter
    {
        Reporter() : stream(&text), reporter(state, stream) {}
        StationState state;
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

    void unitBytesCannotDriveTheTerminal()
    {
        Reporter r;
        r.show(QStringLiteral("User: 5\x1b[1A\r"), QStringLiteral("\x1b]0;t\x07"));
        QCOMPARE(r.settled(), QStringLiteral("User: 5\\x1b[1A\\x0d \\x1b]0;t\\x07\n"));
    }

    void counter()
    {
        Reporter r;
        r.reporter.reportCount(0, 3, QStringLiteral("0 of 3 files"));
        r.reporter.reportCount(0, 3, QStringLiteral("0 of 3 files"));
        r.reporter.reportCount(1, 3);
        QCOMPARE(r.text, QStringLiteral("[0/3] 0 of 3 files\n[1/3]\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliProgress)
#include "tst_cli_progress.moc"
