#pragma once

#include "config/ConfigFormat.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class ActivityLog;
class Dialogs;
class ModeSwitch;
class StationState;
class TargetList;

// The station's settings file "Trelvane.cfg" in the configuration folder: read once at
// start-up, rewritten whole after every change of a setting.
//
// The lines of the file are ConfigFormat's; this part moves them between the file and the
// station's state.
class ConfigFile : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kFileName = "Trelvane.cfg";
    // What loading takes from a file at most: longer lines are cut, further target lines
    // ignored, so that any file, however large or strange, loads quickly and sanely.
    static constexpr qsizetype kMaxLineBytes = ConfigFormat::kMaxLineBytes;
    static constexpr int kMaxTargets = ConfigFormat::kMaxTargets;

    ConfigFile(StationState &state, Dialogs &dialogs, ActivityLog &log, TargetList &targets,
               ModeSwitch &modes);

    QString filePath() const;

    // Fills the state from the file; every save asked for meanwhile is refused.
    void LOAD_CFG();
    // Writes the whole file from the state. Returns false when refused (loading) or
    // when the file could not be written; the previous file then stays whole.
    bool B_SAVE_CFG_Click();
    // Asks for a new templates folder, checks it and saves.
    void B_EDIT_DIR_TEMPLATE_Click();

    // The folder separator of the platform, which every folder caption ends with.
    static QString separator();
    static QString withTrailingSeparator(const QString &folder);

    // A number as plain decimal text: "4", "-3", "2.5", never an exponent.
    static QString plainDecimal(double value);

private:
    void loadTemplatesFolder(const QString &line);
    QByteArray content() const;
    bool writeFile(const QByteArray &bytes) const;
    QString configurationFolder() const;

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_log;
    TargetList &m_targets;
    ModeSwitch &m_modes;
};
