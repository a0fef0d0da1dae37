#include "config/TargetEntry.h"

#include "util/Blanks.h"

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

} // namespace TargetEntry
