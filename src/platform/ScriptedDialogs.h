#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QVariant>

#include <functional>

// Dialogs answered by a script instead of a person. Each box shown is recorded; answers are
// taken in order from the queue. A box with no answer left is answered with Cancel (an
// empty text) or No/Ok, and counted in unanswered() so that a test sees it.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        enum class Kind { Input, Message, Question } kind;
        QString text; // prompt or message text
        QString title;
        QString preset;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        int beepsBefore = 0; // beeps sounded before this box was shown
    };

    void answerInput(const QString &text) { m_answers.enqueue(text); }
    void answerMessage(Answer answer) { m_answers.enqueue(QVariant::fromValue(int(answer))); }
    // Runs while each box is open, before it is answered: what the station shows and holds
    // at that moment, as a person looking at the box would find it.
    void whileShown(std::function<void(const Shown &)> look) { m_whileShown = std::move(look); }

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &preset = QString()) override;
    Answer messageBox(const QString &text, const QString &title, Icon icon,
                      Buttons buttons = Buttons::Ok) override;
    // Takes a message answer from the queue; with none left, No (the default button).
    Answer question(const QString &text, const QString &title) override;
    void beep() override { ++m_beeps; }

    const QList<Shown> &shown() const { return m_shown; }
    int beeps() const { return m_beeps; }
    int unanswered() const { return m_unanswered; }
    int pendingAnswers() const { return int(m_answers.size()); }
    void clear();

private:
    QQueue<QVariant> m_answers;
    QList<Shown> m_shown;
    int m_beeps = 0;
    int m_unanswered = 0;
    std::function<void(const Shown &)> m_whileShown;
};
