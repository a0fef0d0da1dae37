// The configuration file: any bytes read without trouble, and what was read, saved and read
// again gives the same values.
#include "FuzzCheck.h"
#include "config/ConfigFormat.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

ConfigFormat::Values readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered); // the decoder reads in chunks
    return ConfigFormat::read(buffer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConfigFormat::Values read = readBytes(bytes);
    FUZZ_CHECK(read.targets.size() <= ConfigFormat::kMaxTargets);

    const ConfigFormat::Values again = readBytes(ConfigFormat::write(read));
    // A short file's missing lines are written empty: only what the file had must come back.
    if (read.serialPort)
        FUZZ_CHECK(again.serialPort == read.serialPort);
    if (read.prefix)
        FUZZ_CHECK(again.prefix == read.prefix);
    if (read.suffix)
        FUZZ_CHECK(again.suffix == read.suffix);
    FUZZ_CHECK(again.readMode == read.readMode);
    FUZZ_CHECK(again.templatesFolder == read.templatesFolder);
    FUZZ_CHECK(again.targets == read.targets);
    // A saved file holds every line, so saving it again changes nothing.
    FUZZ_CHECK(readBytes(ConfigFormat::write(again)) == again);
    return 0;
}
