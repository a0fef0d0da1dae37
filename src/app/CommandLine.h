#pragma once

#include <QString>
#include <QStringList>

// What the station was asked on its command line. Read before anything else happens: --help
// and --version answer on any machine (no display, no files), and the folder is known before
// the single-instance lock, the configuration or the log are opened.
struct CommandLine
{
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    // The station's folder given with --folder, as typed; empty: the program's own folder.
    QString folder;
    // What is wrong with the command line, for Action::Error.
    QString error;

    // arguments[0] is the program.
    static CommandLine parse(const QStringList &arguments);
    static QString usage();
    static QString versionText();
};
