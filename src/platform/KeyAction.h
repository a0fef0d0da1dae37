#pragma once

#include <QList>
#include <QString>

// One step of a key sequence typed into another application: a character, a named key
// (each with the modifier keys held around it), or a pause.
struct KeyAction
{
    enum class Kind { Character, Key, Delay };

    // Keys that have a name rather than a character.
    enum class Key {
        Unnamed,
        Enter,
        Tab,
        Escape,
        Backspace,
        Delete,
        Insert,
        Home,
        End,
        PageUp,
        PageDown,
        Up,
        Down,
        Left,
        Right,
        Space,
        F1, // F1 to F16 follow one another
        F16 = F1 + 15,
    };

    enum Modifier : quint8 { NoModifier = 0, Shift = 1, Control = 2, Alt = 4 };

    Kind kind = Kind::Character;
    char32_t character = 0; // Character: a Unicode code point
    Key key = Key::Unnamed; // Key
    quint8 modifiers = NoModifier;
    int delayMs = 0; // Delay

    static KeyAction typeCharacter(char32_t c, quint8 modifiers = NoModifier)
    {
        KeyAction a;
        a.character = c;
        a.modifiers = modifiers;
        return a;
    }
    static KeyAction press(Key k, quint8 modifiers = NoModifier)
    {
        KeyAction a;
        a.kind = Kind::Key;
        a.key = k;
        a.modifiers = modifiers;
        return a;
    }
    static KeyAction pause(int ms)
    {
        KeyAction a;
        a.kind = Kind::Delay;
        a.delayMs = ms;
        return a;
    }

    friend bool operator==(const KeyAction &, const KeyAction &) = default;
};

using KeyActions = QList<KeyAction>;
