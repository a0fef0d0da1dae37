// Read mode end to end on a real X display with a window manager: a simulated unit on a
// pseudo-terminal recognises users, the station types them through XTest into a terminal
// window of another process, and the terminal's input is checked byte for byte.
#include "link/KeyboardWedge.h"
#include "link/SerialLink.h"
#include "platform/XTestKeyboard.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// A station in read mode on the serial side of a simulated unit, typing through XTest.
struct ReadingStation
{
    ReadingStation() : f(freeUdpPort())
    {
        f.w().keyboardWedge().setKeyboardOutput(&keyboard);
        const QString link = f.folder() + QStringLiteral("COM3");
        linked = unit.listenSerial(link);
        f.w().SW_COMM[0]->setChecked(true);
        f.w().SW_MODE[1]->setChecked(true);
        f.w().Serial->setDevicePath(link);
        linked = linked && f.w().Serial->open();
        f.w().SERIAL_RX->start(); // the receive poll, as in the program
    }
    F_MAIN &w() { return f.w(); }

    XTestKeyboard keyboard; // outlives the station, which may still hold a key of it
    StationFixture f;
    SimulatedUnit unit;
    bool linked = false;
};

} // namespace

class WedgeTypingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_typed; // the file the terminal writes its input to
    QProcess m_terminal;
    QString m_terminalWindow;
    qint64 m_seen = 0;
    std::unique_ptr<ReadingStation> s;

    void focusTerminal()
    {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_terminalWindow});
    }
    // What the terminal received since the last call, once nothing more arrives.
    QByteArray newInput(qsizetype atLeast, int settleMs = 300)
    {
        QFile file(m_typed);
        (void)QTest::qWaitFor([&] { return QFile(m_typed).size() >= m_seen + atLeast; }, 5000);
        QTest::qWait(settleMs);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        file.seek(m_seen);
        const QByteArray bytes = file.readAll();
        m_seen += bytes.size();
        return bytes;
    }
    bool typingEnds()
    {
        KeyboardWedge &wedge = s->w().keyboardWedge();
        return QTest::qWaitFor([&] { return !wedge.isTyping() && !wedge.waitingUsers(); }, 10000);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("Needs an X display with a window manager (scripts/with-display).");
        for (const char *tool : {"xterm", "xdotool", "setxkbmap"})
            QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
                     "missing tool: run scripts/setup");
        m_typed = m_dir.filePath(QStringLiteral("typed"));
        // Raw and without echo: every byte a key produces lands in the file as it is.
        m_terminal.start(QStringLiteral("xterm"),
                         {QStringLiteral("-u8"), QStringLiteral("-name"),
                          QStringLiteral("trelvanetarget"), QStringLiteral("-T"),
                          QStringLiteral("Typing target"), QStringLiteral("-e"),
                          QStringLiteral("sh"), QStringLiteral("-c"),
                          QStringLiteral("stty raw -echo; exec cat > '%1'").arg(m_typed)});
        QVERIFY(m_terminal.waitForStarted());
        QVERIFY(QTest::qWaitFor([this] { return QFile::exists(m_typed); }, 10000));
        m_terminalWindow = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--sync"),
                                QStringLiteral("--classname"), QStringLiteral("trelvanetarget")})
                               .split(QLatin1Char('\n'))
                               .value(0);
        QVERIFY(!m_terminalWindow.isEmpty());
    }
    void cleanupTestCase()
    {
        m_terminal.terminate();
        m_terminal.waitForFinished(3000);
    }
    void init()
    {
        s = std::make_unique<ReadingStation>();
        QVERIFY(s->linked);
        QVERIFY2(s->keyboard.isAvailable(), qPrintable(s->keyboard.unavailableReason()));
        focusTerminal();
        QCOMPARE(s->keyboard.focusedWindow(), WId(m_terminalWindow.toULongLong()));
    }
    void cleanup() { s.reset(); }

    void typesTheUserBetweenPrefixAndSuffixIntoTheFocusedTerminal_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("default settings") << ""
                                          << "{ENTER}" << QByteArray("12345\r");
        QTest::newRow("levels, groups, named keys") << "ID:+(ab)"
                                                    << "{TAB}~" << QByteArray("ID:AB12345\t\r");
        QTest::newRow("control key") << "^a"
                                     << ""
                                     << QByteArray("\x01"
                                                   "12345");
        QTest::newRow("characters the layout lacks") << QString::fromUtf8("€ß") << "{ENTER}"
                                                     << QByteArray("\xe2\x82\xac\xc3\x9f"
                                                                   "12345\r");
    }
    void typesTheUserBetweenPrefixAndSuffixIntoTheFocusedTerminal()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        QFETCH(QByteArray, bytes);
        s->w().INP_PREFIX->setText(prefix);
        s->w().INP_SUFFIX->setText(suffix);
        s->unit.finger(12345);
        QVERIFY(QTest::qWaitFor([&] { return s->w().AFF_LST_USER->text() == "12345"; }));
        QVERIFY(typingEnds());
        QCOMPARE(newInput(bytes.size()), bytes);
        // A key code given a character for the sequence is given back after it.
        QVERIFY(QTest::qWaitFor([] {
            return !run(QStringLiteral("xkbcomp"),
                        {QStringLiteral("-xkb"), qEnvironmentVariable("DISPLAY"),
                         QStringLiteral("-")})
                        .contains(QLatin1String("EuroSign"));
        }));
    }

    void ownWindowInFrontTypesNothing()
    {
        s->w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&s->w()));
        run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                        QString::number(s->w().winId())});
        QVERIFY(QTest::qWaitFor([&] { return s->keyboard.focusedWindow() == s->w().winId(); }));
        s->unit.finger(12345);
        QVERIFY(QTest::qWaitFor([&] { return s->w().AFF_LST_USER->text() == "12345"; }));
        QCOMPARE(s->w().INP_USER_NUMBER->text(), QStringLiteral("12345"));
        QVERIFY(!s->w().keyboardWedge().isTyping()); // not started: its keys would land here
        QCOMPARE(newInput(0, 300), QByteArray());
        QCOMPARE(s->w().INP_USER_NUMBER->text(), QStringLiteral("12345")); // nothing typed here
    }

    void frenchLayoutTypesDigitsAndAccentsRight()
    {
        // The layout of the display is put back whatever happens.
        QString layout = QStringLiteral("us");
        for (const QString &line :
             run(QStringLiteral("setxkbmap"), {QStringLiteral("-query")}).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("layout:")))
                layout = line.mid(7).trimmed();
        const auto restore = qScopeGuard([layout] { run(QStringLiteral("setxkbmap"), {layout}); });
        run(QStringLiteral("setxkbmap"), {QStringLiteral("fr")});
        QVERIFY(run(QStringLiteral("setxkbmap"), {QStringLiteral("-query")})
                    .contains(QLatin1String("fr")));
        s->w().INP_PREFIX->setText(QString::fromUtf8("aé€q"));
        s->unit.finger(1234567890);
        QVERIFY(typingEnds());
        QCOMPARE(newInput(15), QByteArray("a\xc3\xa9\xe2\x82\xacq1234567890\r"));
    }

    void usersReadInQuickSuccessionAreTypedOneAfterTheOther()
    {
        s->unit.finger(111);
        QVERIFY(QTest::qWaitFor([&] { return s->w().AFF_LST_USER->text() == "111"; }));
        s->unit.finger(222); // while 111 is being typed
        QVERIFY(QTest::qWaitFor([&] { return s->w().AFF_LST_USER->text() == "222"; }));
        s->unit.finger(333);
        QVERIFY(typingEnds());
        QCOMPARE(newInput(12), QByteArray("111\r222\r333\r"));
    }

    void capsLockOnLeavesTheCaseAsWritten()
    {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Caps_Lock")});
        const auto off = qScopeGuard([] {
            run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Caps_Lock")});
        });
        s->w().INP_PREFIX->setText(QStringLiteral("aB"));
        s->unit.finger(5);
        QVERIFY(typingEnds());
        QCOMPARE(newInput(4), QByteArray("aB5\r"));
    }

    void shiftHeldByTheOperatorDoesNotLeakIntoTheNumber()
    {
        run(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("shift")});
        auto release = qScopeGuard([] {
            run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("shift")});
        });
        s->unit.finger(12);
        QTest::qWait(200);
        QVERIFY(s->w().keyboardWedge().isTyping()); // waiting for the key to be released
        release.dismiss();
        run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("shift")});
        QVERIFY(typingEnds());
        QCOMPARE(newInput(3), QByteArray("12\r"));
    }
};

QTEST_MAIN(WedgeTypingTest)
#include "tst_wedge_typing.moc"
