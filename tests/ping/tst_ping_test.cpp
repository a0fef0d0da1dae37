#include "config/TargetList.h"
#include "diag/PingScript.h"
#include "diag/PingTest.h"
#include "support/HeadlessStationFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString kHyphens(80, u'-');

QStringList linesOf(const QByteArray &script, const char *end)
{
    QStringList lines = QString::fromLatin1(script).split(QString::fromLatin1(end));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QList<PingScript::Entry> threeEntriesSecondTicked()
{
    return {{TargetList::entryText(QStringLiteral("10.0.0.1"), QStringLiteral("Hall")), false},
            {TargetList::entryText(QStringLiteral("10.0.0.2"), QStringLiteral("Door")), true},
            {TargetList::entryText(QStringLiteral("10.0.0.3"), QStringLiteral("Gate")), false}};
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

#ifndef Q_OS_WIN
mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
#endif

// A ping that only says what it was given, one argument per bracket.
bool writeStubPing(const QString &folder)
{
    const QString path = folder + QStringLiteral("/ping");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\nprintf 'ping'\nfor a in \"$@\"; do printf ' [%s]' \"$a\"; done\n"
               "printf '\\n'\n");
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner);
}

} // namespace

class PingTestTest : public QObject
{
    Q_OBJECT
private slots:
    void windowsScriptOfThreeEntriesWithTheSecondTicked();
    void windowsScriptKeepsAnEntryFromCmd_data();
    void windowsScriptKeepsAnEntryFromCmd();
    void posixScriptDoesTheSameTest();
    void posixScriptKeepsAnEntryFromTheShell();
    void hostileEntryReachesTheConsoleOnlyAsText_data();
    void hostileEntryReachesTheConsoleOnlyAsText();
    void scriptNameTakenByALinkIsRefused_data();
    void scriptNameTakenByALinkIsRefused();
    void clickWritesTheScriptAndStartsItInAConsole();
    void clickWithoutCurrentEntryDoesNothing();
    void consoleThatCannotStartIsReported();
    void loadCommandAsksForAUserAndIgnoresZero();
};

void PingTestTest::windowsScriptOfThreeEntriesWithTheSecondTicked()
{
    const QByteArray script = PingScript::windowsScript(threeEntriesSecondTicked());
    QVERIFY(script.endsWith("PAUSE \r\n"));
    QCOMPARE(linesOf(script, "\r\n"),
             (QStringList{QStringLiteral("@ECHO OFF"), QStringLiteral("ECHO ") + kHyphens,
                          QStringLiteral("ECHO 10.0.0.2       "),
                          QStringLiteral("PING 10.0.0.2        -l 10 -n 1 -w 500"),
                          QStringLiteral("ECHO ") + kHyphens, QStringLiteral("ECHO ") + kHyphens,
                          QStringLiteral("PAUSE ")}));
}

void PingTestTest::windowsScriptKeepsAnEntryFromCmd_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("asText"); // the first 15 characters, as cmd must see them
    QTest::newRow("command after &") << "1&echo HACKED"
                                     << "1^&echo HACKED";
    QTest::newRow("pipe and redirection") << "1|x>y<z"
                                          << "1^|x^>y^<z";
    QTest::newRow("variables") << "%PATH%"
                               << "%%PATH%%";
    QTest::newRow("quotes and escapes") << "\"^\"&()"
                                        << "^\"^^^\"^&^(^)";
    QTest::newRow("line break") << QStringLiteral("1\r\nDEL x") << "1  DEL x";
}

void PingTestTest::windowsScriptKeepsAnEntryFromCmd()
{
    QFETCH(QString, entry);
    QFETCH(QString, asText);
    const QStringList lines = linesOf(PingScript::windowsScript({{entry, true}}), "\r\n");
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(1), QStringLiteral("ECHO ") + asText);
    QCOMPARE(lines.at(2), QStringLiteral("PING ") + asText + QStringLiteral(" -l 10 -n 1 -w 500"));
}

void PingTestTest::posixScriptDoesTheSameTest()
{
    QCOMPARE(linesOf(PingScript::posixScript(threeEntriesSecondTicked()), "\n"),
             (QStringList{QStringLiteral("#!/bin/sh"), QStringLiteral("echo ") + kHyphens,
                          QStringLiteral("printf '%s\\n' '10.0.0.2       '"),
                          QStringLiteral("ping -c 1 -s 10 -W 0.5 -- '10.0.0.2'"),
                          QStringLiteral("echo ") + kHyphens, QStringLiteral("echo ") + kHyphens,
                          QStringLiteral("printf 'Press Enter to close this window. '"),
                          QStringLiteral("read answer")}));
}

void PingTestTest::posixScriptKeepsAnEntryFromTheShell()
{
    const QByteArray script = PingScript::posixScript({{QStringLiteral("a'b;rm -rf x"), true}});
    QVERIFY(script.contains("printf '%s\\n' 'a'\\''b;rm -rf x'\n"));
    QVERIFY(script.contains("ping -c 1 -s 10 -W 0.5 -- 'a'\\''b;rm -rf x'\n"));
}

void PingTestTest::hostileEntryReachesTheConsoleOnlyAsText_data()
{
    // The entry as typed into the target list; what the console must print for it and what
    // ping must be given (at most 15 characters, controls shown as "?").
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("address");
    QTest::newRow("a written-out escape sequence")
        << QStringLiteral("\\033]0;x\\a") << QStringLiteral("\\033]0;x\\a")
        << QStringLiteral("\\033]0;x\\a");
    QTest::newRow("a raw escape sequence that retitles the window")
        << QStringLiteral("\x1b]0;x\x07 10.0.0.1") << QStringLiteral("?]0;x? 10.0.0.1")
        << QStringLiteral("?]0;x? 10.0.0.1");
    QTest::newRow("a raw escape that would swallow the output")
        << QStringLiteral("\x1b[8m10.0.0.1") << QStringLiteral("?[8m10.0.0.1")
        << QStringLiteral("?[8m10.0.0.1");
    QTest::newRow("an 8-bit control sequence introducer")
        << QStringLiteral("\u009b2J10.0.0.1") << QStringLiteral("?2J10.0.0.1")
        << QStringLiteral("?2J10.0.0.1");
    QTest::newRow("a line break faking another result")
        << QStringLiteral("a\nb\rc\td") << QStringLiteral("a?b?c?d") << QStringLiteral("a?b?c?d");
    QTest::newRow("an option for ping")
        << QStringLiteral("-f") << QStringLiteral("-f") << QStringLiteral("-f");
    QTest::newRow("an option for printf")
        << QStringLiteral("-v x 10.0.0.1") << QStringLiteral("-v x 10.0.0.1")
        << QStringLiteral("-v x 10.0.0.1");
    QTest::newRow("a command substitution")
        << QStringLiteral("$(touch x)") << QStringLiteral("$(touch x)")
        << QStringLiteral("$(touch x)");
    QTest::newRow("backticks") << QStringLiteral("`touch x`") << QStringLiteral("`touch x`")
                               << QStringLiteral("`touch x`");
    QTest::newRow("quotes") << QStringLiteral("a'b\"c';touch x")
                            << QStringLiteral("a'b\"c';touch x")
                            << QStringLiteral("a'b\"c';touch x");
    QTest::newRow("a printf format")
        << QStringLiteral("%s%n%d 10.0.0.1") << QStringLiteral("%s%n%d 10.0.0.1")
        << QStringLiteral("%s%n%d 10.0.0.1");
}

void PingTestTest::hostileEntryReachesTheConsoleOnlyAsText()
{
    QFETCH(QString, entry);
    QFETCH(QString, printed);
    QFETCH(QString, address);
    const QByteArray script = PingScript::posixScript({{entry, true}});

    // The script itself carries no control character but its line ends.
    for (const char c : script)
        QVERIFY2(c == '\n' || (quint8(c) >= 0x20 && quint8(c) != 0x7F), script.constData());

    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    if (sh.isEmpty())
        QSKIP("no sh to run the script with");
    QTemporaryDir work;
    QVERIFY(writeStubPing(work.path()));
    const QString scriptPath = work.filePath(QStringLiteral("OMBRIX_PING.BAT"));
    {
        QFile file(scriptPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
    }
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), work.path() + u':' + env.value(QStringLiteral("PATH")));
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(work.path());
    run.setStandardInputFile(QProcess::nullDevice());
    run.start(sh, {scriptPath});
    QVERIFY(run.waitForFinished(10000));
    const QByteArray output = run.readAllStandardOutput();

    for (const char c : output)
        QVERIFY2(c == '\n' || (quint8(c) >= 0x20 && quint8(c) != 0x7F), output.constData());
    const QStringList lines = QString::fromUtf8(output).split(u'\n');
    QVERIFY2(lines.size() >= 2, output.constData());
    QCOMPARE(lines[0], printed);
    QCOMPARE(lines[1], QStringLiteral("ping [-c] [1] [-s] [10] [-W] [0.5] [--] [%1]").arg(address));
    QCOMPARE(run.readAllStandardError(), QByteArray());
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("x"))));
}

void PingTestTest::scriptNameTakenByALinkIsRefused_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::newRow("a link to another file") << false;
    QTest::newRow("a dangling link") << true;
}

void PingTestTest::scriptNameTakenByALinkIsRefused()
{
    QFETCH(bool, dangling);
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes a shell shortcut on Windows, not a link the file system follows; "
          "the Windows form of this rule is tested in tests/windows (tst_wine_safe_file).");
#endif
    HeadlessStationFixture f;
    f.enableLog();
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("profile"));
    if (!dangling) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mine\n");
    }
    const QString path = f.folder() + QStringLiteral("OMBRIX_PING.BAT");
    QVERIFY(QFile::link(target, path));
    f.station().targetList().addEntry(QStringLiteral("10.0.0.1"));
    f.state().setCurrentTarget(0);

    f.station().pingTest().B_PING_Click();

    QCOMPARE(QFileInfo::exists(target), !dangling);
    if (!dangling)
        QCOMPARE(contentOf(target), QByteArray("mine\n"));
    QVERIFY(QFileInfo(path).isSymLink());
    QVERIFY(f.scripts.started.isEmpty());
    QCOMPARE(f.dialogs.shown().size(), 1);
    QVERIFY(f.logBytes().contains("Ping test: Cannot write " + QFile::encodeName(path) +
                                  ": is a symbolic link"));
}

void PingTestTest::clickWritesTheScriptAndStartsItInAConsole()
{
    HeadlessStationFixture f;
    for (const auto &entry : threeEntriesSecondTicked())
        f.station().targetList().addEntry(entry.text);
    f.state().setTargetTicked(0, false);
    f.state().setTargetTicked(2, false);
    f.state().setCurrentTarget(2);
    const QString path = f.folder() + QStringLiteral("OMBRIX_PING.BAT");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'z'));
    }

    f.station().pingTest().B_PING_Click();

    QCOMPARE(contentOf(path), PingScript::script(threeEntriesSecondTicked()));
#ifndef Q_OS_WIN
    // On Windows the folders' access rights decide who may read or change the files.
    QCOMPARE(modeOf(path), mode_t(0660));
#endif
    // What runs is a copy no other account can change, in a folder of its own.
    QCOMPARE(f.scripts.started.size(), 1);
    const QString running = f.scripts.started[0];
    QVERIFY(running != path);
    QCOMPARE(QFileInfo(running).fileName(), QStringLiteral("OMBRIX_PING.BAT"));
    QCOMPARE(contentOf(running), contentOf(path));
    const QString runningFolder = QFileInfo(running).path();
    QVERIFY(!runningFolder.startsWith(QDir(f.folder()).absolutePath()));
#ifndef Q_OS_WIN
    QCOMPARE(modeOf(runningFolder), mode_t(0700));
    QCOMPARE(modeOf(running), mode_t(0700));
    QCOMPARE(QFileInfo(runningFolder).ownerId(), uint(::geteuid()));
#endif
    QCOMPARE(QDir(runningFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("OMBRIX_PING.BAT")});
    QCOMPARE(f.state().tcpAddress(), QStringLiteral("10.0.0.3"));
    QVERIFY(f.dialogs.shown().isEmpty());
}

void PingTestTest::clickWithoutCurrentEntryDoesNothing()
{
    HeadlessStationFixture f;
    f.station().targetList().addEntry(QStringLiteral("10.0.0.1"));
    f.state().setCurrentTarget(-1);
    f.state().setTcpAddress(QStringLiteral("kept"));
    f.station().pingTest().B_PING_Click();
    QVERIFY(!QFile::exists(f.folder() + QStringLiteral("OMBRIX_PING.BAT")));
    QVERIFY(f.scripts.started.isEmpty());
    QCOMPARE(f.state().tcpAddress(), QStringLiteral("kept"));
}

void PingTestTest::consoleThatCannotStartIsReported()
{
    HeadlessStationFixture f;
    f.enableLog();
    f.station().targetList().addEntry(QStringLiteral("10.0.0.1"));
    f.state().setCurrentTarget(0);
    f.scripts.setFailure(QStringLiteral("No terminal window could be started"));
    f.station().pingTest().B_PING_Click();
    QCOMPARE(f.dialogs.shown().size(), 1);
    QVERIFY(f.dialogs.shown()[0].text.startsWith(QLatin1String("No terminal window")));
    QVERIFY(f.logBytes().contains("Ping test not started: No terminal window could be started"));
}

void PingTestTest::loadCommandAsksForAUserAndIgnoresZero()
{
#ifdef Q_OS_WIN
    QSKIP("Its serial peer is a pseudo-terminal in the test's own process, which Windows does "
          "not have.");
#endif
    HeadlessStationFixture f;
    QVERIFY(f.openSerialPeer());
    f.dialogs.answerInput(QStringLiteral("0"));
    f.station().pingTest().B_LOAD_TST_Click();
    f.station().pingTest().B_LOAD_TST_Click(); // cancelled: an empty answer
    QCOMPARE(f.dialogs.shown().size(), 2);
    QCOMPARE(f.dialogs.shown()[0].text, QStringLiteral("User number"));
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("User number"));
    QVERIFY(f.readSent(1, 100).isEmpty());
}

QTEST_GUILESS_MAIN(PingTestTest)
#include "tst_ping_test.moc"
