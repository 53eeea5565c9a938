#include "sim/SimLists.h"

#include "sim/DailyModel.h"
#include "sim/MarketEngine.h"
#include "sim/SimRandom.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

constexpr quint64 kSaltBan = 0x5348'4F52'5442'414Eull;    // "SHORTBAN"
constexpr quint64 kSaltBuy = 0x4255'5942'4143'4B31ull;    // "BUYBACK1"

QString Ymd(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }

// The trading days up to and including `d`, `n` of them, oldest first.
QVector<QDate> TradingDaysTo(const QDate& d, int n)
{
    QVector<QDate> out(n);
    QDate x = TradingDayOnOrBefore(d);
    for (int i = n - 1; i >= 0; --i) {
        out[i] = x;
        x = PrevTradingDay(x);
    }
    return out;
}

QDate NextTradingDay(const QDate& d)
{
    QDate x = d.addDays(1);
    while (!IsTradingDay(x))
        x = x.addDays(1);
    return x;
}

int TradingDaysBetween(const QDate& from, const QDate& to)
{
    int n = 0;
    for (QDate x = NextTradingDay(from); x <= to; x = NextTradingDay(x))
        ++n;
    return n;
}

double Round1(double x) { return std::round(x * 10.0) / 10.0; }

QString Man(qint64 n)
{
    return std::llabs(n) < 10000 ? QString::number(n) + QStringLiteral("주")
                                 : QString::number(double(n) / 10000.0, 'f', 1) + QStringLiteral("만주");
}

bool Ordinary(const TSimStock& s) { return !s.Etf && s.PrevClose > 0; }

}  // namespace

TSimListsSetup TSimListsSetup::Of(const TMarketEngine& engine)
{
    TSimListsSetup s;
    s.Stocks = engine.Universe().Stocks();
    s.Seed = engine.Daily().Seed();
    return s;
}

TSimLists::TSimLists(TSimListsSetup setup) : FSetup(std::move(setup)) {}

QByteArray TSimLists::ShortBan(const QDate& day) const
{
    const QDate d = TradingDayOnOrBefore(day);
    std::lock_guard<std::mutex> lock(FLock);
    if (d != FShortDay) {
        FShortBody = MakeShortBan(FSetup, d);
        FShortDay = d;
    }
    return FShortBody;
}

QByteArray TSimLists::Buyback(const QDate& day) const
{
    const QDate d = TradingDayOnOrBefore(day);
    std::lock_guard<std::mutex> lock(FLock);
    if (d != FBuyDay) {
        FBuyBody = MakeBuyback(FSetup, d);
        FBuyDay = d;
    }
    return FBuyBody;
}

// ---- short-sale bans -----------------------------------------------------------

QByteArray TSimLists::MakeShortBan(const TSimListsSetup& setup, const QDate& day)
{
    const QDate d = TradingDayOnOrBefore(day);
    const TDailyModel daily(setup.Seed);
    // Closes of the 20 trading days before d (the short sellers' average) and
    // one more for the first day's change.
    const QVector<QDate> days = TradingDaysTo(PrevTradingDay(d), 21);
    struct TBan {
        const TSimStock* S;
        QDate First, Last;
        int Falls = 0;
        double Worst = 0;
        QVector<QPair<QDate, int>> Closes;
    };
    QVector<TBan> bans;
    for (const TSimStock& s : setup.Stocks) {
        if (!Ordinary(s))
            continue;
        const QVector<QPair<QDate, int>> c = daily.Closes(s, days.first(), days.last());
        if (c.size() < days.size())
            continue;
        TBan b{&s, {}, {}, 0, 0, {}};
        for (int i = c.size() - kBanWindow; i < c.size(); ++i) {
            const double chg = 100.0 * (double(c[i].second) / std::max(1, c[i - 1].second) - 1.0);
            if (chg > kBanFallPct)
                continue;
            const QDate designated = NextTradingDay(c[i].first);
            // A fall after the run had ended starts a new run.
            if (b.Last.isValid() && TradingDaysBetween(b.Last, designated) >= kBanRun) {
                b.First = QDate();
                b.Falls = 0;
            }
            if (!b.First.isValid())
                b.First = designated;
            b.Last = designated;
            ++b.Falls;
            b.Worst = std::min(b.Worst, chg);
        }
        if (!b.Last.isValid())
            continue;
        b.Closes = c;
        bans.append(b);
    }
    // The hardest falls first; at most kMaxBans.
    std::sort(bans.begin(), bans.end(), [](const TBan& a, const TBan& b) {
        return a.Worst != b.Worst ? a.Worst < b.Worst : a.S->Code < b.S->Code;
    });
    if (bans.size() > kMaxBans)
        bans.resize(kMaxBans);

    QJsonArray items;
    int fresh = 0, ext = 0, running = 0;
    for (const TBan& b : std::as_const(bans)) {
        const TSimStock& s = *b.S;
        TSimRng rng(SeedMix({setup.Seed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltBan}));
        const bool ended = TradingDaysBetween(b.Last, d) >= kBanRun;
        QString status;
        if (ended)
            status = QStringLiteral("해제");
        else if (b.Last == d)
            status = b.Falls > 1 ? QStringLiteral("연장") : QStringLiteral("신규");
        else
            status = QStringLiteral("금지중");
        if (status == QStringLiteral("신규"))
            ++fresh;
        else if (status == QStringLiteral("연장"))
            ++ext;
        else if (!ended)
            ++running;
        const int price = b.Closes.last().second;
        const double chg = std::round(10000.0 * (double(price) / std::max(1, b.Closes[b.Closes.size() - 2].second) - 1.0)) / 100.0;
        double sum = 0;
        for (int i = 1; i < b.Closes.size(); ++i)
            sum += b.Closes[i].second;
        // Short sellers sold into the fall: their average lies a little above the closes.
        const double shortAvg = std::round(sum / (b.Closes.size() - 1) * rng.Uniform(1.0, 1.06));
        const qint64 avgVol = std::max<qint64>(1000, s.PrevVolume);
        const qint64 lendQty = qint64(double(avgVol) * rng.Uniform(0.8, 9.0));
        const double coverDays = Round1(double(lendQty) / double(avgVol));
        const qint64 lendD5 = qint64(double(lendQty) * rng.Uniform(-0.18, 0.10));
        const double lend5 = Round1(100.0 * double(lendD5) / double(std::max<qint64>(1, lendQty - lendD5)));
        const double shortPnl = Round1((price - shortAvg) / shortAvg * 100.0);

        QJsonObject o;
        o.insert(QStringLiteral("code"), s.Code);
        o.insert(QStringLiteral("name"), s.Name);
        o.insert(QStringLiteral("status"), status);
        // The service's records start 30 days back: an older run is not known from its start.
        const bool firstKnown = rng.Uniform() >= 0.1;
        o.insert(QStringLiteral("first"), Ymd(b.First));
        o.insert(QStringLiteral("first_known"), firstKnown);
        o.insert(QStringLiteral("last_ban"), Ymd(b.Last));
        o.insert(QStringLiteral("ext"), std::max(0, b.Falls - 1));
        o.insert(QStringLiteral("price"), price);
        o.insert(QStringLiteral("chg"), chg);
        o.insert(QStringLiteral("short_avg"), shortAvg);
        o.insert(QStringLiteral("short_pnl"), shortPnl);
        o.insert(QStringLiteral("lend_qty"), lendQty);
        o.insert(QStringLiteral("avg_vol"), avgVol);
        o.insert(QStringLiteral("last_vol"), 0);
        const bool knowCover = rng.Uniform() >= 0.1;
        const bool knowLend = rng.Uniform() >= 0.15;
        if (knowCover)
            o.insert(QStringLiteral("cover_days"), coverDays);
        if (knowLend) {
            o.insert(QStringLiteral("lend_chg5"), lend5);
            o.insert(QStringLiteral("lend_d5"), lendD5);
        }
        QJsonObject parts;
        QStringList why;
        const QString pBan = b.Falls > 1 ? QStringLiteral("과열 지정 %1회 (최근 %2%)").arg(b.Falls).arg(b.Worst, 0, 'f', 1)
                                         : QStringLiteral("과열 지정 (%1% 급락)").arg(b.Worst, 0, 'f', 1);
        parts.insert(QStringLiteral("ban"), pBan);
        why << pBan;
        if (shortPnl > 0) {
            const QString t = QStringLiteral("주가가 공매도 평단 위 → 공매도 %1% 손실").arg(shortPnl, 0, 'f', 1);
            parts.insert(QStringLiteral("pnl"), t);
            why << t;
        }
        if (knowCover && coverDays >= 3) {
            const QString t = QStringLiteral("대차잔고 %1일치").arg(coverDays, 0, 'f', 1);
            parts.insert(QStringLiteral("cover"), t);
            why << t;
        }
        if (knowLend && lendD5 < 0) {
            const QString t = QStringLiteral("대차 5일 %1 상환").arg(Man(-lendD5));
            parts.insert(QStringLiteral("lend"), t);
            why << t;
        }
        o.insert(QStringLiteral("parts"), parts);
        const int score = int(why.size());
        o.insert(QStringLiteral("score"), score);
        o.insert(QStringLiteral("level"), score >= 4 ? QStringLiteral("강") : score < 2 ? QStringLiteral("약") : QStringLiteral("중"));
        o.insert(QStringLiteral("why"), why.join(QStringLiteral(" · ")));
        items.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("made"), PrevTradingDay(d).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 20:40"));
    root.insert(QStringLiteral("stats"), QStringLiteral("거래소 과열 지정 기준 · 금지 %1종목 (신규 %2 · 연장 %3 · 금지중 %4)")
                                             .arg(fresh + ext + running).arg(fresh).arg(ext).arg(running));
    root.insert(QStringLiteral("items"), items);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

// ---- buybacks ------------------------------------------------------------------

QByteArray TSimLists::MakeBuyback(const TSimListsSetup& setup, const QDate& day)
{
    const QDate d = TradingDayOnOrBefore(day);
    const TDailyModel daily(setup.Seed);
    TSimRng pick(SeedMix({setup.Seed, quint64(d.toJulianDay()), kSaltBuy}));
    QVector<const TSimStock*> pool;
    for (const TSimStock& s : setup.Stocks)
        if (Ordinary(s) && s.PrevVolume > 0)
            pool.append(&s);
    const int want = std::min<int>(int(pool.size()), 10 + pick.Below(9));
    // A partial shuffle picks `want` distinct stocks.
    for (int i = 0; i < want; ++i)
        std::swap(pool[i], pool[i + pick.Below(int(pool.size()) - i)]);
    pool.resize(want);
    std::sort(pool.begin(), pool.end(), [](const TSimStock* a, const TSimStock* b) { return a->Code < b->Code; });

    const QVector<QDate> days = TradingDaysTo(PrevTradingDay(d), 20);
    const QString rule = QStringLiteral("직접 매수 · 신청수량이 20일 평균 거래량의 10% 이상");
    QJsonArray items;
    int buys = 0, sells = 0, picks = 0;
    for (const TSimStock* sp : std::as_const(pool)) {
        const TSimStock& s = *sp;
        TSimRng rng(SeedMix({setup.Seed, SeedOfText(s.Code), quint64(d.toJulianDay()), kSaltBuy}));
        double act20 = 0, act5 = 0;
        for (int i = 0; i < days.size(); ++i) {
            const double a = daily.Activity(s, days[i]);
            act20 += a;
            if (i >= days.size() - 5)
                act5 += a;
        }
        const qint64 avg20 = std::max<qint64>(1, qint64(double(s.PrevVolume) * act20 / 20.0));
        const qint64 avg5 = std::max<qint64>(1, qint64(double(s.PrevVolume) * act5 / 5.0));
        const int close = daily.Close(s, days.last());
        const bool sell = rng.Chance(0.2);
        const bool direct = rng.Chance(0.7);
        const qint64 qty = std::max<qint64>(100, qint64(double(avg20) * rng.Uniform(0.02, 0.35)) / 10 * 10);
        const int streak = 1 + rng.Below(6);
        QJsonObject o;
        o.insert(QStringLiteral("code"), s.Code);
        o.insert(QStringLiteral("name"), s.Name);
        o.insert(QStringLiteral("side"), sell ? QStringLiteral("매도") : QStringLiteral("매수"));
        o.insert(QStringLiteral("how"), direct ? QStringLiteral("직접") : QStringLiteral("신탁"));
        o.insert(QStringLiteral("market"), s.Market == TSimMarket::Kosdaq ? QStringLiteral("코스닥") : QStringLiteral("코스피"));
        o.insert(QStringLiteral("both"), direct && rng.Chance(0.2));
        o.insert(QStringLiteral("qty"), qty);
        o.insert(QStringLiteral("avg20"), avg20);
        o.insert(QStringLiteral("avg5"), avg5);
        o.insert(QStringLiteral("amount"), qty * close);
        const double ratio = Round1(100.0 * double(qty) / double(avg20));
        // A stock whose volume history the service lacks has no ratios.
        const bool knowRatio = rng.Uniform() >= 0.1;
        o.insert(QStringLiteral("ratio"), knowRatio ? QJsonValue(ratio) : QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("ratio5"), knowRatio ? QJsonValue(Round1(100.0 * double(qty) / double(avg5)))
                                                     : QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("streak"), streak);
        o.insert(QStringLiteral("avg_value"), Round1(double(avg20) * close / 1e8));
        if (streak > 1) {
            const qint64 prevReq = std::max<qint64>(100, qint64(double(qty) * rng.Uniform(0.7, 1.3)) / 10 * 10);
            const int rate = int(std::round(rng.Uniform(0.3, 1.0) * 100));
            o.insert(QStringLiteral("prev_req"), prevReq);
            o.insert(QStringLiteral("prev_exec"), prevReq * rate / 100);
            o.insert(QStringLiteral("prev_avg"), std::max(1, int(std::lround(close * rng.Uniform(0.98, 1.02)))));
            if (rng.Chance(0.85))
                o.insert(QStringLiteral("prev_rate"), rate);
        }
        if (!sell && direct) {
            const qint64 total = qty * (20 + rng.Below(60));
            const qint64 cum = qint64(double(total) * rng.Uniform(0.0, 0.9));
            const qint64 remain = total - cum;
            o.insert(QStringLiteral("total"), total);
            o.insert(QStringLiteral("cum"), cum);
            o.insert(QStringLiteral("remain"), remain);
            o.insert(QStringLiteral("progress"), int(100 * cum / total));
            o.insert(QStringLiteral("remain_days"), Round1(double(remain) / double(avg20)));
            if (rng.Chance(0.85)) {
                const QDate end = d.addDays(3 + rng.Below(85));
                const int left = std::max(1, TradingDaysBetween(d, end) + 1);
                const qint64 need = (remain + left - 1) / left;
                o.insert(QStringLiteral("end"), Ymd(end));
                o.insert(QStringLiteral("days_left"), left);
                o.insert(QStringLiteral("need_day"), need);
                o.insert(QStringLiteral("need_ratio"), Round1(100.0 * double(need) / double(avg5)));
            }
        }
        const bool isPick = !sell && direct && knowRatio && ratio >= 10.0;
        o.insert(QStringLiteral("pick"), isPick);
        o.insert(QStringLiteral("note1"), QStringLiteral("%1 %2 · 전일 종가 %3원")
                                              .arg(sell ? QStringLiteral("자기주식 처분") : QStringLiteral("자기주식 취득"),
                                                   direct ? QStringLiteral("장내 직접") : QStringLiteral("신탁 계약"))
                                              .arg(close));
        o.insert(QStringLiteral("note2"), isPick ? QStringLiteral("매매 후보: 신청수량이 평소 거래량의 %1%").arg(ratio, 0, 'f', 1)
                                                 : QStringLiteral("후보 아님"));
        items.append(o);
        (sell ? sells : buys) += 1;
        picks += isPick ? 1 : 0;
    }
    QJsonObject root;
    root.insert(QStringLiteral("date"), Ymd(d));
    root.insert(QStringLiteral("rule"), rule);
    root.insert(QStringLiteral("summary"), QStringLiteral("매수 %1 · 매도 %2 · 후보 %3").arg(buys).arg(sells).arg(picks));
    root.insert(QStringLiteral("made"), PrevTradingDay(d).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 20:30"));
    root.insert(QStringLiteral("items"), items);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
