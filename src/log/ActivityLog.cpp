#include "log/ActivityLog.h"

#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "station/StationState.h"
#include "util/EightBitText.h"

#include <QFileInfo>

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
    return fileNameFor(m_clock.now().date());
}

QString ActivityLog::filePath() const
{
    return m_state.configFolder() + fileName();
}

QStringList ActivityLog::headerLines() const
{
    QStringList lines{QString::fromLatin1(StationState::kCaption),
                      QStringLiteral("Serial COM port number: ") + m_state.serialPort()};
    for (const TargetUnit &target : m_state.targets())
        lines << target.line;
    if (m_state.enrollMode()) {
        lines << QStringLiteral("MODE: Enroll");
    } else {
        lines << QStringLiteral("MODE: Read")
              << QStringLiteral("Server IP: ") + m_state.lastUser().source
              << QStringLiteral("Prefix: ") + m_state.prefix()
              << QStringLiteral("Suffix: ") + m_state.suffix();
    }
    lines << QString(61, QLatin1Char('-'));
    return lines;
}

bool ActivityLog::WRITE_LOG(const QString &text)
{
    if (!m_state.logging())
        return true;
    if (m_state.configFolder().isEmpty())
        return false; // no folder yet: never a file wherever the program was started from
    // The date and time are read once, so a line written on the stroke of midnight goes
    // to the file of the day its time stamp names.
    const QDateTime now = m_clock.now();
    const QString path = m_state.configFolder() + fileNameFor(now.date());
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
