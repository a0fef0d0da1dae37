#include "link/KeyboardWedge.h"

#include "link/KeyNotation.h"
#include "link/ReceiveDispatcher.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "platform/Clock.h"
#include "platform/DesktopDisplay.h"
#include "platform/KeyboardOutput.h"
#include "station/StationState.h"

#include <algorithm>

namespace {

const QString kCannotType =
    QStringLiteral("Read mode cannot type user numbers into other programs.");

} // namespace

KeyboardWedge::KeyboardWedge(StationState &state, Clock &clock, ActivityLog &activityLog,
                             BannerLines &bannerLines, ReceiveDispatcher &dispatcher)
    : m_state(state), m_clock(clock), m_activityLog(activityLog), m_bannerLines(bannerLines)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &KeyboardWedge::step);
    connect(&dispatcher, &ReceiveDispatcher::userRecognised, this, &KeyboardWedge::typeUser);
}

KeyboardWedge::~KeyboardWedge()
{
    if ((m_current || m_gap) && m_keyboard)
        m_keyboard->sequenceEnded();
}

void KeyboardWedge::setKeyboardOutput(KeyboardOutput *keyboard)
{
    m_keyboard = keyboard;
}

KeyboardOutput &KeyboardWedge::keyboard()
{
    // The desktop's keyboard is opened when first needed: most stations never type.
    if (!m_keyboard) {
        if (!m_system)
            m_system = createSystemKeyboardOutput();
        m_keyboard = m_system.get();
    }
    return *m_keyboard;
}

void KeyboardWedge::typeUser(const QString &userNumber)
{
    const QDateTime now = m_clock.now();
    StationState::LastUser last = m_state.lastUser();
    last.user = userNumber;
    last.date = now.toString(QStringLiteral("dd-MM-yyyy"));
    last.time = now.toString(QStringLiteral("HH:mm:ss"));
    m_state.setLastUser(last);

    // Where nothing can be typed the operator was told when read mode was entered.
    if (!keyboard().isAvailable())
        return;
    if (ownWindowHasFocus(keyboard().focusedWindow()))
        return; // nothing is typed into the station itself

    const KeyNotation::Result prefix = KeyNotation::parse(m_state.prefix());
    const KeyNotation::Result suffix = KeyNotation::parse(m_state.suffix());
    if (!prefix.ok() || !suffix.ok()) {
        checkPrefix();
        checkSuffix();
        m_activityLog.WRITE_LOG(
            QStringLiteral("User ") + userNumber + QStringLiteral(" not typed: the ") +
            (prefix.ok() ? QStringLiteral("suffix") : QStringLiteral("prefix")) +
            QStringLiteral(" is not valid key notation: ") +
            (prefix.ok() ? suffix.message() : prefix.message()));
        return;
    }
    if (m_waiting.size() >= kMaxWaitingUsers) {
        m_activityLog.WRITE_LOG(
            QStringLiteral("User %1 not typed: %2 user numbers are already waiting to be "
                           "typed")
                .arg(userNumber)
                .arg(kMaxWaitingUsers));
        return;
    }
    Sequence sequence;
    sequence.user = userNumber;
    sequence.actions = prefix.actions + KeyNotation::literal(userNumber) + suffix.actions;
    m_waiting.enqueue(std::move(sequence));
    if (!m_current && !m_timer.isActive())
        startNext(); // the first key goes out now, not after a timer tick
}

bool KeyboardWedge::ownWindowHasFocus(WId focus) const
{
    return focus != 0 && isOwnWindow(focus);
}

void KeyboardWedge::startNext()
{
    while (!m_current && !m_waiting.isEmpty()) {
        auto sequence = std::make_unique<Sequence>(m_waiting.dequeue());
        sequence->focus = keyboard().focusedWindow();
        // A user read while another was typed: the focus may have come to the station since.
        if (ownWindowHasFocus(sequence->focus))
            continue;
        m_current = std::move(sequence);
    }
    if (m_current)
        step();
}

void KeyboardWedge::step()
{
    if (m_gap) {
        m_gap = false;
        keyboard().sequenceEnded();
        startNext();
        return;
    }
    if (!m_current)
        return;
    Sequence &s = *m_current;
    // A sequence may begin with pauses of the notation.
    while (s.next < s.actions.size() && s.actions[s.next].kind == KeyAction::Kind::Delay) {
        const int ms = s.actions[s.next++].delayMs;
        if (ms > 0) {
            m_timer.start(ms);
            return;
        }
    }
    if (s.next >= s.actions.size()) {
        endSequence();
        return;
    }
    auto keys = [&s](qsizetype upTo) {
        return std::count_if(s.actions.cbegin(), s.actions.cbegin() + upTo,
                             [](const KeyAction &a) { return a.kind != KeyAction::Kind::Delay; });
    };
    const QString typedSoFar = QStringLiteral("User %1: typing stopped after %2 of %3 keys")
                                   .arg(s.user)
                                   .arg(keys(s.next))
                                   .arg(keys(s.actions.size()));
    if (keyboard().focusedWindow() != s.focus) {
        endSequence(typedSoFar + QStringLiteral(": the keyboard focus moved to another window"));
        return;
    }
    int pause = m_keyPauseMs;
    switch (keyboard().type({s.actions[s.next]})) {
    case KeyboardOutput::Result::Ok:
        ++s.next;
        s.retries = 0;
        // A pause of the notation takes the place of the pause between keys.
        if (s.next < s.actions.size() && s.actions[s.next].kind == KeyAction::Kind::Delay) {
            pause = 0;
            while (s.next < s.actions.size() && s.actions[s.next].kind == KeyAction::Kind::Delay)
                pause += s.actions[s.next++].delayMs;
        }
        break;
    case KeyboardOutput::Result::Retry:
        if (++s.retries * std::max(m_keyPauseMs, 1) > kRetryForMs) {
            endSequence(typedSoFar + QStringLiteral(": ") + keyboard().lastError());
            return;
        }
        break;
    case KeyboardOutput::Result::Failed:
        endSequence(typedSoFar + QStringLiteral(": ") + keyboard().lastError());
        return;
    }
    m_timer.start(pause);
}

void KeyboardWedge::endSequence(const QString &logLine)
{
    if (!logLine.isEmpty())
        m_activityLog.WRITE_LOG(logLine);
    m_current.reset();
    // The last key is read before a key remapped for it is given back.
    m_gap = true;
    m_timer.start(std::max(m_keyPauseMs, kSequenceGapMs));
}

void KeyboardWedge::readModeEntered()
{
    // Start-up lays out read mode before the real mode; only a station really entering
    // read mode says anything.
    if (!m_state.readMode() || m_state.readModeShown())
        return;
    const QString reason = keyboard().unavailableReason();
    if (reason.isEmpty()) {
        m_state.setTypingProblem(QString());
        return;
    }
    m_state.setTypingProblem(kCannotType + QLatin1Char('\n') + reason);
    m_bannerLines.AFF_LOG_MSG(kCannotType, 1);
    m_bannerLines.AFF_LOG_MSG(reason, 2);
}

bool KeyboardWedge::checkPrefix()
{
    return checkField(m_state.prefix(), QStringLiteral("Prefix"), &StationState::setPrefixProblem);
}

bool KeyboardWedge::checkSuffix()
{
    return checkField(m_state.suffix(), QStringLiteral("Suffix"), &StationState::setSuffixProblem);
}

bool KeyboardWedge::checkField(const QString &text, const QString &name,
                               void (StationState::*setProblem)(const QString &))
{
    const KeyNotation::Result r = KeyNotation::parse(text);
    if (r.ok()) {
        (m_state.*setProblem)(QString());
        return true;
    }
    const QString reason = QStringLiteral("not valid key notation: ") + r.message();
    (m_state.*setProblem)(name + QStringLiteral(" ") + reason +
                          QStringLiteral(".\nNo user number is typed until it is corrected."));
    m_activityLog.WRITE_LOG(name + QStringLiteral(" ") + reason);
    return false;
}
