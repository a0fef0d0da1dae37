#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class Clock;
class StationState;

// The daily activity log in the configuration folder: one time-stamped line per banner text
// and per message sent or received, written only while SW_LOG is ticked.
class ActivityLog
{
public:
    ActivityLog(const StationState &state, Clock &clock) : m_state(state), m_clock(clock) {}

    // Appends one entry line (with the day's header first when the day's file is new).
    // Returns false when the line could not be written; a failed write never throws.
    bool WRITE_LOG(const QString &text);

    // "Trelvane_DD-MM-YYYY.log" for a day, and for the clock's current day.
    static QString fileNameFor(const QDate &day);
    QString fileName() const;
    QString filePath() const;
    QStringList headerLines() const;

private:
    const StationState &m_state;
    Clock &m_clock;
    QString m_lastRefusal; // why the last line was not written, reported once
};
