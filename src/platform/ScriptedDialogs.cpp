#include "platform/ScriptedDialogs.h"

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title,
                                  const QString &preset)
{
    m_shown.append({Shown::Kind::Input, prompt, title, preset, Icon::None, Buttons::Ok, m_beeps});
    if (m_whileShown)
        m_whileShown(m_shown.last());
    if (m_answers.isEmpty() || m_answers.head().typeId() != QMetaType::QString) {
        ++m_unanswered;
        return QString();
    }
    return m_answers.dequeue().toString();
}

Dialogs::Answer ScriptedDialogs::messageBox(const QString &text, const QString &title, Icon icon,
                                            Buttons buttons)
{
    m_shown.append({Shown::Kind::Message, text, title, QString(), icon, buttons, m_beeps});
    if (m_whileShown)
        m_whileShown(m_shown.last());
    if (buttons == Buttons::Ok)
        return Answer::Ok; // a box with only OK needs no scripted answer
    if (m_answers.isEmpty() || m_answers.head().typeId() != QMetaType::Int) {
        ++m_unanswered;
        return Answer::No;
    }
    return static_cast<Answer>(m_answers.dequeue().toInt());
}

Dialogs::Answer ScriptedDialogs::question(const QString &text, const QString &title)
{
    m_shown.append(
        {Shown::Kind::Question, text, title, QString(), Icon::Question, Buttons::YesNo, m_beeps});
    if (m_answers.isEmpty() || m_answers.head().typeId() != QMetaType::Int) {
        ++m_unanswered;
        return Answer::No;
    }
    return static_cast<Answer>(m_answers.dequeue().toInt());
}

void ScriptedDialogs::clear()
{
    m_answers.clear();
    m_shown.clear();
    m_beeps = 0;
    m_unanswered = 0;
}
