#include "config/TargetList.h"
#include "enroll/Enrollment.h"
#include "enroll/UserDeletion.h"
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "support/HeadlessStationFixture.h"
#include "util/TextNumber.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

// A target unit on a loopback address: it only collects what the station sends it.
class TargetUnit
{
public:
    bool bind(const QString &address, quint16 port)
    {
        return m_socket.bind(QHostAddress(address), port);
    }
    void close() { m_socket.close(); }
    // Waits up to timeoutMs for count datagrams, then returns all received so far.
    QList<QByteArray> received(int count, int timeoutMs = 2000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (m_socket.hasPendingDatagrams())
                m_got.append(m_socket.receiveDatagram().data());
            if (m_got.size() >= count || deadline.hasExpired())
                return m_got;
            m_socket.waitForReadyRead(10);
        }
    }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_got;
};

// Two target units on 127.0.0.1 and 127.0.0.2 sharing one port (the station sends every
// target to the same port), and a station that uses that port.
struct Site
{
    TargetUnit first;
    TargetUnit second;
    std::unique_ptr<HeadlessStationFixture> station;

    bool start()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            quint16 port = 0;
            {
                QUdpSocket probe;
                if (!probe.bind(QHostAddress::LocalHost, 0))
                    return false;
                port = probe.localPort();
            }
            if (first.bind(QStringLiteral("127.0.0.1"), port) &&
                second.bind(QStringLiteral("127.0.0.2"), port)) {
                station = std::make_unique<HeadlessStationFixture>(port);
                return true;
            }
            first.close();
            second.close();
        }
        return false;
    }
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void putFiles(const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        QFile file(folder + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("template");
    }
}

QStringList templateFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.DAT")}, QDir::Files, QDir::Name);
}

int lineIndex(const QStringList &lines, const QString &ending)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].endsWith(ending))
            return i;
    }
    return -1;
}

} // namespace

// Deleting a user: the template files, the source unit on a real pty, target units on
// loopback sockets.
class UserDeletionTest : public QObject
{
    Q_OBJECT

private:
    static void connectSource(HeadlessStationFixture &f)
    {
        QVERIFY(f.openSerialPeer(7));
        f.station().state().setSourceStatus(LinkStatus::Connected);
    }

private slots:
    // Target units sit on 127.0.0.2 too.
    void initTestCase()
    {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
            QSKIP("this machine's loopback has no 127.0.0.2");
    }

    void deletingUser1ReachesTheSourceAndEachTickedTargetInListOrder()
    {
        Site site;
        QVERIFY(site.start());
        HeadlessStationFixture &f = *site.station;
        Station &w = f.station();
        connectSource(f);
        f.enableLog();
        putFiles(f.folder(), {"1-01.DAT", "1-02.DAT", "12-01.DAT", "10-01.DAT"});
        w.targetList().addEntry(TargetList::entryText("127.0.0.1", "Gate"));
        w.targetList().addEntry(TargetList::entryText("127.0.0.3", "Not ticked"));
        w.targetList().addEntry(TargetList::entryText(" 127.0.0.2", "Hall"));
        w.state().setTargetTicked(1, false);
        w.state().TRELVANE_LOAD = 1;
        // What the folder held when each datagram left.
        QStringList filesAtEachSend;
        connect(&w.udpTx(), &QIODevice::bytesWritten, this,
                [&] { filesAtEachSend.append(templateFiles(f.folder()).join(u' ')); });

        w.state().setUserText(QStringLiteral("1"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        w.userDeletion().B_USER_DELETE_Click();

        const QByteArray frame = hex("40 16 01 00 00 00 00 00 00 00 00 57 0A");
        QCOMPARE(f.readSent(13), frame);
        QCOMPARE(f.readSent(1, 100), QByteArray()); // once
        QCOMPARE(site.first.received(1), QList<QByteArray>{frame});
        QCOMPARE(site.second.received(1), QList<QByteArray>{frame});
        QCOMPARE(site.first.received(2, 100).size(), 1);
        QCOMPARE(site.second.received(2, 100).size(), 1);

        QCOMPARE(templateFiles(f.folder()), (QStringList{"10-01.DAT", "12-01.DAT"}));
        QCOMPARE(filesAtEachSend, QStringList(2, QStringLiteral("10-01.DAT 12-01.DAT")));
        QCOMPARE(w.state().TRELVANE_LOAD, StationState::True);
        QCOMPARE(w.state().bannerLine(0), QStringLiteral("Delete User: 1"));
        QCOMPARE(w.state().bannerLine(1), QString());
        QCOMPARE(f.dialogs.shown().size(), 1); // the question, and nothing else
        QCOMPARE(f.dialogs.shown().first().kind, ScriptedDialogs::Shown::Kind::Question);

        const QStringList log = f.logLines();
        const QString trace = TRACE_TEXT(frame);
        const int source = lineIndex(log, QStringLiteral("TX_SERIAL: ") + trace);
        const int gate = lineIndex(log, QStringLiteral("TX_UDP[127.0.0.1]: ") + trace);
        const int hall = lineIndex(log, QStringLiteral("TX_UDP[127.0.0.2]: ") + trace);
        QVERIFY2(source >= 0 && gate > source && hall > gate, qPrintable(log.join(u'\n')));
        QCOMPARE(lineIndex(log, QStringLiteral("TX_UDP[127.0.0.3]: ") + trace), -1);
    }

    void deletingUser12LeavesTheFilesOfUser123()
    {
        HeadlessStationFixture f;
        connectSource(f);
        putFiles(f.folder(), {"12-01.DAT", "12-02.DAT", "123-01.DAT", "123-02.DAT", "1-01.DAT"});
        f.station().state().setUserText(QStringLiteral("12"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        f.station().userDeletion().B_USER_DELETE_Click();
        QCOMPARE(f.readSent(13), hex("40 16 0C 00 00 00 00 00 00 00 00 62 0A"));
        QCOMPARE(templateFiles(f.folder()), (QStringList{"1-01.DAT", "123-01.DAT", "123-02.DAT"}));
    }

    void withNoTickedTargetOnlyTheSourceUnitIsTold()
    {
        Site site;
        QVERIFY(site.start());
        HeadlessStationFixture &f = *site.station;
        Station &w = f.station();
        connectSource(f);
        f.enableLog();
        w.targetList().addEntry(TargetList::entryText("127.0.0.1", "Gate"));
        w.state().setTargetTicked(0, false);

        w.state().setUserText(QStringLiteral("5"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        w.userDeletion().B_USER_DELETE_Click();

        QCOMPARE(f.readSent(13), hex("40 16 05 00 00 00 00 00 00 00 00 5B 0A"));
        QVERIFY(site.first.received(1, 200).isEmpty());
        QVERIFY(!f.logLines().join(u'\n').contains(QStringLiteral("TX_UDP[")));
    }

    void aRefusedDeleteKeepsTheFilesAndSendsNothing_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title");
        QTest::newRow("link down") << "Disconnected"
                                   << "1"
                                   << "Invalid serial port number";
        QTest::newRow("pattern") << "Connected"
                                 << "1*"
                                 << "Invalid user number";
        QTest::newRow("fraction") << "Connected"
                                  << "1.5"
                                  << "Invalid user number";
        QTest::newRow("zero") << "Connected"
                              << "0"
                              << "Invalid user number";
    }
    void aRefusedDeleteKeepsTheFilesAndSendsNothing()
    {
        QFETCH(QString, status);
        QFETCH(QString, typed);
        QFETCH(QString, title);
        HeadlessStationFixture f;
        Station &w = f.station();
        QVERIFY(f.openSerialPeer(7));
        w.state().setSourceStatus(status == captionOf(LinkStatus::Connected)
                                      ? LinkStatus::Connected
                                      : LinkStatus::Disconnected);
        const QStringList files{"1-01.DAT", "1-02.DAT", "12-01.DAT"};
        putFiles(f.folder(), files);
        w.state().setUserText(typed);

        w.userDeletion().B_USER_DELETE_Click();

        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown().first().title, title);
        QCOMPARE(f.dialogs.shown().first().beepsBefore, 2);
        QCOMPARE(templateFiles(f.folder()), files);
        QCOMPARE(f.readSent(1, 150), QByteArray());
    }

    void aDeleteOf1StarThatSkipsTheCheckStillTouchesNoFile()
    {
        HeadlessStationFixture f;
        connectSource(f);
        const QStringList files{"1*-01.DAT", "1-01.DAT", "12-01.DAT"};
        putFiles(f.folder(), files);
        f.station().enrollment().SOURCE_COMMAND(QStringLiteral("1*"), QStringLiteral("DEL"));
        QCOMPARE(templateFiles(f.folder()), files);
        QCOMPARE(f.readSent(1, 150), QByteArray());
    }

    void anUnresolvableTargetFailsAloneBetweenTwoGoodOnes()
    {
        Site site;
        QVERIFY(site.start());
        HeadlessStationFixture &f = *site.station;
        Station &w = f.station();
        connectSource(f);
        for (const char *address : {"127.0.0.1", "x.y", "300.1.1.1", "127.0.0.2"})
            w.targetList().addEntry(TargetList::entryText(address, "unit"));

        w.state().setUserText(QStringLiteral("1"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        w.userDeletion().B_USER_DELETE_Click();

        const QByteArray frame = hex("40 16 01 00 00 00 00 00 00 00 00 57 0A");
        QCOMPARE(f.readSent(13), frame);
        QCOMPARE(site.first.received(1), QList<QByteArray>{frame});
        QCOMPARE(site.second.received(1), QList<QByteArray>{frame});
    }

    void aClosedSourceLinkStillDeletesTheFilesAndTellsTheTargets()
    {
        Site site;
        QVERIFY(site.start());
        HeadlessStationFixture &f = *site.station;
        Station &w = f.station();
        QVERIFY(f.openSerialPeer(7));
        w.serial().close(); // the supervision has not noticed yet: still "Connected"
        w.state().setSourceStatus(LinkStatus::Connected);
        putFiles(f.folder(), {"1-01.DAT"});
        w.targetList().addEntry(TargetList::entryText("127.0.0.2", "Hall"));

        w.state().setUserText(QStringLiteral("1"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        w.userDeletion().B_USER_DELETE_Click();

        QVERIFY(templateFiles(f.folder()).isEmpty());
        QCOMPARE(site.second.received(1),
                 QList<QByteArray>{hex("40 16 01 00 00 00 00 00 00 00 00 57 0A")});
    }

    void theQuestionNamesWhatWillGo_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("targets");
        QTest::addColumn<QString>("question");
        QTest::newRow("files and targets")
            << "1002" << 2 << 3
            << "Delete user 1002 from the source unit, its 2 template files and 3 target units?";
        QTest::newRow("one of each")
            << "7" << 1 << 1
            << "Delete user 7 from the source unit, its 1 template file and 1 target unit?";
        QTest::newRow("source unit only") << "7" << 0 << 0 << "Delete user 7 from the source unit?";
        QTest::newRow("no target")
            << "7" << 1 << 0 << "Delete user 7 from the source unit and its 1 template file?";
        QTest::newRow("no file") << "7" << 0 << 2
                                 << "Delete user 7 from the source unit and 2 target units?";
    }
    void theQuestionNamesWhatWillGo()
    {
        QFETCH(QString, user);
        QFETCH(int, files);
        QFETCH(int, targets);
        QFETCH(QString, question);
        QCOMPARE(UserDeletion::deletionQuestion(user, files, targets), question);
    }

    // The button asks first, counting the user's files and the ticked targets that will be
    // told (not an unticked one, nor one whose address names no unit); No leaves everything
    // as it was, Yes deletes. The log records the answer either way.
    void deleteButtonAsksFirstAndNoKeepsEverything_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("No") << int(Dialogs::Answer::No);
        QTest::newRow("Yes") << int(Dialogs::Answer::Yes);
    }
    void deleteButtonAsksFirstAndNoKeepsEverything()
    {
        QFETCH(int, answer);
        const bool yes = answer == int(Dialogs::Answer::Yes);
        Site site;
        QVERIFY(site.start());
        HeadlessStationFixture &f = *site.station;
        Station &w = f.station();
        connectSource(f);
        f.enableLog();
        putFiles(f.folder(), {"1002-01.DAT", "1002-02.DAT", "10021-01.DAT"});
        w.targetList().addEntry(TargetList::entryText("127.0.0.1", "Gate"));
        w.targetList().addEntry(TargetList::entryText("127.0.0.3", "Not ticked"));
        w.targetList().addEntry(TargetList::entryText("10.0.0.999", "Kept from an old file"));
        w.targetList().addEntry(TargetList::entryText("127.0.0.2", "Hall"));
        w.state().setTargetTicked(1, false);
        const QString bannerBefore = w.state().bannerLine(0);
        f.dialogs.answerMessage(Dialogs::Answer(answer));

        w.state().setUserText(QStringLiteral("1002"));
        w.userDeletion().B_USER_DELETE_Click();

        const QString question = QStringLiteral(
            "Delete user 1002 from the source unit, its 2 template files and 2 target units?");
        QCOMPARE(f.dialogs.shown().size(), 1);
        const ScriptedDialogs::Shown &asked = f.dialogs.shown().first();
        QCOMPARE(asked.kind, ScriptedDialogs::Shown::Kind::Question);
        QCOMPARE(asked.text, question);
        QCOMPARE(asked.title, QStringLiteral("Delete user"));
        const QStringList log = f.logLines();
        QVERIFY2(lineIndex(log, question + (yes ? " Yes" : " No")) >= 0,
                 qPrintable(log.join(u'\n')));
        if (!yes) {
            QCOMPARE(templateFiles(f.folder()),
                     (QStringList{"1002-01.DAT", "1002-02.DAT", "10021-01.DAT"}));
            QCOMPARE(f.readSent(1, 150), QByteArray());
            QVERIFY(site.first.received(1, 150).isEmpty());
            QVERIFY(site.second.received(1, 50).isEmpty());
            QCOMPARE(w.state().bannerLine(0), bannerBefore);
            QVERIFY(!w.state().busy());
            return;
        }
        const QByteArray frame = Frame::deleteUser(*USER_NUMBER_TO_BYTES(1002));
        QCOMPARE(f.readSent(13), frame);
        QCOMPARE(site.first.received(1), QList<QByteArray>{frame});
        QCOMPARE(site.second.received(1), QList<QByteArray>{frame});
        QCOMPARE(templateFiles(f.folder()), QStringList{"10021-01.DAT"});
        QCOMPARE(w.state().bannerLine(0), QStringLiteral("Delete User: 1002"));
        // The entry that names no unit was skipped, and the log says so.
        QVERIFY(f.logLines().join(u'\n').contains(
            QStringLiteral("Target unit skipped: \"10.0.0.999\" has the number 999, above 255.")));
    }

    void theSourceUnitsConfirmationNamesTheDeletedUser_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("status a") << hex("40 16 00 00 00 00 00 00 00 00 61 B7 0A");
        QTest::newRow("status i") << hex("40 16 00 00 00 00 00 00 00 00 69 BF 0A");
    }
    void theSourceUnitsConfirmationNamesTheDeletedUser()
    {
        QFETCH(QByteArray, reply);
        HeadlessStationFixture f;
        Station &w = f.station();
        connectSource(f);
        w.state().setUserText(QStringLiteral("12345"));
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        w.userDeletion().B_USER_DELETE_Click();
        QCOMPARE(f.readSent(13), hex("40 16 39 30 00 00 00 00 00 00 00 BF 0A"));
        QCOMPARE(w.state().bannerLine(0), QStringLiteral("Delete User: 12345"));

        QVERIFY(f.feedSerial(reply));
        w.dispatcher().SERIAL_RX_Timer();

        QCOMPARE(w.state().bannerLine(0), QStringLiteral("User 12345 deleted"));
        QCOMPARE(w.state().bannerLine(1), QString());
    }
};

QTEST_GUILESS_MAIN(UserDeletionTest)
#include "tst_user_deletion.moc"
