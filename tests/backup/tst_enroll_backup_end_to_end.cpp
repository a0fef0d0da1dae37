#include "config/TargetList.h"
#include "enroll/Enrollment.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "support/HeadlessStationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

int countContaining(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &l : lines)
        n += l.contains(text) ? 1 : 0;
    return n;
}

} // namespace

// One enrollment from the button to the copies on a target unit: a simulated source unit on
// the station's serial port, a second simulated unit as the ticked target over UDP.
class EnrollBackupEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void enrolledTemplatesReachTheStoreAndTheTargetUnit();
};

void EnrollBackupEndToEndTest::enrolledTemplatesReachTheStoreAndTheTargetUnit()
{
    SimulatedUnit target;
    QVERIFY(target.listenUdp(0, QHostAddress::LocalHost));
    HeadlessStationFixture f(target.udpPort());
    Station &w = f.station();
    f.clock.setRealTimeFactor(0.5);
    f.enableLog();

    SimulatedUnit source;
    const QString com1 = f.folder() + QStringLiteral("COM1");
    QVERIFY(source.listenSerial(com1));
    w.state().setSelectedLink(StationState::Link::Serial);
    w.serial().setDevicePath(com1);
    QVERIFY(w.serial().open());
    w.serialRxTimer().start();
    w.state().setSourceStatus(LinkStatus::Connected);
    w.state().setMode(StationState::Mode::Enroll); // the user frame arms the backup trigger
    w.targetList().addEntry(TargetList::entryText(QStringLiteral("127.0.0.1"), "target unit"));

    QSignalSpy requests(&source, &SimulatedUnit::requestReceived);
    w.state().setUserText(QStringLiteral("12345"));
    w.enrollment().B_USER_ENROLL_Click();
    QTRY_COMPARE(requests.size(), 1);
    QCOMPARE(requests[0][0].toByteArray(),
             QByteArray::fromHex("40 05 39 30 00 00 00 00 00 00 71 1F 0A"));

    // A unit sends its frames as the capture goes on, not in one burst: pieces of one frame
    // each, so that the station dispatches every frame on its own.
    source.setSplit(13);
    source.finger(12345, {55, 87});
    QTRY_COMPARE(w.state().quality(), QStringLiteral("87"));
    QTRY_VERIFY(w.backupTimer().isActive());
    QVERIFY(w.state().backupArmed());

    // The trigger fires by itself and the backup runs to its end.
    QTRY_COMPARE_WITH_TIMEOUT(w.state().bannerLine(1),
                              QStringLiteral("Enrollment and Synchronization Complete"), 15000);
    QCOMPARE(w.state().bannerLine(0), QStringLiteral("User: 12345  Template quality: 87%"));
    QCOMPARE(w.state().quality(), QStringLiteral("0"));
    QCOMPARE(w.backupTimer().interval(), 0);
    QVERIFY(!w.state().backupArmed());

    const QList<QByteArray> enrolled = source.templates(12345);
    QCOMPARE(enrolled.size(), 2);
    QCOMPARE(w.templateStore().list(QStringLiteral("12345")),
             (QStringList{"12345-01.DAT", "12345-02.DAT"}));
    QCOMPARE(readFile(f.folder() + "12345-01.DAT"), enrolled[0]);
    QCOMPARE(readFile(f.folder() + "12345-02.DAT"), enrolled[1]);
    QTRY_COMPARE(target.templates(12345), enrolled);

    // The exchange on the wire: enroll, first and next requests (one more than there are
    // templates), and 3 passes x 2 templates x 4 datagrams.
    const QStringList log = f.logLines();
    QCOMPARE(
        countContaining(log, QStringLiteral("TX_SERIAL: ") +
                                 TRACE_TEXT(Frame::firstTemplate(QByteArray::fromHex("39300000")))),
        1);
    QCOMPARE(
        countContaining(log, QStringLiteral("TX_SERIAL: ") + TRACE_TEXT(Frame::nextTemplate())), 2);
    QCOMPARE(countContaining(log, QStringLiteral("TX_UDP[127.0.0.1]: ")), 24);
    QVERIFY(countContaining(log, QStringLiteral("RX_Serial: ")) >= 3);
}

QTEST_GUILESS_MAIN(EnrollBackupEndToEndTest)
#include "tst_enroll_backup_end_to_end.moc"
