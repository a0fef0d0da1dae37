// Read mode typing into a GTK text field of another process, with a keyboard layout that
// lacks the prefix's characters in its active group (Russian first, US second): those go on
// key codes the station lends them. GTK looks a key code up in the server's key map when it
// handles the key, not when the map changes, so a code given back before GTK read its key
// arrives without its character. Each user read must arrive whole, and the key map must be
// left exactly as it was found.
#include "link/KeyboardWedge.h"
#include "link/SerialLink.h"
#include "platform/XTestKeyboard.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The X11 headers come last: they define macros (None, Bool, Status) that clash with Qt's.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

// The whole key map of the display in a form that names every key, type and group.
QByteArray keymap()
{
    return run(QStringLiteral("xkbcomp"),
               {QStringLiteral("-xkb"), qEnvironmentVariable("DISPLAY"), QStringLiteral("-")});
}

QString firstLineDiffering(const QByteArray &a, const QByteArray &b)
{
    const QList<QByteArray> la = a.split('\n'), lb = b.split('\n');
    for (qsizetype i = 0; i < std::max(la.size(), lb.size()); ++i)
        if (la.value(i) != lb.value(i))
            return QStringLiteral("line %1: \"%2\" became \"%3\"")
                .arg(i + 1)
                .arg(QString::fromUtf8(la.value(i).trimmed()),
                     QString::fromUtf8(lb.value(i).trimmed()));
    return {};
}

// A station in read mode on a simulated unit, typing through XTest.
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
        f.w().SERIAL_RX->start();
        f.w().INP_SUFFIX->setText(QStringLiteral("{ENTER}"));
    }
    F_MAIN &w() { return f.w(); }
    bool typingEnds()
    {
        KeyboardWedge &wedge = w().keyboardWedge();
        return QTest::qWaitFor([&] { return !wedge.isTyping() && !wedge.waitingUsers(); }, 20000);
    }

    XTestKeyboard keyboard; // outlives the station, which may still hold a key of it
    StationFixture f;
    SimulatedUnit unit;
    bool linked = false;
};

} // namespace

class WedgeLateKeymapTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_savedKeymap; // the display's key map before the test, put back after it
    QString m_typed;       // one line per Enter typed into the GTK field
    QProcess m_gtk;
    QString m_gtkWindow;
    qsizetype m_seenLines = 0;

    void focusGtk(const XTestKeyboard &keyboard)
    {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_gtkWindow});
        QVERIFY(QTest::qWaitFor(
            [&] { return keyboard.focusedWindow() == WId(m_gtkWindow.toULongLong()); }));
    }
    // The lines the field wrote since the last call, once there are at least n.
    QStringList typedLines(qsizetype n)
    {
        QStringList lines;
        (void)QTest::qWaitFor(
            [&] {
                QFile file(m_typed);
                lines = file.open(QIODevice::ReadOnly)
                            ? QString::fromUtf8(file.readAll())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                  .mid(m_seenLines)
                            : QStringList();
                return lines.size() >= n;
            },
            10000);
        m_seenLines += lines.size();
        return lines;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("Needs an X display with a window manager.");
        for (const char *tool : {"xdotool", "setxkbmap", "xkbcomp"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/setup installs it)")
                                     .arg(QLatin1String(tool))));
        int gtk = -1;
        run(kPython,
            {QStringLiteral("-c"), QStringLiteral("import gi; gi.require_version('Gtk', '3.0'); "
                                                  "from gi.repository import Gtk")},
            &gtk);
        if (gtk != 0)
            QSKIP("GTK 3 for Python is not installed (python3-gi and gir1.2-gtk-3.0; "
                  "scripts/setup installs them)");

        m_savedKeymap = m_dir.filePath(QStringLiteral("saved.xkb"));
        QFile saved(m_savedKeymap);
        QVERIFY(saved.open(QIODevice::WriteOnly));
        const QByteArray original = keymap();
        QVERIFY(original.contains("xkb_keymap"));
        saved.write(original);
        saved.close();

        m_typed = m_dir.filePath(QStringLiteral("typed"));
        // Each entry keeps the field busy for a moment, as a form that looks it up would.
        m_gtk.start(kPython, {QFINDTESTDATA("gtk-entry.py"), m_typed, QStringLiteral("300")});
        QVERIFY(m_gtk.waitForStarted());
        QVERIFY(QTest::qWaitFor([this] { return QFile::exists(m_typed + ".ready"); }, 15000));
        m_gtkWindow =
            QString::fromLatin1(run(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--sync"),
                                     QStringLiteral("--classname"), QStringLiteral("trelvanegtk")}))
                .split(QLatin1Char('\n'))
                .value(0);
        QVERIFY(!m_gtkWindow.isEmpty());
    }
    void cleanupTestCase()
    {
        m_gtk.terminate();
        if (!m_gtk.waitForFinished(3000)) {
            m_gtk.kill();
            m_gtk.waitForFinished(3000);
        }
        // The display's key map as it was, whatever happened.
        if (!m_savedKeymap.isEmpty() && QFile::exists(m_savedKeymap))
            run(QStringLiteral("xkbcomp"), {m_savedKeymap, qEnvironmentVariable("DISPLAY")});
    }

    void init()
    {
        QFile::remove(m_typed);
        m_seenLines = 0;
    }

    void everyReadArrivesWholeAndTheKeymapIsLeftAsFound()
    {
        // Russian active: "I", "D" and "#" are only in the second group.
        run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("ru,us")});
        QVERIFY(run(QStringLiteral("setxkbmap"), {QStringLiteral("-query")}).contains("ru,us"));
        const QByteArray before = keymap();

        ReadingStation s;
        QVERIFY(s.linked);
        QVERIFY2(s.keyboard.isAvailable(), qPrintable(s.keyboard.unavailableReason()));
        F_MAIN &w = s.w();
        w.INP_PREFIX->setText(QStringLiteral("ID#"));
        focusGtk(s.keyboard);

        // Fingers one after the other, as at a door: each read is queued behind the last.
        QStringList expected;
        for (int user = 1001; user <= 1020; ++user) {
            s.unit.finger(quint32(user));
            QVERIFY(
                QTest::qWaitFor([&] { return w.AFF_LST_USER->text() == QString::number(user); }));
            expected << QStringLiteral("ID#%1").arg(user);
            if (user % 5 == 0) // now and then the station falls idle between reads
                QVERIFY(s.typingEnds());
        }
        QVERIFY(s.typingEnds());
        QCOMPARE(typedLines(expected.size()), expected);

        // The lent key codes go back once typing has been idle, and nothing else changed.
        QByteArray after;
        (void)QTest::qWaitFor(
            [&] {
                after = keymap();
                return after == before;
            },
            5000);
        QVERIFY2(after == before, qPrintable(firstLineDiffering(before, after)));
    }

    // More different missing characters in one sequence than free key codes: a code lent
    // one character is never lent another while its key may still be read, so the typing
    // stops before the character that has no code left, and says why.
    void runningOutOfFreeKeyCodesStopsTheSequenceBeforeAWrongCharacter()
    {
        run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us")});
        {
            // Leaves two free key codes: every other one is given a key nobody types here.
            Display *dpy = XOpenDisplay(nullptr);
            QVERIFY(dpy);
            XkbDescPtr xkb = XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd);
            QVERIFY(xkb);
            int left = 2;
            for (int code = xkb->max_key_code; code >= xkb->min_key_code; --code) {
                if (XkbKeyNumSyms(xkb, code) != 0 || xkb->map->modmap[code] != 0)
                    continue;
                if (left > 0) {
                    --left;
                    continue;
                }
                KeySym filler = XK_F35;
                XChangeKeyboardMapping(dpy, code, 1, &filler, 1);
            }
            XkbFreeKeyboard(xkb, 0, True);
            XSync(dpy, False);
            XCloseDisplay(dpy);
        }
        const QByteArray filled = keymap();

        ReadingStation s;
        QVERIFY(s.linked);
        s.f.enableLog();
        s.w().INP_PREFIX->setText(QString::fromUtf8("€ßÆ"));
        focusGtk(s.keyboard);
        s.unit.finger(77);
        QVERIFY(QTest::qWaitFor([&] { return s.w().AFF_LST_USER->text() == "77"; }));
        QVERIFY(s.typingEnds());
        bool said = false;
        for (const QString &line : s.f.logLines())
            said =
                said || line.contains(QLatin1String("User 77: typing stopped after 2 of 6 keys"));
        // What was typed is right: the field holds the first two characters only.
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        QCOMPARE(typedLines(1), QStringList{QString::fromUtf8("€ß")});
        QVERIFY2(said, qPrintable(s.f.logLines().join(QLatin1Char('\n'))));

        QByteArray after;
        (void)QTest::qWaitFor(
            [&] {
                after = keymap();
                return after == filled;
            },
            5000);
        QVERIFY2(after == filled, qPrintable(firstLineDiffering(filled, after)));
        run(QStringLiteral("xkbcomp"), {m_savedKeymap, qEnvironmentVariable("DISPLAY")});
    }
};

QTEST_MAIN(WedgeLateKeymapTest)
#include "tst_wedge_late_keymap.moc"
