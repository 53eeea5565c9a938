#include "signals/SigText.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

QString PlainText(const QString& s, int cap)
{
    QString out;
    out.reserve(qMin<qsizetype>(s.size(), qsizetype(cap) + 1));
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029
            || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            continue;
        out.append(c);
        // Trimming below may shorten it again; a little slack keeps the cap exact.
        if (out.size() > qsizetype(cap) + 64)
            break;
    }
    out = out.trimmed();
    if (out.size() > cap) {
        out.truncate(cap);
        if (!out.isEmpty() && out.back().isHighSurrogate())
            out.chop(1);
        out = out.trimmed();
    }
    return out;
}

QString JsonText(const QJsonValue& v, int cap)
{
    switch (v.type()) {
    case QJsonValue::String:
        return PlainText(v.toString(), cap);
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return QString();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return PlainText(QString::number(qint64(d)), cap);
        return PlainText(QString::number(d, 'g', 15), cap);
    }
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

bool AllDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c.unicode() < '0' || c.unicode() > '9')
            return false;
    return true;
}

QString MonthDayOf(const QString& date)
{
    if (date.size() == 8 && AllDigits(date))
        return date.mid(4, 2) + QLatin1Char('/') + date.mid(6, 2);
    return date;
}

QString HhColonMm(const QString& hhmm)
{
    if (hhmm.size() >= 4 && AllDigits(QStringView(hhmm).left(4)))
        return hhmm.left(2) + QLatin1Char(':') + hhmm.mid(2, 2);
    return hhmm;
}

bool JsonObjectOf(const QByteArray& body, qsizetype maxBytes, QJsonObject& o)
{
    if (body.isEmpty() || body.size() > maxBytes)
        return false;
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    o = doc.object();
    return true;
}
