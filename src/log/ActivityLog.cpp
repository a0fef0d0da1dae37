#include "log/ActivityLog.h"

#include "app/F_MAIN.h"
#include "platform/Clock.h"
#include "util/EightBitText.h"

#include <QCheckBox>
#include <QFile>
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
    QFile file(w.AFF_CURDIR->text() + fileNameFor(now.date()));
    QByteArray out;
    if (!file.exists()) {
        for (const QString &line : headerLines())
            out += toEightBit(line) + kLineEnd;
        out += kLineEnd;
    }
    out += toEightBit(now.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + text) +
           kLineEnd;
    // Opened and closed per line: every line is on disk when this returns.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(out) == out.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}
