#include "app/F_MAIN.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TrelvaneEnrollment"));
    // The window hides into the tray; the program ends only through the close question.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    QtDialogs dialogs;
    StationOptions options;
    options.programFolder = QDir::toNativeSeparators(QApplication::applicationDirPath());
    // --folder DIR: the station keeps its data there instead of beside the program, for an
    // installation whose program folder only administrators may change.
    const QStringList args = QApplication::arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--folder")); at > 0) {
        const QFileInfo folder(args.value(at + 1));
        if (!folder.isAbsolute() || !folder.isDir()) {
            dialogs.messageBox(QStringLiteral("The data folder \"%1\" given with --folder is "
                                              "not an existing folder: create it or correct "
                                              "the program's shortcut.")
                                   .arg(args.value(at + 1)),
                               QString(), Dialogs::Icon::Critical);
            return 2;
        }
        options.programFolder = QDir::toNativeSeparators(folder.absoluteFilePath());
    }
    F_MAIN window(options, StationPlatform{clock, dialogs});
    dialogs.setParentWindow(&window);
    if (!window.startup().Form_Load())
        return 0;
    return app.exec();
}
