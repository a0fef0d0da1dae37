// Read mode's keyboard wedge with a scripted keyboard: user frames arrive through a real
// pseudo-terminal, and what would be typed into the focused application is recorded.
#include "config/ModeSwitch.h"
#include "link/Frame.h"
#include "link/KeyNotation.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "platform/KeyboardOutput.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "util/TextNumber.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace {

QByteArray userFrame(quint32 user)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, *USER_NUMBER_TO_BYTES(user));
    return Frame::frame(body);
}

QString accessibleName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

void leave(QLineEdit *field)
{
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &focusOut);
}

} // namespace

class KeyboardWedgeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    ScriptedKeyboard &keyboard() { return f->keyboard; }
    KeyboardWedge &wedge() { return f->w().keyboardWedge(); }

    // The unit reports users; one poll reads them, as the receive poll does.
    void hear(const QByteArray &bytes)
    {
        QVERIFY(f->feedSerial(bytes));
        f->w().dispatcher().SERIAL_RX_Timer();
    }
    bool typingEnds()
    {
        return QTest::qWaitFor([this] { return !wedge().isTyping() && !wedge().waitingUsers(); },
                               10000) &&
               QTest::qWaitFor([this] { return keyboard().text().endsWith(QLatin1Char('|')); });
    }
    bool logHas(const QString &text) const { return f->logLines().filter(text).size() == 1; }

private slots:
    void init()
    {
        f = std::make_unique<StationFixture>(freeUdpPort());
        QVERIFY(f->openSerialPeer());
        f->w().SW_MODE[1]->setChecked(true);
        f->enableLog();
    }
    void cleanup() { f.reset(); }

    void userReadIsShownAndTypedBetweenPrefixAndSuffix_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("typed");
        QTest::newRow("default settings") << ""
                                          << "{ENTER}"
                                          << "12345{ENTER}|";
        QTest::newRow("no prefix and no suffix") << ""
                                                 << ""
                                                 << "12345|";
        QTest::newRow("named keys, modifiers and escapes") << "ID{:}+(ab)"
                                                           << "{TAB}~{{}"
                                                           << "ID:+a+b12345{TAB}{ENTER}{|";
    }
    void userReadIsShownAndTypedBetweenPrefixAndSuffix()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        QFETCH(QString, typed);
        f->w().INP_PREFIX->setText(prefix);
        f->w().INP_SUFFIX->setText(suffix);
        f->clock.setNow(QDateTime(QDate(2025, 12, 9), QTime(7, 5, 9)));
        hear(userFrame(12345));
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("12345"));
        QCOMPARE(f->w().AFF_LST_USER_DATE->text(), QStringLiteral("09-12-2025"));
        QCOMPARE(f->w().AFF_LST_USER_TIME->text(), QStringLiteral("07:05:09"));
        // The values reach assistive technology as they change.
        QCOMPARE(accessibleName(f->w().AFF_LST_USER), QStringLiteral("12345"));
        QCOMPARE(accessibleName(f->w().AFF_LST_USER_TIME), QStringLiteral("07:05:09"));
        // The first key goes out within the poll; the rest follow from the event loop.
        QCOMPARE(keyboard().typed().size(), 1);
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), typed);
    }

    void ownWindowInFrontTypesNothingButShowsTheUser()
    {
        keyboard().setFocusedWindow(f->w().winId());
        hear(userFrame(12345));
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("12345"));
        QTest::qWait(50);
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(!wedge().isTyping());
    }

    void secondUserWaitsForTheFirstToBeTyped()
    {
        hear(userFrame(111) + userFrame(222)); // one chunk: only the first is dispatched
        hear(userFrame(222));
        hear(userFrame(333));
        QCOMPARE(wedge().waitingUsers(), 2);
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("333"));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("111{ENTER}|222{ENTER}|333{ENTER}|"));
    }

    void pausesBetweenKeysAndOfTheNotationAreKept()
    {
        wedge().setKeyPauseMs(15);
        f->w().INP_PREFIX->setText(QStringLiteral("a{DELAY 80}b"));
        hear(userFrame(7));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("ab7{ENTER}|"));
        const auto &t = keyboard().typed();
        QVERIFY(t[1].atNs - t[0].atNs >= 79'000'000); // the pause follows a key's own pause
        for (int i = 2; i < t.size(); ++i)
            QVERIFY2(t[i].atNs - t[i - 1].atNs >= 14'000'000, qPrintable(QString::number(i)));
    }

    void malformedPrefixOrSuffixTypesNothingAndSaysWhy_data()
    {
        QTest::addColumn<bool>("inPrefix");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown key in the prefix")
            << true << "{ENTR}"
            << "not valid key notation: unknown key name \"ENTR\" at character 1";
        QTest::newRow("unbalanced group in the suffix")
            << false << "+(a~"
            << "not valid key notation: \"(\" is not closed by \")\" at character 2";
        QTest::newRow("10,000 opening braces in the prefix")
            << true << QString(10000, QLatin1Char('{'))
            << "not valid key notation: \"{\" is not closed by \"}\" at character 1";
    }
    void malformedPrefixOrSuffixTypesNothingAndSaysWhy()
    {
        QFETCH(bool, inPrefix);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QLineEdit *field = inPrefix ? f->w().INP_PREFIX : f->w().INP_SUFFIX;
        const QString name = inPrefix ? QStringLiteral("Prefix") : QStringLiteral("Suffix");
        field->setText(text);

        // Saved: checked, the reason logged and kept in the field's tooltip.
        leave(field);
        QVERIFY(field->toolTip().startsWith(name + QLatin1Char(' ') + reason));
        QVERIFY(logHas(name + QLatin1Char(' ') + reason));

        // Read: shown, not typed.
        hear(userFrame(12345));
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("12345"));
        QTest::qWait(30);
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(logHas(QStringLiteral("User 12345 not typed: the ") + name.toLower() +
                       QStringLiteral(" is ") + reason));

        // Corrected and saved: the tooltip clears, the next user is typed.
        field->setText(QStringLiteral("{TAB}"));
        leave(field);
        QCOMPARE(field->toolTip(), QString());
        hear(userFrame(8));
        QVERIFY(typingEnds());
        QVERIFY(keyboard().text().contains(QLatin1Char('8')));
    }

    void focusMovingAwayDropsTheRestOfTheNumber()
    {
        keyboard().setBeforeEachKey([this](int typed) {
            if (typed == 2)
                keyboard().setFocusedWindow(0x777); // the operator clicks elsewhere
        });
        hear(userFrame(12345));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("123|")); // the focus moved after "3"
        QVERIFY(logHas(QStringLiteral("User 12345: typing stopped after 3 of 6 keys: the "
                                      "keyboard focus moved to another window")));
        // The next user is typed whole into the window now in front.
        keyboard().setBeforeEachKey({});
        hear(userFrame(9));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("123|9{ENTER}|"));
    }

    void keysRefusedForAMomentAreTypedLaterAndAFailureStopsTheSequence()
    {
        keyboard().answer(KeyboardOutput::Result::Ok);
        keyboard().answer(KeyboardOutput::Result::Retry, QStringLiteral("held"));
        keyboard().answer(KeyboardOutput::Result::Retry, QStringLiteral("held"));
        hear(userFrame(34));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("34{ENTER}|"));

        keyboard().answer(KeyboardOutput::Result::Ok);
        keyboard().answer(KeyboardOutput::Result::Failed, QStringLiteral("the display went away"));
        hear(userFrame(56));
        QVERIFY(typingEnds());
        QCOMPARE(keyboard().text(), QStringLiteral("34{ENTER}|5|"));
        QVERIFY(logHas(QStringLiteral("User 56: typing stopped after 1 of 3 keys: the display "
                                      "went away")));
    }

    void withoutAWayToTypeReadModeSaysSoOnceAndInTheTooltip()
    {
        const QString reason = QStringLiteral("No way to type here: log in to an X11 session.");
        keyboard().setUnavailable(reason);
        f->w().FR_READ_MODE->hide();
        f->w().modeSwitch().select(1);
        f->w().modeSwitch().select(1); // already in read mode: not said again
        const QString cannot =
            QStringLiteral("Read mode cannot type user numbers into other programs.");
        QCOMPARE(f->w().AFF_MSG[0]->text(), cannot);
        QCOMPARE(f->w().AFF_MSG[1]->text(), reason);
        QVERIFY(logHas(cannot));
        QVERIFY(logHas(reason));
        QCOMPARE(f->w().FR_READ_MODE->toolTip(), cannot + QLatin1Char('\n') + reason);

        hear(userFrame(12345));
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("12345"));
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(logHas(cannot));
    }

    void desktopKeyboardWithoutADisplaySaysWhyItCannotType()
    {
        // These tests run offscreen: the program's own keyboard finds no X11 display.
        const std::unique_ptr<KeyboardOutput> desktop = createSystemKeyboardOutput();
        QVERIFY(!desktop->isAvailable());
        QVERIFY(desktop->unavailableReason().contains(QLatin1String("offscreen")));
        QCOMPARE(desktop->focusedWindow(), WId(0));
        QCOMPARE(desktop->type(KeyNotation::literal(QStringLiteral("1"))),
                 KeyboardOutput::Result::Failed);
        QCOMPARE(desktop->lastError(), desktop->unavailableReason());
    }

    void enrollModeStartUpSaysNothing()
    {
        keyboard().setUnavailable(QStringLiteral("No way to type here."));
        f->w().SW_MODE[0]->setChecked(true);
        f->w().FR_READ_MODE->hide();
        const QString line1 = f->w().AFF_MSG[0]->text();
        f->w().modeSwitch().SW_MODE_Click(0); // window hidden: lays out read mode first
        QCOMPARE(f->w().AFF_MSG[0]->text(), line1);
        QCOMPARE(f->w().FR_READ_MODE->toolTip(), QString());
    }
};

QTEST_MAIN(KeyboardWedgeTest)
#include "tst_keyboard_wedge.moc"
