#pragma once

#include "platform/KeyAction.h"

#include <QString>
#include <QtGlobal>
#include <memory>

// A window of the desktop, as Qt Gui names it (the same type); declared here so that the
// station's core needs no Qt Gui.
using WId = quintptr;

// Typing into the application that has the keyboard focus, as the desktop lets a program do
// it. The read-mode keyboard wedge types through this interface; tests use ScriptedKeyboard.
class KeyboardOutput
{
public:
    enum class Result {
        Ok,     // the keys were sent
        Retry,  // nothing was sent; the same keys may be sent a moment later
        Failed, // nothing more can be sent; lastError() says why
    };

    virtual ~KeyboardOutput() = default;

    // Empty when keys can be typed; otherwise why not, for the operator.
    virtual QString unavailableReason() const = 0;
    bool isAvailable() const { return unavailableReason().isEmpty(); }

    // The top-level window that has the keyboard focus; 0 when no window has it or it cannot
    // be told.
    virtual WId focusedWindow() const = 0;

    // Presses and releases each key of the actions in turn, with its modifiers; pauses are
    // the caller's and are skipped here. Returns at once: the receiving application handles
    // the keys in its own time.
    virtual Result type(const KeyActions &actions) = 0;
    // Why the last type() did not give Ok.
    virtual QString lastError() const = 0;

    // The end of one typed sequence: what typing borrowed (a remapped key) is given back once
    // the receiving application has had its time to read the last keys.
    virtual void sequenceEnded() {}
};

// The desktop's own way of typing: SendInput on Windows, XTest on X11. Where neither works
// the object says why in unavailableReason().
std::unique_ptr<KeyboardOutput> createSystemKeyboardOutput();
