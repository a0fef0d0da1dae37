#pragma once

#include "util/UserNumber.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What a datagram received on the station's UDP port is, judged from its bytes alone. Pure
// functions, no I/O: safe on any byte string, from empty to the largest datagram.
namespace Datagram {

// The kinds, in the order in which they are tried; the first that matches wins.
enum class Kind {
    UploadHeaderFirst, // 40 87 u u u u 80 01 00 00 00 ...: a set's first template begins
    UploadHeaderOther, // 40 87 u u u u 80 01 00 00 71 ...: the set's next template begins
    DeleteUser,        // 40 16 u u u u 00 00 00 00 00 ...: remove a user's templates
    TemplateData,      // anything else longer than 30 bytes: the bytes of a template
    DataTrailer,       // anything else of exactly 4 bytes: the end of a template's data
    Other,             // anything else: relayed and traced, nothing more
};

// The three kinds above that start with a frame body need at least this many bytes; the
// checksum byte and line feed of a full frame are not required.
inline constexpr int kFramedMinimum = 11;
// Template data is longer than this.
inline constexpr int kLongestNonData = 30;
inline constexpr int kTrailerLength = 4;

Kind classify(const QByteArray &datagram);

// The user number that bytes 3-6 carry (least significant first), its text the decimal
// digits: "12345" for 39 30 00 00, "0" for 00 00 00 00. Nothing for a datagram shorter than
// 11 bytes.
std::optional<UserNumber> user(const QByteArray &datagram);

// The user number that the fixed second header of every upload names: its template-1 header
// is byte for byte that second header.
inline constexpr quint32 kSecondHeaderUser = 1;

// For logs and test names.
const char *kindName(Kind kind);

} // namespace Datagram
