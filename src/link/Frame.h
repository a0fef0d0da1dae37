#pragma once

#include <QByteArray>
#include <QString>

// The 13-byte frame every unit speaks: "@", command, eight data bytes, function or status
// byte, the sum of those eleven bytes mod 256, LF. Pure functions, no I/O.
namespace Frame {

inline constexpr int kLength = 13;
inline constexpr char kStart = 0x40;
inline constexpr char kEnd = 0x0A;

// Completes an 11-byte body to a frame: appends its checksum byte and LF, exactly once.
QByteArray frame(const QByteArray &body11);

// 11-byte body: 0x40, command, data[0..7] (missing bytes 0), function byte.
QByteArray body(quint8 command, const QByteArray &data8, quint8 function);

// The requests the station sends. userBytes are the 4 bytes of a user number, least
// significant first.
QByteArray handshake();
QByteArray enroll(const QByteArray &userBytes);
QByteArray deleteUser(const QByteArray &userBytes);
QByteArray firstTemplate(const QByteArray &userBytes);
QByteArray nextTemplate();
QByteArray userListFirstPage();
QByteArray userListNextPage();
QByteArray uploadAnnounce(const QByteArray &userBytes, bool firstTemplateOfSet);
QByteArray uploadDataHeader();

// Block trailer: the sum of the data mod 65536, low byte first, then 00 00.
QByteArray trailer(const QByteArray &data);

} // namespace Frame

// Printable form of a byte string: "[64][1][0]..." (each byte in decimal in brackets). A
// message longer than kLongestFullTrace bytes gives the trace of its first kLongestFullTrace
// bytes, then "... (" its length " bytes)": a log line stays readable, and a sender cannot make
// the log grow by five bytes for each byte it sends.
QString TRACE_TEXT(const QByteArray &message);
// The same for the first `shownBytes` bytes of a message (at most kLongestFullTrace): the trace
// of a message of which only a part was kept ends with "... (" its length " bytes)".
QString TRACE_TEXT(const QByteArray &message, qsizetype shownBytes);

// Every message of the sizes the station exchanges is traced whole: frames, headers, pages of
// a short user list and templates up to the largest that a station files.
inline constexpr qsizetype kLongestFullTrace = 16 * 1024;
