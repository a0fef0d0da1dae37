// SendInputKeyboard typing into another program's edit control (tests/windows/edit_target),
// read back from that control. Runs on Wine's desktop (the lane's X display). Wine hands the
// keys to the other program in its own time, so each check waits for the text to arrive.
#include "platform/SendInputKeyboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

using K = KeyAction::Key;

KeyActions text(const QString &s)
{
    KeyActions actions;
    for (char32_t c : s.toUcs4())
        actions.append(KeyAction::typeCharacter(c));
    return actions;
}

QString controlText(HWND edit)
{
    wchar_t buffer[1024] = {};
    const LRESULT n = SendMessageW(edit, WM_GETTEXT, WPARAM(std::size(buffer)), LPARAM(buffer));
    return QString::fromWCharArray(buffer, int(n));
}

} // namespace

class WineSendInputTest : public QObject
{
    Q_OBJECT

    QProcess m_target;
    HWND m_window = nullptr;
    HWND m_edit = nullptr;

    // Waits until the edit control holds the text; returns what it holds.
    QString waitForText(const QString &expected)
    {
        QElapsedTimer t;
        t.start();
        QString now = controlText(m_edit);
        while (now != expected && t.elapsed() < 3000) {
            QTest::qWait(20);
            now = controlText(m_edit);
        }
        return now;
    }

private slots:
    void init()
    {
        m_target.start(QCoreApplication::applicationDirPath() +
                       QStringLiteral("/wine_edit_target.exe"));
        QVERIFY2(m_target.waitForStarted(5000), qPrintable(m_target.errorString()));
        QElapsedTimer t;
        t.start();
        while ((!m_window || GetForegroundWindow() != m_window) && t.elapsed() < 10000) {
            QTest::qWait(50);
            m_window = FindWindowW(L"TrelvaneEditTarget", nullptr);
            if (m_window)
                SetForegroundWindow(m_window);
        }
        QVERIFY2(m_window, "the edit target's window did not appear");
        QCOMPARE(GetForegroundWindow(), m_window);
        m_edit = FindWindowExW(m_window, nullptr, L"EDIT", nullptr);
        QVERIFY(m_edit);
    }

    void cleanup()
    {
        if (m_window)
            PostMessageW(m_window, WM_CLOSE, 0, 0);
        if (!m_target.waitForFinished(5000))
            m_target.kill();
        m_target.waitForFinished(2000);
        m_window = m_edit = nullptr;
    }

    void typedTextArrivesWhole_data()
    {
        QTest::addColumn<KeyActions>("actions");
        QTest::addColumn<QString>("expected");
        QTest::newRow("user number") << text(QStringLiteral("000123456")) << "000123456";
        QTest::newRow("letters and signs")
            << text(QStringLiteral("Badge #7: A-b/c;d=e")) << "Badge #7: A-b/c;d=e";
        // Characters outside the keyboard layout arrive as themselves.
        QTest::newRow("accents and beyond the first plane")
            << text(QStringLiteral("é€ç") + QString::fromUcs4(U"\U0001F600", 1))
            << QStringLiteral("é€ç") + QString::fromUcs4(U"\U0001F600", 1);
        // Named keys act as keys: Backspace removes, Enter starts a line, Left moves.
        QTest::newRow("named keys")
            << (text(QStringLiteral("12x")) +
                KeyActions{KeyAction::press(K::Backspace), KeyAction::typeCharacter('3'),
                           KeyAction::press(K::Enter), KeyAction::typeCharacter('5'),
                           KeyAction::press(K::Left), KeyAction::typeCharacter('4')})
            << QStringLiteral("123\r\n45");
        // Pauses are the caller's: type() passes over them.
        QTest::newRow("pauses skipped")
            << KeyActions{KeyAction::typeCharacter('a'), KeyAction::pause(500),
                          KeyAction::typeCharacter('b')}
            << QStringLiteral("ab");
    }

    void typedTextArrivesWhole()
    {
        QFETCH(KeyActions, actions);
        QFETCH(QString, expected);
        SendInputKeyboard keyboard;
        QVERIFY(keyboard.isAvailable());
        QCOMPARE(keyboard.focusedWindow(), reinterpret_cast<WId>(m_window));
        QCOMPARE(keyboard.type(actions), KeyboardOutput::Result::Ok);
        QCOMPARE(waitForText(expected), expected);
    }

    // A key with Shift held: Shift+Left selects the character before the cursor, and the next
    // character replaces it; no modifier stays down after the sequence.
    void aKeyWithShiftSelects()
    {
        SendInputKeyboard keyboard;
        QCOMPARE(keyboard.type(text(QStringLiteral("abc"))), KeyboardOutput::Result::Ok);
        QCOMPARE(waitForText(QStringLiteral("abc")), QStringLiteral("abc"));
        QCOMPARE(keyboard.type({KeyAction::press(K::Left, KeyAction::Shift),
                                KeyAction::typeCharacter('x'),
                                KeyAction::typeCharacter('a', KeyAction::Shift)}),
                 KeyboardOutput::Result::Ok);
        QCOMPARE(waitForText(QStringLiteral("abxA")), QStringLiteral("abxA"));
        for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU})
            QVERIFY2(!(GetAsyncKeyState(vk) & 0x8000), qPrintable(QString::number(vk)));
    }
};

QTEST_MAIN(WineSendInputTest)
#include "tst_wine_sendinput.moc"
