#include "config/ConfigFile.h"

#include "config/ModeSwitch.h"
#include "config/TargetList.h"
#include "log/ActivityLog.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "station/StationState.h"
#include "util/Blanks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

// A folder that the station can use: an existing folder named by an absolute path (a
// relative one would depend on whatever the current folder happens to be).
bool isUsableFolder(const QString &path)
{
    return !path.contains(QChar(0)) && QDir::isAbsolutePath(path) && QFileInfo(path).isDir();
}

constexpr qint16 kTrue = -1;

} // namespace

ConfigFile::ConfigFile(StationState &state, Dialogs &dialogs, ActivityLog &log, TargetList &targets,
                       ModeSwitch &modes)
    : m_state(state), m_dialogs(dialogs), m_log(log), m_targets(targets), m_modes(modes)
{}

QString ConfigFile::configurationFolder() const
{
    return m_state.configFolder();
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
    return ConfigFormat::plainDecimal(value);
}

void ConfigFile::LOAD_CFG()
{
    m_state.ID_LOAD_CFG = kTrue;
    const auto loaded = qScopeGuard([this] { m_state.ID_LOAD_CFG = 0; });

    QFile file(filePath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        // First run (or nothing readable): the window's defaults stand.
        m_state.setTemplatesFolder(configurationFolder());
        m_modes.select(0);
        return;
    }

    // A line missing from a short file leaves its value as it is (the window's default),
    // except the mode and the templates folder, which always get a sane value.
    const ConfigFormat::Values values = ConfigFormat::read(file);
    file.close();
    // Every value is in place before the mode switch acts on them: it opens the UDP port and
    // may show a box and let events run (a supervision tick, a datagram, a user typed in read
    // mode), and none of that may see a half-loaded configuration.
    if (values.serialPort)
        m_state.setSerialPort(*values.serialPort);
    if (values.prefix)
        m_state.setPrefix(*values.prefix);
    if (values.suffix)
        m_state.setSuffix(*values.suffix);
    loadTemplatesFolder(values.templatesFolder);
    // Every loaded entry starts ticked: ticks are not kept in the file. Replacing the list
    // is no choice of an entry.
    m_targets.setEntries(values.targets);

    m_modes.select(values.readMode ? 1 : 0);
}

void ConfigFile::loadTemplatesFolder(const QString &line)
{
    if (trimBlanks(line).isEmpty() || !isUsableFolder(line))
        m_state.setTemplatesFolder(configurationFolder());
    else
        m_state.setTemplatesFolder(withTrailingSeparator(line));
}

QByteArray ConfigFile::content() const
{
    ConfigFormat::Values values;
    values.serialPort = m_state.serialPort();
    values.readMode = m_state.readMode();
    values.prefix = m_state.prefix();
    values.suffix = m_state.suffix();
    values.templatesFolder = m_state.templatesFolder();
    for (const TargetUnit &target : m_state.targets())
        values.targets.append(target.line);
    return ConfigFormat::write(values);
}

bool ConfigFile::writeFile(const QByteArray &bytes) const
{
    // The new file is written beside the old one and renamed over it only when complete,
    // so that a failed or interrupted save never leaves a missing or partial configuration;
    // a link planted at the name is refused, never written through.
    const SafeFile::Result result = SafeFile::replace(filePath(), bytes);
    if (!result.ok)
        m_log.WRITE_LOG(QStringLiteral("Configuration not written to ") + filePath() +
                        QStringLiteral(": ") + result.reason);
    return result.ok;
}

bool ConfigFile::B_SAVE_CFG_Click()
{
    if (m_state.ID_LOAD_CFG == kTrue)
        return false; // half-loaded controls must not overwrite the file
    // Before start-up names the folder there is nothing to save, and a file name without
    // a folder would land wherever the program was started from.
    if (configurationFolder().isEmpty())
        return false;
    if (writeFile(content()))
        return true;
    m_dialogs.beep(2);
    m_dialogs.messageBox(
        QStringLiteral("Unable to write the configuration to directory: ") + configurationFolder(),
        QStringLiteral("Error to write the configuration"), Dialogs::Icon::Critical);
    return false;
}

void ConfigFile::B_EDIT_DIR_TEMPLATE_Click()
{
    QString answer = trimBlanks(m_dialogs.inputBox(QStringLiteral("Enter the Folder template"),
                                                   QStringLiteral("Edit folder templates"),
                                                   m_state.templatesFolder()));
    if (answer.isEmpty())
        return;
    answer = withTrailingSeparator(answer);

    if (QFileInfo(answer).isDir()) {
        m_state.setTemplatesFolder(answer);
    } else {
        m_dialogs.messageBox(QStringLiteral("This directory does not exist !"), QString(),
                             Dialogs::Icon::Critical);
        m_state.setTemplatesFolder(configurationFolder());
    }

#ifdef Q_OS_WIN
    if (!answer.contains(QLatin1Char(':'))) {
        m_dialogs.messageBox(
            QStringLiteral("The directory must contain a drive letter (Example C:\\MY_DIR...)"),
            QString(), Dialogs::Icon::Critical);
        m_state.setTemplatesFolder(configurationFolder());
    }
#else
    // Without drive letters, a folder that does not depend on the current folder is an
    // absolute one.
    if (!QDir::isAbsolutePath(answer)) {
        m_dialogs.messageBox(QStringLiteral("The directory must be an absolute path (Example "
                                            "/home/operator/MY_DIR...)"),
                             QString(), Dialogs::Icon::Critical);
        m_state.setTemplatesFolder(configurationFolder());
    }
#endif

    B_SAVE_CFG_Click();
}
