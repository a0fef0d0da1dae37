#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class F_MAIN;

// The daily activity log in the configuration folder: one time-stamped line per banner text
// and per message sent or received, written only while SW_LOG is ticked.
class ActivityLog
{
public:
    explicit ActivityLog(F_MAIN &w) : w(w) {}

    // Appends one entry line (with the day's header first when the day's file is new).
    // Returns false when the line could not be written; a failed write never throws.
    bool WRITE_LOG(const QString &text);

    // "Trelvane_DD-MM-YYYY.log" for a day, and for the clock's current day.
    static QString fileNameFor(const QDate &day);
    QString fileName() const;
    QString filePath() const;
    QStringList headerLines() const;

private:
    F_MAIN &w;
    QString m_lastRefusal; // why the last line was not written, reported once
};
