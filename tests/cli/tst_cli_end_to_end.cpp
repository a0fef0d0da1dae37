// trelvane-station as a script runs it: the program itself against the simulated unit on a
// pseudo-terminal published as the folder's COM1, exit statuses and output checked.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class CliEndToEndTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess unit;

    QString folder() const { return dir.path(); }

    Run station(const QStringList &arguments)
    {
        QProcess program;
        program.start(QStringLiteral(STATION_PROGRAM),
                      QStringList{QStringLiteral("--folder"), folder()} + arguments);
        Run run;
        if (!program.waitForFinished(90000)) {
            program.kill();
            program.waitForFinished();
            return run;
        }
        run.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        run.out = program.readAllStandardOutput();
        run.err = program.readAllStandardError();
        return run;
    }

    // The program with its standard error on a terminal (a pseudo-terminal's device side),
    // as an operator at a console sees it: what it wrote there, as the terminal passes it on.
    Run stationOnATerminal(const QStringList &arguments)
    {
        Run run;
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            ::close(master);
            return run;
        }
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        QProcess program;
        program.setChildProcessModifier([terminal] { ::dup2(terminal, STDERR_FILENO); });
        program.start(QStringLiteral(STATION_PROGRAM),
                      QStringList{QStringLiteral("--folder"), folder()} + arguments);
        const auto drain = [&] {
            char chunk[4096];
            qint64 n = 0;
            while ((n = ::read(master, chunk, sizeof chunk)) > 0)
                run.err.append(chunk, n);
        };
        // Read while it runs: a full terminal would hold the program up.
        QDeadlineTimer deadline(90000);
        while (!program.waitForFinished(100) && !deadline.hasExpired())
            drain();
        ::close(terminal);
        drain();
        ::close(master);
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
            return run;
        }
        run.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        run.out = program.readAllStandardOutput();
        return run;
    }

    static QStringList templateFiles(const QString &folder)
    {
        return QDir(folder).entryList({QStringLiteral("*.DAT")}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Serial port 1, enroll mode: the station opens the folder's COM1.
        QFile config(dir.filePath(QStringLiteral("Trelvane.cfg")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("1\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
        config.close();
        unit.start(QStringLiteral(UNIT_PROGRAM),
                   {QStringLiteral("--serial"), dir.filePath(QStringLiteral("COM1")),
                    QStringLiteral("--auto-enroll"), QStringLiteral("500")});
        QVERIFY(unit.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath(QStringLiteral("COM1"))), 10000);
    }

    void cleanupTestCase()
    {
        unit.kill();
        unit.waitForFinished();
    }

    void aRefusedCommandLineStartsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("format")};
        QTest::newRow("user zero") << QStringList{QStringLiteral("enroll"), QStringLiteral("0")};
        QTest::newRow("user too large")
            << QStringList{QStringLiteral("enroll"), QStringLiteral("4294967296")};
    }
    void aRefusedCommandLineStartsNothing()
    {
        QFETCH(QStringList, arguments);
        const Run run = station(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("TrelvaneEnrollment.lock"))) ||
                templateFiles(folder()).isEmpty());
    }

    void statusEnrollListAndDeleteWorkAsTheWindowDoes()
    {
        const Run status = station({QStringLiteral("status")});
        QCOMPARE(status.status, 0);
        QVERIFY2(status.out.contains("link: Connected"), status.out.constData());
        QVERIFY(status.out.contains("handshake: answered"));

        const Run enroll = station({QStringLiteral("enroll"), QStringLiteral("4321")});
        QCOMPARE(enroll.status, 0);
        QVERIFY(enroll.out.contains("user: 4321"));
        QVERIFY(enroll.err.contains("Enrollment and Synchronization Complete"));
        QCOMPARE(templateFiles(folder()),
                 (QStringList{QStringLiteral("4321-01.DAT"), QStringLiteral("4321-02.DAT")}));

        const Run users = station({QStringLiteral("--json"), QStringLiteral("users")});
        QCOMPARE(users.status, 0);
        const QJsonObject list = QJsonDocument::fromJson(users.out).object();
        QCOMPARE(list.value(QStringLiteral("unit")).toString(), QStringLiteral("source"));
        const QJsonArray entries = list.value(QStringLiteral("users")).toArray();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].toObject().value(QStringLiteral("user")).toString(),
                 QStringLiteral("4321"));

        // The deletion asks first: without --yes the answer is No and nothing goes.
        const Run asked = station({QStringLiteral("delete"), QStringLiteral("4321")});
        QCOMPARE(asked.status, 2);
        QCOMPARE(templateFiles(folder()).size(), 2);

        const Run deleted =
            station({QStringLiteral("--yes"), QStringLiteral("delete"), QStringLiteral("4321")});
        QCOMPARE(deleted.status, 0);
        QVERIFY(deleted.err.contains("User 4321 deleted"));
        QVERIFY(templateFiles(folder()).isEmpty());
    }

    void aSecondStationOnTheFolderIsRefused()
    {
        QProcess reading;
        reading.start(QStringLiteral(STATION_PROGRAM),
                      {QStringLiteral("--folder"), folder(), QStringLiteral("read")});
        QVERIFY(reading.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += reading.readAllStandardError()).contains("until stopped") ||
                reading.state() != QProcess::Running,
            20000);
        QVERIFY2(reading.state() == QProcess::Running, said.constData());
        const Run second = station({QStringLiteral("status")});
        QCOMPARE(second.status, 5);
        QVERIFY(second.err.contains("already runs"));
        reading.terminate(); // SIGTERM: read mode ends cleanly
        QVERIFY(reading.waitForFinished(10000));
        QCOMPARE(reading.exitStatus(), QProcess::NormalExit);
        QCOMPARE(reading.exitCode(), 0);
    }

    // Long work is counted on standard error; a script reads it as a log: the first and the
    // last count, each on a line of its own.
    void backupAndSynchronizationAreCounted()
    {
        for (const QString &user : {QStringLiteral("11"), QStringLiteral("12")})
            QCOMPARE(station({QStringLiteral("enroll"), user}).status, 0);
        for (const QString &file : templateFiles(folder()))
            QVERIFY(QFile::remove(dir.filePath(file)));

        const Run backup = station({QStringLiteral("backup")});
        QCOMPARE(backup.status, 0);
        QVERIFY2(backup.err.contains("\n[0/2] users backed up\n"), backup.err.constData());
        QVERIFY2(backup.err.contains("\n[2/2] users backed up\n"), backup.err.constData());
        QVERIFY(!backup.err.contains('\r'));
        const QStringList files = templateFiles(folder());
        QCOMPARE(files.size(), 4);

        // At a console every count is shown, each over the one before, on one line.
        const Run shown = stationOnATerminal({QStringLiteral("backup")});
        QCOMPARE(shown.status, 0);
        QVERIFY2(shown.err.contains("\r[1/2] users backed up"), shown.err.constData());
        QVERIFY2(shown.err.contains("\r[2/2] users backed up\r\n"), shown.err.constData());
        QVERIFY(!shown.err.contains("\n[1/2]"));

        const Run sync = station({QStringLiteral("sync-new-unit"), QStringLiteral("COM1")});
        QCOMPARE(sync.status, 0);
        QVERIFY2(sync.err.contains("\n[0/4] 0 of 4 files, "), sync.err.constData());
        QVERIFY2(sync.err.contains("\n[4/4] 4 of 4 files, 0 s left\nSynchronization complete."),
                 sync.err.constData());
    }
};

QTEST_GUILESS_MAIN(CliEndToEndTest)
#include "tst_cli_end_to_end.moc"
