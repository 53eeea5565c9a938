#include "sim/SimSignals.h"
#include "sim/DailyModel.h"
#include "sim/MarketEngine.h"
#include "sim/SimRandom.h"
#include "sim/SimRealRecord.h"
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

constexpr int kMinuteMs = 60000;
constexpr int kEndOfDayMs = 86399999;
constexpr int kSliceMs = 10 * kMinuteMs;   // a catch-up looks for a stop this often
constexpr quint64 kSaltTrack = 0x1A7E;
constexpr quint64 kSaltForm = 0xF0A3;

int HhmmOf(int minuteOfDay)
{
    return minuteOfDay / 60 * 100 + minuteOfDay % 60;
}

QString Hhmm4(int hhmm)
{
    return QStringLiteral("%1").arg(hhmm, 4, 10, QLatin1Char('0'));
}

QString Ymd(const QDate& d)
{
    return d.toString(QStringLiteral("yyyyMMdd"));
}

// The worker yields to the window: on Linux the nice value is a thread's own.
void LowerThisThread()
{
#ifdef Q_OS_LINUX
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
#endif
}

const char* ArrayName(TSimSignalKind k)
{
    switch (k) {
    case TSimSignalKind::BuyCapture: return "lm03";
    case TSimSignalKind::SellCapture: return "lm03r";
    case TSimSignalKind::BuyStreak: return "lm08";
    case TSimSignalKind::SellStreak: return "lm08r";
    }
    return "lm03";
}

// One element of the lists. The service is not consistent in how it writes
// codes and times, and neither are we: the form is a fixed function of the
// signal. A time before 10:00 is never a bare number (it would lose its
// leading zero).
QJsonObject Element(const TSimSignal& s, const QString& isin)
{
    const quint64 h = SeedMix({kSaltForm, SeedOfText(s.Code), quint64(s.Hhmm), quint64(s.Kind)});
    QJsonObject o;
    switch (h % 8) {
    case 5: o.insert(QStringLiteral("code"), QStringLiteral("A") + s.Code); break;
    case 6:
        // An ISIN whose digits are not the code (a preferred share's) would
        // be read as another stock: those go as A + code.
        o.insert(QStringLiteral("code"), isin.mid(3, 6) == s.Code ? isin : QStringLiteral("A") + s.Code);
        break;
    case 7:
        o.insert(QStringLiteral("sc"), s.Code);
        o.insert(QStringLiteral("code"), QStringLiteral("A") + s.Code);
        break;
    default: o.insert(QStringLiteral("sc"), s.Code); break;
    }
    const int startMs = (s.Hhmm / 100 * 60 + s.Hhmm % 100) * kMinuteMs;
    const int sec = std::clamp((s.TimeMs - startMs) / 1000, 0, 59);
    const int hh = s.Hhmm / 100, mm = s.Hhmm % 100;
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    switch ((h >> 16) % 4) {
    case 2: o.insert(QStringLiteral("time"), two(hh) + two(mm)); break;
    case 3:
        if (hh >= 10)
            o.insert(QStringLiteral("time"), hh * 10000 + mm * 100 + sec);
        else
            o.insert(QStringLiteral("time"), two(hh) + two(mm) + two(sec));
        break;
    default: o.insert(QStringLiteral("time"), two(hh) + QLatin1Char(':') + two(mm) + QLatin1Char(':') + two(sec)); break;
    }
    o.insert(QStringLiteral("ep"), s.Ep);
    if (s.Kind == TSimSignalKind::BuyStreak || s.Kind == TSimSignalKind::SellStreak)
        o.insert(QStringLiteral("peak"), s.Peak);
    return o;
}

} // namespace

// ---- the rules over one stock --------------------------------------------------

TSimLumenTracker::TSimLumenTracker(QString code, int sessionStartMs, int sessionEndMs)
    : FCode(std::move(code)), FEndMs(sessionEndMs)
{
    // The same minutes as the bars (SimMinuteKey): the closing print counts
    // for the session's last minute.
    FLastMinute = std::max(1, sessionEndMs / kMinuteMs);
    FFirstMinute = std::clamp(sessionStartMs / kMinuteMs + 1, 1, FLastMinute);
    FCurMinute = FFirstMinute;
    FCur.Hhmm = HhmmOf(FCurMinute);
}

int TSimLumenTracker::EndOf(int minuteOfDay) const
{
    // The last ms whose trades belong to the minute.
    return minuteOfDay >= FLastMinute ? FEndMs : minuteOfDay * kMinuteMs - 1;
}

void TSimLumenTracker::Add(const TSimTrade& t)
{
    const int m = std::clamp(t.TimeMs / kMinuteMs + 1, 1, FLastMinute);
    while (FCurMinute < m)
        CloseMinute();
    if (FCurMinute > FLastMinute)
        return;   // after the session's last minute
    TSimLumenMinute& c = FCur;
    if (c.Volume == 0) {
        c.Open = c.High = c.Low = t.Price;
    }
    c.High = std::max(c.High, t.Price);
    c.Low = std::min(c.Low, t.Price);
    c.Close = t.Price;
    c.Volume += t.Qty;
    (t.Side == '-' ? c.SellAmt : c.BuyAmt) += qint64(t.Price) * t.Qty;
    c.CloseMs = t.TimeMs;
}

void TSimLumenTracker::CloseUpTo(int ms)
{
    while (FCurMinute <= FLastMinute && ms >= EndOf(FCurMinute))
        CloseMinute();
}

void TSimLumenTracker::CloseMinute()
{
    if (FCurMinute > FLastMinute)
        return;
    if (FCur.Volume == 0)
        FCur.Open = FCur.High = FCur.Low = FCur.Close = FLastClose;
    FCumBuy += FCur.BuyAmt;
    FCumSell += FCur.SellAmt;
    FCur.CumBuy = FCumBuy;
    FCur.CumSell = FCumSell;
    FMinutes.append(FCur);
    Judge();
    FLastClose = FCur.Close;
    ++FCurMinute;
    FCur = TSimLumenMinute();
    FCur.Hhmm = HhmmOf(std::min(FCurMinute, FLastMinute));
}

void TSimLumenTracker::Judge()
{
    const int i = int(FMinutes.size()) - 1;
    const TSimLumenMinute& m = FMinutes[i];
    const int start = HhmmOf(FFirstMinute + i - 1);   // the minute's own start

    // Captures: a burst of volume against the minutes before, one-sided.
    if (i >= kMinHistory && m.Volume > 0) {
        const int n = std::min(kHistory, i);
        qint64 sum = 0;
        for (int k = 1; k <= n; ++k)
            sum += FMinutes[i - k].Volume;
        const double mean = double(sum) / n;
        const double amount = double(m.BuyAmt) + double(m.SellAmt);
        if (mean > 0 && double(m.Volume) >= kCaptureRatio * mean && amount > 0) {
            if (m.Close > m.Open && double(m.BuyAmt) >= kCaptureShare * amount)
                FSignals.append({TSimSignalKind::BuyCapture, FCode, start, m.CloseMs, m.Close, 0});
            else if (m.Close < m.Open && double(m.SellAmt) >= kCaptureShare * amount)
                FSignals.append({TSimSignalKind::SellCapture, FCode, start, m.CloseMs, m.Close, 0});
        }
    }

    // Streaks: the close against the minute before.
    const bool up = m.Volume > 0 && FLastClose > 0 && m.Close > FLastClose;
    const bool down = m.Volume > 0 && FLastClose > 0 && m.Close < FLastClose;
    auto streak = [&](bool on, int* run, int* sig, TSimSignalKind kind) {
        if (!on) {
            *run = 0;
            *sig = -1;
            return;
        }
        ++*run;
        if (*run < kStreakMin)
            return;
        if (*sig >= 0) {
            FSignals[*sig].Peak = *run;
            return;
        }
        const int first = i - *run + 1;
        const TSimLumenMinute& f = FMinutes[first];
        FSignals.append({kind, FCode, HhmmOf(FFirstMinute + first - 1), f.CloseMs, f.Close, *run});
        *sig = int(FSignals.size()) - 1;
    };
    streak(up, &FUpRun, &FUpSig, TSimSignalKind::BuyStreak);
    streak(down, &FDownRun, &FDownSig, TSimSignalKind::SellStreak);
}

// ---- setup and snapshot -----------------------------------------------------------

TSimSignalsSetup TSimSignalsSetup::Of(const TMarketEngine& engine)
{
    TSimSignalsSetup s;
    s.Stocks = engine.Universe().Stocks();
    s.Seed = engine.Daily().Seed();
    s.SessionStartMs = engine.SessionStartMs();
    s.SessionEndMs = engine.SessionEndMs();
    s.TradesPerSec = engine.Config().TradesPerSec;
    s.AlwaysOpen = engine.Config().AlwaysOpen;
    return s;
}

const TSimLumenStock* TSimSignalsSnapshot::ByIsin(const QString& isin) const
{
    for (const TSimLumenStock& s : Stocks)
        if (s.Isin == isin)
            return &s;
    return nullptr;
}

QByteArray TSimSignalsSnapshot::Series(const QString& isin) const
{
    QJsonArray rows;
    if (const TSimLumenStock* s = ByIsin(isin)) {
        // Rows are named by the minute's start, as the signals' times are
        // (the bar of 09:31:xx, named 0932 on the charts, is row 0931).
        for (const TSimLumenMinute& m : s->Minutes) {
            const int start = (m.Hhmm / 100) * 60 + m.Hhmm % 100 - 1;
            rows.append(QJsonArray{Hhmm4((start / 60) * 100 + start % 60), SimMillions(m.CumBuy), SimMillions(m.CumSell)});
        }
    }
    QJsonObject o;
    o.insert(QStringLiteral("date"), Date.isValid() ? Ymd(Date) : QString());
    o.insert(QStringLiteral("rows"), rows);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// ---- the generator --------------------------------------------------------------------

struct TSimSignals::TTrack {
    QString Isin;
    TStockSim Sim;
    TSimLumenTracker Lumen;
};

struct TSimSignals::TDayRun {
    QDate Date;
    int NowMs = -1;
    std::vector<TTrack> Tracks;
};

TSimSignals::TSimSignals(TSimSignalsSetup setup, bool threaded) : FSetup(std::move(setup)), FThreaded(threaded)
{
    if (FThreaded)
        FThread = std::thread([this] { Loop(); });
}

TSimSignals::~TSimSignals()
{
    {
        std::lock_guard<std::mutex> lk(FLock);
        FStop = true;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

namespace {

// Whether a busy day's morning makes a same-time volume surge the window can
// see: a buy-side signal between 09:05 and 10:00, and at some minute from
// 09:30 to 10:00 the day's volume so far at least kSurgeRatio times the
// previous day's at the same minute while the price is at or above the
// day's average price. Both mornings are played from their plans.
bool MorningSurges(const TSimSignalsSetup& st, const TDailyModel& model, const TSimStock& s, const QDate& d)
{
    constexpr int kUntilMs = (10 * 60 + 7) * kMinuteMs;
    auto play = [&](const QDate& day) {
        TStockSim sim(model.Plan(s, day, st.SessionStartMs, st.SessionEndMs, st.TradesPerSec));
        TSimLumenTracker t(s.Code, st.SessionStartMs, st.SessionEndMs);
        sim.AdvanceTo(kUntilMs, [&t](const TSimTrade* trade) {
            if (trade)
                t.Add(*trade);
        });
        t.CloseUpTo(kUntilMs);
        return t;
    };
    const TSimLumenTracker today = play(d);
    const bool early = std::any_of(today.Signals().cbegin(), today.Signals().cend(), [](const TSimSignal& g) {
        return (g.Kind == TSimSignalKind::BuyCapture || g.Kind == TSimSignalKind::BuyStreak) && g.Hhmm >= 905
               && g.Hhmm <= 1000;
    });
    if (!early)
        return false;
    const TSimLumenTracker before = play(PrevTradingDay(d));
    const int n = std::min(today.Minutes().size(), before.Minutes().size());
    qint64 vol = 0, prev = 0;
    for (int i = 0; i < n; ++i) {
        const TSimLumenMinute& m = today.Minutes()[i];
        vol += m.Volume;
        prev += before.Minutes()[i].Volume;
        if (m.Hhmm < 930 || m.Hhmm > 1000 || prev <= 0 || vol <= 0)
            continue;
        const double avg = double(m.CumBuy + m.CumSell) / double(vol);
        if (double(vol) >= TSimSignals::kSurgeRatio * double(prev) && m.Close >= avg)
            return true;
    }
    return false;
}

} // namespace

QStringList TSimSignals::TrackedCodes(const TSimSignalsSetup& setup, const QDate& d)
{
    const TDailyModel model(setup.Seed);
    const QDate prev = PrevTradingDay(d);
    const quint64 jd = quint64(d.toJulianDay());
    struct TPick {
        double Key;
        int Index;
    };
    QVector<TPick> surge, drawn;
    for (int i = 0; i < setup.Stocks.size(); ++i) {
        const TSimStock& s = setup.Stocks[i];
        if (s.Etf || s.PrevClose < 1)
            continue;
        const double a = model.Activity(s, d);
        const double before = model.Activity(s, prev);
        if (a >= kSurgeRatio * before) {
            surge.append({a / before, i});
            continue;
        }
        // A weighted draw without replacement: the smallest keys win.
        const double usual = s.PrevVolume > 0 ? double(s.PrevVolume) : 1e9 / s.PrevClose;
        const double w = a * (1 + std::log10(1 + usual * s.PrevClose / 1e8));
        TSimRng rng(SeedMix({setup.Seed, SeedOfText(s.Code), jd, kSaltTrack}));
        drawn.append({-std::log(1 - rng.Uniform()) / std::max(1e-9, w), i});
    }
    auto byCode = [&setup](int a, int b) { return setup.Stocks[a].Code < setup.Stocks[b].Code; };
    std::sort(surge.begin(), surge.end(), [&](const TPick& a, const TPick& b) {
        return a.Key != b.Key ? a.Key > b.Key : byCode(a.Index, b.Index);
    });
    std::sort(drawn.begin(), drawn.end(), [&](const TPick& a, const TPick& b) {
        return a.Key != b.Key ? a.Key < b.Key : byCode(a.Index, b.Index);
    });
    // Busy days: first those whose morning surges, then those planned to end
    // above their open, busiest first; the other busy ones join the draw.
    QVector<int> first, second;
    for (const TPick& p : std::as_const(surge)) {
        const TSimStock& s = setup.Stocks[p.Index];
        if (first.size() < kSurge && MorningSurges(setup, model, s, d))
            first.append(p.Index);
        else if (model.Close(s, d) > model.Open(s, d))
            second.append(p.Index);
        else
            drawn.append({0, p.Index});   // drawn before the rest
    }
    std::stable_partition(drawn.begin(), drawn.end(), [](const TPick& p) { return p.Key == 0; });
    QStringList out;
    for (const QVector<int>& busy : {first, second})
        for (int i = 0; i < busy.size() && out.size() < kSurge; ++i)
            out << setup.Stocks[busy[i]].Code;
    for (const QVector<int>& busy : {first, second})
        for (int i = 0; i < busy.size(); ++i)
            if (!out.contains(setup.Stocks[busy[i]].Code))
                drawn.prepend({0, busy[i]});
    for (int i = 0; i < drawn.size() && out.size() < kTracked; ++i)
        if (!out.contains(setup.Stocks[drawn[i].Index].Code))
            out << setup.Stocks[drawn[i].Index].Code;
    out.sort();
    return out;
}

void TSimSignals::Feed(const QDateTime& now)
{
    {
        std::lock_guard<std::mutex> lk(FLock);
        const bool due = !FLastFed.isValid() || now.date() != FLastFed.date() || now < FLastFed
                         || FLastFed.msecsTo(now) >= kStepMs;
        if (!due)
            return;
        FLastFed = now;
        if (FThreaded) {
            FTarget = now;
            FHasTarget = true;
            FWake.notify_all();
            return;
        }
    }
    Work(now);
}

void TSimSignals::Run(const QDateTime& now)
{
    Work(now);
}

bool TSimSignals::WaitIdle(int ms) const
{
    std::unique_lock<std::mutex> lk(FLock);
    return FWake.wait_for(lk, std::chrono::milliseconds(ms), [this] { return !FHasTarget && !FBusy; });
}

int TSimSignals::Published() const
{
    std::lock_guard<std::mutex> lk(FLock);
    return FPublished;
}

std::shared_ptr<const TSimSignalsSnapshot> TSimSignals::Snapshot() const
{
    std::lock_guard<std::mutex> lk(FLock);
    return FSnap ? FSnap : std::make_shared<const TSimSignalsSnapshot>();
}

void TSimSignals::Publish(std::shared_ptr<const TSimSignalsSnapshot> snap)
{
    std::lock_guard<std::mutex> lk(FLock);
    FSnap = std::move(snap);
    ++FPublished;
}

void TSimSignals::Loop()
{
    LowerThisThread();
    std::unique_lock<std::mutex> lk(FLock);
    for (;;) {
        FWake.wait(lk, [this] { return FStop || FHasTarget; });
        if (FStop)
            return;
        const QDateTime t = FTarget;
        FHasTarget = false;
        FBusy = true;
        lk.unlock();
        Work(t);
        lk.lock();
        FBusy = false;
        FWake.notify_all();
    }
}

void TSimSignals::Work(const QDateTime& now)
{
    const TSimSignalsSetup& st = FSetup;
    const QDate today = now.date();
    const int nowMs = now.time().msecsSinceStartOfDay();
    QDate day = today;
    bool over = false;
    if (!st.AlwaysOpen) {
        const QDate market = TradingDayOnOrBefore(today);
        if (market < today) {
            day = market;
            over = true;
        } else if (nowMs < kShowTodayMs) {
            day = PrevTradingDay(today);
            over = true;
        }
    }
    const int ms = over ? kEndOfDayMs : nowMs;
    if (!day.isValid())
        return;

    if (!FRun || FRun->Date != day || ms < FRun->NowMs) {
        auto run = std::make_unique<TDayRun>();
        run->Date = day;
        const TDailyModel model(st.Seed);
        for (const QString& code : TrackedCodes(st, day)) {
            const auto it = std::find_if(st.Stocks.cbegin(), st.Stocks.cend(),
                                         [&code](const TSimStock& s) { return s.Code == code; });
            const TDayPlan plan = model.Plan(*it, day, st.SessionStartMs, st.SessionEndMs, st.TradesPerSec);
            run->Tracks.push_back({it->Isin.isEmpty() ? IsinForCode(code) : it->Isin, TStockSim(plan),
                                   TSimLumenTracker(code, st.SessionStartMs, st.SessionEndMs)});
        }
        FRun = std::move(run);
    }
    TDayRun& run = *FRun;
    for (TTrack& t : run.Tracks) {
        const TStockSim::TEventFn feed = [&t](const TSimTrade* trade) {
            if (trade)
                t.Lumen.Add(*trade);
        };
        for (int to = std::max(t.Sim.NowMs(), st.SessionStartMs - 1); to < ms;) {
            to = std::min(ms, to + kSliceMs);
            t.Sim.AdvanceTo(to, feed);
            std::lock_guard<std::mutex> lk(FLock);
            if (FStop)
                return;
        }
        t.Sim.AdvanceTo(ms, feed);
        t.Lumen.CloseUpTo(ms);
    }
    run.NowMs = ms;

    // The snapshot, with its bodies made here rather than on every request.
    auto snap = std::make_shared<TSimSignalsSnapshot>();
    snap->Date = day;
    snap->Final = over || ms >= st.SessionEndMs;
    snap->UpdatedMs = snap->Final ? st.SessionEndMs : std::min(ms, st.SessionEndMs);
    QHash<QString, QString> isins;
    for (const TTrack& t : run.Tracks) {
        snap->Stocks.append({t.Lumen.Code(), t.Isin, t.Lumen.Minutes()});
        snap->Signals += t.Lumen.Signals();
        isins.insert(t.Lumen.Code(), t.Isin);
    }
    std::stable_sort(snap->Signals.begin(), snap->Signals.end(), [](const TSimSignal& a, const TSimSignal& b) {
        return a.Hhmm != b.Hhmm ? a.Hhmm < b.Hhmm : a.Code < b.Code;
    });

    QJsonObject latest;
    latest.insert(QStringLiteral("date"), Ymd(day));
    latest.insert(QStringLiteral("updated"), SimHhmmss(std::min(snap->UpdatedMs, 86399999)));
    QJsonArray lists[4];
    for (const TSimSignal& s : std::as_const(snap->Signals))
        lists[int(s.Kind) - 1].append(Element(s, isins.value(s.Code)));
    for (int k = 0; k < 4; ++k)
        latest.insert(QLatin1String(ArrayName(TSimSignalKind(k + 1))), lists[k]);
    snap->Latest = QJsonDocument(latest).toJson(QJsonDocument::Compact);

    // The day's sums of every tracked stock up to the last minute ended.
    QJsonObject top;
    QJsonArray items;
    QString upto;
    for (const TSimLumenStock& s : std::as_const(snap->Stocks)) {
        if (s.Minutes.isEmpty())
            continue;
        const TSimLumenMinute& m = s.Minutes.last();
        upto = Hhmm4(m.Hhmm);
        items.append(QJsonObject{{QStringLiteral("code"), s.Code},
                                 {QStringLiteral("isin"), s.Isin},
                                 {QStringLiteral("b"), SimMillions(m.CumBuy)},
                                 {QStringLiteral("s"), SimMillions(m.CumSell)}});
    }
    const QByteArray itemText = QJsonDocument(items).toJson(QJsonDocument::Compact);
    const quint64 made = SeedMix({SeedOfText(Ymd(day) + upto), SeedOfText(QString::fromLatin1(itemText))});
    top.insert(QStringLiteral("date"), Ymd(day));
    top.insert(QStringLiteral("upto"), upto);
    top.insert(QStringLiteral("made"), QStringLiteral("%1").arg(made, 16, 16, QLatin1Char('0')));
    top.insert(QStringLiteral("items"), items);
    snap->LmTop = QJsonDocument(top).toJson(QJsonDocument::Compact);

    Publish(std::move(snap));
}
