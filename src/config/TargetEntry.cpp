#include "config/TargetEntry.h"

#include "util/Blanks.h"

#include <QRegularExpression>

namespace TargetEntry {

QString text(const QString &address, const QString &description)
{
    return address.leftJustified(kAddressWidth, u' ') + description;
}

QString addressOf(const QString &entry)
{
    return trimBlanks(entry.left(kAddressWidth));
}

QString descriptionOf(const QString &entry)
{
    return trimBlanks(entry.mid(kAddressWidth));
}

QString addressProblem(const QString &address)
{
    static const QRegularExpression ownUnit(QStringLiteral("^COM *[0-9]*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    static const QRegularExpression dottedQuad(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QString typed = trimBlanks(address);
    if (typed.isEmpty())
        return QStringLiteral("No address was typed.");
    if (ownUnit.match(typed).hasMatch())
        return QString();
    const QString example =
        QStringLiteral(" Type four numbers from 0 to 255 separated by dots (for example "
                       "192.168.1.20), or COM for the unit on this station's own port.");
    if (!digitsAndDots.match(typed).hasMatch())
        return QStringLiteral("\"%1\" is not a unit address.").arg(typed) + example;
    const QRegularExpressionMatch quad = dottedQuad.match(typed);
    if (!quad.hasMatch())
        return QStringLiteral("\"%1\" is not a full address: it needs four numbers separated "
                              "by dots.")
                   .arg(typed) +
               example;
    for (int i = 1; i <= 4; ++i) {
        if (quad.captured(i).toInt() > 255)
            return QStringLiteral("\"%1\" has the number %2, above 255.")
                       .arg(typed, quad.captured(i)) +
                   example;
    }
    return QString();
}

} // namespace TargetEntry
