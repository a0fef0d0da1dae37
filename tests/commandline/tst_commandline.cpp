// The station's command line: --help and --version answer before anything opens (no display,
// no file written), an unknown option is refused with the usage, and --folder moves every
// file of the station into the folder it names.
#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Action = CommandLine::Action;

// The names in a folder, the program's own copy left out.
QStringList namesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral("TrelvaneEnrollment"));
    return names;
}

// Neither an X display, nor Wayland, nor a Qt platform: what a console or a package build
// gives.
QProcessEnvironment withoutDisplay(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

Run runProgram(const QString &program, const QStringList &arguments, const QString &folder,
               const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void answersWithoutADisplayAndWritesNothing_data();
    void answersWithoutADisplayAndWritesNothing();
    void folderOptionHoldsEveryFileOfTheStation();
};

void CommandLineTest::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("error");

    const QString none;
    QTest::newRow("nothing: the program's folder") << QStringList{} << Action::Run << none << none;
    QTest::newRow("--folder DIR") << QStringList{"--folder", "/var/opt/trelvane"} << Action::Run
                                  << "/var/opt/trelvane" << none;
    QTest::newRow("--folder=DIR") << QStringList{"--folder=/srv/site one"} << Action::Run
                                  << "/srv/site one" << none;
    QTest::newRow("--help") << QStringList{"--help"} << Action::Help << none << none;
    QTest::newRow("-h after a folder")
        << QStringList{"--folder", "/x", "-h"} << Action::Help << none << none;
    QTest::newRow("help wins over a wrong option")
        << QStringList{"--help", "--bogus"} << Action::Help << none << none;
    QTest::newRow("--version") << QStringList{"--version"} << Action::Version << none << none;
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << Action::Error << none << "unknown option --bogus";
    QTest::newRow("a Qt option is not the station's")
        << QStringList{"-platform", "offscreen"} << Action::Error << none
        << "unknown option -platform";
    QTest::newRow("argument without option")
        << QStringList{"/opt"} << Action::Error << none << "unexpected argument /opt";
    QTest::newRow("--folder without a folder") << QStringList{"--folder"} << Action::Error << none
                                               << "--folder needs the name of a folder";
    QTest::newRow("--folder= empty") << QStringList{"--folder="} << Action::Error << none
                                     << "--folder needs the name of a folder";
    QTest::newRow("--folder twice") << QStringList{"--folder", "/a", "--folder", "/b"}
                                    << Action::Error << none << "--folder is given twice";
}

void CommandLineTest::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, folder);
    QFETCH(QString, error);

    arguments.prepend(QStringLiteral("TrelvaneEnrollment"));
    const CommandLine command = CommandLine::parse(arguments);
    QCOMPARE(command.action, action);
    if (action == Action::Run)
        QCOMPARE(command.folder, folder);
    QCOMPARE(command.error, error);
}

void CommandLineTest::answersWithoutADisplayAndWritesNothing_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    const QString station = QStringLiteral("station");
    const QString unit = QStringLiteral(UNIT_PROGRAM);
    QTest::newRow("station --help")
        << station << QStringList{"--help"} << 0 << "--folder DIR" << QString();
    QTest::newRow("station --help with a folder")
        << station << QStringList{"--folder", "data", "--help"} << 0 << "UDP 10002" << QString();
    QTest::newRow("station --version")
        << station << QStringList{"--version"} << 0 << "TrelvaneEnrollment 1." << QString();
    QTest::newRow("station, unknown option") << station << QStringList{"--bogus"} << 2 << QString()
                                             << "TrelvaneEnrollment: unknown option --bogus";
    QTest::newRow("station, missing folder") << station << QStringList{"--folder", "absent"} << 2
                                             << QString() << "the folder absent does not exist";
    QTest::newRow("unit --version")
        << unit << QStringList{"--version"} << 0 << "trelvane-unit 1." << QString();
    QTest::newRow("unit --help") << unit << QStringList{"--help"} << 0 << "--version" << QString();
}

void CommandLineTest::answersWithoutADisplayAndWritesNothing()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);

    // The station runs from a copy in an empty folder, so that anything it writes beside
    // itself, in its working folder or in its data folder shows.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("data")));
    if (program == QLatin1String("station")) {
        program = folder.filePath(QStringLiteral("TrelvaneEnrollment"));
        QVERIFY(QFile::copy(QStringLiteral(STATION_PROGRAM), program));
    }
    const Run run = runProgram(program, arguments, folder.path(), withoutDisplay(folder.path()));

    QCOMPARE(run.status, QProcess::NormalExit);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0) {
        QVERIFY2(run.out.contains(stdoutHas), qPrintable(run.out));
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    } else {
        QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("usage:")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
    QCOMPARE(namesIn(folder.path()), QStringList{QStringLiteral("data")});
    QCOMPARE(namesIn(folder.filePath(QStringLiteral("data"))), QStringList{});
}

void CommandLineTest::folderOptionHoldsEveryFileOfTheStation()
{
    QTemporaryDir programFolder;
    QTemporaryDir dataFolder;
    QTemporaryDir home;
    QVERIFY(programFolder.isValid() && dataFolder.isValid() && home.isValid());
    const QString program = programFolder.filePath(QStringLiteral("TrelvaneEnrollment"));
    QVERIFY(QFile::copy(QStringLiteral(STATION_PROGRAM), program));

    // A station whose enroll password was defined as none: start-up enters enroll mode
    // without a question and saves the settings (a new station would first ask for one).
    QFile password(dataFolder.filePath(QStringLiteral("ADPW.CFG")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.close();

    QProcess station;
    QProcessEnvironment env = withoutDisplay(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    station.setProcessEnvironment(env);
    station.setWorkingDirectory(programFolder.path());
    station.start(program, {QStringLiteral("--folder"), dataFolder.path()});
    QVERIFY(station.waitForStarted());
    // Start-up ends by saving the settings in enroll mode.
    const QString config = dataFolder.filePath(QStringLiteral("Trelvane.cfg"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(config), 20000);
    QVERIFY(namesIn(dataFolder.path()).contains(QStringLiteral("TrelvaneEnrollment.lock")));
    QCOMPARE(namesIn(programFolder.path()), QStringList{});

    station.kill();
    QVERIFY(station.waitForFinished());
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
