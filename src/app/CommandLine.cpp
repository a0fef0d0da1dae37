#include "app/CommandLine.h"

#include "app/F_MAIN.h"

#ifndef TRELVANE_VERSION
#define TRELVANE_VERSION "1.0"
#endif

namespace {

const QString kFolderOption = QStringLiteral("--folder");

CommandLine failure(const QString &error)
{
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = error;
    return result;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action = Action::Help;
            return result; // asking for help is answered whatever else was typed
        }
        if (argument == QLatin1String("--version")) {
            result.action = Action::Version;
            return result;
        }
        QString folder;
        if (argument == kFolderOption) {
            if (++i == arguments.size())
                return failure(QStringLiteral("--folder needs the name of a folder"));
            folder = arguments[i];
        } else if (argument.startsWith(kFolderOption + QLatin1Char('='))) {
            folder = argument.mid(kFolderOption.size() + 1);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return failure(QStringLiteral("unknown option %1").arg(argument));
        } else {
            return failure(QStringLiteral("unexpected argument %1").arg(argument));
        }
        if (folder.isEmpty())
            return failure(QStringLiteral("--folder needs the name of a folder"));
        if (!result.folder.isEmpty())
            return failure(QStringLiteral("--folder is given twice"));
        result.folder = folder;
    }
    return result;
}

QString CommandLine::usage()
{
    return QStringLiteral("usage: TrelvaneEnrollment [--folder DIR]\n"
                          "       TrelvaneEnrollment --help | --version\n"
                          "\n"
                          "The enrollment station of a site of Trelvane fingerprint units.\n"
                          "\n"
                          "  --folder DIR  keep the station's files in DIR: Trelvane.cfg\n"
                          "                (settings), ADPW.CFG (enroll password), the\n"
                          "                activity logs Trelvane_DD-MM-YYYY.log,\n"
                          "                OMBRIX_PING.BAT (ping test), the COM<n> links to\n"
                          "                serial devices and, unless the settings name another\n"
                          "                templates folder, the templates <user>-<nn>.DAT.\n"
                          "                Without it: the folder of the program. The installed\n"
                          "                menu entry passes /var/opt/trelvane.\n"
                          "  -h, --help    print this text and end\n"
                          "  --version     print the version and end\n"
                          "\n"
                          "Ports: UDP %1 (uploads and deletions to target units; a station in\n"
                          "read mode listens there), TCP %2 (a target unit's user list).\n")
        .arg(StationOptions{}.udpPort)
        .arg(StationOptions{}.tcpPort);
}

QString CommandLine::versionText()
{
    return QStringLiteral("TrelvaneEnrollment " TRELVANE_VERSION "\n");
}
