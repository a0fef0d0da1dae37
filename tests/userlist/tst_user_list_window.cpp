#include "app/F_VIEW_USERS.h"
#include "config/TargetList.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateNumberRequest.h"
#include "enroll/TemplateStore.h"
#include "enroll/UserListPages.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "support/DatagramListener.h"
#include "support/StationFixture.h"
#include "sync/UnitUserList.h"
#include "unit-sim/SimulatedUnit.h"
#include "util/TextNumber.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A simulated unit in a process of its own, on a pseudo-terminal published as a COM link:
// the station reads the serial list without serving events, so the unit cannot share its
// thread.
class UnitProcess
{
public:
    ~UnitProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool start(const QString &link, const QStringList &options = {})
    {
        m_process.setProgram(QStringLiteral(UNIT_PROGRAM));
        m_process.setArguments(QStringList{QStringLiteral("--serial"), link} + options);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return m_process.waitForStarted(5000) && readLine().startsWith("ready");
    }

    // Sends a line command; returns its answer lines up to the one starting "ok"/"error".
    QStringList command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        QStringList lines;
        for (;;) {
            const QString answer = QString::fromLatin1(readLine()).trimmed();
            lines.append(answer);
            if (answer.isEmpty() || answer.startsWith(QLatin1String("ok")) ||
                answer.startsWith(QLatin1String("error")))
                return lines;
        }
    }

private:
    QByteArray readLine()
    {
        QDeadlineTimer deadline(5000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(50);
        return m_process.readLine();
    }

    QProcess m_process;
};

struct WindowSeen
{
    bool modal = false;
    QString caption;
    QString source;
    QString count;
    QStringList lines;
    bool backupVisible = false, syncVisible = false, deleteVisible = false;
    bool syncEnabled = false, deleteEnabled = false;
    bool waitPanelHidden = false;
};

WindowSeen look(F_VIEW_USERS &v)
{
    WindowSeen s;
    s.modal = QApplication::activeModalWidget() == &v;
    s.caption = v.windowTitle();
    s.source = v.AFF_SOURCE->text();
    s.count = v.AFF_NB_USERS->text();
    for (int i = 0; i < v.LST_USERS->count(); ++i)
        s.lines.append(v.LST_USERS->item(i)->text());
    s.backupVisible = !v.B_BACKUP->isHidden();
    s.syncVisible = !v.B_SYNC->isHidden();
    s.deleteVisible = !v.B_DELETE->isHidden();
    s.syncEnabled = v.B_SYNC->isEnabled();
    s.deleteEnabled = v.B_DELETE->isEnabled();
    s.waitPanelHidden = v.FR_WAIT->isHidden();
    return s;
}

// Waits, as a person would, for the user list window to be the active modal window with
// its list read, then acts on it. The act must close the window.
void whenWindowLoaded(const std::function<void(F_VIEW_USERS &)> &act, int triesLeft = 3000)
{
    QTimer::singleShot(5, qApp, [act, triesLeft] {
        auto *v = qobject_cast<F_VIEW_USERS *>(QApplication::activeModalWidget());
        if (v && v->isLoaded() && v->isEnabled()) {
            act(*v);
            return;
        }
        if (triesLeft > 0)
            whenWindowLoaded(act, triesLeft - 1);
        else if (v)
            v->close();
    });
}

void clickLine(F_VIEW_USERS &v, int row)
{
    QListWidgetItem *item = v.LST_USERS->item(row);
    v.LST_USERS->setCurrentItem(item);
    emit v.LST_USERS->itemClicked(item);
}

QString line(const char *user, int count)
{
    return QString::fromLatin1(user).leftJustified(37, u' ') + u' ' + QString::number(count);
}

// Something answering on a unit's TCP port that, asked for the user list, sends a page header
// and then records without end, as fast as the station takes them.
class StreamingUnit : public QObject
{
public:
    // The header sent after the first request: how many pages and how many data bytes.
    StreamingUnit(int pageCount, int dataLength, const QByteArray &firstData = {})
        : m_pageCount(pageCount), m_dataLength(dataLength), m_firstData(firstData)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, &StreamingUnit::requestArrived);
        });
        connect(&m_stream, &QTimer::timeout, this, &StreamingUnit::sendMore);
        m_stream.setInterval(0);
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }
    int requests() const { return m_requests; }
    qint64 streamed() const { return m_streamed; }
    void stop() { m_stream.stop(); }

private:
    void requestArrived()
    {
        m_pending += m_socket->readAll();
        for (; m_pending.size() >= Frame::kLength; m_pending.remove(0, Frame::kLength)) {
            if (++m_requests > 1)
                continue; // the stream goes on whatever is asked
            QByteArray header(8, '\0');
            header[0] = char(m_pageCount);
            header[5] = char(m_dataLength >> 8);
            header[6] = char(m_dataLength & 0xFF);
            m_socket->write(Frame::frame(Frame::body(0x86, QByteArray(8, '\0'), 0x61)) +
                            Frame::frame(Frame::body(0x86, header, 0x00)) + m_firstData +
                            (m_firstData.isEmpty() ? QByteArray() : Frame::trailer(m_firstData)));
            m_stream.start();
        }
    }

    // Records of users that all differ from the one before; every byte is 0x80 or more, so
    // that wherever a page header is read in them it announces a long page.
    void sendMore()
    {
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
            m_stream.stop();
            return;
        }
        if (m_socket->bytesToWrite() > 512 * 1024)
            return;
        QByteArray chunk;
        chunk.reserve(64 * 1024);
        while (chunk.size() < 64 * 1024) {
            const quint32 n = m_next++;
            chunk += char(0x80 | (n & 0x7F));
            chunk += char(0x80 | ((n >> 7) & 0x7F));
            chunk += char(0x80 | ((n >> 14) & 0x7F));
            chunk += QByteArray(5, char(0xFF));
        }
        m_streamed += m_socket->write(chunk);
    }

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    QTimer m_stream;
    QByteArray m_pending;
    const int m_pageCount, m_dataLength;
    const QByteArray m_firstData;
    int m_requests = 0;
    quint32 m_next = 0;
    qint64 m_streamed = 0;
};

} // namespace

class UserListWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void sourceUnitOnSerialListsItsUsers();
    void twoPagesAreReadAndJoined();
    void targetUnitOverTcpHidesBackupAndSynchronize();
    void silentUnitGivesAnEmptyList();
    void refusedTcpConnectionShowsTheErrorAndKeepsSerial();
    void silentTcpAddressTimesOutAfterThreeSeconds();
    void serialLinkDownRefusesToOpen();
    void deleteAndSynchronizeFromTheList();
    void aUnitStreamingWithoutEndIsBounded_data();
    void aUnitStreamingWithoutEndIsBounded();
    void keyboardFocusChoosesNoLineAndArrowsChooseLikeAClick();

private:
    // A station on serial port 7 linked to a unit process; the status reads "Connected".
    bool connectToUnitProcess(StationFixture &f, UnitProcess &unit, const QStringList &options = {})
    {
        const QString link = f.folder() + QStringLiteral("COM7");
        if (!unit.start(link, options))
            return false;
        // The port number is the state's; the control shows it without reporting a change
        // that would make the station reconnect on its own.
        f.w().INP_SERIAL_PORT->blockSignals(true);
        f.w().state().setSerialPort(QStringLiteral("7"));
        f.w().INP_SERIAL_PORT->blockSignals(false);
        f.w().SW_COMM[0]->setChecked(true);
        f.w().Serial->setDevicePath(link);
        if (!f.w().Serial->open())
            return false;
        f.w().supervision().setSerialStatus(LinkStatus::Connected);
        return true;
    }
};

void UserListWindowTest::sourceUnitOnSerialListsItsUsers()
{
    StationFixture f;
    f.clock.setRealTimeFactor(0.05);
    UnitProcess unit;
    QVERIFY(connectToUnitProcess(f, unit));
    for (const char *add : {"add 1001 2", "add 1002 1", "add 1003 3"})
        QCOMPARE(unit.command(add).last(), QStringLiteral("ok"));

    WindowSeen seen;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        seen = look(v);
        v.B_IP_ADD->click();
    });
    f.w().unitUserList().B_VIEW_TEMPLATES_Click();

    QVERIFY(seen.modal);
    QCOMPARE(seen.lines, (QStringList{line("1001", 2), line("1002", 1), line("1003", 3)}));
    QCOMPARE(seen.count, QStringLiteral("3 users"));
    QCOMPARE(seen.caption, QStringLiteral("View active users in this Trelvane (3 users)"));
    QCOMPARE(seen.source, QStringLiteral("Serial Port: 7"));
    QVERIFY(seen.backupVisible && seen.syncVisible && seen.deleteVisible);
    QVERIFY(!seen.syncEnabled && !seen.deleteEnabled);
    QVERIFY(seen.waitPanelHidden);
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QVERIFY(!f.w().SERIAL_RX->isActive()); // left as it was
    QVERIFY(!f.w().B_VIEW_TEMPLATES->isHidden());
    QVERIFY(f.dialogs.shown().isEmpty());
}

void UserListWindowTest::twoPagesAreReadAndJoined()
{
    StationFixture f;
    f.clock.setRealTimeFactor(0.05);
    f.enableLog();
    UnitProcess unit;
    QVERIFY(connectToUnitProcess(f, unit, {QStringLiteral("--page-records"), QStringLiteral("4")}));
    for (const char *add : {"add 1001 2", "add 1002 1", "add 1003 3"})
        QCOMPARE(unit.command(add).last(), QStringLiteral("ok"));

    const double start = f.clock.secondsSinceMidnight();
    f.w().templateNumberRequest().B_REQ_TMP_NO_Click();
    const double spent = f.clock.secondsSinceMidnight() - start;
    if (f.w().templateNumberRequest().lastLines().isEmpty())
        qWarning().noquote() << f.logLines().join(QLatin1Char('\n'));

    QCOMPARE(f.w().templateNumberRequest().lastLines(),
             (QStringList{line("1001", 2), line("1002", 1), line("1003", 3)}));
    // Page 1 is taken once its data length may be read; the last page is polled for 2 s.
    QVERIFY2(spent >= 0.35 + 2.0 + 0.5 && spent < 0.35 + 2.0 + 0.5 + 0.3,
             qPrintable(QString::number(spent)));
    const QString first = TRACE_TEXT(Frame::userListFirstPage());
    const QString next = TRACE_TEXT(Frame::userListNextPage());
    QStringList sent;
    for (const QString &l : f.logLines())
        if (l.contains(QLatin1String("TX_SERIAL: ")))
            sent.append(l.mid(l.indexOf(QLatin1String("TX_SERIAL: ")) + 11));
    if (sent != QStringList{first, next})
        qWarning().noquote() << f.logLines().join(QLatin1Char('\n'));
    QCOMPARE(sent, (QStringList{first, next}));
}

void UserListWindowTest::targetUnitOverTcpHidesBackupAndSynchronize()
{
    SimulatedUnit unit;
    QVERIFY(unit.listenTcp(0, QHostAddress::LocalHost));
    unit.addUser(4242, 2, 100);
    unit.addUser(77, 1, 100);
    StationFixture f(0, unit.tcpPort());
    f.clock.setRealTimeFactor(0.05);
    QVERIFY(f.openSerialPeer());
    f.w().supervision().setSerialStatus(LinkStatus::Connected);
    f.w().targetList().addEntry(
        TargetList::entryText(QStringLiteral("127.0.0.1"), QStringLiteral("Door")));
    f.w().LST_IP->setCurrentRow(0);

    WindowSeen seen;
    bool tcpWasOpen = false;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        seen = look(v);
        tcpWasOpen = f.w().TCP_SOURCE->isOpen();
        v.close(); // the window's close box
    });
    f.w().unitUserList().B_TCP_VIEW_USR_LST_Click();

    QCOMPARE(seen.lines, (QStringList{line("77", 1), line("4242", 2)}));
    QCOMPARE(seen.source, QStringLiteral("IP: 127.0.0.1"));
    QVERIFY(!seen.backupVisible && !seen.syncVisible && seen.deleteVisible);
    QVERIFY(!tcpWasOpen); // the request closed it
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QVERIFY(!f.w().TCP_SOURCE->isOpen());
    QVERIFY(f.w().isEnabled());
    QVERIFY(!f.w().B_TCP_VIEW_USR_LST->isHidden());
    QVERIFY(f.dialogs.shown().isEmpty());
}

void UserListWindowTest::silentUnitGivesAnEmptyList()
{
    SimulatedUnit unit;
    QVERIFY(unit.listenTcp(0, QHostAddress::LocalHost));
    unit.addUser(1, 1, 10);
    unit.setSilent(true);
    StationFixture f(0, unit.tcpPort());
    f.clock.setRealTimeFactor(0.05);
    f.w().targetList().addEntry(QStringLiteral("127.0.0.1"));
    f.w().LST_IP->setCurrentRow(0);

    WindowSeen seen;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        seen = look(v);
        v.B_IP_ADD->click();
    });
    f.w().unitUserList().B_TCP_VIEW_USR_LST_Click();

    QVERIFY(seen.lines.isEmpty());
    QCOMPARE(seen.caption, QStringLiteral("View active users in this Trelvane (0 users)"));
    QCOMPARE(seen.count, QStringLiteral("0 users"));
    QVERIFY(f.w().SW_COMM[0]->isChecked());
}

void UserListWindowTest::refusedTcpConnectionShowsTheErrorAndKeepsSerial()
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    StationFixture f(0, closedPort);
    f.w().targetList().addEntry(QStringLiteral("127.0.0.1"));
    f.w().LST_IP->setCurrentRow(0);
    QSignalSpy opening(&f.w().unitUserList(), &UnitUserList::windowWanted);

    f.w().unitUserList().B_TCP_VIEW_USR_LST_Click();

    QCOMPARE(opening.count(), 0);
    QCOMPARE(f.dialogs.shown().size(), 1);
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("Error IP: 127.0.0.1"));
    QVERIFY2(f.dialogs.shown()[0].text.startsWith(QLatin1String("Error: ")),
             qPrintable(f.dialogs.shown()[0].text));
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QVERIFY(f.w().isEnabled());
    QVERIFY(!f.w().B_TCP_VIEW_USR_LST->isHidden());
}

void UserListWindowTest::silentTcpAddressTimesOutAfterThreeSeconds()
{
    // A listening socket whose queue of pending connections is full: the system drops
    // further connection requests, so a connect neither succeeds nor fails.
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(server >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    QVERIFY(::listen(server, 0) == 0);
    socklen_t length = sizeof address;
    QVERIFY(::getsockname(server, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    const quint16 port = ntohs(address.sin_port);
    QList<QTcpSocket *> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.append(new QTcpSocket(this));
        fillers.last()->connectToHost(QHostAddress::LocalHost, port);
    }
    QTest::qWait(100);

    StationFixture f(0, port);
    f.clock.setRealTimeFactor(0.05);
    f.w().targetList().addEntry(QStringLiteral("127.0.0.1"));
    f.w().LST_IP->setCurrentRow(0);
    const double start = f.clock.secondsSinceMidnight();
    f.w().unitUserList().B_TCP_VIEW_USR_LST_Click();
    const double waited = f.clock.secondsSinceMidnight() - start;

    QCOMPARE(f.dialogs.shown().size(), 1);
    QCOMPARE(f.dialogs.shown()[0].text, QString());
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("Error IP: 127.0.0.1"));
    QVERIFY2(waited >= 3.0 && waited < 3.5, qPrintable(QString::number(waited)));
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QVERIFY(f.w().isEnabled());
    qDeleteAll(fillers);
    ::close(server);
}

void UserListWindowTest::serialLinkDownRefusesToOpen()
{
    StationFixture f;
    QSignalSpy opening(&f.w().unitUserList(), &UnitUserList::windowWanted);
    f.w().unitUserList().B_VIEW_TEMPLATES_Click();
    QCOMPARE(opening.count(), 0);
    QCOMPARE(f.dialogs.shown().size(), 1);
    QCOMPARE(f.dialogs.shown()[0].text, QStringLiteral("Serial port error"));
    QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("Invalid serial port number"));
    QVERIFY(!f.w().B_VIEW_TEMPLATES->isHidden());
}

void UserListWindowTest::deleteAndSynchronizeFromTheList()
{
    DatagramListener target;
    QVERIFY(target.bind());
    StationFixture f(target.port());
    f.clock.setRealTimeFactor(0.5);
    f.w().targetList().addEntry(QStringLiteral("127.0.0.1"));
    UnitProcess unit;
    QVERIFY(connectToUnitProcess(f, unit));
    for (const char *add : {"add 1001 2 50", "add 1002 1 50", "add 1003 3 50"})
        QCOMPARE(unit.command(add).last(), QStringLiteral("ok"));
    QVERIFY(f.w().templateStore().write(QStringLiteral("1002"), 1, "old"));
    f.w().SERIAL_RX->start(); // the receive poll runs, as in the program

    WindowSeen afterDelete;
    QString armedUser;
    int armedInterval = 0;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        clickLine(v, 1);                               // 1002
        f.dialogs.answerMessage(Dialogs::Answer::Yes); // the operator confirms
        v.B_DELETE->click();
        afterDelete = look(v);
        QTest::qWait(200); // the unit's delete reply reaches the receive poll
        clickLine(v, 0);   // 1001
        v.B_SYNC->click();
        armedUser = f.w().INP_USER_NUMBER->text();
        armedInterval = f.w().TIM_BACKUP->interval();
        // The trigger fires while the window stays open: the backup fetches and uploads.
        f.w().templateBackup().TIM_BACKUP_Timer();
        v.B_IP_ADD->click();
    });
    f.w().unitUserList().B_VIEW_TEMPLATES_Click();

    QCOMPARE(afterDelete.lines, (QStringList{line("1001", 2), line("1003", 3)}));
    QCOMPARE(f.w().AFF_MSG[0]->text(), QStringLiteral("User: 1001"));
    QCOMPARE(afterDelete.caption, QStringLiteral("View active users in this Trelvane (2 users)"));
    QVERIFY(!afterDelete.syncEnabled && !afterDelete.deleteEnabled);
    QVERIFY(!QFile::exists(f.folder() + QStringLiteral("1002-01.DAT")));
    const QStringList users = unit.command("users");
    QCOMPARE(users.size(), 3); // 1001, 1003 and "ok 2 users"
    QVERIFY(users[0].startsWith(QLatin1String("user 1001 ")));
    QVERIFY(users[1].startsWith(QLatin1String("user 1003 ")));

    QCOMPARE(armedUser, QStringLiteral("1001"));
    QCOMPARE(armedInterval, 200);
    QCOMPARE(QFile(f.folder() + QStringLiteral("1001-01.DAT")).size(), 50);
    QCOMPARE(QFile(f.folder() + QStringLiteral("1001-02.DAT")).size(), 50);
    // The delete of 1002, then two templates, three passes, four datagrams each.
    const QList<QByteArray> sent = target.take(25);
    QCOMPARE(sent.size(), 25);
    QCOMPARE(sent[0], Frame::deleteUser(*USER_NUMBER_TO_BYTES(1002)));
}

// A unit (or anything answering in its place) that sends more than it announces, or announces
// nonsense, and never stops: the station keeps no more than each page announces and no more
// users than a list holds, the read ends, and nothing of it stays once the window is closed.
void UserListWindowTest::aUnitStreamingWithoutEndIsBounded_data()
{
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<QByteArray>("firstData");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QStringList>("lines"); // empty: as many as a list holds
    QTest::newRow("one page of 8 bytes, then records")
        << 1 << 8 << QByteArray::fromHex("E903000001000000") << 1 << QStringList{line("1001", 1)};
    QTest::newRow("a header announcing 100 full pages, then records")
        << 100 << 0xFFFF << QByteArray() << UserListPages::kMaxPages << QStringList();
}

void UserListWindowTest::aUnitStreamingWithoutEndIsBounded()
{
    QFETCH(int, pageCount);
    QFETCH(int, dataLength);
    QFETCH(QByteArray, firstData);
    QFETCH(QStringList, lines);
    StreamingUnit unit(pageCount, dataLength, firstData);
    QVERIFY(unit.listen());
    StationFixture f(0, unit.port());
    f.clock.setRealTimeFactor(0.05);
    f.w().targetList().addEntry(QStringLiteral("127.0.0.1"));
    f.w().LST_IP->setCurrentRow(0);

    // What the station holds of the page being read, looked at while it reads.
    qsizetype largestPage = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this,
            [&] { largestPage = std::max(largestPage, f.w().RX_EMPREINTE.size()); });
    watch.start(1);

    WindowSeen seen;
    QString banner;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        seen = look(v);
        banner = f.w().AFF_MSG[1]->text();
        v.B_IP_ADD->click();
    });
    const double start = f.clock.secondsSinceMidnight();
    f.w().unitUserList().B_TCP_VIEW_USR_LST_Click();
    const double spent = f.clock.secondsSinceMidnight() - start;
    watch.stop();
    unit.stop();

    QTEST(unit.requests(), "requests");
    QVERIFY2(unit.streamed() > 4 * UserListPages::kLongestReply,
             qPrintable(QString::number(unit.streamed())));
    QVERIFY2(largestPage <= UserListPages::kLongestReply, qPrintable(QString::number(largestPage)));
    if (lines.isEmpty()) {
        QCOMPARE(seen.lines.size(), UserListPages::kMaxUsers);
        QCOMPARE(banner, QStringLiteral("The unit listed more than 100000 users: only the first "
                                        "100000 are shown."));
    } else {
        QCOMPARE(seen.lines, lines);
    }
    QCOMPARE(
        seen.caption,
        QStringLiteral("View active users in this Trelvane (%1 users)").arg(seen.lines.size()));
    // Each page ends once its announced length is there (at most 2 s each).
    QVERIFY2(spent < UserListPages::kMaxPages * TemplateNumberRequest::kPageSeconds + 5,
             qPrintable(QString::number(spent)));
    QVERIFY(f.w().SW_COMM[0]->isChecked());
    QVERIFY(!f.w().TCP_SOURCE->isOpen());
    // Nothing of the list outlives its window.
    QVERIFY(f.w().templateNumberRequest().lastLines().isEmpty());
    QCOMPARE(f.w().RX_EMPREINTE.capacity(), 0);
}

// Pressed as a person would: Tab until the widget has the focus.
static bool tabTo(QWidget &window, QWidget *target)
{
    for (int i = 0; i < 30 && QApplication::focusWidget() != target; ++i) {
        QWidget *from = QApplication::focusWidget();
        QTest::keyClick(from ? from : &window, Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}

// Tab into the list makes line 1 current without selecting it: that chooses nothing, and
// "Delete" stays disabled; Enter chooses it. Down moves the selection to line 2 and chooses it as a
// click does; Delete, reached with Tab and pressed with Space, asks first: No keeps the line, Yes
// deletes the arrowed user and no other.
void UserListWindowTest::keyboardFocusChoosesNoLineAndArrowsChooseLikeAClick()
{
    StationFixture f;
    f.clock.setRealTimeFactor(0.5);
    UnitProcess unit;
    QVERIFY(connectToUnitProcess(f, unit));
    for (const char *add : {"add 1001 2 50", "add 1002 1 50", "add 1003 3 50"})
        QCOMPARE(unit.command(add).last(), QStringLiteral("ok"));
    f.w().INP_USER_NUMBER->setText(QStringLiteral("77"));
    f.w().SERIAL_RX->start();

    bool reachedList = false, reachedDelete = false;
    WindowSeen afterTab, afterArrow, afterNo, afterYes;
    QString userAfterTab, userAfterEnter, userAfterArrow, questionAsked;
    bool bannerAfterEnter = false, windowOpenAfterEnter = false;
    whenWindowLoaded([&](F_VIEW_USERS &v) {
        QApplication::setActiveWindow(&v);
        reachedList = tabTo(v, v.LST_USERS);
        afterTab = look(v);
        userAfterTab = f.w().INP_USER_NUMBER->text();
        v.B_DELETE->click(); // disabled: nothing happens
        v.B_DELETE_Click();  // and called anyway, it finds no line chosen

        // Enter chooses the line with the focus, and starts nothing else.
        const QString bannerBefore = f.w().AFF_MSG[0]->text();
        QTest::keyClick(v.LST_USERS, Qt::Key_Return);
        userAfterEnter = f.w().INP_USER_NUMBER->text();
        bannerAfterEnter = f.w().AFF_MSG[0]->text() == bannerBefore;
        windowOpenAfterEnter = v.isVisible();

        QTest::keyClick(v.LST_USERS, Qt::Key_Down);
        afterArrow = look(v);
        userAfterArrow = f.w().INP_USER_NUMBER->text();

        reachedDelete = tabTo(v, v.B_DELETE);
        f.dialogs.answerMessage(Dialogs::Answer::No);
        QTest::keyClick(v.B_DELETE, Qt::Key_Space);
        afterNo = look(v);
        if (!f.dialogs.shown().isEmpty())
            questionAsked = f.dialogs.shown().first().text;
        f.dialogs.answerMessage(Dialogs::Answer::Yes);
        QTest::keyClick(v.B_DELETE, Qt::Key_Space);
        afterYes = look(v);
        QTest::qWait(200); // the unit's delete reply reaches the receive poll
        v.B_IP_ADD->click();
    });
    f.w().unitUserList().B_VIEW_TEMPLATES_Click();

    const QStringList all{line("1001", 2), line("1002", 1), line("1003", 3)};
    QVERIFY(reachedList);
    QCOMPARE(afterTab.lines, all);
    QVERIFY(!afterTab.deleteEnabled && !afterTab.syncEnabled);
    QCOMPARE(userAfterTab, QStringLiteral("77"));
    QCOMPARE(userAfterEnter, QStringLiteral("1001"));
    QVERIFY(bannerAfterEnter && windowOpenAfterEnter);

    QCOMPARE(userAfterArrow, QStringLiteral("1002"));
    QVERIFY(afterArrow.deleteEnabled && afterArrow.syncEnabled);

    QVERIFY(reachedDelete);
    QCOMPARE(questionAsked, QStringLiteral("Delete user 1002 from the source unit?"));
    QCOMPARE(afterNo.lines, all);
    QVERIFY(afterNo.deleteEnabled);
    QCOMPARE(afterYes.lines, (QStringList{line("1001", 2), line("1003", 3)}));
    QVERIFY(!afterYes.deleteEnabled && !afterYes.syncEnabled);
    const QStringList users = unit.command("users");
    QCOMPARE(users.size(), 3); // 1001, 1003 and "ok 2 users"
    QVERIFY(users[0].startsWith(QLatin1String("user 1001 ")));
    QVERIFY(users[1].startsWith(QLatin1String("user 1003 ")));
}

QTEST_MAIN(UserListWindowTest)
#include "tst_user_list_window.moc"
