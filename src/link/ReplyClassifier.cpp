#include "link/ReplyClassifier.h"

namespace ReplyClassifier {

namespace {

quint8 at(const QByteArray &b, qsizetype position) // position counted from 1
{
    return static_cast<quint8>(b[position - 1]);
}

bool allZero(const QByteArray &b, qsizetype from, qsizetype to) // positions from 1
{
    for (qsizetype i = from; i <= to; ++i)
        if (at(b, i) != 0)
            return false;
    return true;
}

// Byte 2 = command, bytes from..10 zero, byte 11 = status, byte 13 = LF.
bool isReply(const QByteArray &b, quint8 command, qsizetype zeroFrom, quint8 status)
{
    return b.size() >= 13 && at(b, 2) == command && allZero(b, zeroFrom, 10) &&
           at(b, 11) == status && at(b, 13) == 0x0A;
}

} // namespace

Reply classify(const QByteArray &b)
{
    const qsizetype L = b.size();
    if (L >= 3 && at(b, 2) == 0x05 && at(b, L - 2) == 0x62) {
        // A buffer too short to hold the quality byte is dropped.
        if (L < 7)
            return {};
        return {Kind::Quality, at(b, L - 6), {}};
    }
    if (L >= 13 && at(b, 2) == 0x11 && allZero(b, 8, 10) && at(b, 11) == 0x61 && at(b, 13) == 0x0A)
        return {Kind::User, 0, UserNumber::fromBytes(b.mid(2, 4))};
    if (isReply(b, 0x16, 3, 0x61) || isReply(b, 0x16, 3, 0x69))
        return {Kind::Deleted, 0, {}};
    if (L >= 13 && at(b, 2) == 0x01 && at(b, 3) == 0x65 && allZero(b, 4, 10) && at(b, 11) == 0x61 &&
        at(b, 13) == 0x0A)
        return {Kind::Handshake, 0, {}};
    return {};
}

} // namespace ReplyClassifier
