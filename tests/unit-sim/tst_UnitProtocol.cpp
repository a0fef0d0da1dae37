// The simulated unit's protocol engine, fed bytes directly: no sockets, no timers.

#include "UnitProtocol.h"
#include "link/Frame.h"

#include <QTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray allByteValues()
{
    QByteArray out;
    for (int i = 0; i < 256; ++i)
        out.append(static_cast<char>(i));
    return out + QByteArray::fromHex("400a0d00ff") + out;
}

quint8 at(const QByteArray &b, int position) // position counts from 1, like the frame layout
{
    return static_cast<quint8>(b.at(position - 1));
}

bool checksumOk(const QByteArray &frame)
{
    return frame.size() == 13 && Frame::frame(frame.left(11)) == frame;
}

int dataLength(const QByteArray &header)
{
    return at(header, 8) << 8 | at(header, 9);
}

QList<UnitProtocol::Event> eventsOf(const QList<UnitProtocol::Event> &events,
                                    UnitProtocol::Event::Kind kind)
{
    QList<UnitProtocol::Event> out;
    for (const auto &e : events) {
        if (e.kind == kind)
            out.append(e);
    }
    return out;
}

} // namespace

class TestUnitProtocol : public QObject
{
    Q_OBJECT

private slots:
    void enrollIsAcknowledgedThenCompletedByFinger_data();
    void enrollIsAcknowledgedThenCompletedByFinger();
    void fingerWithoutEnrollmentReportsTheUserOnEveryStream();
    void deleteAnswersWhetherTheUserExisted();
    void templatesAreReadAsBlocksUntilAnEmptyOne();
    void userListIsPagedWithCountAndLength_data();
    void userListIsPagedWithCountAndLength();
    void uploadStoresEveryByteValueAndReadsBack_data();
    void uploadStoresEveryByteValueAndReadsBack();
    void uploadOfAnotherTemplateAppendsAndTemplateOneStartsAfresh();
    void garbageBeforeRequestStillAnswered_data();
    void garbageBeforeRequestStillAnswered();
    void abandonedUploadDoesNotSwallowTheNextRequest();
};

void TestUnitProtocol::enrollIsAcknowledgedThenCompletedByFinger_data()
{
    QTest::addColumn<QList<int>>("qualities");
    QTest::newRow("no quality report") << QList<int>{};
    QTest::newRow("one quality") << QList<int>{55};
    QTest::newRow("rising qualities") << QList<int>{40, 65, 87};
    QTest::newRow("extreme values") << QList<int>{0, 255};
}

void TestUnitProtocol::enrollIsAcknowledgedThenCompletedByFinger()
{
    QFETCH(QList<int>, qualities);
    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    const QByteArray request = hex("40053930000000000000711F0A");
    QCOMPARE(request, Frame::enroll(hex("39300000")));

    const auto ack = unit.receive(s, request);
    QCOMPARE(ack.reply.size(), 13);
    QCOMPARE(ack.reply.left(11), hex("4005393000000000000061"));
    QVERIFY(checksumOk(ack.reply));
    QCOMPARE(unit.pendingEnrollment(), std::optional<quint32>(12345));

    const auto done = unit.finger(12345, qualities);
    QCOMPARE(done.deliveries.size(), 1);
    QCOMPARE(done.deliveries.first().session, s);
    const QByteArray out = done.deliveries.first().bytes;
    QCOMPARE(out.size(), 13 * (qualities.size() + 1));
    for (int i = 0; i < qualities.size(); ++i) {
        const QByteArray q = out.mid(13 * i, 13);
        QVERIFY(checksumOk(q));
        QCOMPARE(q.left(6), hex("400539300000"));
        QCOMPARE(int(at(q, 7)), qualities[i]);
        QCOMPARE(at(q, 11), quint8('b'));
    }
    // The user frame: 40 11 39 30 00 00 xx 00 00 00 61 cs 0A.
    const QByteArray user = out.right(13);
    QVERIFY(checksumOk(user));
    QCOMPARE(user.left(6), hex("401139300000"));
    QCOMPARE(user.mid(7, 3), hex("000000"));
    QCOMPARE(at(user, 11), quint8('a'));

    QVERIFY(!unit.pendingEnrollment());
    const auto stored = unit.templates(12345);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0].size(), 384);
    QVERIFY(stored[0] != stored[1]);
}

void TestUnitProtocol::fingerWithoutEnrollmentReportsTheUserOnEveryStream()
{
    UnitProtocol unit;
    const int a = unit.openSession(UnitProtocol::Transport::Stream);
    unit.openSession(UnitProtocol::Transport::Datagram);
    const int b = unit.openSession(UnitProtocol::Transport::Stream);
    unit.setTemplates(7, {"x"});

    const auto result = unit.finger(7, {90});
    QCOMPARE(result.deliveries.size(), 2);
    QCOMPARE(result.deliveries[0].session, a);
    QCOMPARE(result.deliveries[1].session, b);
    const QByteArray frame = result.deliveries[0].bytes;
    QCOMPARE(frame.size(), 13);
    QCOMPARE(frame.left(6), hex("401107000000"));
    QCOMPARE(at(frame, 11), quint8('a'));
    QCOMPARE(unit.templates(7), QList<QByteArray>{"x"}); // a recognised finger changes nothing
}

void TestUnitProtocol::deleteAnswersWhetherTheUserExisted()
{
    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    unit.setTemplates(1, {"one", "two"});
    unit.setTemplates(2, {"other"});
    const QByteArray request = hex("4016010000000000000000570A");
    QCOMPARE(request, Frame::deleteUser(hex("01000000")));

    const auto first = unit.receive(s, request);
    QCOMPARE(first.reply, Frame::frame(hex("4016000000000000000061")));
    QVERIFY(unit.templates(1).isEmpty());
    QCOMPARE(unit.templates(2).size(), 1);
    const auto deleted = eventsOf(first.events, UnitProtocol::Event::Kind::UserDeleted);
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.first().user, 1u);
    QVERIFY(deleted.first().existed);

    const auto again = unit.receive(s, request);
    QCOMPARE(again.reply, Frame::frame(hex("4016000000000000000069")));
}

void TestUnitProtocol::templatesAreReadAsBlocksUntilAnEmptyOne()
{
    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    const QByteArray t1 = allByteValues();
    const QByteArray t2(384, '\x7f');
    unit.setTemplates(12345, {t1, t2});
    const QByteArray request = hex("40893930000080010000"
                                   "00B30A");
    QCOMPARE(request, Frame::firstTemplate(hex("39300000")));

    // First: acknowledgement, data header, template, trailer.
    const QByteArray first = unit.receive(s, request).reply;
    QCOMPARE(first.size(), 13 + 13 + t1.size() + 4);
    QCOMPARE(first.left(2), hex("4089"));
    QCOMPARE(at(first, 11), quint8('a'));
    const QByteArray header = first.mid(13, 13);
    QVERIFY(checksumOk(header));
    QCOMPARE(at(header, 2), quint8(0x89));
    QCOMPARE(dataLength(header), t1.size());
    QCOMPARE(first.mid(26, t1.size()), t1);
    QCOMPARE(first.right(4), Frame::trailer(t1));

    // Next: no acknowledgement.
    const QByteArray next = unit.receive(s, Frame::nextTemplate()).reply;
    QCOMPARE(next.size(), 13 + t2.size() + 4);
    QCOMPARE(dataLength(next), t2.size());
    QCOMPARE(next.mid(13, t2.size()), t2);
    QCOMPARE(next.right(4), Frame::trailer(t2));

    // After the last, and for a user the unit does not hold: an empty block.
    const QByteArray end = unit.receive(s, Frame::nextTemplate()).reply;
    QCOMPARE(end.size(), 13 + 4);
    QCOMPARE(dataLength(end), 0);
    QCOMPARE(end.right(4), hex("00000000"));
    const QByteArray unknown = unit.receive(s, Frame::firstTemplate(hex("01020304"))).reply;
    QCOMPARE(unknown.size(), 13 + 13 + 4);
}

void TestUnitProtocol::userListIsPagedWithCountAndLength_data()
{
    QTest::addColumn<int>("pageRecords");
    QTest::addColumn<QList<int>>("templateCounts");
    QTest::addColumn<int>("pageCount");

    QTest::newRow("three users over two pages") << 4 << QList<int>{2, 1, 3} << 2;
    QTest::newRow("three users on one page") << 64 << QList<int>{2, 1, 3} << 1;
    QTest::newRow("exactly full pages") << 3 << QList<int>{3, 3} << 2;
    QTest::newRow("one record per page") << 1 << QList<int>{1, 2} << 3;
    QTest::newRow("no users") << 4 << QList<int>{} << 1;
}

void TestUnitProtocol::userListIsPagedWithCountAndLength()
{
    QFETCH(int, pageRecords);
    QFETCH(QList<int>, templateCounts);
    QFETCH(int, pageCount);

    UnitProtocol::Options options;
    options.pageRecords = pageRecords;
    UnitProtocol unit(options);
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    QByteArray expectedRecords;
    for (int u = 0; u < templateCounts.size(); ++u) {
        const quint32 user = 123456 + quint32(u); // 40 E2 01 00 for the first
        unit.setTemplates(user, QList<QByteArray>(templateCounts[u], "t"));
        for (int k = 0; k < templateCounts[u]; ++k)
            expectedRecords += UnitProtocol::userBytes(user);
    }

    QByteArray records;
    for (int page = 1; page <= pageCount + 1; ++page) {
        const QByteArray reply =
            unit.receive(s, page == 1 ? Frame::userListFirstPage() : Frame::userListNextPage())
                .reply;
        // Only the first page starts with an acknowledgement.
        const QByteArray block = page == 1 ? reply.mid(13) : reply;
        if (page == 1) {
            QCOMPARE(reply.left(2), hex("4086"));
            QCOMPARE(at(reply, 11), quint8('a'));
        }
        const QByteArray header = block.left(13);
        QVERIFY(checksumOk(header));
        QCOMPARE(int(at(header, 3)), pageCount);
        const int length = dataLength(header);
        QCOMPARE(block.size(), 13 + length + 4);
        const QByteArray data = block.mid(13, length);
        QCOMPARE(block.right(4), Frame::trailer(data));
        QCOMPARE(length % 8, 0);
        QVERIFY(length <= 8 * pageRecords);
        if (page > pageCount)
            QCOMPARE(length, 0); // beyond the last page: nothing more
        for (int r = 0; r < length; r += 8)
            records += data.mid(r, 4);
    }
    QCOMPARE(records, expectedRecords);
}

void TestUnitProtocol::uploadStoresEveryByteValueAndReadsBack_data()
{
    QTest::addColumn<bool>("datagrams");
    // Pieces per burst, with a silence after each burst. The pieces are the announce, the data
    // header, the data (in two halves with splitData) and the trailer.
    QTest::addColumn<QList<int>>("bursts");
    QTest::addColumn<bool>("splitData");
    QTest::addColumn<quint32>("user");

    QTest::newRow("datagrams") << true << QList<int>{} << false << 12345u;
    QTest::newRow("stream, pauses between all pieces")
        << false << QList<int>{1, 1, 1, 1} << false << 12345u;
    QTest::newRow("stream, trailer with the data")
        << false << QList<int>{1, 1, 2} << false << 12345u;
    QTest::newRow("stream, all in one burst") << false << QList<int>{4} << false << 12345u;
    QTest::newRow("stream, a pause inside the data")
        << false << QList<int>{1, 1, 1, 1, 1} << true << 12345u;
    QTest::newRow("user 1, whose announce is the data header")
        << false << QList<int>{1, 1, 1, 1} << false << 1u;
    QTest::newRow("user 1 by datagrams") << true << QList<int>{} << false << 1u;
}

void TestUnitProtocol::uploadStoresEveryByteValueAndReadsBack()
{
    QFETCH(bool, datagrams);
    QFETCH(QList<int>, bursts);
    QFETCH(bool, splitData);
    QFETCH(quint32, user);

    UnitProtocol unit;
    const int s = unit.openSession(datagrams ? UnitProtocol::Transport::Datagram
                                             : UnitProtocol::Transport::Stream);
    const QByteArray data = allByteValues();
    const QByteArray announce = Frame::uploadAnnounce(UnitProtocol::userBytes(user), true);
    if (user == 12345)
        QCOMPARE(announce, hex("40873930000080010000"
                               "00B10A"));
    QCOMPARE(Frame::uploadDataHeader(), hex("40870100000080010000"
                                            "00490A"));
    QList<QByteArray> pieces{announce, Frame::uploadDataHeader(), data, Frame::trailer(data)};
    if (splitData) {
        pieces.replace(2, data.left(100));
        pieces.insert(3, data.mid(100));
    }

    QList<UnitProtocol::Event> events;
    if (datagrams) {
        for (const QByteArray &p : pieces)
            events += unit.receive(s, p).events;
    } else {
        int next = 0;
        for (const int count : bursts) {
            QByteArray burst;
            for (int i = 0; i < count; ++i)
                burst += pieces[next++];
            events += unit.receive(s, burst).events;
            events += unit.streamIdle(s).events; // the sender pauses
        }
    }

    const auto stored = eventsOf(events, UnitProtocol::Event::Kind::TemplateStored);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().user, user);
    QCOMPARE(stored.first().index, 1);
    QCOMPARE(eventsOf(events, UnitProtocol::Event::Kind::Request).size(), 2);
    QCOMPARE(unit.templates(user), QList<QByteArray>{data});

    const int reader = unit.openSession(UnitProtocol::Transport::Stream);
    const QByteArray back =
        unit.receive(reader, Frame::firstTemplate(UnitProtocol::userBytes(user))).reply;
    QCOMPARE(back.mid(26, back.size() - 30), data);
}

void TestUnitProtocol::uploadOfAnotherTemplateAppendsAndTemplateOneStartsAfresh()
{
    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Datagram);
    const QByteArray u = UnitProtocol::userBytes(42);
    unit.setTemplates(42, {"old-1", "old-2"});
    auto upload = [&](bool first, const QByteArray &data) {
        for (const QByteArray &p : {Frame::uploadAnnounce(u, first), Frame::uploadDataHeader(),
                                    data, Frame::trailer(data)})
            unit.receive(s, p);
    };

    upload(true, "new-1");
    QCOMPARE(unit.templates(42), (QList<QByteArray>{"new-1"}));
    upload(false, "new-2");
    upload(false, "new-3");
    QCOMPARE(unit.templates(42), (QList<QByteArray>{"new-1", "new-2", "new-3"}));
}

void TestUnitProtocol::garbageBeforeRequestStillAnswered_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("chunk"); // the whole input is fed in pieces of this size (0: at once)

    QTest::newRow("noise without start bytes") << hex("0001020a0d7f80ff") << 0;
    QTest::newRow("stray start bytes") << hex("40400a4000") << 0;
    QTest::newRow("half a request") << Frame::handshake().left(7) << 0;
    QTest::newRow("an unknown request") << Frame::frame(hex("40FF0000000000000000FF")) << 0;
    QTest::newRow("noise fed byte by byte") << hex("00ff40") << 1;
    QTest::newRow("a megabyte of start bytes") << QByteArray(1 << 20, '@') << 4096;
}

void TestUnitProtocol::garbageBeforeRequestStillAnswered()
{
    QFETCH(QByteArray, before);
    QFETCH(int, chunk);

    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    const QByteArray input = before + Frame::handshake();
    QByteArray reply;
    const int step = chunk > 0 ? chunk : int(input.size());
    for (int i = 0; i < input.size(); i += step)
        reply += unit.receive(s, input.mid(i, step)).reply;
    QCOMPARE(reply, hex("4001650000000000000061070A"));

    // And the engine keeps answering afterwards.
    QCOMPARE(unit.receive(s, Frame::handshake()).reply.size(), 13);
}

void TestUnitProtocol::abandonedUploadDoesNotSwallowTheNextRequest()
{
    UnitProtocol unit;
    const int s = unit.openSession(UnitProtocol::Transport::Stream);
    unit.receive(s, Frame::uploadAnnounce(UnitProtocol::userBytes(9), true));
    unit.receive(s, Frame::uploadDataHeader());
    unit.receive(s, "partial template");
    unit.streamIdle(s);
    // The sender gives up; its next request must still be understood.
    const auto result = unit.receive(s, Frame::handshake());
    QCOMPARE(result.reply.size(), 13);
    QCOMPARE(result.reply.left(3), hex("400165"));
    QVERIFY(unit.templates(9).isEmpty());
}

QTEST_GUILESS_MAIN(TestUnitProtocol)
#include "tst_UnitProtocol.moc"
