#include "util/EightBitText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace {

// Decodes in the system's character set; nothing when the bytes are not valid in it.
std::optional<QString> decodeSystem(const QByteArray &bytes)
{
    // Stateless: a sequence cut at the end is an error too, not a state kept for more bytes.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QByteArray toEightBit(const QString &text)
{
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

QString fromEightBit(const QByteArray &bytes)
{
    if (auto text = decodeSystem(bytes))
        return *std::move(text);
    return QString::fromLatin1(bytes);
}
