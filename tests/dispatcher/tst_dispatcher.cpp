// The receive poll fed through a real pseudo-terminal: each chunk is written by the peer,
// lands in the station's serial port, and one poll reads it, as on a real line.
#include "link/Frame.h"
#include "link/ReceiveDispatcher.h"
#include "link/SerialLink.h"
#include "support/HeadlessStationFixture.h"
#include "util/TextNumber.h"

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

    std::unique_ptr<HeadlessStationFixture> f;

    void poll(const QByteArray &chunk)
    {
        QVERIFY(f->feedSerial(chunk));
        f->station().dispatcher().SERIAL_RX_Timer();
    }
    QString line(int i) const { return f->state().bannerLine(i); }

private slots:
    void init()
    {
        f = std::make_unique<HeadlessStationFixture>();
        QVERIFY(f->openSerialPeer());
        f->state().setMode(StationState::Mode::Enroll);
        f->state().setBannerLine(0, QString());
        f->state().setBannerLine(1, QString());
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
        QCOMPARE(f->state().quality(), score);
        QCOMPARE(f->state().RX_SCORE, pending);
    }

    void splitFrameIsDispatchedOnThePollThatCompletesIt()
    {
        f->state().setHandshakePending(true);
        poll(kHandshakeReply.left(5));
        QCOMPARE(line(0), QString());
        QCOMPARE(f->state().RX_SCORE, kHandshakeReply.left(5));
        poll(kHandshakeReply.mid(5));
        QCOMPARE(line(0), kEstablished);
        QVERIFY(!f->state().handshakePending());
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
        f->state().setUserText(QStringLiteral("777"));
        f->state().setBannerLine(1, QStringLiteral("Delete User: 777"));
        poll(frame);
        QCOMPARE(line(0), QStringLiteral("User 777 deleted"));
        QCOMPARE(line(1), QString());
    }

    void userFrameInEnrollModeArmsTheBackup()
    {
        poll(userFrame("39300000", 0x5A));
        QCOMPARE(f->state().userText(), QStringLiteral("12345"));
        QCOMPARE(line(0), QStringLiteral("Remove your finger from the sensor"));
        QCOMPARE(line(1), QStringLiteral("Reception of template number: 12345"));
        QCOMPARE(f->station().backupTimer().interval(), 200);
        QVERIFY(f->station().backupTimer().isActive());
        QCOMPARE(f->clock.sleptMs(), 1000); // the one-second wait that serves no events
    }

    void userFrameInReadModeGoesToKeyboardOutput()
    {
        f->state().setMode(StationState::Mode::Read);
        QSignalSpy recognised(&f->station().dispatcher(), &ReceiveDispatcher::userRecognised);
        poll(userFrame("40E20100", 0));
        QCOMPARE(f->state().userText(), QStringLiteral("123456"));
        QCOMPARE(recognised.count(), 1);
        QCOMPARE(recognised.at(0).at(0).toString(), QStringLiteral("123456"));
        QVERIFY(!f->station().backupTimer().isActive());
        QCOMPARE(line(0), QString());
    }

    void bulkCollectionAppendsEveryByteUnchanged()
    {
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte.append(char(i));
        f->state().TRELVANE_LOAD = 1;
        poll(kHandshakeReply);
        poll(everyByte);
        QCOMPARE(f->state().RX_EMPREINTE, kHandshakeReply + everyByte);
        QCOMPARE(line(0), QString()); // the reply was collected, not dispatched
        QCOMPARE(line(1), QStringLiteral("Synchronize user template, please wait."));
        QCOMPARE(f->state().RX_SCORE, QByteArray());
    }

    void bulkCollectionKeepsNoMoreThanTheLongestAnswer()
    {
        QByteArray stream(48 * 1024, '\0');
        for (qsizetype i = 0; i < stream.size(); ++i)
            stream[i] = char(i * 13);
        f->state().TRELVANE_LOAD = 1;
        for (int i = 0; i < 4; ++i)
            poll(stream);
        QCOMPARE(f->state().RX_EMPREINTE.size(), ReceiveDispatcher::kMaxCollectedBytes);
        QCOMPARE(f->state().RX_EMPREINTE,
                 (stream + stream).left(ReceiveDispatcher::kMaxCollectedBytes));
    }

    void fragmentPendingBeforeBulkCollectionSurvivesIt()
    {
        poll(kHandshakeReply.left(4));
        f->state().TRELVANE_LOAD = 1;
        poll(QByteArray("raw"));
        f->state().TRELVANE_LOAD = StationState::True;
        poll(kHandshakeReply.mid(4));
        QCOMPARE(line(0), kEstablished);
    }

    void everyChunkIsTracedAndAnEmptyReadIsNot()
    {
        f->enableLog();
        f->station().dispatcher().SERIAL_RX_Timer();
        QVERIFY(f->logLines().isEmpty());
        poll(QByteArray::fromHex("40FF00"));
        QVERIFY(f->logLines().last().endsWith(QStringLiteral(" RX_Serial: [64][255][0]")));
    }

    void endlessGarbageKeepsMemoryBoundedAndTheNextFrameStillWorks()
    {
        QByteArray garbage(256 * 1024, 'g');
        for (int i = 0; i < 8; ++i)
            poll(garbage);
        QVERIFY(f->state().RX_SCORE.size() <= ReceiveDispatcher::kMaxPendingBytes);
        poll(QByteArray(1, 0x40));
        poll(kHandshakeReply.mid(1));
        QCOMPARE(line(0), kEstablished);
    }

    void pollRunsOnArrivalOnlyWhileTheTimerIsEnabled()
    {
        f->peer().write(kHandshakeReply);
        QTest::qWait(100);
        QCOMPARE(line(0), QString()); // SERIAL_RX stopped: nothing polled
        QCOMPARE(f->station().serial().readAll(), kHandshakeReply); // still waiting in the port
        // Enabled with a safety-net tick an hour away: only the arrival can run the poll.
        f->station().serialRxTimer().start(3600 * 1000);
        f->peer().write(kDeleteDone);
        QTRY_COMPARE_WITH_TIMEOUT(line(0), QStringLiteral("User  deleted"), 2000);
        QCOMPARE(f->state().RX_SCORE, QByteArray());
    }

    void bytesThatArrivedWhileThePollWasStoppedAreReadAsSoonAsItIsEnabledAgain()
    {
        QVERIFY(f->feedSerial(kHandshakeReply)); // SERIAL_RX stopped: the reply waits
        QCOMPARE(line(0), QString());
        // The safety-net tick is an hour away and no new byte arrives: only starting the
        // timer again can run the poll.
        f->station().serialRxTimer().start(3600 * 1000);
        QTRY_COMPARE_WITH_TIMEOUT(line(0), kEstablished, 2000);
    }

    void closedSerialPortEndsThePollQuietly()
    {
        f->station().serial().close();
        f->station().dispatcher().SERIAL_RX_Timer();
        QCOMPARE(f->state().RX_SCORE, QByteArray());
    }
};

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
