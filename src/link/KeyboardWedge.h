#pragma once

#include "platform/KeyAction.h"
#include "platform/KeyboardOutput.h"

#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <memory>

class ActivityLog;
class BannerLines;
class Clock;
class KeyboardOutput;
class ReceiveDispatcher;
class StationState;

// Read mode's keyboard wedge: a user recognised by the source unit is shown as the last user
// read and typed, between the prefix and the suffix, into the application that has the
// keyboard focus.
//
// Typing runs from a queue driven by the event loop, one key (press and release) at a time
// with a short pause between keys, so the receive poll keeps running and applications keep
// up; a user read while another is being typed waits its turn. A sequence is typed only into
// the window that had the focus when it started: if the focus moves, the rest is dropped.
class KeyboardWedge : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultKeyPauseMs = 10;
    // After a sequence, before the next one: the receiving application settles, and a key
    // remapped for the sequence is given back only once it has been read.
    static constexpr int kSequenceGapMs = 50;
    // A key the desktop cannot take yet (the operator holds a modifier) is tried again for
    // about this long before the sequence is given up.
    static constexpr int kRetryForMs = 3000;
    static constexpr int kMaxWaitingUsers = 32;

    KeyboardWedge(StationState &state, Clock &clock, ActivityLog &activityLog,
                  BannerLines &bannerLines, ReceiveDispatcher &dispatcher);
    ~KeyboardWedge() override;

    // Types through this keyboard instead of the desktop's (tests); nullptr: the desktop's.
    void setKeyboardOutput(KeyboardOutput *keyboard);
    KeyboardOutput &keyboard();
    void setKeyPauseMs(int ms) { m_keyPauseMs = ms; }
    int keyPauseMs() const { return m_keyPauseMs; }

    // A user frame heard in read mode: the user number as decimal text.
    void typeUser(const QString &userNumber);
    // Read mode is being laid out: where typing is impossible the operator is told once, in
    // the banner and the log, and the read-mode frame's tooltip keeps saying it.
    void readModeEntered();
    // The prefix or suffix was saved: its notation is checked, a fault goes to the activity
    // log and into the state's prefix or suffix problem (the field's tooltip). Returns true
    // when it is well formed.
    bool checkPrefix();
    bool checkSuffix();

    bool isTyping() const { return m_current != nullptr; }
    int waitingUsers() const { return int(m_waiting.size()); }

private:
    struct Sequence
    {
        QString user;
        KeyActions actions;
        int next = 0;
        WId focus = 0;
        int retries = 0;
    };

    bool checkField(const QString &text, const QString &name,
                    void (StationState::*setProblem)(const QString &));
    bool ownWindowHasFocus(WId focus) const;
    void startNext();
    void step();
    void endSequence(const QString &logLine = QString());

    StationState &m_state;
    Clock &m_clock;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
    KeyboardOutput *m_keyboard = nullptr;
    std::unique_ptr<KeyboardOutput> m_system;
    int m_keyPauseMs = kDefaultKeyPauseMs;
    QQueue<Sequence> m_waiting;
    std::unique_ptr<Sequence> m_current;
    QTimer m_timer;
    bool m_gap = false; // the timer runs the pause after a sequence
};
