// Target unit entries: any entry text (8-bit from a configuration file, or any UTF-16 text
// as typed) reads back as an address and a description that build an entry reading back
// the same.
#include "FuzzCheck.h"
#include "config/TargetEntry.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const char *text = reinterpret_cast<const char *>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    QString entry;
    if (data[0] & 1) {
        entry = QString::fromLatin1(text, length);
    } else {
        entry.resize(length / 2); // any UTF-16 code units, unpaired surrogates included
        std::memcpy(entry.data(), text, size_t(length / 2) * sizeof(QChar));
    }

    const QString address = TargetEntry::addressOf(entry);
    const QString description = TargetEntry::descriptionOf(entry);
    FUZZ_CHECK(address.size() <= TargetEntry::kAddressWidth);
    FUZZ_CHECK(!address.startsWith(u' ') && !address.endsWith(u' '));

    const QString rebuilt = TargetEntry::text(address, description);
    FUZZ_CHECK(rebuilt.size() >= TargetEntry::kAddressWidth);
    FUZZ_CHECK(TargetEntry::addressOf(rebuilt) == address);
    FUZZ_CHECK(TargetEntry::descriptionOf(rebuilt) == description);
    return 0;
}
