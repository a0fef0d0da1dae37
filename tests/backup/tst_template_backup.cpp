#include "config/TargetList.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "support/DatagramListener.h"
#include "support/HeadlessStationFixture.h"
#include "support/SourceScript.h"

#include <QFile>
#include <QTimer>
#include <QtTest>

namespace {

const QByteArray kFirstRequest12345 = QByteArray::fromHex("40 89 39 30 00 00 80 01 00 00 00 B3 0A");
const QByteArray kNextRequest = QByteArray::fromHex("40 89 00 00 00 00 00 00 00 00 83 4C 0A");

// A reply of the given length whose bytes all differ from their neighbours, so that a
// template cut one byte off shows.
QByteArray reply(int length, int seed)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((seed * 37 + i * 7) & 0xFF);
    return bytes;
}

QByteArray templateOf(const QByteArray &reply, int head)
{
    return reply.mid(head, reply.size() - head - 4);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString line(Station &w, int index)
{
    return w.state().bannerLine(index);
}

// The template bytes of each upload: every fourth datagram, from the third.
QList<QByteArray> uploadedData(const QList<QByteArray> &datagrams)
{
    QList<QByteArray> data;
    for (qsizetype i = 2; i < datagrams.size(); i += 4)
        data.append(datagrams[i]);
    return data;
}

// A station whose source unit is a script on COM1 and whose ticked target is a loopback
// listener, with waits that serve events at a quarter of their length in real time.
struct TestStation
{
    explicit TestStation(DatagramListener &target) : f(target.port()), source(f.peer())
    {
        f.clock.setRealTimeFactor(0.25);
        if (!f.openSerialPeer(1))
            qFatal("no serial peer");
        f.station().serialRxTimer().start(); // the receive poll collects the replies
        f.enableLog();
    }
    void tick(const QString &address)
    {
        f.station().targetList().addEntry(TargetList::entryText(address, QStringLiteral("unit")));
    }
    Station &w() { return f.station(); }
    TemplateStore &store() { return f.station().templateStore(); }

    HeadlessStationFixture f;
    SourceScript source;
};

} // namespace

class TemplateBackupTest : public QObject
{
    Q_OBJECT

private slots:
    void fetchKeepsOnlyTemplatePartsAndUploadsThemThreeTimes_data();
    void fetchKeepsOnlyTemplatePartsAndUploadsThemThreeTimes();
    void eachWrittenTemplateIsAnnouncedWithItsPathAndAFailedWriteIsNot_data();
    void eachWrittenTemplateIsAnnouncedWithItsPathAndAFailedWriteIsNot();
    void olderTemplatesBeyondTheFetchedOnesStayAndAreUploadedToEveryTarget();
    void silentUnitWritesNothingButStoredTemplatesAreStillUploaded();
    void qualityScoreIsShownOnceAndThenCleared();
    void userTextWithoutNumericValueDoesNothing_data();
    void userTextWithoutNumericValueDoesNothing();
    void fetchOfAUnitThatNeverStopsAnsweringEnds();
    void triggerArmedTwiceWithin200msRunsOneBackup();
    void triggerArmedDuringABackupRunsItsBackupAfterwardsNotInside();
    void backupAskedForDuringABackupRunsAfterIt();
    void hiddenButtonAndListedUsersBackUpTheirUsers();
};

void TemplateBackupTest::fetchKeepsOnlyTemplatePartsAndUploadsThemThreeTimes_data()
{
    QTest::addColumn<QList<int>>("replyLengths");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QList<int>>("templateSizes");

    QTest::newRow("first reply of 36 bytes stores nothing") << QList<int>{36} << 1 << QList<int>{};
    QTest::newRow("first reply of 40 bytes stores 10 bytes and asks no more")
        << QList<int>{40} << 1 << QList<int>{10};
    QTest::newRow("first reply of 41 bytes asks again; a next reply of 16 ends")
        << QList<int>{41, 16} << 2 << QList<int>{11};
    QTest::newRow("next reply of 28 bytes stores 11 bytes")
        << QList<int>{41, 28, 16} << 3 << QList<int>{11, 11};
    QTest::newRow("two templates of 400 bytes, then an empty block")
        << QList<int>{430, 417, 17} << 3 << QList<int>{400, 400};
    QTest::newRow("first reply shorter than its head") << QList<int>{20} << 1 << QList<int>{};
}

void TemplateBackupTest::fetchKeepsOnlyTemplatePartsAndUploadsThemThreeTimes()
{
    QFETCH(QList<int>, replyLengths);
    QFETCH(int, requests);
    QFETCH(QList<int>, templateSizes);

    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.tick(QStringLiteral("127.0.0.1"));
    for (int i = 0; i < replyLengths.size(); ++i)
        s.source.replies.append(reply(replyLengths[i], i + 1));
    const QList<QByteArray> replies = s.source.replies;

    s.w().templateBackup().backup(QStringLiteral("12345"));

    QCOMPARE(s.source.requests.size(), requests);
    QCOMPARE(s.source.requests[0], kFirstRequest12345);
    for (int i = 1; i < requests; ++i)
        QCOMPARE(s.source.requests[i], kNextRequest);
    QCOMPARE(s.w().state().TRELVANE_LOAD, StationState::True);

    QList<QByteArray> expected;
    for (int n = 1; n <= templateSizes.size(); ++n) {
        expected.append(templateOf(replies[n - 1], n == 1 ? 26 : 13));
        QCOMPARE(expected.last().size(), templateSizes[n - 1]);
        QCOMPARE(readFile(s.store().path(QStringLiteral("12345"), n)), expected.last());
    }
    QCOMPARE(s.store().list(QStringLiteral("12345")).size(), templateSizes.size());

    const QList<QByteArray> datagrams = target.take(12 * templateSizes.size());
    QCOMPARE(datagrams.size(), 12 * templateSizes.size());
    QCOMPARE(uploadedData(datagrams), expected + expected + expected);
    QCOMPARE(line(s.w(), 0), QStringLiteral("User: 12345"));
    QCOMPARE(line(s.w(), 1), QStringLiteral("Synchronization Complete"));
}

void TemplateBackupTest::eachWrittenTemplateIsAnnouncedWithItsPathAndAFailedWriteIsNot_data()
{
    QTest::addColumn<bool>("folderPresent");
    QTest::addColumn<QString>("announcement");
    QTest::newRow("templates folder present") << true << "Save user template to: ";
    QTest::newRow("templates folder missing") << false << "Cannot save user template to: ";
}

void TemplateBackupTest::eachWrittenTemplateIsAnnouncedWithItsPathAndAFailedWriteIsNot()
{
    QFETCH(bool, folderPresent);
    QFETCH(QString, announcement);

    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    if (!folderPresent)
        s.w().state().setTemplatesFolder(s.f.folder() + QStringLiteral("missing/"));
    s.source.replies = {reply(41, 1), reply(28, 2), reply(16, 3)};
    QStringList line2AtEachRequest;
    s.source.onRequest = [&](const QByteArray &) { line2AtEachRequest.append(line(s.w(), 1)); };

    s.w().templateBackup().backup(QStringLiteral("12345"));

    // The fetch goes on after a failed write: three requests either way.
    QCOMPARE(line2AtEachRequest.size(), 3);
    QCOMPARE(line2AtEachRequest[1], announcement + s.store().path(QStringLiteral("12345"), 1));
    QCOMPARE(line2AtEachRequest[2], announcement + s.store().path(QStringLiteral("12345"), 2));
    QCOMPARE(QFile::exists(s.store().path(QStringLiteral("12345"), 2)), folderPresent);
}

void TemplateBackupTest::olderTemplatesBeyondTheFetchedOnesStayAndAreUploadedToEveryTarget()
{
    DatagramListener first;
    QVERIFY(first.bind(QHostAddress(QStringLiteral("127.0.0.1"))));
    DatagramListener second;
    QVERIFY(second.bind(QHostAddress(QStringLiteral("127.0.0.2")), first.port()));
    TestStation s(first);
    s.tick(QStringLiteral("127.0.0.1"));
    s.tick(QStringLiteral("127.0.0.2"));
    const QString folder = s.f.folder();
    for (int n = 1; n <= 3; ++n)
        writeFile(folder + QStringLiteral("7-0%1.DAT").arg(n),
                  "old template " + QByteArray::number(n));
    s.source.replies = {reply(26 + 20 + 4, 1), reply(17, 2)};

    s.w().templateBackup().backup(QStringLiteral("7"));

    const QByteArray fetched = templateOf(reply(50, 1), 26);
    QCOMPARE(readFile(folder + "7-01.DAT"), fetched);
    QCOMPARE(readFile(folder + "7-02.DAT"), QByteArray("old template 2"));
    QCOMPARE(readFile(folder + "7-03.DAT"), QByteArray("old template 3"));
    const QList<QByteArray> onePass = {fetched, "old template 2", "old template 3"};
    for (DatagramListener *target : {&first, &second})
        QCOMPARE(uploadedData(target->take(36)), onePass + onePass + onePass);

    // Each piece of an upload goes to every ticked target, first to last, before the pause
    // that follows it; each file goes to every target before the next file.
    QStringList hosts;
    for (const QString &l : s.f.logLines())
        if (l.contains(QStringLiteral("TX_UDP[")))
            hosts.append(l.section(QLatin1Char('['), 1, 1).section(QLatin1Char(']'), 0, 0));
    QCOMPARE(hosts.size(), 72);
    for (int datagram = 0; datagram < 72; ++datagram)
        QCOMPARE(hosts[datagram],
                 datagram % 2 ? QStringLiteral("127.0.0.2") : QStringLiteral("127.0.0.1"));
}

void TemplateBackupTest::silentUnitWritesNothingButStoredTemplatesAreStillUploaded()
{
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.tick(QStringLiteral("127.0.0.1"));
    const QString folder = s.f.folder();
    writeFile(folder + "12345-01.DAT", "kept one");
    writeFile(folder + "12345-02.DAT", "kept two");

    s.w().templateBackup().backup(QStringLiteral("12345"));

    QCOMPARE(s.source.requests, QList<QByteArray>{kFirstRequest12345});
    QCOMPARE(readFile(folder + "12345-01.DAT"), QByteArray("kept one"));
    QCOMPARE(readFile(folder + "12345-02.DAT"), QByteArray("kept two"));
    const QList<QByteArray> kept = {"kept one", "kept two"};
    QCOMPARE(uploadedData(target.take(24)), kept + kept + kept);
    QCOMPARE(line(s.w(), 0), QStringLiteral("User: 12345"));
    QCOMPARE(line(s.w(), 1), QStringLiteral("Synchronization Complete"));
}

void TemplateBackupTest::qualityScoreIsShownOnceAndThenCleared()
{
    // No link and no target: every wait passes empty, the passes still pause.
    HeadlessStationFixture f;
    Station &w = f.station();
    f.clock.setRealTimeFactor(0.1);
    w.state().setQuality(QStringLiteral("87"));

    const qint64 sleptBefore = f.clock.sleptMs();
    w.templateBackup().backup(QStringLiteral("12345"));
    const qint64 slept = f.clock.sleptMs() - sleptBefore; // one 0.2 s pause after each pass
    QVERIFY2(slept >= 600 && slept <= 603, qPrintable(QString::number(slept)));
    QCOMPARE(line(w, 0), QStringLiteral("User: 12345  Template quality: 87%"));
    QCOMPARE(line(w, 1), QStringLiteral("Enrollment and Synchronization Complete"));
    QCOMPARE(w.state().quality(), QStringLiteral("0"));

    w.templateBackup().backup(QStringLiteral("12345"));
    QCOMPARE(line(w, 0), QStringLiteral("User: 12345"));
    QCOMPARE(line(w, 1), QStringLiteral("Synchronization Complete"));
}

void TemplateBackupTest::userTextWithoutNumericValueDoesNothing_data()
{
    QTest::addColumn<QString>("user");
    QTest::newRow("zero") << "0";
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("above 4294967295") << "4294967296";
}

void TemplateBackupTest::userTextWithoutNumericValueDoesNothing()
{
    QFETCH(QString, user);
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.tick(QStringLiteral("127.0.0.1"));
    s.w().state().setBannerLine(0, QStringLiteral("line one"));

    s.w().templateBackup().backup(user);

    QTest::qWait(50);
    QVERIFY(s.source.requests.isEmpty());
    QVERIFY(target.drain(50).isEmpty());
    QCOMPARE(line(s.w(), 0), QStringLiteral("line one"));
    QCOMPARE(s.f.clock.sleptMs(), 0);
}

void TemplateBackupTest::fetchOfAUnitThatNeverStopsAnsweringEnds()
{
    HeadlessStationFixture f;
    f.clock.setRealTimeFactor(0); // the replies are already there when each wait starts
    QVERIFY(f.openSerialPeer(1));
    f.station().serialRxTimer().start();
    SourceScript source(f.peer());
    source.onRequest = [&source](const QByteArray &) {
        source.replies.append(reply(13 + 11 + 4, 3));
    };
    source.replies.append(reply(26 + 11 + 4, 1));

    f.station().templateBackup().backup(QStringLiteral("9"));

    QCOMPARE(source.requests.size(), TemplateBackup::kMaxTemplates);
    QCOMPARE(f.station().templateStore().list(QStringLiteral("9")).size(),
             TemplateBackup::kMaxTemplates);
    QVERIFY(QFile::exists(f.folder() + "9-999.DAT"));
}

void TemplateBackupTest::triggerArmedTwiceWithin200msRunsOneBackup()
{
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.w().state().setUserText(QStringLiteral("12345"));
    TemplateBackup &backup = s.w().templateBackup();

    backup.armTrigger();
    backup.armTrigger();
    QVERIFY(s.w().state().backupArmed());
    QCOMPARE(s.w().backupTimer().interval(), 200);
    QVERIFY(s.w().backupTimer().isActive());

    backup.TIM_BACKUP_Timer();
    QCOMPARE(s.source.requests, QList<QByteArray>{kFirstRequest12345});
    QVERIFY(!s.w().state().backupArmed());
    QCOMPARE(s.w().backupTimer().interval(), 0);
    QVERIFY(!s.w().backupTimer().isActive());

    backup.TIM_BACKUP_Timer(); // a disarmed trigger does nothing
    QTest::qWait(300);
    QCOMPARE(s.source.requests.size(), 1);
}

void TemplateBackupTest::triggerArmedDuringABackupRunsItsBackupAfterwardsNotInside()
{
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.w().state().setUserText(QStringLiteral("12345"));
    TemplateBackup &backup = s.w().templateBackup();
    QStringList bannerAtEachRequest;
    s.source.onRequest = [&](const QByteArray &) {
        bannerAtEachRequest.append(line(s.w(), 0));
        if (s.source.requests.size() == 1) {
            // The unit reports another user frame while the first backup waits.
            s.w().state().setUserText(QStringLiteral("7"));
            backup.armTrigger();
        }
    };
    s.w().state().setBannerLine(0, QStringLiteral("start"));

    backup.armTrigger();
    backup.TIM_BACKUP_Timer();

    QCOMPARE(s.source.requests.size(), 1);
    QCOMPARE(line(s.w(), 0), QStringLiteral("User: 12345"));
    QVERIFY(s.w().state().backupArmed());
    QCOMPARE(s.w().backupTimer().interval(), 200);
    QVERIFY(s.w().backupTimer().isActive());

    QTRY_COMPARE(line(s.w(), 0), QStringLiteral("User: 7"));
    QCOMPARE(s.source.requests.size(), 2);
    QCOMPARE(s.source.requests[1], QByteArray::fromHex("40 89 07 00 00 00 80 01 00 00 00 51 0A"));
    QCOMPARE(bannerAtEachRequest, (QStringList{"start", "User: 12345"}));
    QCOMPARE(s.w().backupTimer().interval(), 0);
    QVERIFY(!s.w().state().backupArmed());
}

void TemplateBackupTest::backupAskedForDuringABackupRunsAfterIt()
{
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    QStringList bannerAtEachRequest;
    s.source.onRequest = [&](const QByteArray &) {
        bannerAtEachRequest.append(line(s.w(), 0));
        if (s.source.requests.size() == 1) {
            s.w().state().setUserText(QStringLiteral("7"));
            s.w().templateBackup().B_BACKUP_TO_FILE_Click();
        }
    };
    s.w().state().setBannerLine(0, QStringLiteral("start"));

    s.w().templateBackup().backup(QStringLiteral("12345"));

    QCOMPARE(s.source.requests.size(), 2);
    QCOMPARE(s.source.requests[0], kFirstRequest12345);
    QCOMPARE(s.source.requests[1], QByteArray::fromHex("40 89 07 00 00 00 80 01 00 00 00 51 0A"));
    // The second request left only once the first backup had finished.
    QCOMPARE(bannerAtEachRequest, (QStringList{"start", "User: 12345"}));
    QCOMPARE(line(s.w(), 0), QStringLiteral("User: 7"));
    QVERIFY(!s.w().templateBackup().isRunning());
}

void TemplateBackupTest::hiddenButtonAndListedUsersBackUpTheirUsers()
{
    DatagramListener target;
    QVERIFY(target.bind());
    TestStation s(target);
    s.w().state().setUserText(QStringLiteral("12345"));

    s.w().templateBackup().B_BACKUP_TO_FILE_Click();
    s.w().templateBackup().backupListedUsers(
        {QStringLiteral("7              2"), QStringLiteral("   4294967295  1")});

    QCOMPARE(s.source.requests,
             (QList<QByteArray>{kFirstRequest12345,
                                QByteArray::fromHex("40 89 07 00 00 00 80 01 00 00 00 51 0A"),
                                QByteArray::fromHex("40 89 FF FF FF FF 80 01 00 00 00 46 0A")}));
    QCOMPARE(line(s.w(), 0), QStringLiteral("User: 4294967295"));
}

QTEST_GUILESS_MAIN(TemplateBackupTest)
#include "tst_template_backup.moc"
