// The dispatch rules on any completed buffer: each kind of reply is only ever given for a
// buffer that carries it, and what it reads lies inside the buffer.
#include "FuzzCheck.h"
#include "link/ReplyClassifier.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray b(reinterpret_cast<const char *>(data), qsizetype(size));
    const ReplyClassifier::Reply reply = ReplyClassifier::classify(b);
    const auto at = [&b](qsizetype position) { return quint8(b[position - 1]); };
    switch (reply.kind) {
    case ReplyClassifier::Kind::None:
        FUZZ_CHECK(!reply.user);
        break;
    case ReplyClassifier::Kind::Quality:
        FUZZ_CHECK(b.size() >= 7 && at(2) == 0x05 && at(b.size() - 2) == 0x62);
        FUZZ_CHECK(reply.quality == at(b.size() - 6));
        break;
    case ReplyClassifier::Kind::User:
        FUZZ_CHECK(b.size() >= 13 && at(2) == 0x11 && at(11) == 0x61 && at(13) == 0x0A);
        FUZZ_CHECK(reply.user && reply.user->bytes() == b.mid(2, 4));
        break;
    case ReplyClassifier::Kind::Deleted:
        FUZZ_CHECK(b.size() >= 13 && at(2) == 0x16 && (at(11) == 0x61 || at(11) == 0x69));
        break;
    case ReplyClassifier::Kind::Handshake:
        FUZZ_CHECK(b.size() >= 13 && at(2) == 0x01 && at(3) == 0x65 && at(11) == 0x61);
        break;
    }
    return 0;
}
