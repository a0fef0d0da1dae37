#include "link/Frame.h"
#include "util/TextNumber.h"

#include <QTest>

class FramesTest : public QObject
{
    Q_OBJECT
private slots:
    void everyRequestIsBuiltByteForByte_data()
    {
        const QByteArray u12345 = *USER_NUMBER_TO_BYTES(12345);
        const QByteArray u1 = *USER_NUMBER_TO_BYTES(1);
        const QByteArray uMax = *USER_NUMBER_TO_BYTES(4294967295.0);
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("handshake")
            << Frame::handshake() << QByteArray::fromHex("40010000000031000000 65D70A");
        QTest::newRow("enroll 12345")
            << Frame::enroll(u12345) << QByteArray::fromHex("40053930000000000000711F0A");
        QTest::newRow("enroll 1") << Frame::enroll(u1)
                                  << QByteArray::fromHex("40050100000000000000 71B70A");
        QTest::newRow("delete 12345")
            << Frame::deleteUser(u12345) << QByteArray::fromHex("4016393000000000000000BF0A");
        QTest::newRow("delete 1") << Frame::deleteUser(u1)
                                  << QByteArray::fromHex("40160100000000000000 00570A");
        QTest::newRow("first template")
            << Frame::firstTemplate(u12345) << QByteArray::fromHex("4089393000008001000000B30A");
        QTest::newRow("next template")
            << Frame::nextTemplate() << QByteArray::fromHex("40890000000000000000834C0A");
        QTest::newRow("user list first")
            << Frame::userListFirstPage() << QByteArray::fromHex("4086000000000003000000C90A");
        QTest::newRow("user list next")
            << Frame::userListNextPage() << QByteArray::fromHex("40860000000000030000834C0A");
        QTest::newRow("upload template 1") << Frame::uploadAnnounce(u12345, true)
                                           << QByteArray::fromHex("4087393000008001000000B10A");
        QTest::newRow("upload template 2") << Frame::uploadAnnounce(u12345, false)
                                           << QByteArray::fromHex("4087393000008001000071220A");
        QTest::newRow("upload largest user") << Frame::uploadAnnounce(uMax, true)
                                             << QByteArray::fromHex("4087FFFFFFFF8001000000440A");
        QTest::newRow("upload header")
            << Frame::uploadDataHeader() << QByteArray::fromHex("4087010000008001000000490A");
        QTest::newRow("trailer abc") << Frame::trailer("abc") << QByteArray::fromHex("26010000");
    }
    void everyRequestIsBuiltByteForByte()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, wire);
        QCOMPARE(request.toHex(' '), wire.toHex(' '));
    }

    void traceShowsEveryByteInDecimal_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("trace");
        QTest::newRow("handshake")
            << Frame::handshake() << "[64][1][0][0][0][0][49][0][0][0][101][215][10]";
        QTest::newRow("enroll 12345") << Frame::enroll(*USER_NUMBER_TO_BYTES(12345))
                                      << "[64][5][57][48][0][0][0][0][0][0][113][31][10]";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("extremes") << QByteArray::fromHex("00FF80") << "[0][255][128]";
    }
    void traceShowsEveryByteInDecimal()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, trace);
        QCOMPARE(TRACE_TEXT(message), trace);
    }

    // Messages up to the largest template are traced whole; a longer one (or one of which
    // only a part was kept) gives the trace of its first bytes and its length, so that a line
    // stays readable whatever a sender sends.
    void longMessagesAreTracedByTheirFirstBytesAndLength_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("shown"); // -1: as many as may be
        QTest::addColumn<qsizetype>("tracedBytes");
        QTest::newRow("frame") << qsizetype(13) << qsizetype(-1) << qsizetype(13);
        QTest::newRow("real template of 4 kB")
            << qsizetype(4096) << qsizetype(-1) << qsizetype(4096);
        QTest::newRow("largest template")
            << kLongestFullTrace << qsizetype(-1) << kLongestFullTrace;
        QTest::newRow("one byte more")
            << kLongestFullTrace + 1 << qsizetype(-1) << kLongestFullTrace;
        QTest::newRow("largest datagram") << qsizetype(65507) << qsizetype(-1) << kLongestFullTrace;
        QTest::newRow("a megabyte read at once")
            << qsizetype(1 << 20) << qsizetype(-1) << kLongestFullTrace;
        QTest::newRow("page kept whole") << qsizetype(38) << qsizetype(38) << qsizetype(38);
        QTest::newRow("10 bytes kept of 100") << qsizetype(100) << qsizetype(10) << qsizetype(10);
        QTest::newRow("nothing kept") << qsizetype(65536) << qsizetype(0) << qsizetype(0);
        QTest::newRow("more kept than may be traced")
            << qsizetype(65536) << qsizetype(65536) << kLongestFullTrace;
    }
    void longMessagesAreTracedByTheirFirstBytesAndLength()
    {
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, shown);
        QFETCH(qsizetype, tracedBytes);
        QByteArray message(size, '\0');
        for (qsizetype i = 0; i < size; ++i)
            message[i] = char(i * 7 + 3);
        QString expected;
        for (qsizetype i = 0; i < tracedBytes; ++i)
            expected += QStringLiteral("[%1]").arg(quint8(message[i]));
        if (tracedBytes < size)
            expected += QStringLiteral("... (%1 bytes)").arg(size);
        const QString trace = shown < 0 ? TRACE_TEXT(message) : TRACE_TEXT(message, shown);
        QCOMPARE(trace.size(), expected.size());
        QCOMPARE(trace, expected);
    }
};

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_frames.moc"
