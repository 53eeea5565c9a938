#include "signals/MinVol.h"

#include "core/NumFmt.h"
#include "signals/SigText.h"

#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int KDtFrom = 905;      // first signal minute that can make a DT
constexpr int KDtTo = 1000;       // last one
constexpr int KQuoteUntil = 1007; // from this server minute on the bars decide
constexpr int KBarsUntil = 1006;  // last bar the rule looks at
constexpr int KLateOpen = 1001;   // first bar of a day that opened at 10:00
constexpr int KNormalClose = 1530;
constexpr qint64 KFreshMin = 15;        // an alert needs a signal at most this old
constexpr qint64 KRingGapMs = 180000;   // and this long since the code's last alert

double Finite0(double x)
{
    return std::isfinite(x) && x > 0 ? x : 0;
}

// hhmm number of a signal time text, -1 when not a valid time.
int HhmmOfText(const QString& t)
{
    if (t.size() < 1 || t.size() > 4 || !AllDigits(t))
        return -1;
    const int v = t.toInt();
    return HhmmToMin(v) >= 0 && v < 2400 ? v : -1;
}

QString Hhmm4(int hhmm)
{
    return QStringLiteral("%1").arg(hhmm, 4, 10, QLatin1Char('0'));
}

int LastBarAtOrBefore(const TMinVol& rec, int hhmm)
{
    const auto it = std::upper_bound(rec.Hm.begin(), rec.Hm.end(), hhmm);
    return int(it - rec.Hm.begin()) - 1;
}

// vol >= 3 * prevVol, exactly (no rounding of a quotient).
bool ThreeTimes(qint64 vol, qint64 prevVol)
{
    qint64 three = 0;
    if (__builtin_mul_overflow(prevVol, qint64(3), &three))
        return false;
    return vol >= three;
}

// px >= avg, allowing for the rounding of an average computed from sums.
bool AtOrAboveAvg(double px, double avg)
{
    return px >= avg - std::fabs(avg) * 1e-9;
}

}  // namespace

int HhmmToMin(int hhmm)
{
    if (hhmm == 2400)
        return 1440;
    if (hhmm < 0)
        return -1;
    const int h = hhmm / 100, m = hhmm % 100;
    if (h > 23 || m > 59)
        return -1;
    return h * 60 + m;
}

int MinToHhmm(int min)
{
    if (min < 0 || min > 1440)
        return -1;
    return (min / 60) * 100 + min % 60;
}

int AddMinutes(int hhmm, int n)
{
    const int m = HhmmToMin(hhmm);
    if (m < 0)
        return -1;
    const qint64 r = qint64(m) + n;
    return r < 0 || r > 1440 ? -1 : MinToHhmm(int(r));
}

std::optional<TVolRow> VolRowOf(const QString& date, const QString& time, double open, double high,
                                double low, double close, qint64 vol, double value)
{
    const QString d = date.trimmed();
    const QString t = time.trimmed();
    if (d.size() != 8 || !AllDigits(d) || t.size() < 4 || !AllDigits(QStringView(t).left(4)))
        return std::nullopt;
    const int hhmm = t.left(4).toInt();
    if (HhmmToMin(hhmm) < 0 || hhmm >= 2400)
        return std::nullopt;
    open = Finite0(open);
    high = Finite0(high);
    low = Finite0(low);
    close = Finite0(close);
    vol = std::max<qint64>(vol, 0);
    value = Finite0(value);

    TVolRow r;
    r.Key = d + t.left(4);
    r.Vol = vol;
    r.Open = open;
    r.Close = close;
    if (vol > 0) {
        const bool range = high > 0 && low > 0 && low <= high;
        const double avg = close > 0 ? AvgFromAmount(close, vol, value) : 0;
        double px = close;
        if (range && avg > 0 && avg >= low && avg <= high)
            px = avg;
        else if (range)
            px = close > 0 ? (high + low + close) / 3 : (high + low) / 2;
        r.PV = px * double(vol);
    }
    return r;
}

TMinVol BuildMinVol(QVector<TVolRow> rows, const QString& day)
{
    TMinVol v;
    v.Loaded = true;
    QMap<QString, TVolRow> byKey;  // ordered; a later row of a key replaces the earlier
    for (TVolRow& r : rows) {
        if (r.Key.size() != 12 || !r.Key.startsWith(day) || day.size() != 8)
            continue;
        const QStringView hm = QStringView(r.Key).mid(8);
        if (!AllDigits(hm))
            continue;
        const int hhmm = hm.toInt();
        if (hhmm < 900 || hhmm >= 2400 || HhmmToMin(hhmm) < 0)
            continue;
        byKey.insert(r.Key, std::move(r));
    }
    qint64 cum = 0;
    double cumPv = 0;
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it) {
        const TVolRow& r = it.value();
        cum = SatAdd(cum, std::max<qint64>(r.Vol, 0));
        cumPv += Finite0(r.PV);
        v.Hm.append(QStringView(r.Key).mid(8).toInt());
        v.Cum.append(cum);
        v.CumPV.append(cumPv);
        v.Op.append(r.Open);
        v.Cl.append(r.Close);
        v.PClose = r.Close;
    }
    return v;
}

qint64 CumAt(const TMinVol& rec, int hhmm)
{
    const int i = LastBarAtOrBefore(rec, hhmm);
    return i >= 0 && i < rec.Cum.size() ? rec.Cum.at(i) : 0;
}

QString PrevDayOf(const QVector<TVolRow>& rows, const QString& today)
{
    QString best;
    for (const TVolRow& r : rows) {
        if (r.Key.size() < 8)
            continue;
        const QString d = r.Key.left(8);
        if (d < today && d > best)
            best = d;
    }
    return best;
}

bool OpenedLate(const TMinVol& day, bool complete)
{
    if (!day.Loaded || day.Hm.isEmpty() || day.Hm.first() < KLateOpen)
        return false;
    return !complete || day.Hm.last() > KNormalClose;
}

double SameTimeRatio(const TMinVol* prev, const TMinVol* today, int todayAsOf, const QString& T)
{
    if (!prev || !today || !prev->Loaded || !today->Loaded)
        return -1;
    const int t = HhmmOfText(T);
    const int m = t < 0 ? -1 : AddMinutes(t, 1);
    const int asOf = HhmmToMin(todayAsOf);
    if (m < 0 || asOf < 0 || asOf < HhmmToMin(m))
        return -1;
    if (OpenedLate(*prev, true) || OpenedLate(*today, false))
        return -1;
    const qint64 p = CumAt(*prev, m);
    if (p <= 0)
        return -1;
    return double(CumAt(*today, m)) / double(p) * 100.0;
}

bool InDtWindow(const QString& T)
{
    const int m = HhmmToMin(HhmmOfText(T));
    return m >= 0 && m >= HhmmToMin(KDtFrom) && m <= HhmmToMin(KDtTo);
}

bool QualifiesForDt(const TSigRow& row)
{
    return (row.Kind == 1 || row.Kind == 3) && InDtWindow(row.T);
}

TDtEval EvalDt(const QString& code, const QVector<TSigRow>& rows, const TMinVol* prev, const TMinVol* today,
               const TSigQuoteLite& q, int nowHhmm)
{
    TDtEval ev;
    ev.Code = code;
    QVector<TSigRow> qual;
    for (const TSigRow& r : rows)
        if (r.Code == code && QualifiesForDt(r))
            qual.append(r);
    if (qual.isEmpty())
        return ev;
    std::stable_sort(qual.begin(), qual.end(), [](const TSigRow& a, const TSigRow& b) { return a.T < b.T; });
    ev.First = qual.first().T;
    ev.Last = qual.last().T;
    QStringList list;
    for (const TSigRow& r : qual)
        list.append(HhColonMm(r.T) + (r.Kind == 1 ? QStringLiteral(" 포착") : QStringLiteral(" 스트릭")));
    const QString signalList = list.join(QStringLiteral(" · "));

    if (!prev || !prev->Loaded || prev->Hm.isEmpty()) {
        ev.Verdict = QStringLiteral("대기: 전일 1분봉 아직 못 받음");
        return ev;
    }
    const bool todayBars = today && today->Loaded && !today->Hm.isEmpty();
    // On a day that opened at 10:00 the same clock minute is not the same
    // point of the session: no ratio of the two days means anything.
    if (OpenedLate(*prev, true) || (todayBars && OpenedLate(*today, false))) {
        ev.Final = true;
        ev.Verdict = QStringLiteral("분봉 %1 · 전일 첫 분봉 %2 · 오늘 첫 분봉 %3 → 제외(개장 시각 다름)")
                         .arg(ev.First, Hhmm4(prev->Hm.first()),
                              todayBars ? Hhmm4(today->Hm.first()) : QStringLiteral("-"));
        return ev;
    }

    const int nowMin = HhmmToMin(nowHhmm);
    if (nowMin < 0)
        return ev;
    qint64 vol = 0;
    double px = 0, avg = 0;
    int m = -1;
    bool live = false;
    if (nowMin < HhmmToMin(KQuoteUntil) && q.Has && q.Px > 0 && q.Vol > 0) {
        vol = q.Vol;
        px = q.Px;
        m = nowHhmm;
        avg = AvgFromAmount(px, vol, Finite0(q.Amt));
        live = avg > 0;
    }
    if (!live) {
        if (!todayBars) {
            ev.Verdict = QStringLiteral("대기: 오늘 1분봉 아직 못 받음");
            return ev;
        }
        const int upto = MinToHhmm(std::min(nowMin, HhmmToMin(KBarsUntil)));
        const int i = LastBarAtOrBefore(*today, upto);
        if (i < 0)
            return ev;
        vol = today->Cum.at(i);
        px = today->Cl.at(i);
        m = today->Hm.at(i);
        avg = vol > 0 ? today->CumPV.at(i) / double(vol) : 0;
    }
    const qint64 prevVol = CumAt(*prev, m);
    if (prevVol < 1 || vol < 1 || !(avg > 0) || !(px > 0))
        return ev;
    const double ratio = double(vol) / double(prevVol);
    const bool volOk = ThreeTimes(vol, prevVol);
    const bool pxOk = AtOrAboveAvg(px, avg);
    ev.Ratio = ratio;
    ev.Px = px;
    ev.Avg = avg;

    QString source;
    if (live)
        source = QStringLiteral("실시간");
    else if (!todayBars)
        source = QStringLiteral("분봉");
    else
        source = QStringLiteral("분봉(마지막 %1)").arg(Hhmm4(today->Hm.last()));
    const QString outcome = volOk && pxOk ? QStringLiteral("데트")
                            : !volOk      ? QStringLiteral("제외(배수<3)")
                                          : QStringLiteral("제외(평균가 밑)");
    ev.Verdict = QStringLiteral("%1 %2 · lastm %3 · 오늘누적 %4 / 전일같은시각 %5 = %6배 · 현재가 %7 vs 평균가 %8 → %9")
                     .arg(source, ev.First, Hhmm4(m), FmtNum(vol), FmtNum(prevVol),
                          FormatFloat(QStringLiteral("0.00"), ratio), FmtNum(px), FmtNum(avg), outcome);

    const int e = AddMinutes(HhmmOfText(ev.First), 2);
    if (today && e >= 0) {
        const int i = LastBarAtOrBefore(*today, e);
        if (i >= 0 && today->Hm.at(i) == e)
            ev.Entry = today->Op.at(i);
    }
    if (!volOk || !pxOk)
        return ev;

    ev.Dt = true;
    const QString ratioText = FormatFloat(QStringLiteral("0.0"), ratio);
    ev.Mark = QStringLiteral("%1|데트 %2 %3배").arg(Hhmm4(e < 0 ? 0 : e), HhColonMm(ev.First), ratioText);
    const QString chg = prev->PClose > 0 ? FormatFloat(QStringLiteral("0.00"), (px / prev->PClose - 1) * 100)
                                         : QStringLiteral("0");
    ev.Info = QStringLiteral("%1|%2|%3|%4|%5")
                  .arg(ratioText, FormatFloat(QStringLiteral("0.00"), (px / avg - 1) * 100), chg,
                       FormatFloat(QStringLiteral("0"), px), signalList);
    return ev;
}

QString DtVerdictShort(const QString& line)
{
    if (line.startsWith(QStringLiteral("대기")))
        return line;
    const qsizetype i = line.lastIndexOf(QStringLiteral("→"));
    return (i >= 0 ? line.mid(i) : line).left(20);
}

QVector<TDtEval> EvalDtAll(const QVector<TSigRow>& sigs,
                           const std::function<const TMinVol*(const QString&)>& prev,
                           const std::function<const TMinVol*(const QString&)>& today,
                           const std::function<TSigQuoteLite(const QString&)>& quote, int nowHhmm,
                           QVector<TSigRow>* dtRows)
{
    QMap<QString, QVector<TSigRow>> byCode;  // sorted by code
    for (const TSigRow& r : sigs)
        if (QualifiesForDt(r))
            byCode[r.Code].append(r);
    QVector<TDtEval> out;
    out.reserve(byCode.size());
    QVector<TSigRow> dts;
    for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
        const QString& code = it.key();
        const TDtEval ev = EvalDt(code, it.value(), prev ? prev(code) : nullptr, today ? today(code) : nullptr,
                                  quote ? quote(code) : TSigQuoteLite{}, nowHhmm);
        if (ev.Dt) {
            TSigRow r;
            r.T = ev.First;
            r.Code = code;
            r.Kind = 5;
            r.Val = FormatFloat(QStringLiteral("0.0"), ev.Ratio);
            r.Ep = ev.Entry;
            r.Key = QStringLiteral("DT|") + code;
            dts.append(r);
        }
        out.append(ev);
    }
    if (dtRows) {
        QHash<QString, double> ratio;
        for (const TDtEval& ev : out)
            if (ev.Dt)
                ratio.insert(ev.Code, ev.Ratio);
        std::stable_sort(dts.begin(), dts.end(), [&ratio](const TSigRow& a, const TSigRow& b) {
            if (a.T != b.T)
                return a.T > b.T;
            return ratio.value(a.Code) > ratio.value(b.Code);
        });
        *dtRows = dts;
    }
    return out;
}

void InsertDtRows(QVector<TSigRow>& sigs, const QVector<TSigRow>& dtRows)
{
    sigs.removeIf([](const TSigRow& r) { return r.Kind == 5; });
    for (const TSigRow& d : dtRows) {
        const int t = HhmmToMin(HhmmOfText(d.T));
        qsizetype at = 0;
        for (; at < sigs.size(); ++at) {
            const TSigRow& r = sigs.at(at);
            const int rt = HhmmToMin(HhmmOfText(r.T));
            // Ahead of the signals of its minute, after DT rows placed there before.
            if (rt < t || (rt == t && r.Kind != 5))
                break;
        }
        sigs.insert(at, d);
    }
}

QStringList TDtAlerts::Alerts(const QVector<TSigRow>& dtRows, const QHash<QString, QString>& lastT, int nowHhmm,
                              qint64 nowMs, const std::function<QString(const QString&)>& nameOf)
{
    QStringList lines;
    QStringList now;
    const int nowMin = HhmmToMin(nowHhmm);
    for (const TSigRow& r : dtRows) {
        if (r.Kind != 5)
            continue;
        now.append(r.Code);
        if (FPrev.contains(r.Code))
            continue;
        int lastMin = HhmmToMin(HhmmOfText(lastT.value(r.Code)));
        if (lastMin < 0)
            lastMin = HhmmToMin(HhmmOfText(r.T));
        if (nowMin < 0 || lastMin < 0 || nowMin - lastMin > KFreshMin)
            continue;
        const auto ring = FRingAt.constFind(r.Code);
        if (ring != FRingAt.cend() && nowMs - ring.value() < KRingGapMs)
            continue;
        FRingAt.insert(r.Code, nowMs);
        const QString name = nameOf ? nameOf(r.Code) : r.Code;
        lines.append(QStringLiteral("★ 데트집중: %1  %2:%3  거래량 %4배")
                         .arg(name.isEmpty() ? r.Code : name, r.T.left(2), r.T.mid(2, 2), r.Val));
    }
    FPrev = now;
    return lines;
}

void TDtAlerts::Reset()
{
    FPrev.clear();
    FRingAt.clear();
}
