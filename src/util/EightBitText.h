#pragma once

#include <QByteArray>
#include <QString>

// Files the station writes for people and for older tools (configuration, activity log,
// password, scripts) are 8-bit text: one byte per character. On Windows that is the system's
// ANSI code page; elsewhere Latin-1, so that every byte value read from such a file comes
// back unchanged when it is written again.
QByteArray toEightBit(const QString &text);
QString fromEightBit(const QByteArray &bytes);
