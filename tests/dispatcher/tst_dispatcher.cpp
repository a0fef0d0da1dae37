// The receive poll fed through a real pseudo-terminal: each chunk is written by the peer,
// lands in the station's serial port, and one poll reads it, as on a real line.
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "support/StationFixture.h"
#include "util/TextNumber.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QByteArray reply(const char *hex11)
{
    return Frame::frame(QByteArray::fromHex(hex11));
}
const QByteArray kHandshakeReply = reply("4001650000000000000061");
const QByteArray kDeleteDone = reply("4016000000000000000061");
const QByteArray kDeleteOther = reply("4016000000000000000069");
const QByteArray kEnrollAck = reply("4005393000000000000061");
QByteArray quality(int q)
{
    QByteArray body = QByteArray::fromHex("4005393000000000000062");
    body[6] = char(q);
    return Frame::frame(body);
}
QByteArray userFrame(const char *userHex, int byte7)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, QByteArray::fromHex(userHex));
    body[6] = char(byte7);
    return Frame::frame(body);
}
const QString kEstablished = QStringLiteral("Communication with Trelvane source unit established.");

} // namespace

class DispatcherTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<StationFixture> f;

    void poll(const QByteArray &chunk)
    {
        QVERIFY(f->feedSerial(chunk));
        f->w().dispatcher().SERIAL_RX_Timer();
    }
    QString line(int i) const { return f->w().AFF_MSG[i]->text(); }

private slots:
    void init()
    {
        f = std::make_unique<StationFixture>();
        QVERIFY(f->openSerialPeer());
        f->w().SW_MODE[0]->setChecked(true);
        f->w().state().setBannerLine(0, QString());
        f->w().state().setBannerLine(1, QString());
    }
    void cleanup() { f.reset(); }

    void chunksAreReassembledAndDispatchedByTheRules_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("score");
        QTest::addColumn<QByteArray>("pending");

        QTest::newRow("frame split 5 + 8")
            << QByteArrayList{kHandshakeReply.left(5), kHandshakeReply.mid(5)} << kEstablished
            << "0" << QByteArray();
        QTest::newRow("lone start byte drops the pending half")
            << QByteArrayList{kDeleteDone.left(5), QByteArray(1, 0x40), kHandshakeReply.mid(1)}
            << kEstablished << "0" << QByteArray();
        QTest::newRow("whole frame after a pending half is dispatched as one buffer")
            << QByteArrayList{quality(12).left(5), quality(77)} << ""
            << "77" << QByteArray();
        QTest::newRow("noise then frame is not dispatched")
            << QByteArrayList{"xx" + kHandshakeReply} << ""
            << "0"
            << "xx" + kHandshakeReply;
        QTest::newRow("noise is replaced by a chunk ending in the start byte")
            << QByteArrayList{"xx" + kHandshakeReply, kHandshakeReply, QByteArray(1, 0x40),
                              kHandshakeReply.mid(1)}
            << kEstablished << "0" << QByteArray();
        QTest::newRow("acknowledgement and quality in one chunk")
            << QByteArrayList{kEnrollAck + quality(55)} << ""
            << "55" << QByteArray();
        QTest::newRow("quality frame") << QByteArrayList{quality(255)} << ""
                                       << "255" << QByteArray();
        QTest::newRow("quality buffer too short to hold the quality is dropped")
            << QByteArrayList{QByteArray::fromHex("400562000A")} << ""
            << "0" << QByteArray();
        QTest::newRow("enroll acknowledgement alone is dropped") << QByteArrayList{kEnrollAck} << ""
                                                                 << "0" << QByteArray();
        QTest::newRow("wrong checksum still dispatched")
            << QByteArrayList{kHandshakeReply.left(11) + QByteArray::fromHex("000A")}
            << kEstablished << "0" << QByteArray();
    }
    void chunksAreReassembledAndDispatchedByTheRules()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, line1);
        QFETCH(QString, score);
        QFETCH(QByteArray, pending);
        for (const QByteArray &chunk : chunks)
            poll(chunk);
        QCOMPARE(line(0), line1);
        QCOMPARE(f->w().AFF_SCORE->text(), score);
        QCOMPARE(f->w().RX_SCORE, pending);
    }

    void splitFrameIsDispatchedOnThePollThatCompletesIt()
    {
        f->w().state().setHandshakePending(true);
        poll(kHandshakeReply.left(5));
        QCOMPARE(line(0), QString());
        QCOMPARE(f->w().RX_SCORE, kHandshakeReply.left(5));
        poll(kHandshakeReply.mid(5));
        QCOMPARE(line(0), kEstablished);
        QVERIFY(f->w().FR_ERROR->isHidden());
    }

    void deleteReplyNamesTheUserInTheFieldWhateverItsStatus_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("status a") << kDeleteDone;
        QTest::newRow("status i") << kDeleteOther;
    }
    void deleteReplyNamesTheUserInTheFieldWhateverItsStatus()
    {
        QFETCH(QByteArray, frame);
        f->w().INP_USER_NUMBER->setText(QStringLiteral("777"));
        f->w().state().setBannerLine(1, QStringLiteral("Delete User: 777"));
        poll(frame);
        QCOMPARE(line(0), QStringLiteral("User 777 deleted"));
        QCOMPARE(line(1), QString());
    }

    void userFrameInEnrollModeArmsTheBackup()
    {
        poll(userFrame("39300000", 0x5A));
        QCOMPARE(f->w().INP_USER_NUMBER->text(), QStringLiteral("12345"));
        QCOMPARE(line(0), QStringLiteral("Remove your finger from the sensor"));
        QCOMPARE(line(1), QStringLiteral("Reception of template number: 12345"));
        QCOMPARE(f->w().TIM_BACKUP->interval(), 200);
        QVERIFY(f->w().TIM_BACKUP->isActive());
        QCOMPARE(f->clock.sleptMs(), 1000); // the one-second wait that serves no events
    }

    void userFrameInReadModeGoesToKeyboardOutput()
    {
        f->w().SW_MODE[1]->setChecked(true);
        QSignalSpy recognised(&f->w().dispatcher(), &ReceiveDispatcher::userRecognised);
        poll(userFrame("40E20100", 0));
        QCOMPARE(f->w().INP_USER_NUMBER->text(), QStringLiteral("123456"));
        QCOMPARE(recognised.count(), 1);
        QCOMPARE(recognised.at(0).at(0).toString(), QStringLiteral("123456"));
        QVERIFY(!f->w().TIM_BACKUP->isActive());
        QCOMPARE(line(0), QString());
    }

    void bulkCollectionAppendsEveryByteUnchanged()
    {
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte.append(char(i));
        f->w().TRELVANE_LOAD = 1;
        poll(kHandshakeReply);
        poll(everyByte);
        QCOMPARE(f->w().RX_EMPREINTE, kHandshakeReply + everyByte);
        QCOMPARE(line(0), QString()); // the reply was collected, not dispatched
        QCOMPARE(line(1), QStringLiteral("Synchronize user template, please wait."));
        QCOMPARE(f->w().RX_SCORE, QByteArray());
    }

    void bulkCollectionKeepsNoMoreThanTheLongestAnswer()
    {
        QByteArray stream(48 * 1024, '\0');
        for (qsizetype i = 0; i < stream.size(); ++i)
            stream[i] = char(i * 13);
        f->w().TRELVANE_LOAD = 1;
        for (int i = 0; i < 4; ++i)
            poll(stream);
        QCOMPARE(f->w().RX_EMPREINTE.size(), ReceiveDispatcher::kMaxCollectedBytes);
        QCOMPARE(f->w().RX_EMPREINTE,
                 (stream + stream).left(ReceiveDispatcher::kMaxCollectedBytes));
    }

    void fragmentPendingBeforeBulkCollectionSurvivesIt()
    {
        poll(kHandshakeReply.left(4));
        f->w().TRELVANE_LOAD = 1;
        poll(QByteArray("raw"));
        f->w().TRELVANE_LOAD = F_MAIN::True;
        poll(kHandshakeReply.mid(4));
        QCOMPARE(line(0), kEstablished);
    }

    void everyChunkIsTracedAndAnEmptyReadIsNot()
    {
        f->enableLog();
        f->w().dispatcher().SERIAL_RX_Timer();
        QVERIFY(f->logLines().isEmpty());
        poll(QByteArray::fromHex("40FF00"));
        QVERIFY(f->logLines().last().endsWith(QStringLiteral(" RX_Serial: [64][255][0]")));
    }

    void endlessGarbageKeepsMemoryBoundedAndTheNextFrameStillWorks()
    {
        QByteArray garbage(256 * 1024, 'g');
        for (int i = 0; i < 8; ++i)
            poll(garbage);
        QVERIFY(f->w().RX_SCORE.size() <= ReceiveDispatcher::kMaxPendingBytes);
        poll(QByteArray(1, 0x40));
        poll(kHandshakeReply.mid(1));
        QCOMPARE(line(0), kEstablished);
    }

    void pollRunsOnArrivalOnlyWhileTheTimerIsEnabled()
    {
        f->peer().write(kHandshakeReply);
        QTest::qWait(100);
        QCOMPARE(line(0), QString());                         // SERIAL_RX stopped: nothing polled
        QCOMPARE(f->w().serial().readAll(), kHandshakeReply); // still waiting in the port
        // Enabled with a safety-net tick an hour away: only the arrival can run the poll.
        f->w().SERIAL_RX->start(3600 * 1000);
        f->peer().write(kDeleteDone);
        QTRY_COMPARE_WITH_TIMEOUT(line(0), QStringLiteral("User  deleted"), 2000);
        QCOMPARE(f->w().RX_SCORE, QByteArray());
    }

    void bytesThatArrivedWhileThePollWasStoppedAreReadAsSoonAsItIsEnabledAgain()
    {
        QVERIFY(f->feedSerial(kHandshakeReply)); // SERIAL_RX stopped: the reply waits
        QCOMPARE(line(0), QString());
        // The safety-net tick is an hour away and no new byte arrives: only starting the
        // timer again can run the poll.
        f->w().SERIAL_RX->start(3600 * 1000);
        QTRY_COMPARE_WITH_TIMEOUT(line(0), kEstablished, 2000);
    }

    void closedSerialPortEndsThePollQuietly()
    {
        f->w().serial().close();
        f->w().dispatcher().SERIAL_RX_Timer();
        QCOMPARE(f->w().RX_SCORE, QByteArray());
    }
};

QTEST_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
