#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "support/FileContent.h"
#include "support/FreePort.h"
#include "support/HeadlessStationFixture.h"

#include <QFile>
#include <QHostAddress>
#include <QTest>
#include <QUdpSocket>

namespace {

const QString kDefinePrompt = QStringLiteral(
    "Please define the Enroll password:\r\n* Just click on OK to not use a Password");

using FileContent::readAll;
using FileContent::writeAll;

// A station past start-up (enroll mode needs it) and a free UDP port.
struct TestStation
{
    TestStation() : f(freeUdpPort()) { state().setStarted(true); }
    Station &station() { return f.station(); }
    StationState &state() { return f.state(); }
    ModeSwitch &modeSwitch() { return station().modeSwitch(); }
    QString passwordFile() { return modeSwitch().passwordFilePath(); }
    QByteArray savedModeLine()
    {
        return readAll(station().configFile().filePath()).split('\n').value(1);
    }
    bool inEnrollLayout()
    {
        return state().enrollMode() && state().laidOutMode() == StationState::Mode::Enroll &&
               state().targetFrameShown() &&
               station().udpRx().state() == QAbstractSocket::UnconnectedState;
    }
    bool inReadLayout()
    {
        return state().readMode() && state().laidOutMode() == StationState::Mode::Read &&
               !state().targetFrameShown() &&
               station().udpRx().state() == QAbstractSocket::BoundState &&
               station().udpRx().localPort() == station().options().udpPort;
    }
    // The operator's click on enroll mode: the button is checked, then its handler runs.
    void clickEnrollMode()
    {
        state().setMode(StationState::Mode::Enroll);
        modeSwitch().SW_MODE_Click(0);
    }
    void typePasswordAndPressEnter(const QString &text)
    {
        state().setPasswordText(text);
        modeSwitch().INP_PASSWORD_KeyPress();
    }

    HeadlessStationFixture f;
};

} // namespace

class ModeSwitchTest : public QObject
{
    Q_OBJECT
private slots:
    void firstEnrollWithAnEmptyAnswerNeedsNoPasswordFromThenOn();
    void aPasswordOfThreeBlanksIsShownAndStoredEmpty();
    void storedPasswordIsAcceptedInAnyCaseAndWithBlanks_data();
    void storedPasswordIsAcceptedInAnyCaseAndWithBlanks();
    void passwordInAnyScriptOpensEnrollModeAfterARestart_data();
    void passwordInAnyScriptOpensEnrollModeAfterARestart();
    void wrongPasswordStaysInReadModeAndSavesIt();
    void readModeShowsTheOwnAddressAndListens();
    void beforeTheWindowIsShownEnrollModeIsLaidOutAsReadMode();
    void resetPasswordAsksFirst_data();
    void resetPasswordAsksFirst();
    void leavingThePrefixOrSuffixSavesTheFile();
};

void ModeSwitchTest::firstEnrollWithAnEmptyAnswerNeedsNoPasswordFromThenOn()
{
    TestStation s;
    s.f.dialogs.answerInput(QString());

    s.modeSwitch().select(0);

    QCOMPARE(s.f.dialogs.shown().size(), 1);
    QCOMPARE(s.f.dialogs.shown()[0].text, kDefinePrompt);
    QCOMPARE(s.f.dialogs.shown()[0].title, QStringLiteral("Define the Password"));
    QCOMPARE(readAll(s.passwordFile()), QByteArray("\r\n"));
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(s.savedModeLine(), QByteArray(" 0 \r"));

    s.modeSwitch().select(1);
    QVERIFY(s.inReadLayout());
    QCOMPARE(s.savedModeLine(), QByteArray(" 1 \r"));
    s.clickEnrollMode();
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(s.f.dialogs.shown().size(), 1);
    QVERIFY(!s.state().passwordPrompt());
    QVERIFY(s.state().passwordResetOffered());
}

void ModeSwitchTest::aPasswordOfThreeBlanksIsShownAndStoredEmpty()
{
    TestStation s;
    s.f.dialogs.answerInput(QStringLiteral("   "));

    s.modeSwitch().select(0);

    QCOMPARE(s.f.dialogs.shown().size(), 2);
    const auto &important = s.f.dialogs.shown()[1];
    QCOMPARE(important.text, QStringLiteral("Important: Take in note this Password:    "));
    QCOMPARE(important.title, QStringLiteral("Important"));
    QCOMPARE(important.icon, Dialogs::Icon::Exclamation);
    QCOMPARE(readAll(s.passwordFile()), QByteArray("\r\n"));
    QVERIFY(s.inEnrollLayout());
}

void ModeSwitchTest::storedPasswordIsAcceptedInAnyCaseAndWithBlanks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("same") << "Secret";
    QTest::newRow("other case") << "sECRET";
    QTest::newRow("blanks around") << "  secret  ";
}

void ModeSwitchTest::storedPasswordIsAcceptedInAnyCaseAndWithBlanks()
{
    QFETCH(QString, typed);
    TestStation s;
    QVERIFY(writeAll(s.passwordFile(), "Secret\r\n"));

    // Choosing enroll mode checks the empty box first: read mode, the password frame waits.
    s.clickEnrollMode();
    QVERIFY(s.inReadLayout());
    QVERIFY(s.state().passwordPrompt());

    s.typePasswordAndPressEnter(typed);

    QVERIFY(s.inEnrollLayout());
    QVERIFY(!s.state().passwordPrompt());
    QVERIFY(s.state().passwordResetOffered());
    QCOMPARE(s.savedModeLine(), QByteArray(" 0 \r"));
    QCOMPARE(s.f.dialogs.shown().size(), 0);
    QCOMPARE(readAll(s.passwordFile()), QByteArray("Secret\r\n"));
}

void ModeSwitchTest::passwordInAnyScriptOpensEnrollModeAfterARestart_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("typedAfterRestart");
    QTest::newRow("euro sign") << QStringLiteral("\u20ac100") << QStringLiteral("\u20ac100");
    QTest::newRow("Cyrillic, other case") << QStringLiteral("\u041f\u0430\u0440\u043e\u043b\u044c")
                                          << QStringLiteral("\u043f\u0410\u0420\u041e\u041b\u042c");
    QTest::newRow("Greek") << QStringLiteral("\u03ba\u03bb\u03b5\u03b9\u03b4\u03af")
                           << QStringLiteral(" \u03ba\u03bb\u03b5\u03b9\u03b4\u03af ");
    QTest::newRow("Latin-1 letters")
        << QStringLiteral("d\u00e9j\u00e0") << QStringLiteral("D\u00c9J\u00c0");
}

// Defined as the operator defines it, then checked by a station started afresh: the one
// that was shown in the "Important" box opens enroll mode.
void ModeSwitchTest::passwordInAnyScriptOpensEnrollModeAfterARestart()
{
    QFETCH(QString, password);
    QFETCH(QString, typedAfterRestart);
    TestStation s;
    s.f.dialogs.answerInput(password);
    s.modeSwitch().select(0);
    QCOMPARE(s.f.dialogs.shown().size(), 2);
    QCOMPARE(s.f.dialogs.shown()[1].text,
             QStringLiteral("Important: Take in note this Password: ") + password);
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(readAll(s.passwordFile()), password.toUtf8() + "\r\n");

    TestStation restarted;
    QVERIFY(QFile::copy(s.passwordFile(), restarted.passwordFile()));
    restarted.clickEnrollMode();
    QVERIFY(restarted.inReadLayout()); // the password frame waits
    restarted.typePasswordAndPressEnter(typedAfterRestart);
    QVERIFY(restarted.inEnrollLayout());
    QCOMPARE(restarted.f.dialogs.shown().size(), 0);
}

void ModeSwitchTest::wrongPasswordStaysInReadModeAndSavesIt()
{
    TestStation s;
    QVERIFY(writeAll(s.passwordFile(), "Secret\r\n"));
    s.clickEnrollMode();
    s.state().setPasswordText(QStringLiteral("Secrets"));

    s.modeSwitch().B_OK_PASSWORD_Click();

    QVERIFY(s.inReadLayout());
    QVERIFY(s.state().passwordPrompt());
    QVERIFY(!s.state().passwordResetOffered());
    QCOMPARE(s.state().passwordText(), QString());
    QCOMPARE(s.savedModeLine(), QByteArray(" 1 \r"));
    QCOMPARE(s.f.dialogs.shown().size(), 0);
}

void ModeSwitchTest::readModeShowsTheOwnAddressAndListens()
{
    TestStation s;
    s.modeSwitch().select(1);

    QVERIFY(s.inReadLayout());
    const QHostAddress own(s.state().lastUser().source);
    QCOMPARE(own.protocol(), QAbstractSocket::IPv4Protocol);
    QCOMPARE(s.state().lastUser().source, ModeSwitch::ownAddress());

    // Datagrams to the port arrive at UDP_RX and are handled.
    s.f.enableLog();
    QUdpSocket sender;
    sender.writeDatagram("ping", QHostAddress::LocalHost, s.station().options().udpPort);
    QTRY_VERIFY(s.f.logBytes().contains(" RX_UDP: [112][105][110][103]\r\n"));
}

void ModeSwitchTest::beforeTheWindowIsShownEnrollModeIsLaidOutAsReadMode()
{
    HeadlessStationFixture f(freeUdpPort());
    f.station().modeSwitch().select(0);

    QVERIFY(f.state().enrollMode());
    QCOMPARE(f.state().laidOutMode(), StationState::Mode::Read);
    QCOMPARE(f.station().udpRx().state(), QAbstractSocket::BoundState);
    QCOMPARE(f.dialogs.shown().size(), 0);
    QVERIFY(!QFile::exists(f.station().modeSwitch().passwordFilePath()));
}

void ModeSwitchTest::resetPasswordAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No changes nothing") << false;
    QTest::newRow("Yes asks for a new password") << true;
}

void ModeSwitchTest::resetPasswordAsksFirst()
{
    QFETCH(bool, yes);
    TestStation s;
    QVERIFY(writeAll(s.passwordFile(), "Secret\r\n"));
    s.state().setPasswordText(QStringLiteral("secret"));
    s.modeSwitch().select(0);
    QVERIFY(s.inEnrollLayout());
    QVERIFY(s.state().passwordResetOffered());

    s.f.dialogs.answerMessage(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
    s.f.dialogs.answerInput(QStringLiteral("new"));
    s.modeSwitch().B_RESET_PASSWORD_Click();

    const auto &shown = s.f.dialogs.shown();
    QCOMPARE(shown[0].text, QStringLiteral("Do you want Reset the password ?"));
    QCOMPARE(shown[0].title, QStringLiteral("Reset Password"));
    QCOMPARE(shown[0].buttons, Dialogs::Buttons::YesNo);
    QVERIFY(s.inEnrollLayout());
    if (!yes) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(readAll(s.passwordFile()), QByteArray("Secret\r\n"));
        QVERIFY(s.state().passwordResetOffered());
        return;
    }
    QCOMPARE(shown.size(), 3); // the question, the new password, "Important"
    QCOMPARE(shown[1].title, QStringLiteral("Define the Password"));
    QCOMPARE(shown[2].text, QStringLiteral("Important: Take in note this Password: new"));
    QCOMPARE(readAll(s.passwordFile()), QByteArray("new\r\n"));
    QVERIFY(!s.state().passwordResetOffered());
}

void ModeSwitchTest::leavingThePrefixOrSuffixSavesTheFile()
{
    TestStation s;
    const QString cfg = s.station().configFile().filePath();
    for (const bool prefix : {true, false}) {
        QFile::remove(cfg);
        if (prefix) {
            s.state().setPrefix(QStringLiteral("{F1}"));
            s.modeSwitch().INP_PREFIX_LostFocus();
        } else {
            s.state().setSuffix(QStringLiteral("{F2}"));
            s.modeSwitch().INP_SUFFIX_LostFocus();
        }
        const QList<QByteArray> lines = readAll(cfg).split('\n');
        QCOMPARE(lines.value(2), s.state().prefix().toLatin1() + "\r");
        QCOMPARE(lines.value(3), s.state().suffix().toLatin1() + "\r");
    }
}

QTEST_GUILESS_MAIN(ModeSwitchTest)
#include "tst_mode_switch.moc"
