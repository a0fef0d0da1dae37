#pragma once

#include "platform/Dialogs.h"

#include <QString>

class QTextStream;

// The dialogs of a program without a window. Nobody is there to answer, so each box is a
// line on standard error ("title: text") and gets the answer the command line gave:
// - a message box is acknowledged (Ok);
// - a question, or a box with Yes and No, before something that cannot be undone is
//   answered Yes only when the command line said --yes; otherwise No, and the operator
//   is told to add --yes;
// - an input box gets the answer the command line gave for it (sync-new-unit's unit),
//   once; any other is cancelled (empty text), with a line saying which it was;
// - a beep does nothing: a service's beeps would reach no one.
class ConsoleDialogs final : public Dialogs
{
public:
    ConsoleDialogs(QTextStream &errors, bool answerYes);

    // The text the next input box gets in place of the operator's typing.
    void answerNextInput(const QString &text) { m_nextInput = text; }

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &preset = QString()) override;
    Answer messageBox(const QString &text, const QString &title, Icon icon,
                      Buttons buttons = Buttons::Ok) override;
    Answer question(const QString &text, const QString &title) override;
    void beep() override {}

private:
    Answer yesOrNo(const QString &text, const QString &title);
    void say(const QString &title, const QString &text);

    QTextStream &m_errors;
    const bool m_answerYes;
    QString m_nextInput;
};
