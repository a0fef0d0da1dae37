#include "cli/StationCommandLine.h"

#include "cli/PlainText.h"
#include "util/UserNumber.h"

#include <array>

#ifndef TRELVANE_VERSION
#define TRELVANE_VERSION "1.0"
#endif

namespace {

using Command = StationCommandLine::Command;

struct CommandName
{
    Command command;
    const char *name;
    int arguments; // words that follow the command
};

const std::array<CommandName, 7> kCommands{{
    {Command::Status, "status", 0},
    {Command::Enroll, "enroll", 1},
    {Command::Delete, "delete", 1},
    {Command::Users, "users", 0},
    {Command::Backup, "backup", 0},
    {Command::SyncNewUnit, "sync-new-unit", 1},
    {Command::Read, "read", 0},
}};

// 4294967295 has ten digits: a longer text is refused before any conversion.
constexpr qsizetype kMaxUserDigits = 10;

StationCommandLine failure(const QString &error)
{
    StationCommandLine result;
    result.action = StationCommandLine::Action::Error;
    result.error = error;
    return result;
}

const CommandName *findCommand(const QString &word)
{
    for (const CommandName &entry : kCommands)
        if (word == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

// The operator's bytes are quoted back in messages, made safe for the terminal and cut
// short: an argument can be as long as the system allows.
QString quoted(const QString &text)
{
    constexpr qsizetype kShown = 64;
    QString shown = plainText(text.left(kShown));
    if (text.size() > kShown)
        shown += QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// Reads the value of an option written "--name VALUE" or "--name=VALUE".
bool takeValue(const QStringList &arguments, qsizetype &i, const QString &name, QString &value,
               bool &present)
{
    const QString &argument = arguments[i];
    if (argument == name) {
        present = true;
        if (i + 1 < arguments.size())
            value = arguments[++i];
        return true;
    }
    if (argument.startsWith(name + QLatin1Char('='))) {
        present = true;
        value = argument.mid(name.size() + 1);
        return true;
    }
    return false;
}

QString checkArguments(StationCommandLine &result, const QStringList &words, bool unitOption)
{
    if (words.isEmpty())
        return QStringLiteral("no command given");
    const CommandName *entry = findCommand(words.first());
    if (!entry)
        return QStringLiteral("unknown command %1").arg(quoted(words.first()));
    result.command = entry->command;
    const QString name = QLatin1String(entry->name);
    if (words.size() - 1 < entry->arguments)
        return result.command == Command::SyncNewUnit
                   ? QStringLiteral("sync-new-unit needs the new unit's address or COM<n>")
                   : QStringLiteral("%1 needs a user number").arg(name);
    if (words.size() - 1 > entry->arguments)
        return QStringLiteral("unexpected argument %1 after %2").arg(quoted(words.last()), name);
    if (unitOption && result.command != Command::Users)
        return QStringLiteral("--unit goes only with users");
    switch (result.command) {
    case Command::Enroll:
    case Command::Delete:
        result.user = words[1];
        if (!StationCommandLine::isUserNumber(result.user))
            return QStringLiteral("invalid user number %1: enter a number from 1 to 4294967295")
                .arg(quoted(result.user));
        break;
    case Command::SyncNewUnit:
        result.unit = words[1];
        if (!StationCommandLine::isUnitName(result.unit))
            return QStringLiteral("invalid unit %1").arg(quoted(result.unit));
        break;
    default:
        break;
    }
    return QString();
}

} // namespace

bool StationCommandLine::isUserNumber(const QString &text)
{
    // Stricter than the user field, which takes the number at the start of "12abc" or " 7"
    // and names the files after the whole text: there the operator sees the text in the
    // field and the banner, and what the number left out. A script's argument has no
    // operator to see what was dropped, so it must be the number's digits and nothing else.
    if (text.isEmpty() || text.size() > kMaxUserDigits)
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return UserNumber::fromOperatorText(text).has_value();
}

bool StationCommandLine::isUnitName(const QString &text)
{
    if (text.trimmed().isEmpty() || text.size() > kMaxUnitNameLength)
        return false;
    for (const QChar c : text)
        if (!c.isPrint() || c.isSpace())
            return false;
    return true;
}

StationCommandLine StationCommandLine::parse(const QStringList &arguments)
{
    StationCommandLine result;
    QStringList words;
    bool folderGiven = false;
    bool unitGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            StationCommandLine help;
            help.action = Action::Help;
            return help; // asking for help is answered whatever else was typed
        }
        if (argument == QLatin1String("--version")) {
            StationCommandLine version;
            version.action = Action::Version;
            return version;
        }
        if (argument == QLatin1String("--json")) {
            result.json = true;
            continue;
        }
        if (argument == QLatin1String("--yes") || argument == QLatin1String("-y")) {
            result.yes = true;
            continue;
        }
        const bool folderBefore = folderGiven;
        QString value;
        if (takeValue(arguments, i, QStringLiteral("--folder"), value, folderGiven)) {
            if (folderBefore)
                return failure(QStringLiteral("--folder is given twice"));
            if (value.isEmpty())
                return failure(QStringLiteral("--folder needs the name of a folder"));
            result.folder = value;
            continue;
        }
        const bool unitBefore = unitGiven;
        if (takeValue(arguments, i, QStringLiteral("--unit"), value, unitGiven)) {
            if (unitBefore)
                return failure(QStringLiteral("--unit is given twice"));
            if (value.isEmpty())
                return failure(QStringLiteral("--unit needs the address of a target unit"));
            if (!isUnitName(value))
                return failure(QStringLiteral("invalid unit %1").arg(quoted(value)));
            result.unit = value;
            continue;
        }
        if (argument == QLatin1String("--")) {
            words += arguments.mid(i + 1);
            break;
        }
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            return failure(QStringLiteral("unknown option %1").arg(quoted(argument)));
        words.append(argument);
    }
    const QString error = checkArguments(result, words, unitGiven);
    if (!error.isEmpty())
        return failure(error);
    return result;
}

QString StationCommandLine::nameOf(Command command)
{
    for (const CommandName &entry : kCommands)
        if (entry.command == command)
            return QLatin1String(entry.name);
    return QString();
}

QString StationCommandLine::usage()
{
    return QStringLiteral(
        "usage: trelvane-station [--folder DIR] [--json] [--yes] COMMAND\n"
        "       trelvane-station --help | --version\n"
        "\n"
        "Acts on a station folder as the window does, without a window.\n"
        "\n"
        "Commands:\n"
        "  status                   the source link, the unit's answer to the handshake,\n"
        "                           the mode and the ticked target units\n"
        "  enroll USER              enroll a user on the source unit and send the templates\n"
        "                           to the ticked target units\n"
        "  delete USER              delete a user from the source unit, its template files\n"
        "                           and the ticked target units (needs --yes)\n"
        "  users [--unit ADDRESS]   the user list of the source unit, or of a target unit\n"
        "  backup                   every listed user's templates from the source unit into\n"
        "                           the templates folder\n"
        "  sync-new-unit ADDRESS|COM<n>\n"
        "                           bring a new unit up to date with the templates folder\n"
        "  read                     read mode until SIGTERM or SIGINT\n"
        "\n"
        "Options:\n"
        "  --folder DIR   the station's folder (default: the program's own folder)\n"
        "  --json         results as one JSON document on standard output\n"
        "  --yes, -y      answer Yes to the question before a deletion\n"
        "  --help, -h     this text\n"
        "  --version      the program's version\n"
        "\n"
        "USER is a number from 1 to 4294967295. Progress goes to standard error, results\n"
        "to standard output.\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  failed: a unit refused, a file could not be written\n"
        "  2  the command line or its input was refused; nothing was started\n"
        "  3  the unit did not answer in time\n"
        "  4  partial: some targets or files were not reached\n"
        "  5  a station already runs on that folder; nothing was started\n");
}

QString StationCommandLine::versionText()
{
    return QStringLiteral("trelvane-station " TRELVANE_VERSION "\n");
}
