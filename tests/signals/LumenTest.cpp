#include "signals/Lumen.h"

#include <gtest/gtest.h>

namespace {

QStringList Times(const QVector<TLmRow>& rows)
{
    QStringList t;
    for (const TLmRow& r : rows)
        t << r.T;
    return t;
}

} // namespace

TEST(Lumen, IsinOfCode)
{
    struct Case { const char* code; const char* isin; };
    const Case cases[] = {
        {"005930", "KR7005930003"}, {"000660", "KR7000660001"}, {"035720", "KR7035720002"},
        {"005380", "KR7005380001"}, {"035420", "KR7035420009"},
        {"", ""}, {"5930", ""}, {"0059300", ""}, {"00593!", ""}, {"00 930", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsinFromCode(QString::fromUtf8(c.code)), QString::fromUtf8(c.isin)) << c.code;
    // Letters count as two digits each; case does not matter.
    EXPECT_EQ(IsinFromCode(QStringLiteral("0001a0")), IsinFromCode(QStringLiteral("0001A0")));
    EXPECT_EQ(IsinFromCode(QStringLiteral("0001A0")).left(11), QStringLiteral("KR70001A000"));
}

TEST(Lumen, SeriesAnswer)
{
    const TLmSeries s = ParseLmSeries(R"({"date": "20261210", "rows": [
        ["0901", "100", "50"], [902, 100, 50], ["0903", "1,000", 60], ["0904", -5, "70.4"],
        ["0905"], "0906", ["0960", 1, 1], ["1959", 200, 80], ["2000", 210, 90], ["2001", 999, 999],
        ["0931", 1, 2, "extra"], [null, 1, 1]]})");
    ASSERT_TRUE(s.Ok);
    EXPECT_EQ(s.Date, QStringLiteral("20261210"));
    // Newest first; the numeric 902 is 09:02 (text comparison against "2000"
    // would have dropped it); rows after 20:00 and broken rows are left out.
    EXPECT_EQ(Times(s.Rows), (QStringList{"0931", "2000", "1959", "0904", "0903", "0902", "0901"}));
    EXPECT_EQ(s.Rows.at(3).B, 0);  // negative sums are clamped
    EXPECT_EQ(s.Rows.at(3).S, 70);
    EXPECT_EQ(s.Rows.at(4).B, 0);  // "1,000" is no number
    EXPECT_EQ(s.Rows.at(5).B, 100);

    for (const QByteArray& bad : {QByteArray(), QByteArray("<html>"), QByteArray("[[\"0901\",1,1]]"),
                                  QByteArray(R"({"rows": [["0901", 1, 1])")})
        EXPECT_FALSE(ParseLmSeries(bad).Ok) << bad.toStdString();
    const TLmSeries noRows = ParseLmSeries(R"({"date": "20261210", "rows": "none"})");
    EXPECT_TRUE(noRows.Ok);
    EXPECT_TRUE(noRows.Rows.isEmpty());
    EXPECT_EQ(LmSummary(noRows), QStringLiteral("오늘 이 종목은 루멘 분별 기록이 없음 (신호가 난 종목만 기록)"));
}

TEST(Lumen, SeriesKeepsTheNewestRowsOfAHugeAnswer)
{
    QByteArray body = R"({"date": "20261210", "rows": [)";
    for (int i = 0; i < 2500; ++i)
        body.append(i < 500 ? R"(["0900", 1, 1],)" : R"(["0931", 2, 2],)");
    body.append(R"(["0932", 3, 3]]})");
    const TLmSeries s = ParseLmSeries(body);
    ASSERT_EQ(s.Rows.size(), 2000);
    EXPECT_EQ(s.Rows.first().T, QStringLiteral("0932"));
    EXPECT_EQ(s.Rows.last().T, QStringLiteral("0931"));
}

TEST(Lumen, ChangesOnlyAndSummary)
{
    TLmSeries s;
    s.Ok = true;
    s.Date = QStringLiteral("20261210");
    s.Rows = {{"0934", 300, 120}, {"0933", 300, 120}, {"0932", 300, 100}, {"0931", 100, 100}, {"0930", 100, 100}};
    EXPECT_EQ(LmVisible(s.Rows, false), (QVector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(LmVisible(s.Rows, true), (QVector<int>{1, 2, 4}));  // the oldest always shows
    EXPECT_TRUE(LmVisible({}, true).isEmpty());
    EXPECT_EQ(LmSummary(s), QStringLiteral("12/10 09:34 까지  ·  매수 300  매도 120  ·  순합계 +180"));
    s.Rows.first() = {"1402", 1000, 25000};
    EXPECT_EQ(LmSummary(s), QStringLiteral("12/10 14:02 까지  ·  매수 1,000  매도 25,000  ·  순합계 -24,000"));
}

TEST(Lumen, TopAnswer)
{
    const auto codeOf = [](const QString& isin) {
        return isin == QLatin1String("KR7005930003") ? QStringLiteral("005930") : QString();
    };
    const TLmTop t = ParseLmTop(R"({"date": "20261210", "upto": "0931", "made": 1765327900, "items": [
        {"code": "", "isin": "KR7005930003", "b": 1200, "s": "300"},
        {"code": "000660", "isin": "KR7UNKNOWN00", "b": "+50", "s": -3},
        {"code": "000660", "b": 999},
        {"code": "12345", "b": 1}, 7, null,
        {"code": "035720"}]})",
                                codeOf);
    ASSERT_TRUE(t.Ok);
    EXPECT_EQ(t.Upto, QStringLiteral("0931"));
    EXPECT_EQ(t.Made, QStringLiteral("1765327900"));
    ASSERT_EQ(t.Items.size(), 3);
    EXPECT_EQ(t.Items.at(0).T, QStringLiteral("005930"));
    EXPECT_EQ(t.Items.at(0).S, 300);
    EXPECT_EQ(t.Items.at(1).B, 50);
    EXPECT_EQ(t.Items.at(1).S, 0);
    EXPECT_EQ(t.Items.at(2).B, 0);
    EXPECT_EQ(LmTopSummary(t), QStringLiteral("12/10 09:31 기준 · 전체 3종목 중 상위 30 · 1분마다 · 더블클릭 = 그 종목"));

    EXPECT_FALSE(ParseLmTop("{\"items\": [", nullptr).Ok);
    EXPECT_FALSE(ParseLmTop("null", nullptr).Ok);
}

namespace {

// Codes C01..Cnn with buy sums so that `order` (a list of code numbers) is
// the buy ranking from the top.
QVector<TLmRow> Ranked(const QVector<int>& order)
{
    QVector<TLmRow> rows;
    qint64 b = 100000;
    for (const int n : order)
        rows.append({QStringLiteral("C%1").arg(n, 2, 10, QLatin1Char('0')), b -= 100, 10});
    return rows;
}

QVector<int> Seq(int from, int to)
{
    QVector<int> v;
    for (int i = from; i <= to; ++i)
        v << i;
    return v;
}

} // namespace

TEST(Lumen, TopRankingMarks)
{
    TLmTopRank rank;
    rank.Rebuild(Ranked(Seq(1, 40)), 0, true);
    ASSERT_EQ(rank.Shown().size(), 30);
    EXPECT_EQ(rank.New(), QVector<bool>(30, false));  // nothing to compare with yet
    EXPECT_EQ(rank.Move(), QVector<int>(30, 0));

    // C07 climbs from 7 to 3; C35 enters the top 30; C01 falls to 2.
    QVector<int> next{2, 3, 7, 1, 4, 5, 6, 35};
    next += Seq(8, 30);
    rank.Rebuild(Ranked(next), 0, true);
    ASSERT_EQ(rank.Shown().size(), 30);
    EXPECT_EQ(rank.Shown().at(2).T, QStringLiteral("C07"));
    EXPECT_EQ(rank.Move().at(2), 4);
    EXPECT_EQ(rank.Move().at(3), -3);  // C01 from 1 to 4
    EXPECT_TRUE(rank.New().at(7));     // C35
    EXPECT_EQ(rank.New().count(true), 1);
    EXPECT_FALSE(rank.New().at(2));

    // A change of kind shows no marks, and the next download of that kind is
    // compared with the ranking seen at the change.
    QVector<TLmRow> all = Ranked(next);
    for (int i = 0; i < all.size(); ++i)
        all[i].S = i;  // the sell ranking is the buy ranking upside down
    rank.Rebuild(all, 1, false);
    EXPECT_EQ(rank.Shown().first().T, all.last().T);
    EXPECT_EQ(rank.New().count(true), 0);
    EXPECT_EQ(rank.Move(), QVector<int>(30, 0));
    std::swap(all[all.size() - 1].S, all[all.size() - 2].S);
    rank.Rebuild(all, 1, true);
    EXPECT_EQ(rank.Move().at(0), 1);
    EXPECT_EQ(rank.Move().at(1), -1);
    EXPECT_EQ(rank.New().count(true), 0);

    // Back to the buy kind: no marks, though a buy ranking was seen before.
    rank.Rebuild(all, 0, false);
    EXPECT_EQ(rank.New().count(true), 0);
    EXPECT_EQ(rank.Move(), QVector<int>(30, 0));
}

TEST(Lumen, TopRankingKindsAndTies)
{
    const QVector<TLmRow> all{{"000003", 50, 10}, {"000001", 50, 90}, {"000002", 10, 10}, {"000004", 0, 70}};
    struct Case { int kind; QStringList order; };
    const Case cases[] = {
        {0, {"000001", "000003", "000002", "000004"}},   // equal buy sums: by code
        {1, {"000001", "000004", "000002", "000003"}},
        {2, {"000003", "000002", "000001", "000004"}},
        {3, {"000004", "000001", "000002", "000003"}},
        {9, {"000001", "000003", "000002", "000004"}},   // unknown kind: buy sum
    };
    for (const Case& c : cases) {
        TLmTopRank rank;
        rank.Rebuild(all, c.kind, true);
        EXPECT_EQ(Times(rank.Shown()), c.order) << c.kind;
    }
    TLmTopRank empty;
    empty.Rebuild({}, 0, true);
    EXPECT_TRUE(empty.Shown().isEmpty());
    EXPECT_TRUE(empty.New().isEmpty());
}
