#include "app/F_MAIN.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDir>

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
    F_MAIN window(options, StationPlatform{clock, dialogs});
    dialogs.setParentWindow(&window);
    if (!window.startup().Form_Load())
        return 0;
    return app.exec();
}
