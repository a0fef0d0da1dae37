// The key notation of the read-mode prefix and suffix, as a table: each text and the keys
// it types, or the reason it is refused.
#include "link/KeyNotation.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// One action as a short token: a, S-a (Shift), C-A-x (Ctrl+Alt), <ENTER>, [50] (a pause).
QString token(const KeyAction &a)
{
    if (a.kind == KeyAction::Kind::Delay)
        return QStringLiteral("[%1]").arg(a.delayMs);
    QString t;
    if (a.modifiers & KeyAction::Shift)
        t += QStringLiteral("S-");
    if (a.modifiers & KeyAction::Control)
        t += QStringLiteral("C-");
    if (a.modifiers & KeyAction::Alt)
        t += QStringLiteral("A-");
    if (a.kind == KeyAction::Kind::Key)
        return t + QLatin1Char('<') + KeyNotation::keyName(a.key) + QLatin1Char('>');
    const char32_t c = a.character;
    return t + (c == U' ' ? QStringLiteral("' '") : QString::fromUcs4(&c, 1));
}

QString describe(const KeyActions &actions)
{
    QStringList tokens;
    for (const KeyAction &a : actions)
        tokens << token(a);
    return tokens.join(QLatin1Char(' '));
}

} // namespace

class KeyNotationTest : public QObject
{
    Q_OBJECT
private slots:
    void wellFormedTextsGiveTheirKeys_data();
    void wellFormedTextsGiveTheirKeys();
    void malformedTextsTypeNothingAndSayWhy_data();
    void malformedTextsTypeNothingAndSayWhy();
    void longTextsStayWithinTheBounds_data();
    void longTextsStayWithinTheBounds();
    void userNumberIsTypedAsItStands();
};

void KeyNotationTest::wellFormedTextsGiveTheirKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keys");
    auto row = [](const char *name, const QString &text, const char *keys) {
        QTest::newRow(name) << text << QString::fromUtf8(keys);
    };
    row("empty", QString(), "");
    row("default suffix", QStringLiteral("{ENTER}"), "<ENTER>");
    row("tilde is Enter", QStringLiteral("ab~"), "a b <ENTER>");
    row("names ignore case", QStringLiteral("{enter}{Tab}{eSc}"), "<ENTER> <TAB> <ESC>");
    row("aliases", QStringLiteral("{ESCAPE}{BS}{BKSP}{BACKSPACE}{DEL}{INS}"),
        "<ESC> <BACKSPACE> <BACKSPACE> <BACKSPACE> <DELETE> <INSERT>");
    row("movement keys", QStringLiteral("{HOME}{END}{PGUP}{PGDN}{UP}{DOWN}{LEFT}{RIGHT}"),
        "<HOME> <END> <PGUP> <PGDN> <UP> <DOWN> <LEFT> <RIGHT>");
    row("function keys", QStringLiteral("{F1}{f9}{F16}"), "<F1> <F9> <F16>");
    row("space key and blank", QStringLiteral("{SPACE} "), "<SPACE> ' '");
    row("shift on the next key only", QStringLiteral("+ab"), "S-a b");
    row("modifiers add up", QStringLiteral("^+%x"), "S-C-A-x");
    row("ctrl on a named key", QStringLiteral("^{F5}"), "C-<F5>");
    row("shift held over a group", QStringLiteral("+(ab)c"), "S-a S-b c");
    row("modifier inside a group", QStringLiteral("+(a^b)"), "S-a S-C-b");
    row("nested groups", QStringLiteral("^(a+(b)c)"), "C-a S-C-b C-c");
    row("plain group", QStringLiteral("(ab)"), "a b");
    row("named key repeated", QStringLiteral("{TAB 3}"), "<TAB> <TAB> <TAB>");
    row("character repeated", QStringLiteral("{x 4}"), "x x x x");
    row("repeat of zero", QStringLiteral("a{x 0}b"), "a b");
    row("shift on every repeat", QStringLiteral("+{LEFT 2}"), "S-<LEFT> S-<LEFT>");
    row("pause", QStringLiteral("a{DELAY 50}b"), "a [50] b");
    row("pause names ignore case", QStringLiteral("{delay 0}"), "[0]");
    row("escaped reserved characters", QStringLiteral("{+}{^}{%}{~}{(}{)}{{}{}}"),
        "+ ^ % ~ ( ) { }");
    row("escaped brace repeated", QStringLiteral("{} 2}{{ 2}"), "} } { {");
    row("escaped plus repeated", QStringLiteral("{+ 3}"), "+ + +");
    row("brackets are plain", QStringLiteral("[a]"), "[ a ]");
    row("accented and beyond the BMP", QStringLiteral("é€😀"), "é € 😀");
    row("character beyond the BMP repeated", QStringLiteral("{😀 2}"), "😀 😀");
    row("blank in braces", QStringLiteral("{ }{  2}"), "' ' ' ' ' '");
    row("tab and line end characters", QStringLiteral("a\tb\r\n"), "a <TAB> b <ENTER> <ENTER>");
    QTest::newRow("largest pause and repeat")
        << QStringLiteral("{DELAY 10000}{TAB 255}")
        << QStringLiteral("[10000]") + QStringLiteral(" <TAB>").repeated(255);
}

void KeyNotationTest::wellFormedTextsGiveTheirKeys()
{
    QFETCH(QString, text);
    QFETCH(QString, keys);
    const KeyNotation::Result r = KeyNotation::parse(text);
    QVERIFY2(r.ok(), qPrintable(r.message()));
    QCOMPARE(describe(r.actions), keys);
}

void KeyNotationTest::malformedTextsTypeNothingAndSayWhy_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    auto row = [](const char *name, const QString &text, const char *message) {
        QTest::newRow(name) << text << QString::fromUtf8(message);
    };
    row("brace not closed", QStringLiteral("ab{ENTER"),
        "\"{\" is not closed by \"}\" at character 3");
    row("lone closing brace", QStringLiteral("a}"),
        "\"}\" has no \"{\" before it (write {}} for the character) at character 2");
    row("empty braces", QStringLiteral("{}"), "empty braces {} at character 1");
    row("group not closed", QStringLiteral("x+(ab"), "\"(\" is not closed by \")\" at character 3");
    row("lone closing parenthesis", QStringLiteral("ab)"),
        "\")\" has no \"(\" before it (write {)} for the character) at character 3");
    row("unknown key name", QStringLiteral("1{ENTR}"), "unknown key name \"ENTR\" at character 2");
    row("F0 and F17", QStringLiteral("{F17}"), "unknown key name \"F17\" at character 1");
    row("long unknown name shortened", QStringLiteral("{ABCDEFGHIJKLMNOPQRSTUVWXYZ}"),
        "unknown key name \"ABCDEFGHIJKLMNOPQRST...\" at character 1");
    row("repeat above 255", QStringLiteral("{TAB 256}"),
        "a repeat count of 256 is more than 255 at character 1");
    row("repeat not a number", QStringLiteral("{x -1}"), "\"-1\" is not a count at character 4");
    row("repeat too many digits", QStringLiteral("{x 0000001}"),
        "\"0000001\" is not a count at character 4");
    row("pause above 10 s", QStringLiteral("{DELAY 10001}"),
        "a pause of 10001 ms is longer than 10000 ms at character 1");
    row("pause without a time", QStringLiteral("{DELAY}"),
        "{DELAY n} needs a number of milliseconds at character 1");
    row("modifier at the end", QStringLiteral("ab+"),
        "a modifier (+, ^ or %) at the end applies to no key at character 3");
    row("modifier before a closing parenthesis", QStringLiteral("+(a^)"),
        "a modifier before \")\" applies to no key at character 5");
    row("modifier before a pause", QStringLiteral("+{DELAY 5}a"),
        "a modifier before {DELAY} applies to no key at character 1");
    row("control character", QStringLiteral("a\x01"),
        "a control character (code 1) that no key types at character 2");
    row("half a surrogate pair", QString(QChar(0xD83D)) + QStringLiteral("a"),
        "a broken character (half of a surrogate pair) at character 1");
}

void KeyNotationTest::malformedTextsTypeNothingAndSayWhy()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    const KeyNotation::Result r = KeyNotation::parse(text);
    QVERIFY(!r.ok());
    QVERIFY(r.actions.isEmpty());
    QCOMPARE(r.message(), message);
}

void KeyNotationTest::longTextsStayWithinTheBounds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("keys"); // -1: refused
    QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('a')) << 10000;
    QTest::newRow("one more") << QString(10001, QLatin1Char('a')) << -1;
    QTest::newRow("repeats beyond the key bound") << QStringLiteral("{x 255}").repeated(40) << -1;
    QTest::newRow("pauses beyond a minute") << QStringLiteral("{DELAY 10000}").repeated(7) << -1;
    QTest::newRow("10,000 opening braces") << QString(10000, QLatin1Char('{')) << -1;
    QTest::newRow("10,000 opening parentheses") << QString(10000, QLatin1Char('(')) << -1;
    QTest::newRow("10,000 modifiers") << QString(10000, QLatin1Char('+')) << -1;
    QTest::newRow("deeply nested groups")
        << QString(5000, QLatin1Char('(')) + QString(5000, QLatin1Char(')')) << 0;
}

void KeyNotationTest::longTextsStayWithinTheBounds()
{
    QFETCH(QString, text);
    QFETCH(int, keys);
    const KeyNotation::Result r = KeyNotation::parse(text);
    QCOMPARE(r.ok(), keys >= 0);
    QCOMPARE(int(r.actions.size()), std::max(keys, 0));
}

void KeyNotationTest::userNumberIsTypedAsItStands()
{
    QCOMPARE(describe(KeyNotation::literal(QStringLiteral("4294967295"))),
             QStringLiteral("4 2 9 4 9 6 7 2 9 5"));
    QCOMPARE(describe(KeyNotation::literal(QStringLiteral("+{1}"))), QStringLiteral("+ { 1 }"));
}

QTEST_GUILESS_MAIN(KeyNotationTest)
#include "tst_key_notation.moc"
