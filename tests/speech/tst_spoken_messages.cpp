// What a blind operator hears while enrolling a user, with Orca listening and its speech
// written to speech-dispatcher's log (the test runs under with-screen-reader). The operator
// only types the user number and presses Enroll; every message of the banner and the link
// status must be spoken by themselves, with nothing done to look for them.
#include "config/ModeSwitch.h"
#include "link/Supervision.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "unit-sim/SimulatedUnit.h"

#include <QAccessible>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// Reads what Orca hands to speech as speech-dispatcher logs it ("'symbols.dic' translated
// 'TEXT' to ..."), a little at a time: the log grows by megabytes, and the station must keep
// answering the screen reader's questions while the test listens.
class SpeechLog
{
public:
    explicit SpeechLog(const QString &path) : m_file(path) {}

    // Everything spoken so far, in order.
    const QStringList &texts()
    {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
            return m_texts;
        m_pending += m_file.readAll();
        const qsizetype lastEnd = m_pending.lastIndexOf('\n');
        if (lastEnd < 0)
            return m_texts;
        const QByteArray marker = "translated '";
        for (const QByteArray &line : m_pending.left(lastEnd).split('\n')) {
            const qsizetype at = line.indexOf(marker);
            if (at < 0)
                continue;
            const qsizetype from = at + marker.size();
            const qsizetype to = line.indexOf("' to", from);
            m_texts << QString::fromUtf8(line.mid(from, to < 0 ? -1 : to - from));
        }
        m_pending.remove(0, lastEnd + 1);
        return m_texts;
    }

private:
    QFile m_file;
    QByteArray m_pending;
    QStringList m_texts;
};

} // namespace

class SpokenMessagesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SpeechLog> m_log;
    qsizetype m_heardBefore = 0;

    // Waits until something spoken since the last call contains the text.
    bool heard(const QString &text, int timeoutMs = 120000)
    {
        QDeadlineTimer deadline(timeoutMs);
        do {
            const QStringList texts = m_log->texts().mid(m_heardBefore);
            for (const QString &t : texts)
                if (t.contains(text, Qt::CaseInsensitive))
                    return true;
            QTest::qWait(100);
        } while (!deadline.hasExpired());
        qWarning().noquote() << "Heard instead:" << m_log->texts().mid(m_heardBefore);
        return false;
    }

    // A key of the screen reader's own, pressed as the operator presses it.
    static void pressReviewKey(const char *key)
    {
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                                   {QStringLiteral("key"), QString::fromLatin1(key)}),
                 0);
    }

    // The operator reviews the window line by line (flat review: keypad minus, then keypad 7
    // for the line above and 9 for the line below) while the banner asks for the finger: its
    // two lines are read as two lines, not mixed with the controls the banner is laid over.
    void bannerLinesAreReviewedAsLinesOfTheirOwn(F_MAIN &w)
    {
        w.TIM_HIDE_MSG->stop(); // the countdown waits for the operator
        m_heardBefore = m_log->texts().size();
        pressReviewKey("KP_Subtract");
        QVERIFY(heard(QStringLiteral("Entering flat review")));
        for (int i = 0; i < 6; ++i) {
            pressReviewKey("KP_Home");
            QTest::qWait(300);
        }
        QStringList lines;
        for (int i = 0; i < 8 && !lines.contains(QStringLiteral("User Enrollment")); ++i) {
            const qsizetype before = m_log->texts().size();
            pressReviewKey("KP_Page_Up");
            QTRY_VERIFY_WITH_TIMEOUT(m_log->texts().size() > before, 30000);
            QTest::qWait(500);
            for (const QString &t : m_log->texts().mid(before))
                lines << t.simplified();
        }
        const QString firstLine =
            QStringLiteral("Place your finger on sensor and wait dot dot dot");
        const QString review = lines.join(QStringLiteral(" | "));
        QVERIFY2(lines.contains(firstLine) && lines.contains(QStringLiteral("User Enrollment")),
                 qPrintable(review));
        // The user number field lies under the banner: out of sight, out of the review.
        QVERIFY2(!review.contains(QStringLiteral("User Number")), qPrintable(review));
        pressReviewKey("KP_Subtract");
        QVERIFY(heard(QStringLiteral("Leaving flat review")));
        m_heardBefore = m_log->texts().size();
        w.TIM_HIDE_MSG->start();
    }

private slots:
    void initTestCase()
    {
        const QString log = qEnvironmentVariable("SPEECH_LOG");
        if (log.isEmpty())
            QSKIP("Runs with a screen reader listening (tests/speech/with-screen-reader)");
        m_log = std::make_unique<SpeechLog>(log);
    }

    void theEnrollmentIsSpokenAsItHappens()
    {
        StationFixture f(freeUdpPort());
        F_MAIN &w = f.w();
        SimulatedUnit unit;
        QVERIFY(unit.listenSerial(f.folder() + QStringLiteral("COM1")));
        w.supervision().selectLink(0);
        w.INP_SERIAL_PORT->setText(QStringLiteral("1"));
        w.show();
        w.state().setStarted(true);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.modeSwitch().select(0); // enroll mode, as the operator chose it
        QVERIFY(w.INP_USER_NUMBER->isVisible());
        QVERIFY(QTest::qWaitFor([] { return QAccessible::isActive(); }));
        w.INP_USER_NUMBER->setFocus();
        QTest::qWait(1500); // Orca speaks the window and the focused field first
        m_heardBefore = m_log->texts().size();

        // The supervision opens the port and greets the unit; the banner counts down as in
        // the station.
        w.SERIAL_RX->start();
        w.TIM_HIDE_MSG->start();
        w.supervision().TIM_SERIAL_CONNECT_Timer();
        QTRY_COMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
        QVERIFY(heard(QStringLiteral("Connected")));
        QVERIFY(heard(QStringLiteral("Communication with Trelvane source unit established")));
        // The greeting's banner goes by itself; the window takes input again.
        QTRY_VERIFY_WITH_TIMEOUT(w.isEnabled(), 10000);

        m_heardBefore = m_log->texts().size();
        QTRY_VERIFY(w.INP_USER_NUMBER->isEnabled());
        w.INP_USER_NUMBER->setFocus();
        QTest::keyClicks(w.INP_USER_NUMBER, QStringLiteral("4321"));
        // With a screen reader listening, Qt hands each key to it first and acts on the key
        // once the screen reader has answered that it keeps none.
        QTRY_COMPARE_WITH_TIMEOUT(w.INP_USER_NUMBER->text(), QStringLiteral("4321"), 60000);
        QCOMPARE(w.AFF_SERIAL_STATUS->text(), QStringLiteral("Connected"));
        // The operator moves to the button and listens to what it says before pressing it.
        QTest::keyClick(w.INP_USER_NUMBER, Qt::Key_Tab);
        QTRY_VERIFY_WITH_TIMEOUT(w.B_USER_ENROLL->hasFocus(), 60000);
        QVERIFY(heard(QStringLiteral("Enroll user")));
        m_heardBefore = m_log->texts().size();
        QTest::keyClick(w.B_USER_ENROLL, Qt::Key_Space);
        QTRY_COMPARE(w.AFF_MSG[0]->text(),
                     QStringLiteral("Place your finger on sensor and wait ..."));
        QVERIFY(heard(QStringLiteral("Place your finger on sensor and wait")));
        bannerLinesAreReviewedAsLinesOfTheirOwn(w);
        unit.finger(4321, {61, 90});
        QVERIFY(heard(QStringLiteral("Remove your finger from the sensor")));
        QVERIFY(heard(QStringLiteral("Enrollment and Synchronization Complete")));
    }
};

QTEST_MAIN(SpokenMessagesTest)
#include "tst_spoken_messages.moc"
