#pragma once

#include "platform/KeyAction.h"

#include <QString>

// The key notation of the read-mode prefix and suffix, read into the key actions that type
// it. Pure: no I/O, no state; safe and bounded on any text.
//
//   abc          the characters themselves
//   {ENTER} ~    the Enter key; other named keys in braces, case-insensitive: TAB, ESC,
//                ESCAPE, BACKSPACE, BS, BKSP, DELETE, DEL, INSERT, INS, HOME, END, PGUP, PGDN,
//                UP, DOWN, LEFT, RIGHT, SPACE, F1 to F16
//   + ^ %        Shift, Ctrl, Alt held over the next key, or over a group: +(ab)
//   {TAB 3}      a named key or a character repeated (0 to 255 times): {x 10}
//   {DELAY 50}   a pause of 50 ms (up to 10,000)
//   {+} {^} {%} {~} {(} {)} {{} {}}   the reserved characters themselves
//
// A text that breaks these rules gives an error and no actions at all.
namespace KeyNotation {

constexpr int kMaxRepeat = 255;
constexpr int kMaxDelayMs = 10000;
// Bounds of what one text may expand to, repeats included: as many keys as the longest
// text an operator could type one by one, and a minute of pauses.
constexpr int kMaxActions = 10000;
constexpr int kMaxTotalDelayMs = 60000;

struct Result
{
    KeyActions actions;
    QString error;          // empty when the text is well formed
    int errorPosition = -1; // character where the fault lies, counted from 1

    bool ok() const { return error.isEmpty(); }
    // The error with its place, for the operator: `unknown key name "ENTR" at character 2`.
    QString message() const;
};

// Reads a whole text. Never throws; the work is linear in the text's length.
Result parse(const QString &text);

// Plain text typed as it stands, no character reserved (the user number).
KeyActions literal(const QString &text);

// The notation's name of a named key ("ENTER", "F5").
QString keyName(KeyAction::Key key);

} // namespace KeyNotation
