#include "app/CommandLine.h"
#include "app/F_MAIN.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "app/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

void print(FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    // A Windows program with a window has no console: started from the Start menu or the
    // Explorer, what it writes goes nowhere. There the text is shown in a message box;
    // output that was redirected (a script, a shortcut's log) still gets it as text.
    const HANDLE out = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        MessageBoxW(nullptr, text.trimmed().toStdWString().c_str(), L"TrelvaneEnrollment",
                    MB_OK | (stream == stderr ? MB_ICONERROR : MB_ICONINFORMATION));
        return;
    }
#endif
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int refuse(const QString &error)
{
    print(stderr, QStringLiteral("TrelvaneEnrollment: %1\n\n").arg(error) + CommandLine::usage());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is answered before Qt is started: --help and --version need no
    // display, and the folder must be known before anything is opened in it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    switch (command.action) {
    case CommandLine::Action::Help:
        print(stdout, CommandLine::usage());
        return 0;
    case CommandLine::Action::Version:
        print(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::Error:
        return refuse(command.error);
    case CommandLine::Action::Run:
        break;
    }
    const QFileInfo folder(command.folder);
    if (!command.folder.isEmpty() && !folder.isDir())
        return refuse(QStringLiteral("the folder %1 does not exist").arg(command.folder));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TrelvaneEnrollment"));
    // The window hides into the tray; the program ends only through the close question.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    QtDialogs dialogs;
    StationOptions options;
    // The station's files live in its own folder unless the command line names another
    // (an installed station keeps its program where only root writes).
    options.programFolder = QDir::toNativeSeparators(
        command.folder.isEmpty() ? QApplication::applicationDirPath() : folder.absoluteFilePath());
    F_MAIN window(options, StationPlatform{clock, dialogs});
    dialogs.setParentWindow(&window);
    if (!window.startup().Form_Load())
        return 0;
    return app.exec();
}
