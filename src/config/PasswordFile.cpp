#include "config/PasswordFile.h"

#include "util/Blanks.h"
#include "util/EightBitText.h"

namespace PasswordFile {

QString storedPassword(const QByteArray &fileBytes)
{
    qsizetype end = 0;
    while (end < fileBytes.size() && fileBytes[end] != '\r' && fileBytes[end] != '\n')
        ++end;
    return fromEightBit(fileBytes.left(end));
}

QByteArray content(const QString &answer)
{
    return toEightBit(trimBlanks(answer)) + "\r\n";
}

bool accepts(const QString &stored, const QString &typed)
{
    return trimBlanks(stored).compare(trimBlanks(typed), Qt::CaseInsensitive) == 0;
}

} // namespace PasswordFile
