#include "cli/ConsoleDialogs.h"

#include <QTest>
#include <QTextStream>

using Answer = Dialogs::Answer;
Q_DECLARE_METATYPE(Answer)

class TestCliDialogs : public QObject
{
    Q_OBJECT

    // The dialogs with their standard error in a string.
    struct Console
    {
        explicit Console(bool yes) : stream(&text), dialogs(stream, yes) {}
        QString text;
        QTextStream stream;
        ConsoleDialogs dialogs;
    };

private slots:
    // A deletion goes ahead only when the command line said --yes; the answer is written
    // beside the question, and a No tells how to say Yes.
    void questions_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asYesNoBox");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("written");
        const QString asked = QStringLiteral("Delete user: Delete user 12 from the source unit?");
        QTest::newRow("question, --yes") << true << false << Answer::Yes << asked + " Yes\n";
        QTest::newRow("question, no --yes")
            << false << false << Answer::No
            << asked + " No\nDelete user: answered No: add --yes to answer Yes\n";
        QTest::newRow("Yes/No box, --yes") << true << true << Answer::Yes << asked + " Yes\n";
        QTest::newRow("Yes/No box, no --yes")
            << false << true << Answer::No
            << asked + " No\nDelete user: answered No: add --yes to answer Yes\n";
    }

    void questions()
    {
        QFETCH(bool, yes);
        QFETCH(bool, asYesNoBox);
        Console console(yes);
        const QString text = QStringLiteral("Delete user 12 from the source unit?");
        const QString title = QStringLiteral("Delete user");
        const Answer answer = asYesNoBox
                                  ? console.dialogs.messageBox(text, title, Dialogs::Icon::None,
                                                               Dialogs::Buttons::YesNo)
                                  : console.dialogs.question(text, title);
        QTEST(answer, "answer");
        QTEST(console.text, "written");
    }

    // One line per box, whatever the box's text holds: the window's line breaks become
    // blanks, a unit's control bytes are shown, not obeyed.
    void messageLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "Serial port error"
                               << "Invalid serial port number"
                               << "Invalid serial port number: Serial port error\n";
        QTest::newRow("no title: the program") << "Folder not found"
                                               << ""
                                               << "trelvane-station: Folder not found\n";
        QTest::newRow("CR LF breaks")
            << "Are you sure you want to \r\nclose this software ? "
            << "Are you sure ..."
            << "Are you sure ...: Are you sure you want to close this software ?\n";
        QTest::newRow("escape sequence from a unit") << "Error IP: \x1b[2J\x1b]0;x\x07"
                                                     << "Error"
                                                     << "Error: Error IP: \\x1b[2J\\x1b]0;x\\x07\n";
        QTest::newRow("bidirectional override") << QString::fromUtf8("user \u202e21") << "T"
                                                << "T: user \\x202e21\n";
    }

    void messageLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, title);
        Console console(false);
        QCOMPARE(console.dialogs.messageBox(text, title, Dialogs::Icon::Critical), Answer::Ok);
        QTEST(console.text, "written");
    }

    // An input box is cancelled unless the command line gave its answer, and that answer is
    // used once: a second box (another question) is not answered with it.
    void inputBoxes()
    {
        Console console(true);
        console.dialogs.answerNextInput(QStringLiteral("COM3"));
        QCOMPARE(console.dialogs.inputBox(QStringLiteral("Enter the IP address:"),
                                          QStringLiteral("Synchronize"), QStringLiteral("x")),
                 QStringLiteral("COM3"));
        QCOMPARE(console.dialogs.inputBox(QStringLiteral("User number"),
                                          QStringLiteral("User number"), QStringLiteral("5")),
                 QString());
        QCOMPARE(console.text, QStringLiteral("Synchronize: Enter the IP address:\n"
                                              "Synchronize: COM3\n"
                                              "User number: User number\n"
                                              "User number: cancelled: nobody can type an "
                                              "answer here\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliDialogs)
#include "tst_cli_dialogs.moc"
