// A station that saves one of its files over and over, for the test that kills it in the
// middle of a save. Usage: save_loop_helper FOLDER config|password|template
//
// It builds a station on FOLDER (without a window), saves content B and copies what it wrote to
// FOLDER/expected-b, then content A (FOLDER/expected-a), and prints "ready" and how long the
// longer of the two saves took, in microseconds. Each line "go"
// on its input forks a child that saves B, A, B, A, ... until it is killed; the helper
// prints "child PID", waits for the child to end and prints "ended SIGNAL". It ends at the
// end of its input, and a child never outlives it.
#include "config/ConfigFile.h"
#include "config/ModeSwitch.h"
#include "enroll/TemplateStore.h"
#include "platform/ScriptedDialogs.h"
#include "platform/TestClock.h"
#include "station/Station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One save of content 0 (A) or 1 (B); false when it failed.
using Save = std::function<bool(int content)>;

QString filled(char c, int n)
{
    return QString(n, QLatin1Char(c));
}

QByteArray templateBytes(int content)
{
    // Two templates of different sizes, every byte value in both.
    QByteArray bytes(content ? 48 * 1024 : 32 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * (content ? 7 : 13) + content) & 0xFF);
    return bytes;
}

bool copyFile(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    return in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly) &&
           out.write(in.readAll()) >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    const QString folder = args[1] + QLatin1Char('/');
    const QString kind = args[2];

    StationOptions options;
    options.programFolder = args[1];
    TestClock clock;
    ScriptedDialogs dialogs;
    Station w(options, StationPlatform{clock, dialogs});
    StationState &state = w.state();
    state.setConfigFolder(folder);
    state.setTemplatesFolder(folder);

    QString path;
    Save save;
    if (kind == QLatin1String("config")) {
        path = w.configFile().filePath();
        for (int i = 0; i < 60; ++i)
            state.insertTarget(
                i, {QStringLiteral("10.0.%1.%2        Unit %2").arg(i / 250).arg(i), true});
        save = [&w, &state](int content) {
            // The prefix and suffix change without a save of their own (no focus moves).
            state.setPrefix(content ? filled('B', 3000) : filled('a', 2000));
            state.setSuffix(content ? QStringLiteral("{TAB}") : QStringLiteral("{ENTER}"));
            return w.configFile().B_SAVE_CFG_Click();
        };
    } else if (kind == QLatin1String("password")) {
        path = w.modeSwitch().passwordFilePath();
        save = [&w](int content) {
            return w.modeSwitch().writePassword(content ? QStringLiteral("  Second Password ")
                                                        : QStringLiteral("first"));
        };
    } else if (kind == QLatin1String("template")) {
        path = w.templateStore().path(QStringLiteral("12345"), 1);
        save = [&w](int content) {
            return w.templateStore().write(QStringLiteral("12345"), 1, templateBytes(content));
        };
    } else {
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    if (!save(1))
        return 3;
    const qint64 firstUs = timer.nsecsElapsed() / 1000;
    if (!copyFile(path, folder + QStringLiteral("expected-b")))
        return 3;
    timer.restart();
    if (!save(0))
        return 3;
    const qint64 secondUs = timer.nsecsElapsed() / 1000;
    if (!copyFile(path, folder + QStringLiteral("expected-a")))
        return 3;
    std::cout << "ready " << qMax(firstUs, secondUs) << std::endl;

    std::string command;
    while (std::getline(std::cin, command)) {
        if (command != "go")
            continue;
        const pid_t child = fork();
        if (child < 0)
            return 4;
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (int content = 1;; content ^= 1)
                save(content);
        }
        std::cout << "child " << child << std::endl;
        int status = 0;
        waitpid(child, &status, 0);
        std::cout << "ended " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << std::endl;
    }
    return 0;
}
