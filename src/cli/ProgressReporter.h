#pragma once

#include <QObject>
#include <QString>

class QTextStream;
class StationState;

// The banner of a program without a window: one line on standard error for each step the
// banner shows. A step is the two banner lines as the window shows them (the lines that
// hold a text, joined by a blank), read once the part that wrote them lets events run or
// announces a wait (showNow), so that a line 1 written just before line 2 is cleared does
// not print with the old line 2. Writing the text already shown prints nothing again.
//
// Banner texts come from units and files: control characters are shown as \xNN, never
// passed to the terminal.
class ProgressReporter : public QObject
{
    Q_OBJECT
public:
    ProgressReporter(const StationState &state, QTextStream &errors, QObject *parent = nullptr);

    // Writes the banner's step now, if one is waiting.
    void flush();

    // A counter for long work ("[12/40] text"): written when the count changes. The state
    // holds no progress of its own yet; a part that counts (new unit synchronization, the
    // template backup) is connected to this.
    void reportCount(int done, int total, const QString &text = QString());

private:
    void bannerLineChanged(int line);
    QString shownBanner() const;
    void write(const QString &line);

    const StationState &m_state;
    QTextStream &m_errors;
    bool m_pending = false;
    bool m_flushQueued = false;
    QString m_lastBanner;
    int m_lastDone = -1;
    int m_lastTotal = -1;
};
