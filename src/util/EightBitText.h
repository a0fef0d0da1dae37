#pragma once

#include <QByteArray>
#include <QString>

// The text files the station writes for people and for their tools (configuration,
// password, activity log, scripts) are in the system's character set: UTF-8 on Linux, the
// ANSI code page on Windows, so that what the operator types (a "€", a Greek folder name)
// comes back as typed and an editor shows it as written.
//
// Reading is lenient: bytes that are not valid in the system's character set (a file from
// an older station, which wrote Latin-1, or a damaged one) are read byte for byte as
// Latin-1, so that every file that loaded before still loads. The decision is made for
// each piece of text given (one line of a file), so an old file that an integrator extended
// with a line in the system's character set reads right on both kinds of line.
QByteArray toEightBit(const QString &text);
QString fromEightBit(const QByteArray &bytes);
