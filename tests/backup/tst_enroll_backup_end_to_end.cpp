#include "config/TargetList.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
    StationFixture f(target.udpPort());
    F_MAIN &w = f.w();
    f.clock.setRealTimeFactor(0.5);
    f.enableLog();

    SimulatedUnit source;
    const QString com1 = f.folder() + QStringLiteral("COM1");
    QVERIFY(source.listenSerial(com1));
    w.SW_COMM[0]->setChecked(true);
    w.Serial->setDevicePath(com1);
    QVERIFY(w.Serial->open());
    w.SERIAL_RX->start();
    w.state().setSourceStatus(LinkStatus::Connected);
    w.SW_MODE[0]->setChecked(true); // enroll mode: the user frame arms the backup trigger
    w.targetList().addEntry(TargetList::entryText(QStringLiteral("127.0.0.1"), "target unit"));

    QSignalSpy requests(&source, &SimulatedUnit::requestReceived);
    w.INP_USER_NUMBER->setText(QStringLiteral("12345"));
    w.B_USER_ENROLL->click();
    QTRY_COMPARE(requests.size(), 1);
    QCOMPARE(requests[0][0].toByteArray(),
             QByteArray::fromHex("40 05 39 30 00 00 00 00 00 00 71 1F 0A"));

    // A unit sends its frames as the capture goes on, not in one burst: pieces of one frame
    // each, so that the station dispatches every frame on its own.
    source.setSplit(13);
    source.finger(12345, {55, 87});
    QTRY_COMPARE(w.AFF_SCORE->text(), QStringLiteral("87"));
    QTRY_VERIFY(w.TIM_BACKUP->isActive());
    QCOMPARE(w.INP_USER_NUMBER->palette().color(QPalette::Base), QColor(Qt::black));

    // The trigger fires by itself and the backup runs to its end.
    QTRY_COMPARE_WITH_TIMEOUT(w.AFF_MSG[1]->text(),
                              QStringLiteral("Enrollment and Synchronization Complete"), 15000);
    QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("User: 12345  Template quality: 87%"));
    QCOMPARE(w.AFF_SCORE->text(), QStringLiteral("0"));
    QCOMPARE(w.TIM_BACKUP->interval(), 0);
    QCOMPARE(w.INP_USER_NUMBER->palette().color(QPalette::Base), QColor(Qt::white));

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

QTEST_MAIN(EnrollBackupEndToEndTest)
#include "tst_enroll_backup_end_to_end.moc"
