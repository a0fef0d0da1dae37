#include "UnitConsole.h"

#include "SimulatedUnit.h"

#include <QCryptographicHash>
#include <QTimer>

namespace {

std::optional<qint64> number(const QString &text, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

constexpr qint64 kMaxUser = 4294967295LL;
constexpr qint64 kMaxCount = 255;
constexpr qint64 kMaxBytes = 65535;
constexpr qint64 kMaxNoise = 1 << 20;
constexpr qint64 kMaxDelayMs = 600000;

} // namespace

QString UnitConsole::usage()
{
    return QStringLiteral(
        "commands: finger USER [QUALITY ...] | add USER COUNT [BYTES] | users | "
        "silent on|off | noise N | split N | delay MS | unplug [IN_MS [DOWN_MS]] | quit");
}

QStringList UnitConsole::execute(const QString &line)
{
    const QStringList w = line.simplified().split(' ', Qt::SkipEmptyParts);
    if (w.isEmpty())
        return {QStringLiteral("error empty command; ") + usage()};
    const QString cmd = w.first().toLower();
    auto bad = [&](const QString &why) { return QStringList{QStringLiteral("error ") + why}; };

    if (cmd == QLatin1String("finger")) {
        if (w.size() < 2)
            return bad(QStringLiteral("usage: finger USER [QUALITY ...]"));
        const auto user = number(w[1], 1, kMaxUser);
        if (!user)
            return bad(QStringLiteral("user must be 1..4294967295"));
        QList<int> qualities;
        for (int i = 2; i < w.size(); ++i) {
            const auto q = number(w[i], 0, 255);
            if (!q)
                return bad(QStringLiteral("quality must be 0..255"));
            qualities.append(int(*q));
        }
        if (qualities.isEmpty())
            qualities = {80};
        m_unit.finger(quint32(*user), qualities);
        return {QStringLiteral("ok")};
    }
    if (cmd == QLatin1String("add")) {
        if (w.size() < 3 || w.size() > 4)
            return bad(QStringLiteral("usage: add USER COUNT [BYTES]"));
        const auto user = number(w[1], 1, kMaxUser);
        const auto count = number(w[2], 0, kMaxCount);
        const auto bytes = w.size() == 4 ? number(w[3], 1, kMaxBytes)
                                         : std::optional<qint64>(m_unit.options().templateBytes);
        if (!user || !count || !bytes)
            return bad(QStringLiteral("add USER(1..4294967295) COUNT(0..255) BYTES(1..65535)"));
        m_unit.addUser(quint32(*user), int(*count), int(*bytes));
        return {QStringLiteral("ok")};
    }
    if (cmd == QLatin1String("users") && w.size() == 1) {
        QStringList out;
        const auto users = m_unit.users();
        for (auto it = users.cbegin(); it != users.cend(); ++it) {
            QStringList sizes, hashes;
            for (const QByteArray &t : *it) {
                sizes << QString::number(t.size());
                hashes << QString::fromLatin1(
                    QCryptographicHash::hash(t, QCryptographicHash::Sha256).toHex());
            }
            out << QStringLiteral("user %1 templates %2 sizes %3 sha256 %4")
                       .arg(it.key())
                       .arg(it->size())
                       .arg(sizes.join(','), hashes.join(','));
        }
        out << QStringLiteral("ok %1 users").arg(users.size());
        return out;
    }
    if (cmd == QLatin1String("silent") && w.size() == 2) {
        const QString v = w[1].toLower();
        if (v != QLatin1String("on") && v != QLatin1String("off"))
            return bad(QStringLiteral("usage: silent on|off"));
        m_unit.setSilent(v == QLatin1String("on"));
        return {QStringLiteral("ok")};
    }
    if ((cmd == QLatin1String("noise") || cmd == QLatin1String("split") ||
         cmd == QLatin1String("delay")) &&
        w.size() == 2) {
        const auto n = number(w[1], 0, kMaxNoise);
        if (!n)
            return bad(cmd + QStringLiteral(" needs a number 0..") + QString::number(kMaxNoise));
        if (cmd == QLatin1String("noise"))
            m_unit.sendNoise(int(*n));
        else if (cmd == QLatin1String("split"))
            m_unit.setSplit(int(*n));
        else
            m_unit.setDelay(int(*n));
        return {QStringLiteral("ok")};
    }
    if (cmd == QLatin1String("unplug") && w.size() <= 3) {
        if (!m_unit.isSerialOpen())
            return bad(QStringLiteral("no serial port to unplug"));
        if (w.size() == 1) {
            m_unit.unplug();
            return {QStringLiteral("ok")};
        }
        // Pulled later, so that a script can start work on the station first and the line
        // vanishes in the middle of it.
        const auto inMs = number(w[1], 0, kMaxDelayMs);
        const auto downMs = w.size() == 3 ? number(w[2], 0, kMaxDelayMs)
                                          : std::optional<qint64>(SimulatedUnit::kDefaultUnplugMs);
        if (!inMs || !downMs)
            return bad(QStringLiteral("unplug needs numbers 0..") + QString::number(kMaxDelayMs));
        QTimer::singleShot(int(*inMs), &m_unit,
                           [unit = &m_unit, down = int(*downMs)] { unit->unplug(down); });
        return {QStringLiteral("ok")};
    }
    if (cmd == QLatin1String("quit") && w.size() == 1) {
        m_quit = true;
        return {QStringLiteral("ok")};
    }
    return bad(QStringLiteral("unknown command \"%1\"; ").arg(line.trimmed()) + usage());
}
