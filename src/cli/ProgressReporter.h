#pragma once

#include <QObject>
#include <QString>

class Clock;
class QTextStream;
class StationState;

// The banner of a program without a window: one line on standard error for each step the
// banner shows. A step is the two banner lines as the window shows them (the lines that
// hold a text, joined by a blank), read once the part that wrote them lets events run or
// announces a wait (showNow), so that a line 1 written just before line 2 is cleared does
// not print with the old line 2. Writing the text already shown prints nothing again.
//
// Long work adds a counter, "[12/40] text": a new unit's synchronization as its progress bar
// shows it (followed here), and whatever the program counts itself (reportCount). On a
// terminal the counter is one line kept under the steps and rewritten in place; in a log
// (standard error is a file or a pipe) it is a line of its own, written only when the whole
// percentage has changed and a few seconds have passed, so that a long run stays short.
// The first and the last count are always written.
//
// Banner texts come from units and files: control characters are shown as \xNN, never
// passed to the terminal.
class ProgressReporter : public QObject
{
    Q_OBJECT
public:
    enum class Output { Terminal, Log };

    ProgressReporter(const StationState &state, QTextStream &errors, Output output,
                     const Clock &clock, QObject *parent = nullptr);

    // Writes the banner's step now, if one is waiting.
    void flush();

    // A count of long work: done of total, and what is counted.
    void reportCount(int done, int total, const QString &text = QString());
    // The counted work is over or given up: the count it stopped at is left on its line.
    void endCount();

    // Before the program ends: what is waiting is written, a counter's line is ended.
    void finish();

    // The least time between two counter lines in a log.
    static constexpr int kLogIntervalMs = 5000;

private:
    void bannerLineChanged(int line);
    void syncProgressChanged();
    QString shownBanner() const;
    void write(const QString &line);
    void showCounter(const QString &line);
    void writeLine(const QString &line);
    bool logWants(int done, int total) const;

    const StationState &m_state;
    QTextStream &m_errors;
    const Output m_output;
    const Clock &m_clock;
    bool m_pending = false;
    bool m_flushQueued = false;
    QString m_lastBanner;
    int m_lastDone = -1;
    int m_lastTotal = -1;
    // Terminal: the counter on the last line, not ended. Log: a count not written yet.
    QString m_counterLine;
    // Log: the last count written, and when.
    int m_writtenDone = -1;
    qint64 m_writtenAtMs = 0;
};
