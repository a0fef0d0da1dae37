#include "config/ConfigFile.h"

#include "app/F_MAIN.h"
#include "config/ModeSwitch.h"
#include "config/TargetList.h"
#include "platform/Dialogs.h"
#include "util/Blanks.h"
#include "util/EightBitText.h"
#include "util/NumericValue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalBlocker>

#include <cmath>
#include <optional>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
constexpr int kReservedLines = 5; // lines 6 to 10

// Reads lines ended by CR LF, LF or a lone CR, in chunks, keeping at most maxBytes of each
// line; the rest of a longer line is skipped. A read error counts as the end of the file.
class LineReader
{
public:
    LineReader(QIODevice &in, qsizetype maxBytes) : m_in(in), m_maxBytes(maxBytes) {}

    std::optional<QByteArray> next()
    {
        if (m_pos >= m_buffer.size() && !fill())
            return std::nullopt;
        QByteArray line;
        for (;;) {
            qsizetype end = m_pos;
            while (end < m_buffer.size() && m_buffer[end] != '\r' && m_buffer[end] != '\n')
                ++end;
            keep(line, end);
            if (end < m_buffer.size()) {
                const bool cr = m_buffer[end] == '\r';
                m_pos = end + 1;
                if (cr && (m_pos < m_buffer.size() || fill()) && m_buffer[m_pos] == '\n')
                    ++m_pos;
                return line;
            }
            m_pos = end;
            if (!fill())
                return line; // last line, without a line end
        }
    }

private:
    void keep(QByteArray &line, qsizetype end) const
    {
        const qsizetype room = m_maxBytes - line.size();
        if (room > 0)
            line.append(m_buffer.constData() + m_pos, qMin(room, end - m_pos));
    }

    bool fill()
    {
        m_buffer = m_in.read(kChunk);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    static constexpr qint64 kChunk = 64 * 1024;
    QIODevice &m_in;
    const qsizetype m_maxBytes;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

// A folder that the station can use: an existing folder named by an absolute path (a
// relative one would depend on whatever the current folder happens to be).
bool isUsableFolder(const QString &path)
{
    return !path.contains(QChar(0)) && QDir::isAbsolutePath(path) && QFileInfo(path).isDir();
}

// Line breaks inside a value would shift every later line of the file; a value is written
// on one line.
QByteArray oneLine(const QString &value)
{
    QByteArray bytes = toEightBit(value);
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

} // namespace

ConfigFile::ConfigFile(F_MAIN &w) : w(w)
{
    connect(w.B_SAVE_CFG, &QPushButton::clicked, this, &ConfigFile::B_SAVE_CFG_Click);
    connect(w.B_EDIT_DIR_TEMPLATE, &QPushButton::clicked, this,
            &ConfigFile::B_EDIT_DIR_TEMPLATE_Click);
}

QString ConfigFile::configurationFolder() const
{
    return w.AFF_CURDIR->text();
}

QString ConfigFile::filePath() const
{
    return configurationFolder() + QLatin1String(kFileName);
}

QString ConfigFile::separator()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\");
#else
    return QStringLiteral("/");
#endif
}

QString ConfigFile::withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(separator()) ? folder : folder + separator();
}

QString ConfigFile::plainDecimal(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

void ConfigFile::LOAD_CFG()
{
    w.ID_LOAD_CFG = F_MAIN::True;
    const auto loaded = qScopeGuard([this] { w.ID_LOAD_CFG = 0; });

    QFile file(filePath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        // First run (or nothing readable): the window's defaults stand.
        w.modeSwitch().select(0);
        w.AFF_DIR_TEMPLATES->setText(configurationFolder());
        return;
    }

    // A line missing from a short file leaves its control as it is (the window's default),
    // except the mode and the templates folder, which always get a sane value.
    LineReader lines(file, kMaxLineBytes);
    if (const auto port = lines.next())
        w.INP_SERIAL_PORT->setText(plainDecimal(numericValue(fromEightBit(*port))));
    const auto mode = lines.next();
    w.modeSwitch().select(mode && numericValue(fromEightBit(*mode)) == 1 ? 1 : 0);
    if (const auto prefix = lines.next())
        w.INP_PREFIX->setText(fromEightBit(*prefix));
    if (const auto suffix = lines.next())
        w.INP_SUFFIX->setText(fromEightBit(*suffix));
    loadTemplatesFolder(fromEightBit(lines.next().value_or(QByteArray())));
    for (int i = 0; i < kReservedLines; ++i)
        lines.next();

    {
        const QSignalBlocker quiet(w.LST_IP); // emptying the list is no click on an entry
        w.LST_IP->clear();
    }
    // Every loaded entry starts ticked: ticks are not kept in the file.
    for (int count = 0; count < kMaxTargets; ++count) {
        const auto entry = lines.next();
        if (!entry)
            break;
        w.targetList().addEntry(fromEightBit(*entry));
    }
}

void ConfigFile::loadTemplatesFolder(const QString &line)
{
    if (trimBlanks(line).isEmpty() || !isUsableFolder(line))
        w.AFF_DIR_TEMPLATES->setText(configurationFolder());
    else
        w.AFF_DIR_TEMPLATES->setText(withTrailingSeparator(line));
}

QByteArray ConfigFile::content() const
{
    QByteArray bytes;
    const auto line = [&bytes](const QByteArray &value) { bytes += value + kLineEnd; };
    line(oneLine(w.INP_SERIAL_PORT->text()));
    line(w.readModeSelected() ? QByteArrayLiteral(" 1 ") : QByteArrayLiteral(" 0 "));
    line(oneLine(w.INP_PREFIX->text()));
    line(oneLine(w.INP_SUFFIX->text()));
    line(oneLine(w.AFF_DIR_TEMPLATES->text()));
    for (int i = 0; i < kReservedLines; ++i)
        line(QByteArray());
    for (int i = 0; i < w.LST_IP->count(); ++i)
        line(oneLine(w.LST_IP->item(i)->text()));
    return bytes;
}

bool ConfigFile::writeFile(const QByteArray &bytes) const
{
    // The new file is written beside the old one and renamed over it only when complete,
    // so that a failed or interrupted save never leaves a missing or partial configuration.
    // Unbuffered, so that a short write (disk full, size limit) shows in write()'s count: a
    // buffered one can pass through commit() unnoticed.
    QSaveFile file(filePath());
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           file.write(bytes) == bytes.size() && file.commit();
}

bool ConfigFile::B_SAVE_CFG_Click()
{
    if (w.ID_LOAD_CFG == F_MAIN::True)
        return false; // half-loaded controls must not overwrite the file
    if (writeFile(content()))
        return true;
    w.dialogs().beep(2);
    w.dialogs().messageBox(
        QStringLiteral("Unable to write the configuration to directory: ") + configurationFolder(),
        QStringLiteral("Error to write the configuration"), Dialogs::Icon::Critical);
    return false;
}

void ConfigFile::B_EDIT_DIR_TEMPLATE_Click()
{
    QString answer = trimBlanks(w.dialogs().inputBox(QStringLiteral("Enter the Folder template"),
                                                     QStringLiteral("Edit folder templates"),
                                                     w.AFF_DIR_TEMPLATES->text()));
    if (answer.isEmpty())
        return;
    answer = withTrailingSeparator(answer);

    if (QFileInfo(answer).isDir()) {
        w.AFF_DIR_TEMPLATES->setText(answer);
    } else {
        w.dialogs().messageBox(QStringLiteral("This directory does not exist !"), QString(),
                               Dialogs::Icon::Critical);
        w.AFF_DIR_TEMPLATES->setText(configurationFolder());
    }

#ifdef Q_OS_WIN
    if (!answer.contains(QLatin1Char(':'))) {
        w.dialogs().messageBox(
            QStringLiteral("The directory must contain a drive letter (Example C:\\MY_DIR...)"),
            QString(), Dialogs::Icon::Critical);
        w.AFF_DIR_TEMPLATES->setText(configurationFolder());
    }
#else
    // Without drive letters, a folder that does not depend on the current folder is an
    // absolute one.
    if (!QDir::isAbsolutePath(answer)) {
        w.dialogs().messageBox(QStringLiteral("The directory must be an absolute path (Example "
                                              "/home/operator/MY_DIR...)"),
                               QString(), Dialogs::Icon::Critical);
        w.AFF_DIR_TEMPLATES->setText(configurationFolder());
    }
#endif

    B_SAVE_CFG_Click();
}
