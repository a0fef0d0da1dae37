#include "platform/XTestKeyboard.h"

#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QtGui/qguiapplication_platform.h>

// The X11 headers come last: they define macros (None, Bool, Status) that clash with Qt's.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {

KeySym keysymOf(KeyAction::Key key)
{
    using K = KeyAction::Key;
    switch (key) {
    case K::Enter:
        return XK_Return;
    case K::Tab:
        return XK_Tab;
    case K::Escape:
        return XK_Escape;
    case K::Backspace:
        return XK_BackSpace;
    case K::Delete:
        return XK_Delete;
    case K::Insert:
        return XK_Insert;
    case K::Home:
        return XK_Home;
    case K::End:
        return XK_End;
    case K::PageUp:
        return XK_Page_Up;
    case K::PageDown:
        return XK_Page_Down;
    case K::Up:
        return XK_Up;
    case K::Down:
        return XK_Down;
    case K::Left:
        return XK_Left;
    case K::Right:
        return XK_Right;
    case K::Space:
        return XK_space;
    case K::Unnamed:
        return NoSymbol;
    default:
        return XK_F1 + (int(key) - int(K::F1));
    }
}

// A key as the layout offers it: its key code and the modifiers that select its level.
struct LayoutKey
{
    KeyCode code = 0;
    unsigned levelMods = 0;
};

} // namespace

struct XTestKeyboard::X
{
    Display *dpy = nullptr;
    Window root = 0;
    Atom netActiveWindow = 0;
    int xkbEventBase = 0;
    XkbDescPtr xkb = nullptr; // the layout, read again whenever the server says it changed
    bool layoutChanged = true;
    // Spare key codes given a keysym for the current sequence, and what they were given.
    QHash<KeyCode, KeySym> borrowed;
    int nextSpare = 0;

    ~X()
    {
        if (xkb)
            XkbFreeKeyboard(xkb, 0, True);
        if (dpy)
            XCloseDisplay(dpy);
    }

    // Reads the events the server sent since the last key: any change of the keyboard
    // mapping or layout means reading the layout again.
    void readLayout()
    {
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                layoutChanged = true;
            } else if (event.type == xkbEventBase) {
                layoutChanged = true;
            }
        }
        if (!layoutChanged && xkb)
            return;
        if (xkb)
            XkbFreeKeyboard(xkb, 0, True);
        xkb = XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd);
        layoutChanged = false;
    }

    KeySym translate(KeyCode code, unsigned mods, int group) const
    {
        unsigned consumed = 0;
        KeySym sym = NoSymbol;
        XkbTranslateKeyCode(xkb, code, XkbBuildCoreState(mods, group), &consumed, &sym);
        return sym;
    }

    // The key of the layout that gives the keysym in the current group with the locked
    // modifiers (Caps Lock, Num Lock) as they are, trying the fewest modifiers first.
    template <typename Matches>
    bool find(Matches matches, const XkbStateRec &state, unsigned level3, LayoutKey &found) const
    {
        const unsigned levels[] = {0u, unsigned(ShiftMask), level3, ShiftMask | level3};
        for (int l = 0; l < (level3 ? 4 : 2); ++l) {
            for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
                const KeySym sym =
                    translate(KeyCode(code), levels[l] | state.locked_mods, state.group);
                if (sym != NoSymbol && matches(sym)) {
                    found = {KeyCode(code), levels[l]};
                    return true;
                }
            }
        }
        return false;
    }

    // The key code of a modifier key (Shift_L, Control_L, Alt_L, ISO_Level3_Shift) and the
    // modifier it sets; 0 when the layout has none.
    LayoutKey modifierKey(KeySym sym, const XkbStateRec &state) const
    {
        LayoutKey key;
        if (find([sym](KeySym s) { return s == sym; }, state, 0, key) && key.levelMods == 0)
            return {key.code, xkb->map->modmap[key.code]};
        return {};
    }

    // A key code with no symbol, given the keysym until the sequence ends.
    KeyCode borrow(KeySym sym)
    {
        for (auto it = borrowed.cbegin(); it != borrowed.cend(); ++it)
            if (it.value() == sym)
                return it.key();
        QList<KeyCode> spare;
        for (int code = xkb->max_key_code; code >= xkb->min_key_code; --code)
            if ((XkbKeyNumSyms(xkb, code) == 0 && xkb->map->modmap[code] == 0) ||
                borrowed.contains(KeyCode(code)))
                spare.append(KeyCode(code));
        if (spare.isEmpty())
            return 0;
        // Codes not yet borrowed first; once all are, the oldest borrowing is replaced.
        KeyCode code = 0;
        for (KeyCode c : spare)
            if (!borrowed.contains(c)) {
                code = c;
                break;
            }
        if (!code)
            code = spare[nextSpare++ % spare.size()];
        KeySym syms[2] = {sym, sym}; // the same symbol on both levels: Shift changes nothing
        XChangeKeyboardMapping(dpy, code, 2, syms, 1);
        borrowed.insert(code, sym);
        layoutChanged = true;
        return code;
    }

    void giveBack()
    {
        for (auto it = borrowed.cbegin(); it != borrowed.cend(); ++it) {
            // A layout loaded since (setxkbmap) may use the code: only our symbol is removed.
            int perCode = 0;
            KeySym *now = XGetKeyboardMapping(dpy, it.key(), 1, &perCode);
            if (now && perCode > 0 && now[0] == it.value()) {
                KeySym none = NoSymbol;
                XChangeKeyboardMapping(dpy, it.key(), 1, &none, 1);
            }
            if (now)
                XFree(now);
        }
        if (!borrowed.isEmpty())
            XFlush(dpy);
        borrowed.clear();
        layoutChanged = true;
    }
};

XTestKeyboard::XTestKeyboard()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        m_unavailable = QStringLiteral("This Wayland desktop lets no program type into other "
                                       "programs: log in to an X11 (Xorg) session to have "
                                       "user numbers typed.");
        return;
    }
    auto *native =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *qtDisplay = native ? native->display() : nullptr;
    if (!qtDisplay) {
        m_unavailable = QStringLiteral("The station runs without an X11 display (platform "
                                       "\"%1\"): start it on the desktop where user numbers "
                                       "are to be typed.")
                            .arg(platform);
        return;
    }
    x = std::make_unique<X>();
    // A connection of our own: the keyboard events read here never reach Qt's.
    x->dpy = XOpenDisplay(DisplayString(qtDisplay));
    if (!x->dpy) {
        m_unavailable = QStringLiteral("The station cannot open the X11 display %1 a second "
                                       "time: check the display's access rights (xhost, "
                                       "XAUTHORITY).")
                            .arg(QString::fromLocal8Bit(DisplayString(qtDisplay)));
        x.reset();
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0, opcode = 0;
    if (!XTestQueryExtension(x->dpy, &event, &error, &major, &minor)) {
        m_unavailable = QStringLiteral("The X server does not let programs type (its XTEST "
                                       "extension is off): enable XTEST in the X server.");
        x.reset();
        return;
    }
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(x->dpy, &opcode, &x->xkbEventBase, &error, &major, &minor)) {
        m_unavailable = QStringLiteral("The X server has no keyboard layouts (its XKB "
                                       "extension is off): enable XKB in the X server.");
        x.reset();
        return;
    }
    XkbSelectEvents(x->dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    x->root = DefaultRootWindow(x->dpy);
    x->netActiveWindow = XInternAtom(x->dpy, "_NET_ACTIVE_WINDOW", False);
}

XTestKeyboard::~XTestKeyboard()
{
    if (x)
        x->giveBack();
}

WId XTestKeyboard::focusedWindow() const
{
    if (!x)
        return 0;
    // The window manager names the active top-level window; without one, the X focus.
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(x->dpy, x->root, x->netActiveWindow, 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_WINDOW) {
        const WId active = (data && count == 1 && format == 32)
                               ? WId(*reinterpret_cast<const unsigned long *>(data))
                               : 0;
        if (data)
            XFree(data);
        return active;
    }
    if (data)
        XFree(data);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x->dpy, &focus, &revert);
    return (focus == None || focus == PointerRoot) ? 0 : WId(focus);
}

KeyboardOutput::Result XTestKeyboard::type(const KeyActions &actions)
{
    if (!x)
        return fail(m_unavailable);
    for (const KeyAction &action : actions) {
        if (action.kind == KeyAction::Kind::Delay)
            continue;
        const Result result = typeOne(action);
        if (result != Result::Ok)
            return result;
    }
    m_error.clear();
    return Result::Ok;
}

KeyboardOutput::Result XTestKeyboard::typeOne(const KeyAction &action)
{
    x->readLayout();
    if (!x->xkb)
        return fail(QStringLiteral("the keyboard layout could not be read from the X server"));
    XkbStateRec state{};
    if (XkbGetState(x->dpy, XkbUseCoreKbd, &state) != Success)
        return fail(QStringLiteral("the keyboard state could not be read from the X server"));
    // A modifier the operator holds would change the typed keys: wait for its release.
    if ((state.base_mods | state.latched_mods) != 0) {
        m_error = QStringLiteral("a modifier key (Shift, Ctrl, Alt, AltGr) stayed held down");
        return Result::Retry;
    }

    const LayoutKey level3 = x->modifierKey(XK_ISO_Level3_Shift, state);
    LayoutKey key;
    KeySym wanted = NoSymbol;
    bool found = false;
    if (action.kind == KeyAction::Kind::Character) {
        const char32_t c = action.character;
        found = x->find([c](KeySym s) { return xkb_keysym_to_utf32(s) == c; }, state,
                        level3.levelMods, key);
        wanted = xkb_utf32_to_keysym(c);
    } else {
        wanted = keysymOf(action.key);
        found = x->find([wanted](KeySym s) { return s == wanted; }, state, level3.levelMods, key);
    }
    if (!found) {
        if (wanted == NoSymbol)
            return fail(QStringLiteral("character U+%1 has no X11 key symbol")
                            .arg(quint32(action.character), 4, 16, QLatin1Char('0')));
        key = {x->borrow(wanted), 0};
        if (!key.code)
            return fail(QStringLiteral("the keyboard layout lacks a character and has no "
                                       "free key code to type it on"));
    }

    // The modifier keys to hold: those of the key's level, then those the notation asks for.
    QList<KeyCode> hold;
    auto holdModifier = [&](KeySym sym, const char *name) {
        const LayoutKey m = x->modifierKey(sym, state);
        if (!m.code) {
            m_error = QStringLiteral("the keyboard layout has no %1 key").arg(QLatin1String(name));
            return false;
        }
        hold.append(m.code);
        return true;
    };
    if (((key.levelMods & ShiftMask) || (action.modifiers & KeyAction::Shift)) &&
        !holdModifier(XK_Shift_L, "Shift"))
        return Result::Failed;
    if ((key.levelMods & level3.levelMods & ~unsigned(ShiftMask)) && level3.code)
        hold.append(level3.code);
    if ((action.modifiers & KeyAction::Control) && !holdModifier(XK_Control_L, "Ctrl"))
        return Result::Failed;
    if ((action.modifiers & KeyAction::Alt) && !holdModifier(XK_Alt_L, "Alt"))
        return Result::Failed;

    for (KeyCode m : hold)
        XTestFakeKeyEvent(x->dpy, m, True, CurrentTime);
    XTestFakeKeyEvent(x->dpy, key.code, True, CurrentTime);
    XTestFakeKeyEvent(x->dpy, key.code, False, CurrentTime);
    for (auto it = hold.crbegin(); it != hold.crend(); ++it)
        XTestFakeKeyEvent(x->dpy, *it, False, CurrentTime);
    XFlush(x->dpy);
    return Result::Ok;
}

void XTestKeyboard::sequenceEnded()
{
    if (x)
        x->giveBack();
}

KeyboardOutput::Result XTestKeyboard::fail(const QString &why)
{
    m_error = why;
    return Result::Failed;
}
