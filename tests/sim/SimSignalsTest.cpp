// The signal service of the simulated world and the quotes its stocks are
// watched with: the rules on crafted trades, the service's agreement with
// the market's own minute bars (t8412), the stocks a day tracks, the JSON
// the program reads, t8407 / t1102 and their agreement with t8412, and the
// worker that plays the tracked days without the market engine.
#include "SimAsk.h"
#include "core/Clock.h"
#include "sim/DailyModel.h"
#include "sim/SimAnswers.h"
#include "sim/SimBackend.h"
#include "sim/SimQuery.h"
#include "sim/SimService.h"
#include "sim/SimSignals.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }


qint64 N(const TRow& r, const char* f) { return r.value(QString::fromLatin1(f)).toLongLong(); }

constexpr int kMin = 60000;
constexpr int k0900 = 9 * 3600 * 1000;

TSimTrade Trade(int ms, int price, qint64 qty, char side)
{
    TSimTrade t;
    t.TimeMs = ms;
    t.Price = price;
    t.Qty = qty;
    t.Side = side;
    return t;
}

// One minute of crafted trades: (price, qty, side) at 1-second steps.
struct TTick {
    int Price;
    qint64 Qty;
    char Side;
};

// Feeds minutes 09:00, 09:01, ... with the given trades and ends them all.
TSimLumenTracker Play(const QVector<QVector<TTick>>& minutes)
{
    TSimLumenTracker t(QStringLiteral("005930"), k0900, k0900 + 390 * kMin);
    for (int i = 0; i < minutes.size(); ++i) {
        int s = 1;
        for (const TTick& k : minutes[i])
            t.Add(Trade(k0900 + i * kMin + 1000 * s++, k.Price, k.Qty, k.Side));
    }
    t.CloseUpTo(k0900 + int(minutes.size()) * kMin - 1);
    return t;
}

QVector<QVector<TTick>> Flat(int n, int price = 1000, qint64 qty = 100)
{
    return QVector<QVector<TTick>>(n, QVector<TTick>{{price, qty, '+'}});
}

// ---- an exchange with its answers -------------------------------------------------

class SignalsWorld : public ::testing::Test {
protected:
    void Start(const QDateTime& at)
    {
        Clock = std::make_unique<TTestClock>(at);
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;
        Backend = CreateSimBackend(Cfg, *Clock);
    }

    TSimExchange& Ex() { return Backend->Exchange(); }

    TSimReply Ask(const QString& tr, const TIn& in, bool next = false) { return AskExchange(Ex(), tr, in, next); }

    static QVector<TRow> Rows(const TSimReply& r, const QString& block) { return ReplyRows(r, block); }

    // The program's same-time request: nday 2, 1-minute bars, 2000 a page,
    // compressed, up to today; every page, oldest bar first.
    QVector<TRow> TwoDays(const QString& code, int* pages = nullptr)
    {
        QVector<TRow> all;
        QString ctsDate, ctsTime;
        int n = 0;
        for (; n < 10; ++n) {
            TIn in{{"shcode", code}, {"ncnt", "1"},        {"qrycnt", "2000"},      {"nday", "2"},
                   {"sdate", ""},    {"stime", ""},        {"etime", ""},           {"comp_yn", "Y"},
                   {"edate", Clock->Now().date().toString("yyyyMMdd")}, {"cts_date", ctsDate}, {"cts_time", ctsTime}};
            const TSimReply r = Ask("t8412", in, n > 0);
            EXPECT_TRUE(r.HasData) << code.toStdString();
            all = Rows(r, "t8412OutBlock1") + all;
            const QVector<TRow> head = Rows(r, "t8412OutBlock");
            ctsDate = head.value(0).value("cts_date");
            ctsTime = head.value(0).value("cts_time");
            if (ctsDate.isEmpty())
                break;
        }
        if (pages)
            *pages = n + 1;
        return all;
    }

    TSimSignalsSetup St() { return TSimSignalsSetup::Of(Ex().Engine()); }

    TSimConfig Cfg;
    std::unique_ptr<TTestClock> Clock;
    std::unique_ptr<TSimBackend> Backend;
};

} // namespace

// ---- the rules --------------------------------------------------------------------------

TEST(SimLumenTracker, CapturesNeedABurstOneSidedAndEnoughHistory)
{
    struct {
        const char* Name;
        int Quiet;                 // flat minutes before the burst
        QVector<TTick> Burst;
        int Kind;                  // expected capture: 0 none, 1 buy, 2 sell
    } cases[] = {
        {"buy burst", 4, {{1000, 200, '+'}, {1005, 150, '+'}, {1010, 100, '-'}}, 1},
        {"sell burst", 4, {{1000, 200, '-'}, {995, 150, '-'}, {990, 100, '+'}}, 2},
        {"exactly 4x, 60% bought", 4, {{1000, 160, '-'}, {1010, 240, '+'}}, 1},
        {"just under 4x", 4, {{1000, 199, '-'}, {1010, 200, '+'}}, 0},
        {"buy share under 60%", 4, {{1000, 250, '-'}, {1010, 240, '+'}}, 0},
        {"buying but closes lower", 4, {{1010, 400, '+'}, {1000, 100, '+'}}, 0},
        {"only two minutes before", 2, {{1000, 200, '+'}, {1010, 300, '+'}}, 0},
        {"three minutes are enough", 3, {{1000, 200, '+'}, {1010, 300, '+'}}, 1},
    };
    for (const auto& c : cases) {
        QVector<QVector<TTick>> mins = Flat(c.Quiet);
        mins.append(c.Burst);
        const TSimLumenTracker t = Play(mins);
        QVector<TSimSignal> caps;
        for (const TSimSignal& s : t.Signals())
            if (s.Kind == TSimSignalKind::BuyCapture || s.Kind == TSimSignalKind::SellCapture)
                caps.append(s);
        ASSERT_EQ(caps.size(), c.Kind ? 1 : 0) << c.Name;
        if (!c.Kind)
            continue;
        const TSimSignal& s = caps[0];
        EXPECT_EQ(int(s.Kind), c.Kind) << c.Name;
        EXPECT_EQ(s.Hhmm, 900 + c.Quiet) << c.Name << ": timed at the minute's start";
        EXPECT_EQ(s.Ep, c.Burst.last().Price) << c.Name << ": the minute's close";
        EXPECT_EQ(s.TimeMs, k0900 + c.Quiet * kMin + 1000 * int(c.Burst.size())) << c.Name;
        EXPECT_EQ(t.Minutes()[c.Quiet].Hhmm, 901 + c.Quiet) << c.Name << ": named by its end, as the bars";
    }
}

TEST(SimLumenTracker, AStreakIsOneSignalFromItsStartThatGrowsAndAnyPauseEndsIt)
{
    // Closes: 1000, then up 5 minutes, a minute without trades, up 4, down 4.
    QVector<QVector<TTick>> m = {{{1000, 10, '+'}}};
    for (int p : {1001, 1002, 1003, 1004, 1005})
        m.append(QVector<TTick>{{p, 10, '+'}});
    m.append(QVector<TTick>());   // no trades: the close stays, the streak ends
    for (int p : {1006, 1007, 1008, 1009})
        m.append(QVector<TTick>{{p, 10, '+'}});
    for (int p : {1008, 1007, 1006, 1005})
        m.append(QVector<TTick>{{p, 10, '-'}});
    TSimLumenTracker t = Play(m);
    // No capture in an even flow: only the streaks.
    QVector<TSimSignal> got = t.Signals();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].Kind, TSimSignalKind::BuyStreak);
    EXPECT_EQ(got[0].Hhmm, 901);
    EXPECT_EQ(got[0].Ep, 1001);
    EXPECT_EQ(got[0].Peak, 5);
    EXPECT_EQ(got[1].Kind, TSimSignalKind::BuyStreak);
    EXPECT_EQ(got[1].Hhmm, 907);
    EXPECT_EQ(got[1].Peak, 4);
    EXPECT_EQ(got[2].Kind, TSimSignalKind::SellStreak);
    EXPECT_EQ(got[2].Hhmm, 911);
    EXPECT_EQ(got[2].Ep, 1008);
    EXPECT_EQ(got[2].Peak, 4);
    EXPECT_EQ(t.Minutes()[6].Close, 1005) << "a minute without trades keeps the close";
    EXPECT_EQ(t.Minutes()[6].Volume, 0);

    // Ending the same minutes again, or asking before a minute is over,
    // adds nothing; three rising minutes are no streak yet.
    t.CloseUpTo(k0900 + 15 * kMin - 1);
    EXPECT_EQ(t.Signals().size(), 3);
    TSimLumenTracker u(QStringLiteral("000660"), k0900, k0900 + 390 * kMin);
    for (int i = 0; i < 5; ++i)
        u.Add(Trade(k0900 + i * kMin + 5000, 1000 + i, 10, '+'));
    u.CloseUpTo(k0900 + 5 * kMin - 2);
    EXPECT_EQ(u.Minutes().size(), 4) << "the fifth minute is not over";
    EXPECT_TRUE(u.Signals().isEmpty()) << "three rises are no streak";
    u.CloseUpTo(k0900 + 5 * kMin - 1);
    ASSERT_EQ(u.Signals().size(), 1);
    EXPECT_EQ(u.Signals()[0].Peak, 4);
    EXPECT_EQ(u.Signals()[0].Hhmm, 901);
}

// ---- the tracked days against the market -------------------------------------------------

TEST_F(SignalsWorld, SignalsAreTradesOfTheMarketWithinTheMinuteBarsTheChartGets)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(11, 0, 0)));
    TSimSignals sig(St(), false);
    sig.Run(Clock->Now());
    const auto snap = sig.Snapshot();
    ASSERT_TRUE(snap->Ready());
    ASSERT_EQ(snap->Stocks.size(), TSimSignals::kTracked);
    ASSERT_GT(snap->Signals.size(), 20);

    QMap<QString, QMap<int, TRow>> bars;   // code -> end of minute -> today's bar
    for (const TSimLumenStock& s : snap->Stocks) {
        for (const TRow& r : TwoDays(s.Code))
            if (r.value("date") == QLatin1String("20261210"))
                bars[s.Code].insert(r.value("time").left(4).toInt(), r);
        // The service's minutes are the bars: the same trades.
        ASSERT_EQ(s.Minutes.size(), 120) << s.Code.toStdString();
        for (const TSimLumenMinute& m : s.Minutes) {
            if (m.Volume == 0)
                continue;
            const TRow b = bars[s.Code].value(m.Hhmm);
            ASSERT_EQ(N(b, "jdiff_vol"), m.Volume) << s.Code.toStdString() << " " << m.Hhmm;
            EXPECT_EQ(N(b, "open"), m.Open);
            EXPECT_EQ(N(b, "high"), m.High);
            EXPECT_EQ(N(b, "low"), m.Low);
            EXPECT_EQ(N(b, "close"), m.Close);
        }
    }
    QSet<int> kinds;
    for (const TSimSignal& s : snap->Signals) {
        kinds.insert(int(s.Kind));
        const int end = s.Hhmm % 100 == 59 ? s.Hhmm + 41 : s.Hhmm + 1;
        const TRow b = bars[s.Code].value(end);
        ASSERT_FALSE(b.isEmpty()) << s.Code.toStdString() << " " << s.Hhmm;
        EXPECT_GE(s.Ep, N(b, "low"));
        EXPECT_LE(s.Ep, N(b, "high"));
        EXPECT_EQ(s.Ep, N(b, "close"));
        EXPECT_EQ(s.TimeMs / kMin, (s.Hhmm / 100) * 60 + s.Hhmm % 100) << "the entry traded in the signal's minute";
    }
    EXPECT_EQ(kinds.size(), 4) << "a morning of 40 stocks shows every kind";
}

TEST_F(SignalsWorld, TrackedStocksAreAFunctionOfSeedAndDayAndIncludeSurgingOnes)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    const TSimSignalsSetup st = St();
    const QStringList a = TSimSignals::TrackedCodes(st, QDate(2026, 12, 10));
    EXPECT_EQ(a.size(), TSimSignals::kTracked);
    EXPECT_EQ(a, TSimSignals::TrackedCodes(st, QDate(2026, 12, 10)));
    const QStringList b = TSimSignals::TrackedCodes(st, QDate(2026, 12, 9));
    EXPECT_NE(a, b);
    TSimSignalsSetup other = st;
    other.Seed ^= 1;
    EXPECT_NE(a, TSimSignals::TrackedCodes(other, QDate(2026, 12, 10)));

    const TDailyModel model(st.Seed);
    int surging = 0;
    for (const QString& code : a) {
        const TSimStock* s = Ex().Engine().Universe().Find(code);
        ASSERT_TRUE(s);
        EXPECT_FALSE(s->Etf);
        surging += model.Activity(*s, QDate(2026, 12, 10)) >= 3 * model.Activity(*s, QDate(2026, 12, 9));
    }
    EXPECT_GE(surging, 3);

    // The same day played in steps or at once publishes the same lists.
    TSimSignals once(st, false), steps(st, false);
    for (int m = 0; m <= 60; m += 7)
        steps.Run(QDateTime(QDate(2026, 12, 10), QTime(9, m % 60, 13)));
    steps.Run(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    once.Run(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    EXPECT_EQ(steps.Snapshot()->Latest, once.Snapshot()->Latest);
    EXPECT_EQ(steps.Snapshot()->LmTop, once.Snapshot()->LmTop);
}

// The program's DT rule: a buy-side signal between 09:05 and 10:00, and at
// some minute up to 10:06 today's volume so far is at least three times the
// previous day's at the same minute while the price is at or above the day's
// average price. Worked out here from the bars t8412 answers.
TEST_F(SignalsWorld, ATypicalDayHasAStockTheDtRuleTakes)
{
    for (const QDate& day : {QDate(2026, 12, 1), QDate(2026, 12, 10)}) {
        SCOPED_TRACE(day.toString().toStdString());
        Start(QDateTime(day, QTime(10, 7, 0)));
        const QString prevDay = PrevTradingDay(day).toString("yyyyMMdd");
        TSimSignals sig(St(), false);
        sig.Run(Clock->Now());
        const auto snap = sig.Snapshot();
        QSet<QString> early;
        for (const TSimSignal& s : snap->Signals)
            if ((s.Kind == TSimSignalKind::BuyCapture || s.Kind == TSimSignalKind::BuyStreak) && s.Hhmm >= 905
                && s.Hhmm <= 1000)
                early.insert(s.Code);
        ASSERT_FALSE(early.isEmpty());

        QStringList dt;
        for (const QString& code : early) {
            QMap<int, qint64> prevCum;
            qint64 cum = 0, todayCum = 0;
            double pv = 0;
            bool found = false;
            for (const TRow& r : TwoDays(code)) {
                const int hm = r.value("time").left(4).toInt();
                if (r.value("date") == prevDay) {
                    cum += N(r, "jdiff_vol");
                    prevCum.insert(hm, cum);
                    continue;
                }
                todayCum += N(r, "jdiff_vol");
                pv += double(N(r, "close")) * N(r, "jdiff_vol");
                if (hm < 930 || hm > 1000)
                    continue;
                auto it = prevCum.upperBound(hm);
                const qint64 prev = it == prevCum.begin() ? 0 : std::prev(it).value();
                if (prev > 0 && todayCum >= 3 * prev && N(r, "close") >= pv / todayCum)
                    found = true;
            }
            if (found)
                dt << code;
        }
        EXPECT_FALSE(dt.isEmpty()) << "early buy signals: " << QStringList(early.values()).join(',').toStdString();
    }
}

// ---- what the program reads ---------------------------------------------------------------

TEST_F(SignalsWorld, JsonShapesParseAsTheProgramReadsThem)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 20)));
    TSimSignals sig(St(), false);
    sig.Run(Clock->Now());
    const auto snap = sig.Snapshot();
    const TSimService svc(nullptr, nullptr, std::shared_ptr<const TSimSignals>(&sig, [](const TSimSignals*) {}));

    const TSimServiceReply latest = svc.Get(QStringLiteral("/lumen/latest"));
    ASSERT_EQ(latest.Status, 200);
    EXPECT_EQ(latest.ContentType, "application/json; charset=utf-8");
    const QJsonObject o = QJsonDocument::fromJson(latest.Body).object();
    EXPECT_EQ(o.value("date").toString(), "20261210");
    EXPECT_EQ(o.value("updated").toString(), "103020");
    int elements = 0;
    QSet<QString> codeForms, timeTypes;
    for (const char* name : {"lm03", "lm03r", "lm08", "lm08r"}) {
        ASSERT_TRUE(o.value(name).isArray()) << name;
        for (const QJsonValue& v : o.value(name).toArray()) {
            const QJsonObject e = v.toObject();
            ++elements;
            // The code: sc, else code as A + 6 digits or a KR ISIN.
            QString code = e.value("sc").toString();
            if (code.isEmpty()) {
                const QString alt = e.value("code").toString();
                code = alt.size() == 12 && alt.startsWith("KR") ? alt.mid(3, 6) : alt.size() == 7 ? alt.mid(1) : alt;
                codeForms.insert(alt.left(1));
            }
            EXPECT_TRUE(std::any_of(snap->Stocks.cbegin(), snap->Stocks.cend(),
                                    [&code](const TSimLumenStock& t) { return t.Code == code; }))
                << code.toStdString();
            // The time: its digits, the first four being hhmm.
            const QJsonValue t = e.value("time");
            timeTypes.insert(t.isDouble() ? "number" : t.toString().contains(':') ? "hh:mm:ss" : "digits");
            QString digits;
            for (QChar c : t.isDouble() ? QString::number(t.toInteger()) : t.toString())
                if (c.isDigit())
                    digits += c;
            const int hhmm = digits.left(4).toInt();
            EXPECT_TRUE(digits.size() >= 4 && hhmm >= 900 && hhmm <= 1030) << digits.toStdString();
            EXPECT_GT(e.value("ep").toInt(), 0);
            EXPECT_EQ(e.contains("peak"), QByteArray(name).startsWith("lm08")) << name;
        }
    }
    EXPECT_EQ(elements, snap->Signals.size());
    EXPECT_EQ(codeForms, (QSet<QString>{"A", "K"}));
    EXPECT_EQ(timeTypes, (QSet<QString>{"number", "hh:mm:ss", "digits"}));

    // The series of a tracked stock and the top list agree with each other.
    const TSimLumenStock& first = snap->Stocks.first();
    const QJsonObject series =
        QJsonDocument::fromJson(svc.Get(QStringLiteral("/lumen/series?code=") + first.Isin).Body).object();
    const QJsonArray rows = series.value("rows").toArray();
    ASSERT_EQ(rows.size(), 90);
    // rows named by the minute's start, as the signals' times are
    EXPECT_EQ(rows.first().toArray().at(0).toString(), "0900");
    EXPECT_EQ(rows.last().toArray().at(0).toString(), "1029");
    for (int i = 1; i < rows.size(); ++i)
        EXPECT_GE(rows[i].toArray().at(1).toInteger(), rows[i - 1].toArray().at(1).toInteger());
    const QJsonObject top = QJsonDocument::fromJson(svc.Get(QStringLiteral("/lumen/pub?n=lmtop&t=1796900000")).Body).object();
    EXPECT_EQ(top.value("upto").toString(), "1030");
    EXPECT_EQ(top.value("made").toString().size(), 16);
    const QJsonArray items = top.value("items").toArray();
    ASSERT_EQ(items.size(), TSimSignals::kTracked);
    const QJsonObject it0 = items.first().toObject();
    EXPECT_EQ(it0.value("code").toString(), first.Code);
    EXPECT_EQ(it0.value("isin").toString(), first.Isin);
    EXPECT_EQ(it0.value("b").toInteger(), rows.last().toArray().at(1).toInteger());
    EXPECT_EQ(it0.value("s").toInteger(), rows.last().toArray().at(2).toInteger());
    EXPECT_GT(it0.value("b").toInteger() + it0.value("s").toInteger(), 0);

    // Other stocks, bad ISINs; "made" moves with the content only.
    QString untracked;
    for (const TSimStock& s : Ex().Engine().Universe().Stocks()) {
        if (!snap->ByIsin(s.Isin)) {
            untracked = s.Isin;
            break;
        }
    }
    EXPECT_EQ(svc.Get(QStringLiteral("/lumen/series?code=") + untracked).Body, R"({"date":"20261210","rows":[]})");
    for (const char* bad : {"/lumen/series", "/lumen/series?code=", "/lumen/series?code=KR7005930004",
                            "/lumen/series?code=005930", "/lumen/series?code=KR70059300031"})
        EXPECT_EQ(svc.Get(QString::fromLatin1(bad)).Status, 400) << bad;
    EXPECT_EQ(svc.Get(QStringLiteral("/lumen/series?code=kr7005930003")).Status, 200);
    sig.Run(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 50)));
    const QJsonObject same = QJsonDocument::fromJson(svc.Get(QStringLiteral("/lumen/pub?n=lmtop")).Body).object();
    EXPECT_EQ(same.value("made"), top.value("made"));
    sig.Run(QDateTime(QDate(2026, 12, 10), QTime(10, 31, 0)));
    const QJsonObject later = QJsonDocument::fromJson(svc.Get(QStringLiteral("/lumen/pub?n=lmtop")).Body).object();
    EXPECT_EQ(later.value("upto").toString(), "1031");
    EXPECT_NE(later.value("made"), top.value("made"));
}

TEST_F(SignalsWorld, BeforeTenToNineTheListIsThePreviousDaysFinalOne)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(8, 49, 0)));
    struct {
        QDateTime At;
        const char* Date;
        const char* Updated;
        bool Empty;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 10), QTime(8, 49, 59)), "20261209", "153000", false},
        {QDateTime(QDate(2026, 12, 10), QTime(8, 50, 0)), "20261210", "085000", true},
        {QDateTime(QDate(2026, 12, 10), QTime(9, 0, 59)), "20261210", "090059", true},
        {QDateTime(QDate(2026, 12, 12), QTime(13, 0, 0)), "20261211", "153000", false},   // Saturday
        {QDateTime(QDate(2026, 12, 14), QTime(7, 0, 0)), "20261211", "153000", false},    // Monday early
    };
    TSimSignals sig(St(), false);
    for (const auto& c : cases) {
        sig.Run(c.At);
        const QJsonObject o = QJsonDocument::fromJson(sig.Snapshot()->Latest).object();
        EXPECT_EQ(o.value("date").toString(), c.Date) << c.At.toString().toStdString();
        EXPECT_EQ(o.value("updated").toString(), c.Updated) << c.At.toString().toStdString();
        int n = 0;
        for (const char* name : {"lm03", "lm03r", "lm08", "lm08r"})
            n += o.value(name).toArray().size();
        EXPECT_EQ(n == 0, c.Empty) << c.At.toString().toStdString();
    }
}

// ---- the worker -------------------------------------------------------------------------

TEST_F(SignalsWorld, TheWorkerNeedsOnlyItsCopyAndPublishesWhatTheCallerWouldWorkOut)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(9, 40, 0)));
    const TSimSignalsSetup st = St();
    Backend.reset();   // no engine, no exchange from here on

    TSimSignals here(st, false);
    here.Run(QDateTime(QDate(2026, 12, 10), QTime(9, 40, 0)));
    TSimSignals worker(st);
    EXPECT_FALSE(worker.Snapshot()->Ready());
    worker.Feed(QDateTime(QDate(2026, 12, 10), QTime(9, 39, 58)));
    worker.Feed(QDateTime(QDate(2026, 12, 10), QTime(9, 40, 0)));   // within the step: not taken
    ASSERT_TRUE(worker.WaitIdle());
    EXPECT_EQ(worker.Published(), 1);
    worker.Feed(QDateTime(QDate(2026, 12, 10), QTime(9, 40, 3)));
    ASSERT_TRUE(worker.WaitIdle());
    EXPECT_EQ(worker.Published(), 2);
    EXPECT_EQ(worker.Snapshot()->Signals.size(), here.Snapshot()->Signals.size());
    EXPECT_EQ(worker.Snapshot()->LmTop, here.Snapshot()->LmTop);

    // Destroyed while catching up a whole day: it stops.
    auto busy = std::make_unique<TSimSignals>(st);
    busy->Feed(QDateTime(QDate(2026, 12, 10), QTime(15, 0, 0)));
    QElapsedTimer t;
    t.start();
    busy.reset();
    EXPECT_LT(t.elapsed(), 10000);
}

TEST_F(SignalsWorld, TheExchangeFeedsItsServiceFromItsPump)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(9, 50, 0)));
    const auto sig = Ex().Signals();
    ASSERT_TRUE(sig);
    const TSimService svc(Ex());
    // Worked out off this thread; until then the service says it is not ready.
    const TSimServiceReply first = svc.Get(QStringLiteral("/lumen/latest"));
    EXPECT_TRUE(first.Status == 503 || first.Status == 200);
    sig->WaitIdle();
    const int before = sig->Published();
    ASSERT_GE(before, 1);
    Clock->Advance(6000);
    Ex().Pump();
    sig->WaitIdle();
    EXPECT_EQ(sig->Published(), before + 1);
    const QJsonObject o = QJsonDocument::fromJson(svc.Get(QStringLiteral("/lumen/latest")).Body).object();
    EXPECT_EQ(o.value("updated").toString(), "095006");
}

// ---- t8407 / t1102 --------------------------------------------------------------------------

TEST_F(SignalsWorld, QuotesAgreeWithTheLiveQuoteAndThePreviousDaysBars)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    const QStringList codes = TSimSignals::TrackedCodes(St(), QDate(2026, 12, 10)).mid(0, 20);
    ASSERT_EQ(codes.size(), 20);
    const TSimReply multi = Ask("t8407", {{"nrec", "20"}, {"shcode", codes.join(QString())}});
    const QVector<TRow> rows = Rows(multi, "t8407OutBlock1");
    ASSERT_EQ(rows.size(), 20);
    for (int i = 0; i < codes.size(); ++i) {
        const QString& code = codes[i];
        SCOPED_TRACE(code.toStdString());
        TSimQuote q;
        ASSERT_TRUE(Ex().Engine().Quote(code, &q));
        const TRow& m = rows[i];
        EXPECT_EQ(m.value("shcode"), code);
        EXPECT_EQ(N(m, "price"), q.Price);
        EXPECT_EQ(N(m, "volume"), q.Volume);
        EXPECT_EQ(N(m, "value"), (q.Amount + 500000) / 1000000);
        EXPECT_EQ(N(m, "jnilclose"), q.PrevClose);
        EXPECT_EQ(N(m, "offerho"), q.Book.Ask[0]);

        // Both days in one compressed page; the previous day's volume is
        // the sum of its bars.
        int pages = 0;
        const QVector<TRow> bars = TwoDays(code, &pages);
        EXPECT_EQ(pages, 1);
        qint64 prevVol = 0, todayVol = 0;
        QSet<QString> dates;
        for (const TRow& b : bars) {
            dates.insert(b.value("date"));
            (b.value("date") == QLatin1String("20261209") ? prevVol : todayVol) += N(b, "jdiff_vol");
        }
        EXPECT_EQ(dates, (QSet<QString>{"20261209", "20261210"}));
        EXPECT_EQ(todayVol, q.Volume);
        const TRow one = Rows(Ask("t1102", {{"shcode", code}}), "t1102OutBlock").value(0);
        EXPECT_EQ(one.value("shcode"), code);
        EXPECT_EQ(N(one, "jnilvolume"), prevVol);
        EXPECT_GT(prevVol, 0);
        EXPECT_EQ(N(one, "volume"), q.Volume);
        EXPECT_EQ(N(one, "price"), q.Price);
    }
}

TEST_F(SignalsWorld, BarsOfTwoLongDaysComeInTwoPages)
{
    Cfg.AlwaysOpen = true;
    Start(QDateTime(QDate(2026, 12, 10), QTime(23, 0, 0)));
    int pages = 0;
    const QVector<TRow> bars = TwoDays("000660", &pages);
    EXPECT_EQ(pages, 2);
    QMap<QString, int> perDay;
    for (const TRow& b : bars)
        ++perDay[b.value("date")];
    EXPECT_GT(perDay.value("20261209"), 1300);
    EXPECT_GT(perDay.value("20261210"), 1300);
}

TEST_F(SignalsWorld, BadMultiQuoteRequestsAreRefusedAndUnknownCodesLeftOut)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    struct {
        const char* Nrec;
        QString Codes;
        const char* Code;   // expected message; empty: data
        int Rows;
    } cases[] = {
        {"2", "005930000660", "", 2},
        {"2", "005930999999", "", 1},
        {"1", "005930000660", "", 1},          // only the counted codes
        {"2", "999998999999", "10101", 0},
        {"0", "005930", "10001", 0},
        {"51", QString("005930").repeated(51), "10001", 0},
        {"50", QString("005930").repeated(50), "", 50},
        {"x", "005930", "10001", 0},
        {"", "005930", "10001", 0},
        {"3", "005930000660", "10001", 0},     // fewer codes than counted
    };
    for (const auto& c : cases) {
        const TSimReply r = Ask("t8407", {{"nrec", c.Nrec}, {"shcode", c.Codes}});
        SCOPED_TRACE(std::string(c.Nrec) + " " + c.Codes.left(24).toStdString());
        if (*c.Code) {
            EXPECT_FALSE(r.HasData);
            ASSERT_EQ(r.Before.size(), 1);
            EXPECT_EQ(r.Before[0].Code, c.Code);
            EXPECT_FALSE(r.Before[0].Text.isEmpty());
        } else {
            EXPECT_EQ(Rows(r, "t8407OutBlock1").size(), c.Rows);
        }
    }
    const TSimReply unknown = Ask("t1102", {{"shcode", "999999"}});
    EXPECT_FALSE(unknown.HasData);
    ASSERT_EQ(unknown.Before.size(), 1);
    EXPECT_EQ(unknown.Before[0].Code, "10101");
}

// t1102 needs the previous day played: through a query object it is held
// while the day is played off this thread, then answered with it.
TEST_F(SignalsWorld, PreviousVolumeThroughAQueryWaitsForThePreviousDay)
{
    Start(QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0)));
    QObject owner;
    TXASession* session = Backend->CreateSession(&owner);
    ASSERT_TRUE(session->ConnectServer("h", 1));
    ASSERT_TRUE(session->Login(Cfg.UserId, Cfg.Password, "", 0));
    QElapsedTimer t;
    t.start();
    while (!Ex().IsLoggedIn() && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(Ex().IsLoggedIn());
    TXAQuery* q = Backend->CreateQuery(&owner);
    int got = 0;
    QObject::connect(q, &TXAQuery::ReceiveData, [&got](const QString&) { ++got; });
    q->SetResFileName(Res("t1102"));
    q->SetFieldData("t1102InBlock", "shcode", 0, "035420");
    ASSERT_GE(q->Request(false), 0);
    t.restart();
    while (got == 0 && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(got, 1);
    qint64 sum = 0;
    for (const TRow& b : TwoDays("035420"))
        if (b.value("date") == QLatin1String("20261209"))
            sum += N(b, "jdiff_vol");
    EXPECT_EQ(q->GetFieldData("t1102OutBlock", "jnilvolume", 0).toLongLong(), sum);
    EXPECT_GT(sum, 0);
}
