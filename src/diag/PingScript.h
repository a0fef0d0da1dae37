#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The ping test script: one echo request per ticked target unit, with separators, ending in
// a wait for the operator. Pure text building, no I/O.
namespace PingScript {

constexpr const char *kFileName = "OMBRIX_PING.BAT";
constexpr int kEntryChars = 15; // of an entry, as the address for echo and ping
constexpr int kSeparatorWidth = 80;

struct Entry
{
    QString text; // the target list entry, unchanged
    bool ticked = false;
};

// A Windows command script: 8-bit text with CR LF line ends.
QByteArray windowsScript(const QList<Entry> &entries);
// The same test as a POSIX shell script with LF line ends: ping with one request of 10 data
// bytes and a 0.5 s time-out, the entry's address quoted, and "press Enter" at the end.
QByteArray posixScript(const QList<Entry> &entries);
// The script for the platform the station runs on.
QByteArray script(const QList<Entry> &entries);

} // namespace PingScript
