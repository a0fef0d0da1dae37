#include "enroll/UserListPages.h"
#include "link/Frame.h"

#include <QRandomGenerator>
#include <QTest>

using namespace UserListPages;

namespace {

QByteArray record(quint32 user, quint8 templateNumber)
{
    QByteArray r(8, '\0');
    for (int i = 0; i < 4; ++i)
        r[i] = char((user >> (8 * i)) & 0xFF);
    r[4] = char(templateNumber);
    return r;
}

QByteArray records(const QList<QPair<quint32, int>> &users)
{
    QByteArray data;
    for (const auto &[user, count] : users)
        for (int t = 1; t <= count; ++t)
            data += record(user, quint8(t));
    return data;
}

// A data block as the unit sends it: header with page count and length, data, trailer.
QByteArray block(int pageCount, const QByteArray &data)
{
    const int length = int(data.size());
    QByteArray data8(8, '\0');
    data8[0] = char(pageCount);
    data8[5] = char(length >> 8);
    data8[6] = char(length & 0xFF);
    return Frame::frame(Frame::body(0x86, data8, 0x00)) + data + Frame::trailer(data);
}

QByteArray firstPage(int pageCount, const QByteArray &data)
{
    return Frame::frame(Frame::body(0x86, QByteArray(8, '\0'), 0x61)) + block(pageCount, data);
}

} // namespace

class UserListPagesTest : public QObject
{
    Q_OBJECT
private slots:
    void expectationFollowsPageAndCount_data();
    void expectationFollowsPageAndCount();
    void trimmingKeepsOnlyTheRecords_data();
    void trimmingKeepsOnlyTheRecords();
    void consecutiveRecordsGroupIntoUsers_data();
    void consecutiveRecordsGroupIntoUsers();
    void listLinePadsTheNumberTo37Characters();
    void wholeFirstPageOfThreeUsersDecodes();
    void tenThousandUsersDecode();
    void anyBytesDecodeWithoutHarm();
    void aReplyKeepsNoMoreThanItAnnounces_data();
    void aReplyKeepsNoMoreThanItAnnounces();
    void theListStopsAtItsLargestNumberOfUsers_data();
    void theListStopsAtItsLargestNumberOfUsers();
};

void UserListPagesTest::expectationFollowsPageAndCount_data()
{
    QTest::addColumn<QByteArray>("collected");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("countBefore");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<int>("countAfter");
    const QByteArray page1 = firstPage(3, QByteArray(40, 'x'));
    QTest::newRow("too few bytes yet") << page1.left(25) << 1 << 100 << qsizetype(0) << 100;
    QTest::newRow("page 1 announces length and count") << page1 << 1 << 100 << qsizetype(70) << 3;
    QTest::newRow("page 1 announcing 0 pages")
        << firstPage(0, QByteArray(8, 'x')) << 1 << 100 << qsizetype(38) << 0;
    QTest::newRow("page 1 announcing 255 pages")
        << firstPage(255, QByteArray(8, 'x')) << 1 << 100 << qsizetype(38) << 255;
    const QByteArray later = block(3, QByteArray(64, 'y'));
    QTest::newRow("later page below the count") << later << 2 << 3 << qsizetype(81) << 3;
    QTest::newRow("last page polled for its full time") << later << 3 << 3 << kPollFullTime << 3;
    QTest::newRow("page beyond a count of 0") << later << 2 << 0 << kPollFullTime << 0;
    QTest::newRow("garbage of 26 bytes on page 1")
        << QByteArray(26, char(0xFF)) << 1 << 100 << qsizetype(0xFFFF + 30) << 255;
}

// A page reply is kept up to the length its header announces (before the header, up to the
// longest any page can announce); a unit streaming beyond it is dropped as it arrives.
void UserListPagesTest::aReplyKeepsNoMoreThanItAnnounces_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("countBefore");
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<qsizetype>("dropped");

    const QByteArray eightBytes = records({{1001, 1}});
    const QByteArray page1 = firstPage(1, eightBytes);
    const QByteArray stream(100000, '\x07');
    QTest::newRow("page 1 of 8 bytes, then a stream")
        << QList<QByteArray>{page1 + stream.left(500), stream, stream} << 1 << 100 << page1
        << qsizetype(500 + 2 * stream.size());
    QTest::newRow("page 1 arriving byte by byte keeps it all") << [&] {
        QList<QByteArray> bytes;
        for (const char c : page1)
            bytes << QByteArray(1, c);
        return bytes;
    }() << 1 << 100 << page1 << qsizetype(0);
    const QByteArray later = block(3, records({{7, 2}}));
    QTest::newRow("later page, then a stream")
        << QList<QByteArray>{later, stream} << 2 << 3 << later << stream.size();
    QTest::newRow("last page (polled for its full time), then a stream")
        << QList<QByteArray>{later, stream} << 3 << 3 << later << stream.size();
    const QByteArray garbage(200000, char(0xFF));
    QTest::newRow("garbage announcing the longest page")
        << QList<QByteArray>{garbage} << 1 << 100 << garbage.left(0xFFFF + 30)
        << garbage.size() - (0xFFFF + 30);
    QTest::newRow("header not read yet: the longest page is kept")
        << QList<QByteArray>{garbage.left(20), garbage} << 0 << 100 << garbage.left(kLongestReply)
        << 20 + garbage.size() - kLongestReply;
}

void UserListPagesTest::aReplyKeepsNoMoreThanItAnnounces()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, page);
    QFETCH(int, countBefore);
    // As the page read does: the header is read once enough bytes are there (page 0: never).
    QByteArray reply;
    qsizetype announced = 0;
    qsizetype dropped = 0;
    for (const QByteArray &chunk : chunks) {
        dropped += appendBounded(reply, chunk, announced);
        QVERIFY(reply.size() <= kLongestReply);
        if (page > 0 && announced == 0 && reply.size() >= kLengthKnownAt) {
            announced = expect(reply, page, countBefore).announced;
            dropped += appendBounded(reply, {}, announced);
        }
    }
    QTEST(reply, "kept");
    QTEST(dropped, "dropped");
}

void UserListPagesTest::theListStopsAtItsLargestNumberOfUsers_data()
{
    QTest::addColumn<qsizetype>("users");
    QTest::addColumn<qsizetype>("listed");
    QTest::addColumn<bool>("cut");
    QTest::newRow("as many as a large unit holds") << qsizetype(60000) << qsizetype(60000) << false;
    QTest::newRow("the largest number") << kMaxUsers << kMaxUsers << false;
    QTest::newRow("one more") << kMaxUsers + 1 << kMaxUsers << true;
    // 100 pages of 65,535 bytes of records, each a user of its own.
    QTest::newRow("every record of 100 full pages")
        << qsizetype(kMaxPages) * (0xFFFF / kRecordBytes) << kMaxUsers << true;
}

void UserListPagesTest::theListStopsAtItsLargestNumberOfUsers()
{
    QFETCH(qsizetype, users);
    QByteArray data;
    data.reserve(users * kRecordBytes);
    for (qsizetype user = 1; user <= users; ++user)
        data += record(quint32(user), 1);
    QFETCH(bool, cut);
    bool wasCut = !cut; // the call sets it either way
    const QList<UnitUser> listed = groupRecords(data, &wasCut);
    QTEST(listed.size(), "listed");
    QCOMPARE(wasCut, cut);
    QCOMPARE(listed.last().number, QString::number(listed.size()));
    QCOMPARE(listed.last().templates, 1);
}

void UserListPagesTest::expectationFollowsPageAndCount()
{
    QFETCH(QByteArray, collected);
    QFETCH(int, page);
    QFETCH(int, countBefore);
    const Expectation e = expect(collected, page, countBefore);
    QTEST(e.length, "length");
    QTEST(e.pageCount, "countAfter");
}

void UserListPagesTest::trimmingKeepsOnlyTheRecords_data()
{
    QTest::addColumn<QByteArray>("collected");
    QTest::addColumn<int>("page");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("endOfList");
    const QByteArray two = record(1001, 1) + record(1001, 2);
    QTest::newRow("nothing arrived") << QByteArray() << 1 << QByteArray() << true;
    QTest::newRow("only the leading bytes of page 1")
        << firstPage(1, {}).left(26) << 1 << QByteArray() << true;
    QTest::newRow("page 1 without records") << firstPage(1, {}) << 1 << QByteArray() << false;
    QTest::newRow("page 1 with records") << firstPage(1, two) << 1 << two << false;
    QTest::newRow("later page with records") << block(2, two) << 2 << two << false;
    QTest::newRow("part shorter than the trailer is dropped")
        << firstPage(1, {}).left(29) << 1 << QByteArray() << false;
    QTest::newRow("half a page loses its last 4 bytes")
        << firstPage(1, two).left(26 + 12) << 1 << two.left(8) << false;
}

void UserListPagesTest::trimmingKeepsOnlyTheRecords()
{
    QFETCH(QByteArray, collected);
    QFETCH(int, page);
    const PagePart part = trimPage(collected, page);
    QTEST(part.data, "data");
    QTEST(part.endOfList, "endOfList");
}

void UserListPagesTest::consecutiveRecordsGroupIntoUsers_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("lines");
    const auto line = [](const char *user, int count) {
        return listLine(UnitUser{QString::fromLatin1(user), count});
    };
    QTest::newRow("no records") << QByteArray() << QStringList();
    QTest::newRow("three users with 2, 1 and 3 templates")
        << records({{1001, 2}, {1002, 1}, {1003, 3}})
        << QStringList{line("1001", 2), line("1002", 1), line("1003", 3)};
    QTest::newRow("bytes 40 E2 01 00 are user 123456")
        << QByteArray::fromHex("40E2010001000000") << QStringList{line("123456", 1)};
    QTest::newRow("a user listed apart gets two lines")
        << records({{7, 1}, {8, 1}, {7, 2}})
        << QStringList{line("7", 1), line("8", 1), line("7", 2)};
    QTest::newRow("user 0 is listed as the unit gives it")
        << records({{0, 2}}) << QStringList{line("0", 2)};
    QTest::newRow("a last record of 3 bytes is dropped")
        << records({{5, 1}}) + QByteArray::fromHex("060000") << QStringList{line("5", 1)};
    QTest::newRow("a last record of 4 bytes still names a user")
        << records({{5, 1}}) + QByteArray::fromHex("06000000")
        << QStringList{line("5", 1), line("6", 1)};
    QTest::newRow("largest user number")
        << QByteArray::fromHex("FFFFFFFF00000000") << QStringList{line("4294967295", 1)};
}

void UserListPagesTest::consecutiveRecordsGroupIntoUsers()
{
    QFETCH(QByteArray, data);
    QTEST(listLines(groupRecords(data)), "lines");
}

void UserListPagesTest::listLinePadsTheNumberTo37Characters()
{
    const QString l = listLine(UnitUser{QStringLiteral("1001"), 2});
    QCOMPARE(l, QStringLiteral("1001") + QString(33, u' ') + QStringLiteral(" 2"));
    QCOMPARE(l.size(), 39);
    QCOMPARE(userOfLine(l), QStringLiteral("1001"));
    QCOMPARE(userOfLine(listLine(UnitUser{QStringLiteral("4294967295"), 12})),
             QStringLiteral("4294967295"));
}

void UserListPagesTest::wholeFirstPageOfThreeUsersDecodes()
{
    const QByteArray reply = firstPage(1, records({{1001, 2}, {1002, 1}, {1003, 3}}));
    const Expectation e = expect(reply, 1, kMaxPages);
    QCOMPARE(e.length, reply.size());
    QCOMPARE(e.pageCount, 1);
    const QList<UnitUser> users = groupRecords(trimPage(reply, 1).data);
    QCOMPARE(users.size(), 3);
    QCOMPARE(users[2].number, QStringLiteral("1003"));
    QCOMPARE(users[2].templates, 3);
}

void UserListPagesTest::tenThousandUsersDecode()
{
    QByteArray data;
    for (quint32 user = 1; user <= 10000; ++user)
        data += record(user, 1) + record(user, 2);
    const QStringList lines = listLines(groupRecords(data));
    QCOMPARE(lines.size(), 10000);
    QCOMPARE(lines.last(), listLine(UnitUser{QStringLiteral("10000"), 2}));
}

void UserListPagesTest::anyBytesDecodeWithoutHarm()
{
    QRandomGenerator random(8);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(random.bounded(0, 300), '\0');
        for (char &b : bytes)
            b = char(random.bounded(256));
        const int page = random.bounded(0, 102);
        const Expectation e = expect(bytes, page, random.bounded(0, 256));
        QVERIFY(e.length >= 0);
        QVERIFY(e.pageCount >= 0 && e.pageCount <= 255);
        const PagePart part = trimPage(bytes, page);
        QVERIFY(part.data.size() <= bytes.size());
        const QList<UnitUser> users = groupRecords(part.data);
        QVERIFY(users.size() <= part.data.size() / 4 + 1);
    }
}

QTEST_APPLESS_MAIN(UserListPagesTest)
#include "tst_user_list_pages.moc"
