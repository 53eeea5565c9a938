#include "market/ProgTrading.h"

#include "broker/XingApi.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {
// Answers from a table: (block, field, index) -> value.
class TFakeQuery : public TXAQuery {
public:
    QMap<QString, QString> F;
    QMap<QString, int> Counts;

    void Set(const QString& block, const QString& field, int idx, const QString& v)
    {
        F[Key(block, field, idx)] = v;
        Counts[block] = qMax(Counts.value(block), idx + 1);
    }
    // One t1637OutBlock1 record under the default names.
    void Row(int idx, const QString& t, const QString& price, qint64 net, const QString& sign = "2")
    {
        const QString b = "t1637OutBlock1";
        Set(b, "time", idx, t);
        Set(b, "price", idx, price);
        Set(b, "sign", idx, sign);
        Set(b, "change", idx, "-150");
        Set(b, "diff", idx, "1.5");
        Set(b, "volume", idx, "1000");
        Set(b, "svolume", idx, QString::number(net));
        Set(b, "offervolume", idx, "300");
        Set(b, "stksvolume", idx, "500");
    }

    void SetResFileName(const QString&) override {}
    QString ResFileName() const override { return {}; }
    void SetFieldData(const QString&, const QString&, int, const QString&) override {}
    QString GetFieldData(const QString& b, const QString& f, int i) const override { return F.value(Key(b, f, i)); }
    int GetBlockCount(const QString& b) const override { return Counts.value(b); }
    int Decompress(const QString&) override { return 0; }
    QString GetBlockData(const QString&) const override { return {}; }
    int Request(bool) override { return 0; }
    int GetTRCountBaseSec(const QString&) const override { return 0; }
    int GetTRCountPerSec(const QString&) const override { return 0; }
    int GetTRCountLimit(const QString&) const override { return 0; }

private:
    static QString Key(const QString& b, const QString& f, int i) { return b + '|' + f + '|' + QString::number(i); }
};

TResFields InFields()
{
    return {{"단축코드", "shcode"}, {"거래소구분", "exchgubun"}, {"구분", "gubun1"},
            {"일자", "date"},       {"시간", "time"},             {"연속키", "cts_idx"}};
}

QMap<QString, QString> Inputs(const TProgRequest& r)
{
    QMap<QString, QString> m;
    for (const auto& kv : r.Inputs)
        m[kv.first] = kv.second;
    return m;
}

// Loads a first page of rows 100003..100001 with key "K1".
void Load(TProgState& s)
{
    s.SetLayout(InFields(), {});
    s.SelectStock();
    TFakeQuery q;
    q.Row(0, "100003", "1000", 50);
    q.Row(1, "100002", "990", 30);
    q.Row(2, "100001", "980", 10);
    q.Set("t1637OutBlock", "cts_idx", 0, "K1");
    s.Sent(s.Build("005930", "20260105", false, false));
    s.OnAnswer(q, true, 0);
}

// An older-page answer holding only rows already held.
void FillStale(TFakeQuery& q)
{
    q.Row(0, "100002", "990", 30);
    q.Set("t1637OutBlock", "cts_idx", 0, "K2");
}
}

TEST(ProgTrading, InputFieldsOfEachPagingMethod)
{
    struct Case {
        int mode;
        QString cts, date, time;
        bool cont;
    };
    const Case cases[] = {
        {0, "K1", "20260105", "", true},          {1, "K1", "", "", true},
        {2, "K1", "20260105", "100001", true},    {3, "", "20260105", "100001", false},
        {4, "", "", "100001", false},             {5, "K1", "20260105", "", false},
    };
    for (const Case& c : cases) {
        TProgState s;
        Load(s);
        // Walk the method forward through pages that bring nothing new.
        while (s.PageMode() < c.mode) {
            s.Sent(s.Build("005930", "20260105", true, false));
            TFakeQuery q;
            FillStale(q);
            q.Set("t1637OutBlock", "cts_idx", 0, "K1");
            s.OnAnswer(q, true, 0);
        }
        ASSERT_EQ(s.PageMode(), c.mode);
        const TProgRequest r = s.Build("005930", "20260105", true, false);
        const auto in = Inputs(r);
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(in["shcode"], "005930");
        EXPECT_EQ(in["exchgubun"], "U");  // "exch" wins over "gubun"
        EXPECT_EQ(in["gubun1"], "0");
        EXPECT_EQ(in["cts_idx"], c.cts);
        EXPECT_EQ(in["date"], c.date);
        EXPECT_EQ(in["time"], c.time);
        EXPECT_EQ(r.Continuation, c.cont);
    }
}

TEST(ProgTrading, FirstPagesAndRefreshesAskForTodayWithoutKeys)
{
    TProgState s;
    Load(s);
    for (bool refresh : {false, true}) {
        const TProgRequest r = s.Build("005930", "20260105", false, refresh);
        const auto in = Inputs(r);
        EXPECT_EQ(in["date"], "20260105");
        EXPECT_EQ(in["cts_idx"], "");
        EXPECT_EQ(in["time"], "");
        EXPECT_FALSE(r.Continuation);
    }
    TProgState none;
    EXPECT_FALSE(none.HasInputLayout());
    EXPECT_TRUE(none.Build("005930", "20260105", false, false).Inputs.isEmpty());
}

TEST(ProgTrading, PageAnswerParsedIntoRowsWithDeltas)
{
    TProgState s;
    // Layout names differ from the defaults; descriptions find them.
    s.SetLayout(InFields(), {{"시간", "chetime"}, {"현재가", "price"}, {"등락률", "rate"}});
    s.SelectStock();
    TFakeQuery q;
    q.Set("t1637OutBlock1", "chetime", 0, "093001");
    q.Set("t1637OutBlock1", "price", 0, "+71000");
    q.Set("t1637OutBlock1", "sign", 0, "5");
    q.Set("t1637OutBlock1", "change", 0, "-1200");
    q.Set("t1637OutBlock1", "rate", 0, "-1.66");
    q.Set("t1637OutBlock1", "volume", 0, "1234567");
    q.Set("t1637OutBlock1", "svolume", 0, "-5000");
    q.Set("t1637OutBlock1", "offervolume", 0, "9000");
    q.Set("t1637OutBlock1", "stksvolume", 0, "4000");
    q.Set("t1637OutBlock1", "chetime", 1, "");  // no time: skipped
    q.Set("t1637OutBlock1", "price", 1, "70000");
    q.Set("t1637OutBlock1", "chetime", 2, "093000");
    q.Set("t1637OutBlock1", "price", 2, "0");  // no price: skipped
    q.Set("t1637OutBlock1", "chetime", 3, "092959");
    q.Set("t1637OutBlock1", "price", 3, "70500");
    q.Set("t1637OutBlock1", "svolume", 3, "-3000");
    s.Sent(s.Build("005930", "20260105", false, false));
    const TProgOutcome o = s.OnAnswer(q, true, 20);
    EXPECT_EQ(o.Logs, QStringList{"프로그램매매 조회: 4줄"});
    EXPECT_TRUE(o.ScrollToTop);

    ASSERT_EQ(s.Rows().size(), 2);
    const TProgRow& r = s.Rows()[0];
    EXPECT_EQ(r.T, "093001");
    EXPECT_EQ(r.Sg, "5");
    EXPECT_EQ(r.P, 71000);
    EXPECT_EQ(r.Chg, 1200);
    EXPECT_DOUBLE_EQ(r.Rate, -1.66);
    EXPECT_EQ(r.V, 1234567);
    EXPECT_EQ(r.Net, -5000);
    EXPECT_EQ(r.Sell, 9000);
    EXPECT_EQ(r.Buy, 4000);
    EXPECT_TRUE(r.HasDelta);
    EXPECT_EQ(r.Delta, -2000);
    EXPECT_FALSE(s.Rows()[1].HasDelta);

    // Grid texts and colours of the falling row.
    const QColor down(0x1e, 0x88, 0xe5);
    struct Want {
        int col;
        QString text;
        QColor color;
        bool bold;
    };
    const Want want[] = {{0, "09:30:01", QColor(0x70, 0x70, 0x70), false},
                         {1, "71,000", down, false},
                         {2, "▼ 1,200", down, false},
                         {3, "-1.66", down, false},
                         {4, "1,234,567", QColor(0x30, 0x30, 0x30), false},
                         {5, "-2,000", down, true},
                         {6, "-5,000", down, false},
                         {7, "9,000", down, false},
                         {8, "4,000", QColor(0xe5, 0x39, 0x35), false}};
    for (const Want& w : want) {
        const TProgCell c = s.Cell(1, w.col);
        SCOPED_TRACE(w.col);
        EXPECT_EQ(c.Text, w.text);
        EXPECT_EQ(c.Color, w.color);
        EXPECT_EQ(c.Bold, w.bold);
    }
    EXPECT_EQ(s.Cell(2, 5).Text, "");  // oldest row: no delta
    EXPECT_EQ(s.Cell(0, 3).Text, "등락률");
    EXPECT_EQ(s.Cell(1, 0).Back, QColor(Qt::white));
    s.SelectGridRow(1);
    EXPECT_EQ(s.Cell(1, 4).Back, QColor(0xd2, 0xe6, 0xf7));
    // Too few rows for the grid: it asks for more at once.
    EXPECT_TRUE(o.RequestOlder);
}

TEST(ProgTrading, OlderPageAppendsAndGivesPreviousOldestItsDelta)
{
    TProgState s;
    Load(s);
    EXPECT_FALSE(s.Rows().last().HasDelta);
    s.Queued(true, false, 0);
    s.Sent(s.Build("005930", "20260105", true, false));
    TFakeQuery q;
    q.Row(0, "100001", "980", 10);  // already held
    q.Row(1, "100000", "970", 4);
    q.Set("t1637OutBlock", "cts_idx", 0, "K2");
    const TProgOutcome o = s.OnAnswer(q, true, 1);
    ASSERT_EQ(s.Rows().size(), 4);
    EXPECT_EQ(s.Rows()[2].Delta, 6);
    EXPECT_EQ(s.Rows()[3].T, "100000");
    EXPECT_EQ(o.Logs, QStringList{"프로그램 이전내역 방식0: 받음 2줄 (100001~100000) · 붙음 1줄 · 연속키 cts_idx=K2"});
    EXPECT_TRUE(s.ModeFound());
    EXPECT_FALSE(s.PageBusy());
    EXPECT_TRUE(o.RequestOlder);  // 4 rows, fewer than a one-row grid + 10: keeps filling
    EXPECT_EQ(Inputs(s.Build("005930", "20260105", true, false))["cts_idx"], "K2");
}

TEST(ProgTrading, MethodFallbackAndStopAfterSixMethods)
{
    TProgState s;
    Load(s);
    for (int m = 0; m < kProgModes; ++m) {
        s.Sent(s.Build("005930", "20260105", true, false));
        TFakeQuery q;
        FillStale(q);
        const TProgOutcome o = s.OnAnswer(q, true, 0);
        SCOPED_TRACE(m);
        ASSERT_GE(o.Logs.size(), 1);
        EXPECT_EQ(o.Logs[0], QString("프로그램 이전내역 방식%1: 받음 1줄 (100002~100002) · 붙음 0줄 · 연속키 cts_idx=K2").arg(m));
        if (m < kProgModes - 1) {
            EXPECT_TRUE(o.RequestOlder);
            EXPECT_EQ(s.PageMode(), m + 1);
            EXPECT_TRUE(s.More());
        } else {
            EXPECT_FALSE(o.RequestOlder);
            EXPECT_FALSE(s.More());
            EXPECT_EQ(o.Logs.value(1), "프로그램 이전내역: 6가지 방식 모두 과거 줄 없음 — 위 로그를 보내 주세요");
            EXPECT_FALSE(s.WantsOlderOnScroll());
        }
    }
    EXPECT_FALSE(s.ModeFound());
    s.SelectStock();
    EXPECT_EQ(s.PageMode(), 0);  // nothing worked: start over
}

TEST(ProgTrading, EmptyAnswerLogsAndFoundMethodStartsNextStock)
{
    TProgState s;
    Load(s);
    s.Sent(s.Build("005930", "20260105", true, false));
    TFakeQuery empty;
    const TProgOutcome o = s.OnAnswer(empty, true, 0);
    EXPECT_EQ(o.Logs.value(0), "프로그램 이전내역 방식0: 빈 응답 (원본 0줄) · 연속키 cts_idx=");
    EXPECT_EQ(s.PageMode(), 1);
    // Method 1 works.
    s.Sent(s.Build("005930", "20260105", true, false));
    TFakeQuery q;
    q.Row(0, "100000", "970", 4);
    s.OnAnswer(q, true, 0);
    EXPECT_TRUE(s.ModeFound());
    // Later it runs out of history and moves on, but the next stock starts with method 1.
    s.Sent(s.Build("005930", "20260105", true, false));
    s.OnAnswer(empty, true, 0);
    EXPECT_EQ(s.PageMode(), 2);
    s.SelectStock();
    EXPECT_EQ(s.PageMode(), 1);
    EXPECT_TRUE(s.Rows().isEmpty());
    EXPECT_TRUE(s.Cts().isEmpty());
}

TEST(ProgTrading, RefreshInsertsOnlyNewerRowsOnTop)
{
    TProgState early;
    early.SetLayout(InFields(), {});
    TFakeQuery q;
    q.Row(0, "100005", "1010", 70);
    q.Row(1, "100004", "1005", 60);
    q.Row(2, "100003", "1000", 50);
    EXPECT_EQ(early.OnAnswer(q, false, 0).Inserted, 0);  // before the first page: nothing
    EXPECT_TRUE(early.Rows().isEmpty());

    TProgState s;
    Load(s);
    TProgOutcome o = s.OnAnswer(q, false, 0);
    EXPECT_EQ(o.Inserted, 2);
    EXPECT_FALSE(o.RequestOlder);  // refreshes never page
    ASSERT_EQ(s.Rows().size(), 5);
    EXPECT_EQ(s.Rows()[0].T, "100005");
    EXPECT_EQ(s.Rows()[1].T, "100004");
    EXPECT_EQ(s.Rows()[1].Delta, 10);
    o = s.OnAnswer(q, false, 0);  // same answer again
    EXPECT_EQ(o.Inserted, 0);
    EXPECT_EQ(s.Rows().size(), 5);
}

TEST(ProgTrading, AutoTickStaleFlagsAndLimitPause)
{
    TProgState empty;
    EXPECT_FALSE(empty.OnAutoTick(1000));  // no rows held

    TProgState s;
    Load(s);
    const qint64 t0 = 1'000'000;
    EXPECT_TRUE(s.OnAutoTick(t0));
    s.Queued(false, true, t0);
    EXPECT_FALSE(s.OnAutoTick(t0 + 6000));   // refresh in flight
    EXPECT_FALSE(s.OnAutoTick(t0 + 10000));  // not yet stale
    EXPECT_TRUE(s.OnAutoTick(t0 + 10001));   // stale: cleared
    s.Queued(true, false, t0);
    s.OnAutoTick(t0 + 15000);
    EXPECT_TRUE(s.PageBusy());
    s.OnAutoTick(t0 + 15001);
    EXPECT_FALSE(s.PageBusy());

    EXPECT_TRUE(TProgState::IsLimitMessage("[00312] 전송제한 초과"));
    EXPECT_FALSE(TProgState::IsLimitMessage("조회완료"));
    s.Queued(false, true, t0 + 20000);
    s.Queued(true, false, t0 + 20000);
    EXPECT_EQ(s.OnLimitMessage(t0 + 20000), "전송제한 — 프로그램매매 자동 갱신 1분 쉼");
    EXPECT_FALSE(s.PageBusy());
    EXPECT_FALSE(s.RefreshBusy());
    EXPECT_FALSE(s.OnAutoTick(t0 + 20000 + 59999));
    EXPECT_TRUE(s.OnAutoTick(t0 + 20000 + 60000));
}

TEST(ProgTrading, ColumnsStretchToFillTheWidth)
{
    const QVector<int> base = TProgState::ColumnWidths(100);  // narrower than the base total
    EXPECT_EQ(base, (QVector<int>{66, 70, 62, 56, 84, 64, 80, 80, 80}));
    const QVector<int> wide = TProgState::ColumnWidths(1284);
    EXPECT_EQ(wide[0], 132);
    int sum = 0;
    for (int w : wide)
        sum += w;
    EXPECT_EQ(sum, 1284);
}
