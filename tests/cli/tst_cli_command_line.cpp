#include "cli/StationCommandLine.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using Action = StationCommandLine::Action;
using Command = StationCommandLine::Command;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Command)

class TestCliCommandLine : public QObject
{
    Q_OBJECT

    static StationCommandLine parse(const QStringList &arguments)
    {
        return StationCommandLine::parse(QStringList{QStringLiteral("trelvane-station")} +
                                         arguments);
    }

private slots:
    void accepted_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("yes");

        QTest::newRow("status") << QStringList{"status"} << Command::Status << ""
                                << ""
                                << "" << false << false;
        QTest::newRow("options before and after")
            << QStringList{"--folder", "/var/opt/trelvane", "status", "--json"} << Command::Status
            << ""
            << ""
            << "/var/opt/trelvane" << true << false;
        QTest::newRow("folder with =")
            << QStringList{"--folder=/srv/a b", "read"} << Command::Read << ""
            << ""
            << "/srv/a b" << false << false;
        QTest::newRow("enroll") << QStringList{"enroll", "12345"} << Command::Enroll << "12345"
                                << ""
                                << "" << false << false;
        QTest::newRow("delete with --yes")
            << QStringList{"delete", "4294967295", "--yes"} << Command::Delete << "4294967295"
            << ""
            << "" << false << true;
        QTest::newRow("delete with -y")
            << QStringList{"-y", "delete", "7"} << Command::Delete << "7"
            << ""
            << "" << false << true;
        QTest::newRow("users of the source unit") << QStringList{"users"} << Command::Users << ""
                                                  << ""
                                                  << "" << false << false;
        QTest::newRow("users of a target unit")
            << QStringList{"users", "--unit", "192.168.1.20"} << Command::Users << ""
            << "192.168.1.20"
            << "" << false << false;
        QTest::newRow("users --unit=")
            << QStringList{"--unit=10.0.0.2", "users", "--json"} << Command::Users << ""
            << "10.0.0.2"
            << "" << true << false;
        QTest::newRow("backup") << QStringList{"backup"} << Command::Backup << ""
                                << ""
                                << "" << false << false;
        QTest::newRow("sync-new-unit address")
            << QStringList{"sync-new-unit", "192.168.1.30"} << Command::SyncNewUnit << ""
            << "192.168.1.30"
            << "" << false << false;
        QTest::newRow("sync-new-unit serial")
            << QStringList{"sync-new-unit", "COM3"} << Command::SyncNewUnit << ""
            << "COM3"
            << "" << false << false;
        QTest::newRow("after --") << QStringList{"--", "enroll", "9"} << Command::Enroll << "9"
                                  << ""
                                  << "" << false << false;
    }

    void accepted()
    {
        QFETCH(QStringList, arguments);
        const StationCommandLine line = parse(arguments);
        QCOMPARE(line.error, QString());
        QCOMPARE(line.action, Action::Run);
        QTEST(line.command, "command");
        QTEST(line.user, "user");
        QTEST(line.unit, "unit");
        QTEST(line.folder, "folder");
        QTEST(line.json, "json");
        QTEST(line.yes, "yes");
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");

        QTest::newRow("nothing") << QStringList{} << "no command given";
        QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
        QTest::newRow("unknown option")
            << QStringList{"--force", "status"} << "unknown option \"--force\"";
        QTest::newRow("enroll without user") << QStringList{"enroll"} << "enroll needs a user";
        QTest::newRow("delete without user") << QStringList{"delete"} << "delete needs a user";
        QTest::newRow("two users")
            << QStringList{"enroll", "1", "2"} << "unexpected argument \"2\" after enroll";
        QTest::newRow("argument to status")
            << QStringList{"status", "now"} << "unexpected argument \"now\" after status";
        QTest::newRow("two commands")
            << QStringList{"status", "backup"} << "unexpected argument \"backup\" after status";
        QTest::newRow("sync-new-unit without unit")
            << QStringList{"sync-new-unit"} << "sync-new-unit needs the new unit's address";
        QTest::newRow("--unit with another command")
            << QStringList{"backup", "--unit", "10.0.0.2"} << "--unit goes only with users";
        QTest::newRow("--unit without value")
            << QStringList{"users", "--unit"} << "--unit needs the address";
        QTest::newRow("--unit twice")
            << QStringList{"users", "--unit", "10.0.0.2", "--unit=10.0.0.3"}
            << "--unit is given twice";
        QTest::newRow("--folder without value")
            << QStringList{"status", "--folder"} << "--folder needs the name of a folder";
        QTest::newRow("--folder empty")
            << QStringList{"--folder=", "status"} << "--folder needs the name of a folder";
        QTest::newRow("--folder twice")
            << QStringList{"--folder", "a", "--folder", "b", "status"} << "--folder is given twice";
        QTest::newRow("user zero") << QStringList{"enroll", "0"} << "invalid user number \"0\"";
        QTest::newRow("user beyond 32 bits")
            << QStringList{"enroll", "4294967296"} << "invalid user number \"4294967296\"";
        // Bytes from the operator are shown back, never obeyed by the terminal.
        QTest::newRow("escape in a command")
            << QStringList{"\x1b]0;owned\x07"} << "unknown command \"\\x1b]0;owned\\x07\"";
        QTest::newRow("long user cut short")
            << QStringList{"delete", QString(5000, u'9')}
            << "invalid user number \"" + QString(64, u'9') + "...\"";
        QTest::newRow("unit with a blank")
            << QStringList{"sync-new-unit", "10.0.0.2 x"} << "invalid unit \"10.0.0.2 x\"";
        QTest::newRow("unit with a line break")
            << QStringList{"users", "--unit", "10.0.0.2\nx"} << "invalid unit \"10.0.0.2\\x0ax\"";
        QTest::newRow("unit too long")
            << QStringList{"sync-new-unit", QString(256, u'a')} << "invalid unit";
    }

    void refused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const StationCommandLine line = parse(arguments);
        QCOMPARE(line.action, Action::Error);
        QVERIFY2(line.error.startsWith(error), qPrintable(line.error));
    }

    // Help and version answer whatever else is on the line, even an error.
    void helpAndVersionWin_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::newRow("--help") << QStringList{"--help"} << Action::Help;
        QTest::newRow("-h after a bad user") << QStringList{"enroll", "0", "-h"} << Action::Help;
        QTest::newRow("--version after an unknown command")
            << QStringList{"erase", "--version"} << Action::Version;
    }

    void helpAndVersionWin()
    {
        QFETCH(QStringList, arguments);
        QTEST(parse(arguments).action, "action");
    }

    // Only texts that mean one user, the same one in the window, are taken: plain digits.
    // The window itself reads "12abc" as 12 and names files after "12abc"; a script that
    // passes such a text has a fault, and is told so before anything is sent.
    void userNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("largest") << "4294967295" << true;
        QTest::newRow("leading zeros, ten digits") << "0000000042" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("one above the largest") << "4294967296" << false;
        QTest::newRow("eleven digits") << "00000000001" << false;
        QTest::newRow("negative") << "-1" << false;
        QTest::newRow("plus sign") << "+5" << false;
        QTest::newRow("fraction") << "1.5" << false;
        QTest::newRow("whole with a point") << "2.0" << false;
        QTest::newRow("exponent") << "1e3" << false;
        QTest::newRow("trailing letters") << "12abc" << false;
        QTest::newRow("leading blank") << " 12" << false;
        QTest::newRow("path") << "12/../x" << false;
        QTest::newRow("pattern") << "1*" << false;
        QTest::newRow("other digits") << QString::fromUtf8("\u0661\u0662") << false;
        QTest::newRow("full-width digits") << QString::fromUtf8("\uff11\uff12") << false;
    }

    void userNumber()
    {
        QFETCH(QString, text);
        QTEST(StationCommandLine::isUserNumber(text), "accepted");
    }

    // Scripts test the exit status by number: the numbers, the help text and the manual page
    // must say the same.
    void exitStatusDocumented_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("done") << int(ExitCode::Done);
        QTest::newRow("failed") << int(ExitCode::Failed);
        QTest::newRow("refused") << int(ExitCode::Refused);
        QTest::newRow("no answer") << int(ExitCode::NoAnswer);
        QTest::newRow("partial") << int(ExitCode::Partial);
        QTest::newRow("already running") << int(ExitCode::AlreadyRunning);
    }

    void exitStatusDocumented()
    {
        QFETCH(int, code);
        const QRegularExpression inHelp(QStringLiteral("\n  %1  \\S").arg(code));
        QVERIFY(StationCommandLine::usage().contains(inHelp));
        QFile page(QStringLiteral(MANUAL_PAGE));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const qsizetype section = text.indexOf(QLatin1String(".SH \"EXIT STATUS\""));
        QVERIFY(section >= 0);
        const QRegularExpression inPage(QStringLiteral("\\.TP\\n\\.B %1\\n").arg(code));
        QVERIFY(text.mid(section).contains(inPage));
    }

    // Every command the parser takes is in the help text and in the manual page's COMMANDS.
    void everyCommandDocumented()
    {
        QFile page(QStringLiteral(MANUAL_PAGE));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const QString commands =
            text.section(QLatin1String(".SH COMMANDS"), 1).section(QLatin1String(".SH "), 0, 0);
        for (const Command command :
             {Command::Status, Command::Enroll, Command::Delete, Command::Users, Command::Backup,
              Command::SyncNewUnit, Command::Read}) {
            const QString name = StationCommandLine::nameOf(command);
            QVERIFY(parse({name, QStringLiteral("1")}).command == command ||
                    parse({name}).command == command);
            QVERIFY2(StationCommandLine::usage().contains(QLatin1String("  ") + name),
                     qPrintable(name));
            const QRegularExpression entry(
                QStringLiteral("\\.TP\\n\\.B[IR]? ") +
                QRegularExpression::escape(QString(name).replace(u'-', QLatin1String("\\-"))));
            QVERIFY2(commands.contains(entry), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliCommandLine)
#include "tst_cli_command_line.moc"
