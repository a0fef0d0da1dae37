#include "platform/ScriptedKeyboard.h"

#include <QStringList>

namespace {

const char *const kKeyNames[] = {"",       "ENTER", "TAB",   "ESC",  "BACKSPACE", "DELETE",
                                 "INSERT", "HOME",  "END",   "PGUP", "PGDN",      "UP",
                                 "DOWN",   "LEFT",  "RIGHT", "SPACE"};

QString notation(const KeyAction &a)
{
    QString t;
    if (a.modifiers & KeyAction::Shift)
        t += QLatin1Char('+');
    if (a.modifiers & KeyAction::Control)
        t += QLatin1Char('^');
    if (a.modifiers & KeyAction::Alt)
        t += QLatin1Char('%');
    if (a.kind == KeyAction::Kind::Character)
        return t + QString::fromUcs4(&a.character, 1);
    if (a.key >= KeyAction::Key::F1)
        return t + QStringLiteral("{F%1}").arg(int(a.key) - int(KeyAction::Key::F1) + 1);
    return t + QLatin1Char('{') + QLatin1String(kKeyNames[int(a.key)]) + QLatin1Char('}');
}

} // namespace

KeyboardOutput::Result ScriptedKeyboard::type(const KeyActions &actions)
{
    ++m_calls;
    if (!m_answers.isEmpty()) {
        const auto [result, error] = m_answers.dequeue();
        if (result != Result::Ok) {
            m_error = error;
            return result;
        }
    }
    for (const KeyAction &a : actions) {
        if (a.kind == KeyAction::Kind::Delay)
            continue;
        if (m_beforeKey)
            m_beforeKey(int(m_typed.size()));
        m_typed.append({a, m_clock.nsecsElapsed()});
        m_text += notation(a);
    }
    m_error.clear();
    return Result::Ok;
}

void ScriptedKeyboard::sequenceEnded()
{
    m_text += QLatin1Char('|');
}

void ScriptedKeyboard::answer(Result result, const QString &error)
{
    m_answers.enqueue({result, error});
}

void ScriptedKeyboard::clear()
{
    m_typed.clear();
    m_text.clear();
    m_calls = 0;
}
