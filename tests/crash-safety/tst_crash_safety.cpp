// Every save of the station is atomic: killed at any moment, or stopped by a full disk, it
// leaves the old file whole or the new one complete, never a cut or missing file.
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "support/HeadlessStationFixture.h"
#include "support/SourceScript.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <time.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void sleepMicroseconds(long us)
{
    const timespec pause{0, us * 1000};
    nanosleep(&pause, nullptr);
}

// Keeps this process from writing files larger than a few bytes until destroyed: a disk
// that fills up in the middle of a save, which permission bits cannot imitate for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// The helper program and its line protocol.
class SaveLoop
{
public:
    // Returns how long one save took in the helper, in microseconds (0 on failure).
    qint64 start(const QString &folder, const QString &kind)
    {
        m_process.start(QStringLiteral(SAVE_LOOP_HELPER), {folder, kind});
        if (!m_process.waitForStarted())
            return 0;
        const QByteArray line = readLine();
        return line.startsWith("ready ") ? qMax(1LL, line.mid(6).toLongLong()) : 0;
    }
    // Starts a child saving in a loop and returns its process id (0 on failure).
    qint64 go()
    {
        m_process.write("go\n");
        const QByteArray line = readLine();
        return line.startsWith("child ") ? line.mid(6).toLongLong() : 0;
    }
    QByteArray readLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return QByteArray();
        return m_process.readLine().trimmed();
    }
    ~SaveLoop()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

private:
    QProcess m_process;
};

} // namespace

class CrashSafetyTest : public QObject
{
    Q_OBJECT
private slots:
    void aSaveKilledAtAnyMomentLeavesTheOldOrTheNewFile_data();
    void aSaveKilledAtAnyMomentLeavesTheOldOrTheNewFile();
    void aFullDiskLeavesNoPasswordFileAndTellsTheOperator();
    void aFullDiskKeepsTheOldPasswordFile();
    void aFullDiskDuringABackupKeepsTheOldTemplateAndEndsWithTheError();
};

void CrashSafetyTest::aSaveKilledAtAnyMomentLeavesTheOldOrTheNewFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("configuration") << "config" << ConfigFile::kFileName;
    QTest::newRow("enroll password") << "password" << ModeSwitch::kPasswordFileName;
    QTest::newRow("template") << "template"
                              << "12345-01.DAT";
}

void CrashSafetyTest::aSaveKilledAtAnyMomentLeavesTheOldOrTheNewFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, fileName);
    constexpr int kKills = 200;

    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    SaveLoop loop;
    const qint64 saveUs = loop.start(dir.path(), kind);
    QVERIFY(saveUs > 0);
    // Kills spread over the first few saves of each child, however fast this machine saves.
    const int maxDelayUs = int(qBound(300LL, 4 * saveUs, 200000LL));
    const QByteArray contentA = readAll(folder + "expected-a");
    const QByteArray contentB = readAll(folder + "expected-b");
    QVERIFY(contentA != contentB);
    const QStringList helperFiles{fileName, "expected-a", "expected-b"};

    int foundA = 0;
    int foundB = 0;
    int interrupted = 0; // kills that left a save's temporary file behind
    QRandomGenerator random(20261210);
    for (int kill = 0; kill < kKills; ++kill) {
        const qint64 child = loop.go();
        QVERIFY(child > 0);
        sleepMicroseconds(random.bounded(maxDelayUs));
        QCOMPARE(::kill(pid_t(child), SIGKILL), 0);
        QCOMPARE(loop.readLine(), QByteArray("ended ") + QByteArray::number(SIGKILL));

        const QByteArray content = readAll(folder + fileName);
        QVERIFY2(content == contentA || content == contentB,
                 qPrintable(QStringLiteral("kill %1 left %2 bytes").arg(kill).arg(content.size())));
        (content == contentA ? foundA : foundB) += 1;
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            if (!helperFiles.contains(name)) {
                ++interrupted;
                QFile::remove(folder + name);
            }
        }
    }
    // The loop really ran between the kills: both contents were left by some of them.
    QVERIFY(foundA > 0 && foundB > 0);
    qInfo("%s: %d kills within %d us, content A left %d times, content B %d times, temporary "
          "files left %d",
          qPrintable(kind), kKills, maxDelayUs, foundA, foundB, interrupted);
}

void CrashSafetyTest::aFullDiskLeavesNoPasswordFileAndTellsTheOperator()
{
    HeadlessStationFixture f;
    Station &w = f.station();
    f.state().setStarted(true);
    f.dialogs.answerInput(QStringLiteral("Secret"));
    {
        FileSizeLimit limit(3);
        QVERIFY(limit.active());
        f.state().setMode(StationState::Mode::Enroll);
        w.modeSwitch().SW_MODE_Click(0);
    }
    // A cut or empty password file would open enroll mode to anybody; no file asks again.
    QVERIFY(!QFile::exists(w.modeSwitch().passwordFilePath()));
    const auto shown = f.dialogs.shown();
    // The question, the password's error (no "take note" message), then the error of the
    // configuration saved at the end of the switch, which the full disk stops too.
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[2].title, QStringLiteral("Error to write the configuration"));
    QCOMPARE(shown[1].title, QStringLiteral("Error to write the password"));
    QVERIFY(shown[1].text.startsWith(QStringLiteral("Unable to write the enroll password to: ") +
                                     w.modeSwitch().passwordFilePath()));
    QCOMPARE(shown[1].icon, Dialogs::Icon::Critical);
    QCOMPARE(shown[1].beepsBefore, 2);
}

void CrashSafetyTest::aFullDiskKeepsTheOldPasswordFile()
{
    HeadlessStationFixture f;
    const QString path = f.station().modeSwitch().passwordFilePath();
    QVERIFY(writeAll(path, "old password\r\n"));
    bool written = true;
    {
        FileSizeLimit limit(8);
        QVERIFY(limit.active());
        written = f.station().modeSwitch().writePassword(QStringLiteral("a longer new password"));
    }
    QVERIFY(!written);
    QCOMPARE(readAll(path), QByteArray("old password\r\n"));
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList{ModeSwitch::kPasswordFileName});
}

void CrashSafetyTest::aFullDiskDuringABackupKeepsTheOldTemplateAndEndsWithTheError()
{
    HeadlessStationFixture f;
    f.clock.setRealTimeFactor(0.25);
    QVERIFY(f.openSerialPeer(1));
    f.station().serialRxTimer().start();
    SourceScript source(f.peer());
    // The first answer: acknowledgement, data header, a 400-byte template, trailer; the next
    // one holds no template.
    source.replies = {QByteArray(26, '\x11') + QByteArray(400, '\x5a') + QByteArray(4, '\0'),
                      QByteArray(17, '\x22')};
    const QString path = f.station().templateStore().path(QStringLiteral("12345"), 1);
    QVERIFY(writeAll(path, "old template"));
    {
        FileSizeLimit limit(100);
        QVERIFY(limit.active());
        f.station().templateBackup().backup(QStringLiteral("12345"));
    }
    QCOMPARE(source.requests.size(), 2);
    QCOMPARE(readAll(path), QByteArray("old template"));
    QCOMPARE(f.state().bannerLine(0), QStringLiteral("User: 12345"));
    // Not "Synchronization Complete": the targets got the old template, not the new one.
    QCOMPARE(f.state().bannerLine(1), QStringLiteral("Cannot save user template to: ") + path);
}

QTEST_GUILESS_MAIN(CrashSafetyTest)
#include "tst_crash_safety.moc"
