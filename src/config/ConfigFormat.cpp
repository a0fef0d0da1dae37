#include "config/ConfigFormat.h"

#include "config/LineReader.h"
#include "util/EightBitText.h"
#include "util/NumericValue.h"

#include <QLocale>

#include <cmath>

namespace ConfigFormat {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// Line breaks inside a value would shift every later line of the file; a value is written
// on one line.
QByteArray oneLine(const QString &value)
{
    QByteArray bytes = toEightBit(value);
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

std::optional<QString> text(const std::optional<QByteArray> &line)
{
    if (!line)
        return std::nullopt;
    return fromEightBit(*line);
}

} // namespace

Values read(QIODevice &in)
{
    Values values;
    LineReader lines(in, kMaxLineBytes);
    if (const auto port = lines.next())
        values.serialPort = plainDecimal(numericValue(fromEightBit(*port)));
    const auto mode = lines.next();
    values.readMode = mode && numericValue(fromEightBit(*mode)) == 1;
    values.prefix = text(lines.next());
    values.suffix = text(lines.next());
    values.templatesFolder = fromEightBit(lines.next().value_or(QByteArray()));
    for (int i = 0; i < kReservedLines; ++i)
        lines.next();
    for (int count = 0; count < kMaxTargets; ++count) {
        const auto entry = lines.next();
        if (!entry)
            break;
        values.targets.append(fromEightBit(*entry));
    }
    return values;
}

QByteArray write(const Values &values)
{
    QByteArray bytes;
    const auto line = [&bytes](const QByteArray &value) { bytes += value + kLineEnd; };
    line(oneLine(values.serialPort.value_or(QString())));
    line(values.readMode ? QByteArrayLiteral(" 1 ") : QByteArrayLiteral(" 0 "));
    line(oneLine(values.prefix.value_or(QString())));
    line(oneLine(values.suffix.value_or(QString())));
    line(oneLine(values.templatesFolder));
    for (int i = 0; i < kReservedLines; ++i)
        line(QByteArray());
    for (const QString &entry : values.targets)
        line(oneLine(entry));
    return bytes;
}

QString plainDecimal(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace ConfigFormat
