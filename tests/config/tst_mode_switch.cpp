#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUdpSocket>

namespace {

const QString kDefinePrompt = QStringLiteral(
    "Please define the Enroll password:\r\n* Just click on OK to not use a Password");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A station past start-up (enroll mode needs it), its window shown, and a free UDP port.
struct TestStation
{
    TestStation() : f(freeUdpPort())
    {
        f.w().show();
        f.w().state().setStarted(true);
    }
    F_MAIN &w() { return f.w(); }
    QString passwordFile() { return w().modeSwitch().passwordFilePath(); }
    QByteArray savedModeLine() { return readAll(w().configFile().filePath()).split('\n').value(1); }
    bool inEnrollLayout()
    {
        return w().SW_MODE[0]->isChecked() && w().FR_MANAGE_USR->isVisibleTo(&w()) &&
               w().FR_TARGET->isVisibleTo(&w()) && !w().FR_READ_MODE->isVisibleTo(&w()) &&
               w().UDP_RX->state() == QAbstractSocket::UnconnectedState;
    }
    bool inReadLayout()
    {
        return w().SW_MODE[1]->isChecked() && !w().FR_MANAGE_USR->isVisibleTo(&w()) &&
               !w().FR_TARGET->isVisibleTo(&w()) && w().FR_READ_MODE->isVisibleTo(&w()) &&
               w().UDP_RX->state() == QAbstractSocket::BoundState &&
               w().UDP_RX->localPort() == w().options().udpPort;
    }
    void typePasswordAndPressEnter(const QString &text)
    {
        w().INP_PASSWORD->setText(text);
        QTest::keyClick(w().INP_PASSWORD, Qt::Key_Return);
    }

    StationFixture f;
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

    s.w().modeSwitch().select(0);

    QCOMPARE(s.f.dialogs.shown().size(), 1);
    QCOMPARE(s.f.dialogs.shown()[0].text, kDefinePrompt);
    QCOMPARE(s.f.dialogs.shown()[0].title, QStringLiteral("Define the Password"));
    QCOMPARE(readAll(s.passwordFile()), QByteArray("\r\n"));
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(s.savedModeLine(), QByteArray(" 0 \r"));

    s.w().modeSwitch().select(1);
    QVERIFY(s.inReadLayout());
    QCOMPARE(s.savedModeLine(), QByteArray(" 1 \r"));
    s.w().SW_MODE[0]->click(); // the operator's click
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(s.f.dialogs.shown().size(), 1);
    QVERIFY(!s.w().FR_PASSWORD->isVisibleTo(&s.w()));
    QVERIFY(s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));
}

void ModeSwitchTest::aPasswordOfThreeBlanksIsShownAndStoredEmpty()
{
    TestStation s;
    s.f.dialogs.answerInput(QStringLiteral("   "));

    s.w().modeSwitch().select(0);

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
    s.w().SW_MODE[0]->click();
    QVERIFY(s.inReadLayout());
    QVERIFY(s.w().FR_PASSWORD->isVisibleTo(&s.w()));

    s.typePasswordAndPressEnter(typed);

    QVERIFY(s.inEnrollLayout());
    QVERIFY(!s.w().FR_PASSWORD->isVisibleTo(&s.w()));
    QVERIFY(s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));
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
    s.w().modeSwitch().select(0);
    QCOMPARE(s.f.dialogs.shown().size(), 2);
    QCOMPARE(s.f.dialogs.shown()[1].text,
             QStringLiteral("Important: Take in note this Password: ") + password);
    QVERIFY(s.inEnrollLayout());
    QCOMPARE(readAll(s.passwordFile()), password.toUtf8() + "\r\n");

    TestStation restarted;
    QVERIFY(QFile::copy(s.passwordFile(), restarted.passwordFile()));
    restarted.w().SW_MODE[0]->click();
    QVERIFY(restarted.inReadLayout()); // the password frame waits
    restarted.typePasswordAndPressEnter(typedAfterRestart);
    QVERIFY(restarted.inEnrollLayout());
    QCOMPARE(restarted.f.dialogs.shown().size(), 0);
}

void ModeSwitchTest::wrongPasswordStaysInReadModeAndSavesIt()
{
    TestStation s;
    QVERIFY(writeAll(s.passwordFile(), "Secret\r\n"));
    s.w().SW_MODE[0]->click();
    s.w().INP_PASSWORD->setText(QStringLiteral("Secrets"));

    QTest::mouseClick(s.w().B_OK_PASSWORD, Qt::LeftButton);

    QVERIFY(s.inReadLayout());
    QVERIFY(s.w().FR_PASSWORD->isVisibleTo(&s.w()));
    QVERIFY(!s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));
    QCOMPARE(s.w().INP_PASSWORD->text(), QString());
    QCOMPARE(s.savedModeLine(), QByteArray(" 1 \r"));
    QCOMPARE(s.f.dialogs.shown().size(), 0);
}

void ModeSwitchTest::readModeShowsTheOwnAddressAndListens()
{
    TestStation s;
    s.w().modeSwitch().select(1);

    QVERIFY(s.inReadLayout());
    const QHostAddress own(s.w().AFF_IP_SERVER->text());
    QCOMPARE(own.protocol(), QAbstractSocket::IPv4Protocol);
    QCOMPARE(s.w().AFF_IP_SERVER->text(), ModeSwitch::ownAddress());

    // Datagrams to the port arrive at UDP_RX and are handled.
    s.f.enableLog();
    QUdpSocket sender;
    sender.writeDatagram("ping", QHostAddress::LocalHost, s.w().options().udpPort);
    QTRY_VERIFY(s.f.logBytes().contains(" RX_UDP: [112][105][110][103]\r\n"));
}

void ModeSwitchTest::beforeTheWindowIsShownEnrollModeIsLaidOutAsReadMode()
{
    StationFixture f(freeUdpPort());
    f.w().modeSwitch().select(0);

    QVERIFY(f.w().SW_MODE[0]->isChecked());
    QVERIFY(f.w().FR_READ_MODE->isVisibleTo(&f.w()));
    QVERIFY(!f.w().FR_MANAGE_USR->isVisibleTo(&f.w()));
    QCOMPARE(f.w().UDP_RX->state(), QAbstractSocket::BoundState);
    QCOMPARE(f.dialogs.shown().size(), 0);
    QVERIFY(!QFile::exists(f.w().modeSwitch().passwordFilePath()));
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
    s.w().INP_PASSWORD->setText(QStringLiteral("secret"));
    s.w().modeSwitch().select(0);
    QVERIFY(s.inEnrollLayout());
    QVERIFY(s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));

    s.f.dialogs.answerMessage(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
    s.f.dialogs.answerInput(QStringLiteral("new"));
    QTest::mouseClick(s.w().B_RESET_PASSWORD, Qt::LeftButton);

    const auto &shown = s.f.dialogs.shown();
    QCOMPARE(shown[0].text, QStringLiteral("Do you want Reset the password ?"));
    QCOMPARE(shown[0].title, QStringLiteral("Reset Password"));
    QCOMPARE(shown[0].buttons, Dialogs::Buttons::YesNo);
    QVERIFY(s.inEnrollLayout());
    if (!yes) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(readAll(s.passwordFile()), QByteArray("Secret\r\n"));
        QVERIFY(s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));
        return;
    }
    QCOMPARE(shown.size(), 3); // the question, the new password, "Important"
    QCOMPARE(shown[1].title, QStringLiteral("Define the Password"));
    QCOMPARE(shown[2].text, QStringLiteral("Important: Take in note this Password: new"));
    QCOMPARE(readAll(s.passwordFile()), QByteArray("new\r\n"));
    QVERIFY(!s.w().B_RESET_PASSWORD->isVisibleTo(&s.w()));
}

void ModeSwitchTest::leavingThePrefixOrSuffixSavesTheFile()
{
    TestStation s;
    const QString cfg = s.w().configFile().filePath();
    for (QLineEdit *box : {s.w().INP_PREFIX, s.w().INP_SUFFIX}) {
        QFile::remove(cfg);
        box->setText(QStringLiteral("{F%1}").arg(box == s.w().INP_PREFIX ? 1 : 2));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &leave);
        const QList<QByteArray> lines = readAll(cfg).split('\n');
        QCOMPARE(lines.value(2), s.w().INP_PREFIX->text().toLatin1() + "\r");
        QCOMPARE(lines.value(3), s.w().INP_SUFFIX->text().toLatin1() + "\r");
    }
}

QTEST_MAIN(ModeSwitchTest)
#include "tst_mode_switch.moc"
