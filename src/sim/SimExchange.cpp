#include "sim/SimExchange.h"
#include "sim/SimHistoryAnswers.h"
#include "sim/SimPastPlayer.h"

#include <algorithm>
#include "sim/SimAnswers.h"
#include "sim/SimLimits.h"
#include "sim/SimNews.h"
#include "sim/SimQuery.h"
#include "sim/SimReal.h"
#include "sim/SimSignals.h"
#include "sim/SimTrading.h"
#include "sim/Universe.h"

namespace {

bool IsMarketFeed(const QString& tr)
{
    return tr == QLatin1String("S3_") || tr == QLatin1String("K3_") || tr == QLatin1String("H1_")
           || tr == QLatin1String("HA_");
}

// Whether feed `tr` carries records of a stock of market `m`.
bool FeedOfMarket(const QString& tr, TSimMarket m)
{
    const bool kq = tr == QLatin1String("K3_") || tr == QLatin1String("HA_");
    return kq == (m == TSimMarket::Kosdaq);
}

bool IsAccountFeed(const QString& tr)
{
    return tr == QLatin1String("SC0") || tr == QLatin1String("SC1") || tr == QLatin1String("SC2")
           || tr == QLatin1String("SC3") || tr == QLatin1String("SC4");
}

constexpr int kNewsCatchUpSec = 10;   // headlines older than this at a catch-up are only logged

bool IsOrderTr(const QString& tr)
{
    return tr == QLatin1String("CSPAT00600") || tr == QLatin1String("CSPAT00700")
           || tr == QLatin1String("CSPAT00800");
}

// 11 digits as the broker lists them: 3-2-6.
QString Separated(const QString& acct)
{
    if (acct.size() != 11)
        return acct;
    return acct.left(3) + '-' + acct.mid(3, 2) + '-' + acct.mid(5);
}

} // namespace

TSimExchange::TSimExchange(const TSimConfig& cfg, TClock& clock, QObject* parent)
    : QObject(parent), FCfg(cfg), FClock(clock)
{
    FCfg.AnswerDelayMs = qMax(0, FCfg.AnswerDelayMs);
    TUniverse universe;
    if (!FCfg.UniverseFile.isEmpty()) {
        QString err;
        TUniverseCsvReport report;
        if (!LoadUniverseCsv(FCfg.UniverseFile, universe, &err, &report))
            FProblems << QStringLiteral("종목 파일을 쓰지 못해 기본 종목으로 시작합니다: %1").arg(err);
        else if (report.Skipped > 0)
            FProblems << QStringLiteral("종목 파일에서 %1줄을 건너뛰었습니다").arg(report.Skipped);
    }
    if (universe.IsEmpty())
        universe = TUniverse::Default();

    TMarketConfig mc;
    mc.Seed = FCfg.Seed;
    mc.TradesPerSec = FCfg.TradesPerSec > 0 ? FCfg.TradesPerSec : 1.0;
    mc.AlwaysOpen = FCfg.AlwaysOpen;
    FEngine = std::make_unique<TMarketEngine>(std::move(universe), FClock, mc);
    FEngine->SetSink(this);
    FDate = FEngine->MarketDate();

    FAccount = std::make_unique<TSimAccount>(FCfg.StatePath, FCfg.StartCash);
    if (!FAccount->LoadProblem().isEmpty())
        FProblems << FAccount->LoadProblem();
    FTrading = std::make_unique<TSimTrading>(*FEngine, *FAccount, FCfg.AccountNo);
    FTrading->SetEmit([this](TSimRealRecord rec) {
        if (FHeld)
            FHeld->push_back(std::move(rec));
        else
            FQueue.push_back(std::move(rec));
    });
    FTrading->BeginDay(FDate);
    if (!FTrading->SaveProblem().isEmpty())
        FProblems << FTrading->SaveProblem();
    FAnswers = std::make_unique<TSimAnswers>(*FEngine, *FAccount, *FTrading, FCfg, FClock);
    FNews = std::make_shared<const TSimNews>(FEngine->Universe(), FCfg.Seed, &FEngine->Daily());
    FNewsLog = std::make_shared<TSimNewsLog>();
    FAnswers->SetNews(FNews);
    PumpNews();
    FSignals = std::make_shared<TSimSignals>(TSimSignalsSetup::Of(*FEngine));
    FSignals->Feed(FClock.Now());

    connect(&FPump, &QTimer::timeout, this, &TSimExchange::Pump);
    FDueTimer.setSingleShot(true);
    FDueTimer.setTimerType(Qt::PreciseTimer);
    connect(&FDueTimer, &QTimer::timeout, this, [this] { DeliverDue(); });
    if (FCfg.PumpMs > 0)
        FPump.start(FCfg.PumpMs);
}

TSimExchange::~TSimExchange()
{
    FPastPlayer.reset();
    FEngine->SetSink(nullptr);
    FAnswers.reset();
    FTrading.reset();
}

QString TSimExchange::InputKey(const QString& block, const QString& field, int idx)
{
    return block.toLower() + QLatin1Char('\x1f') + field + QLatin1Char('\x1f') + QString::number(idx);
}

// ---- session ----------------------------------------------------------------

bool TSimExchange::Connect()
{
    if (FConnectFails)
        return false;
    FConnected = true;
    return true;
}

void TSimExchange::Disconnect()
{
    FConnected = false;
    FLoggedIn = false;
}

void TSimExchange::Login(const QString& id, const QString& pw, QString* code, QString* msg)
{
    if (!FConnected) {
        *code = QStringLiteral("-1");
        *msg = QStringLiteral("서버에 연결되어 있지 않습니다.");
    } else if (id.trimmed().compare(FCfg.UserId, Qt::CaseInsensitive) != 0) {
        *code = QStringLiteral("8003");
        *msg = QStringLiteral("등록되지 않은 아이디입니다. 아이디를 확인하세요.");
    } else if (pw != FCfg.Password) {
        *code = QStringLiteral("8004");
        *msg = QStringLiteral("비밀번호가 틀립니다. 비밀번호를 확인하세요.");
    } else {
        *code = QStringLiteral("0000");
        *msg = QStringLiteral("로그인 성공");
        FLoggedIn = true;
        return;
    }
    FLoggedIn = false;
}

QStringList TSimExchange::AccountList() const
{
    if (!FLoggedIn)
        return {};
    QStringList out{Separated(FCfg.AccountNo)};
    if (!FCfg.ExtraAccountNo.isEmpty())
        out << Separated(FCfg.ExtraAccountNo);
    return out;
}

// ---- queries ----------------------------------------------------------------

void TSimExchange::FailNextRequest(const QString& tr, int result)
{
    FFaults.append({TFaultKind::Reject, tr, result < 0 ? result : -1, {}, false});
}

void TSimExchange::MessageOnNextRequest(const QString& tr, const QString& code, const QString& text,
                                        bool thenData, bool systemError)
{
    FFaults.append({TFaultKind::Message, tr, 0, {systemError, code, text}, thenData});
}

void TSimExchange::DropNextAnswer(const QString& tr)
{
    FFaults.append({TFaultKind::Drop, tr, 0, {}, false});
}

int TSimExchange::TakeFault(const QString& tr, TFault* out)
{
    for (int i = 0; i < FFaults.size(); ++i) {
        if (FFaults[i].Tr.isEmpty() || FFaults[i].Tr.compare(tr, Qt::CaseInsensitive) == 0) {
            *out = FFaults.takeAt(i);
            return 1;
        }
    }
    return 0;
}

bool TSimExchange::SpendBudget(const QString& tr)
{
    const int perSec = FCfg.RateLimits ? TrPerSec(tr) : 0;
    const int cap = IsChartTr(tr) ? FCfg.ChartCap10Min : 0;
    if (perSec <= 0 && cap <= 0)
        return true;
    const qint64 now = FClock.TickMs();
    std::deque<qint64>& sent = FSent[tr];
    const qint64 keep = cap > 0 ? kSimChartWindowMs : kSimRateWindowMs;
    while (!sent.empty() && now - sent.front() >= keep)
        sent.pop_front();
    if (perSec > 0) {
        const auto inSecond = std::count_if(sent.begin(), sent.end(),
                                            [now](qint64 t) { return now - t < kSimRateWindowMs; });
        if (inSecond >= perSec)
            return false;
    }
    if (cap > 0 && int(sent.size()) >= cap)
        return false;
    sent.push_back(now);
    return true;
}

int TSimExchange::Submit(TSimQuery* q, const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next)
{
    if (!FConnected || !FLoggedIn)
        return -1;
    TFault fault;
    const bool faulty = TakeFault(tr, &fault);
    if (faulty && fault.Kind == TFaultKind::Reject)
        return fault.Result;
    if (!SpendBudget(tr)) {
        ++FRateRefusals;
        return kSimRateRefused;
    }
    const int id = FNextId++;
    if (FNextId < 0)
        FNextId = 1;
    if (faulty && fault.Kind == TFaultKind::Drop)
        return id;

    auto pending = std::make_shared<TPendingAnswer>(TPendingAnswer{q, id, tr, layout, in, next, faulty, fault});
    auto answer = [this, pending] { RunAnswer(pending); };
    // Answers wait their delay on the exchange's clock, in the order they
    // fall due (the order asked when the delay is the same).
    TDueAnswer due{FClock.TickMs() + FCfg.AnswerDelayMs, std::move(answer)};
    auto at = std::upper_bound(FDue.begin(), FDue.end(), due.Due,
                               [](qint64 d, const TDueAnswer& a) { return d < a.Due; });
    FDue.insert(at, std::move(due));
    ScheduleDue();
    return id;
}

void TSimExchange::RunAnswer(const std::shared_ptr<TPendingAnswer>& p)
{
    if (!p->Query)
        return;
    // A history answer is made with the past days it has; when some are not
    // played yet it is held until they are.
    TSimHistory& history = FAnswers->History();
    const bool defer = FPastInBackground && TSimAnswers::UsesPastDays(p->Tr);
    history.SetDeferring(defer);
    QPointer<TSimExchange> self(this);
    TSimReply reply;
    std::deque<TSimRealRecord> events;
    if (p->Faulty && p->Fault.Kind == TFaultKind::Message) {
        reply.Before.append(p->Fault.Msg);
        if (p->Fault.ThenData) {
            TSimReply data = AnswerHeld(p->Tr, p->Layout, p->In, p->Next, &events);
            reply.HasData = data.HasData;
            reply.Blocks = std::move(data.Blocks);
            reply.Compressed = std::move(data.Compressed);
            reply.After = std::move(data.After);
        }
    } else {
        reply = AnswerHeld(p->Tr, p->Layout, p->In, p->Next, &events);
    }
    history.SetDeferring(false);
    if (defer) {
        const QVector<TSimPastJob> missing = history.TakeMissing();
        if (!missing.isEmpty()) {
            THeldAnswer held{p, {}};
            for (const TSimPastJob& job : missing)
                held.Waiting.insert(job.Key);
            FHeldAnswers.push_back(std::move(held));
            if (!FPastPlayer) {
                FPastPlayer = std::make_unique<TSimPastPlayer>();
                FPastPlayer->OnPlayed = [this](const QString& key, const TSimPastDay& day) { PastPlayed(key, day); };
            }
            FPastPlayer->Start(missing);
            return;
        }
    }
    // Real-time records caused by bringing a stock up to the clock come
    // before the answer that shows their result; the order's own events
    // after it.
    Flush();
    if (!self || !p->Query)
        return;
    p->Query->Deliver(p->Tr, reply, p->Id);
    if (!self)
        return;
    for (TSimRealRecord& rec : events)
        FQueue.push_back(std::move(rec));
    Flush();
}

int TSimExchange::PastPlaying() const
{
    return FPastPlayer ? FPastPlayer->Busy() : 0;
}

void TSimExchange::PastPlayed(const QString& key, const TSimPastDay& day)
{
    FAnswers->History().Store(key, day);
    std::vector<std::shared_ptr<TPendingAnswer>> ready;
    for (auto it = FHeldAnswers.begin(); it != FHeldAnswers.end();) {
        it->Waiting.remove(key);
        if (it->Waiting.isEmpty()) {
            ready.push_back(std::move(it->Answer));
            it = FHeldAnswers.erase(it);
        } else {
            ++it;
        }
    }
    // Asked again: a day let go meanwhile holds the answer once more.
    QPointer<TSimExchange> self(this);
    for (const auto& p : ready) {
        if (!self)
            return;
        RunAnswer(p);
    }
}

void TSimExchange::ScheduleDue()
{
    if (FDue.empty())
        return;
    FDueTimer.start(int(std::clamp<qint64>(FDue.front().Due - FClock.TickMs(), 0, 60000)));
}

int TSimExchange::DeliverDue()
{
    int n = 0;
    QPointer<TSimExchange> self(this);
    while (self && !FDue.empty() && FDue.front().Due <= FClock.TickMs()) {
        std::function<void()> run = std::move(FDue.front().Run);
        FDue.pop_front();
        run();
        ++n;
    }
    if (self)
        ScheduleDue();
    return n;
}

TSimReply TSimExchange::Answer(const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next)
{
    std::deque<TSimRealRecord> events;
    TSimReply r = AnswerHeld(tr, layout, in, next, &events);
    for (TSimRealRecord& rec : events)
        FQueue.push_back(std::move(rec));
    return r;
}

TSimReply TSimExchange::AnswerHeld(const QString& tr, const TResLayout& layout, const TSimInputs& in, bool next,
                                   std::deque<TSimRealRecord>* events)
{
    CheckDate();
    std::deque<TSimRealRecord>* outer = FHeld;
    if (IsOrderTr(tr))
        FHeld = events;
    TSimReply r = FAnswers->Answer(tr, layout, in, next);
    FHeld = outer;
    return r;
}

// ---- real-time ----------------------------------------------------------------

bool TSimExchange::Advise(TSimReal* r, const QString& tr, const QString& key)
{
    if (IsAccountFeed(tr) || tr == QLatin1String("NWS")) {
        // Account feeds and the news wire have no stock key: every
        // subscriber gets every record.
        auto& subs = FFeedSubs[tr];
        for (const auto& p : subs)
            if (p == r)
                return true;
        subs.append(r);
        return true;
    }
    if (!IsMarketFeed(tr))
        return false;
    auto& subs = FFeedSubs[tr + key];
    for (const auto& p : subs)
        if (p == r)
            return true;
    subs.append(r);
    const TSimStock* stock = FEngine->Universe().Find(key);
    if (stock && FeedOfMarket(tr, stock->Market)) {
        CheckDate();
        FEngine->Subscribe(key);
        if (!FLastVolume.contains(key))
            if (const TStockSim* sim = FEngine->Sim(key))
                FLastVolume.insert(key, sim->Volume());
    }
    ScheduleFlush();
    return true;
}

void TSimExchange::Unadvise(TSimReal* r, const QString& tr, const QString& key)
{
    if (IsAccountFeed(tr) || tr == QLatin1String("NWS")) {
        auto it = FFeedSubs.find(tr);
        if (it != FFeedSubs.end()) {
            it->removeIf([r](const QPointer<TSimReal>& p) { return p == r || !p; });
            if (it->isEmpty())
                FFeedSubs.erase(it);
        }
        return;
    }
    if (!IsMarketFeed(tr))
        return;
    auto it = FFeedSubs.find(tr + key);
    if (it == FFeedSubs.end())
        return;
    const int n = it->removeIf([r](const QPointer<TSimReal>& p) { return p == r; });
    if (it->isEmpty())
        FFeedSubs.erase(it);
    const TSimStock* stock = FEngine->Universe().Find(key);
    if (n > 0 && stock && FeedOfMarket(tr, stock->Market))
        FEngine->Unsubscribe(key);
}

void TSimExchange::CheckDate()
{
    const QDate d = FEngine->MarketDate();
    if (d != FDate) {
        FDate = d;
        FDayInfo.clear();
        FLastVolume.clear();
        FTrading->BeginDay(d);
    }
}

void TSimExchange::Pump()
{
    CheckDate();
    FEngine->Pump();
    PumpNews();
    FSignals->Feed(FClock.Now());
    Flush();
}

void TSimExchange::PumpNews()
{
    const QDateTime now = FClock.Now();
    const QDate day = now.date();
    if (day != FNewsDay) {
        FNewsDay = day;
        FNewsItems = FNews->Day(day);
        FNewsNext = 0;
        FNewsLog->Begin(day);
    }
    const int nowSec = now.time().msecsSinceStartOfDay() / 1000;
    const bool listening = FFeedSubs.contains(QStringLiteral("NWS"));
    while (FNewsNext < FNewsItems->size() && FNewsItems->at(FNewsNext).SecOfDay() <= nowSec) {
        const TSimNewsItem& it = FNewsItems->at(FNewsNext++);
        FNewsLog->Add(it);
        if (!listening || nowSec - it.SecOfDay() > kNewsCatchUpSec)
            continue;
        TSimRealRecord rec;
        rec.Kind = TSimRealKind::News;
        rec.Feed = QStringLiteral("NWS");
        rec.Fields = {{QStringLiteral("date"), it.Date},   {QStringLiteral("time"), it.Time},
                      {QStringLiteral("id"), it.Src},      {QStringLiteral("realkey"), it.Key},
                      {QStringLiteral("title"), it.Title}, {QStringLiteral("code"), it.Codes},
                      {QStringLiteral("bodysize"), QString::number(TSimNews::CodePageBytes(FNews->Body(it)))}};
        FQueue.push_back(std::move(rec));
    }
}

void TSimExchange::ScheduleFlush()
{
    if (FFlushQueued)
        return;
    FFlushQueued = true;
    QTimer::singleShot(0, this, [this]() {
        FFlushQueued = false;
        Pump();
    });
}

int TSimExchange::Flush()
{
    if (FFlushing)
        return 0;   // the outer loop delivers what a handler caused
    FFlushing = true;
    int n = 0;
    while (!FQueue.empty()) {
        const TSimRealRecord rec = std::move(FQueue.front());
        FQueue.pop_front();
        const QString tr = rec.FeedCode();
        const auto it = FFeedSubs.constFind(tr + rec.Code);
        if (it == FFeedSubs.cend())
            continue;
        const QVector<QPointer<TSimReal>> subs = *it;
        for (const QPointer<TSimReal>& r : subs) {
            if (!r)
                continue;
            r->Deliver(tr, &rec);
            ++n;
        }
    }
    FFlushing = false;
    return n;
}

const TSimDayInfo& TSimExchange::DayInfoOf(const QString& code)
{
    auto it = FDayInfo.find(code);
    if (it == FDayInfo.end())
        it = FDayInfo.insert(code, FEngine->DayInfo(code));
    return *it;
}

void TSimExchange::OnTrade(const QString& code, const TSimTrade& trade)
{
    const TSimStock* s = FEngine->Universe().Find(code);
    if (!s)
        return;
    const TSimDayInfo& info = DayInfoOf(code);
    TSimRealRecord rec;
    rec.Kind = TSimRealKind::Trade;
    rec.Market = s->Market;
    rec.Code = code;
    rec.PrevClose = info.PrevClose;
    rec.UpLimit = info.UpLimit;
    rec.DnLimit = info.DnLimit;
    rec.Volume = trade.Volume;
    rec.Trade = trade;
    FLastVolume.insert(code, trade.Volume);
    FQueue.push_back(std::move(rec));
}

void TSimExchange::OnWatchedTrade(const QString& code, const TSimTrade& trade)
{
    FTrading->OnMarketTrade(code, trade);
}

void TSimExchange::OnBook(const QString& code, const TSimBook& book)
{
    const TSimStock* s = FEngine->Universe().Find(code);
    if (!s)
        return;
    const TSimDayInfo& info = DayInfoOf(code);
    TSimRealRecord rec;
    rec.Kind = TSimRealKind::Book;
    rec.Market = s->Market;
    rec.Code = code;
    rec.PrevClose = info.PrevClose;
    rec.UpLimit = info.UpLimit;
    rec.DnLimit = info.DnLimit;
    rec.Volume = FLastVolume.value(code);
    rec.Book = book;
    FQueue.push_back(std::move(rec));
}
