// The simulated exchange is as strict as the broker: each transaction's calls
// per second (and the optional 10-minute chart cap), continuation requests
// that must carry their key, and the broker's own order message codes.
#include "broker/ReqQueue.h"
#include "broker/ResLayout.h"
#include "core/Clock.h"
#include "sim/MarketEngine.h"
#include "sim/PriceGrid.h"
#include "sim/SimAnswers.h"
#include "sim/SimBackend.h"
#include "sim/SimHistoryAnswers.h"
#include "sim/SimLimits.h"
#include "sim/SimQuery.h"
#include "sim/SimTrading.h"
#include <QCoreApplication>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }

using TIn = std::vector<std::pair<QString, QString>>;

// One grid step below / above a grid price.
int Down(int p) { return FloorToGrid(p - 1); }
int Up(int p) { return CeilToGrid(qint64(p) + 1); }

class SimStrictTest : public ::testing::Test {
protected:
    TTestClock Clock{QDateTime(QDate(2026, 12, 10), QTime(10, 30, 0))};
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
    std::unique_ptr<TSimQuery> Q;
    QStringList Msgs;   // "code:text" of every message the query received
    int Data = 0;

    void Start()
    {
        Cfg.PumpMs = 0;
        Cfg.AnswerDelayMs = 0;
        Cfg.StatePath.clear();
        Backend = CreateSimBackend(Cfg, Clock);
        Ex().SetPastInBackground(false);
        QString code, msg;
        Ex().Connect();
        Ex().Login(Cfg.UserId, Cfg.Password, &code, &msg);
        ASSERT_EQ(code, "0000");
        Q = std::make_unique<TSimQuery>(&Ex());
        QObject::connect(Q.get(), &TXAQuery::ReceiveData, [this](const QString&) { ++Data; });
        QObject::connect(Q.get(), &TXAQuery::ReceiveMessage, [this](bool, const QString& c, const QString& m) {
            Msgs << c + ':' + m;
        });
    }
    void SetUp() override { Start(); }

    TSimExchange& Ex() { return Backend->Exchange(); }

    // Request(next) of `tr` through the query object, as the program sends it.
    int Send(const QString& tr, const TIn& in = {}, bool next = false)
    {
        Q->SetResFileName(Res(tr));
        for (const auto& [field, value] : in)
            Q->SetFieldData(tr + QStringLiteral("InBlock"), field, 0, value);
        return Q->Request(next);
    }

    // The answer of `tr`, `next` or not, without spending a call.
    TSimReply Ask(const QString& tr, const TIn& in, bool next)
    {
        TResLayout layout;
        EXPECT_TRUE(LoadResLayout(Res(tr), layout)) << tr.toStdString();
        TSimInputs inputs;
        for (const auto& [field, value] : in)
            inputs.insert(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), field, 0), value);
        return Ex().Answer(tr, layout, inputs, next);
    }

    static QString Field(const TSimReply& r, const QString& block, const QString& field, int row = 0)
    {
        const TSimBlockData* b = r.Block(block);
        const int f = b ? b->IndexOf(field) : -1;
        return b && f >= 0 && row >= 0 && row < b->Rows.size() ? b->Rows[row][f] : QString();
    }
    static int RowCount(const TSimReply& r, const QString& block)
    {
        const TSimBlockData* b = r.Block(block);
        return b ? int(b->Rows.size()) : 0;
    }
};

// ---- per-second budgets -------------------------------------------------------

TEST_F(SimStrictTest, EachTransactionIsRefusedBeyondItsBudgetForOneSecond)
{
    const struct {
        const char* Tr;
        TIn In;
        int PerSec;
    } cases[] = {
        {"t1101", {{"shcode", "005930"}}, 10},
        {"t0167", {}, 10},
        {"CSPAT00800", {{"AcntNo", "55501234501"}, {"InptPwd", "0000"}, {"OrgOrdNo", "999"}, {"IsuNo", "005930"}, {"OrdQty", "1"}}, 3},
        {"t0425", {{"accno", "55501234501"}, {"passwd", "0000"}}, 2},
        {"t1301", {{"shcode", "005930"}}, 2},
        {"CSPAQ12300", {{"AcntNo", "55501234501"}, {"Pwd", "0000"}}, 1},
        {"t8412", {{"shcode", "005930"}, {"ncnt", "1"}, {"qrycnt", "10"}}, 1},
        {"t1637", {{"shcode", "005930"}, {"gubun2", "0"}}, 1},
    };
    int refused = 0;
    for (const auto& c : cases) {
        const QString tr = QString::fromLatin1(c.Tr);
        SCOPED_TRACE(c.Tr);
        EXPECT_EQ(Q->GetTRCountPerSec(tr), c.PerSec);
        for (int i = 0; i < c.PerSec; ++i)
            ASSERT_GT(Send(tr, c.In), 0) << "call " << i;
        EXPECT_EQ(Send(tr, c.In), kSimRateRefused);
        EXPECT_TRUE(Q->LastError().contains(QStringLiteral("전송 제한"))) << Q->LastError().toStdString();
        EXPECT_EQ(Ex().RateRefusals(), ++refused);
        // Another transaction has its own budget.
        EXPECT_GT(Send(QStringLiteral("t1102"), {{"shcode", "005930"}}), 0);
        Clock.Advance(999);
        EXPECT_EQ(Send(tr, c.In), kSimRateRefused) << "still inside the second";
        ++refused;
        Clock.Advance(1);
        // The refused calls spent nothing: the whole budget is back.
        for (int i = 0; i < c.PerSec; ++i)
            ASSERT_GT(Send(tr, c.In), 0) << "after the second, call " << i;
        Clock.Advance(1000);
    }
    Ex().DeliverDue();
    EXPECT_EQ(Ex().RateRefusals(), refused);
}

TEST_F(SimStrictTest, TheWindowSlidesOverEachCall)
{
    const TIn in{{"accno", "55501234501"}, {"passwd", "0000"}};
    // t0425 allows 2 a second: (ms after the start, accepted)
    const std::pair<int, bool> steps[] = {{0, true}, {600, true}, {900, false}, {1000, true},
                                          {1100, false}, {1599, false}, {1600, true}};
    int at = 0;
    for (const auto& [ms, ok] : steps) {
        Clock.Advance(ms - at);
        at = ms;
        EXPECT_EQ(Send("t0425", in) > 0, ok) << "at " << ms;
    }
    // Continuation pages spend the same budget.
    Clock.Advance(1000);
    EXPECT_GT(Send("t0425", in), 0);
    EXPECT_GT(Send("t0425", {{"cts_ordno", "5"}}, true), 0);
    EXPECT_EQ(Send("t0425", {{"cts_ordno", "5"}}, true), kSimRateRefused);
}

TEST_F(SimStrictTest, TheBudgetsCanBeSwitchedOff)
{
    Ex().SetRateLimits(false);
    for (int i = 0; i < 20; ++i)
        ASSERT_GT(Send("CSPAQ12300", {{"AcntNo", "55501234501"}, {"Pwd", "0000"}}), 0);
    EXPECT_EQ(Ex().RateRefusals(), 0);
}

TEST_F(SimStrictTest, ChartCapPerTenMinutesIsOffUnlessAsked)
{
    const TIn in{{"shcode", "005930"}, {"ncnt", "1"}, {"qrycnt", "10"}};
    EXPECT_EQ(Cfg.ChartCap10Min, 0);
    EXPECT_EQ(Q->GetTRCountLimit("t8412"), 0);
    for (int i = 0; i < 300; ++i) {
        ASSERT_GT(Send("t8412", in), 0) << i;
        Clock.Advance(1000);
    }

    Ex().SetChartCap(5);
    Clock.Advance(kSimChartWindowMs);
    EXPECT_EQ(Q->GetTRCountLimit("t8412"), 5);
    EXPECT_EQ(Q->GetTRCountLimit("t1101"), 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_GT(Send("t8412", in), 0) << i;
        Clock.Advance(1000);
    }
    EXPECT_EQ(Send("t8412", in), kSimRateRefused);
    EXPECT_GT(Send("t8410", {{"shcode", "005930"}, {"gubun", "2"}, {"qrycnt", "5"}}), 0) << "each chart TR counts alone";
    for (int i = 0; i < 10; ++i)
        EXPECT_GT(Send("t1101", {{"shcode", "005930"}}), 0) << "not a chart TR";
    Clock.Advance(kSimChartWindowMs - 5000 - 1);
    EXPECT_EQ(Send("t8412", in), kSimRateRefused) << "the first call is 1 ms short of ten minutes old";
    Clock.Advance(1);
    EXPECT_GT(Send("t8412", in), 0);
}

// The program's queue never spaces a transaction closer than the budget the
// exchange enforces (one table of the broker's published limits).
TEST(SimStrictPacing, QueueSpacingCoversEveryBudget)
{
    int n = 0;
    const TTrBudget* budgets = TrBudgets(&n);
    ASSERT_GT(n, 20);
    for (int i = 0; i < n; ++i) {
        const QString tr = QString::fromLatin1(budgets[i].Tr);
        const int interval = (1000 + budgets[i].PerSec - 1) / budgets[i].PerSec;
        EXPECT_GE(TReqQueue::SpacingFor(TReqQueue::KeyOf(tr)), interval) << budgets[i].Tr;
    }
}

// ---- continuation ---------------------------------------------------------------

TEST_F(SimStrictTest, ContinuationNeedsTheKeyAndTheLastPageHasNone)
{
    // Five orders on a two-row order list: three t0425 pages.
    Cfg.OrderListRows = 2;
    Start();
    TSimQuote quote;
    ASSERT_TRUE(Ex().Engine().Quote("005930", &quote));
    for (int i = 0; i < 5; ++i) {
        const TSimOrderAnswer a = Ex().Trading().Place("005930", '2', 1, Down(quote.Book.Bid[0]));
        ASSERT_TRUE(a.Ok) << a.Msg.Text.toStdString();
    }
    const QString acct = Cfg.AccountNo;

    struct TCase {
        const char* Tr;
        TIn First;
        // Copies the answer's key into the next request's input; false on the last page.
        std::function<bool(const TSimReply&, TIn&)> Next;
        QString Rows;   // block of the page's rows
        int Total;      // rows of all pages together; -1: not checked
    };
    auto keys = [](const QString& block, std::vector<QString> fields) {
        return [block, fields](const TSimReply& r, TIn& in) {
            bool any = false;
            for (const QString& f : fields) {
                const QString v = Field(r, block, f).trimmed();
                any = any || (!v.isEmpty() && v != QLatin1String("0"));
                in.push_back({f, v});
            }
            return any;
        };
    };
    const std::vector<TCase> cases = {
        {"t0425", {{"accno", acct}, {"passwd", "0000"}, {"sortgb", "2"}}, keys("t0425OutBlock", {"cts_ordno"}),
         "t0425OutBlock1", 5},
        {"t1301", {{"shcode", "005930"}, {"starttime", "0900"}, {"endtime", "0901"}},
         keys("t1301OutBlock", {"cts_time"}), "t1301OutBlock1", -1},
        {"t8410", {{"shcode", "005930"}, {"gubun", "2"}, {"qrycnt", "4"}, {"sdate", "20261127"}},
         keys("t8410OutBlock", {"cts_date"}), "t8410OutBlock1", -1},
        {"t8412", {{"shcode", "005930"}, {"ncnt", "30"}, {"nday", "1"}, {"qrycnt", "2"}},
         keys("t8412OutBlock", {"cts_date", "cts_time"}), "t8412OutBlock1", 3},
        {"t1637", {{"shcode", "005930"}, {"gubun1", "0"}, {"gubun2", "0"}},
         [](const TSimReply& r, TIn& in) {
             const int n = RowCount(r, "t1637OutBlock1");
             in.push_back({"time", Field(r, "t1637OutBlock1", "time", n - 1)});
             return n > 0;
         },
         "t1637OutBlock1", 90},
        {"t0150", {{"accno", acct}}, keys("t0150OutBlock", {"cts_medosu", "cts_expcode", "cts_price", "cts_middiv"}),
         "t0150OutBlock1", -1},
        {"t0424", {{"accno", acct}, {"passwd", "0000"}}, keys("t0424OutBlock", {"cts_expcode"}), "t0424OutBlock1", -1},
    };
    for (const TCase& c : cases) {
        const QString tr = QString::fromLatin1(c.Tr);
        SCOPED_TRACE(c.Tr);
        // A next request with an empty key is refused, data never comes.
        const TSimReply noKey = Ask(tr, c.First, true);
        EXPECT_FALSE(noKey.HasData);
        ASSERT_EQ(noKey.Before.size(), 1);
        EXPECT_EQ(noKey.Before[0].Code, SimMsg::kNoNextKey);
        EXPECT_TRUE(noKey.Before[0].Text.contains(QStringLiteral("연속조회"))) << noKey.Before[0].Text.toStdString();

        // Page after page with the key each answer gives, until one says there is no more.
        TSimReply page = Ask(tr, c.First, false);
        ASSERT_TRUE(page.HasData);
        int pages = 1, rows = RowCount(page, c.Rows);
        TIn in = c.First;
        while (c.Next(page, in)) {
            ASSERT_LT(pages, 200) << "the key never ran out";
            page = Ask(tr, in, true);
            ASSERT_TRUE(page.HasData) << (page.Before.isEmpty() ? "" : page.Before[0].Text.toStdString());
            ++pages;
            rows += RowCount(page, c.Rows);
            in = c.First;
        }
        if (c.Total >= 0)
            EXPECT_EQ(rows, c.Total);
        if (tr == "t0150" || tr == "t0424") {
            EXPECT_EQ(pages, 1) << "answered in one page";
        } else {
            EXPECT_GT(pages, 1) << "the case must page";
        }
    }
}

// Continuation goes through the query object: Request(true) without a key is
// refused with the message alone, with the key it is answered.
TEST_F(SimStrictTest, QueryRequestCarriesTheNextFlag)
{
    const TIn first{{"shcode", "005930"}, {"ncnt", "30"}, {"nday", "1"}, {"qrycnt", "2"}};
    ASSERT_GT(Send("t8412", first, true), 0);
    Ex().DeliverDue();
    EXPECT_EQ(Data, 0);
    ASSERT_EQ(Msgs.size(), 1);
    EXPECT_TRUE(Msgs[0].startsWith(SimMsg::kNoNextKey + ':')) << Msgs[0].toStdString();

    Clock.Advance(1000);
    ASSERT_GT(Send("t8412", first, false), 0);
    Ex().DeliverDue();
    ASSERT_EQ(Data, 1);
    const QString d = Q->GetFieldData("t8412OutBlock", "cts_date", 0), t = Q->GetFieldData("t8412OutBlock", "cts_time", 0);
    ASSERT_FALSE(d.isEmpty());
    Clock.Advance(1000);
    TIn next = first;
    next.push_back({"cts_date", d});
    next.push_back({"cts_time", t});
    ASSERT_GT(Send("t8412", next, true), 0);
    Ex().DeliverDue();
    EXPECT_EQ(Data, 2);
}

// ---- t1637 ---------------------------------------------------------------------

TEST_F(SimStrictTest, ProgramTradingPagesByTimeOnly)
{
    const TIn first{{"shcode", "005930"}, {"gubun1", "0"}, {"gubun2", "0"}};
    const TSimReply p1 = Ask("t1637", first, false);
    ASSERT_EQ(RowCount(p1, "t1637OutBlock1"), TSimHistoryAnswers::kProgRows);
    EXPECT_EQ(Field(p1, "t1637OutBlock", "cts_idx"), "0");
    const QString last = Field(p1, "t1637OutBlock1", "time", TSimHistoryAnswers::kProgRows - 1);
    // cts_idx is not a page key: the same first page comes back.
    TIn byIdx = first;
    byIdx.push_back({"cts_idx", "60"});
    EXPECT_EQ(Field(Ask("t1637", byIdx, false), "t1637OutBlock1", "time"), Field(p1, "t1637OutBlock1", "time"));
    // The chart flag is accepted as a first page too.
    TIn chart = first;
    chart.push_back({"cts_idx", "9999"});
    EXPECT_EQ(Field(Ask("t1637", chart, false), "t1637OutBlock1", "time"), Field(p1, "t1637OutBlock1", "time"));
    // By time: the next page starts one minute before the last row.
    TIn byTime = first;
    byTime.push_back({"time", last});
    const TSimReply p2 = Ask("t1637", byTime, true);
    const QString next = Field(p2, "t1637OutBlock1", "time");
    ASSERT_FALSE(next.isEmpty());
    EXPECT_EQ(QTime::fromString(next, "HHmmss").secsTo(QTime::fromString(last, "HHmmss")), 60);
    // Minutes are named hhmm00 by their end, the session's first is 090100.
    for (int i = 0; i < RowCount(p2, "t1637OutBlock1"); ++i)
        EXPECT_TRUE(Field(p2, "t1637OutBlock1", "time", i).endsWith("00"));
    TIn oldest = first;
    oldest.push_back({"time", "090200"});
    const TSimReply end = Ask("t1637", oldest, true);
    ASSERT_EQ(RowCount(end, "t1637OutBlock1"), 1);
    EXPECT_EQ(Field(end, "t1637OutBlock1", "time"), "090100");
    oldest.back().second = "090100";
    EXPECT_EQ(RowCount(Ask("t1637", oldest, true), "t1637OutBlock1"), 0) << "nothing before the first minute";
}

// ---- orders ---------------------------------------------------------------------

TEST_F(SimStrictTest, OrdersAnswerWithTheBrokersCodes)
{
    const TSimDayInfo info = Ex().Engine().DayInfo("005930");
    ASSERT_GT(info.DnLimit, 0);
    TSimQuote quote;
    ASSERT_TRUE(Ex().Engine().Quote("005930", &quote));
    const int rest = Down(Down(quote.Book.Bid[0]));
    TSimTrading& t = Ex().Trading();

    const TSimOrderAnswer buy = t.Place("005930", '2', 2, rest);
    const TSimOrderAnswer other = t.Place("005930", '2', 1, rest);
    ASSERT_TRUE(buy.Ok);
    ASSERT_TRUE(other.Ok);
    EXPECT_EQ(buy.Msg.Code, "00040");
    EXPECT_EQ(buy.Msg.Text, QStringLiteral("매수 주문이 완료되었습니다."));

    const struct {
        const char* What;
        std::function<TSimOrderAnswer()> Run;
        QString Code;
        QString Text;   // empty: not checked
    } cases[] = {
        {"modify below the lower limit", [&] { return t.Modify(buy.Order.OrdNo, "005930", 1, Down(info.DnLimit)); },
         "03181", QStringLiteral("주문가격이 하한가 미달입니다.")},
        {"new order below the lower limit", [&] { return t.Place("005930", '2', 1, Down(info.DnLimit)); }, "03181",
         QStringLiteral("주문가격이 하한가 미달입니다.")},
        {"above the upper limit", [&] { return t.Place("005930", '2', 1, Up(info.UpLimit)); }, "01427", {}},
        {"selling more than held", [&] { return t.Place("005930", '1', 5, rest); }, "01478", {}},
        {"modify accepted", [&] { return t.Modify(buy.Order.OrdNo, "005930", 1, Down(rest)); }, "00462", {}},
        {"cancel accepted", [&] { return t.Cancel(other.Order.OrdNo, "005930", 1); }, "00156",
         QStringLiteral("취소주문이 완료되었습니다.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TSimOrderAnswer a = c.Run();
        EXPECT_EQ(a.Msg.Code, c.Code) << a.Msg.Text.toStdString();
        if (!c.Text.isEmpty())
            EXPECT_EQ(a.Msg.Text, c.Text);
    }
}

} // namespace
