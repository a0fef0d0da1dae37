// Read mode's typing: how soon after the last byte of a user frame the first key event is
// sent, and how evenly the keys of a sequence are spaced against the configured pause.
// The frames come from a pseudo-terminal, the receive poll is scheduled as in the program.
//
//   bench_wedge           keys go to a recording keyboard (no display needed)
//   bench_wedge --xtest   keys are really sent through XTest; run it under
//                         scripts/with-display, where no window of yours has the focus
#include "link/Frame.h"
#include "link/KeyboardWedge.h"
#include "platform/ScriptedKeyboard.h"
#include "support/FreePort.h"
#include "support/StationFixture.h"
#include "util/TextNumber.h"
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include "platform/XTestKeyboard.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Stamps the moment each key has been handed to the desktop.
class TimingKeyboard final : public KeyboardOutput
{
public:
    TimingKeyboard(KeyboardOutput &inner, const QElapsedTimer &clock)
        : m_inner(inner), m_clock(clock)
    {}
    QString unavailableReason() const override { return m_inner.unavailableReason(); }
    WId focusedWindow() const override { return m_inner.focusedWindow(); }
    Result type(const KeyActions &actions) override
    {
        const Result r = m_inner.type(actions);
        if (r == Result::Ok)
            sentNs.append(m_clock.nsecsElapsed());
        return r;
    }
    QString lastError() const override { return m_inner.lastError(); }
    void sequenceEnded() override { m_inner.sequenceEnded(); }

    QList<qint64> sentNs;

private:
    KeyboardOutput &m_inner;
    const QElapsedTimer &m_clock;
};

QByteArray userFrame(quint32 user)
{
    QByteArray body = QByteArray::fromHex("4011000000000000000061");
    body.replace(2, 4, *USER_NUMBER_TO_BYTES(user));
    return Frame::frame(body);
}

void serve(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures
{
    double median, p95, worst, mean;
};

Figures figures(QList<double> v)
{
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v)
        sum += x;
    return {v[v.size() / 2], v[int(v.size() * 0.95)], v.last(), sum / v.size()};
}

} // namespace

int main(int argc, char *argv[])
{
    const bool xtest = argc > 1 && qstrcmp(argv[1], "--xtest") == 0;
    if (!xtest && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StationFixture f(freeUdpPort());
    if (!f.openSerialPeer())
        return 1;
    std::unique_ptr<KeyboardOutput> desktop;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (xtest)
        desktop = std::make_unique<XTestKeyboard>();
#endif
    if (xtest && (!desktop || !desktop->isAvailable())) {
        std::fprintf(stderr, "XTest cannot type here: %s\n",
                     desktop ? qPrintable(desktop->unavailableReason()) : "not built");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    TimingKeyboard keyboard(desktop ? *desktop : static_cast<KeyboardOutput &>(f.keyboard), clock);
    KeyboardWedge &wedge = f.w().keyboardWedge();
    wedge.setKeyboardOutput(&keyboard);
    f.w().SW_MODE[1]->setChecked(true);
    f.w().SERIAL_RX->start();
    auto typingEnds = [&] {
        while (wedge.isTyping() || wedge.waitingUsers())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        serve(KeyboardWedge::kSequenceGapMs + 5);
    };
    const char *via = xtest ? "XTest" : "recording keyboard";

    // Latency: the frame's bytes are written to the line at once; the clock starts when the
    // write has returned, so the figure is an upper bound of the station's own share.
    f.w().INP_PREFIX->clear();
    f.w().INP_SUFFIX->clear();
    QList<double> latencyMs;
    for (int i = 0; i < 100; ++i) {
        serve(5);
        const qsizetype before = keyboard.sentNs.size();
        f.peer().write(userFrame(10000 + i));
        const qint64 start = clock.nsecsElapsed();
        while (keyboard.sentNs.size() == before && clock.nsecsElapsed() - start < 1'000'000'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        if (keyboard.sentNs.size() > before)
            latencyMs.append((keyboard.sentNs[before] - start) / 1e6);
        typingEnds();
    }
    const Figures l = figures(latencyMs);
    std::printf("User frame's last byte to the first key event sent (%d reads, %s): median "
                "%.3f ms, 95th %.3f ms, worst %.3f ms\n",
                int(latencyMs.size()), via, l.median, l.p95, l.worst);

    // Spacing: a 200-key prefix with the default pause, then a pause of the notation.
    for (const QString &prefix : {QString(200, QLatin1Char('x')), QStringLiteral("a{DELAY 50}b")}) {
        f.w().INP_PREFIX->setText(prefix);
        keyboard.sentNs.clear();
        f.peer().write(userFrame(1));
        while (keyboard.sentNs.isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        typingEnds();
        QList<double> gaps;
        for (qsizetype i = 1; i < keyboard.sentNs.size(); ++i)
            gaps.append((keyboard.sentNs[i] - keyboard.sentNs[i - 1]) / 1e6);
        if (prefix.size() > 100) {
            const Figures g = figures(gaps);
            std::printf("Spacing of %d key events, pause %d ms (%s): median %.3f ms, mean %.3f "
                        "ms, 95th %.3f ms, worst %.3f ms, shortest %.3f ms\n",
                        int(keyboard.sentNs.size()), wedge.keyPauseMs(), via, g.median, g.mean,
                        g.p95, g.worst, *std::min_element(gaps.begin(), gaps.end()));
        } else {
            std::printf("{DELAY 50} between two keys (%s): %.3f ms from key to key\n", via,
                        gaps.value(0));
        }
    }
    wedge.setKeyboardOutput(&f.keyboard); // the timing keyboard ends before the station
    return 0;
}
