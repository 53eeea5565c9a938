#include "sim/MarketEngine.h"
#include "sim/PriceGrid.h"
#include <cmath>

namespace {
constexpr int kOpenMs = 9 * 3600 * 1000;
constexpr int kCloseMs = 15 * 3600 * 1000 + 30 * 60 * 1000;
constexpr int kDayEndMs = 86399000;   // 23:59:59, the always-open close
constexpr int kReplayMs = 10000;      // events older than this are not sent
}

char PriceSign(int price, int prevClose, int upLimit, int dnLimit)
{
    if (price > 0 && upLimit > 0 && price >= upLimit && price > prevClose)
        return '1';
    if (price > 0 && dnLimit > 0 && price <= dnLimit && price < prevClose)
        return '4';
    if (price > prevClose)
        return '2';
    if (price < prevClose)
        return '5';
    return '3';
}

TMarketEngine::TMarketEngine(TUniverse universe, TClock& clock, const TMarketConfig& cfg)
    : FUniverse(std::move(universe)), FClock(clock), FCfg(cfg), FDaily(cfg.Seed)
{
}

void TMarketEngine::SetUniverse(TUniverse universe)
{
    FUniverse = std::move(universe);
    FDays.clear();
    FDate = QDate();
}

void TMarketEngine::SetTradesPerSec(double perSec)
{
    FCfg.TradesPerSec = perSec;
    for (const auto& d : std::as_const(FDays))
        d->Day->Sim().SetTradesPerSec(perSec);
}

void TMarketEngine::SetAlwaysOpen(bool on)
{
    if (FCfg.AlwaysOpen == on)
        return;
    FCfg.AlwaysOpen = on;
    FDays.clear();
    FDate = QDate();
}

QDate TMarketEngine::MarketDate() const
{
    const QDate today = FClock.Now().date();
    return FCfg.AlwaysOpen ? today : TradingDayOnOrBefore(today);
}

int TMarketEngine::SessionStartMs() const
{
    return FCfg.AlwaysOpen ? 0 : kOpenMs;
}

int TMarketEngine::SessionEndMs() const
{
    return FCfg.AlwaysOpen ? kDayEndMs : kCloseMs;
}

int TMarketEngine::TargetMs() const
{
    const QDateTime now = FClock.Now();
    if (MarketDate() < now.date())
        return 86400000;
    return now.time().msecsSinceStartOfDay();
}

TSessionPhase TMarketEngine::Phase() const
{
    const int ms = TargetMs();
    if (ms < SessionStartMs())
        return TSessionPhase::PreOpen;
    if (ms < SessionEndMs())
        return TSessionPhase::Open;
    return TSessionPhase::Closed;
}

void TMarketEngine::CheckDay()
{
    const QDate d = MarketDate();
    if (d != FDate) {
        FDays.clear();
        FDate = d;
    }
}

std::shared_ptr<TMarketEngine::TDay> TMarketEngine::DayOf(const QString& code)
{
    CheckDay();
    auto it = FDays.find(code);
    if (it != FDays.end())
        return it.value();
    const TSimStock* s = FUniverse.Find(code);
    if (!s)
        return nullptr;
    auto day = std::make_shared<TDay>();
    day->Day = std::make_shared<TStockDay>(FDaily.Plan(*s, FDate, SessionStartMs(), SessionEndMs(), FCfg.TradesPerSec),
                                           TSimProgramModel(FDaily.Seed(), *s, FDate), true);
    FDays.insert(code, day);
    return day;
}

void TMarketEngine::Sync(const QString& code, const std::shared_ptr<TDay>& day)
{
    if (day->Busy)
        return;
    day->Busy = true;
    const std::shared_ptr<TStockDay> played = day->Day;   // stays alive if the sink resets the engine
    const int target = TargetMs();
    // Every trade of a watched code reaches the sink, also silent ones.
    auto watch = [this, &code, &day](const TSimTrade* trade) {
        if (trade && FSink && IsWatched(code) && FDays.value(code) == day)
            FSink->OnWatchedTrade(code, *trade);
    };
    const TStockSim::TEventFn silent = FSink && IsWatched(code) ? TStockSim::TEventFn(watch) : TStockSim::TEventFn();
    if (FSink && IsSubscribed(code)) {
        played->AdvanceTo(target - kReplayMs, silent);
        // A sink may unsubscribe or start the day afresh meanwhile: a
        // dropped day or an unsubscribed code sends nothing more.
        auto live = [this, &code, &day] { return FSink && IsSubscribed(code) && FDays.value(code) == day; };
        played->AdvanceTo(target, [&](const TSimTrade* trade) {
            if (trade && live())
                FSink->OnTrade(code, *trade);
            if (live())
                FSink->OnBook(code, played->Sim().Book());
            watch(trade);
        });
    } else {
        played->AdvanceTo(target, silent);
    }
    day->Busy = false;
}

void TMarketEngine::Subscribe(const QString& code)
{
    CheckDay();
    if (FSubs.value(code) == 0) {
        // The day so far happens before the subscription.
        if (auto day = DayOf(code))
            Sync(code, day);
    }
    ++FSubs[code];
}

void TMarketEngine::Unsubscribe(const QString& code)
{
    auto it = FSubs.find(code);
    if (it == FSubs.end())
        return;
    if (--it.value() <= 0)
        FSubs.erase(it);
}

void TMarketEngine::Watch(const QString& code)
{
    CheckDay();
    // A stock not yet brought up to the clock replays its day so far to the
    // watcher (which tells by the trade times what it has seen already).
    ++FWatch[code];
    if (auto day = DayOf(code))
        Sync(code, day);
}

void TMarketEngine::Unwatch(const QString& code)
{
    auto it = FWatch.find(code);
    if (it == FWatch.end())
        return;
    if (--it.value() <= 0)
        FWatch.erase(it);
}

void TMarketEngine::Pump()
{
    CheckDay();
    QStringList codes = FSubs.keys();
    for (auto it = FWatch.cbegin(); it != FWatch.cend(); ++it)
        if (!FSubs.contains(it.key()))
            codes << it.key();
    for (const QString& code : codes) {
        if (!IsSubscribed(code) && !IsWatched(code))
            continue;
        if (auto day = DayOf(code))
            Sync(code, day);
    }
}

std::shared_ptr<TMarketEngine::TDay> TMarketEngine::Current(const QString& code)
{
    auto day = DayOf(code);
    if (!day)
        return nullptr;
    Sync(code, day);
    // A sink may have started the day afresh while it was being advanced.
    if (FDays.value(code) != day) {
        day = DayOf(code);
        if (day)
            Sync(code, day);
    }
    return day;
}

const TStockSim* TMarketEngine::Sim(const QString& code)
{
    auto day = Current(code);
    return day ? &day->Day->Sim() : nullptr;
}

const TStockDay* TMarketEngine::StockDay(const QString& code)
{
    auto day = Current(code);
    return day ? day->Day.get() : nullptr;
}

bool TMarketEngine::Quote(const QString& code, TSimQuote* out)
{
    const TSimStock* listed = FUniverse.Find(code);
    if (!listed)
        return false;
    const TSimStock stock = *listed;   // a sink may replace the universe meanwhile
    const auto day = Current(code);
    if (!day)
        return false;
    const std::shared_ptr<TStockDay> recorded = day->Day;
    const TStockSim* sim = &recorded->Sim();
    TSimQuote q;
    q.Code = stock.Code;
    q.Name = stock.Name;
    q.Market = stock.Market;
    q.Etf = stock.Etf;
    q.Date = sim->Plan().Date;
    q.TimeMs = std::min(sim->NowMs(), 86399999);
    q.Phase = Phase();
    q.Price = sim->Price();
    q.PrevClose = sim->Plan().PrevClose;
    q.UpLimit = sim->UpLimit();
    q.DnLimit = sim->DnLimit();
    q.Change = q.Price - q.PrevClose;
    q.Sign = PriceSign(q.Price, q.PrevClose, q.UpLimit, q.DnLimit);
    q.Diff = q.PrevClose > 0 ? std::round(q.Change * 10000.0 / q.PrevClose) / 100.0 : 0.0;
    q.Open = sim->Open();
    q.High = sim->High();
    q.Low = sim->Low();
    q.Volume = sim->Volume();
    q.Amount = sim->Amount();
    q.LastTrade = sim->LastTrade();
    q.Book = sim->Book();
    if (out)
        *out = q;
    return true;
}

TSimDayInfo TMarketEngine::DayInfo(const QString& code) const
{
    TSimDayInfo info;
    const TSimStock* s = FUniverse.Find(code);
    if (!s)
        return info;
    info.Date = MarketDate();
    info.PrevClose = FDaily.PrevClose(*s, info.Date);
    info.UpLimit = UpperLimit(info.PrevClose);
    info.DnLimit = LowerLimit(info.PrevClose);
    return info;
}
