// A template goes to all ticked target units together. What each unit receives, and when,
// must be what it receives when it is the only target: the same datagrams in the same order,
// the same pauses between the pieces of one upload. The units here are real UDP sockets on
// loopback addresses whose datagrams are stamped with the test clock's time the moment the
// station lets time pass, and then handed to the simulated unit's protocol engine.
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateStore.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "log/ActivityLog.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"
#include "station/Station.h"
#include "sync/TemplateUpload.h"
#include "unit-sim/PseudoTerminal.h"
#include "unit-sim/UnitProtocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

const QString kUser = QStringLiteral("12345");
const UserNumber kUserNumber = *UserNumber::fromOperatorText(kUser);
const QString kDescription = QStringLiteral("Synchronize template(s)");

struct Received
{
    qint64 atMs = 0;
    QByteArray bytes;
    bool operator==(const Received &) const = default;
};

// A target unit on a loopback address: what it received, and when.
class LoopbackUnit
{
public:
    bool bind(const QString &address, quint16 port)
    {
        m_address = address;
        return m_socket.bind(QHostAddress(address), port);
    }
    quint16 port() const { return m_socket.localPort(); }
    QString address() const { return m_address; }

    void collect(qint64 nowMs)
    {
        while (m_socket.hasPendingDatagrams())
            m_received.append({nowMs, m_socket.receiveDatagram().data()});
    }
    QList<Received> takeReceived() { return std::exchange(m_received, {}); }

private:
    QString m_address;
    QUdpSocket m_socket;
    QList<Received> m_received;
};

// The test clock of a site: time moves only when the station waits, and each unit's
// datagrams are collected first, so that each is stamped with the time it was sent at.
// (On loopback a datagram is in the receiver's queue once the send returns.)
class SiteClock final : public Clock
{
public:
    QDateTime now() const override { return m_start.addMSecs(m_elapsedMs); }
    void sleep(int ms) override { pass(ms); }
    void serveEvents(int ms) override
    {
        collect();
        QCoreApplication::processEvents();
        pass(ms);
    }

    qint64 elapsedMs() const { return m_elapsedMs; }
    void watch(LoopbackUnit &unit) { m_units.append(&unit); }
    void collect()
    {
        for (LoopbackUnit *unit : std::as_const(m_units))
            unit->collect(m_elapsedMs);
    }

private:
    void pass(int ms)
    {
        collect();
        m_elapsedMs += ms;
    }

    const QDateTime m_start{QDate(2026, 12, 11), QTime(9, 0)};
    qint64 m_elapsedMs = 0;
    QList<LoopbackUnit *> m_units;
};

QByteArray templateBytes(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF); // every byte value, 0x00 0x0A 0x0D included
    return bytes;
}

// A station without a window whose source unit does not answer (the backup fetches nothing
// and synchronizes what the store holds), with the units on loopback addresses 127.0.0.1...
class Site
{
public:
    explicit Site(int unitCount)
    {
        m_units.resize(unitCount);
        for (auto &unit : m_units)
            unit = std::make_unique<LoopbackUnit>();
        quint16 port = 0;
        for (int i = 0; i < unitCount; ++i) {
            if (!m_units[i]->bind(QStringLiteral("127.0.0.%1").arg(i + 1), port))
                qFatal("cannot bind a loopback unit");
            port = m_units[0]->port();
            clock.watch(*m_units[i]);
        }
        StationOptions options;
        options.programFolder = m_dir.path();
        options.udpPort = port;
        options.serialDeviceFolder = folder() + QStringLiteral("dev/");
        options.serialLockFolder = folder() + QStringLiteral("lock/");
        m_station = std::make_unique<Station>(options, StationPlatform{clock, dialogs});
        state().setConfigFolder(folder());
        state().setTemplatesFolder(folder());
        state().setLogging(true);
        store(1, templateBytes(400, 1));
        store(2, templateBytes(333, 2));
    }

    QString folder() const { return m_dir.path() + QLatin1Char('/'); }
    StationState &state() { return m_station->state(); }
    Station &station() { return *m_station; }
    LoopbackUnit &unit(int i) { return *m_units[i]; }
    QString address(int i) const { return m_units[i]->address(); }

    void store(int templateNumber, const QByteArray &bytes)
    {
        QFile file(m_station->templateStore().path(kUser, templateNumber));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write a template file");
    }

    void tick(const QStringList &targets)
    {
        QList<TargetUnit> lines;
        for (const QString &target : targets)
            lines.append({target.leftJustified(17) + QStringLiteral("unit"), true});
        state().setTargets(lines);
    }

    // The synchronization of a backup, as it has always been done: every file to each target
    // in turn, one whole upload after the other.
    void synchronizeOneTargetAfterTheOther(const QStringList &targets)
    {
        TemplateStore &store = m_station->templateStore();
        for (int pass = 0; pass < 3; ++pass) {
            for (const QString &name : store.list(kUser))
                for (const QString &target : targets)
                    m_station->templateUpload().UPLOAD_TEMPLATE(
                        TemplateStore::userOf(name), store.folder() + name, target, kDescription,
                        TemplateStore::templateNumberOf(name));
            m_station->ID_PAUSE(0.2);
        }
        clock.collect();
    }

    void backup()
    {
        m_station->templateBackup().backup(kUser);
        clock.collect();
    }

    QStringList logLines() const
    {
        QFile file(m_station->activityLog().filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    SiteClock clock;
    ScriptedDialogs dialogs;

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<LoopbackUnit>> m_units;
    std::unique_ptr<Station> m_station;
};

QList<QByteArray> bytesOf(const QList<Received> &received)
{
    QList<QByteArray> bytes;
    for (const Received &r : received)
        bytes.append(r.bytes);
    return bytes;
}

// Times relative to the unit's first datagram.
QList<Received> fromFirst(QList<Received> received)
{
    const qint64 first = received.isEmpty() ? 0 : received.first().atMs;
    for (Received &r : received)
        r.atMs -= first;
    return received;
}

// What the simulated unit makes of the datagrams: the templates it stored for the user.
QList<QByteArray> storedByUnit(const QList<Received> &received)
{
    UnitProtocol unit;
    const int session = unit.openSession(UnitProtocol::Transport::Datagram);
    for (const Received &r : received)
        unit.receive(session, r.bytes);
    return unit.templates(kUser.toUInt());
}

QStringList tracedHosts(const QStringList &logLines)
{
    QStringList hosts;
    for (const QString &line : logLines)
        if (line.contains(QStringLiteral("TX_UDP[")))
            hosts.append(line.section(QLatin1Char('['), 1, 1).section(QLatin1Char(']'), 0, 0));
    return hosts;
}

} // namespace

class UploadToAllTargetsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachUnitReceivesWhatItReceivesAsTheOnlyTarget_data();
    void eachUnitReceivesWhatItReceivesAsTheOnlyTarget();
    void eachUnitKeepsTheDatagramsAndPausesOfOneTargetAfterTheOther();
    void aTargetThatCannotBeReachedChangesNothingForTheOthers_data();
    void aTargetThatCannotBeReachedChangesNothingForTheOthers();
    void aUnitTickedTwiceGetsOneWholeUploadAfterTheOther();
    void theSourceUnitAsATargetGetsItsPiecesAfterEachStepsDatagrams();
    void theBannerSaysHowManyUnitsAreServed();
};

void UploadToAllTargetsTest::eachUnitReceivesWhatItReceivesAsTheOnlyTarget_data()
{
    QTest::addColumn<int>("units");
    QTest::newRow("three units") << 3;
    QTest::newRow("ten units") << 10;
}

void UploadToAllTargetsTest::eachUnitReceivesWhatItReceivesAsTheOnlyTarget()
{
    QFETCH(int, units);

    // Each unit alone: the backup's time and each unit's timeline from the backup's start.
    QList<QList<Received>> alone;
    qint64 aloneMs = 0;
    for (int i = 0; i < units; ++i) {
        Site site(units);
        site.tick({site.address(i)});
        site.backup();
        alone.append(site.unit(i).takeReceived());
        aloneMs = site.clock.elapsedMs();
        QCOMPARE(alone.last().size(), 3 * 2 * 4);
    }

    Site site(units);
    QStringList all;
    for (int i = 0; i < units; ++i)
        all.append(site.address(i));
    site.tick(all);
    site.backup();

    // All units together cost the operator the time of one.
    QCOMPARE(site.clock.elapsedMs(), aloneMs);
    const QStringList hosts = tracedHosts(site.logLines());
    for (int i = 0; i < units; ++i) {
        const QList<Received> together = site.unit(i).takeReceived();
        QCOMPARE(together, alone[i]);
        QCOMPARE(storedByUnit(together),
                 (QList<QByteArray>{templateBytes(400, 1), templateBytes(333, 2)}));
        // One trace line per datagram, as before.
        QCOMPARE(hosts.count(site.address(i)), together.size());
    }
}

void UploadToAllTargetsTest::eachUnitKeepsTheDatagramsAndPausesOfOneTargetAfterTheOther()
{
    const int units = 3;
    Site before(units);
    Site now(units);
    QStringList all;
    for (int i = 0; i < units; ++i)
        all.append(before.address(i));
    before.synchronizeOneTargetAfterTheOther(all);
    now.tick(all);
    now.backup();

    for (int i = 0; i < units; ++i) {
        const QList<Received> was = fromFirst(before.unit(i).takeReceived());
        const QList<Received> is = fromFirst(now.unit(i).takeReceived());
        QCOMPARE(bytesOf(is), bytesOf(was));
        for (qsizetype d = 1; d < is.size(); ++d) {
            const qint64 wasGap = was[d].atMs - was[d - 1].atMs;
            const qint64 isGap = is[d].atMs - is[d - 1].atMs;
            if (d % 4 != 0) {
                // Inside one upload: the very pauses the unit always had.
                QCOMPARE(isGap, wasGap);
            } else {
                // Between two uploads the unit no longer waits for the others' turns, and
                // still gets the pauses after a trailer and before a header.
                QVERIFY2(
                    isGap >= 200 && isGap <= wasGap,
                    qPrintable(QStringLiteral("gap of %1 ms, was %2 ms").arg(isGap).arg(wasGap)));
            }
        }
    }
}

void UploadToAllTargetsTest::aTargetThatCannotBeReachedChangesNothingForTheOthers_data()
{
    QTest::addColumn<QString>("unreachable");
    QTest::addColumn<QString>("logged"); // what the log tells the operator
    QTest::addColumn<int>("times");
    // Not an address a unit can have: left out of every pass, and said so.
    QTest::newRow("a name") << "no-such-unit"
                            << "Target unit skipped: \"no-such-unit\" is not a unit address." << 3;
    // Dropped at the first piece of each upload (3 passes, 2 templates), and said so.
    QTest::newRow("the source link, closed")
        << "COM 1"
        << "Target unit not reached: COM 1: the link to the source unit did not take it" << 6;
}

void UploadToAllTargetsTest::aTargetThatCannotBeReachedChangesNothingForTheOthers()
{
    QFETCH(QString, unreachable);
    QFETCH(QString, logged);
    QFETCH(int, times);

    Site reachableOnly(2);
    reachableOnly.tick({reachableOnly.address(0), reachableOnly.address(1)});
    reachableOnly.backup();

    Site site(2);
    site.tick({site.address(0), unreachable, site.address(1)});
    site.backup();

    QCOMPARE(site.clock.elapsedMs(), reachableOnly.clock.elapsedMs());
    for (int i = 0; i < 2; ++i)
        QCOMPARE(site.unit(i).takeReceived(), reachableOnly.unit(i).takeReceived());
    // Nothing answers an upload: the log is where the operator learns which unit got
    // nothing, and why.
    QStringList found;
    for (const QString &line : site.logLines())
        if (line.contains(QStringLiteral("Target unit")))
            found.append(line.mid(line.indexOf(QStringLiteral("Target unit"))));
    QCOMPARE(found.size(), times);
    for (const QString &line : std::as_const(found))
        QVERIFY2(line.startsWith(logged), qPrintable(line));
}

void UploadToAllTargetsTest::aUnitTickedTwiceGetsOneWholeUploadAfterTheOther()
{
    // Two pieces of two uploads must never meet at one unit: a unit takes whatever follows
    // the headers as the template.
    Site before(2);
    Site now(2);
    const QStringList targets{before.address(0), before.address(1), before.address(0)};
    before.synchronizeOneTargetAfterTheOther(targets);
    now.tick(targets);
    now.backup();

    const QList<Received> twice = now.unit(0).takeReceived();
    const QList<Received> wasTwice = before.unit(0).takeReceived();
    QCOMPARE(twice.size(), 3 * 2 * 2 * 4);
    QCOMPARE(bytesOf(twice), bytesOf(wasTwice));
    QCOMPARE(storedByUnit(twice), storedByUnit(wasTwice));
    QCOMPARE(bytesOf(now.unit(1).takeReceived()), bytesOf(before.unit(1).takeReceived()));
}

void UploadToAllTargetsTest::theSourceUnitAsATargetGetsItsPiecesAfterEachStepsDatagrams()
{
    Site site(2);
    PseudoTerminal sourceUnit;
    const QString link = site.folder() + QStringLiteral("COM1");
    QVERIFY(sourceUnit.open(link));
    site.state().setSelectedLink(StationState::Link::Serial);
    site.station().serial().setDevicePath(link);
    QVERIFY(site.station().serial().open());

    Site reachableOnly(2);
    reachableOnly.tick({reachableOnly.address(0), reachableOnly.address(1)});
    reachableOnly.backup();

    // "COM 1" and "com1" are the same unit: one whole upload after the other.
    site.tick({QStringLiteral("COM 1"), site.address(0), QStringLiteral("com1"), site.address(1)});
    const QByteArray data = templateBytes(400, 1);
    QCOMPARE(site.station().templateUpload().uploadToTargets(
                 kUserNumber, site.station().templateStore().path(kUser, 1),
                 site.state().usableTickedAddresses({}), kDescription, 1),
             4);
    site.clock.collect();

    const QByteArray oneUpload = Frame::uploadAnnounce(QByteArray::fromHex("39300000"), true) +
                                 Frame::uploadDataHeader() + data + Frame::trailer(data);
    QByteArray got;
    QDeadlineTimer deadline(3000);
    while (got.size() < 2 * oneUpload.size() && !deadline.hasExpired()) {
        got += sourceUnit.readAll();
        QTest::qWait(1);
    }
    QCOMPARE(got, oneUpload + oneUpload);

    // At each step the datagrams go out first, then the piece on the serial link.
    QStringList order;
    for (const QString &line : site.logLines())
        if (line.contains(QStringLiteral("TX_UDP[")) || line.contains(QStringLiteral("TX_SERIAL")))
            order.append(line.contains(QStringLiteral("TX_SERIAL")) ? QStringLiteral("serial")
                                                                    : tracedHosts({line}).first());
    const QStringList step{site.address(0), site.address(1), QStringLiteral("serial")};
    QCOMPARE(order.mid(0, 12), step + step + step + step);
    QCOMPARE(order.mid(12), QStringList(4, QStringLiteral("serial")));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(fromFirst(site.unit(i).takeReceived()).mid(0, 4),
                 fromFirst(reachableOnly.unit(i).takeReceived()).mid(0, 4));
}

void UploadToAllTargetsTest::theBannerSaysHowManyUnitsAreServed()
{
    Site site(3);
    QStringList secondLines;
    connect(&site.state(), &StationState::changed, this, [&](StationState::Field field) {
        if (field == StationState::Field::BannerLine2)
            secondLines.append(site.state().bannerLine(1));
    });
    TemplateUpload &upload = site.station().templateUpload();
    const QString path = site.station().templateStore().path(kUser, 2);

    QCOMPARE(upload.uploadToTargets(kUserNumber, path,
                                    {site.address(0), site.address(1), site.address(2)},
                                    kDescription, 2),
             3);
    QCOMPARE(site.state().bannerLine(0), QStringLiteral("Upload user #12345 template #2"));
    QCOMPARE(secondLines.last(), QStringLiteral(" to 3 target units"));

    // A unit that could not be reached is not counted; one unit is named.
    QCOMPARE(upload.uploadToTargets(kUserNumber, path,
                                    {site.address(1), QStringLiteral("no-such-unit.invalid")},
                                    kDescription, 2),
             1);
    QCOMPARE(secondLines.last(), QStringLiteral(" to 127.0.0.2 Synchronize template(s)"));
    const QStringList log = site.logLines();
    QCOMPARE(std::count_if(log.cbegin(), log.cend(),
                           [](const QString &line) {
                               return line.endsWith(QStringLiteral(
                                   "Target unit not reached: no-such-unit.invalid: its address "
                                   "does not resolve; check it in the target list"));
                           }),
             1);
}

QTEST_GUILESS_MAIN(UploadToAllTargetsTest)
#include "tst_upload_to_all_targets.moc"
