#pragma once

#include "platform/KeyboardOutput.h"

// Typing on Windows through SendInput: characters as Unicode key events (any character,
// whatever the keyboard layout), named keys and keys held with Shift, Ctrl or Alt as
// virtual keys. Compiled on Windows only.
class SendInputKeyboard final : public KeyboardOutput
{
public:
    QString unavailableReason() const override { return QString(); }
    WId focusedWindow() const override;
    Result type(const KeyActions &actions) override;
    QString lastError() const override { return m_error; }

private:
    QString m_error;
};
