#include "sim/SimRankAnswers.h"

#include "sim/DailyModel.h"
#include "sim/MarketEngine.h"
#include "sim/PriceGrid.h"
#include "sim/SimAnswers.h"
#include "sim/SimExchange.h"
#include "sim/SimRandom.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace {

// One stock's figures at the time asked.
struct TEst {
    const TSimStock* S = nullptr;
    int Price = 0, PrevClose = 0, Open = 0, High = 0, Low = 0, Up = 0, Dn = 0;
    double Diff = 0;          // % of PrevClose, 2 decimals
    qint64 Vol = 0;           // today so far
    qint64 PrevSame = 0;      // the previous day to the same time
    qint64 PrevVol = 0;       // the whole previous day
    qint64 Value = 0;         // millions of won, today so far
    qint64 PrevValue = 0;     // millions of won, the previous day
    double Surge = 0;         // Vol / PrevSame in %
};

QString In(const QHash<QString, QString>& in, const QString& tr, const char* field)
{
    return in.value(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), QString::fromLatin1(field), 0)).trimmed();
}

// A numeric input: empty reads as 0; false when it is not a whole number.
bool NumIn(const QString& text, qint64* out)
{
    if (text.isEmpty()) {
        *out = 0;
        return true;
    }
    bool ok = false;
    *out = text.toLongLong(&ok);
    if (!ok) {
        const double d = text.toDouble(&ok);
        if (ok && std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9e15)
            *out = qint64(d);
        else
            ok = false;
    }
    return ok;
}

qint64 VolumeFloor(const QString& type1)
{
    static const qint64 kFloor[] = {0, 10000, 50000, 100000, 200000, 500000, 1000000};
    const int i = type1.toInt();
    return i >= 0 && i <= 6 ? kFloor[i] : 0;
}

double SurgeCap(const QString& type2)
{
    static const double kCap[] = {0, 2000, 1500, 1000, 500, 100, 50};
    const int i = type2.toInt();
    return i >= 1 && i <= 6 ? kCap[i] : 0;
}

int RisingRun(const TDailyModel& daily, const TSimStock& s, const QDate& d, const TEst& e)
{
    if (e.Price <= e.PrevClose)
        return 0;
    int run = 1;
    const QVector<QPair<QDate, int>> c = daily.Closes(s, d.addDays(-45), PrevTradingDay(d));
    for (int i = int(c.size()) - 1; i > 0 && c[i].second > c[i - 1].second; --i)
        ++run;
    return run;
}

// A stock's plan figures of one day, which do not change with the time asked.
struct TPlanned {
    int PrevClose = 0, Up = 0, Dn = 0, Open = 0, Close = 0;
    double Usual = 0, ActToday = 0, ActPrev = 0;
};

// The plan figures of every listed stock for one day, worked out once: the
// rankings are asked every minute and page by page.
std::shared_ptr<const QVector<TPlanned>> PlannedDay(const TMarketEngine& engine, const QDate& d)
{
    static std::mutex lock;
    static quint64 seed = 0;
    static QDate day;
    static QStringList key;   // the universe it was made for: size, first and last code
    static std::shared_ptr<const QVector<TPlanned>> cached;
    const QVector<TSimStock>& stocks = engine.Universe().Stocks();
    const QStringList k = {QString::number(stocks.size()), stocks.isEmpty() ? QString() : stocks.first().Code,
                           stocks.isEmpty() ? QString() : stocks.last().Code};
    const TDailyModel& daily = engine.Daily();
    std::lock_guard<std::mutex> g(lock);
    if (cached && seed == daily.Seed() && day == d && key == k)
        return cached;
    auto rows = std::make_shared<QVector<TPlanned>>(stocks.size());
    const QDate prev = PrevTradingDay(d);
    for (int i = 0; i < stocks.size(); ++i) {
        const TSimStock& s = stocks[i];
        TPlanned& p = (*rows)[i];
        p.PrevClose = daily.PrevClose(s, d);
        p.Up = UpperLimit(p.PrevClose);
        p.Dn = LowerLimit(p.PrevClose);
        p.Open = daily.OpenAfter(s, d, p.PrevClose);
        p.Close = std::clamp(daily.Close(s, d), p.Dn, p.Up);
        p.Usual = s.PrevVolume > 0 ? double(s.PrevVolume) : 1e9 / std::max(1, s.PrevClose);
        p.ActToday = daily.Activity(s, d);
        p.ActPrev = daily.Activity(s, prev);
    }
    seed = daily.Seed();
    day = d;
    key = k;
    cached = std::move(rows);
    return cached;
}

}  // namespace

bool TSimRankAnswers::Serves(const QString& tr)
{
    return tr == QLatin1String("t1441") || tr == QLatin1String("t1463") || tr == QLatin1String("t1466");
}

TSimReply TSimRankAnswers::Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* head = OutBlock(layout, tr + QStringLiteral("OutBlock"));
    const TResBlock* rows = OutBlock(layout, tr + QStringLiteral("OutBlock1"));
    if (!head || !rows)
        return LayoutLacks(tr + QStringLiteral("OutBlock, ") + tr + QStringLiteral("OutBlock1"));
    const bool t1441 = tr == QLatin1String("t1441"), t1466 = tr == QLatin1String("t1466");
    const QString market = In(in, tr, t1441 ? "gubun1" : "gubun");
    qint64 idx = 0, sprice = 0, eprice = 0, minVol = 0;
    if (!NumIn(In(in, tr, "idx"), &idx) || idx < 0 || !NumIn(In(in, tr, "sprice"), &sprice)
        || !NumIn(In(in, tr, "eprice"), &eprice) || !NumIn(In(in, tr, "volume"), &minVol))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("입력값이 숫자가 아닙니다 (%1: idx, sprice, eprice, volume).").arg(tr));
    if (!market.isEmpty() && market != QLatin1String("0") && market != QLatin1String("1") && market != QLatin1String("2"))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("구분 값이 올바르지 않습니다 (%1): 0 전체, 1 코스피, 2 코스닥").arg(market));

    // The session as far as it has gone.
    const QDate d = FEngine.MarketDate();
    const QDateTime now = FClock.Now();
    const int startMs = FEngine.SessionStartMs(), endMs = FEngine.SessionEndMs();
    const int nowMs = d < now.date() ? endMs : now.time().msecsSinceStartOfDay();
    const double f = std::clamp(double(nowMs - startMs) / std::max(1, endMs - startMs), 0.0, 1.0);
    const TDailyModel& daily = FEngine.Daily();

    const std::shared_ptr<const QVector<TPlanned>> planned = PlannedDay(FEngine, d);
    const QVector<TSimStock>& stocks = FEngine.Universe().Stocks();
    QVector<TEst> all;
    all.reserve(stocks.size());
    for (int i = 0; i < stocks.size() && i < planned->size(); ++i) {
        const TSimStock& s = stocks[i];
        const TPlanned& pl = planned->at(i);
        if (market == QLatin1String("1") && s.Market != TSimMarket::Kospi)
            continue;
        if (market == QLatin1String("2") && s.Market != TSimMarket::Kosdaq)
            continue;
        TEst e;
        e.S = &s;
        e.PrevClose = pl.PrevClose;
        e.Up = pl.Up;
        e.Dn = pl.Dn;
        e.PrevVol = qint64(pl.Usual * pl.ActPrev);
        e.PrevSame = qint64(double(e.PrevVol) * f);
        e.PrevValue = qint64(double(e.PrevVol) * e.PrevClose / 1e6 + 0.5);
        if (f <= 0) {
            e.Price = e.PrevClose;
        } else {
            e.Open = pl.Open;
            e.Price = std::clamp(NearestGrid(e.Open + (pl.Close - e.Open) * f), e.Dn, e.Up);
            e.High = std::max(e.Open, e.Price);
            e.Low = std::min(e.Open, e.Price);
            e.Vol = qint64(pl.Usual * pl.ActToday * f);
            e.Value = qint64(double(e.Vol) * (e.Open + e.Price) / 2.0 / 1e6 + 0.5);
        }
        if (FEngine.IsSubscribed(s.Code) || FEngine.IsWatched(s.Code)) {
            TSimQuote q;
            if (FEngine.Quote(s.Code, &q)) {
                e.Price = q.Price;
                e.Open = q.Open;
                e.High = q.High;
                e.Low = q.Low;
                e.Vol = q.Volume;
                e.Value = SimMillions(q.Amount);
            }
        }
        e.Diff = e.PrevClose > 0 ? std::round(10000.0 * (e.Price - e.PrevClose) / e.PrevClose) / 100.0 : 0.0;
        e.Surge = e.PrevSame > 0 ? 100.0 * double(e.Vol) / double(e.PrevSame) : 0.0;
        if (sprice > 0 && e.Price < sprice)
            continue;
        if (eprice > 0 && e.Price > eprice)
            continue;
        if (e.Vol < minVol)
            continue;
        all.append(e);
    }

    const auto byCode = [](const TEst& a, const TEst& b) { return a.S->Code < b.S->Code; };
    if (t1441) {
        const QString kind = In(in, tr, "gubun2");
        if (kind == QLatin1String("2"))
            all.erase(std::remove_if(all.begin(), all.end(), [](const TEst& e) { return e.Price != e.PrevClose; }), all.end());
        const bool down = kind == QLatin1String("1");
        std::sort(all.begin(), all.end(), [&](const TEst& a, const TEst& b) {
            if (a.Diff != b.Diff)
                return down ? a.Diff < b.Diff : a.Diff > b.Diff;
            return byCode(a, b);
        });
    } else if (t1466) {
        const qint64 floor = std::max<qint64>(1, VolumeFloor(In(in, tr, "type1")));
        const double cap = SurgeCap(In(in, tr, "type2"));
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [&](const TEst& e) {
                                     return e.PrevVol < floor || e.PrevSame <= 0 || (cap > 0 && e.Surge > cap);
                                 }),
                  all.end());
        std::sort(all.begin(), all.end(), [&](const TEst& a, const TEst& b) {
            return a.Surge != b.Surge ? a.Surge > b.Surge : byCode(a, b);
        });
    } else {
        const bool prevDay = In(in, tr, "jnilgubun") == QLatin1String("1");
        std::sort(all.begin(), all.end(), [&](const TEst& a, const TEst& b) {
            const qint64 x = prevDay ? a.PrevValue : a.Value, y = prevDay ? b.PrevValue : b.Value;
            return x != y ? x > y : byCode(a, b);
        });
    }
    const int total = std::min<int>(int(all.size()), kMaxRows);
    const int first = int(std::min<qint64>(idx, total));
    const int last = std::min(total, first + kPageRows);

    TSimBlockFill h(*head);
    h.NewRow();
    h.Set("idx", last < total ? last : 0);
    if (t1466)
        h.Set("hhmm", now.time().toString(QStringLiteral("hh:mm")));
    TSimBlockFill f1(*rows);
    for (int i = first; i < last; ++i) {
        const TEst& e = all[i];
        f1.NewRow();
        f1.Set("shcode", e.S->Code);
        f1.Set("hname", e.S->Name);
        f1.Set("price", e.Price);
        f1.Set("sign", QString(QLatin1Char(PriceSign(e.Price, e.PrevClose, e.Up, e.Dn))));
        f1.Set("change", std::abs(e.Price - e.PrevClose));
        f1.SetReal("diff", e.Diff, 2);
        f1.Set("volume", e.Vol);
        f1.Set("open", e.Open);
        f1.Set("high", e.High);
        f1.Set("low", e.Low);
        if (t1466) {
            f1.Set("stdvolume", e.PrevSame);
            f1.SetReal("voldiff", e.Surge, 2);
        } else if (t1441) {
            f1.Set("value", e.Value);
            f1.Set("updaycnt", RisingRun(daily, *e.S, d, e));
            f1.SetReal("voldiff", e.Surge, 2);
            f1.Set("total", qint64(double(e.Price) * double(e.S->Shares) / 1e8));
        } else {
            f1.Set("value", e.Value);
            f1.Set("jnilvalue", e.PrevValue);
            f1.Set("jnilvolume", e.PrevVol);
            f1.SetReal("bef_diff", e.PrevValue > 0 ? 100.0 * double(e.Value) / double(e.PrevValue) : 0.0, 2);
            f1.Set("total", qint64(double(e.Price) * double(e.S->Shares) / 1e8));
        }
        f1.Set("ex_shcode", e.S->Code);
    }
    TSimReply r;
    r.HasData = true;
    r.Blocks = {h.Take(), f1.Take()};
    r.After.append(SimMsgOf(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
    return r;
}

// ---- member firms --------------------------------------------------------------

namespace {

struct TFirm {
    const char* Code;
    const char* Name;
    bool Foreign;
};

// Names as the broker sends them (at most six characters).
const TFirm kFirms[] = {
    {"050", "키움증권", false}, {"004", "미래에셋", false}, {"030", "삼성증권", false}, {"005", "NH투자", false},
    {"009", "KB증권", false},   {"003", "한국투자", false}, {"008", "신한투자", false}, {"002", "하나증권", false},
    {"012", "메리츠", false},   {"006", "대신증권", false}, {"001", "유안타", false},   {"011", "교보증권", false},
    {"017", "DB금투", false},   {"010", "한화투자", false}, {"063", "LS증권", false},   {"007", "키움", false},
    {"036", "모건스탠리", true}, {"040", "메릴린치", true},  {"037", "JP모간", true},   {"043", "골드만", true},
    {"044", "UBS", true},       {"045", "CS증권", true},    {"041", "CLSA", true},     {"054", "맥쿼리", true},
    {"046", "노무라", true},    {"047", "도이치", true},    {"042", "씨티그룹", true},  {"048", "HSBC", true},
};
constexpr int kFirmCount = int(sizeof(kFirms) / sizeof(kFirms[0]));
constexpr quint64 kSaltFirms = 0x4652'4D5F'544F'5035ull;   // "FRM_TOP5"

}  // namespace

void SimBrokerTopFive(TSimBlockFill& f, quint64 seed, const QString& code, const QDate& day, qint64 volume,
                      qint64 lastQty)
{
    const qint64 before = std::max<qint64>(0, volume - std::max<qint64>(0, lastQty));
    for (int side = 0; side < 2; ++side) {
        TSimRng rng(SeedMix({seed, SeedOfText(code), quint64(day.toJulianDay()), kSaltFirms, quint64(side)}));
        // Foreign houses take 5 .. 40 % of a side; the domestic firms the rest.
        const double foreignShare = rng.Uniform(0.05, 0.40);
        double w[kFirmCount];
        double sumF = 0, sumD = 0;
        for (int i = 0; i < kFirmCount; ++i) {
            w[i] = std::exp(0.9 * rng.Normal());
            (kFirms[i].Foreign ? sumF : sumD) += w[i];
        }
        for (int i = 0; i < kFirmCount; ++i)
            w[i] = kFirms[i].Foreign ? w[i] / sumF * foreignShare : w[i] / sumD * (1.0 - foreignShare);
        const auto volOf = [&](int i, qint64 v) { return qint64(std::floor(double(v) * w[i])); };
        int order[kFirmCount];
        for (int i = 0; i < kFirmCount; ++i)
            order[i] = i;
        std::sort(order, order + kFirmCount, [&](int a, int b) { return w[a] != w[b] ? w[a] > w[b] : a < b; });
        const char* nameStem = side == 0 ? "offerno" : "bidno";
        const char* codeStem = side == 0 ? "offernocd" : "bidnocd";
        const char* volStem = side == 0 ? "dvol" : "svol";
        const char* chaStem = side == 0 ? "dcha" : "scha";
        for (int k = 0; k < 5; ++k) {
            const int i = order[k];
            const QString n = QString::number(k + 1);
            const qint64 now = volOf(i, volume);
            f.Set(QString::fromLatin1(nameStem) + n, volume > 0 ? QString::fromUtf8(kFirms[i].Name) : QString());
            f.Set(QString::fromLatin1(codeStem) + n, volume > 0 ? QString::fromLatin1(kFirms[i].Code) : QString());
            f.Set(QString::fromLatin1(volStem) + n, now);
            f.Set(QString::fromLatin1(chaStem) + n, now - volOf(i, before));
        }
        qint64 fNow = 0, fBefore = 0;
        for (int i = 0; i < kFirmCount; ++i)
            if (kFirms[i].Foreign) {
                fNow += volOf(i, volume);
                fBefore += volOf(i, before);
            }
        f.Set(side == 0 ? "fwdvl" : "fwsvl", fNow);
        f.Set(side == 0 ? "ftradmdcha" : "ftradmscha", fNow - fBefore);
    }
}
