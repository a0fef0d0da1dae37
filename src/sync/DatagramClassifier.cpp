#include "sync/DatagramClassifier.h"

#include <array>

namespace Datagram {

namespace {

// Bytes at 0-based positions 0-1 and 6-10 (1-6 hold the user number).
bool matches(const QByteArray &d, quint8 command, const std::array<quint8, 5> &tail)
{
    if (d.size() < kFramedMinimum)
        return false;
    if (static_cast<quint8>(d[0]) != 0x40 || static_cast<quint8>(d[1]) != command)
        return false;
    for (int i = 0; i < 5; ++i) {
        if (static_cast<quint8>(d[6 + i]) != tail[i])
            return false;
    }
    return true;
}

} // namespace

Kind classify(const QByteArray &datagram)
{
    if (matches(datagram, 0x87, {0x80, 0x01, 0x00, 0x00, 0x00}))
        return Kind::UploadHeaderFirst;
    if (matches(datagram, 0x87, {0x80, 0x01, 0x00, 0x00, 0x71}))
        return Kind::UploadHeaderOther;
    if (matches(datagram, 0x16, {0x00, 0x00, 0x00, 0x00, 0x00}))
        return Kind::DeleteUser;
    if (datagram.size() > kLongestNonData)
        return Kind::TemplateData;
    if (datagram.size() == kTrailerLength)
        return Kind::DataTrailer;
    return Kind::Other;
}

std::optional<UserNumber> user(const QByteArray &datagram)
{
    if (datagram.size() < kFramedMinimum)
        return std::nullopt;
    return UserNumber::fromBytes(datagram.mid(2, 4));
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::UploadHeaderFirst:
        return "upload header, template 1";
    case Kind::UploadHeaderOther:
        return "upload header, other template";
    case Kind::DeleteUser:
        return "delete user";
    case Kind::TemplateData:
        return "template data";
    case Kind::DataTrailer:
        return "data trailer";
    case Kind::Other:
        break;
    }
    return "other";
}

} // namespace Datagram
