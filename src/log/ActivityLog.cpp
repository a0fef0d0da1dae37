#include "log/ActivityLog.h"

#include "app/F_MAIN.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "util/EightBitText.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {
const QByteArray kLineEnd("\r\n");
}

QString ActivityLog::fileNameFor(const QDate &day)
{
    return QStringLiteral("Trelvane_") + day.toString(QStringLiteral("dd-MM-yyyy")) +
           QStringLiteral(".log");
}

QString ActivityLog::fileName() const
{
    return fileNameFor(w.clock().now().date());
}

QString ActivityLog::filePath() const
{
    return w.AFF_CURDIR->text() + fileName();
}

QStringList ActivityLog::headerLines() const
{
    QStringList lines{w.windowTitle(),
                      QStringLiteral("Serial COM port number: ") + w.INP_SERIAL_PORT->text()};
    for (int i = 0; i < w.LST_IP->count(); ++i)
        lines << w.LST_IP->item(i)->text();
    if (w.enrollModeSelected()) {
        lines << QStringLiteral("MODE: Enroll");
    } else {
        lines << QStringLiteral("MODE: Read")
              << QStringLiteral("Server IP: ") + w.AFF_IP_SERVER->text()
              << QStringLiteral("Prefix: ") + w.INP_PREFIX->text()
              << QStringLiteral("Suffix: ") + w.INP_SUFFIX->text();
    }
    lines << QString(61, QLatin1Char('-'));
    return lines;
}

bool ActivityLog::WRITE_LOG(const QString &text)
{
    if (!w.SW_LOG->isChecked())
        return true;
    // The date and time are read once, so a line written on the stroke of midnight goes
    // to the file of the day its time stamp names.
    const QDateTime now = w.clock().now();
    const QString path = w.AFF_CURDIR->text() + fileNameFor(now.date());
    QByteArray header;
    if (!QFileInfo::exists(path)) {
        for (const QString &line : headerLines())
            header += toEightBit(line) + kLineEnd;
        header += kLineEnd;
    }
    const QByteArray entry =
        toEightBit(now.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + text) +
        kLineEnd;
    // Opened and closed per line: every line is on disk when this returns. The header goes
    // only into a file this call creates; a link planted at the name is refused.
    const SafeFile::Result result = SafeFile::append(path, header, entry);
    if (!result.ok && result.reason != m_lastRefusal) {
        // The log cannot carry its own failure; said once per cause, not once per line.
        qWarning("Activity log %s not written: %s", qPrintable(path), qPrintable(result.reason));
    }
    m_lastRefusal = result.ok ? QString() : result.reason;
    return result.ok;
}
