#pragma once

#include "platform/KeyboardOutput.h"

#include <memory>

// Typing on an X11 desktop through the XTEST extension, on a connection of its own to the
// display the application shows its windows on.
//
// Each character is looked up in the keyboard layout active at that moment, with the level
// it needs (Shift, AltGr); a character the layout lacks is typed on a spare key code lent
// that character. The lent codes keep their characters until typing has been idle for a
// moment after the sequence, so that an application reading the key map late still finds
// them, and the key map is then left as it was found. Keys are refused (Retry) while the
// operator holds a modifier key, which would otherwise change what is typed, and while
// applications take in a newly lent code.
class XTestKeyboard final : public KeyboardOutput
{
public:
    XTestKeyboard();
    ~XTestKeyboard() override;

    QString unavailableReason() const override { return m_unavailable; }
    WId focusedWindow() const override;
    Result type(const KeyActions &actions) override;
    QString lastError() const override { return m_error; }
    void sequenceEnded() override;

private:
    struct X;
    Result typeOne(const KeyAction &action);
    Result fail(const QString &why);

    std::unique_ptr<X> x;
    QString m_unavailable;
    QString m_error;
};
