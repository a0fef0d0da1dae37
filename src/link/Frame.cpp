#include "link/Frame.h"

#include "util/TextNumber.h"

#include <algorithm>
#include <array>

namespace Frame {

QByteArray frame(const QByteArray &body11)
{
    return body11 + CALC_CHECKSUM(body11, 0) + QByteArray(1, kEnd);
}

QByteArray body(quint8 command, const QByteArray &data8, quint8 function)
{
    QByteArray b(11, '\0');
    b[0] = kStart;
    b[1] = static_cast<char>(command);
    for (int i = 0; i < 8 && i < data8.size(); ++i)
        b[2 + i] = data8[i];
    b[10] = static_cast<char>(function);
    return b;
}

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}
QByteArray user4(const QByteArray &userBytes)
{
    return userBytes.left(4).leftJustified(4, '\0');
}
} // namespace

QByteArray handshake()
{
    return frame(body(0x01, bytes({0, 0, 0, 0, 0x31, 0, 0, 0}), 0x65));
}

QByteArray enroll(const QByteArray &userBytes)
{
    return frame(body(0x05, user4(userBytes) + bytes({0, 0, 0, 0}), 0x71));
}

QByteArray deleteUser(const QByteArray &userBytes)
{
    return frame(body(0x16, user4(userBytes) + bytes({0, 0, 0, 0}), 0x00));
}

QByteArray firstTemplate(const QByteArray &userBytes)
{
    return frame(body(0x89, user4(userBytes) + bytes({0x80, 0x01, 0, 0}), 0x00));
}

QByteArray nextTemplate()
{
    return frame(body(0x89, QByteArray(8, '\0'), 0x83));
}

QByteArray userListFirstPage()
{
    return frame(body(0x86, bytes({0, 0, 0, 0, 0, 0x03, 0, 0}), 0x00));
}

QByteArray userListNextPage()
{
    return frame(body(0x86, bytes({0, 0, 0, 0, 0, 0x03, 0, 0}), 0x83));
}

QByteArray uploadAnnounce(const QByteArray &userBytes, bool firstTemplateOfSet)
{
    return frame(
        body(0x87, user4(userBytes) + bytes({0x80, 0x01, 0, 0}), firstTemplateOfSet ? 0x00 : 0x71));
}

QByteArray uploadDataHeader()
{
    return frame(body(0x87, bytes({0x01, 0, 0, 0, 0x80, 0x01, 0, 0}), 0x00));
}

QByteArray trailer(const QByteArray &data)
{
    return CALC_CHECKSUM(data, 4) + QByteArray(2, '\0');
}

} // namespace Frame

QString TRACE_TEXT(const QByteArray &message)
{
    return TRACE_TEXT(message, kLongestFullTrace);
}

QString TRACE_TEXT(const QByteArray &message, qsizetype shownBytes)
{
    // The 256 bracketed numbers are made once: a datagram of 64 kB is traced in well under a
    // millisecond, not one number conversion per byte.
    static const std::array<QByteArray, 256> kBracketed = [] {
        std::array<QByteArray, 256> table;
        for (int b = 0; b < 256; ++b)
            table[b] = '[' + QByteArray::number(b) + ']';
        return table;
    }();
    const QByteArrayView traced = QByteArrayView(message).first(
        std::clamp<qsizetype>(shownBytes, 0, std::min(message.size(), kLongestFullTrace)));
    QByteArray out;
    out.reserve(traced.size() * 5 + 32);
    for (const char c : traced)
        out += kBracketed[static_cast<quint8>(c)];
    if (traced.size() < message.size())
        out += "... (" + QByteArray::number(message.size()) + " bytes)";
    return QString::fromLatin1(out);
}
