// Read mode's keyboard wedge beside the window: the station's own window in front types
// nothing, and the desktop's keyboard says why it cannot type when there is no display. The
// wedge's logic is tried without a window (tst_keyboard_wedge).
#include "link/Frame.h"
#include "link/KeyNotation.h"
#include "link/KeyboardWedge.h"
#include "link/ReceiveDispatcher.h"
#include "platform/KeyboardOutput.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "util/TextNumber.h"

#include <QLabel>
#include <QRadioButton>
#include <QTest>

namespace {

QByteArray userFrame(quint32 user)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, *USER_NUMBER_TO_BYTES(user));
    return Frame::frame(body);
}

} // namespace

class WedgeDesktopTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    ScriptedKeyboard &keyboard() { return f->keyboard; }
    KeyboardWedge &wedge() { return f->w().keyboardWedge(); }

    void hear(const QByteArray &bytes)
    {
        QVERIFY(f->feedSerial(bytes));
        f->w().dispatcher().SERIAL_RX_Timer();
    }

private slots:
    void init()
    {
        f = std::make_unique<StationFixture>(freeUdpPort());
        QVERIFY(f->openSerialPeer());
        f->w().SW_MODE[1]->setChecked(true);
        f->enableLog();
    }
    void cleanup() { f.reset(); }

    void ownWindowInFrontTypesNothingButShowsTheUser()
    {
        keyboard().setFocusedWindow(f->w().winId());
        hear(userFrame(12345));
        QCOMPARE(f->w().AFF_LST_USER->text(), QStringLiteral("12345"));
        QTest::qWait(50);
        QCOMPARE(keyboard().calls(), 0);
        QVERIFY(!wedge().isTyping());
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
};

QTEST_MAIN(WedgeDesktopTest)
#include "tst_wedge_desktop.moc"
