#include "cli/ConsoleDialogs.h"

#include "cli/PlainText.h"

#include <QRegularExpression>
#include <QTextStream>

#include <utility>

namespace {

const QString kProgram = QStringLiteral("trelvane-station");

// The window's boxes break their texts into lines with CR LF; on a terminal each box is one
// line, so that a script's log keeps one entry per box.
QString oneLine(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
}

} // namespace

ConsoleDialogs::ConsoleDialogs(QTextStream &errors, bool answerYes)
    : m_errors(errors), m_answerYes(answerYes)
{}

void ConsoleDialogs::say(const QString &title, const QString &text)
{
    const QString shownTitle = title.isEmpty() ? kProgram : oneLine(title);
    m_errors << plainText(shownTitle) << ": " << plainText(oneLine(text)) << '\n';
    m_errors.flush();
}

QString ConsoleDialogs::inputBox(const QString &prompt, const QString &title, const QString &)
{
    const QString answer = std::exchange(m_nextInput, QString());
    say(title, prompt);
    if (answer.isEmpty()) {
        say(title, QStringLiteral("cancelled: nobody can type an answer here"));
        return QString();
    }
    say(title, answer);
    return answer;
}

Dialogs::Answer ConsoleDialogs::messageBox(const QString &text, const QString &title, Icon,
                                           Buttons buttons)
{
    if (buttons == Buttons::YesNo)
        return yesOrNo(text, title);
    say(title, text);
    return Answer::Ok;
}

Dialogs::Answer ConsoleDialogs::question(const QString &text, const QString &title)
{
    return yesOrNo(text, title);
}

Dialogs::Answer ConsoleDialogs::yesOrNo(const QString &text, const QString &title)
{
    say(title, text + (m_answerYes ? QStringLiteral(" Yes") : QStringLiteral(" No")));
    if (m_answerYes)
        return Answer::Yes;
    say(title, QStringLiteral("answered No: add --yes to answer Yes"));
    return Answer::No;
}
