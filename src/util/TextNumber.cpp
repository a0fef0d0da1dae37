#include "util/TextNumber.h"

#include "util/NumericValue.h"

#include <cmath>

namespace {

int digitValue(QChar c)
{
    int d = c.unicode() - 48;
    if (d > 9)
        d -= 7;
    return d;
}

} // namespace

std::optional<QString> CnvToBase(double DecNumber, int NewBase)
{
    if (NewBase < 2 || NewBase > 36 || !std::isfinite(DecNumber) || DecNumber < 0)
        return std::nullopt;
    QString result;
    do {
        const double q = std::floor(DecNumber / NewBase);
        double r = DecNumber - q * NewBase;
        DecNumber = q;
        if (r > 9)
            r += 7;
        result.prepend(QChar(static_cast<char16_t>(std::nearbyint(r + 48))));
    } while (DecNumber != 0);
    return result;
}

double CnvFromBase(const QString &BaseNumber, int OldBase)
{
    double result = 0;
    double weight = 1;
    for (qsizetype i = BaseNumber.size() - 1; i >= 0; --i) {
        const int d = digitValue(BaseNumber[i]);
        if (d >= OldBase)
            return 0;
        result += d * weight;
        weight *= OldBase;
    }
    return result;
}

QString PADL(const QString &LIGNE, int STR_LEN, const QString &CAR_PAD)
{
    const QString kept = LIGNE.size() > STR_LEN ? LIGNE.right(qMax(STR_LEN, 0)) : LIGNE;
    const qsizetype missing = STR_LEN - kept.size();
    return (missing > 0 ? CAR_PAD.repeated(missing) : QString()) + kept;
}

QString READ_BLOCK(const QString &LIGNE, const QString &SEPARATEUR, int POS,
                   const QString &WRITE_TXT)
{
    if (SEPARATEUR.isEmpty())
        return WRITE_TXT.isEmpty() ? LIGNE : WRITE_TXT;
    qsizetype p = 0; // zero-based start of the field
    QString filler;
    for (int k = 2; k <= POS; ++k) {
        const qsizetype s = LIGNE.indexOf(SEPARATEUR, p);
        if (s >= 0) {
            p = s + SEPARATEUR.size();
        } else {
            p = LIGNE.size();
            filler += SEPARATEUR;
        }
    }
    qsizetype e = LIGNE.indexOf(SEPARATEUR, p);
    if (e < 0)
        e = LIGNE.size();
    if (WRITE_TXT.isEmpty())
        return LIGNE.mid(p, e - p);
    return LIGNE.left(p) + filler + WRITE_TXT + LIGNE.mid(e);
}

QByteArray CALC_CHECKSUM(const QByteArray &data, int mode)
{
    quint64 sum = 0;
    for (const char c : data)
        sum += static_cast<quint8>(c);
    if (mode >= 0 && mode <= 2)
        return QByteArray(1, static_cast<char>(sum & 0xFF));
    if (mode == 3 || mode == 4) {
        QByteArray two(2, '\0');
        two[0] = static_cast<char>(sum & 0xFF);
        two[1] = static_cast<char>((sum >> 8) & 0xFF);
        return two;
    }
    return QByteArray();
}

std::optional<QByteArray> USER_NUMBER_TO_BYTES(double value)
{
    if (!isWholeNumber(value) || value < 0 || value > kMaxUserNumber)
        return std::nullopt;
    const auto hex = CnvToBase(value, 16);
    if (!hex || hex->size() > 8)
        return std::nullopt;
    const QString h = PADL(*hex, 8, QStringLiteral("0"));
    QByteArray bytes;
    for (int pos : {6, 4, 2, 0})
        bytes.append(static_cast<char>(CnvFromBase(h.mid(pos, 2), 16)));
    return bytes;
}

QString BYTES_TO_USER_NUMBER(const QByteArray &bytes)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        const quint8 b = i < bytes.size() ? static_cast<quint8>(bytes[i]) : 0;
        value = (value << 8) | b;
    }
    return QString::number(value);
}
