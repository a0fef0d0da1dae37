#pragma once

#include "util/UserNumber.h"

#include <QByteArray>

#include <optional>

// Tells which of the short replies of the source unit a completed receive buffer is, by the
// dispatch rules tested in their order; the first rule that matches decides. Pure: the
// receive dispatcher applies what the reply means. The checksum byte is not checked.
namespace ReplyClassifier {

enum class Kind {
    None,      // no rule matched (acknowledgements and anything unknown): dropped
    Quality,   // enrollment quality: command 05, "b" two bytes before the end
    User,      // a finger was recognised or enrolled: command 11, status "a"
    Deleted,   // delete carried out: command 16, status "a" or "i"
    Handshake, // handshake reply: command 01, "e", status "a"
};

struct Reply
{
    Kind kind = Kind::None;
    quint8 quality = 0; // Quality: the byte six before the end (byte 7 of a 13-byte frame)
    std::optional<UserNumber> user; // User: from bytes 3 to 6, least significant first
};

Reply classify(const QByteArray &buffer);

} // namespace ReplyClassifier
