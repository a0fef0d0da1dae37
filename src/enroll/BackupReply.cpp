#include "enroll/BackupReply.h"

namespace BackupReply {

std::optional<QByteArray> firstTemplate(const QByteArray &reply)
{
    QByteArray part = reply.mid(kFirstReplyHead);
    if (part.size() <= kNoTemplateMax)
        return std::nullopt;
    part.chop(kReplyTail);
    return part;
}

std::optional<QByteArray> nextTemplate(const QByteArray &reply)
{
    QByteArray part = reply.mid(kNextReplyHead);
    if (part.size() >= kReplyTail)
        part.chop(kReplyTail);
    if (part.size() <= kNoTemplateMax)
        return std::nullopt;
    return part;
}

bool asksForNext(const QByteArray &templateBytes)
{
    return templateBytes.size() > kNoTemplateMax;
}

} // namespace BackupReply
