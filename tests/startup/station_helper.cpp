// A station that starts on the folder and UDP port given as arguments, with dialogs that a
// script answers (every box is printed instead of shown). Prints the boxes, the beeps and
// the result of Form_Load; a station that started keeps running until it is ended.
#include "app/F_MAIN.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3)
        return 2;

    StationOptions options;
    options.programFolder = args[1];
    options.udpPort = args[2].toUShort();
    SystemClock clock;
    ScriptedDialogs dialogs;
    F_MAIN window(options, StationPlatform{clock, dialogs});
    const bool loaded = window.startup().Form_Load();

    QTextStream out(stdout);
    for (const ScriptedDialogs::Shown &box : dialogs.shown()) {
        if (box.kind == ScriptedDialogs::Shown::Kind::Message)
            out << "box: " << box.text << " | title: " << box.title << " | icon: " << int(box.icon)
                << "\n";
    }
    out << "beeps: " << dialogs.beeps() << "\n"
        << "Form_Load: " << (loaded ? "true" : "false") << "\n";
    out.flush();
    return loaded ? app.exec() : 0;
}
