#include "lists/BrokerTop.h"
#include "lists/Buyback.h"
#include "lists/Rank.h"
#include "lists/ShortBan.h"

#include <gtest/gtest.h>

#include <QHash>

namespace {

// A stock master of three stocks.
QString Master(const QString& code)
{
    static const QHash<QString, QString> names = {{QStringLiteral("005930"), QStringLiteral("삼성전자")},
                                                  {QStringLiteral("000660"), QStringLiteral("SK하이닉스")},
                                                  {QStringLiteral("035720"), QStringLiteral("카카오")}};
    return names.value(code);
}

QStringList Codes(const QVector<TShortRow>& rows)
{
    QStringList c;
    for (const TShortRow& r : rows)
        c << r.Code;
    return c;
}

QStringList Codes(const QVector<TBuyRow>& rows)
{
    QStringList c;
    for (const TBuyRow& r : rows)
        c << r.Code;
    return c;
}

QByteArray ManyShortItems(int n)
{
    QByteArray b = R"({"made":"m","items":[)";
    for (int i = 0; i < n; ++i) {
        if (i)
            b += ',';
        b += QStringLiteral(R"({"code":"%1","status":"신규"})").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
    }
    return b + "]}";
}

}  // namespace

// ---- short-sale bans ------------------------------------------------------------

TEST(ShortBan, BodiesThatAreNoList)
{
    for (const char* body : {"", "null", "[]", "{", "{\"items\":{}}", "{\"made\":\"x\"}", "#ERR 500", "{\"items\":\"a\"}"})
        EXPECT_FALSE(ParseShortBan(QByteArray(body), Master).Ok) << body;
    const TShortList empty = ParseShortBan(R"({"items":[]})", Master);
    EXPECT_TRUE(empty.Ok);
    EXPECT_TRUE(empty.Rows.isEmpty());
}

TEST(ShortBan, RowsListedAndCounted)
{
    const TShortList l = ParseShortBan(R"({"made":"2026-12-09 20:40","stats":"금지 3",
        "items":[
          {"code":"005930","name":"엉뚱한 이름","status":"신규","first":"20261210","last_ban":"20261210"},
          {"code":"000660","status":"연장","ext":2},
          {"code":"035720","status":"금지중"},
          {"code":"005930","status":"연장"},
          {"code":"123456","status":"신규"},
          {"code":"00593","status":"신규"},
          {"code":"","status":"신규"},
          {"code":"000660","status":"해제"},
          {"code":"035720","status":"종료"},
          7, null]})",
                                       Master);
    ASSERT_TRUE(l.Ok);
    EXPECT_EQ(Codes(l.Rows), (QStringList{"005930", "000660", "035720"}));
    // The master's name, never the service's: a row labelled 삼성전자 selects 005930.
    EXPECT_EQ(l.Rows[0].Name, QStringLiteral("삼성전자"));
    // "금지중" is listed but is neither new nor extended.
    EXPECT_EQ(l.New, 1);
    EXPECT_EQ(l.Ext, 1);
    // A repeat, a code the master does not know and a malformed code.
    EXPECT_EQ(l.Dropped, 3);
    EXPECT_EQ(l.Stats, QStringLiteral("금지 3"));
    EXPECT_EQ(ShortCaption(l.New, l.Ext), QStringLiteral("  공매도 금지 2 (신규 1 · 연장 1)  "));
}

TEST(ShortBan, FieldsReadWhateverTheirType)
{
    const TShortList l = ParseShortBan(R"({"items":[
        {"code":"005930","status":"신규","price":"71,500","chg":"-3.5","lend_qty":"1,234,567",
         "short_pnl":null,"cover_days":"abc","lend_chg5":"-4.2","first":null,"first_known":"false",
         "ext":"2","score":99,"parts":{"ban":"과열","pnl":12}},
        {"code":"000660","status":"신규","short_pnl":0,"first_known":true,"parts":"x"}]})",
                                       Master);
    ASSERT_EQ(l.Rows.size(), 2);
    const TShortRow& a = l.Rows[0];
    EXPECT_EQ(a.Price, 71500);
    EXPECT_EQ(a.Chg, -3.5);
    EXPECT_EQ(a.LendQty, 1234567);
    EXPECT_FALSE(a.HasPnl);     // null is no value
    EXPECT_FALSE(a.HasCover);   // neither is a text that is no number
    EXPECT_TRUE(a.HasLend5);
    EXPECT_EQ(a.Lend5, -4.2);
    EXPECT_TRUE(a.First.isEmpty());
    EXPECT_FALSE(a.FirstKnown);
    EXPECT_EQ(a.Ext, 2);
    EXPECT_EQ(a.Score, 5);
    EXPECT_EQ(a.PBan, QStringLiteral("과열"));
    EXPECT_EQ(a.PPnl, QStringLiteral("12"));
    EXPECT_EQ(ShortDatesText(a), QStringLiteral("—  (— 전부터)"));
    EXPECT_TRUE(l.Rows[1].HasPnl);
    EXPECT_TRUE(l.Rows[1].PBan.isEmpty());
}

TEST(ShortBan, ItemsCapped)
{
    const TShortList l = ParseShortBan(ManyShortItems(KMaxListItems + 5), nullptr);
    EXPECT_EQ(l.Rows.size(), KMaxListItems);
    EXPECT_EQ(l.Dropped, 5);
}

TEST(ShortBan, LiveRescore)
{
    TShortRow r;
    r.Price = 12500;
    r.ShortAvg = 10000;
    r.AvgVol = 1000;
    r.LastVol = 3000;
    r.Chg = 2.0;
    r.Live = true;
    r.PBan = QStringLiteral("과열");
    r.PCover = QStringLiteral("대차 5일치");
    r.PLend = QStringLiteral("상환");
    RescoreShort(r);
    EXPECT_EQ(r.Score, 5);
    EXPECT_EQ(r.Level, QStringLiteral("강"));
    EXPECT_TRUE(r.HasPnl);
    EXPECT_DOUBLE_EQ(r.ShortPnl, 25.0);
    EXPECT_EQ(r.PPnl, QStringLiteral("주가가 최근 20일 공매도 평단(10,000) 위 → 공매도 25.0% 손실"));
    EXPECT_EQ(r.PVol, QStringLiteral("거래량 평소 3.0배 + 상승"));
    EXPECT_TRUE(r.Why.startsWith(QStringLiteral("[장중 실시간] 과열 · 주가가")));

    // Falling price: the volume reason goes, the loss reason too; one reason left is weak.
    r.Price = 9000;
    r.Chg = -1.0;
    r.PCover.clear();
    r.PLend.clear();
    RescoreShort(r);
    EXPECT_EQ(r.Score, 1);
    EXPECT_EQ(r.Level, QStringLiteral("약"));
    EXPECT_TRUE(r.PVol.isEmpty());
    // Without an average the service's reason stays.
    TShortRow s;
    s.PPnl = QStringLiteral("서버 판단");
    RescoreShort(s);
    EXPECT_FALSE(s.HasPnl);
    EXPECT_EQ(s.Why, QStringLiteral("서버 판단"));
    TShortRow none;
    RescoreShort(none);
    EXPECT_EQ(none.Why, QStringLiteral("특이점 없음"));
}

TEST(ShortBan, Sorting)
{
    auto row = [](const char* code, const char* name, int score, bool hasPnl, double pnl) {
        TShortRow r;
        r.Code = QString::fromUtf8(code);
        r.Name = QString::fromUtf8(name);
        r.Score = score;
        r.HasPnl = hasPnl;
        r.ShortPnl = pnl;
        return r;
    };
    const QVector<TShortRow> rows = {row("A", "다", 2, false, 0), row("B", "가", 5, true, -3), row("C", "나", 1, true, 8),
                                     row("D", "", 3, true, 1)};
    struct Case {
        int col;
        bool desc;
        QStringList order;
    };
    const Case cases[] = {
        {1, false, {"B", "C", "A", "D"}},   // names ascending, the empty name last
        {1, true, {"A", "C", "B", "D"}},    // ... and still last descending
        {7, true, {"B", "D", "A", "C"}},
        {4, true, {"C", "D", "B", "A"}},    // rows without a value stay at the end
        {4, false, {"B", "D", "C", "A"}},
        {-1, true, {"A", "B", "C", "D"}},   // server order
    };
    for (const Case& c : cases) {
        QVector<TShortRow> v = rows;
        SortShort(v, c.col, c.desc);
        EXPECT_EQ(Codes(v), c.order) << c.col << " " << c.desc;
    }
    EXPECT_FALSE(ShortFirstDesc(1));
    EXPECT_FALSE(ShortFirstDesc(2));
    EXPECT_TRUE(ShortFirstDesc(7));
}

TEST(ShortBan, LivePriceRequest)
{
    struct Case {
        int dow, hhmm;
        bool go;
    };
    const Case cases[] = {{1, 759, false}, {1, 800, true}, {5, 2005, true}, {5, 2006, false}, {6, 1000, false}, {7, 1000, false}};
    for (const Case& c : cases)
        EXPECT_EQ(ShortPxTime(c.dow, c.hhmm), c.go) << c.dow << " " << c.hhmm;
    QVector<TShortRow> rows(60);
    for (int i = 0; i < rows.size(); ++i)
        rows[i].Code = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    rows[1].Code = QStringLiteral("12345");
    int n = 0;
    const QString codes = ShortPxCodes(rows, &n);
    EXPECT_EQ(n, 50);
    EXPECT_EQ(codes.size(), 300);
    EXPECT_TRUE(codes.startsWith(QStringLiteral("000000000002")));
}

// ---- buybacks ------------------------------------------------------------------

TEST(Buyback, FieldsReadWhateverTheirType)
{
    const TBuyList l = ParseBuyback(R"({"date":"20261210","rule":"직접 매수","summary":"s","made":"m","items":[
        {"code":"005930","name":"딴이름","side":"매수","how":"직접","qty":"12,345","avg20":100000,"ratio":null,
         "ratio5":"12.5","prev_req":1000,"end":null,"total":"50,000","pick":"true","streak":null},
        {"code":"005930","side":"매수","qty":1},
        {"code":"005930","side":"매도","qty":2},
        {"code":"999999","side":"매수"},
        {"code":"000660","side":"매도","prev_rate":80,"end":"20270115","both":1}]})",
                                    Master);
    ASSERT_TRUE(l.Ok);
    EXPECT_EQ(Codes(l.Rows), (QStringList{"005930", "005930", "000660"}));
    EXPECT_EQ(l.Buys, 1);
    EXPECT_EQ(l.Sells, 2);
    EXPECT_EQ(l.Dropped, 2);   // the same code and side again; a code the master does not know
    const TBuyRow& a = l.Rows[0];
    EXPECT_EQ(a.Name, QStringLiteral("삼성전자"));
    EXPECT_EQ(a.Qty, 12345);
    EXPECT_FALSE(a.HasRatio);
    EXPECT_TRUE(a.HasRatio5);
    EXPECT_EQ(a.Ratio5, 12.5);
    EXPECT_TRUE(a.HasPrev);
    EXPECT_EQ(a.PrevRate, -1);   // missing: unknown
    EXPECT_FALSE(a.HasEnd);
    EXPECT_TRUE(a.HasProg);
    EXPECT_EQ(a.Total, 50000);
    EXPECT_TRUE(a.Pick);
    EXPECT_EQ(a.Streak, 1);
    const TBuyRow& c = l.Rows[2];
    EXPECT_TRUE(c.Both);
    EXPECT_TRUE(c.HasEnd);
    EXPECT_FALSE(c.HasPrev);
    EXPECT_EQ(c.PrevRate, 80);
}

TEST(Buyback, Texts)
{
    struct Q {
        qint64 n;
        const char* text;
    };
    for (const Q& q : {Q{9999, "9,999주"}, Q{12345, "1.2만주"}, Q{0, "0주"}, Q{-9999, "-9,999주"}, Q{-12345, "-1.2만주"}})
        EXPECT_EQ(QtyText(q.n), QString::fromUtf8(q.text)) << q.n;
    for (const Q& q : {Q{99999999, "10,000만"}, Q{150000000, "1.5억"}, Q{0, "—"}, Q{-5, "—"}, Q{50000, "5만"}})
        EXPECT_EQ(AmountText(q.n), QString::fromUtf8(q.text)) << q.n;
    EXPECT_EQ(BuyCaption(QStringLiteral("20261210"), true, 2, 9, 7, 2), QStringLiteral("  자사주 12/10 (매매 후보 2 / 전체 9)  "));
    EXPECT_EQ(BuyCaption(QStringLiteral("20261210"), false, 9, 9, 7, 2), QStringLiteral("  자사주 12/10 (매수 7 · 매도 2)  "));
    EXPECT_EQ(BuyCaption(QString(), false, 0, 0, 0, 0), QStringLiteral("  자사주  "));
}

TEST(Buyback, MarkerOnlyForTodaysCandidate)
{
    TBuyList l;
    l.Date = QStringLiteral("20261210");
    TBuyRow plain, pick;
    plain.Code = pick.Code = QStringLiteral("005930");
    pick.Pick = true;
    pick.Side = QStringLiteral("매수");
    pick.How = QStringLiteral("직접");
    pick.Qty = 12345;
    pick.HasRatio = true;
    pick.Ratio = 24.6;
    pick.Streak = 3;
    pick.HasProg = true;
    pick.Progress = 40;
    pick.HasEnd = true;
    pick.EndD = QStringLiteral("20270105");
    l.Rows = {plain, pick};
    ASSERT_EQ(BuyMarkerRow(l, QStringLiteral("005930"), QStringLiteral("20261210")), &l.Rows[1]);
    EXPECT_EQ(BuyMarkerRow(l, QStringLiteral("005930"), QStringLiteral("20261211")), nullptr);   // yesterday's filing
    EXPECT_EQ(BuyMarkerRow(l, QStringLiteral("000660"), QStringLiteral("20261210")), nullptr);
    EXPECT_EQ(BuyMarkerText(pick), QStringLiteral("자사주 매수 신청 1.2만주 (직접) · 평소 거래량의 25% · 3일째 · 계획의 40% 진행 · 기한 1/5"));
    pick.How = QString(500, QLatin1Char('x'));
    EXPECT_EQ(BuyMarkerText(pick).size(), KMarkerChars);
}

TEST(Buyback, FilterAndSort)
{
    auto row = [](const char* code, const char* name, bool pick, bool hasRatio, double ratio) {
        TBuyRow r;
        r.Code = QString::fromUtf8(code);
        r.Name = QString::fromUtf8(name);
        r.Pick = pick;
        r.HasRatio = hasRatio;
        r.Ratio = ratio;
        r.Side = pick ? QStringLiteral("매수") : QStringLiteral("매도");
        return r;
    };
    const QVector<TBuyRow> all = {row("A", "가", true, false, 0), row("B", "나", false, true, 30), row("C", "다", true, true, 5)};
    int buys = 0, sells = 0;
    EXPECT_EQ(Codes(FilterBuy(all, true, &buys, &sells)), (QStringList{"A", "C"}));
    EXPECT_EQ(buys, 2);
    EXPECT_EQ(sells, 0);
    for (bool desc : {true, false}) {
        QVector<TBuyRow> v = all;
        SortBuy(v, 5, desc);
        EXPECT_EQ(Codes(v), desc ? QStringList({"B", "C", "A"}) : QStringList({"C", "B", "A"}));
    }
    EXPECT_FALSE(BuyFirstDesc(2));
    EXPECT_TRUE(BuyFirstDesc(3));
}

// ---- rankings ------------------------------------------------------------------

namespace {

QVector<TRankRow> RankOf(const QStringList& codes)
{
    QVector<TRankRow> rows;
    for (const QString& c : codes) {
        TRankRow r;
        r.Code = c;
        r.Name = QStringLiteral("n") + c;
        rows.append(r);
    }
    return rows;
}

}  // namespace

TEST(Rank, MarksCompareSameKindAndMarket)
{
    TRankMarks marks;
    QVector<TRankRow> first = RankOf({"A", "B", "C", "D", "E"});
    EXPECT_EQ(marks.Apply(first, QStringLiteral("1/2")), 0);
    EXPECT_FALSE(first[0].IsNew);

    QVector<TRankRow> second = RankOf({"A", "E", "N", "B"});
    QStringList names;
    EXPECT_EQ(marks.Apply(second, QStringLiteral("1/2"), &names), 1);
    EXPECT_EQ(second[1].Move, 3);   // rank 5 to rank 2
    EXPECT_EQ(second[3].Move, -2);
    EXPECT_TRUE(second[2].IsNew);
    EXPECT_EQ(names, QStringList{"nN"});

    // Another kind: no marks on its first list.
    QVector<TRankRow> losers = RankOf({"X", "A"});
    EXPECT_EQ(marks.Apply(losers, QStringLiteral("2/2")), 0);
    EXPECT_FALSE(losers[0].IsNew);
    EXPECT_EQ(losers[1].Move, 0);

    QVector<TRankRow> six = RankOf({"1", "2", "3", "4", "5", "6", "X"});
    names.clear();
    EXPECT_EQ(marks.Apply(six, QStringLiteral("2/2"), &names), 6);
    EXPECT_EQ(RankTimeText(QStringLiteral("10:00:07"), 7, 6, names),
              QStringLiteral("10:00:07 기준 · 7종목  ·  새로 들어옴 6: n1, n2, n3, n4 …  ·  1분마다"));
    EXPECT_EQ(RankTimeText(QStringLiteral("10:00:07"), 0, 0, {}), QStringLiteral("10:00:07 기준 · 0종목  ·  1분마다"));
}

TEST(Rank, ReadingAnAnswer)
{
    struct Rec {
        QHash<QString, QString> f;
    };
    const QVector<Rec> recs = {
        {{{"shcode", " 005930"}, {"hname", ""}, {"price", "70000"}, {"diff", "3.21"}, {"sign", "5"}, {"stdvolume", "10000"}}},
        {{{"shcode", "000660"}, {"hname", "하이닉스"}, {"diff", "-1.5"}, {"sign", "2"}, {"stdvolume", "9999"}}},
        {{{"shcode", ""}, {"stdvolume", "50000"}}},
        {{{"shcode", "A005930"}, {"stdvolume", "50000"}}},
        {{{"shcode", "035720"}, {"diff", "1"}, {"sign", "4"}, {"stdvolume", "50000"}, {"voldiff", "350.5"}}},
    };
    const auto field = [&](const QString& name, int i) { return recs[i].f.value(name); };
    const QVector<TRankRow> rows = ReadRankRows(QStringLiteral("t1466"), int(recs.size()), field, Master);
    ASSERT_EQ(rows.size(), 2);   // below the floor, no code, a repeat
    EXPECT_EQ(rows[0].Name, QStringLiteral("삼성전자"));
    EXPECT_DOUBLE_EQ(rows[0].Chg, -3.21);
    EXPECT_DOUBLE_EQ(rows[1].Chg, -1.0);
    EXPECT_DOUBLE_EQ(rows[1].X2, 350.5);
    // Gainers have no floor.
    EXPECT_EQ(ReadRankRows(QStringLiteral("t1441"), int(recs.size()), field, Master).size(), 3);
}

TEST(Rank, Requests)
{
    const TRankReq surge = RankRequest(0, 2);
    EXPECT_EQ(surge.Tr, QStringLiteral("t1466"));
    QHash<QString, QString> f;
    for (const auto& p : surge.Fields)
        f.insert(p.first, p.second);
    EXPECT_EQ(f.value("gubun"), QStringLiteral("2"));
    EXPECT_EQ(f.value("type1"), QStringLiteral("1"));   // the broker leaves out what the floor would drop
    EXPECT_EQ(f.value("exchgubun"), QStringLiteral("K"));
    for (const char* numeric : {"jc_num", "sprice", "eprice", "volume", "idx", "jc_num2"})
        EXPECT_EQ(f.value(numeric), QStringLiteral("0")) << numeric;
    const TRankReq losers = RankRequest(2, 1);
    EXPECT_EQ(losers.Tr, QStringLiteral("t1441"));
    EXPECT_EQ(losers.Fields[0], qMakePair(QStringLiteral("gubun1"), QStringLiteral("1")));
    EXPECT_EQ(losers.Fields[1], qMakePair(QStringLiteral("gubun2"), QStringLiteral("1")));
    EXPECT_EQ(RankRequest(3, 0).Tr, QStringLiteral("t1463"));
    EXPECT_EQ(RankCaptions(3).at(5), QStringLiteral("전일 대금"));
    EXPECT_EQ(RankMan(9999), QStringLiteral("9,999"));
    EXPECT_EQ(RankMan(123456), QStringLiteral("12.3만"));
    EXPECT_EQ(RankEok(123456), QStringLiteral("1,235억"));
}

// ---- broker top five -----------------------------------------------------------

TEST(BrokerTop, ForeignHouses)
{
    struct Case {
        const char* name;
        bool foreign;
    };
    const Case cases[] = {{"Jp모간", true}, {"jpmorgan", true}, {"외국계합", true}, {"모건스탠리", true}, {"씨티그룹", true},
                          {"ubs", true},    {"키움증권", false}, {"삼성증권", false}, {"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(IsForeignBroker(QString::fromUtf8(c.name)), c.foreign) << c.name;
}

TEST(BrokerTop, AnswerForAnotherStockIsDropped)
{
    QHash<QString, QString> f = {{"shcode", "005930"}, {"offerno1", " 키움증권 "}, {"dvol1", "1200"}, {"dcha1", "-1200"},
                                 {"bidno5", "JP모간"}, {"svol5", "300"}, {"fwdvl", "900"}, {"ftradmscha", "15"}};
    const auto field = [&f](const QString& n) { return f.value(n); };
    TBrokerTop t;
    t.Vol[0] = 7;
    EXPECT_FALSE(ReadBrokerTop(field, QStringLiteral("000660"), &t));
    EXPECT_EQ(t.Vol[0], 7);
    ASSERT_TRUE(ReadBrokerTop(field, QStringLiteral("005930"), &t));
    EXPECT_EQ(t.Name[0], QStringLiteral("키움증권"));
    EXPECT_EQ(t.Vol[0], 1200);
    EXPECT_EQ(t.Cha[0], -1200);
    EXPECT_EQ(t.Name[9], QStringLiteral("JP모간"));
    EXPECT_EQ(t.Vol[9], 300);
    EXPECT_EQ(t.FVol[0], 900);
    EXPECT_EQ(t.FCha[1], 15);
    EXPECT_TRUE(t.Name[1].isEmpty());
    EXPECT_EQ(BrokerChangeText(0), QStringLiteral("·"));
    EXPECT_EQ(BrokerChangeText(-1200), QStringLiteral("-1,200"));
    EXPECT_EQ(BrokerChangeText(1200), QStringLiteral("+1,200"));
}
