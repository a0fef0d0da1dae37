#include "platform/SerialDeviceNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kMaxPortNumber = 32767; // port numbers are 16-bit integers

bool linkPresent(const QString &path)
{
    // exists() follows the link; a dangling link is present too.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString SerialDeviceNames::chosen() const
{
    return hasLink() ? link : fallback;
}

bool SerialDeviceNames::hasLink() const
{
    return !link.isEmpty() && linkPresent(link);
}

QString defaultSerialDeviceFolder()
{
    return QStringLiteral("/dev/");
}

SerialDeviceNames serialDeviceNames(int portNumber, const QString &configFolder,
                                    const QString &deviceFolder)
{
    if (portNumber < 1)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(configFolder);
    Q_UNUSED(deviceFolder);
    return {QString(), QStringLiteral("COM%1").arg(portNumber)};
#else
    return {configFolder + QStringLiteral("COM%1").arg(portNumber),
            deviceFolder + QStringLiteral("ttyS%1").arg(portNumber - 1)};
#endif
}

QString serialDevicePath(int portNumber, const QString &configFolder, const QString &deviceFolder)
{
    return serialDeviceNames(portNumber, configFolder, deviceFolder).chosen();
}

QStringList serialLinksIn(const QString &configFolder, int maxNames)
{
#ifdef Q_OS_WIN
    Q_UNUSED(configFolder);
    Q_UNUSED(maxNames);
    return {};
#else
    static const QRegularExpression portName(QStringLiteral("^COM([1-9][0-9]{0,4})$"));
    QList<int> numbers;
    const QStringList names =
        QDir(configFolder).entryList({QStringLiteral("COM*")}, QDir::AllEntries | QDir::System);
    for (const QString &name : names) {
        const auto match = portName.match(name);
        const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (number >= 1 && number <= kMaxPortNumber)
            numbers << number;
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList links;
    for (int number : std::as_const(numbers).first(std::min<qsizetype>(numbers.size(), maxNames)))
        links << QStringLiteral("COM%1").arg(number);
    return links;
#endif
}
