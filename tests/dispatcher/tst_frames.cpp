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
};

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_frames.moc"
