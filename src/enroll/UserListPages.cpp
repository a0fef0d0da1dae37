#include "enroll/UserListPages.h"

#include "util/TextNumber.h"

#include <algorithm>

namespace UserListPages {

namespace {

// Byte at a position counted from 1, as the unit's documentation counts them.
int byteAt(const QByteArray &bytes, qsizetype position)
{
    return static_cast<quint8>(bytes.at(position - 1));
}

int lengthAt(const QByteArray &bytes, qsizetype highPosition)
{
    return byteAt(bytes, highPosition) * 256 + byteAt(bytes, highPosition + 1);
}

} // namespace

Expectation expect(const QByteArray &collected, int page, int pageCount)
{
    Expectation e;
    e.pageCount = pageCount;
    if (collected.size() < kLengthKnownAt)
        return e;
    if (page <= 1) {
        e.announced = lengthAt(collected, 21) + 30;
        e.length = e.announced;
        e.pageCount = byteAt(collected, 16);
        return e;
    }
    e.announced = lengthAt(collected, 8) + 17;
    e.length = page < pageCount ? e.announced : kPollFullTime;
    return e;
}

qsizetype appendBounded(QByteArray &reply, const QByteArray &chunk, qsizetype announced)
{
    const qsizetype limit = announced > 0 ? std::min(announced, kLongestReply) : kLongestReply;
    const qsizetype before = reply.size() + chunk.size();
    if (reply.size() < limit)
        reply += chunk.left(limit - reply.size());
    if (reply.size() > limit)
        reply.truncate(limit);
    return before - reply.size();
}

PagePart trimPage(const QByteArray &collected, int page)
{
    PagePart part;
    if (collected.isEmpty()) {
        part.endOfList = true;
        return part;
    }
    const qsizetype head = page <= 1 ? kFirstPageHead : kLaterPageHead;
    if (collected.size() <= head) {
        part.endOfList = true;
        return part;
    }
    const qsizetype rest = collected.size() - head;
    if (rest > kTail)
        part.data = collected.mid(head, rest - kTail);
    return part;
}

QList<UnitUser> groupRecords(const QByteArray &data, bool *cut)
{
    if (cut)
        *cut = false;
    QList<UnitUser> users;
    QString previous;
    bool any = false;
    for (qsizetype at = 0; at + kUserBytes <= data.size(); at += kRecordBytes) {
        const QString number = BYTES_TO_USER_NUMBER(data.mid(at, kUserBytes));
        if (any && number == previous) {
            ++users.last().templates;
        } else {
            if (users.size() >= kMaxUsers) {
                if (cut)
                    *cut = true;
                break;
            }
            users.append(UnitUser{number, 1});
            previous = number;
            any = true;
        }
    }
    return users;
}

QString listLine(const UnitUser &user)
{
    return user.number.leftJustified(kNumberColumn, u' ') + u' ' + QString::number(user.templates);
}

QStringList listLines(const QList<UnitUser> &users)
{
    QStringList lines;
    lines.reserve(users.size());
    for (const UnitUser &user : users)
        lines.append(listLine(user));
    return lines;
}

QString userOfLine(const QString &line)
{
    return line.left(kNumberPrefix).trimmed();
}

} // namespace UserListPages
