#include "board/EtnDoc.h"

#include "core/NumFmt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <algorithm>

namespace {
const char* const kKeys[kEtnGroups] = {"kq_inv2x", "kq_lev", "semi_lev", "semi_inv", "ss_lev",
                                       "hx_lev",   "kp_lev", "kp_inv2x", "kp_inv",   "kq_inv"};

// Numbers beyond what any figure here can be are held at +-1e15, so a
// display line never grows to hundreds of digits.
double Num(const QJsonValue& v)
{
    double d = 0;
    if (v.isDouble()) {
        d = v.toDouble();
    } else if (v.isString()) {
        QString s = v.toString().left(64);
        s.remove(QLatin1Char(','));
        d = ParseNum(s);
    }
    return std::isfinite(d) ? std::clamp(d, -1e15, 1e15) : 0;
}

qint64 Int(const QJsonValue& v)
{
    return qint64(std::round(Num(v)));
}

QString Str(const QJsonObject& o, const char* key, int cap = kEtnMaxText)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString())
        return EtnPlain(v.toString(), cap);
    if (v.isDouble())
        return EtnPlain(QString::number(v.toDouble(), 'g', 15), cap);
    return QString();
}

QString Day(const QJsonObject& o, const char* key)
{
    const QString s = Str(o, key, 8);
    for (QChar c : s)
        if (!c.isDigit())
            return QString();
    return s.size() == 8 ? s : QString();
}
} // namespace

const char* EtnGroupKey(int slot)
{
    return slot >= 0 && slot < kEtnGroups ? kKeys[slot] : "";
}

QString EtnPlain(const QString& s, int cap)
{
    QString out;
    out.reserve(std::min<qsizetype>(s.size(), cap));
    bool blank = false;
    for (QChar c : s) {
        if (out.size() >= cap)
            break;
        const bool space = c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                           c.isSurrogate();
        if (space) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank && out.size() < cap - 1)
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    return out.left(cap);
}

TEtnRead ReadEtnDoc(const QByteArray& body, TEtnDoc* out)
{
    QJsonParseError pe{};
    const QJsonDocument jd = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError || !jd.isObject())
        return TEtnRead::NotObject;
    const QJsonObject o = jd.object();
    TEtnDoc d;
    d.Date = Day(o, "date");
    if (d.Date.isEmpty())
        return TEtnRead::NoDate;
    d.PrevDate = Day(o, "prev_date");
    const QJsonObject groups = o.value(QLatin1String("groups")).toObject();
    for (int g = 0; g < kEtnGroups; ++g) {
        const QJsonObject x = groups.value(QLatin1String(kKeys[g])).toObject();
        d.Inv[g] = Int(x.value(QLatin1String("inv")));
        d.Chg[g] = Int(x.value(QLatin1String("chg")));
        d.Pct[g] = Num(x.value(QLatin1String("chg_pct")));
    }
    const QJsonArray hist = o.value(QLatin1String("hist")).toArray();
    // The newest days when there are more than the cap.
    const int from = std::max<int>(0, int(hist.size()) - kEtnMaxHist);
    for (int r = from; r < hist.size(); ++r) {
        const QJsonObject h = hist[r].toObject();   // not an object: an empty one
        d.HD.append(Day(h, "date"));
        const QJsonObject inv = h.value(QLatin1String("inv")).toObject();
        for (int g = 0; g < kEtnGroups; ++g)
            d.HV[g].append(Int(inv.value(QLatin1String(kKeys[g]))));
    }
    for (const QJsonValue& v : o.value(QLatin1String("lp_low")).toArray()) {
        if (!v.isObject() || d.Low.size() >= kEtnMaxLines)
            continue;
        const QJsonObject x = v.toObject();
        d.Low.append(QStringLiteral("%1   투자자 %2% · LP 남은 %3")
                         .arg(Str(x, "name", 60), FormatFloat(QStringLiteral("0"), Num(x.value(QLatin1String("inv_pct")))),
                              FormatInt64(QStringLiteral("#,##0"), Int(x.value(QLatin1String("lp_left"))))));
    }
    for (const QJsonValue& v : o.value(QLatin1String("movers")).toArray()) {
        if (!v.isObject() || d.Mov.size() >= kEtnMaxLines)
            continue;
        const QJsonObject x = v.toObject();
        d.Mov.append(QStringLiteral("%1   %2 (%3%)")
                         .arg(Str(x, "name", 60), FormatInt64(QStringLiteral("+#,##0;-#,##0;0"), Int(x.value(QLatin1String("chg")))),
                              FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), Num(x.value(QLatin1String("chg_pct"))))));
    }
    for (const QJsonValue& v : o.value(QLatin1String("notes")).toArray()) {
        if (!v.isObject() || d.Notes.size() >= kEtnMaxNotes)
            continue;
        const QJsonObject x = v.toObject();
        QString kind = Str(x, "t", 10);
        kind.remove(QLatin1Char('|'));
        if (!x.contains(QLatin1String("t")))
            kind = QStringLiteral("info");
        d.Notes.append(kind + QLatin1Char('|') + Str(x, "s", 300));
    }
    *out = std::move(d);
    return TEtnRead::Ok;
}

QString TEtnHoldings::Apply(const QString& body)
{
    if (body.isEmpty() || body.startsWith(QLatin1String("#ERR"))) {
        if (!Ok)
            Msg = QStringLiteral("서버 연결 실패");
        const QString text = EtnPlain(body, 200);
        if (text == Logged)
            return QString();
        Logged = text;
        return QStringLiteral("ETN개인: 서버 응답 없음 ") + text;
    }
    TEtnDoc d;
    switch (ReadEtnDoc(body.toUtf8(), &d)) {
    case TEtnRead::NotObject:
        Msg = QStringLiteral("자료 형식 오류");
        return QString();
    case TEtnRead::NoDate:
        Msg = QStringLiteral("아직 자료 없음");
        return QString();
    case TEtnRead::Ok:
        break;
    }
    Doc = std::move(d);
    Ok = true;
    Msg.clear();
    if (Doc.Date == Logged)
        return QString();
    Logged = Doc.Date;
    return QStringLiteral("ETN개인 %1: 코스닥인버스2X %2만(%3) · 반도체 레버 %4만 · 인버 %5만 · LP소진 %6종목")
        .arg(Doc.Date, FormatFloat(QStringLiteral("#,##0"), double(Doc.Inv[0]) / 10000),
             FormatInt64(QStringLiteral("+#,##0;-#,##0;0"), Doc.Chg[0]), FormatFloat(QStringLiteral("#,##0"), double(Doc.Inv[2]) / 10000),
             FormatFloat(QStringLiteral("#,##0"), double(Doc.Inv[3]) / 10000))
        .arg(Doc.Low.size());
}
