#include "util/UserNumber.h"

#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QtEndian>

namespace {

// The user text becomes part of template file names: a separator or drive colon would
// reach outside the templates folder, and a pattern character would make a listing or a
// deletion match other users' files on systems that expand it.
bool hasForbiddenCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
        switch (c.unicode()) {
        case u'/':
        case u'\\':
        case u':':
        case u'*':
        case u'?':
        case u'[':
        case u']':
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

std::optional<UserNumber> UserNumber::fromNumberAtStart(const QString &text)
{
    const double value = numericValue(text);
    if (!(value >= 1 && value <= kMaxUserNumber && isWholeNumber(value)))
        return std::nullopt;
    return UserNumber(text, static_cast<quint32>(value));
}

std::optional<UserNumber> UserNumber::fromOperatorText(const QString &text)
{
    if (hasForbiddenCharacter(text))
        return std::nullopt;
    return fromNumberAtStart(text);
}

std::optional<UserNumber> UserNumber::fromFileName(const QString &name)
{
    const qsizetype hyphen = name.indexOf(u'-');
    if (hyphen < 0)
        return std::nullopt;
    return fromNumberAtStart(name.left(hyphen));
}

UserNumber UserNumber::fromBytes(const QByteArray &bytes)
{
    const QByteArray four = bytes.left(4).leftJustified(4, '\0');
    const quint32 value = qFromLittleEndian<quint32>(four.constData());
    return UserNumber(QString::number(value), value);
}

QByteArray UserNumber::bytes() const
{
    QByteArray four(4, '\0');
    qToLittleEndian(m_value, four.data());
    return four;
}
