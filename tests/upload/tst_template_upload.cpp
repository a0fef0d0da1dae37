#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "support/DatagramListener.h"
#include "support/HeadlessStationFixture.h"
#include "sync/TemplateUpload.h"

#include <QFile>
#include <QtTest>

namespace {

const QByteArray kSecondHeader = QByteArray::fromHex("40 87 01 00 00 00 80 01 00 00 00 49 0A");

QByteArray allByteValues()
{
    QByteArray bytes;
    bytes.append('\0').append('\n').append('\r');
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes.append(static_cast<char>(b));
    return bytes;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString line(Station &w, int index)
{
    return w.state().bannerLine(index);
}

QStringList linesContaining(const QStringList &lines, const QString &text)
{
    QStringList found;
    for (const QString &l : lines)
        if (l.contains(text))
            found.append(l);
    return found;
}

} // namespace

class TemplateUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void uploadSendsHeaderSecondHeaderDataAndTrailerInOrder_data();
    void uploadSendsHeaderSecondHeaderDataAndTrailerInOrder();
    void templateBytesArriveUnchangedWithTheirTrailer_data();
    void templateBytesArriveUnchangedWithTheirTrailer();
    void userNumberThatCannotTravelSendsNothingAndLeavesTheBanner_data();
    void userNumberThatCannotTravelSendsNothingAndLeavesTheBanner();
    void targetNamingComGoesOverTheSourceLinkNotUdp_data();
    void targetNamingComGoesOverTheSourceLinkNotUdp();
    void unusableTargetFailsWithNothingSent_data();
    void unusableTargetFailsWithNothingSent();
    void hostNameTargetIsResolved();
    void unreadableFileSendsNothingAndIsLogged();
    void txUdpSendsOneDatagramAndTracesItWithTheHost();
    void testButtonSendsTemplate1Of12345AsUser666666();
};

void TemplateUploadTest::uploadSendsHeaderSecondHeaderDataAndTrailerInOrder_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("templateNumber");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("12345 template 1")
        << "12345" << 1 << QByteArray::fromHex("40 87 39 30 00 00 80 01 00 00 00 B1 0A");
    QTest::newRow("12345 template 2")
        << "12345" << 2 << QByteArray::fromHex("40 87 39 30 00 00 80 01 00 00 71 22 0A");
    QTest::newRow("user 1 template 1 equals the second header") << "1" << 1 << kSecondHeader;
    QTest::newRow("highest user") << "4294967295" << 1
                                  << QByteArray::fromHex("40 87 FF FF FF FF 80 01 00 00 00 44 0A");
    QTest::newRow("template 3") << "12345" << 3
                                << QByteArray::fromHex("40 87 39 30 00 00 80 01 00 00 71 22 0A");
    QTest::newRow("template 10") << "12345" << 10
                                 << QByteArray::fromHex("40 87 39 30 00 00 80 01 00 00 71 22 0A");
}

void TemplateUploadTest::uploadSendsHeaderSecondHeaderDataAndTrailerInOrder()
{
    QFETCH(QString, user);
    QFETCH(int, templateNumber);
    QFETCH(QByteArray, header);

    DatagramListener target;
    QVERIFY(target.bind());
    HeadlessStationFixture f(target.port());
    const QByteArray data(384, '\x5A');
    const QString path = writeFile(f.folder() + QStringLiteral("12345-01.DAT"), data);

    const qint64 sleptBefore = f.clock.sleptMs();
    QVERIFY(f.station().templateUpload().UPLOAD_TEMPLATE(user, path, QStringLiteral("127.0.0.1"),
                                                         QStringLiteral("Synchronize template(s)"),
                                                         templateNumber));

    // The design's pacing: 0.1 + 0.2 + 0.1 + 0.1 + 0.1 s, none of it served or slept for real
    // (each wait may round up by a millisecond).
    const qint64 slept = f.clock.sleptMs() - sleptBefore;
    QVERIFY2(slept >= 600 && slept <= 605, qPrintable(QString::number(slept)));
    const QList<QByteArray> got = target.take(4);
    QCOMPARE(got.size(), 4);
    QCOMPARE(got[0], header);
    QCOMPARE(got[1], kSecondHeader);
    QCOMPARE(got[2], data);
    QCOMPARE(got[3], Frame::trailer(data));
    QVERIFY(target.drain(50).isEmpty());

    QCOMPARE(line(f.station(), 0),
             QStringLiteral("Upload user #%1 template #%2").arg(user).arg(templateNumber));
    QCOMPARE(line(f.station(), 1), QStringLiteral(" to 127.0.0.1 Synchronize template(s)"));
    QCOMPARE(f.station().templateUpload().destinationHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(f.station().templateUpload().destinationPort(), target.port());
}

void TemplateUploadTest::templateBytesArriveUnchangedWithTheirTrailer_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("trailer");

    const QByteArray every = allByteValues();
    quint32 sum = 0;
    for (const char c : every)
        sum += static_cast<quint8>(c);
    QByteArray everyTrailer;
    everyTrailer.append(static_cast<char>(sum & 0xFF)).append(static_cast<char>(sum >> 8));
    everyTrailer.append(2, '\0');
    QTest::newRow("nul, LF, CR and 0x80..0xFF") << every << everyTrailer;
    QTest::newRow("abc") << QByteArray("abc") << QByteArray::fromHex("26 01 00 00");
    QTest::newRow("empty file") << QByteArray() << QByteArray::fromHex("00 00 00 00");
    QTest::newRow("sum beyond 16 bits wraps")
        << QByteArray(300, '\xFF') << QByteArray::fromHex("D4 2A 00 00");
}

void TemplateUploadTest::templateBytesArriveUnchangedWithTheirTrailer()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, trailer);

    DatagramListener target;
    QVERIFY(target.bind());
    HeadlessStationFixture f(target.port());
    const QString path = writeFile(f.folder() + QStringLiteral("7-01.DAT"), data);

    QVERIFY(f.station().templateUpload().UPLOAD_TEMPLATE(
        QStringLiteral("7"), path, QStringLiteral("127.0.0.1"), QStringLiteral("x"), 1));
    const QList<QByteArray> got = target.take(4);
    QCOMPARE(got.size(), 4);
    QCOMPARE(got[2], data);
    QCOMPARE(got[3], trailer);
}

void TemplateUploadTest::userNumberThatCannotTravelSendsNothingAndLeavesTheBanner_data()
{
    QTest::addColumn<QString>("user");
    QTest::newRow("zero") << "0";
    QTest::newRow("letters") << "abc";
    QTest::newRow("above 4294967295") << "4294967296";
    QTest::newRow("fractional") << "12.5";
    QTest::newRow("negative") << "-3";
}

void TemplateUploadTest::userNumberThatCannotTravelSendsNothingAndLeavesTheBanner()
{
    QFETCH(QString, user);

    DatagramListener target;
    QVERIFY(target.bind());
    HeadlessStationFixture f(target.port());
    const QString path = writeFile(f.folder() + QStringLiteral("1-01.DAT"), "template");
    f.station().state().setBannerLine(0, QStringLiteral("line one"));
    f.station().state().setBannerLine(1, QStringLiteral("line two"));

    QVERIFY(!f.station().templateUpload().UPLOAD_TEMPLATE(user, path, QStringLiteral("127.0.0.1"),
                                                          QStringLiteral("x"), 1));
    QVERIFY(target.drain().isEmpty());
    QCOMPARE(line(f.station(), 0), QStringLiteral("line one"));
    QCOMPARE(line(f.station(), 1), QStringLiteral("line two"));
    QCOMPARE(f.clock.sleptMs(), 0);
}

void TemplateUploadTest::targetNamingComGoesOverTheSourceLinkNotUdp_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("lower case com3") << "com3";
    QTest::newRow("COM 1 with a blank") << "COM 1";
}

void TemplateUploadTest::targetNamingComGoesOverTheSourceLinkNotUdp()
{
    QFETCH(QString, target);

    DatagramListener udp;
    QVERIFY(udp.bind());
    HeadlessStationFixture f(udp.port());
    QVERIFY(f.openSerialPeer(3));
    f.enableLog();
    const QByteArray data = allByteValues();
    const QString path = writeFile(f.folder() + QStringLiteral("12345-01.DAT"), data);

    QVERIFY(f.station().templateUpload().UPLOAD_TEMPLATE(
        QStringLiteral("12345"), path, target, QStringLiteral("Synchronize template(s)"), 1));

    const QByteArray expected = QByteArray::fromHex("40 87 39 30 00 00 80 01 00 00 00 B1 0A") +
                                kSecondHeader + data + Frame::trailer(data);
    QCOMPARE(f.readSent(expected.size()), expected);
    QVERIFY(udp.drain().isEmpty());
    const QStringList log = f.logLines();
    QCOMPARE(linesContaining(log, QStringLiteral("TX_SERIAL: ")).size(), 4);
    QVERIFY(linesContaining(log, QStringLiteral("TX_UDP[")).isEmpty());
    QCOMPARE(line(f.station(), 1), QStringLiteral(" to ") + target + " Synchronize template(s)");
}

void TemplateUploadTest::unusableTargetFailsWithNothingSent_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("unresolvable name") << "no-such-unit.invalid";
    QTest::newRow("octet above 255") << "300.1.1.1";
    QTest::newRow("two parts only") << "10.7";
    // Blanks around a shorthand do not make it a full address.
    QTest::newRow("two parts, trailing blank") << "127.1 ";
    QTest::newRow("three parts, trailing blank") << "127.0.10 ";
    QTest::newRow("three parts, leading blank") << " 127.0.10";
    QTest::newRow("empty") << "";
}

void TemplateUploadTest::unusableTargetFailsWithNothingSent()
{
    QFETCH(QString, target);

    DatagramListener udp;
    QVERIFY(udp.bind());
    HeadlessStationFixture f(udp.port());
    f.enableLog();
    const QString path = writeFile(f.folder() + QStringLiteral("5-01.DAT"), "template");

    QVERIFY(!f.station().templateUpload().UPLOAD_TEMPLATE(QStringLiteral("5"), path, target,
                                                          QStringLiteral("x"), 1));
    QVERIFY(udp.drain().isEmpty());
    QVERIFY(linesContaining(f.logLines(), QStringLiteral("TX_UDP[")).isEmpty());
    QCOMPARE(f.station().templateUpload().destinationHost(), target);
}

void TemplateUploadTest::hostNameTargetIsResolved()
{
    DatagramListener udp;
    QVERIFY(udp.bind());
    HeadlessStationFixture f(udp.port());
    f.enableLog();
    const QString path = writeFile(f.folder() + QStringLiteral("5-01.DAT"), "template");

    QVERIFY(f.station().templateUpload().UPLOAD_TEMPLATE(
        QStringLiteral("5"), path, QStringLiteral("localhost"), QStringLiteral("x"), 1));
    QCOMPARE(udp.take(4).size(), 4);
    // The trace names the target as given, not the address it resolved to.
    QCOMPARE(linesContaining(f.logLines(), QStringLiteral("TX_UDP[localhost]: ")).size(), 4);
}

void TemplateUploadTest::unreadableFileSendsNothingAndIsLogged()
{
    DatagramListener udp;
    QVERIFY(udp.bind());
    HeadlessStationFixture f(udp.port());
    f.enableLog();
    f.station().state().setBannerLine(0, QStringLiteral("line one"));

    // Headers without their data would make the target take the next upload's first
    // datagram as this template: nothing at all goes out.
    QVERIFY(!f.station().templateUpload().UPLOAD_TEMPLATE(
        QStringLiteral("12345"), f.folder() + QStringLiteral("12345-09.DAT"),
        QStringLiteral("127.0.0.1"), QStringLiteral("x"), 9));
    QCOMPARE(udp.take(1, 300).size(), 0);
    QCOMPARE(line(f.station(), 0), QStringLiteral("line one"));
    QCOMPARE(linesContaining(f.logLines(), QStringLiteral("Template file not sent: ") + f.folder() +
                                               QStringLiteral("12345-09.DAT: "))
                 .size(),
             1);
}

void TemplateUploadTest::txUdpSendsOneDatagramAndTracesItWithTheHost()
{
    DatagramListener udp;
    QVERIFY(udp.bind());
    HeadlessStationFixture f(udp.port());
    f.enableLog();
    TemplateUpload &upload = f.station().templateUpload();

    upload.setDestination(QStringLiteral("127.0.0.1"));
    const QByteArray deleteFrame = QByteArray::fromHex("40 16 39 30 00 00 00 00 00 00 00 BF 0A");
    QVERIFY(upload.TX_UDP(deleteFrame));
    QVERIFY(upload.TX_UDP(QByteArray(2000, '\x01'))); // one piece, however long

    const QList<QByteArray> got = udp.take(2);
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0], deleteFrame);
    QCOMPARE(got[1].size(), 2000);
    const QStringList traces = linesContaining(f.logLines(), QStringLiteral("TX_UDP["));
    QCOMPARE(traces.size(), 2);
    QCOMPARE(traces[0].mid(9), QStringLiteral("TX_UDP[127.0.0.1]: ") + TRACE_TEXT(deleteFrame));
}

void TemplateUploadTest::testButtonSendsTemplate1Of12345AsUser666666()
{
    DatagramListener udp;
    QVERIFY(udp.bind(QHostAddress(QString::fromLatin1(TemplateUpload::kTestAddress))));
    HeadlessStationFixture f(udp.port());
    const QByteArray data("first template of 12345");
    writeFile(f.folder() + QStringLiteral("12345-01.DAT"), data);

    f.station().templateUpload().B_UPLOAD_TST_Click();

    const QList<QByteArray> got = udp.take(4);
    QCOMPARE(got.size(), 4);
    QCOMPARE(got[0], QByteArray::fromHex("40 87 2A 2C 0A 00 80 01 00 00 00 A8 0A"));
    QCOMPARE(got[2], data);
    QCOMPARE(line(f.station(), 0), QStringLiteral("Upload user #666666 template #1"));
}

QTEST_GUILESS_MAIN(TemplateUploadTest)
#include "tst_template_upload.moc"
