#pragma once

#include "link/Frame.h"
#include "util/TextNumber.h"

#include <QByteArray>
#include <QList>

// The datagrams another station sends, built as its upload and deletion build them.
namespace Datagrams {

inline QByteArray userBytes(quint32 user)
{
    return *USER_NUMBER_TO_BYTES(user);
}
inline QByteArray header(quint32 user, bool firstTemplate)
{
    return Frame::uploadAnnounce(userBytes(user), firstTemplate);
}
inline QByteArray secondHeader()
{
    return Frame::uploadDataHeader();
}
inline QByteArray deleteUser(quint32 user)
{
    return Frame::deleteUser(userBytes(user));
}
// Every byte value, 0x00 and 0x80..0xFF included, in an order that differs with the seed.
inline QByteArray templateBytes(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed * 31) & 0xFF);
    return bytes;
}
// The four datagrams of one template upload.
inline QList<QByteArray> upload(quint32 user, bool firstTemplate, const QByteArray &data)
{
    return {header(user, firstTemplate), secondHeader(), data, Frame::trailer(data)};
}

} // namespace Datagrams
