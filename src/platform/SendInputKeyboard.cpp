#include "platform/SendInputKeyboard.h"

#include <QList>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

struct VirtualKey
{
    WORD vk = 0;
    bool extended = false; // keys of the navigation block and arrows
};

VirtualKey virtualKeyOf(KeyAction::Key key)
{
    using K = KeyAction::Key;
    switch (key) {
    case K::Enter:
        return {VK_RETURN};
    case K::Tab:
        return {VK_TAB};
    case K::Escape:
        return {VK_ESCAPE};
    case K::Backspace:
        return {VK_BACK};
    case K::Delete:
        return {VK_DELETE, true};
    case K::Insert:
        return {VK_INSERT, true};
    case K::Home:
        return {VK_HOME, true};
    case K::End:
        return {VK_END, true};
    case K::PageUp:
        return {VK_PRIOR, true};
    case K::PageDown:
        return {VK_NEXT, true};
    case K::Up:
        return {VK_UP, true};
    case K::Down:
        return {VK_DOWN, true};
    case K::Left:
        return {VK_LEFT, true};
    case K::Right:
        return {VK_RIGHT, true};
    case K::Space:
        return {VK_SPACE};
    case K::Unnamed:
        return {};
    default:
        return {WORD(VK_F1 + (int(key) - int(K::F1)))};
    }
}

INPUT virtualKeyEvent(VirtualKey key, bool down)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key.vk;
    in.ki.wScan = WORD(MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    return in;
}

INPUT unicodeEvent(wchar_t unit, bool down)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = unit;
    in.ki.dwFlags = KEYEVENTF_UNICODE | (down ? 0 : KEYEVENTF_KEYUP);
    return in;
}

bool held(int vk)
{
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

} // namespace

WId SendInputKeyboard::focusedWindow() const
{
    return reinterpret_cast<WId>(GetForegroundWindow());
}

KeyboardOutput::Result SendInputKeyboard::type(const KeyActions &actions)
{
    // A modifier the operator holds would turn the keys into shortcuts: wait for its release.
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN}) {
        if (held(vk)) {
            m_error = QStringLiteral("a modifier key (Shift, Ctrl, Alt, Windows) stayed held down");
            return Result::Retry;
        }
    }
    QList<INPUT> events;
    for (const KeyAction &a : actions) {
        if (a.kind == KeyAction::Kind::Delay)
            continue;
        QList<VirtualKey> modifiers;
        VirtualKey key;
        bool unicode = false;
        if (a.kind == KeyAction::Kind::Key) {
            key = virtualKeyOf(a.key);
        } else if (a.modifiers == KeyAction::NoModifier) {
            unicode = true;
        } else {
            // A character with Shift, Ctrl or Alt is its key of the current layout with them.
            const SHORT scan = a.character <= 0xFFFF ? VkKeyScanW(wchar_t(a.character)) : -1;
            if (scan == -1) {
                m_error = QStringLiteral("character U+%1 has no key in the keyboard layout, so "
                                         "it cannot be typed with a modifier")
                              .arg(quint32(a.character), 4, 16, QLatin1Char('0'));
                return Result::Failed;
            }
            key = {WORD(LOBYTE(scan))};
            const BYTE shiftState = HIBYTE(scan);
            if (shiftState & 1)
                modifiers.append(VirtualKey{VK_SHIFT});
            if (shiftState & 2)
                modifiers.append(VirtualKey{VK_CONTROL});
            if (shiftState & 4)
                modifiers.append(VirtualKey{VK_MENU});
        }
        if (a.modifiers & KeyAction::Shift)
            modifiers.append(VirtualKey{VK_SHIFT});
        if (a.modifiers & KeyAction::Control)
            modifiers.append(VirtualKey{VK_CONTROL});
        if (a.modifiers & KeyAction::Alt)
            modifiers.append(VirtualKey{VK_MENU});

        for (const VirtualKey &m : modifiers)
            events.append(virtualKeyEvent(m, true));
        if (unicode) {
            // Beyond the first plane a character is two UTF-16 units, sent down then up.
            wchar_t units[2];
            int n = 1;
            if (a.character > 0xFFFF) {
                const char32_t v = a.character - 0x10000;
                units[0] = wchar_t(0xD800 + (v >> 10));
                units[1] = wchar_t(0xDC00 + (v & 0x3FF));
                n = 2;
            } else {
                units[0] = wchar_t(a.character);
            }
            for (int i = 0; i < n; ++i)
                events.append(unicodeEvent(units[i], true));
            for (int i = 0; i < n; ++i)
                events.append(unicodeEvent(units[i], false));
        } else {
            events.append(virtualKeyEvent(key, true));
            events.append(virtualKeyEvent(key, false));
        }
        for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
            events.append(virtualKeyEvent(*it, false));
    }
    if (events.isEmpty())
        return Result::Ok;
    const UINT sent = SendInput(UINT(events.size()), events.data(), int(sizeof(INPUT)));
    if (sent == UINT(events.size())) {
        m_error.clear();
        return Result::Ok;
    }
    // Part of the events went through: no modifier may stay down.
    if (sent > 0) {
        INPUT ups[3] = {virtualKeyEvent({VK_SHIFT}, false), virtualKeyEvent({VK_CONTROL}, false),
                        virtualKeyEvent({VK_MENU}, false)};
        SendInput(3, ups, int(sizeof(INPUT)));
    }
    // Windows refuses input into a program running with higher rights than the station, and
    // while the secure desktop (a lock screen, an elevation prompt) is shown.
    const DWORD code = GetLastError();
    m_error = QStringLiteral("Windows took %1 of %2 key events (error %3): the window in front "
                             "may belong to a program running as administrator, or the "
                             "desktop is locked")
                  .arg(sent)
                  .arg(events.size())
                  .arg(code);
    return Result::Failed;
}
