#include "signals/SigFeed.h"

#include "core/NumFmt.h"
#include "signals/SigText.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

constexpr int KTextCap = 32;

// hh, mm (and ss when given) in range; the hhmm text or empty.
QString HhmmOf(int h, int m, int s)
{
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return QString();
    return QStringLiteral("%1%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
}

bool IsCodeChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z');
}

bool PlainCode(const QString& code)
{
    return code.size() == 6 && std::all_of(code.begin(), code.end(), IsCodeChar);
}

}  // namespace

QString SigKindLabel(int kind)
{
    switch (kind) {
    case 1: return QStringLiteral("매수 포착");
    case 2: return QStringLiteral("매도 포착");
    case 3: return QStringLiteral("매수 스트릭");
    case 4: return QStringLiteral("매도 스트릭");
    case 5: return QStringLiteral("데트집중");
    default: return QString();
    }
}

QString NormSigCode(const QString& code)
{
    const QString c = code.trimmed();
    if (c.size() == 12 && c.startsWith(QLatin1String("KR"), Qt::CaseInsensitive))
        return c.mid(3, 6);
    if (c.size() == 7) {
        const QChar f = c.at(0).toUpper();
        if (f == QLatin1Char('A') || f == QLatin1Char('Q'))
            return c.mid(1, 6);
    }
    return c;
}

QString SigTimeHhmm(const QString& time)
{
    QString t = time.trimmed();
    // A date in front ("20261210 09:31:05", "2026-12-10T09:31"): the time is
    // the last part.
    const qsizetype sp = std::max(t.lastIndexOf(QLatin1Char(' ')), t.lastIndexOf(QLatin1Char('T')));
    if (sp >= 0)
        t = t.mid(sp + 1);
    if (t.isEmpty() || t.size() > 14)
        return QString();
    if (t.contains(QLatin1Char(':'))) {
        const QStringList parts = t.split(QLatin1Char(':'));
        if (parts.size() < 2 || parts.size() > 3)
            return QString();
        int v[3] = {0, 0, 0};
        for (int i = 0; i < parts.size(); ++i) {
            const QString& p = parts.at(i);
            if (p.size() < 1 || p.size() > 2 || !AllDigits(p))
                return QString();
            // Minutes and seconds are always written with two digits.
            if (i > 0 && p.size() != 2)
                return QString();
            v[i] = p.toInt();
        }
        return HhmmOf(v[0], v[1], v[2]);
    }
    if (!AllDigits(t))
        return QString();
    if (t.size() == 14 || t.size() == 12)  // yyyymmddhhmm[ss]
        t = t.mid(8);
    switch (t.size()) {
    case 3: t.prepend(QLatin1Char('0')); [[fallthrough]];
    case 4: return HhmmOf(t.left(2).toInt(), t.mid(2, 2).toInt(), 0);
    case 5: t.prepend(QLatin1Char('0')); [[fallthrough]];
    case 6: return HhmmOf(t.left(2).toInt(), t.mid(2, 2).toInt(), t.mid(4, 2).toInt());
    default: return QString();
    }
}

void SortSigRows(QVector<TSigRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const TSigRow& a, const TSigRow& b) {
        if (a.T != b.T)
            return a.T > b.T;
        if (a.Kind != b.Kind)
            return a.Kind < b.Kind;
        return a.Code < b.Code;
    });
}

QString SigUpdatedText(const QString& updated)
{
    if (updated.size() > 3 && AllDigits(QStringView(updated).left(4))) {
        const int h = updated.left(2).toInt(), m = updated.mid(2, 2).toInt();
        if (h <= 23 && m <= 59)
            return HhColonMm(updated);
    }
    return updated;
}

TSigAnswer ParseSigJson(const QByteArray& body, const std::function<bool(const QString&)>& knownCode)
{
    TSigAnswer a;
    if (body.size() > KMaxSigBody) {
        a.Error = QStringLiteral("응답이 너무 큼 (%1 바이트)").arg(body.size());
        return a;
    }
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        a.Error = QStringLiteral("응답 형식 오류");
        return a;
    }
    const QJsonObject o = doc.object();
    a.Ok = true;
    a.Date = JsonText(o.value(QLatin1String("date")), KTextCap);
    a.Updated = JsonText(o.value(QLatin1String("updated")), KTextCap);

    static const char* const arrays[] = {"lm03", "lm03r", "lm08", "lm08r"};
    QSet<QString> keys;
    for (int k = 1; k <= 4; ++k) {
        const QJsonValue av = o.value(QLatin1String(arrays[k - 1]));
        if (!av.isArray())
            continue;
        const QJsonArray arr = av.toArray();
        if (arr.size() > KMaxSigItems)
            a.Skipped += int(arr.size() - KMaxSigItems);
        const qsizetype n = std::min<qsizetype>(arr.size(), KMaxSigItems);
        for (qsizetype i = 0; i < n; ++i) {
            const QJsonValue ev = arr.at(i);
            if (!ev.isObject()) {
                ++a.Skipped;
                continue;
            }
            const QJsonObject e = ev.toObject();
            QString code = JsonText(e.value(QLatin1String("sc")), KTextCap);
            if (code.size() != 6)
                code = NormSigCode(JsonText(e.value(QLatin1String("code")), KTextCap));
            code = code.toUpper();
            const QString t = SigTimeHhmm(JsonText(e.value(QLatin1String("time")), KTextCap));
            if (!PlainCode(code) || t.isEmpty() || (knownCode && !knownCode(code))) {
                ++a.Skipped;
                continue;
            }
            TSigRow r;
            r.T = t;
            r.Code = code;
            r.Kind = quint8(k);
            const QString ep = JsonText(e.value(QLatin1String("ep")), KTextCap);
            r.Val = k <= 2 ? ep : JsonText(e.value(QLatin1String("peak")), KTextCap);
            const double epv = ParseNum(ep);
            r.Ep = epv > 0 && std::isfinite(epv) ? epv : 0;
            r.Key = QStringLiteral("%1:%2:%3").arg(k).arg(code, t);
            if (keys.contains(r.Key)) {
                ++a.Skipped;
                continue;
            }
            keys.insert(r.Key);
            a.Rows.append(r);
        }
    }
    SortSigRows(a.Rows);
    return a;
}
