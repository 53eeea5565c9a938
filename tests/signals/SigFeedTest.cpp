#include "signals/SigFeed.h"

#include <gtest/gtest.h>

namespace {

QByteArray Body(const char* s)
{
    return QByteArray(s);
}

QStringList KeysOf(const QVector<TSigRow>& rows)
{
    QStringList k;
    for (const TSigRow& r : rows)
        k << r.Key;
    return k;
}

} // namespace

TEST(SigFeed, CodeNormalisation)
{
    struct Case { const char* in; const char* want; };
    const Case cases[] = {
        {"KR7005930003", "005930"}, {"kr7005930003", "005930"}, {" KR7000660001 ", "000660"},
        {"A005930", "005930"},      {"q035720", "035720"},      {"005930", "005930"},
        {"05930", "05930"},         {"B005930", "B005930"},     {"KR70059300", "KR70059300"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormSigCode(QString::fromUtf8(c.in)), QString::fromUtf8(c.want)) << c.in;
}

TEST(SigFeed, TimeNormalisation)
{
    struct Case { const char* in; const char* want; };
    const Case cases[] = {
        {"9:31:05", "0931"}, {"09:31", "0931"}, {"093105", "0931"}, {"0931", "0931"}, {"931", "0931"},
        {" 0931 ", "0931"},  {"93105", "0931"}, {"20261210 09:31:05", "0931"}, {"20261210093105", "0931"},
        {"2359", "2359"},    {"0000", "0000"},
        // Not times: the old rule "first four digits" made 9:31:05 into 93:10.
        {"2400", ""}, {"0960", ""}, {"25:00", ""}, {"9:3", ""}, {"09:31:75", ""}, {"93", ""},
        {"0931x", ""}, {"", ""}, {"1234567", ""}, {"-931", ""}, {"١٢٣٤", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SigTimeHhmm(QString::fromUtf8(c.in)), QString::fromUtf8(c.want)) << c.in;
}

TEST(SigFeed, LabelsAndUpdatedStamp)
{
    EXPECT_EQ(SigKindLabel(1), QStringLiteral("매수 포착"));
    EXPECT_EQ(SigKindLabel(4), QStringLiteral("매도 스트릭"));
    EXPECT_EQ(SigKindLabel(5), QStringLiteral("데트집중"));
    EXPECT_TRUE(SigKindLabel(0).isEmpty());
    EXPECT_TRUE(SigKindLabel(6).isEmpty());

    EXPECT_EQ(SigUpdatedText(QStringLiteral("093105")), QStringLiteral("09:31"));
    EXPECT_EQ(SigUpdatedText(QStringLiteral("0931")), QStringLiteral("09:31"));
    EXPECT_EQ(SigUpdatedText(QStringLiteral("931")), QStringLiteral("931"));
    EXPECT_EQ(SigUpdatedText(QStringLiteral("9961")), QStringLiteral("9961"));
    EXPECT_EQ(SigUpdatedText(QStringLiteral("ab:cd")), QStringLiteral("ab:cd"));
}

// One answer with every kind, the alternative code forms, number-typed
// members, repeats and elements that must be dropped.
TEST(SigFeed, ParseAnswer)
{
    const QByteArray body = Body(R"({
      "date": "20261210", "updated": " 093105 ",
      "lm03": [
        {"sc": "005930", "time": "09:31:05", "ep": 71200},
        {"sc": "", "code": "KR7000660001", "time": "0931", "ep": "+180500"},
        {"code": "A035720", "time": 931, "ep": "52,000"},
        {"code": "35720", "time": "0931", "ep": 1},
        {"sc": "005930", "time": "0931", "ep": 1},
        {"sc": "005930", "time": "25:00", "ep": 1},
        "005930", 17, null, [1, 2]
      ],
      "lm03r": [{"sc": "005930", "time": "0931", "ep": -5}],
      "lm08": [{"sc": "000660", "time": "0940", "peak": 12, "ep": null}],
      "lm08r": {"sc": "000660", "time": "0941"},
      "other": [{"sc": "111111", "time": "0931"}]
    })");
    const TSigAnswer a = ParseSigJson(body, nullptr);
    ASSERT_TRUE(a.Ok) << a.Error.toStdString();
    EXPECT_EQ(a.Date, QStringLiteral("20261210"));
    EXPECT_EQ(a.Updated, QStringLiteral("093105"));
    EXPECT_EQ(KeysOf(a.Rows), (QStringList{"3:000660:0940", "1:000660:0931", "1:005930:0931", "1:035720:0931",
                                          "2:005930:0931"}));
    // dropped: 5-char code, repeat, bad time, four non-objects
    EXPECT_EQ(a.Skipped, 7);

    const TSigRow& streak = a.Rows.at(0);
    EXPECT_EQ(streak.Kind, 3);
    EXPECT_EQ(streak.Val, QStringLiteral("12"));
    EXPECT_EQ(streak.Ep, 0);
    const TSigRow& hynix = a.Rows.at(1);
    EXPECT_EQ(hynix.Val, QStringLiteral("+180500"));
    EXPECT_EQ(hynix.Ep, 180500);
    const TSigRow& samsung = a.Rows.at(2);
    EXPECT_EQ(samsung.Val, QStringLiteral("71200"));  // a JSON number reads as its text
    EXPECT_EQ(samsung.Ep, 71200);
    EXPECT_EQ(a.Rows.at(3).Ep, 0);  // "52,000" is not a number
    EXPECT_EQ(a.Rows.at(4).Ep, 0);  // negative price
    EXPECT_EQ(a.Rows.at(4).Val, QStringLiteral("-5"));
}

TEST(SigFeed, BodiesThatAreNotAnswers)
{
    const QByteArray cases[] = {
        "", "garbage", "[]", "\"text\"", "42", R"({"lm03": [{"sc": "005930", "time": "0931")",
        QByteArray("{\"lm03\":[]}\0junk", 16), QByteArray(100000, '['),
    };
    for (const QByteArray& b : cases) {
        const TSigAnswer a = ParseSigJson(b, nullptr);
        EXPECT_FALSE(a.Ok) << b.toStdString();
        EXPECT_TRUE(a.Rows.isEmpty());
        EXPECT_TRUE(a.Error.startsWith(QStringLiteral("응답 형식 오류")));
    }
    QByteArray huge = R"({"date":"20261210","pad":")";
    huge.append(QByteArray(4 * 1024 * 1024, 'x'));
    huge.append("\"}");
    const TSigAnswer a = ParseSigJson(huge, nullptr);
    EXPECT_FALSE(a.Ok);
    EXPECT_FALSE(a.Error.isEmpty());

    // An object without any of the arrays is an empty answer, not an error.
    const TSigAnswer empty = ParseSigJson(R"({"date": ""})", nullptr);
    EXPECT_TRUE(empty.Ok);
    EXPECT_TRUE(empty.Rows.isEmpty());
    EXPECT_TRUE(empty.Date.isEmpty());
}

TEST(SigFeed, CodesCheckedAgainstTheMaster)
{
    const QByteArray body = R"({"lm03": [
        {"sc": "005930", "time": "0931"}, {"sc": "999999", "time": "0931"},
        {"sc": "0001a0", "time": "0932"}, {"sc": "00 593", "time": "0933"}, {"sc": "<b>12", "time": "0934"}]})";
    const TSigAnswer any = ParseSigJson(body, nullptr);
    EXPECT_EQ(KeysOf(any.Rows), (QStringList{"1:0001A0:0932", "1:005930:0931", "1:999999:0931"}));
    EXPECT_EQ(any.Skipped, 2);

    const auto known = [](const QString& c) { return c == QLatin1String("005930"); };
    const TSigAnswer checked = ParseSigJson(body, known);
    EXPECT_EQ(KeysOf(checked.Rows), QStringList{"1:005930:0931"});
    EXPECT_EQ(checked.Skipped, 4);
}

TEST(SigFeed, CapsOnArraysAndTexts)
{
    QByteArray body = R"({"updated": "0931)";
    body.append(QByteArray(200, '9'));
    body.append(R"(", "date": "2026\u0000\n1210", "lm08": [)");
    for (int i = 0; i < 2500; ++i) {
        const int m = 900 + (i % 60) + (i / 60 % 10) * 100;  // 09:00..18:59, many repeats
        body.append(QStringLiteral(R"({"sc": "%1", "time": "%2", "peak": "%3"},)")
                        .arg(100000 + i)
                        .arg(m, 4, 10, QLatin1Char('0'))
                        .arg(QString(100, QLatin1Char('7')))
                        .toUtf8());
    }
    body.append(R"({"sc": "005930", "time": "0931"}]})");
    const TSigAnswer a = ParseSigJson(body, nullptr);
    ASSERT_TRUE(a.Ok);
    EXPECT_EQ(a.Rows.size(), 2000);
    EXPECT_EQ(a.Skipped, 501);
    EXPECT_EQ(a.Updated.size(), 32);
    EXPECT_EQ(a.Date, QStringLiteral("20261210"));  // control characters dropped
    for (const TSigRow& r : a.Rows)
        ASSERT_LE(r.Val.size(), 32);
}

// Equal minutes: buy capture, sell capture, buy streak, sell streak, then by code.
TEST(SigFeed, ListingOrder)
{
    QVector<TSigRow> rows;
    auto add = [&rows](const char* t, int kind, const char* code) {
        TSigRow r;
        r.T = QString::fromUtf8(t);
        r.Kind = quint8(kind);
        r.Code = QString::fromUtf8(code);
        r.Key = QStringLiteral("%1:%2:%3").arg(kind).arg(r.Code, r.T);
        rows << r;
    };
    add("0931", 2, "000660");
    add("0931", 1, "005930");
    add("1002", 4, "000001");
    add("0931", 1, "000660");
    add("0930", 1, "000001");
    add("0931", 3, "000001");
    SortSigRows(rows);
    EXPECT_EQ(KeysOf(rows), (QStringList{"4:000001:1002", "1:000660:0931", "1:005930:0931", "2:000660:0931",
                                         "3:000001:0931", "1:000001:0930"}));
}
