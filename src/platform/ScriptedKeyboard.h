#pragma once

#include "platform/KeyboardOutput.h"

#include <QElapsedTimer>
#include <QList>
#include <QQueue>
#include <functional>

// A keyboard for tests: records what would have been typed, with when, and answers as a
// test scripts it (unavailable, focus on a given window, Retry or Failed for some keys).
class ScriptedKeyboard final : public KeyboardOutput
{
public:
    static constexpr WId kOtherWindow = 0x4242; // focus on another program's window

    struct Typed
    {
        KeyAction action;
        qint64 atNs; // since the keyboard was made
    };

    ScriptedKeyboard() { m_clock.start(); }

    QString unavailableReason() const override { return m_unavailable; }
    WId focusedWindow() const override { return m_focus; }
    Result type(const KeyActions &actions) override;
    QString lastError() const override { return m_error; }
    void sequenceEnded() override;

    void setUnavailable(const QString &reason) { m_unavailable = reason; }
    void setFocusedWindow(WId window) { m_focus = window; }
    // Answers for the next calls of type(), in order; Ok once they are used up.
    void answer(Result result, const QString &error = QString());
    // Called before each key is typed, with the number of keys typed so far.
    void setBeforeEachKey(std::function<void(int typed)> hook) { m_beforeKey = std::move(hook); }

    const QList<Typed> &typed() const { return m_typed; }
    // What was typed as text: characters themselves, named keys as {NAME}, modifiers as
    // +^% before them, "|" at the end of each sequence.
    QString text() const { return m_text; }
    int calls() const { return m_calls; }
    void clear();

private:
    QString m_unavailable;
    WId m_focus = kOtherWindow;
    QQueue<std::pair<Result, QString>> m_answers;
    std::function<void(int)> m_beforeKey;
    QList<Typed> m_typed;
    QString m_text;
    QString m_error;
    int m_calls = 0;
    QElapsedTimer m_clock;
};
