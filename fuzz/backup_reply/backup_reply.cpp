// The template cut out of a backup answer: always the bytes between the head and the
// trailer, never a part short enough to count as no template, never beyond the answer.
#include "FuzzCheck.h"
#include "enroll/BackupReply.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace BackupReply;
    const QByteArray reply(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const auto first = firstTemplate(reply)) {
        FUZZ_CHECK(first->size() >= kNoTemplateMax + 1 - kReplyTail);
        FUZZ_CHECK(first->size() == reply.size() - kFirstReplyHead - kReplyTail);
        FUZZ_CHECK(*first == reply.mid(kFirstReplyHead, first->size()));
    } else {
        FUZZ_CHECK(reply.size() <= kFirstReplyHead + kNoTemplateMax);
    }

    if (const auto next = nextTemplate(reply)) {
        FUZZ_CHECK(asksForNext(*next));
        FUZZ_CHECK(next->size() == reply.size() - kNextReplyHead - kReplyTail);
        FUZZ_CHECK(*next == reply.mid(kNextReplyHead, next->size()));
    } else {
        FUZZ_CHECK(reply.size() <= kNextReplyHead + kNoTemplateMax + kReplyTail);
    }
    return 0;
}
