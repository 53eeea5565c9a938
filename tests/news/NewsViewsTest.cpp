// The news lists: which headlines each one shows and in what order, the
// issue-word syntax, and the disclosure tests.
#include "news/NewsViews.h"

#include <gtest/gtest.h>

namespace {

const QString KToday = QStringLiteral("20260310");

TNewsRow Row(const char* d, const char* t, const char* title, const char* codes = "", const char* key = "k",
             const char* src = "")
{
    return TNewsRow{QString::fromUtf8(d), QString::fromUtf8(t),     QString::fromUtf8(key),
                    QString::fromUtf8(title), QString::fromUtf8(codes), QString::fromUtf8(src)};
}

} // namespace

TEST(NewsViews, TimeText)
{
    const struct {
        const char* t;
        const char* want;
    } cases[] = {{"093015", "09:30:15"}, {"0930159", "09:30:15"}, {"0930", "09:30"},
                 {"09301", "09:30"},     {"093", "093"},           {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(TimeText(QString::fromUtf8(c.t)), QString::fromUtf8(c.want)) << c.t;
}

// "," (and ";", "|", space) is or, "&" is and; blanks around "&" do not
// split a term, and stray "&"s at a term's ends are dropped.
TEST(NewsViews, IssueTermsAndMatch)
{
    const struct {
        const char* text;
        QStringList want;
    } terms[] = {
        {"양자 & 컴퓨터, 비만약", {"양자&컴퓨터", "비만약"}},
        {"&HBM&", {"HBM"}},
        {"삼성전자 && HBM", {"삼성전자&HBM"}},
        {"a;b|c d,,  ,e\t", {"a", "b", "c", "d", "e"}},
        {" & , && ", {}},
        {"", {}},
    };
    for (const auto& c : terms)
        EXPECT_EQ(IssueTerms(QString::fromUtf8(c.text)), c.want) << c.text;

    const QStringList t = IssueTerms(QStringLiteral("양자 & 컴퓨터, 비만약, hbm"));
    const struct {
        const char* title;
        const char* match;
    } titles[] = {
        {"양자컴퓨터 상용화 눈앞", "양자&컴퓨터"},
        {"컴퓨터 업계, 양자 기술 투자", "양자&컴퓨터"},
        {"양자 암호 통신", ""},
        {"비만약 임상 3상 성공", "비만약"},
        {"비만약 양자 컴퓨터", "양자&컴퓨터"}, // the first matching term
        {"삼성 HBM 공급", "hbm"},               // case does not matter
        {"", ""},
    };
    for (const auto& c : titles)
        EXPECT_EQ(IssueMatch(QString::fromUtf8(c.title), t), QString::fromUtf8(c.match)) << c.title;
    EXPECT_TRUE(IssueMatch(QStringLiteral("아무 제목"), {}).isEmpty());
}

TEST(NewsViews, Disclosures)
{
    const QStringList ids = GongsiIdsOrDefault({});
    EXPECT_EQ(ids, QStringList{"15"});
    EXPECT_EQ(GongsiIdsOrDefault({"", "15", "", "22"}), (QStringList{"15", "22"}));

    const struct {
        TNewsRow row;
        QStringList ids;
        bool disclosure, important;
    } cases[] = {
        // Source 15 without a keyword: listed, not important.
        {Row("", "", "(주)가나 기업설명회 개최", "", "k", "15"), ids, true, false},
        {Row("", "", "가나 단일판매ㆍ공급계약체결", "", "k", "15"), ids, true, true},
        // With ids configured a keyword from another source is no disclosure.
        {Row("", "", "가나 유상증자 결정", "", "k", "01"), ids, false, false},
        // Characters 15-16 of a long key.
        {Row("", "", "가나 제3자 배정 유상증자", "", "20260310093000150001", "01"), ids, true, true},
        {Row("", "", "가나 최대주주변경", "", "202603100930001", ""), ids, false, false}, // key of 15: too short
        // No ids: the title decides.
        {Row("", "", "가나 유상증자 결정", "", "k", "01"), {}, true, true},
        {Row("", "", "가나 주주총회 소집", "", "k", "01"), {}, true, false},
        {Row("", "", "가나 자사주 매입", "", "k", ""), {}, true, true},
        {Row("", "", "가나 자사주 처분", "", "k", ""), {}, true, false},
        {Row("", "", "가나 신제품 출시", "", "k", "15"), {}, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDisclosure(c.row, c.ids), c.disclosure) << c.row.Title.toStdString();
        EXPECT_EQ(IsImportantDisclosure(c.row, c.ids), c.important) << c.row.Title.toStdString();
    }
}

TEST(NewsViews, ListsAndOrder)
{
    const QVector<TNewsRow> rows = {
        Row("20260310", "090000", "[특징주] 삼성전자 강세", "005930", "k0", "01"), // 0
        Row("20260310", "093000", "삼성전자 HBM 공급", "A005930", "k1", "01"),   // 1
        Row("20260306", "150000", "지난주 삼성전자 뉴스", "005930", "k2", "01"), // 2: earlier day
        Row("20260305", "150000", "더 오래된 뉴스", "005930", "k3", "01"),       // 3: before the chart's first day
        Row("20260310", "093000", "삼성전자 공급계약 체결", "005930", "k4", "15"), // 4: same time as 1, later
        Row("20260310", "0915", "SK하이닉스 HBM 증설", "000660", "k5", "15"),    // 5
        Row("20260310", "091000", "특징주 아님 특징 없음", "000660", "k6", "01"), // 6
    };
    EXPECT_TRUE(NewsViewOf(rows, KToday, QString(), QString()).isEmpty());
    EXPECT_EQ(NewsViewOf(rows, KToday, QStringLiteral("005930"), QString()), (QVector<int>{4, 1, 0}));
    EXPECT_EQ(NewsViewOf(rows, KToday, QStringLiteral("005930"), QStringLiteral("20260306")),
              (QVector<int>{4, 1, 0, 2}));
    EXPECT_EQ(NewsViewOf(rows, KToday, QStringLiteral("000660"), QString()), (QVector<int>{5, 6}));

    EXPECT_TRUE(IssueViewOf(rows, KToday, {}).isEmpty());
    EXPECT_EQ(IssueViewOf(rows, KToday, IssueTerms(QStringLiteral("hbm"))), (QVector<int>{1, 5}));
    EXPECT_EQ(IssueViewOf(rows, KToday, IssueTerms(QStringLiteral("삼성전자"))), (QVector<int>{4, 1, 0}));

    const TGongsiView g = GongsiViewOf(rows, KToday, {QStringLiteral("15")});
    EXPECT_EQ(g.View, (QVector<int>{4, 5}));
    EXPECT_EQ(g.Important, 1);
    EXPECT_EQ(FeatViewOf(rows, KToday), (QVector<int>{6, 0}));

    EXPECT_EQ(NewsTabCaption(0), QStringLiteral("  오늘 뉴스  "));
    EXPECT_EQ(NewsTabCaption(12), QStringLiteral("  오늘 뉴스 (12)  "));
    EXPECT_EQ(IssueHeadText(3), QStringLiteral("이슈 뉴스 3건"));
    EXPECT_EQ(GongsiTabCaption(2, 1), QStringLiteral("  공시 2 (중요 1)  "));
    EXPECT_EQ(FeatTabCaption(0), QStringLiteral("  특징주 0  "));
}
