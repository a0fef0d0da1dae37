#include "platform/SerialDeviceNaming.h"

#include <QFileInfo>

QString serialDevicePath(int portNumber, const QString &configFolder)
{
    if (portNumber < 1)
        return QString();
#ifdef Q_OS_WIN
    Q_UNUSED(configFolder);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QString link = configFolder + QStringLiteral("COM%1").arg(portNumber);
    // exists() follows the link; a dangling link still names the port the operator chose.
    if (QFileInfo(link).exists() || QFileInfo(link).isSymLink())
        return link;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}
