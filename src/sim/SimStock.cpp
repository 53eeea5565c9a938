#include "sim/SimStock.h"

static bool IsCodeChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
}

bool IsValidStockCode(const QString& code)
{
    if (code.size() != 6)
        return false;
    for (QChar c : code)
        if (!IsCodeChar(c))
            return false;
    return true;
}

int IsinCheckDigit(const QString& first11)
{
    if (first11.size() != 11)
        return -1;
    for (int i = 0; i < 11; ++i) {
        const QChar c = first11[i];
        if (i < 2 ? !(c >= u'A' && c <= u'Z') : !IsCodeChar(c))
            return -1;
    }
    // Letters become two digits (A = 10 ... Z = 35).
    QString digits;
    for (QChar c : first11) {
        if (c >= u'0' && c <= u'9')
            digits += c;
        else
            digits += QString::number(c.unicode() - u'A' + 10);
    }
    // Luhn from the right; the rightmost digit is doubled because the
    // check digit will follow it.
    int sum = 0;
    bool dbl = true;
    for (int i = digits.size() - 1; i >= 0; --i) {
        int d = digits[i].unicode() - u'0';
        if (dbl) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        dbl = !dbl;
    }
    return (10 - sum % 10) % 10;
}

QString IsinForCode(const QString& code)
{
    if (!IsValidStockCode(code))
        return QString();
    const QString base = QStringLiteral("KR7") + code + QStringLiteral("00");
    return base + QChar(u'0' + IsinCheckDigit(base));
}

bool IsValidIsin(const QString& isin)
{
    if (isin.size() != 12)
        return false;
    const int d = IsinCheckDigit(isin.left(11));
    return d >= 0 && isin[11] == QChar(u'0' + d);
}
