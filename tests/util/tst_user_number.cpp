#include "util/TextNumber.h"
#include "util/UserNumber.h"

#include <QTest>
#include <QtEndian>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

enum class Place { Operator, NumberAtStart, FileName };

std::optional<UserNumber> make(Place place, const QString &given)
{
    switch (place) {
    case Place::Operator:
        return UserNumber::fromOperatorText(given);
    case Place::NumberAtStart:
        return UserNumber::fromNumberAtStart(given);
    case Place::FileName:
        return UserNumber::fromFileName(given);
    }
    return std::nullopt;
}

} // namespace

Q_DECLARE_METATYPE(Place)

// Where a user number enters the station, what each place takes, and what it becomes: the
// text kept for file names and banners, and the 4 bytes sent to units.
class UserNumberTest : public QObject
{
    Q_OBJECT
private slots:
    void eachPlaceTakesWhatItTakesToday_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("text"); // empty: refused
        QTest::addColumn<QByteArray>("bytes");
        const QString refused;
        const auto op = Place::Operator;
        const auto start = Place::NumberAtStart;
        const auto file = Place::FileName;

        QTest::newRow("typed 0") << op << "0" << refused << QByteArray();
        QTest::newRow("typed 1") << op << "1"
                                 << "1" << hex("01000000");
        QTest::newRow("typed largest") << op << "4294967295"
                                       << "4294967295" << hex("FFFFFFFF");
        QTest::newRow("typed one past the largest")
            << op << "4294967296" << refused << QByteArray();
        QTest::newRow("typed far past the largest")
            << op << "99999999999999999999" << refused << QByteArray();
        // The window reads the number at the start and keeps the whole text: files are
        // named after "12abc", the unit hears 12.
        QTest::newRow("typed letters after") << op << "12abc"
                                             << "12abc" << hex("0C000000");
        QTest::newRow("typed exponent") << op << "1e3"
                                        << "1e3" << hex("01000000");
        QTest::newRow("typed leading blank") << op << " 7"
                                             << " 7" << hex("07000000");
        QTest::newRow("typed plus") << op << "+5"
                                    << "+5" << hex("05000000");
        QTest::newRow("typed whole with a point") << op << "2.0"
                                                  << "2.0" << hex("02000000");
        QTest::newRow("typed largest with a point") << op << "4294967295.0"
                                                    << "4294967295.0" << hex("FFFFFFFF");
        QTest::newRow("typed negative") << op << "-1" << refused << QByteArray();
        QTest::newRow("typed fraction") << op << "1.5" << refused << QByteArray();
        QTest::newRow("typed fraction of the largest")
            << op << "4294967295.5" << refused << QByteArray();
        QTest::newRow("typed empty") << op << "" << refused << QByteArray();
        QTest::newRow("typed letters") << op << "abc" << refused << QByteArray();
        QTest::newRow("typed blanks") << op << "   " << refused << QByteArray();
        for (const char *bad :
             {"12/3", "../12", "12\\3", "12:3", "1*", "12?", "12[3]", "12\t", "12\n", "12\x7f"})
            QTest::addRow("typed %s", bad)
                << op << QString::fromLatin1(bad) << refused << QByteArray();
        QTest::newRow("typed other digits")
            << op << QString::fromUtf8("\u0661\u0662") << refused << QByteArray();
        QTest::newRow("typed full-width digits")
            << op << QString::fromUtf8("\uff11\uff12") << refused << QByteArray();
        QTest::newRow("typed other digits after")
            << op << QString::fromUtf8("7\u0661") << QString::fromUtf8("7\u0661")
            << hex("07000000");
        const QString longLetters = QStringLiteral("7") + QString(100000, u'x');
        QTest::newRow("typed very long, letters")
            << op << longLetters << longLetters << hex("07000000");
        const QString longZeros = QString(1000, u'0') + QStringLiteral("7");
        QTest::newRow("typed very long, leading zeros")
            << op << longZeros << longZeros << hex("07000000");
        QTest::newRow("typed very long, too large")
            << op << QStringLiteral("1") + QString(1000, u'0') << refused << QByteArray();

        // What the operator may not type, other texts may hold: they never name files.
        QTest::newRow("given pattern") << start << "1*"
                                       << "1*" << hex("01000000");
        QTest::newRow("given separator") << start << "12/3"
                                         << "12/3" << hex("0C000000");
        QTest::newRow("given 0") << start << "0" << refused << QByteArray();
        QTest::newRow("given fraction") << start << "1.5" << refused << QByteArray();

        QTest::newRow("file") << file << "12345-01.DAT"
                              << "12345" << hex("39300000");
        QTest::newRow("file, leading zeros") << file << "0042-01.DAT"
                                             << "0042" << hex("2A000000");
        QTest::newRow("file, letters after") << file << "12abc-02.DAT"
                                             << "12abc" << hex("0C000000");
        QTest::newRow("file, first hyphen") << file << "12-3-01.DAT"
                                            << "12" << hex("0C000000");
        QTest::newRow("file, largest") << file << "4294967295-01.dat"
                                       << "4294967295" << hex("FFFFFFFF");
        QTest::newRow("file, one past the largest")
            << file << "4294967296-01.DAT" << refused << QByteArray();
        QTest::newRow("file, user 0") << file << "0-01.DAT" << refused << QByteArray();
        QTest::newRow("file, no user") << file << "-01.DAT" << refused << QByteArray();
        QTest::newRow("file, no hyphen") << file << "12345.DAT" << refused << QByteArray();
        QTest::newRow("file, negative") << file << "-5-01.DAT" << refused << QByteArray();
    }
    void eachPlaceTakesWhatItTakesToday()
    {
        QFETCH(Place, place);
        QFETCH(QString, given);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const std::optional<UserNumber> user = make(place, given);
        if (text.isEmpty()) {
            QVERIFY2(!user, qPrintable(user ? user->text() : QString()));
            return;
        }
        QVERIFY(user);
        QCOMPARE(user->text(), text);
        QCOMPARE(user->bytes(), bytes);
        QCOMPARE(user->value(), qFromLittleEndian<quint32>(bytes.constData()));
        // The bytes are those the station has always sent for the number.
        QCOMPARE(USER_NUMBER_TO_BYTES(user->value()).value_or("refused"), bytes);
    }

    void fourBytesAlwaysMakeANumber_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << hex("00000000") << "0" << hex("00000000");
        QTest::newRow("1") << hex("01000000") << "1" << hex("01000000");
        QTest::newRow("12345") << hex("39300000") << "12345" << hex("39300000");
        QTest::newRow("each byte its place") << hex("01020304") << "67305985" << hex("01020304");
        QTest::newRow("top byte only") << hex("00000080") << "2147483648" << hex("00000080");
        QTest::newRow("largest") << hex("FFFFFFFF") << "4294967295" << hex("FFFFFFFF");
        QTest::newRow("short: missing bytes are 0") << hex("3930") << "12345" << hex("39300000");
        QTest::newRow("empty") << QByteArray() << "0" << hex("00000000");
        QTest::newRow("longer: the first 4") << hex("39300000FF") << "12345" << hex("39300000");
    }
    void fourBytesAlwaysMakeANumber()
    {
        QFETCH(QByteArray, received);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const UserNumber user = UserNumber::fromBytes(received);
        QCOMPARE(user.text(), text);
        QCOMPARE(user.text(), BYTES_TO_USER_NUMBER(received));
        QCOMPARE(user.bytes(), bytes);
        // And back: the text the unit's bytes became is the same user when typed.
        if (user.value() != 0)
            QCOMPARE(UserNumber::fromOperatorText(user.text()), user);
    }
};

QTEST_GUILESS_MAIN(UserNumberTest)
#include "tst_user_number.moc"
