#include "diag/PingScript.h"

#include "util/EightBitText.h"

#include <QStringList>

namespace PingScript {

namespace {

QByteArray joined(const QStringList &lines, const char *end)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += toEightBit(line) + end;
    return bytes;
}

// Single quotes keep every character of the entry literal for the shell.
QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

// A control character of an entry (ESC, BEL, a line break, a C1 control) would reach the
// console as a control sequence: retitle it, swallow what follows, or fake other lines.
// It is shown as a visible placeholder instead.
QString withoutControls(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            c = u'?';
    }
    return text;
}

// cmd reads the script: an entry is only ever text for ECHO and an argument for PING, never a
// command. Its special characters are escaped with ^ (% doubled), and a control character,
// which could end the line and start another, becomes a blank.
QString cmdEscaped(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            escaped += u' ';
        else if (c == u'%')
            escaped += QStringLiteral("%%");
        else if (QStringView(u"^&|<>()\"").contains(c))
            escaped += u'^' + QString(c);
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

QByteArray windowsScript(const QList<Entry> &entries)
{
    QStringList lines{QStringLiteral("@ECHO OFF")};
    for (const Entry &entry : entries) {
        const QString address = cmdEscaped(entry.text.left(kEntryChars));
        if (entry.ticked) {
            lines.append(QStringLiteral("ECHO ") + address);
            lines.append(QStringLiteral("PING ") + address + QStringLiteral(" -l 10 -n 1 -w 500"));
        }
        lines.append(QStringLiteral("ECHO ") + QString(kSeparatorWidth, u'-'));
    }
    lines.append(QStringLiteral("PAUSE "));
    return joined(lines, "\r\n");
}

QByteArray posixScript(const QList<Entry> &entries)
{
    QStringList lines{QStringLiteral("#!/bin/sh")};
    for (const Entry &entry : entries) {
        const QString address = entry.text.left(kEntryChars);
        if (entry.ticked) {
            // printf prints the text as it is (echo may expand a written-out "\033"), and
            // "--" keeps an address that starts with "-" from being read as an option.
            const QString shown = withoutControls(address);
            lines.append(QStringLiteral("printf '%s\\n' ") + shellQuoted(shown));
            lines.append(QStringLiteral("ping -c 1 -s 10 -W 0.5 -- ") +
                         shellQuoted(shown.trimmed()));
        }
        lines.append(QStringLiteral("echo ") + QString(kSeparatorWidth, u'-'));
    }
    lines.append(QStringLiteral("printf 'Press Enter to close this window. '"));
    lines.append(QStringLiteral("read answer"));
    return joined(lines, "\n");
}

QByteArray script(const QList<Entry> &entries)
{
#ifdef Q_OS_WIN
    return windowsScript(entries);
#else
    return posixScript(entries);
#endif
}

} // namespace PingScript
