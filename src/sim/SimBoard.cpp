#include "sim/SimBoard.h"

#include "sim/MarketEngine.h"
#include "sim/SimAnswers.h"
#include "sim/SimExchange.h"
#include "sim/SimRandom.h"

#include <QMap>
#include <algorithm>
#include <cmath>

namespace {

const QString kDoneText = QStringLiteral("조회가 완료되었습니다.");

TSimReply Data(QVector<TSimBlockData> blocks)
{
    TSimReply r;
    r.HasData = true;
    r.Blocks = std::move(blocks);
    r.After.append(SimMsgOf(SimMsg::kDone, kDoneText));
    return r;
}

QString In(const QHash<QString, QString>& in, const QString& block, const char* field)
{
    return in.value(TSimExchange::InputKey(block, QString::fromLatin1(field), 0)).trimmed();
}

QString Hhmmss(int hhmm) { return QStringLiteral("%1").arg(hhmm * 100, 6, 10, QLatin1Char('0')); }

int MinOf(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }
int HhmmOf(int min) { return min / 60 * 100 + min % 60; }

// ---- indices ------------------------------------------------------------------

struct TMember {
    const TSimStock* Stock;
    double Weight;   // share of the index's reference capital
};

QVector<TMember> Members(const TUniverse& u, TSimMarket market, int count)
{
    QVector<TMember> all;
    for (const TSimStock& s : u.Stocks())
        if (s.Market == market && !s.Etf && s.PrevClose > 0)
            all.append({&s, double(std::max<qint64>(s.Shares, s.PrevVolume * 50)) * s.PrevClose});
    const int n = std::min(count, int(all.size()));
    std::partial_sort(all.begin(), all.begin() + n, all.end(),
                      [](const TMember& a, const TMember& b) { return a.Weight > b.Weight || (a.Weight == b.Weight && a.Stock->Code < b.Stock->Code); });
    all.resize(n);
    double sum = 0;
    for (const TMember& m : all)
        sum += m.Weight;
    for (TMember& m : all)
        m.Weight = sum > 0 ? m.Weight / sum : 0;
    return all;
}

// ---- overseas -----------------------------------------------------------------

struct TUsIndex {
    const char* Symbol;
    const char* Name;
    double Base;
};
const TUsIndex kUs[] = {
    {"DJI@DJI", "다우 산업", 44000},
    {"NAS@IXIC", "나스닥 종합", 19500},
    {"SPI@SPX", "S&P 500", 6000},
    {"USI@SOXX", "필라델피아 반도체", 5000},
};
constexpr int kUsOpenEt = 930, kUsCloseEt = 1600;
constexpr int kUsMinutes = 390;
constexpr int kKstMinusEtHours = 14;

const TUsIndex* FindUs(const QString& symbol)
{
    for (const TUsIndex& x : kUs)
        if (symbol.compare(QLatin1String(x.Symbol), Qt::CaseInsensitive) == 0)
            return &x;
    return nullptr;
}

double UsClose(const TUsIndex& x, const QDate& d)
{
    const quint64 salt = SeedOfText(QString::fromLatin1(x.Symbol));
    double sum = 0, w = 1;
    for (int k = 0; k < 60; ++k, w *= 0.95) {
        TSimRng rng(SeedMix({0x5553494Eull, salt, quint64(d.toJulianDay() - k)}));
        sum += w * std::clamp(0.009 * rng.Normal(), -0.04, 0.04);
    }
    return std::round(x.Base * std::exp(sum) * 100) / 100;
}

QDate PrevWeekday(QDate d)
{
    do
        d = d.addDays(-1);
    while (d.dayOfWeek() > 5);
    return d;
}

// The level at minute m (0..390) of the session of US date d: a straight
// way from the previous close to the close with a seeded wave that vanishes
// at both ends.
double UsLevel(const TUsIndex& x, const QDate& d, int m, double prev, double close)
{
    TSimRng rng(SeedMix({0x55534D49ull, SeedOfText(QString::fromLatin1(x.Symbol)), quint64(d.toJulianDay())}));
    const double f = double(m) / kUsMinutes;
    double wave = 0;
    for (int k = 1; k <= 4; ++k)
        wave += rng.Normal() * 0.003 / k * std::sin(k * M_PI * f);
    return std::round((prev + (close - prev) * f + prev * wave) * 100) / 100;
}

QString Sign(double change) { return change > 0 ? QStringLiteral("2") : change < 0 ? QStringLiteral("5") : QStringLiteral("3"); }

// ---- investors ------------------------------------------------------------------

// Institutions' types with their share of the institutions' size.
const struct {
    const char* Code;
    double Share;
} kInst[] = {{"01", 0.35}, {"03", 0.12}, {"04", 0.03}, {"02", 0.06}, {"05", 0.01}, {"06", 0.25}, {"00", 0.10}, {"11", 0.08}};

// A seeded cumulative path in units of the day's size: drift plus a wave,
// 0 at the open.
double Path(quint64 seed, double f)
{
    TSimRng rng(seed);
    const double drift = rng.Normal() * 0.5;
    double v = drift * f;
    for (int k = 1; k <= 3; ++k)
        v += rng.Normal() * 0.25 / k * std::sin(k * M_PI * f * 0.5);
    return v;
}

constexpr double kNxtShare = 0.08;

} // namespace

bool TSimBoard::Serves(const QString& tr)
{
    return tr == QLatin1String("t8409") || tr == QLatin1String("t3521") || tr == QLatin1String("t3518")
           || tr == QLatin1String("t1601") || tr == QLatin1String("t1602");
}

TSimReply TSimBoard::Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in, bool next)
{
    if (tr == QLatin1String("t8409"))
        return T8409(layout, in, next);
    if (tr == QLatin1String("t3521"))
        return T3521(layout, in);
    if (tr == QLatin1String("t3518"))
        return T3518(layout, in, next);
    if (tr == QLatin1String("t1601"))
        return T1601(layout, in);
    return T1602(layout, in, next);
}

const QStringList& TSimBoard::FlowTypes()
{
    static const QStringList k = {QStringLiteral("08"), QStringLiteral("17"), QStringLiteral("18"), QStringLiteral("01"),
                                  QStringLiteral("03"), QStringLiteral("04"), QStringLiteral("02"), QStringLiteral("05"),
                                  QStringLiteral("06"), QStringLiteral("11"), QStringLiteral("07"), QStringLiteral("00")};
    return k;
}

TSimIndexDay TSimBoard::IndexDay(const QString& upcode)
{
    TSimIndexDay day;
    const bool kospi = upcode == QLatin1String("001");
    if (!kospi && upcode != QLatin1String("301"))
        return day;
    const double base = kospi ? 2600.0 : 850.0;
    day.Date = FEngine.MarketDate();
    const QVector<TMember> members = Members(FEngine.Universe(), kospi ? TSimMarket::Kospi : TSimMarket::Kosdaq, kIndexMembers);
    if (members.isEmpty())
        return day;
    const TDailyModel& daily = FEngine.Daily();
    // Each member's minute closes (the pointer StockDay gives lasts until the
    // next call into the engine: copy what is needed at once).
    QVector<QMap<int, TSimBar>> bars(members.size());
    QVector<double> last(members.size());
    QMap<int, int> minutes;
    double prevLevel = 0;
    for (int i = 0; i < members.size(); ++i) {
        const TSimStock& s = *members[i].Stock;
        const int prev = daily.PrevClose(s, day.Date);
        last[i] = prev;
        prevLevel += members[i].Weight * prev / s.PrevClose;
        if (const TStockDay* sd = FEngine.StockDay(s.Code))
            for (const TSimBar& b : sd->MinuteBars()) {
                bars[i].insert(b.Hhmm, b);
                minutes.insert(b.Hhmm, 0);
            }
    }
    day.PrevClose = std::round(base * prevLevel * 100) / 100;
    double level = day.PrevClose;
    for (auto it = minutes.cbegin(); it != minutes.cend(); ++it) {
        TSimIndexBar bar;
        bar.Hhmm = it.key();
        double sum = 0;
        for (int i = 0; i < members.size(); ++i) {
            const auto b = bars[i].constFind(it.key());
            if (b != bars[i].cend()) {
                last[i] = b->Close;
                bar.Volume += b->Volume;
                bar.Amount += b->Amount / 1000000;
            }
            sum += members[i].Weight * last[i] / members[i].Stock->PrevClose;
        }
        bar.Open = level;
        bar.Close = std::round(base * sum * 100) / 100;
        bar.High = std::max(bar.Open, bar.Close);
        bar.Low = std::min(bar.Open, bar.Close);
        level = bar.Close;
        day.Bars.append(bar);
    }
    return day;
}

QVector<TSimFlow> TSimBoard::FlowPath(int market, QChar ex, const TSimIndexDay& day) const
{
    QVector<TSimFlow> out;
    const double size = (market == 1 ? 900.0 : 2600.0) * (market == 2 ? 0.85 : 1.0);   // 100 million won
    const quint64 seed = SeedMix({0x494E5646ull, FEngine.Config().Seed, quint64(day.Date.toJulianDay()), quint64(market == 2 ? 0 : market)});
    const int start = FEngine.SessionStartMs() / 60000, end = FEngine.SessionEndMs() / 60000;
    const double len = std::max(1, end - start);
    // The types drawn on their own; institutions (18) and individuals (08)
    // follow from them, on each exchange, so every exchange adds up to zero
    // and KRX + NXT is the whole.
    struct TBase {
        QString Code;
        double Share, Lean, Gross;
    };
    QVector<TBase> base;
    for (const auto& t : kInst)
        base.append({QString::fromLatin1(t.Code), t.Share, 0.25, t.Share * 2});
    base.append({QStringLiteral("17"), 1.0, 0.45, 3});
    base.append({QStringLiteral("07"), 0.05, 0, 0.1});
    for (const TSimIndexBar& b : day.Bars) {
        const double f = std::clamp((MinOf(b.Hhmm) - start) / len, 0.0, 1.0);
        const double movePct = day.PrevClose > 0 ? (b.Close / day.PrevClose - 1) * 100 : 0;
        TSimFlow fl;
        qint64 inst = 0, all = 0;
        auto put = [&](const QString& code, qint64 net, qint64 gross) {
            fl.Net[code] = net;
            fl.Buy[code] = gross + std::max<qint64>(net, 0);
            fl.Sell[code] = gross + std::max<qint64>(-net, 0);
        };
        auto share = [&](qint64 whole) {
            const qint64 nxt = std::llround(whole * kNxtShare);
            return ex == QLatin1Char('N') ? nxt : ex == QLatin1Char('K') ? whole - nxt : whole;
        };
        for (const TBase& t : base) {
            const double path = t.Code == QLatin1String("07") ? 0.05 * Path(SeedMixOn(seed, 7), f)
                                                               : t.Share * (t.Lean * movePct + 0.4 * Path(SeedMixOn(seed, SeedOfText(t.Code)), f));
            const qint64 net = share(std::llround(size * path));
            put(t.Code, net, share(std::llround(size * t.Gross * f)));
            all += net;
            if (t.Code != QLatin1String("17") && t.Code != QLatin1String("07"))
                inst += net;
        }
        put(QStringLiteral("18"), inst, share(std::llround(size * 2 * f)));
        put(QStringLiteral("08"), -all, share(std::llround(size * 5 * f)));
        out.append(fl);
    }
    return out;
}

bool TSimBoard::UsSession(const QString& symbol, QVector<TSimUsPoint>* points, double* prevClose) const
{
    const TUsIndex* x = FindUs(symbol);
    if (!x)
        return false;
    const QDateTime now = FClock.Now();
    // The session of US date d opens at 09:30 New York time, 23:30 in Korea.
    QDate d = now.date();
    auto openKst = [](const QDate& day) { return QDateTime(day, QTime(23, 30)); };
    while (d.dayOfWeek() > 5 || openKst(d) > now)
        d = d.addDays(-1);
    const double prev = UsClose(*x, PrevWeekday(d));
    const double close = UsClose(*x, d);
    const int done = int(std::min<qint64>(kUsMinutes, openKst(d).secsTo(now) / 60));
    points->clear();
    for (int m = 1; m <= done; ++m) {
        TSimUsPoint p;
        p.Date = d;
        p.EtHhmm = HhmmOf(MinOf(kUsOpenEt) + m);
        p.Kst = openKst(d).addSecs(m * 60);
        p.Price = UsLevel(*x, d, m, prev, close);
        points->append(p);
    }
    *prevClose = prev;
    return true;
}

// ---- t8409 ----------------------------------------------------------------------

TSimReply TSimBoard::T8409(const TResLayout& layout, const QHash<QString, QString>& in, bool next)
{
    const TResBlock* ob = OutBlock(layout, QStringLiteral("t8409OutBlock"));
    const TResBlock* ob1 = OutBlock(layout, QStringLiteral("t8409OutBlock1"));
    if (!ob || !ob1)
        return LayoutLacks(QStringLiteral("t8409OutBlock, t8409OutBlock1"));
    const QString ib = QStringLiteral("t8409InBlock");
    const QString code = In(in, ib, "shcode");
    if (code != QLatin1String("001") && code != QLatin1String("301"))
        return MessageOnly(SimMsg::kUnknownStock, QStringLiteral("업종코드를 확인하세요 (%1): 001 코스피, 301 코스닥").arg(code));
    const int ncnt = In(in, ib, "ncnt").toInt();
    const int qry = In(in, ib, "qrycnt").toInt();
    if (ncnt < 1 || ncnt > 60)
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("단위(n분)는 1~60 입니다 (%1).").arg(In(in, ib, "ncnt")));
    if (qry < 1 || qry > kMaxBars)
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("요청건수는 1~%1 입니다 (%2).").arg(kMaxBars).arg(In(in, ib, "qrycnt")));
    const QString ctsDate = In(in, ib, "cts_date"), ctsTime = In(in, ib, "cts_time");
    if (next && (ctsDate.isEmpty() || ctsTime.isEmpty()))
        return MessageOnly(SimMsg::kNoNextKey, QStringLiteral("연속조회 키가 없습니다 (t8409): 이전 응답의 cts_date · cts_time 값을 넣고 다음 조회를 하세요."));
    const TSimIndexDay day = IndexDay(code);
    const QString date = day.Date.toString(QStringLiteral("yyyyMMdd"));
    const QString edate = In(in, ib, "edate");
    // N-minute bars, each named by the end of its last minute.
    QVector<TSimIndexBar> grouped;
    if (edate.isEmpty() || edate >= date) {
        const int start = FEngine.SessionStartMs() / 60000;
        int bucket = -1;
        for (const TSimIndexBar& b : day.Bars) {
            const int k = (MinOf(b.Hhmm) - start - 1) / ncnt;
            if (k != bucket || grouped.isEmpty()) {
                grouped.append(b);
                bucket = k;
                continue;
            }
            TSimIndexBar& g = grouped.last();
            g.Hhmm = b.Hhmm;
            g.High = std::max(g.High, b.High);
            g.Low = std::min(g.Low, b.Low);
            g.Close = b.Close;
            g.Volume += b.Volume;
            g.Amount += b.Amount;
        }
    }
    int endAt = int(grouped.size());   // one past the newest bar of the page
    if (next) {
        endAt = 0;
        while (endAt < grouped.size() && (ctsDate > date || (ctsDate == date && Hhmmss(grouped[endAt].Hhmm) <= ctsTime.left(6))))
            ++endAt;
    }
    const int from = std::max(0, endAt - qry);
    TSimBlockFill head(*ob);
    head.NewRow();
    head.Set("shcode", code);
    head.SetReal("jiclose", day.PrevClose, 2);
    if (!day.Bars.isEmpty()) {
        head.SetReal("disiga", day.Bars.first().Open, 2);
        double hi = day.Bars.first().High, lo = day.Bars.first().Low;
        for (const TSimIndexBar& b : day.Bars) {
            hi = std::max(hi, b.High);
            lo = std::min(lo, b.Low);
        }
        head.SetReal("dihigh", hi, 2);
        head.SetReal("dilow", lo, 2);
        head.SetReal("diclose", day.Bars.last().Close, 2);
    }
    if (from > 0) {
        head.Set("cts_date", date);
        head.Set("cts_time", Hhmmss(grouped[from - 1].Hhmm));
    }
    head.Set("s_time", QStringLiteral("090000"));
    head.Set("e_time", QStringLiteral("153000"));
    head.Set("rec_count", endAt - from);
    TSimBlockFill rows(*ob1);
    for (int i = from; i < endAt; ++i) {
        const TSimIndexBar& b = grouped[i];
        rows.NewRow();
        rows.Set("date", date);
        rows.Set("time", Hhmmss(b.Hhmm));
        rows.SetReal("open", b.Open, 2);
        rows.SetReal("high", b.High, 2);
        rows.SetReal("low", b.Low, 2);
        rows.SetReal("close", b.Close, 2);
        rows.Set("jdiff_vol", b.Volume);
        rows.Set("value", b.Amount);
    }
    return Data({head.Take(), rows.Take()});
}

// ---- t3521 / t3518 --------------------------------------------------------------

TSimReply TSimBoard::T3521(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = OutBlock(layout, QStringLiteral("t3521OutBlock"));
    if (!ob)
        return LayoutLacks(QStringLiteral("t3521OutBlock"));
    const QString symbol = In(in, QStringLiteral("t3521InBlock"), "symbol");
    TSimBlockFill f(*ob);
    f.NewRow();
    QVector<TSimUsPoint> pts;
    double prev = 0;
    if (UsSession(symbol, &pts, &prev)) {
        const TUsIndex* x = FindUs(symbol);
        const double px = pts.isEmpty() ? prev : pts.last().Price;
        const QDate d = pts.isEmpty() ? PrevWeekday(FClock.Now().date().addDays(1)) : pts.last().Date;
        const double change = px - prev;
        f.Set("hname", QString(x->Name));
        f.Set("date", d.toString(QStringLiteral("yyyyMMdd")));
        f.Set("symbol", QString::fromLatin1(x->Symbol));
        f.SetReal("close", px, 2);
        f.Set("sign", Sign(change));
        f.SetReal("change", std::abs(change), 2);
        f.SetReal("diff", prev > 0 ? std::abs(change) / prev * 100 : 0, 2);
    }
    return Data({f.Take()});
}

TSimReply TSimBoard::T3518(const TResLayout& layout, const QHash<QString, QString>& in, bool next)
{
    const TResBlock* ob = OutBlock(layout, QStringLiteral("t3518OutBlock"));
    const TResBlock* ob1 = OutBlock(layout, QStringLiteral("t3518OutBlock1"));
    if (!ob || !ob1)
        return LayoutLacks(QStringLiteral("t3518OutBlock, t3518OutBlock1"));
    const QString ib = QStringLiteral("t3518InBlock");
    const QString symbol = In(in, ib, "symbol");
    const QString jgbn = In(in, ib, "jgbn");
    const int cnt = In(in, ib, "cnt").toInt();
    const int nmin = std::max(1, In(in, ib, "nmin").toInt());
    if (cnt < 1 || cnt > kMaxBars)
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("입력건수는 1~%1 입니다 (%2).").arg(kMaxBars).arg(In(in, ib, "cnt")));
    const QString ctsDate = In(in, ib, "cts_date"), ctsTime = In(in, ib, "cts_time");
    if (next && (ctsDate.isEmpty() || ctsTime.isEmpty()))
        return MessageOnly(SimMsg::kNoNextKey, QStringLiteral("연속조회 키가 없습니다 (t3518): 이전 응답의 cts_date · cts_time 값을 넣고 다음 조회를 하세요."));
    struct TRow {
        QString Date, Time, KoDate, KoTime;
        double Price, Prev;
    };
    QVector<TRow> rows;   // oldest first
    const TUsIndex* x = FindUs(symbol);
    QVector<TSimUsPoint> pts;
    double prev = 0;
    if (x && UsSession(symbol, &pts, &prev)) {
        if (jgbn == QLatin1String("3") && QLatin1String(x->Symbol) == QLatin1String("NAS@IXIC")) {
            for (int i = nmin - 1; i < pts.size(); i += nmin) {
                const TSimUsPoint& p = pts[i];
                rows.append({p.Date.toString(QStringLiteral("yyyyMMdd")), Hhmmss(p.EtHhmm) + QStringLiteral("00"),
                             p.Kst.toString(QStringLiteral("yyyyMMdd")), p.Kst.toString(QStringLiteral("HHmmss")), p.Price, prev});
            }
        } else if (jgbn == QLatin1String("0")) {
            QDate d = pts.isEmpty() ? PrevWeekday(pts.isEmpty() ? FClock.Now().date().addDays(1) : pts.last().Date) : pts.last().Date;
            for (int i = 0; i < kMaxBars; ++i, d = PrevWeekday(d)) {
                const double c = (i == 0 && !pts.isEmpty()) ? pts.last().Price : UsClose(*x, d);
                const QString ds = d.toString(QStringLiteral("yyyyMMdd"));
                rows.prepend({ds, QStringLiteral("16000000"), ds, QStringLiteral("060000"), c, UsClose(*x, PrevWeekday(d))});
            }
        }
    }
    int endAt = int(rows.size());
    if (next) {
        endAt = 0;
        while (endAt < rows.size() && rows[endAt].Date + rows[endAt].Time.left(6) <= ctsDate + ctsTime.left(6))
            ++endAt;
    }
    const int from = std::max(0, endAt - cnt);
    TSimBlockFill head(*ob);
    head.NewRow();
    if (from > 0) {
        head.Set("cts_date", rows[from - 1].Date);
        head.Set("cts_time", rows[from - 1].Time.left(6));
    }
    TSimBlockFill out(*ob1);
    for (int i = endAt - 1; i >= from; --i) {
        const TRow& r = rows[i];
        const double change = r.Price - r.Prev;
        out.NewRow();
        out.Set("date", r.Date);
        out.Set("time", r.Time);
        out.SetReal("open", r.Price, 4);
        out.SetReal("high", r.Price, 4);
        out.SetReal("low", r.Price, 4);
        out.SetReal("price", r.Price, 4);
        out.Set("sign", Sign(change));
        out.SetReal("change", std::abs(change), 4);
        out.SetReal("uprate", r.Prev > 0 ? change / r.Prev * 100 : 0, 4);
        out.Set("kind", QStringLiteral("S"));
        out.Set("symbol", QString::fromLatin1(x->Symbol));
        out.Set("kodate", r.KoDate);
        out.Set("kotime", r.KoTime);
    }
    return Data({head.Take(), out.Take()});
}

// ---- t1601 / t1602 --------------------------------------------------------------

namespace {
QChar ExOf(const QString& s)
{
    // Anything but N or U is KRX, as the broker reads it.
    return s == QLatin1String("N") ? QLatin1Char('N') : s == QLatin1String("U") ? QLatin1Char('U') : QLatin1Char('K');
}
} // namespace

TSimReply TSimBoard::T1601(const TResLayout& layout, const QHash<QString, QString>& in)
{
    QVector<const TResBlock*> blocks;
    for (int i = 1; i <= 6; ++i) {
        blocks.append(OutBlock(layout, QStringLiteral("t1601OutBlock%1").arg(i)));
        if (!blocks.last())
            return LayoutLacks(QStringLiteral("t1601OutBlock1..6"));
    }
    const QChar ex = ExOf(In(in, QStringLiteral("t1601InBlock"), "exchgubun"));
    QVector<TSimBlockData> data;
    for (int i = 0; i < 6; ++i) {
        TSimFlow fl;
        if (i < 2) {
            const TSimIndexDay day = IndexDay(i == 0 ? QStringLiteral("001") : QStringLiteral("301"));
            const QVector<TSimFlow> path = FlowPath(i, ex, day);
            if (!path.isEmpty())
                fl = path.last();
        }
        TSimBlockFill f(*blocks[i]);
        f.NewRow();
        for (const QString& t : FlowTypes()) {
            f.Set((t == QLatin1String("08") ? QStringLiteral("tjjcode_") : QStringLiteral("jjcode_")) + t, t == QLatin1String("08") ? QStringLiteral("0008") : QStringLiteral("00") + t);
            f.Set(QStringLiteral("ms_") + t, fl.Buy.value(t));
            f.Set(QStringLiteral("md_") + t, fl.Sell.value(t));
            f.Set(QStringLiteral("svolume_") + t, fl.Net.value(t));
        }
        data.append(f.Take());
    }
    return Data(data);
}

TSimReply TSimBoard::T1602(const TResLayout& layout, const QHash<QString, QString>& in, bool next)
{
    const TResBlock* ob = OutBlock(layout, QStringLiteral("t1602OutBlock"));
    const TResBlock* ob1 = OutBlock(layout, QStringLiteral("t1602OutBlock1"));
    if (!ob || !ob1)
        return LayoutLacks(QStringLiteral("t1602OutBlock, t1602OutBlock1"));
    const QString ib = QStringLiteral("t1602InBlock");
    const QString market = In(in, ib, "market"), upcode = In(in, ib, "upcode");
    int mk = -1;
    if (market == QLatin1String("1") && upcode == QLatin1String("001"))
        mk = 0;
    else if (market == QLatin1String("2") && upcode == QLatin1String("101"))
        mk = 2;
    else if (market == QLatin1String("3") && upcode == QLatin1String("301"))
        mk = 1;
    if (mk < 0)
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("시장구분 · 업종코드를 확인하세요 (%1 / %2): 1 / 001 코스피, 2 / 101 코스피200, 3 / 301 코스닥")
                                                  .arg(market, upcode));
    if (In(in, ib, "gubun2") != QLatin1String("0"))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("모의 거래소는 금일(전일분구분 0) 자료만 제공합니다."));
    const QString cts = In(in, ib, "cts_time");
    if (next && cts.isEmpty())
        return MessageOnly(SimMsg::kNoNextKey, QStringLiteral("연속조회 키가 없습니다 (t1602): 이전 응답의 cts_time 값을 넣고 다음 조회를 하세요."));
    const int cnt = std::clamp(In(in, ib, "cnt").toInt(), 1, kFlowRows);
    const bool qty = In(in, ib, "gubun1") == QLatin1String("1");
    const TSimIndexDay day = IndexDay(mk == 1 ? QStringLiteral("301") : QStringLiteral("001"));
    const QVector<TSimFlow> path = FlowPath(mk, ExOf(In(in, ib, "exchgubun")), day);
    auto timeOf = [&](int i) { return Hhmmss(day.Bars[i].Hhmm) + QStringLiteral("00"); };
    int endAt = int(path.size());
    if (next) {
        endAt = 0;
        while (endAt < path.size() && timeOf(endAt) <= cts)
            ++endAt;
    }
    const int from = std::max(0, endAt - cnt);
    const qint64 unit = qty ? 10 : 1;   // quantities: a rough count in thousands of shares
    TSimBlockFill head(*ob);
    head.NewRow();
    if (from > 0)
        head.Set("cts_time", timeOf(from - 1));
    if (!path.isEmpty())
        for (const QString& t : FlowTypes()) {
            head.Set(QStringLiteral("ms_") + t, path.last().Buy.value(t) * unit);
            head.Set(QStringLiteral("md_") + t, path.last().Sell.value(t) * unit);
            head.Set(QStringLiteral("svolume_") + t, path.last().Net.value(t) * unit);
        }
    head.Set("ex_upcode", upcode);
    TSimBlockFill rows(*ob1);
    for (int i = endAt - 1; i >= from; --i) {
        rows.NewRow();
        rows.Set("time", timeOf(i));
        for (const QString& t : FlowTypes())
            rows.Set(QStringLiteral("sv_") + t, path[i].Net.value(t) * unit);
    }
    return Data({head.Take(), rows.Take()});
}

// ---- ETN holdings -----------------------------------------------------------------

namespace {
const struct {
    const char* Key;
    const char* Name;
    double Base;   // units held by investors, typical
} kEtn[] = {
    {"kq_inv2x", "코스닥150 인버스2X", 42000000}, {"kq_lev", "코스닥150 레버리지", 9000000},
    {"semi_lev", "반도체 레버리지", 6500000},     {"semi_inv", "반도체 인버스", 3800000},
    {"ss_lev", "삼성전자 레버리지", 2500000},     {"hx_lev", "SK하이닉스 레버리지", 1800000},
    {"kp_lev", "코스피200 레버리지", 7000000},    {"kp_inv2x", "코스피200 인버스2X", 15000000},
    {"kp_inv", "코스피200 인버스", 5000000},      {"kq_inv", "코스닥150 인버스", 4000000},
};
const char* const kIssuers[] = {"신한", "삼성", "미래에셋", "한투", "KB", "NH"};

qint64 EtnHeld(int g, const QDate& d)
{
    double sum = 0, w = 1;
    for (int k = 0; k < 40; ++k, w *= 0.9) {
        TSimRng rng(SeedMix({0x45544E48ull, quint64(g), quint64(d.toJulianDay() - k)}));
        sum += w * std::clamp(0.05 * rng.Normal(), -0.15, 0.15);
    }
    return qint64(std::llround(kEtn[g].Base * std::exp(sum) / 1000)) * 1000;
}

QString JsonText(const QString& s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}
} // namespace

QByteArray SimEtnDocument(const QDate& today)
{
    const QDate date = PrevTradingDay(today.isValid() ? today : QDate(2026, 1, 5));
    const QDate prev = PrevTradingDay(date);
    const QString ds = date.toString(QStringLiteral("yyyyMMdd"));
    constexpr int nEtn = int(std::size(kEtn));
    QString j = QStringLiteral("{\"date\":\"%1\",\"prev_date\":\"%2\",\"groups\":{").arg(ds, prev.toString(QStringLiteral("yyyyMMdd")));
    qint64 chg[nEtn];
    for (int g = 0; g < nEtn; ++g) {
        const qint64 now = EtnHeld(g, date), before = EtnHeld(g, prev);
        chg[g] = now - before;
        j += QStringLiteral("%1\"%2\":{\"inv\":%3,\"chg\":%4,\"chg_pct\":%5}")
                 .arg(g ? QStringLiteral(",") : QString(), QLatin1String(kEtn[g].Key))
                 .arg(now)
                 .arg(chg[g])
                 .arg(before > 0 ? double(chg[g]) / before * 100 : 0.0, 0, 'f', 2);
    }
    j += QStringLiteral("},\"hist\":[");
    QVector<QDate> days;
    for (QDate d = date; days.size() < 20; d = PrevTradingDay(d))
        days.prepend(d);
    for (int i = 0; i < days.size(); ++i) {
        j += QStringLiteral("%1{\"date\":\"%2\",\"inv\":{").arg(i ? QStringLiteral(",") : QString(), days[i].toString(QStringLiteral("yyyyMMdd")));
        for (int g = 0; g < nEtn; ++g)
            j += QStringLiteral("%1\"%2\":%3").arg(g ? QStringLiteral(",") : QString(), QLatin1String(kEtn[g].Key)).arg(EtnHeld(g, days[i]));
        j += QStringLiteral("}}");
    }
    j += QStringLiteral("],\"lp_low\":[");
    TSimRng rng(SeedMix({0x45544E4Cull, quint64(date.toJulianDay())}));
    bool first = true;
    for (int g = 0; g < nEtn; ++g)
        for (const char* issuer : kIssuers) {
            const double pct = 40 + rng.Uniform() * 60;
            const qint64 left = qint64(rng.Uniform() * 300) * 1000;
            if (pct < 70 || rng.Uniform() > 0.15)
                continue;
            j += QStringLiteral("%1{\"name\":%2,\"inv_pct\":%3,\"lp_left\":%4}")
                     .arg(first ? QString() : QStringLiteral(","), JsonText(QString::fromUtf8(issuer) + QLatin1Char(' ') + QString::fromUtf8(kEtn[g].Name) + QStringLiteral(" ETN")))
                     .arg(pct, 0, 'f', 1)
                     .arg(left);
            first = false;
        }
    j += QStringLiteral("],\"movers\":[");
    first = true;
    for (int g = 0; g < nEtn; ++g) {
        if (std::llabs(chg[g]) < 100000)
            continue;
        const qint64 before = EtnHeld(g, prev);
        j += QStringLiteral("%1{\"name\":%2,\"chg\":%3,\"chg_pct\":%4}")
                 .arg(first ? QString() : QStringLiteral(","), JsonText(QString::fromUtf8(kEtn[g].Name) + QStringLiteral(" ETN")))
                 .arg(chg[g])
                 .arg(before > 0 ? double(chg[g]) / before * 100 : 0.0, 0, 'f', 2);
        first = false;
    }
    // Commentary: the inverse and leveraged sides of the two big groups.
    const qint64 inv = chg[0] + chg[3], lev = chg[2] + chg[4] + chg[5];
    j += QStringLiteral("],\"notes\":[");
    j += QStringLiteral("{\"t\":\"%1\",\"s\":%2},").arg(inv > 0 ? QStringLiteral("up") : QStringLiteral("dn"),
        JsonText(inv > 0 ? QStringLiteral("인버스 보유가 늘었다 — 개인의 하락 베팅이 커졌다") : QStringLiteral("인버스 보유가 줄었다 — 하락 베팅을 거둬들였다")));
    j += QStringLiteral("{\"t\":\"%1\",\"s\":%2},").arg(lev > 0 ? QStringLiteral("up") : QStringLiteral("dn"),
        JsonText(lev > 0 ? QStringLiteral("반도체 · 대형주 레버리지 보유가 늘었다") : QStringLiteral("반도체 · 대형주 레버리지 보유가 줄었다")));
    j += QStringLiteral("{\"t\":\"sum\",\"s\":%1}]}").arg(JsonText(
        inv > 0 && lev <= 0 ? QStringLiteral("개인은 하락 쪽으로 기울었다") : inv <= 0 && lev > 0 ? QStringLiteral("개인은 상승 쪽으로 기울었다")
                                                                       : QStringLiteral("개인의 방향은 엇갈린다")));
    return j.toUtf8();
}
