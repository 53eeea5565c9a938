// The simulated exchange behind the broker contract: session and login,
// query answers (server time, stock list, quote, account check), broker
// messages and provoked faults, real-time feeds, and the account state file.
#include "WaitFor.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "sim/PriceGrid.h"
#include "sim/SimAnswers.h"
#include "sim/SimBackend.h"
#include "sim/SimQuery.h"
#include "sim/SimReal.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <limits>
#include <memory>

// Readable failure output for Qt text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(", ").toStdString() << ']'; }

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }
QString Res(const QString& code) { return QStringLiteral(KESTREL_RES_DIR) + code + QStringLiteral(".res"); }

// Runs the event loop for a while (for "nothing arrives" checks).
void Idle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// What one query object received, in order.
struct TRecorder {
    QStringList Events;   // "data:<tr>" or "msg:<code>:<text>"
    int Data = 0;
    QString LastCode, LastText;

    void Attach(TXAQuery* q)
    {
        QObject::connect(q, &TXAQuery::ReceiveData, [this](const QString& tr) {
            Events << QStringLiteral("data:") + tr;
            ++Data;
        });
        QObject::connect(q, &TXAQuery::ReceiveMessage, [this](bool, const QString& code, const QString& msg) {
            Events << QStringLiteral("msg:") + code + QLatin1Char(':') + msg;
            LastCode = code;
            LastText = msg;
        });
    }
};

class SimBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Cfg.PumpMs = 0;          // tests pump by hand
        Cfg.AnswerDelayMs = 0;
        Cfg.RateLimits = false;   // requests go in bursts on a still clock; SimStrictTest checks the budgets
        Backend = CreateSimBackend(Cfg, Clock);
    }

    TSimExchange& Ex() { return Backend->Exchange(); }

    void LogIn() { Session = LogIn(*Backend); }
    TXASession* LogIn(TSimBackend& backend)
    {
        TXASession* session = backend.CreateSession(&Owner);
        [&] {
            ASSERT_TRUE(session->ConnectServer("demo.local", 20001));
            QString code;
            QObject::connect(session, &TXASession::LoginResult, [&code](const QString& c, const QString&) { code = c; });
            ASSERT_TRUE(session->Login(Cfg.UserId, Cfg.Password, "", 0));
            ASSERT_TRUE(WaitFor([&] { return !code.isEmpty(); }));
            ASSERT_EQ(code, "0000");
        }();
        return session;
    }
    // A query for `tr` with its recorder; the answer is awaited by Ask.
    TXAQuery* NewQuery(const QString& tr, TRecorder& rec)
    {
        TXAQuery* q = Backend->CreateQuery(&Owner);
        q->SetResFileName(Res(tr));
        rec.Attach(q);
        return q;
    }

    // Sends and waits until the answer's events have all arrived.
    void Ask(TXAQuery* q, TRecorder& rec)
    {
        rec.Events.clear();
        rec.Data = 0;
        ASSERT_GE(q->Request(false), 0);
        ASSERT_TRUE(WaitFor([&] { return !rec.Events.isEmpty(); }));
        Idle(5);
    }

    TTestClock Clock;   // Thursday 2026-12-10 09:30:00, market open
    TSimConfig Cfg;
    std::unique_ptr<TSimBackend> Backend;
    QObject Owner;
    TXASession* Session = nullptr;
};

// ---- session ----------------------------------------------------------------

TEST_F(SimBackendTest, LoginOutcomesArriveLaterThroughTheEventLoop)
{
    struct Case { QString id, pw, code; const char* says; } cases[] = {
        {"demo", "demo1234", "0000", "로그인 성공"},
        {"demo", "wrong", "8004", "비밀번호"},
        {"nobody", "demo1234", "8003", "아이디"},
    };
    for (const Case& c : cases) {
        TXASession* s = Backend->CreateSession(&Owner);
        ASSERT_TRUE(s->ConnectServer("h", 1));
        QString code, msg;
        QObject::connect(s, &TXASession::LoginResult, [&](const QString& cc, const QString& m) { code = cc; msg = m; });
        ASSERT_TRUE(s->Login(c.id, c.pw, "", 0));
        EXPECT_TRUE(code.isEmpty()) << "never inside the call";
        ASSERT_TRUE(WaitFor([&] { return !code.isEmpty(); })) << c.id.toStdString();
        EXPECT_EQ(code, c.code) << c.id.toStdString();
        EXPECT_TRUE(msg.contains(U(c.says))) << msg.toStdString();
        EXPECT_EQ(s->GetAccountListCount() > 0, c.code == "0000");
        s->DisconnectServer();
        EXPECT_FALSE(s->IsConnected());
    }
}

TEST_F(SimBackendTest, AccountsAreListedWithSeparators)
{
    LogIn();
    ASSERT_EQ(Session->GetAccountListCount(), 2);
    EXPECT_EQ(Session->GetAccountList(0), "555-01-234501");
    EXPECT_EQ(Session->GetAccountList(1), "555-01-234599");
    EXPECT_EQ(Session->GetAccountList(2), "");
}

TEST_F(SimBackendTest, SessionFaults)
{
    TXASession* s = Backend->CreateSession(&Owner);
    EXPECT_FALSE(s->Login("demo", "demo1234", "", 0)) << "not connected";
    Ex().SetConnectFails(true);
    EXPECT_FALSE(s->ConnectServer("h", 1));
    Ex().SetConnectFails(false);
    ASSERT_TRUE(s->ConnectServer("h", 1));
    Ex().SetLoginSilent(true);
    bool got = false;
    QObject::connect(s, &TXASession::LoginResult, [&](const QString&, const QString&) { got = true; });
    EXPECT_TRUE(s->Login("demo", "demo1234", "", 0));
    Idle(40);
    EXPECT_FALSE(got);
}

// ---- queries ----------------------------------------------------------------

TEST_F(SimBackendTest, ServerTimeCarriesTheConfiguredOffset)
{
    LogIn();
    TRecorder rec;
    TXAQuery* q = NewQuery("t0167", rec);
    Clock.Advance(123);   // 09:30:00.123 on the PC, +350 ms on the server
    Ask(q, rec);
    ASSERT_EQ(rec.Data, 1);
    EXPECT_EQ(q->GetFieldData("t0167OutBlock", "dt", 0), "20261210");
    EXPECT_EQ(q->GetFieldData("t0167OutBlock", "time", 0), "093000473000");
    EXPECT_EQ(q->GetBlockData("t0167OutBlock"), "20261210093000473000");
    EXPECT_EQ(q->GetBlockCount("t0167OutBlock"), 1);
    EXPECT_EQ(q->Decompress("t0167OutBlock"), 1);
    EXPECT_LT(q->Decompress("nosuch"), 0);
}

TEST_F(SimBackendTest, StockListHoldsTheWholeUniverse)
{
    LogIn();
    TRecorder rec;
    TXAQuery* q = NewQuery("t8430", rec);
    int counts[3] = {};
    for (int g = 0; g < 3; ++g) {
        q->SetResFileName(Res("t8430"));
        q->SetFieldData("t8430InBlock", "gubun", 0, QString::number(g));
        Ask(q, rec);
        ASSERT_EQ(rec.Data, 1);
        counts[g] = q->GetBlockCount("t8430OutBlock");
        for (int i = 0; i < counts[g]; ++i) {
            const QString gubun = q->GetFieldData("t8430OutBlock", "gubun", i);
            if (g > 0) {
                ASSERT_EQ(gubun, QString::number(g)) << i;
            } else {
                ASSERT_EQ(q->GetFieldData("t8430OutBlock", "expcode", i).size(), 12) << i;
                const int prev = q->GetFieldData("t8430OutBlock", "jnilclose", i).toInt();
                ASSERT_EQ(q->GetFieldData("t8430OutBlock", "uplmtprice", i).toInt(), UpperLimit(prev)) << i;
                if (q->GetFieldData("t8430OutBlock", "shcode", i) == "005930") {
                    EXPECT_EQ(q->GetFieldData("t8430OutBlock", "hname", i), U("삼성전자"));
                    EXPECT_EQ(gubun, "1");
                }
            }
        }
    }
    EXPECT_EQ(counts[0], Ex().Engine().Universe().Size());
    EXPECT_GE(counts[0], 2400);
    EXPECT_GT(counts[1], 0);
    EXPECT_GT(counts[2], 0);
    EXPECT_EQ(counts[1] + counts[2], counts[0]);
    EXPECT_EQ(q->GetFieldData("t8430OutBlock", "hname", counts[2]), "") << "past the last record";
    EXPECT_EQ(q->GetFieldData("t8430OutBlock", "nosuch", 0), "");
    EXPECT_EQ(q->GetFieldData("nosuch", "hname", 0), "");
}

TEST_F(SimBackendTest, QuoteIsConsistent)
{
    LogIn();
    TRecorder rec;
    TXAQuery* q = NewQuery("t1101", rec);
    q->SetFieldData("t1101InBlock", "shcode", 0, "005930");
    Ask(q, rec);
    ASSERT_EQ(rec.Data, 1);
    auto f = [&](const QString& name) { return q->GetFieldData("t1101OutBlock", name, 0); };
    auto n = [&](const QString& name) { return ParseInt(f(name)); };
    EXPECT_EQ(f("hname"), U("삼성전자"));
    EXPECT_EQ(f("shcode"), "005930");
    const qint64 price = n("price"), prev = n("jnilclose");
    EXPECT_GE(price, n("dnlmtprice"));
    EXPECT_LE(price, n("uplmtprice"));
    EXPECT_EQ(n("uplmtprice"), UpperLimit(int(prev)));
    EXPECT_EQ(n("change"), price - prev);
    const QString sign = f("sign");
    EXPECT_EQ(sign, price > prev ? "2" : price < prev ? "5" : "3");
    EXPECT_NEAR(ParseNum(f("diff")), (price - prev) * 100.0 / prev, 0.006);
    EXPECT_GT(n("volume"), 0) << "09:30, the market trades";
    EXPECT_GE(n("high"), price);
    EXPECT_LE(n("low"), price);
    EXPECT_GT(n("offerho1"), n("bidho1"));
    qint64 totAsk = 0, totBid = 0;
    for (int i = 1; i <= 10; ++i) {
        const QString k = QString::number(i);
        if (i > 1 && n("offerho" + k) > 0) {
            EXPECT_GT(n("offerho" + k), n("offerho" + QString::number(i - 1)));
        }
        if (i > 1 && n("bidho" + k) > 0) {
            EXPECT_LT(n("bidho" + k), n("bidho" + QString::number(i - 1)));
        }
        totAsk += n("offerrem" + k);
        totBid += n("bidrem" + k);
    }
    EXPECT_EQ(n("offer"), totAsk);
    EXPECT_EQ(n("bid"), totBid);
    EXPECT_EQ(rec.Events.last(), "msg:00000:" + U("조회가 완료되었습니다."));
}

TEST_F(SimBackendTest, UnknownStockAndUnservedTransactionGetAMessageAndNoData)
{
    LogIn();
    TRecorder rec;
    TXAQuery* q = NewQuery("t1101", rec);
    q->SetFieldData("t1101InBlock", "shcode", 0, "999999");
    Ask(q, rec);
    EXPECT_EQ(rec.Data, 0);
    ASSERT_EQ(rec.Events.size(), 1);
    EXPECT_EQ(rec.LastCode, SimMsg::kUnknownStock);
    EXPECT_TRUE(rec.LastText.contains("999999"));

    // A transaction the exchange does not serve (a layout of our own).
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("t9999.res"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BEGIN_FUNCTION_MAP\n\t.Func,test(t9999),t9999,block,headtype=A;\n\tBEGIN_DATA_MAP\n"
                "\tt9999InBlock,in,input;\n\tbegin\n\t\tcode,shcode,shcode,char,6;\n\tend\n"
                "\tt9999OutBlock,out,output;\n\tbegin\n\t\tname,hname,hname,char,20;\n\tend\n"
                "\tEND_DATA_MAP\nEND_FUNCTION_MAP\n");
    }
    q->SetResFileName(path);
    q->SetFieldData("t9999InBlock", "shcode", 0, "005930");
    Ask(q, rec);
    EXPECT_EQ(rec.Data, 0);
    EXPECT_EQ(rec.LastCode, SimMsg::kNoService);
    EXPECT_NE(rec.LastCode[0], '0') << "a missing service must be visible";
}

TEST_F(SimBackendTest, AccountCheck)
{
    LogIn();
    ASSERT_TRUE(Ex().Account().SetHolding("005930", 10, 70000));
    struct Case { QString acct, pw; bool data; QString code; const char* says; } cases[] = {
        {"55501234501", "0000", true, SimMsg::kAcctDone, ""},
        {"555-01-234501", "0000", true, SimMsg::kAcctDone, ""},
        {"55501234501", "1234", false, SimMsg::kBadAcctPw, "계좌 비밀번호"},
        {"55501234502", "0000", false, SimMsg::kUnknownAcct, "계좌번호"},
    };
    for (const Case& c : cases) {
        TRecorder rec;
        TXAQuery* q = NewQuery("CSPAQ12300", rec);
        const QString ib = "CSPAQ12300InBlock1";
        q->SetFieldData(ib, "RecCnt", 0, "1");
        q->SetFieldData(ib, "AcntNo", 0, c.acct);
        q->SetFieldData(ib, "Pwd", 0, c.pw);
        q->SetFieldData(ib, "BalCreTp", 0, "0");
        Ask(q, rec);
        EXPECT_EQ(rec.Data, c.data ? 1 : 0) << c.acct.toStdString() << " " << c.pw.toStdString();
        ASSERT_FALSE(rec.Events.isEmpty());
        EXPECT_TRUE(rec.Events.first().startsWith("msg:" + c.code)) << rec.Events.first().toStdString();
        EXPECT_TRUE(rec.LastText.contains(U(c.says))) << rec.LastText.toStdString();
        if (!c.data)
            continue;
        EXPECT_EQ(q->GetFieldData("CSPAQ12300OutBlock2", "Dps", 0), "100000000");
        ASSERT_EQ(q->GetBlockCount("CSPAQ12300OutBlock3"), 1);
        EXPECT_EQ(q->GetFieldData("CSPAQ12300OutBlock3", "IsuNo", 0), "A005930");
        EXPECT_EQ(q->GetFieldData("CSPAQ12300OutBlock3", "BalQty", 0), "10");
        const qint64 eval = ParseInt(q->GetFieldData("CSPAQ12300OutBlock3", "BalEvalAmt", 0));
        EXPECT_EQ(eval, 10 * ParseInt(q->GetFieldData("CSPAQ12300OutBlock3", "NowPrc", 0)));
        EXPECT_EQ(ParseInt(q->GetFieldData("CSPAQ12300OutBlock2", "DpsastTotamt", 0)), 100000000 + eval);
    }
}

TEST_F(SimBackendTest, RequestsThatCannotBeSentAreRefused)
{
    TRecorder rec;
    TXAQuery* q = NewQuery("t0167", rec);
    EXPECT_LT(q->Request(false), 0) << "not logged in";
    LogIn();
    EXPECT_GE(q->Request(false), 0);

    QTemporaryDir dir;
    const QString garbage = dir.filePath("t1101.res");
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a layout\n");
    f.close();
    const QString renamed = dir.filePath("t9999.res");
    ASSERT_TRUE(QFile::copy(Res("t1101"), renamed));
    for (const QString& path : {dir.filePath("t0167.res"), garbage, renamed, Res("S3_"), QString()}) {
        q->SetResFileName(path);
        EXPECT_LT(q->Request(false), 0) << path.toStdString();
    }
    Idle(10);
    EXPECT_EQ(rec.Data, 1) << "only the valid request was answered";
}

TEST_F(SimBackendTest, ProvokedFaults)
{
    LogIn();
    const QString limit = U("초당 전송제한 건수를 넘었습니다 (전송제한)");
    struct Case {
        const char* name;
        std::function<void(TSimExchange&)> arm;
        bool sent;
        QStringList events;
    } cases[] = {
        {"reject", [](TSimExchange& e) { e.FailNextRequest("t0167", -7); }, false, {}},
        {"reject any", [](TSimExchange& e) { e.FailNextRequest(); }, false, {}},
        {"reject other tr", [](TSimExchange& e) { e.FailNextRequest("t8430"); }, true, {"data:t0167", "msg:00000"}},
        {"routine message", [](TSimExchange& e) { e.MessageOnNextRequest("t0167", "00000", U("조회완료")); }, true,
         {"msg:00000"}},
        {"error -21", [limit](TSimExchange& e) { e.MessageOnNextRequest("t0167", "-21", limit); }, true, {"msg:-21"}},
        {"message then data", [](TSimExchange& e) { e.MessageOnNextRequest("t0167", "-21", "x", true); }, true,
         {"msg:-21", "data:t0167", "msg:00000"}},
        {"never answered", [](TSimExchange& e) { e.DropNextAnswer("t0167"); }, true, {}},
    };
    for (const Case& c : cases) {
        TRecorder rec;
        TXAQuery* q = NewQuery("t0167", rec);
        c.arm(Ex());
        const int rc = q->Request(false);
        EXPECT_EQ(rc >= 0, c.sent) << c.name;
        if (QString(c.name) == "reject") {
            EXPECT_EQ(rc, -7);
        }
        Idle(30);
        QStringList got;
        for (const QString& e : rec.Events)
            got << e.section(':', 0, 1);
        EXPECT_EQ(got, c.events) << c.name;
        if (QString(c.name) == "error -21") {
            EXPECT_TRUE(rec.LastText.contains(U("전송제한")));
        }
        // One shot: the next request is answered normally.
        Ask(q, rec);
        EXPECT_EQ(rec.Data, 1) << c.name;
    }
}

TEST_F(SimBackendTest, AnswerDelayIsHonoured)
{
    LogIn();
    Ex().SetAnswerDelayMs(60);
    TRecorder rec;
    TXAQuery* q = NewQuery("t0167", rec);
    ASSERT_GE(q->Request(false), 0);
    // The delay runs on the exchange's clock: nothing while it stands still,
    // nothing 59 ms on, the answer at 60 ms.
    Idle(15);
    Clock.Advance(59);
    Idle(15);
    EXPECT_TRUE(rec.Events.isEmpty());
    Clock.Advance(1);
    EXPECT_TRUE(WaitFor([&] { return rec.Data == 1; }));
}

// Yesterday's and today's 1-minute bars of a stock: yesterday must be played.
void AskTwoDaysOfMinutes(TXAQuery* q)
{
    q->SetResFileName(Res("t8412"));
    q->SetFieldData("t8412InBlock", "shcode", 0, "005930");
    q->SetFieldData("t8412InBlock", "ncnt", 0, "1");
    q->SetFieldData("t8412InBlock", "qrycnt", 0, "500");
    q->SetFieldData("t8412InBlock", "nday", 0, "2");
    q->SetFieldData("t8412InBlock", "edate", 0, "99999999");
    q->SetFieldData("t8412InBlock", "comp_yn", 0, "N");
}

QStringList MinuteRows(TXAQuery* q)
{
    QStringList rows;
    const QString b = "t8412OutBlock1";
    for (int i = 0; i < q->GetBlockCount(b); ++i)
        rows << q->GetFieldData(b, "date", i) + ' ' + q->GetFieldData(b, "time", i) + ' ' + q->GetFieldData(b, "close", i)
                    + ' ' + q->GetFieldData(b, "jdiff_vol", i);
    return rows;
}

TEST_F(SimBackendTest, PastDaysArePlayedAwayFromTheAnswerAndAnsweredTheSame)
{
    // At a high trade rate a past day costs a lot of trades to play.
    Cfg.TradesPerSec = 30;
    Backend = CreateSimBackend(Cfg, Clock);
    LogIn();
    ASSERT_TRUE(Ex().PastInBackground());
    TRecorder bars, time, twice;
    TXAQuery* q = NewQuery("t8412", bars);
    TXAQuery* q2 = NewQuery("t8412", twice);
    AskTwoDaysOfMinutes(q);
    AskTwoDaysOfMinutes(q2);
    TXAQuery* t = NewQuery("t0167", time);
    ASSERT_GE(q->Request(false), 0);
    ASSERT_GE(q2->Request(false), 0);
    ASSERT_GE(t->Request(false), 0);
    // The bars wait for yesterday; the server time asked after them does not.
    ASSERT_TRUE(WaitFor([&] { return time.Data == 1; }));
    EXPECT_EQ(bars.Data + twice.Data, 0);
    EXPECT_EQ(Ex().Held(), 2);
    ASSERT_TRUE(WaitFor([&] { return bars.Data == 1 && twice.Data == 1; }, 20000));
    EXPECT_EQ(Ex().Held(), 0);
    const QStringList got = MinuteRows(q);
    EXPECT_EQ(MinuteRows(q2), got);
    const QString yesterday = "20261209";
    EXPECT_EQ(got.filter(QRegularExpression("^" + yesterday)).size(), 390) << "a whole past session";
    EXPECT_GT(got.filter(QRegularExpression("^20261210")).size(), 0);

    // The same bars played inside the answer.
    std::unique_ptr<TSimBackend> plain = CreateSimBackend(Cfg, Clock);
    plain->Exchange().SetPastInBackground(false);
    LogIn(*plain);
    TRecorder ref;
    TXAQuery* r = plain->CreateQuery(&Owner);
    ref.Attach(r);
    AskTwoDaysOfMinutes(r);
    ASSERT_GE(r->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return ref.Data == 1; }));
    EXPECT_EQ(MinuteRows(r), got);

    // Asked again, the days played are kept: answered at once.
    bars.Data = 0;
    ASSERT_GE(q->Request(false), 0);
    EXPECT_EQ(Ex().Held(), 0);
    ASSERT_TRUE(WaitFor([&] { return bars.Data == 1; }));
}

TEST_F(SimBackendTest, AHeldAnswerWhoseQueryOrExchangeIsGoneIsDropped)
{
    Cfg.TradesPerSec = 30;
    Backend = CreateSimBackend(Cfg, Clock);
    LogIn();
    TRecorder a, b;
    TXAQuery* gone = NewQuery("t8412", a);
    TXAQuery* kept = NewQuery("t8412", b);
    AskTwoDaysOfMinutes(gone);
    AskTwoDaysOfMinutes(kept);
    ASSERT_GE(gone->Request(false), 0);
    ASSERT_GE(kept->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return Ex().Held() == 2; }));
    delete gone;
    ASSERT_TRUE(WaitFor([&] { return b.Data == 1; }, 20000));
    EXPECT_EQ(a.Data, 0);

    // The exchange shut down while a day is being played: the worker stops,
    // nothing is delivered, nothing crashes.
    std::unique_ptr<TSimBackend> other = CreateSimBackend(Cfg, Clock);
    LogIn(*other);
    TRecorder c;
    TXAQuery* q = other->CreateQuery(&Owner);
    c.Attach(q);
    AskTwoDaysOfMinutes(q);
    q->SetFieldData("t8412InBlock", "nday", 0, "9");
    ASSERT_GE(q->Request(false), 0);
    ASSERT_TRUE(WaitFor([&] { return other->Exchange().Held() == 1; }));
    QElapsedTimer t;
    t.start();
    delete q;
    other.reset();
    EXPECT_LT(t.elapsed(), 2000) << "a worker stops within a slice of its day";
    Idle(50);
    EXPECT_EQ(c.Data, 0);
}

// ---- real-time ------------------------------------------------------------------

TEST(SimRealRecordTest, NumbersReadAsTheyAreWritten)
{
    for (qint64 v : {qint64(0), qint64(7), qint64(-1), qint64(-30500), qint64(1234567), qint64(2147483647),
                     std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
        TSimRealRecord r;
        r.Kind = TSimRealKind::Book;
        r.Volume = v;
        r.Book.Ask[3] = int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
        EXPECT_EQ(r.Field("volume"), QString::number(v));
        EXPECT_EQ(r.Field("offerho4"), QString::number(r.Book.Ask[3]));
    }
}

struct TFeedLog {
    QString Tr;
    int Count = 0;
    int Foreign = 0;   // records of another code
    int Blank = 0;     // records with an empty price field
    QString LastPrice, LastVolume, LastAsk1, LastBid1, LastTime;
};

TEST_F(SimBackendTest, TradeAndBookFeedsFollowTheMarketAndAgreeWithTheQuote)
{
    LogIn();
    const QString code = "005930";   // KOSPI
    std::map<QString, TFeedLog> logs;
    std::map<QString, TXAReal*> feeds;
    for (const char* tr : {"S3_", "K3_", "H1_", "HA_"}) {
        TXAReal* r = Backend->CreateReal(&Owner);
        r->SetResFileName(Res(tr));
        r->SetFieldData("InBlock", "shcode", code);
        TFeedLog& log = logs[tr];
        QObject::connect(r, &TXAReal::ReceiveRealData, [r, &log, code](const QString& t) {
            log.Tr = t;
            ++log.Count;
            if (r->GetFieldData("OutBlock", "shcode") != code)
                ++log.Foreign;
            const bool trade = t == "S3_" || t == "K3_";
            const QString p = r->GetFieldData("OutBlock", trade ? "price" : "offerho1");
            if (p.isEmpty())
                ++log.Blank;
            if (trade) {
                log.LastPrice = p;
                log.LastVolume = r->GetFieldData("OutBlock", "volume");
                log.LastTime = r->GetFieldData("OutBlock", "chetime");
                const QString side = r->GetFieldData("OutBlock", "cgubun");
                if (side != "+" && side != "-")
                    ++log.Blank;
            } else {
                log.LastAsk1 = p;
                log.LastBid1 = r->GetFieldData("OutBlock", "bidho1");
            }
        });
        r->AdviseRealData();
        feeds[tr] = r;
    }
    Idle(5);   // the delivery a subscription schedules
    Clock.Advance(8000);
    Ex().Pump();
    EXPECT_GT(logs["S3_"].Count, 0);
    EXPECT_GT(logs["H1_"].Count, logs["S3_"].Count) << "every trade changes the book too";
    EXPECT_EQ(logs["K3_"].Count, 0) << "a KOSPI stock has no KOSDAQ trades";
    EXPECT_EQ(logs["HA_"].Count, 0);
    for (auto& [tr, log] : logs) {
        EXPECT_EQ(log.Foreign, 0) << tr.toStdString();
        EXPECT_EQ(log.Blank, 0) << tr.toStdString();
    }
    EXPECT_EQ(logs["S3_"].Tr, "S3_");
    EXPECT_EQ(logs["S3_"].LastTime.size(), 6);
    EXPECT_EQ(feeds["S3_"]->GetFieldData("OutBlock", "price"), "") << "only during the emission";

    // The quote brings the stock up to the clock: what happened since the
    // last pump is delivered before the answer.
    const int before = logs["S3_"].Count;
    Clock.Advance(5000);
    TRecorder rec;
    TXAQuery* q = NewQuery("t1101", rec);
    q->SetFieldData("t1101InBlock", "shcode", 0, code);
    Ask(q, rec);
    EXPECT_GT(logs["S3_"].Count, before);
    EXPECT_EQ(q->GetFieldData("t1101OutBlock", "price", 0), logs["S3_"].LastPrice);
    EXPECT_EQ(q->GetFieldData("t1101OutBlock", "volume", 0), logs["S3_"].LastVolume);
    EXPECT_EQ(q->GetFieldData("t1101OutBlock", "offerho1", 0), logs["H1_"].LastAsk1);
    EXPECT_EQ(q->GetFieldData("t1101OutBlock", "bidho1", 0), logs["H1_"].LastBid1);

    // Withdrawing the trade feed stops its records; the book feed goes on.
    feeds["S3_"]->UnadviseRealDataWithKey(code);
    const int trades = logs["S3_"].Count, books = logs["H1_"].Count;
    Clock.Advance(8000);
    Ex().Pump();
    EXPECT_EQ(logs["S3_"].Count, trades);
    EXPECT_GT(logs["H1_"].Count, books);
    feeds["H1_"]->UnadviseRealData();
    const int after = logs["H1_"].Count;
    Clock.Advance(8000);
    Ex().Pump();
    EXPECT_EQ(logs["H1_"].Count, after);
    EXPECT_FALSE(Ex().Engine().IsSubscribed(code)) << "withdrawn, and the KOSDAQ feeds never asked the market for it";
}

TEST_F(SimBackendTest, KosdaqStockFeedsOnlyTheKosdaqCodes)
{
    LogIn();
    QString kosdaq;
    for (const TSimStock& s : Ex().Engine().Universe().Stocks())
        if (s.Market == TSimMarket::Kosdaq) {
            kosdaq = s.Code;
            break;
        }
    ASSERT_FALSE(kosdaq.isEmpty());
    std::map<QString, int> counts;
    for (const char* tr : {"S3_", "K3_", "H1_", "HA_"}) {
        TXAReal* r = Backend->CreateReal(&Owner);
        r->SetResFileName(Res(tr));
        r->SetFieldData("InBlock", "shcode", kosdaq);
        QObject::connect(r, &TXAReal::ReceiveRealData, [&counts](const QString& t) { ++counts[t]; });
        r->AdviseRealData();
    }
    // Quieter stocks trade less often: give it a minute.
    for (int i = 0; i < 60 && counts["K3_"] == 0; ++i) {
        Clock.Advance(1000);
        Ex().Pump();
    }
    EXPECT_GT(counts["K3_"], 0);
    EXPECT_GT(counts["HA_"], 0);
    EXPECT_EQ(counts["S3_"], 0);
    EXPECT_EQ(counts["H1_"], 0);
}

TEST_F(SimBackendTest, DeletedFeedReceivesNothing)
{
    LogIn();
    int n = 0;
    {
        TXAReal* r = Backend->CreateReal(&Owner);
        r->SetResFileName(Res("H1_"));
        r->SetFieldData("InBlock", "shcode", "005930");
        QObject::connect(r, &TXAReal::ReceiveRealData, [&n](const QString&) { ++n; });
        r->AdviseRealData();
        delete r;
    }
    Clock.Advance(5000);
    Ex().Pump();
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(Ex().Engine().IsSubscribed("005930"));
}

// ---- account state ------------------------------------------------------------------

TEST(SimAccountTest, StateSurvivesARestartInAPrivateFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("account.json");
    {
        TSimAccount a(path);
        EXPECT_TRUE(a.LoadProblem().isEmpty());
        EXPECT_EQ(a.Cash(), TSimAccount::kDefaultCash);
        ASSERT_TRUE(a.SetCash(12345678));
        ASSERT_TRUE(a.SetHolding("005930", 7, 71234.5));
        ASSERT_TRUE(a.SetHolding("000660", 3, 150000));
        ASSERT_TRUE(a.SetHolding("000660", 0, 0));
        EXPECT_FALSE(a.SetHolding("bad", 1, 1));
        EXPECT_FALSE(a.SetCash(-1));
    }
    EXPECT_EQ(QFile::permissions(path),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser) << "0600";
    TSimAccount b(path);
    EXPECT_TRUE(b.LoadProblem().isEmpty());
    EXPECT_EQ(b.Cash(), 12345678);
    ASSERT_EQ(b.Holdings().size(), 1);
    EXPECT_EQ(b.Holdings()[0].Code, "005930");
    EXPECT_EQ(b.Holdings()[0].Qty, 7);
    EXPECT_DOUBLE_EQ(b.Holdings()[0].AvgPrice, 71234.5);
}

// Whatever the exchange accepts is loaded again: an order on a stock priced
// above 100,000,000 won must not make the next start set the account aside.
TEST(SimAccountTest, EveryAcceptedOrderLoadsAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("account.json");
    {
        TSimAccount a(path);
        TSimAccountState st = a.State();
        TSimOrder o;
        o.OrdNo = st.NextOrdNo++;
        o.Code = QStringLiteral("005930");
        o.Price = 1500000000;
        o.Qty = 100000000;
        o.TimeMs = 9 * 3600 * 1000;
        st.Orders.append(o);
        st.OrdersDate = QDate(2026, 12, 10);
        ASSERT_TRUE(a.Commit(st, false)) << a.SaveError().toStdString();
    }
    TSimAccount b(path);
    EXPECT_TRUE(b.LoadProblem().isEmpty()) << b.LoadProblem().toStdString();
    ASSERT_EQ(b.Orders().size(), 1);
    EXPECT_EQ(b.Orders()[0].Price, 1500000000);
}

TEST(SimAccountTest, DamagedStateIsSetAsideNeverOverwritten)
{
    const QByteArray bad[] = {
        "{not json",
        R"({"version":1,"cash":-5,"holdings":[]})",
        R"({"version":1,"cash":100,"holdings":[{"code":"005930","qty":0,"avg":1}]})",
        R"({"version":1,"cash":100,"holdings":[{"code":"005930","qty":1,"avg":1},{"code":"005930","qty":1,"avg":1}]})",
        R"({"version":2,"cash":100})",
        R"([1,2,3])",
        // Filled + moved past the top of qint64: a check that adds them would
        // wrap and take this order for a sound one.
        R"({"version":1,"cash":100,"holdings":[],"ordersDate":"2026-12-10","nextOrdNo":2,"orders":[)"
        R"({"no":1,"org":0,"kind":"new","code":"005930","side":"2","price":100,"qty":10,)"
        R"("filled":9223372036854775807,"fillAmt":0,"moved":9223372036854775807,"timeMs":0,"fee":0,"tax":0}]})",
    };
    for (const QByteArray& text : bad) {
        QTemporaryDir dir;
        const QString path = dir.filePath("account.json");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        TSimAccount a(path);
        EXPECT_FALSE(a.LoadProblem().isEmpty()) << text.constData();
        EXPECT_EQ(a.Cash(), TSimAccount::kDefaultCash);
        EXPECT_TRUE(a.Holdings().isEmpty());
        ASSERT_FALSE(a.SetAsidePath().isEmpty());
        QFile aside(a.SetAsidePath());
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), text) << "the damaged file is kept as it was";
        ASSERT_TRUE(a.SetCash(5));
        EXPECT_EQ(TSimAccount(path).Cash(), 5);
    }
}

TEST(SimAccountTest, APipeOrFolderIsNeitherReadNorReplaced)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "pipe" : "folder");
        QTemporaryDir dir;
        const QString path = dir.filePath("account.json");
        const QByteArray native = QFile::encodeName(path);
        ASSERT_EQ(fifo ? ::mkfifo(native.constData(), 0600) : ::mkdir(native.constData(), 0700), 0);
        TSimAccount a(path);   // a pipe opened for reading would wait here for ever
        EXPECT_TRUE(a.LoadProblem().contains(fifo ? QStringLiteral("파이프") : QStringLiteral("폴더")))
            << a.LoadProblem().toStdString();
        EXPECT_EQ(a.Cash(), TSimAccount::kDefaultCash);
        EXPECT_TRUE(a.SetAsidePath().isEmpty());
        ASSERT_TRUE(a.SetCash(5)) << "runs in memory";
        QFileInfo fi(path);
        EXPECT_EQ(fi.isDir(), !fifo);
        EXPECT_EQ(fi.isFile(), false);
    }
}

TEST(SimAccountTest, ExchangeReportsADamagedStateAtStart)
{
    QTemporaryDir dir;
    TSimConfig cfg;
    cfg.PumpMs = 0;
    cfg.StatePath = dir.filePath("account.json");
    QFile f(cfg.StatePath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage");
    f.close();
    TTestClock clock;
    auto backend = CreateSimBackend(cfg, clock);
    ASSERT_EQ(backend->Exchange().StartupProblems().size(), 1);
    EXPECT_TRUE(backend->Exchange().StartupProblems()[0].contains(U("손상")));
    EXPECT_EQ(backend->Exchange().Account().Cash(), TSimAccount::kDefaultCash);
}

} // namespace
