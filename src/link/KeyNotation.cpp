#include "link/KeyNotation.h"

#include <array>
#include <optional>
#include <utility>

namespace KeyNotation {

namespace {

using Key = KeyAction::Key;

struct NamedKey
{
    const char *name;
    Key key;
};

constexpr std::array<NamedKey, 20> kNames{{
    {"ENTER", Key::Enter},
    {"TAB", Key::Tab},
    {"ESC", Key::Escape},
    {"ESCAPE", Key::Escape},
    {"BACKSPACE", Key::Backspace},
    {"BS", Key::Backspace},
    {"BKSP", Key::Backspace},
    {"DELETE", Key::Delete},
    {"DEL", Key::Delete},
    {"INSERT", Key::Insert},
    {"INS", Key::Insert},
    {"HOME", Key::Home},
    {"END", Key::End},
    {"PGUP", Key::PageUp},
    {"PGDN", Key::PageDown},
    {"UP", Key::Up},
    {"DOWN", Key::Down},
    {"LEFT", Key::Left},
    {"RIGHT", Key::Right},
    {"SPACE", Key::Space},
}}; // F1 to F16 are recognised by their number

std::optional<Key> namedKey(const QString &upper)
{
    for (const NamedKey &n : kNames)
        if (upper == QLatin1String(n.name))
            return n.key;
    if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == QLatin1Char('F')) {
        bool ok = false;
        const int n = upper.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 16 && upper[1] != QLatin1Char('0'))
            return Key(int(Key::F1) + n - 1);
    }
    return std::nullopt;
}

// A name as the operator wrote it, shortened for a message.
QString quoted(const QString &text)
{
    constexpr int kShown = 20;
    return QLatin1Char('"') +
           (text.size() > kShown ? text.left(kShown) + QStringLiteral("...") : text) +
           QLatin1Char('"');
}

class Parser
{
public:
    explicit Parser(const QString &text) : t(text) {}

    Result run()
    {
        while (i < t.size() && r.ok())
            step();
        if (!r.ok())
            return fail();
        if (pending != KeyAction::NoModifier)
            return error(pendingAt, QStringLiteral("a modifier (+, ^ or %) at the end applies to "
                                                   "no key"));
        if (!groups.isEmpty())
            return error(groups.last().openedAt, QStringLiteral("\"(\" is not closed by \")\""));
        return r;
    }

private:
    struct Group
    {
        quint8 held;
        int openedAt;
    };

    void step()
    {
        const QChar c = t[i];
        const int at = i + 1;
        switch (c.unicode()) {
        case '+':
        case '^':
        case '%':
            if (pending == KeyAction::NoModifier)
                pendingAt = at;
            pending |= c == QLatin1Char('+')   ? KeyAction::Shift
                       : c == QLatin1Char('^') ? KeyAction::Control
                                               : KeyAction::Alt;
            ++i;
            return;
        case '(':
            groups.append({quint8(held() | pending), at});
            pending = KeyAction::NoModifier;
            ++i;
            return;
        case ')':
            if (pending != KeyAction::NoModifier)
                return setError(at, QStringLiteral("a modifier before \")\" applies to no key"));
            if (groups.isEmpty())
                return setError(at, QStringLiteral("\")\" has no \"(\" before it (write {)} for "
                                                   "the character)"));
            groups.removeLast();
            ++i;
            return;
        case '{':
            return braces();
        case '}':
            return setError(at, QStringLiteral("\"}\" has no \"{\" before it (write {}} for the "
                                               "character)"));
        case '~':
            ++i;
            return emitKey(KeyAction::press(Key::Enter), 1, at);
        default:
            break;
        }
        const auto [code, units] = codePointAt(i);
        i += units;
        if (code == 0)
            return setError(at, QStringLiteral("a broken character (half of a surrogate pair)"));
        const std::optional<KeyAction> action = characterAction(code, at);
        if (action)
            emitKey(*action, 1, at);
    }

    // {NAME}, {NAME n}, {x}, {x n}, {DELAY n}
    void braces()
    {
        const int open = i;
        const int at = open + 1;
        int nameStart = open + 1;
        int close = -1;
        if (nameStart < t.size() && t[nameStart] == QLatin1Char('}')) {
            // "{}}" or "{} n}": the closing brace is the character itself.
            if (nameStart + 1 < t.size() &&
                (t[nameStart + 1] == QLatin1Char('}') || t[nameStart + 1] == QLatin1Char(' ')))
                close = int(t.indexOf(QLatin1Char('}'), nameStart + 1));
            else
                return setError(at, QStringLiteral("empty braces {}"));
        } else {
            close = int(t.indexOf(QLatin1Char('}'), nameStart));
        }
        if (close < 0)
            return setError(at, QStringLiteral("\"{\" is not closed by \"}\""));
        const QString content = t.mid(nameStart, close - nameStart);
        i = close + 1;

        QString name = content;
        std::optional<int> count;
        const qsizetype space = content.lastIndexOf(QLatin1Char(' '));
        const bool oneCharacter =
            content.size() == 1 ||
            (content.size() == 2 && content[0].isHighSurrogate() && content[1].isLowSurrogate());
        if (!oneCharacter && space > 0) {
            name = content.left(space);
            const QString digits = content.mid(space + 1);
            count = number(digits);
            if (!count)
                return setError(at + int(space) + 2,
                                quoted(digits) + QStringLiteral(" is not a count"));
        }
        if (name.isEmpty())
            return setError(at, QStringLiteral("empty braces {}"));

        const QString upper = name.toUpper();
        if (upper == QLatin1String("DELAY")) {
            if (!count)
                return setError(at, QStringLiteral("{DELAY n} needs a number of milliseconds"));
            if (*count > kMaxDelayMs)
                return setError(at, QStringLiteral("a pause of %1 ms is longer than %2 ms")
                                        .arg(*count)
                                        .arg(kMaxDelayMs));
            if (pending != KeyAction::NoModifier)
                return setError(pendingAt, QStringLiteral("a modifier before {DELAY} applies to "
                                                          "no key"));
            totalDelay += *count;
            if (totalDelay > kMaxTotalDelayMs)
                return setError(at, QStringLiteral("the pauses add up to more than %1 s")
                                        .arg(kMaxTotalDelayMs / 1000));
            return emitKey(KeyAction::pause(*count), 1, at);
        }
        if (count && *count > kMaxRepeat)
            return setError(
                at,
                QStringLiteral("a repeat count of %1 is more than %2").arg(*count).arg(kMaxRepeat));
        const int times = count.value_or(1);

        const auto [code, units] = codePointAt(nameStart);
        if (units == name.size()) {
            if (code == 0)
                return setError(at, QStringLiteral("a broken character (half of a surrogate "
                                                   "pair)"));
            const std::optional<KeyAction> action = characterAction(code, at);
            if (action)
                emitKey(*action, times, at);
            return;
        }
        const std::optional<Key> key = namedKey(upper);
        if (!key)
            return setError(at, QStringLiteral("unknown key name ") + quoted(name));
        emitKey(KeyAction::press(*key), times, at);
    }

    // Up to five digits: enough for every bound above, and no overflow.
    static std::optional<int> number(const QString &digits)
    {
        if (digits.isEmpty() || digits.size() > 5)
            return std::nullopt;
        int value = 0;
        for (const QChar d : digits) {
            if (d < QLatin1Char('0') || d > QLatin1Char('9'))
                return std::nullopt;
            value = value * 10 + (d.unicode() - '0');
        }
        return value;
    }

    // The code point at index k and how many UTF-16 units it takes; 0 for half a pair.
    std::pair<char32_t, int> codePointAt(int k) const
    {
        const QChar c = t[k];
        if (c.isHighSurrogate()) {
            if (k + 1 < t.size() && t[k + 1].isLowSurrogate())
                return {QChar::surrogateToUcs4(c, t[k + 1]), 2};
            return {0, 1};
        }
        if (c.isLowSurrogate())
            return {0, 1};
        return {c.unicode(), 1};
    }

    // A character as a key: tab and line ends are their keys; other control characters
    // have no key that types them.
    std::optional<KeyAction> characterAction(char32_t code, int at)
    {
        if (code == U'\t')
            return KeyAction::press(Key::Tab);
        if (code == U'\r' || code == U'\n')
            return KeyAction::press(Key::Enter);
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            setError(at, QStringLiteral("a control character (code %1) that no key types")
                             .arg(quint32(code)));
            return std::nullopt;
        }
        return KeyAction::typeCharacter(code);
    }

    void emitKey(KeyAction action, int times, int at)
    {
        if (action.kind != KeyAction::Kind::Delay)
            action.modifiers |= held() | pending;
        pending = KeyAction::NoModifier;
        if (r.actions.size() + times > kMaxActions)
            return setError(at,
                            QStringLiteral("the text makes more than %1 keys").arg(kMaxActions));
        for (int n = 0; n < times; ++n)
            r.actions.append(action);
    }

    quint8 held() const { return groups.isEmpty() ? quint8(0) : groups.last().held; }

    void setError(int position, const QString &reason)
    {
        r.error = reason;
        r.errorPosition = position;
    }
    Result error(int position, const QString &reason)
    {
        setError(position, reason);
        return fail();
    }
    Result fail()
    {
        r.actions.clear();
        return r;
    }

    const QString &t;
    int i = 0;
    Result r;
    quint8 pending = KeyAction::NoModifier;
    int pendingAt = 0;
    QList<Group> groups;
    int totalDelay = 0;
};

} // namespace

QString Result::message() const
{
    if (ok())
        return QString();
    return error + QStringLiteral(" at character ") + QString::number(errorPosition);
}

Result parse(const QString &text)
{
    return Parser(text).run();
}

KeyActions literal(const QString &text)
{
    KeyActions actions;
    for (const char32_t c : text.toUcs4())
        actions.append(KeyAction::typeCharacter(c));
    return actions;
}

QString keyName(KeyAction::Key key)
{
    if (key >= KeyAction::Key::F1 && key <= KeyAction::Key::F16)
        return QStringLiteral("F%1").arg(int(key) - int(KeyAction::Key::F1) + 1);
    for (const NamedKey &n : kNames)
        if (n.key == key)
            return QLatin1String(n.name);
    return QString();
}

} // namespace KeyNotation
