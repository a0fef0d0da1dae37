// Frame reassembly: the input is cut into chunks as a link might deliver them, each chunk is
// added to the pending bytes, and every completed buffer is classified as the dispatcher
// would.
//
// The first byte chooses the bound of the pending bytes: 0 is the station's own bound, any
// other value B a bound of B + 1 bytes, so that the trimming is reached by short inputs too.
// Then a byte N from 1 to 255 is followed by a chunk of N bytes (fewer at the end of the
// input). A byte 0 gives an empty chunk, except under the station's bound, where the first
// byte 0 is followed by one byte that fills a chunk larger than the bound.
#include "FuzzCheck.h"
#include "link/FrameAssembler.h"
#include "link/ReplyClassifier.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr qsizetype kFlood = FrameAssembler::kMaxPendingBytes + 4096;

// Made once per byte value and shared: a fresh 68 KB chunk on every run would cost more than
// the reassembly itself.
const QByteArray &flood(quint8 value)
{
    static std::array<QByteArray, 256> floods;
    if (floods[value].isEmpty())
        floods[value] = QByteArray(kFlood, char(value));
    return floods[value];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool stationBound = data[0] == 0;
    const qsizetype bound = stationBound ? FrameAssembler::kMaxPendingBytes : data[0] + 1;
    QByteArray pending;
    size_t pos = 1;
    bool flooded = !stationBound;
    while (pos < size) {
        const size_t mark = data[pos++];
        QByteArray chunk;
        if (mark == 0 && !flooded && pos < size) {
            chunk = flood(data[pos++]);
            flooded = true;
        } else {
            const size_t length = qMin(mark, size - pos);
            chunk = QByteArray(reinterpret_cast<const char *>(data + pos), qsizetype(length));
            pos += length;
        }
        const QByteArray before = pending;

        const auto completed = FrameAssembler::add(pending, chunk, bound);

        FUZZ_CHECK(pending.size() <= bound);
        if (chunk.isEmpty())
            FUZZ_CHECK(!completed && pending == before);
        if (completed) {
            FUZZ_CHECK(pending.isEmpty());
            FUZZ_CHECK(!completed->isEmpty() && completed->size() <= bound);
            FUZZ_CHECK(completed->front() == 0x40 && completed->back() == 0x0A);
            ReplyClassifier::classify(*completed);
        } else if (!pending.isEmpty()) {
            // Never left waiting with a buffer that is already complete.
            FUZZ_CHECK(pending.front() != 0x40 || pending.back() != 0x0A);
        }
    }
    return 0;
}
