#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A user number as it travels through the station: the text it was given as (what the
// operator typed, the user part of a template file name, the decimal text of a unit's 4
// bytes), which names its template files and appears in banners and logs, and the number
// that text stands for, sent to units as 4 bytes. Each place where a user enters the station
// makes one with the rule that place has; past it, nothing parses the text again.
class UserNumber
{
public:
    // A text whose number at its start (see numericValue) is a whole number from 1 to
    // 4294967295, whatever follows it: "12abc" is user 12, named "12abc". For texts that
    // were not typed into the user field (a line of a unit's user list, a file name), where
    // only the number is checked.
    static std::optional<UserNumber> fromNumberAtStart(const QString &text);
    // What the operator typed: the rule above, and none of the characters a template file
    // name must not hold (a path separator, a drive colon, a control character, a file name
    // pattern). Blanks and letters around the number are kept in the text.
    static std::optional<UserNumber> fromOperatorText(const QString &text);
    // A template file's name ("12345-01.DAT"): the text before its first hyphen, by the rule
    // of fromNumberAtStart. Refused without a hyphen: such a file names no template.
    static std::optional<UserNumber> fromFileName(const QString &name);
    // The first 4 bytes of a unit's frame or datagram, least significant first; missing
    // bytes count as 0. Always a number (0 included: the caller decides what 0 means), its
    // text the decimal digits without leading zeros.
    static UserNumber fromBytes(const QByteArray &bytes);

    const QString &text() const { return m_text; }
    quint32 value() const { return m_value; }
    // The 4 bytes units carry, least significant first.
    QByteArray bytes() const;

    friend bool operator==(const UserNumber &, const UserNumber &) = default;

private:
    UserNumber(const QString &text, quint32 value) : m_text(text), m_value(value) {}

    QString m_text;
    quint32 m_value = 0;
};
