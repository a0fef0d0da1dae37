// The enroll password file: any bytes give a password, that password opens enroll mode, and
// writing it and reading it back gives one that opens enroll mode too.
#include "FuzzCheck.h"
#include "config/PasswordFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString stored = PasswordFile::storedPassword(bytes);
    FUZZ_CHECK(!stored.contains(u'\r') && !stored.contains(u'\n'));
    FUZZ_CHECK(PasswordFile::accepts(stored, stored));
    FUZZ_CHECK(PasswordFile::accepts(stored, QStringLiteral("  ") + stored + u' '));

    const QByteArray written = PasswordFile::content(stored);
    FUZZ_CHECK(written.endsWith("\r\n"));
    const QString back = PasswordFile::storedPassword(written);
    FUZZ_CHECK(PasswordFile::accepts(back, stored));
    FUZZ_CHECK(PasswordFile::content(back) == written);
    return 0;
}
