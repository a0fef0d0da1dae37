#include "config/ConfigFile.h"

#include "app/F_MAIN.h"
#include "config/ModeSwitch.h"
#include "config/TargetList.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "util/Blanks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>

namespace {

// A folder that the station can use: an existing folder named by an absolute path (a
// relative one would depend on whatever the current folder happens to be).
bool isUsableFolder(const QString &path)
{
    return !path.contains(QChar(0)) && QDir::isAbsolutePath(path) && QFileInfo(path).isDir();
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
    return ConfigFormat::plainDecimal(value);
}

void ConfigFile::LOAD_CFG()
{
    w.ID_LOAD_CFG = F_MAIN::True;
    const auto loaded = qScopeGuard([this] { w.ID_LOAD_CFG = 0; });

    QFile file(filePath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        // First run (or nothing readable): the window's defaults stand.
        w.state().setTemplatesFolder(configurationFolder());
        w.modeSwitch().select(0);
        return;
    }

    // A line missing from a short file leaves its control as it is (the window's default),
    // except the mode and the templates folder, which always get a sane value.
    const ConfigFormat::Values values = ConfigFormat::read(file);
    file.close();
    // Every value is in place before the mode switch acts on them: it opens the UDP port and
    // may show a box and let events run (a supervision tick, a datagram, a user typed in read
    // mode), and none of that may see a half-loaded configuration.
    if (values.serialPort)
        w.INP_SERIAL_PORT->setText(*values.serialPort);
    if (values.prefix)
        w.INP_PREFIX->setText(*values.prefix);
    if (values.suffix)
        w.INP_SUFFIX->setText(*values.suffix);
    loadTemplatesFolder(values.templatesFolder);
    {
        const QSignalBlocker quiet(w.LST_IP); // emptying the list is no click on an entry
        w.LST_IP->clear();
    }
    // Every loaded entry starts ticked: ticks are not kept in the file.
    for (const QString &entry : values.targets)
        w.targetList().addEntry(entry);

    w.modeSwitch().select(values.readMode ? 1 : 0);
}

void ConfigFile::loadTemplatesFolder(const QString &line)
{
    if (trimBlanks(line).isEmpty() || !isUsableFolder(line))
        w.state().setTemplatesFolder(configurationFolder());
    else
        w.state().setTemplatesFolder(withTrailingSeparator(line));
}

QByteArray ConfigFile::content() const
{
    ConfigFormat::Values values;
    values.serialPort = w.INP_SERIAL_PORT->text();
    values.readMode = w.readModeSelected();
    values.prefix = w.INP_PREFIX->text();
    values.suffix = w.INP_SUFFIX->text();
    values.templatesFolder = w.AFF_DIR_TEMPLATES->text();
    for (int i = 0; i < w.LST_IP->count(); ++i)
        values.targets.append(w.LST_IP->item(i)->text());
    return ConfigFormat::write(values);
}

bool ConfigFile::writeFile(const QByteArray &bytes) const
{
    // The new file is written beside the old one and renamed over it only when complete,
    // so that a failed or interrupted save never leaves a missing or partial configuration;
    // a link planted at the name is refused, never written through.
    const SafeFile::Result result = SafeFile::replace(filePath(), bytes);
    if (!result.ok)
        w.WRITE_LOG(QStringLiteral("Configuration not written to ") + filePath() +
                    QStringLiteral(": ") + result.reason);
    return result.ok;
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
        w.state().setTemplatesFolder(answer);
    } else {
        w.dialogs().messageBox(QStringLiteral("This directory does not exist !"), QString(),
                               Dialogs::Icon::Critical);
        w.state().setTemplatesFolder(configurationFolder());
    }

#ifdef Q_OS_WIN
    if (!answer.contains(QLatin1Char(':'))) {
        w.dialogs().messageBox(
            QStringLiteral("The directory must contain a drive letter (Example C:\\MY_DIR...)"),
            QString(), Dialogs::Icon::Critical);
        w.state().setTemplatesFolder(configurationFolder());
    }
#else
    // Without drive letters, a folder that does not depend on the current folder is an
    // absolute one.
    if (!QDir::isAbsolutePath(answer)) {
        w.dialogs().messageBox(QStringLiteral("The directory must be an absolute path (Example "
                                              "/home/operator/MY_DIR...)"),
                               QString(), Dialogs::Icon::Critical);
        w.state().setTemplatesFolder(configurationFolder());
    }
#endif

    B_SAVE_CFG_Click();
}
