#include "cli/PlainText.h"

namespace {

QString escaped(char16_t unit)
{
    return QStringLiteral("\\x%1").arg(unit, 2, 16, QLatin1Char('0'));
}

// Format characters (bidirectional overrides among them) and line separators reorder or
// break what the terminal shows as much as a control character does.
bool isUnsafe(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

QString plainText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            result += c;
            result += text[++i];
        } else if (c.isSurrogate() || isUnsafe(c)) {
            result += escaped(c.unicode()); // a half pair is no character at all
        } else {
            result += c;
        }
    }
    return result;
}
