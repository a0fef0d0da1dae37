// The ping test's command script as Windows runs it: written by the station's own code and
// run by cmd.exe, which ends at PAUSE when a key comes.
#include "config/TargetList.h"
#include "diag/PingScript.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class WinePingScriptTest : public QObject
{
    Q_OBJECT

private slots:
    void cmdRunsTheScriptToItsEnd()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QString::fromLatin1(PingScript::kFileName));
        const QList<PingScript::Entry> entries{
            {TargetList::entryText(QStringLiteral("127.0.0.1"), QStringLiteral("Here")), true},
            // An entry from a tampered configuration file: text for cmd, never a command.
            {QStringLiteral("1&echo HACKED"), true},
            {TargetList::entryText(QStringLiteral("127.0.0.2"), QStringLiteral("Not")), false}};
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray script = PingScript::script(entries);
        QCOMPARE(script, PingScript::windowsScript(entries));
        file.write(script);
        file.close();

        QProcess cmd;
        cmd.setProcessChannelMode(QProcess::MergedChannels);
        cmd.start(QStringLiteral("cmd.exe"),
                  {QStringLiteral("/c"), QDir::toNativeSeparators(path)});
        QVERIFY2(cmd.waitForStarted(10000), qPrintable(cmd.errorString()));
        cmd.write("\r\n"); // the operator's key at PAUSE
        cmd.closeWriteChannel();
        QVERIFY2(cmd.waitForFinished(60000), "cmd.exe did not end after PAUSE");
        const QString out = QString::fromLocal8Bit(cmd.readAll());
        // @ECHO OFF: the commands themselves are not shown, their output is.
        QVERIFY2(!out.contains(QStringLiteral("ECHO ")), qPrintable(out));
        // The three separator lines, each 80 hyphens on a line of its own.
        QCOMPARE(out.count(QString(80, u'-') + QStringLiteral("\r\n")), 3);
        QVERIFY2(out.contains(QStringLiteral("127.0.0.1")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("127.0.0.2")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("1&echo HACKED\r\n")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("\nHACKED")), qPrintable(out));
        QCOMPARE(cmd.exitStatus(), QProcess::NormalExit);
    }
};

QTEST_MAIN(WinePingScriptTest)
#include "tst_wine_ping_script.moc"
