#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TextNumberTest : public QObject
{
    Q_OBJECT
private slots:
    void cnvToBaseWritesDigitsMostSignificantFirst_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("base");
        QTest::addColumn<QString>("digits");
        QTest::newRow("12345 hex") << 12345.0 << 16 << "3039";
        QTest::newRow("largest user") << 4294967295.0 << 16 << "FFFFFFFF";
        QTest::newRow("one past") << 4294967296.0 << 16 << "100000000";
        QTest::newRow("255 binary") << 255.0 << 2 << "11111111";
        QTest::newRow("zero") << 0.0 << 16 << "0";
        QTest::newRow("base 36") << 35.0 << 36 << "Z";
    }
    void cnvToBaseWritesDigitsMostSignificantFirst()
    {
        QFETCH(double, number);
        QFETCH(int, base);
        QFETCH(QString, digits);
        QCOMPARE(CnvToBase(number, base).value_or(QStringLiteral("<refused>")), digits);
    }

    void cnvToBaseRefusesWhatWouldNeverEnd_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("base");
        QTest::newRow("negative") << -1.0 << 16;
        QTest::newRow("base 1") << 5.0 << 1;
        QTest::newRow("base 0") << 5.0 << 0;
        QTest::newRow("base 37") << 5.0 << 37;
        QTest::newRow("infinite") << qInf() << 16;
    }
    void cnvToBaseRefusesWhatWouldNeverEnd()
    {
        QFETCH(double, number);
        QFETCH(int, base);
        QVERIFY(!CnvToBase(number, base).has_value());
    }

    void cnvFromBaseReadsDigitsAndZeroesInvalidOnes_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<int>("base");
        QTest::addColumn<double>("value");
        QTest::newRow("FF") << "FF" << 16 << 255.0;
        QTest::newRow("3039") << "3039" << 16 << 12345.0;
        QTest::newRow("largest user") << "FFFFFFFF" << 16 << 4294967295.0;
        QTest::newRow("lower case is no digit") << "ff" << 16 << 0.0;
        QTest::newRow("empty") << "" << 16 << 0.0;
        QTest::newRow("H beyond base") << "1H" << 16 << 0.0;
        QTest::newRow("digit equal to the base") << "G" << 16 << 0.0;
        QTest::newRow("blank counts negative") << "1 " << 16 << 0.0;
    }
    void cnvFromBaseReadsDigitsAndZeroesInvalidOnes()
    {
        QFETCH(QString, digits);
        QFETCH(int, base);
        QFETCH(double, value);
        QCOMPARE(CnvFromBase(digits, base), value);
    }

    void padlFillsOnTheLeftAndKeepsTheEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("filler");
        QTest::addColumn<QString>("result");
        QTest::newRow("A") << "A" << 2 << "0" << "0A";
        QTest::newRow("cut to last four") << "17E80" << 4 << "0" << "7E80";
        QTest::newRow("exact") << "7E80" << 4 << "0" << "7E80";
        QTest::newRow("two-character filler") << "12" << 5 << "ab" << "ababab12";
        QTest::newRow("long filler") << "1" << 3 << "xyz" << "xyzxyz1";
        QTest::newRow("empty filler") << "12" << 5 << "" << "12";
        QTest::newRow("keeps last two") << "12345" << 2 << "0" << "45";
        QTest::newRow("zero width") << "12" << 0 << "0" << "";
    }
    void padlFillsOnTheLeftAndKeepsTheEnd()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, filler);
        QFETCH(QString, result);
        QCOMPARE(PADL(text, width, filler), result);
    }

    void readBlockReadsAndReplacesFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("result");
        QTest::newRow("field 2") << "a;b;c" << ";" << 2 << "" << "b";
        QTest::newRow("only field") << "a" << ";" << 1 << "" << "a";
        QTest::newRow("missing field") << "a;b" << ";" << 4 << "" << "";
        QTest::newRow("position 0 reads field 1") << "a;b" << ";" << 0 << "" << "a";
        QTest::newRow("replace") << "a;b;c" << ";" << 2 << "X" << "a;X;c";
        QTest::newRow("extend") << "a;b" << ";" << 4 << "X" << "a;b;;X";
        QTest::newRow("double-colon read") << "a::b::c" << "::" << 2 << "" << "b";
        QTest::newRow("double-colon last") << "a::b::c" << "::" << 3 << "" << "c";
        QTest::newRow("double-colon replace") << "a::b::c" << "::" << 3 << "Z" << "a::b::Z";
    }
    void readBlockReadsAndReplacesFields()
    {
        QFETCH(QString, line);
        QFETCH(QString, separator);
        QFETCH(int, position);
        QFETCH(QString, write);
        QFETCH(QString, result);
        QCOMPARE(READ_BLOCK(line, separator, position, write), result);
    }

    void checksumSumsBytesInEveryMode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("sum");
        QTest::newRow("second header") << hex("4087010000008001000000") << 0 << hex("49");
        QTest::newRow("abc mode 0") << QByteArray("abc") << 0 << hex("26");
        QTest::newRow("abc mode 4") << QByteArray("abc") << 4 << hex("2601");
        QTest::newRow("384 x FF mode 0") << QByteArray(384, char(0xFF)) << 0 << hex("80");
        QTest::newRow("384 x FF mode 4") << QByteArray(384, char(0xFF)) << 4 << hex("807E");
        QTest::newRow("384 x FF mode 3") << QByteArray(384, char(0xFF)) << 3 << hex("807E");
        QTest::newRow("mode 1") << QByteArray("abc") << 1 << hex("26");
        QTest::newRow("mode 5") << QByteArray("abc") << 5 << QByteArray();
        QTest::newRow("mode -1") << QByteArray("abc") << -1 << QByteArray();
        QTest::newRow("empty mode 0") << QByteArray() << 0 << hex("00");
        QTest::newRow("empty mode 4") << QByteArray() << 4 << hex("0000");
    }
    void checksumSumsBytesInEveryMode()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, mode);
        QFETCH(QByteArray, sum);
        QCOMPARE(CALC_CHECKSUM(data, mode), sum);
    }

    void userNumbersTravelLeastSignificantByteFirst_data()
    {
        QTest::addColumn<double>("user");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0.0 << hex("00000000") << "0";
        QTest::newRow("1") << 1.0 << hex("01000000") << "1";
        QTest::newRow("12345") << 12345.0 << hex("39300000") << "12345";
        QTest::newRow("123456") << 123456.0 << hex("40E20100") << "123456";
        QTest::newRow("666666") << 666666.0 << hex("2A2C0A00") << "666666";
        QTest::newRow("largest") << 4294967295.0 << hex("FFFFFFFF") << "4294967295";
    }
    void userNumbersTravelLeastSignificantByteFirst()
    {
        QFETCH(double, user);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(USER_NUMBER_TO_BYTES(user).value_or("refused"), bytes);
        QCOMPARE(BYTES_TO_USER_NUMBER(bytes), text);
    }

    void userNumberThatCannotBeFourBytesIsRefused_data()
    {
        QTest::addColumn<double>("user");
        QTest::newRow("one past the largest") << 4294967296.0;
        QTest::newRow("fraction") << 123.5;
        QTest::newRow("carrying fraction") << 255.7;
        QTest::newRow("negative") << -1.0;
    }
    void userNumberThatCannotBeFourBytesIsRefused()
    {
        QFETCH(double, user);
        QVERIFY(!USER_NUMBER_TO_BYTES(user).has_value());
    }

    void numericValueReadsTheNumberAtTheStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "12345" << 12345.0;
        QTest::newRow("letters after") << "12abc" << 12.0;
        QTest::newRow("leading blanks") << "  4" << 4.0;
        QTest::newRow("sign") << "-3" << -3.0;
        QTest::newRow("plus") << "+7x" << 7.0;
        QTest::newRow("one point") << "12.5.6" << 12.5;
        QTest::newRow("letters first") << "COM3" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("point alone") << "." << 0.0;
        QTest::newRow("huge") << "99999999999999999999" << 1e20;
    }
    void numericValueReadsTheNumberAtTheStart()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(numericValue(text), value);
    }
};

QTEST_GUILESS_MAIN(TextNumberTest)
#include "tst_text_number.moc"
