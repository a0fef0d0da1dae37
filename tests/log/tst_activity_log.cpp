#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "support/HeadlessStationFixture.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <QTest>

namespace {
QDateTime at(int day, const char *time)
{
    return QDateTime(QDate(2026, 12, day),
                     QTime::fromString(QString::fromLatin1(time), "HH:mm:ss.zzz"));
}
} // namespace

class ActivityLogTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeadlessStationFixture> f;

    QByteArray fileOf(int day) const
    {
        QFile file(f->folder() +
                   QStringLiteral("Trelvane_%1-12-2026.log").arg(day, 2, 10, QLatin1Char('0')));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        f = std::make_unique<HeadlessStationFixture>();
        f->state().setSerialPort(QStringLiteral("3"));
        f->state().setMode(StationState::Mode::Enroll);
        f->clock.setNow(at(9, "14:03:27.000"));
    }
    void cleanup() { f.reset(); }

    void nothingIsWrittenWhileLoggingIsOff()
    {
        QVERIFY(f->station().activityLog().WRITE_LOG(QStringLiteral("TX_SERIAL: [64]")));
        QVERIFY(QDir(f->folder()).entryList({QStringLiteral("*.log")}).isEmpty());
    }

    void firstLineOfTheDayStartsTheFileWithItsHeader_data()
    {
        QTest::addColumn<bool>("readMode");
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray caption(" Trelvane Ombrix quick Enrollment  Version: 1.0N\r\n");
        const QByteArray rule = QByteArray(61, '-') + "\r\n\r\n";
        QTest::newRow("enroll mode, no targets")
            << false << QStringList()
            << caption + "Serial COM port number: 3\r\nMODE: Enroll\r\n" + rule +
                   "14:03:27 Communication with Trelvane source unit established.\r\n";
        QTest::newRow("read mode, two targets")
            << true << QStringList{"10.0.0.7         Hall", "10.0.0.8"}
            << caption +
                   "Serial COM port number: 3\r\n10.0.0.7         Hall\r\n10.0.0.8\r\n"
                   "MODE: Read\r\nServer IP: 192.0.2.5\r\nPrefix: <\r\nSuffix: {ENTER}\r\n" +
                   rule + "14:03:27 Communication with Trelvane source unit established.\r\n";
    }
    void firstLineOfTheDayStartsTheFileWithItsHeader()
    {
        QFETCH(bool, readMode);
        QFETCH(QStringList, targets);
        QFETCH(QByteArray, expected);
        f->state().setMode(readMode ? StationState::Mode::Read : StationState::Mode::Enroll);
        f->state().setLastUser({{}, {}, {}, QStringLiteral("192.0.2.5")});
        f->state().setPrefix(QStringLiteral("<"));
        for (const QString &t : targets) // as the list shows a line it was given: unticked
            f->state().insertTarget(int(f->state().targets().size()), {t, false});
        f->enableLog();
        QVERIFY(f->station().activityLog().WRITE_LOG(
            QStringLiteral("Communication with Trelvane source unit established.")));
        QCOMPARE(fileOf(9), expected);
    }

    void laterLinesOfTheDayAreAppendedWithoutHeader()
    {
        f->enableLog();
        f->station().WRITE_LOG(QStringLiteral("first"));
        const QByteArray afterFirst = fileOf(9);
        f->clock.setNow(at(9, "14:03:28.500"));
        f->station().WRITE_LOG(QString());
        f->station().WRITE_LOG(QStringLiteral("RX_Serial: [64][1]"));
        QCOMPARE(fileOf(9), afterFirst + "14:03:28 \r\n14:03:28 RX_Serial: [64][1]\r\n");
    }

    void firstLineAfterMidnightGoesToTheNewDaysFileWithItsOwnHeader()
    {
        f->enableLog();
        f->clock.setNow(at(9, "23:59:59.900"));
        f->station().WRITE_LOG(QStringLiteral("late"));
        f->clock.setNow(at(10, "00:00:01.000"));
        f->station().WRITE_LOG(QStringLiteral("early"));
        QVERIFY(fileOf(9).endsWith("23:59:59 late\r\n"));
        QVERIFY(fileOf(10).startsWith(" Trelvane Ombrix quick Enrollment  Version: 1.0N\r\n"));
        QVERIFY(fileOf(10).endsWith("\r\n\r\n00:00:01 early\r\n"));
    }

    // In the system's character set (UTF-8 here): every character the operator typed is in
    // the log as typed, where Latin-1 turned the euro sign and every Cyrillic or Greek
    // letter into "?".
    void textIsWrittenInTheSystemCharacterSet_data()
    {
        QTest::addColumn<QString>("text");
        // What Windows writes in its Western European code page (1252): a character the
        // code page lacks becomes a question mark, or its nearest Latin letter where the
        // system has one (Greek delta and alpha).
        QTest::addColumn<QByteArray>("cp1252");
        QTest::newRow("Latin-1 letter") << QStringLiteral("Caf\u00e9") << QByteArray("Caf\xe9");
        QTest::newRow("euro sign")
            << QStringLiteral("Suffix: \u20ac{ENTER}") << QByteArray("Suffix: \x80{ENTER}");
        QTest::newRow("Cyrillic and Greek")
            << QStringLiteral("\u041a\u0443\u0445\u043d\u044f \u0395\u03bb\u03bb\u03ac\u03b4\u03b1")
            << QByteArray("????? ????da");
    }
    void textIsWrittenInTheSystemCharacterSet()
    {
        QFETCH(QString, text);
#ifdef Q_OS_WIN
        QFETCH(QByteArray, cp1252);
        if (GetACP() != 1252)
            QSKIP("The expected bytes are written down for code page 1252 only.");
        const QByteArray expected = cp1252;
#else
        const QByteArray expected = text.toUtf8();
#endif
        f->enableLog();
        f->state().setPrefix(text); // the header shows it too, in read mode
        f->state().setMode(StationState::Mode::Read);
        f->station().WRITE_LOG(text);
        const QByteArray bytes = fileOf(9);
        QVERIFY2(bytes.contains("\r\nPrefix: " + expected + "\r\n"), bytes.toHex(' ').constData());
        QVERIFY(bytes.endsWith("14:03:27 " + expected + "\r\n"));
    }

    void failedWriteIsReportedAndTheStationGoesOn()
    {
        f->enableLog();
        f->state().setConfigFolder(f->folder() + QStringLiteral("missing/"));
        QVERIFY(!f->station().activityLog().WRITE_LOG(QStringLiteral("lost")));
        f->state().setConfigFolder(f->folder());
        QVERIFY(f->station().activityLog().WRITE_LOG(QStringLiteral("kept")));
        QVERIFY(fileOf(9).endsWith("14:03:27 kept\r\n"));
    }

    void bannerLinesAreSetByNumber_data()
    {
        QTest::addColumn<int>("lineNumber");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("line 1") << 1 << true
                                << QStringList{"text", "", "Communication error with Trelvane"};
        QTest::newRow("line 2") << 2 << true
                                << QStringList{"", "text", "Communication error with Trelvane"};
        QTest::newRow("both") << 9999 << true
                              << QStringList{"text", "text", "Communication error with Trelvane"};
        QTest::newRow("error frame label") << 3 << true << QStringList{"", "", "text"};
        QTest::newRow("no such line")
            << 4 << false << QStringList{"", "", "Communication error with Trelvane"};
        QTest::newRow("zero") << 0 << false
                              << QStringList{"", "", "Communication error with Trelvane"};
    }
    void bannerLinesAreSetByNumber()
    {
        QFETCH(int, lineNumber);
        QFETCH(bool, accepted);
        QFETCH(QStringList, captions);
        f->state().setBannerLine(0, QString());
        f->state().setBannerLine(1, QString());
        QCOMPARE(f->station().bannerLines().AFF_LOG_MSG(QStringLiteral("text"), lineNumber),
                 accepted);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f->state().bannerLine(i), captions[i]);
    }
};

QTEST_GUILESS_MAIN(ActivityLogTest)
#include "tst_activity_log.moc"
