#pragma once

#include <QString>
#include <QStringList>

// The exit statuses of trelvane-station. A script tells the outcomes apart by these numbers
// alone, so each has one meaning and the numbers never change (the manual page lists them).
enum class ExitCode {
    Done = 0,           // the command did all it was asked
    Failed = 1,         // it could not be done: a unit refused, a file could not be written
    Refused = 2,        // the command line or its input was refused; nothing was started
    NoAnswer = 3,       // the unit did not answer in time
    Partial = 4,        // part of the work was done (some targets or files were not reached)
    AlreadyRunning = 5, // a station already runs on that folder; nothing was started
};

// What trelvane-station was asked on its command line. Parsed before anything is opened:
// --help and --version answer anywhere, and a refused argument starts nothing.
struct StationCommandLine
{
    enum class Action { Run, Help, Version, Error };
    enum class Command { None, Status, Enroll, Delete, Users, Backup, SyncNewUnit, Read };

    Action action = Action::Run;
    Command command = Command::None;
    // The station's folder given with --folder, as typed; empty: the program's own folder.
    QString folder;
    // enroll and delete: the user number as typed (checked: 1 to 4294967295).
    QString user;
    // users --unit: a target unit's address; sync-new-unit: the new unit, an address or COM<n>.
    QString unit;
    bool json = false; // results as one JSON document instead of plain lines
    bool yes = false;  // answer Yes to the questions before something that cannot be undone
    // What is wrong with the command line, for Action::Error.
    QString error;

    // arguments[0] is the program.
    static StationCommandLine parse(const QStringList &arguments);
    static QString usage();
    static QString versionText();
    static QString nameOf(Command command);

    // True for a user number the station enrolls or deletes from a script: plain decimal
    // digits naming 1 to 4294967295. Each such text is one the window accepts too, and means
    // the same user there (the same template file names).
    static bool isUserNumber(const QString &text);
    // True for a unit named on the command line: printable characters only and bounded in
    // length, since it reaches the activity log, the banner and a socket.
    static bool isUnitName(const QString &text);

    static constexpr qsizetype kMaxUnitNameLength = 255;
};
