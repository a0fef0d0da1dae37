#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Small pure helpers on which the message formats rest. None touches a control, a file or
// the network, and none keeps state.

// Number to digit text in a base, most significant digit first ("3039" for 12345 in base 16).
// Refuses (nullopt) a negative or non-finite number and a base outside 2..36, which would
// never reach zero by floor division.
std::optional<QString> CnvToBase(double DecNumber, int NewBase);

// Digit text in a base to a number. A digit whose value is the base or above makes the
// whole result 0; characters below "0" count with their negative digit value.
double CnvFromBase(const QString &BaseNumber, int OldBase);

// Fills a text on the left to STR_LEN characters with CAR_PAD, keeping only the last
// STR_LEN characters of a longer text.
QString PADL(const QString &LIGNE, int STR_LEN, const QString &CAR_PAD);

// Reads field POS (from 1) of a line separated by SEPARATEUR, or, when WRITE_TXT is not
// empty, returns the line with that field replaced (extended with empty fields as needed).
QString READ_BLOCK(const QString &LIGNE, const QString &SEPARATEUR, int POS,
                   const QString &WRITE_TXT = QString());

// Additive checksum of the bytes: modes 0..2 give one byte (sum mod 256), modes 3..4 two
// bytes (sum mod 65536, low byte first), any other mode nothing.
QByteArray CALC_CHECKSUM(const QByteArray &data, int mode);

// A user number as 4 bytes, least significant first. Refuses (nullopt) a value that is
// negative, fractional, not finite or above 4294967295: no bytes can be made for it.
std::optional<QByteArray> USER_NUMBER_TO_BYTES(double value);

// The first 4 bytes (least significant first) as decimal text without leading zeros.
// Missing bytes count as 0.
QString BYTES_TO_USER_NUMBER(const QByteArray &bytes);

inline constexpr double kMaxUserNumber = 4294967295.0;
