#include "platform/XTestKeyboard.h"

#include "platform/DesktopDisplay.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QThread>
#include <QTimer>

#include <algorithm>

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

// How long applications get to take in a key map change before the key it serves is
// pressed, and to read the last typed keys before a lent key code is given back. Some
// applications look a key code up when they handle the key (GTK fetches the map again then),
// others fetch a changed map asynchronously (Chromium): a key code changed back while its
// key waits in such an application's queue arrives without its character.
constexpr int kMapSettleMs = 100;
constexpr int kGiveBackAfterMs = 1000;

struct XTestKeyboard::X
{
    Display *dpy = nullptr;
    Window root = 0;
    Atom netActiveWindow = 0;
    int xkbEventBase = 0;
    XkbDescPtr xkb = nullptr; // the layout, read again whenever the server says it changed
    bool layoutChanged = true;
    // Spare key codes lent a keysym, and that keysym. A code keeps its keysym from the key
    // that needed it until the typing has been idle for kGiveBackAfterMs, so sequences typed
    // in a row reuse it and no code ever carries two characters while they may be read.
    QHash<KeyCode, KeySym> borrowed;
    // The newest lent code's key is held back until then (see kMapSettleMs).
    KeyCode settling = 0;
    QDeadlineTimer mapSettled;
    QTimer giveBackTimer;
    QDeadlineTimer lastKeysRead; // the typed keys have had their time to be read

    X()
    {
        giveBackTimer.setSingleShot(true);
        giveBackTimer.callOnTimeout([this] { giveBack(); });
    }
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

    // The key code lent the keysym: the one it already has, else a code with no symbol and
    // no modifier; 0 when every such code is lent already. A code is never given a second
    // keysym while it is lent: an application still holding a key of it would read it wrong.
    KeyCode borrow(KeySym sym)
    {
        for (auto it = borrowed.cbegin(); it != borrowed.cend(); ++it)
            if (it.value() == sym)
                return it.key();
        for (int code = xkb->max_key_code; code >= xkb->min_key_code; --code) {
            if (XkbKeyNumSyms(xkb, code) != 0 || xkb->map->modmap[code] != 0 ||
                borrowed.contains(KeyCode(code)))
                continue;
            KeySym syms[2] = {sym, sym}; // the same symbol on both levels: Shift changes nothing
            XChangeKeyboardMapping(dpy, code, 2, syms, 1);
            XSync(dpy, False); // every application has been told once this returns
            borrowed.insert(KeyCode(code), sym);
            settling = KeyCode(code);
            mapSettled = QDeadlineTimer(kMapSettleMs);
            layoutChanged = true;
            return KeyCode(code);
        }
        return 0;
    }

    // Called when a key has been sent: the lent codes stay lent while typing goes on.
    void keySent()
    {
        giveBackTimer.stop();
        lastKeysRead = QDeadlineTimer(kGiveBackAfterMs);
    }

    // The end of a sequence: once the server has passed its keys on and the applications
    // have had their time to read them, the lent codes are given back.
    void sequenceEnded()
    {
        if (borrowed.isEmpty())
            return;
        XSync(dpy, False);
        lastKeysRead = QDeadlineTimer(kGiveBackAfterMs);
        giveBackTimer.start(kGiveBackAfterMs);
    }

    void giveBack()
    {
        giveBackTimer.stop();
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
            XSync(dpy, False);
        borrowed.clear();
        settling = 0;
        layoutChanged = true;
    }
};

XTestKeyboard::XTestKeyboard()
{
    const DesktopDisplay desktop = desktopDisplay();
    const QString &platform = desktop.platformName;
    if (platform.startsWith(QLatin1String("wayland"))) {
        m_unavailable = QStringLiteral("This Wayland desktop lets no program type into other "
                                       "programs: log in to an X11 (Xorg) session to have "
                                       "user numbers typed.");
        return;
    }
    if (desktop.displayName.isEmpty()) {
        m_unavailable = QStringLiteral("The station runs without an X11 display (platform "
                                       "\"%1\"): start it on the desktop where user numbers "
                                       "are to be typed.")
                            .arg(platform);
        return;
    }
    x = std::make_unique<X>();
    // A connection of our own: the keyboard events read here never reach Qt's.
    x->dpy = XOpenDisplay(desktop.displayName.constData());
    if (!x->dpy) {
        m_unavailable = QStringLiteral("The station cannot open the X11 display %1 a second "
                                       "time: check the display's access rights (xhost, "
                                       "XAUTHORITY).")
                            .arg(QString::fromLocal8Bit(desktop.displayName));
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
    if (!x || x->borrowed.isEmpty())
        return;
    // The station is closing: the last keys still get their time before the codes go back.
    XSync(x->dpy, False);
    QThread::msleep(quint64(std::max<qint64>(0, x->lastKeysRead.remainingTime())));
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
            return fail(QStringLiteral("the keyboard layout lacks more different characters "
                                       "than it has free key codes to lend them (%1 are lent)")
                            .arg(x->borrowed.size()));
    }
    // A code just lent its character: applications first take in the new key map.
    if (key.code == x->settling && !x->mapSettled.hasExpired()) {
        m_error = QStringLiteral("applications did not take in the changed key map in time");
        return Result::Retry;
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
    x->keySent();
    return Result::Ok;
}

void XTestKeyboard::sequenceEnded()
{
    if (x)
        x->sequenceEnded();
}

KeyboardOutput::Result XTestKeyboard::fail(const QString &why)
{
    m_error = why;
    return Result::Failed;
}
