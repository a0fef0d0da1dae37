#include "config/TargetList.h"
#include "diag/PingScript.h"
#include "diag/PingTest.h"
#include "support/StationFixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

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
                          QStringLiteral("echo '10.0.0.2       '"),
                          QStringLiteral("ping -c 1 -s 10 -W 0.5 '10.0.0.2'"),
                          QStringLiteral("echo ") + kHyphens, QStringLiteral("echo ") + kHyphens,
                          QStringLiteral("printf 'Press Enter to close this window. '"),
                          QStringLiteral("read answer")}));
}

void PingTestTest::posixScriptKeepsAnEntryFromTheShell()
{
    const QByteArray script = PingScript::posixScript({{QStringLiteral("a'b;rm -rf x"), true}});
    QVERIFY(script.contains("echo 'a'\\''b;rm -rf x'\n"));
    QVERIFY(script.contains("ping -c 1 -s 10 -W 0.5 'a'\\''b;rm -rf x'\n"));
}

void PingTestTest::clickWritesTheScriptAndStartsItInAConsole()
{
    StationFixture f;
    for (const auto &entry : threeEntriesSecondTicked())
        f.w().targetList().addEntry(entry.text);
    f.w().LST_IP->item(0)->setCheckState(Qt::Unchecked);
    f.w().LST_IP->item(2)->setCheckState(Qt::Unchecked);
    f.w().LST_IP->setCurrentRow(2);
    const QString path = f.folder() + QStringLiteral("OMBRIX_PING.BAT");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'z'));
    }

    f.w().pingTest().B_PING_Click();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), PingScript::script(threeEntriesSecondTicked()));
    QCOMPARE(f.scripts.started, QStringList{path});
    QCOMPARE(f.w().INP_IP->text(), QStringLiteral("10.0.0.3"));
    QVERIFY(f.dialogs.shown().isEmpty());
}

void PingTestTest::clickWithoutCurrentEntryDoesNothing()
{
    StationFixture f;
    f.w().targetList().addEntry(QStringLiteral("10.0.0.1"));
    f.w().LST_IP->setCurrentRow(-1);
    f.w().INP_IP->setText(QStringLiteral("kept"));
    f.w().pingTest().B_PING_Click();
    QVERIFY(!QFile::exists(f.folder() + QStringLiteral("OMBRIX_PING.BAT")));
    QVERIFY(f.scripts.started.isEmpty());
    QCOMPARE(f.w().INP_IP->text(), QStringLiteral("kept"));
}

void PingTestTest::consoleThatCannotStartIsReported()
{
    StationFixture f;
    f.enableLog();
    f.w().targetList().addEntry(QStringLiteral("10.0.0.1"));
    f.w().LST_IP->setCurrentRow(0);
    f.scripts.setFailure(QStringLiteral("No terminal window could be started"));
    f.w().pingTest().B_PING_Click();
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
    StationFixture f;
    QVERIFY(f.openSerialPeer());
    f.dialogs.answerInput(QStringLiteral("0"));
    f.w().pingTest().B_LOAD_TST_Click();
    f.w().pingTest().B_LOAD_TST_Click(); // cancelled: an empty answer
    QCOMPARE(f.dialogs.shown().size(), 2);
    QCOMPARE(f.dialogs.shown()[0].text, QStringLiteral("User number"));
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("User number"));
    QVERIFY(f.readSent(1, 100).isEmpty());
}

QTEST_MAIN(PingTestTest)
#include "tst_ping_test.moc"
