// A unit's user list read page by page: whatever bytes a page brings, the expected length
// is never negative, no more is kept than announced, the data part lies inside the reply,
// and the list lines name users in the order of their records with counts that add up to
// the records read.
#include "FuzzCheck.h"
#include "enroll/UserListPages.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace UserListPages;
    if (size < 2)
        return 0;
    // The first two bytes choose the page and the page count known so far.
    const int page = data[0] % (kMaxPages + 1);
    const int pageCount = data[1];
    const QByteArray reply(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    const Expectation e = expect(reply, page, pageCount);
    FUZZ_CHECK(e.length >= 0);
    if (reply.size() < kLengthKnownAt)
        FUZZ_CHECK(e.length == 0 && e.pageCount == pageCount);
    FUZZ_CHECK(e.pageCount >= 0 && e.pageCount <= 255);

    // No more is kept of a reply than its header announces, nor than the longest page.
    QByteArray kept;
    const qsizetype dropped = appendBounded(kept, reply, e.announced);
    FUZZ_CHECK(kept.size() + dropped == reply.size() && reply.startsWith(kept));
    FUZZ_CHECK(kept.size() <= kLongestReply);
    if (e.announced > 0)
        FUZZ_CHECK(kept.size() <= e.announced);

    const PagePart part = trimPage(reply, page);
    FUZZ_CHECK(part.data.size() <= reply.size());
    if (!part.data.isEmpty())
        FUZZ_CHECK(reply.contains(part.data));

    const QList<UnitUser> users = groupRecords(part.data);
    qsizetype records = 0;
    for (const UnitUser &user : users) {
        FUZZ_CHECK(user.templates >= 1);
        FUZZ_CHECK(!user.number.isEmpty() && user.number.size() <= 10);
        records += user.templates;
        const QString line = listLine(user);
        FUZZ_CHECK(line.size() >= kNumberColumn + 2);
        FUZZ_CHECK(userOfLine(line) == user.number);
    }
    FUZZ_CHECK(records == (part.data.size() + kRecordBytes - kUserBytes) / kRecordBytes);
    for (qsizetype i = 1; i < users.size(); ++i)
        FUZZ_CHECK(users[i].number != users[i - 1].number);
    return 0;
}
