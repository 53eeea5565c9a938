// Disclosure summary cards: the shared number and pattern helpers, each rule
// over bodies shaped like the exchange's forms (tests/news/fixtures), the
// mended readings, and bodies that make a pattern run into its work limit.
#include "Fixtures.h"
#include "news/BoundedRx.h"
#include "news/CapitalSummary.h"
#include "news/NewsHtml.h"
#include "news/Summary.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// A fixture body as the window hands it on: trimmed.
QString Body(const char* name) { return Fixture(name).trimmed(); }


// A rights-issue section as the exchange's form lays it out.
QString RightsForm(const QString& method, const QString& allottees)
{
    return U("1. 신주의 종류와 수\t보통주식 (주)\t1,000,000\r\n2. 1주당 액면가액 (원)\t500\r\n"
             "3. 증자전 발행주식총수 (주)\t보통주식 (주)\t10,000,000\r\n"
             "4. 자금조달의 목적\t운영자금 (원)\t7,000,000,000\r\n\t시설자금 (원)\t3,000,000,000\r\n5. 증자방식\t")
        + method + U("\r\n6. 신주 발행가액\t확정발행가\t보통주식 (원)\t10,000\r\n") + allottees;
}

QString AllotteeTable(int rows)
{
    QString t = U("【제3자배정 대상자별 선정경위, 배정내역】\r\n제3자배정 대상자\t관계\t배정주식수(주)\r\n");
    for (int i = 0; i < rows; ++i)
        t += U("투자조합%1\t-\t%2\r\n").arg(i + 1).arg(100000 * (i + 1));
    return t + U("합계\t-\t1,500,000\r\n");
}

} // namespace

TEST(Summary, NumberHelpers)
{
    struct NumCase { const char* in; bool ok; double v; };
    const NumCase nums[] = {
        {" 1,234.5 ", true, 1234.5}, {"12.5%", true, 12.5}, {"-3,000", true, -3000}, {"+7", true, 7},
        {"-", false, 0},             {"", false, 0},        {" , % ", false, 0},    {"1e3", false, 0},
        {"12.3.4", false, 0},        {"흑자전환", false, 0}, {"inf", false, 0},      {"0x10", false, 0},
    };
    for (const NumCase& c : nums) {
        double v = -99;
        EXPECT_EQ(TryNum(U(c.in), v), c.ok) << c.in;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.v) << c.in;
        }
    }

    struct FmtCase { QString got; const char* want; };
    const FmtCase fmts[] = {
        {FmtEok(12345.67), "1.23조"},   {FmtEok(987.65), "988억"},    {FmtEok(-25000), "-2.50조"},
        // The 조 form is chosen on the rounded figure: never "10,000억".
        {FmtEok(9999.5), "1.00조"},     {FmtEok(9999.49), "9,999억"}, {FmtEok(-9999.7), "-1.00조"},
        {FmtAmt(0.5), "0.5억"},         {FmtAmt(-0.04), "0.0억"},     {FmtAmt(1.5), "2억"},
        {FmtShares(1234567), "123.5만주"}, {FmtShares(9999), "9,999주"}, {FmtShares(10000), "1만주"},
        {FmtPct(U("12.25")), "+12.3%"}, {FmtPct(U("-4")), "-4.0%"},   {FmtPct(U("0")), "0.0%"},
        {FmtPct(U("흑자전환")), "흑자전환"}, {FmtPct(U("적자지속")), "적자"}, {FmtPct(U("-")), "—"},
    };
    for (const FmtCase& c : fmts)
        EXPECT_EQ(c.got, U(c.want));

    EXPECT_EQ(VerdictLine(-1, U("x")), U("<span style=\"color:#1565c0\"><b>한 줄 판단 [악재 성격]:</b> x</span>"));
    EXPECT_EQ(VerdictLine(0, U("x")), U("<span style=\"color:#b0005a\"><b>한 줄 판단 [판단 보류]:</b> x</span>"));
    EXPECT_EQ(VerdictLine(1, U("x")), U("<span style=\"color:#d0021b\"><b>한 줄 판단 [호재 성격]:</b> x</span>"));
}

TEST(Summary, PatternHelpers)
{
    const QString t = U("가격  1,500원\n수량 - \n기간 2024-01-02");
    EXPECT_EQ(RxText(t, U("가격\\s*([\\d,]+)")), U("1,500"));
    EXPECT_EQ(RxText(t, U("수량(\\s*-\\s*)")), U("-"));
    EXPECT_EQ(RxText(t, U("가격")), QString());       // no group
    EXPECT_EQ(RxText(t, U("없음(\\d)")), QString());  // no match
    EXPECT_EQ(RxNum(t, U("가격\\s*([\\d,]+)")), 1500);
    EXPECT_TRUE(std::isnan(RxNum(t, U("수량(\\s*-\\s*)"))));

    // The first anchor whose next 400 characters hold both needs.
    const QString far(500, QLatin1Char('x'));
    const QString text = U("A 하나 ") + far + U(" 둘 A 하나 둘 끝");
    bool found = false;
    EXPECT_EQ(FindSection(text, U("A"), U("하나"), U("둘"), found), U("A 하나 둘 끝"));
    EXPECT_TRUE(found);
    EXPECT_EQ(FindSection(text, U("A"), U("셋"), QString(), found), text);
    EXPECT_FALSE(found);
    EXPECT_EQ(FindSection(text, U("A"), U("하나"), QString(), found), text);
    EXPECT_TRUE(found);
}

// A correction opens with its table of changed items; each row keeps its
// corrected half, the rest of the text stays as it was.
TEST(Summary, CorrectedText)
{
    struct Case { const char* in; const char* want; };
    const Case cases[] = {
        {"정정항목 정정전 정정후\n계약금액(원) 38,500,000,000 41,250,000,000\n끝",
         "정정항목 정정전 정정후\n계약금액(원) 41,250,000,000\n끝"},
        {"정정 전 정정 후\n1. 신주의 종류와 수 보통주식 (주) 3,000,000 보통주식 (주) 3,200,000\n \n종료일 2024-12-31 2025-03-31",
         "정정 전 정정 후\n1. 신주의 종류와 수 보통주식 (주) 3,200,000\n \n종료일 2025-03-31"},
        // The table ends at the first row that is not a before/after pair.
        {"정정전 정정후\n비율 1.5 2.0\n본문 시작\n기간 2024-01-01 2025-01-01",
         "정정전 정정후\n비율 2.0\n본문 시작\n기간 2024-01-01 2025-01-01"},
        // Text changes are left alone (and end the table).
        {"정정전 정정후\n대상자 가나 다라\n금액 1 2", "정정전 정정후\n대상자 가나 다라\n금액 1 2"},
        {"계약금액 100,000 200,000", "계약금액 100,000 200,000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CorrectedText(U(c.in)), U(c.want)) << c.in;

    // A row of a hundred thousand words ending in one pair is read as that
    // pair (without trying every width of the row).
    const QString words = U("가 ").repeated(100000);
    EXPECT_EQ(CorrectedText(U("정정전 정정후\n") + words + U("1.5 2.0\n끝")),
              U("정정전 정정후\n") + words + U("2.0\n끝"));
}

// Every fixture through SummaryCard: the lines it must show, and readings it
// must not (the ones the mended rules used to give).
TEST(Summary, CardsFromForms)
{
    struct Case {
        const char* title;
        const char* fixture;
        std::vector<const char*> want;
        std::vector<const char*> not_;
    };
    const Case cases[] = {
        {"15:40 연결재무제표기준영업(잠정)실적(공정공시)", "earnings_consolidated.txt",
         {"📊 24.3Q 잠정 실적 요약 (연결)</b>",
          // "단위 : 백만 원" read as millions, not the later "(단위: 억원)".
          "매출 <b>1.23조</b> — 전분기 +12.2% · 전년 같은 분기 +23.5%",
          "영업이익 <b>988억</b> — 전분기 +23.5% · 전년 같은 분기 +97.5% · 영업이익률 <b>8.0%</b> (전년 5.0%)",
          "순이익 <b>700억</b> — 전분기 +16.7% · 전년 같은 분기 +75.0%",
          // The cumulative turnaround shows as in the quarter rows.
          "올해 누계: 매출 3.40조 (+17.2%) · 영업이익 2,500억 (흑자전환) — 괄호는 전년 누계 대비",
          "<b>한 줄 판단:</b> 매출 · 영업이익 모두 전분기 · 전년보다 증가 · 이익 증가율이 매출보다 커서 수익성 개선",
          "단위 백만원 를 억원으로 바꿔 표시"},
         {"123.46조", "단위 억원"}},
        {"16:02 영업(잠정)실적(공정공시) 별도", "earnings_separate_turnaround.txt",
         {"📊 24.2Q 잠정 실적 요약 (별도)</b>", "매출 <b>200억</b> — 전분기 +25.0% · 전년 같은 분기 +11.1%",
          "영업이익 <b>15억</b> — 전분기 흑자전환 · 전년 같은 분기 흑자전환 · 영업이익률 <b>7.5%</b> (전년 -1.7%)",
          "순이익 <b>-1억</b> — 전분기 — · 전년 같은 분기 —", "영업이익 13억 (흑자전환)",
          "<b>한 줄 판단:</b> 영업이익 흑자 전환</span>", "단위 천원 를"},
         {}},
        {"09:12 단일판매ㆍ공급계약체결", "contract_won.txt",
         {"📝 공급계약 요약</b><br>계약 금액 <b>120억</b> · 최근 매출의 <b>55.3%</b>",
          "계약 상대: 에이비씨 주식회사", "기간: 2024-05-10 ~ 2025-06-30",
          "<b>한 줄 판단:</b> 최근 매출의 절반이 넘는 큰 계약"},
         {}},
        {"13:30 단일판매ㆍ공급계약체결(자율공시)", "contract_unit_million.txt",
         {"계약 금액 <b>95억</b> · 최근 매출의 <b>7.9%</b>", "계약 상대: Global Semi Inc.", "기간: 2024-09-02 ~ 2024-12-31",
          "최근 매출 대비 작은 규모"},
         {"<b>0억</b>"}},
        {"10:05 [기재정정]단일판매ㆍ공급계약체결", "contract_correction.txt",
         {"계약 금액 <b>413억</b> · 최근 매출의 <b>13.0%</b>", "기간: 2024-03-15 ~ 2025-03-31", "의미 있는 규모"},
         {"385억", "12.1%", "2024-12-31"}},
        {"17:20 유상증자결정(제3자배정)", "rights_third_party.txt",
         {"💰 유상증자 요약 — 제3자배정</b><br>", "신주 <b>115만주</b> · 발행가 <b>6,090원</b> · 총 <b>70억</b>",
          "기존 주식 수의 <b>11.5%</b> 만큼 늘어남 (증자 전 1,000만주)", "자금 용도: 운영 40억 · 타법인 지분 30억<br>",
          "대상자: 주식회사 가나다 100만주 <b>(최대주주측)</b> · 홍길동 15만주<br>", "할인(할증)율 10% · 보호예수 1년",
          "일정: 납입 2024-07-15 · 상장 예정 <b>2024-08-01</b>",
          "[호재 성격]:</b> 최대주주측이 직접 돈을 넣는 증자 — 책임경영 신호로 보는 경우가 많음 · 할인율 10%로 큰 편 · "
          "보호예수 끝나는 때 물량 주의</span>",
          "규칙으로 뽑은 요약"},
         {"정정 공시"}},
        {"08:40 [기재정정]유상증자결정(주주배정후실권주일반공모)", "rights_correction.txt",
         {"💰 유상증자 요약 — 주주배정 후 실권주 일반공모</b> <span style=\"color:#888\">(정정 공시)</span>",
          "신주 <b>320만주</b> · 발행가 <b>9,400원</b> · 총 <b>301억</b>",
          "자금 용도: 운영 211억 · 채무상환 90억 — <b>대부분 운영 · 빚 갚기</b>", "기존 주식 수의 <b>32.0%</b>",
          "일정: 배정기준일 2024-05-10 · 1주당 0.32주 · 청약 2024-06-17 · 납입 2024-06-25",
          "정정 사유: 신주 발행수량 및 예정발행가 변경", "[악재 성격]", "주식 수가 32% 늘어 희석 큼",
          "성장 투자보다 운영 · 빚 갚기 위주", "기준일 전날 권리락"},
         {"300만주", "10,000원"}},
        {"11:00 유상증자결정", "rights_shareholders.txt",
         {"자금 용도: 운영 49억 · 채무상환 20억 · 타법인 지분 31억<br>", "총 <b>100억</b>"},
         {"대부분 운영"}},
        {"12:00 무상증자결정", "bonus_issue.txt",
         {"🎁 무상증자 요약</b><br>1주당 <b>1주</b> 공짜로 · 신주 1,200만주 (주식 수 <b>+100.0%</b>)",
          "일정: 배정기준일 <b>2024-04-01</b> (전날이 권리락) · 신주 상장 2024-04-19",
          "[호재 성격]:</b> 회사 가치는 그대로, 주식 수만 늘어남 — 보통 단기 호재로 반응 · 1주당 1주 이상이라 큰 비율 · "
          "권리락 뒤 · 신주 상장일 무렵엔 차익 매물 주의"},
         {}},
        {"14:10 전환사채권발행결정", "cb_issue.txt",
         {"📄 전환사채(CB) 발행 요약 — 사모</b>", "총액 <b>150억</b> · 전환가 <b>10,000원</b> · 주식 총수의 <b>12.5%</b>",
          "이자: 표면 0.0% · 만기 3.0% · 만기일 2027-05-20", "자금 용도: 운영 100억 · 채무상환 50억",
          "청구 시작 <b>2025-05-20</b> ~ 2027-04-20 · 최저 조정가 7,000원 (70%)",
          "[악재 성격]:</b> 나중에 주식으로 바뀌는 잠재 물량 — 보통 희석 부담 · 주식 총수의 13%로 큰 규모 · "
          "주가 내리면 전환가도 내려가(리픽싱) 물량이 더 늘 수 있음 · 청구 시작일(2025-05-20) 무렵 매물 주의"},
         {}},
        {"15:00 감자결정", "capital_reduction.txt",
         {"✂️ 무상감자 요약</b>", "감자비율 <b>80%</b> — 약 <b>5주 → 1주</b>",
          "사유: 결손금 보전을 통한 재무구조 개선",
          "일정: 감자기준일 2024-08-20 · <b>거래정지 2024-08-19~</b> · 신주 상장 2024-09-06", "[악재 성격]"},
         {}},
        {"18:00 [철회]유상증자결정 철회", "withdrawal.txt",
         {"⛔ 철회 공시 — <span style=\"color:#c00\">주주배정 유상증자 취소</span>",
          "취소된 내용: 신주 <b>500만주</b> (최초 600만주) · 규모 <b>250억</b> (최초 300억)",
          "자금 용도였던 것: 운영자금 및 채무상환자금", "최초 이사회 2024-3-5 · 철회 결정 2024-05-20",
          // "…의미하는 것은 아닙니다" is the form's usual ending.
          "철회 이유: <b>금감원 정정 요구 · 일정 장기화 · 주가 하락 · 시장 여건 · 회사 측: 사업 중단은 아님</b>",
          "[호재 성격]", "금감원 심사를 못 넘은 것이라 다른 방식 재추진 여부 확인"},
         {}},
    };
    for (const Case& c : cases) {
        QString problem;
        const QString card = SummaryCard(U(c.title), Body(c.fixture), &problem);
        EXPECT_TRUE(problem.isEmpty()) << c.fixture << ": " << problem.toStdString();
        ASSERT_TRUE(card.startsWith(U("<div style=\"background:#fff7e0;"))) << c.fixture << "\n" << card.toStdString();
        EXPECT_TRUE(card.endsWith(U("</div>")));
        for (const char* w : c.want)
            EXPECT_TRUE(card.contains(U(w))) << c.fixture << " lacks: " << w << "\n" << card.toStdString();
        for (const char* w : c.not_)
            EXPECT_FALSE(card.contains(U(w))) << c.fixture << " shows: " << w << "\n" << card.toStdString();
    }
}

TEST(Summary, NoCard)
{
    struct Case { const char* title; QString body; };
    const Case cases[] = {
        {"09:00 삼성전자 신제품 발표", Body("contract_won.txt")},          // no rule for the headline
        {"09:00 단일판매ㆍ공급계약체결", U("계약금액 (원) 9999\r\n매출액 대비 1.0")}, // fewer than 5 digits
        {"09:00 유상증자결정 철회", U("1. 제출사유\t유상증자 철회\r\n2. 사유\t기타")}, // nothing to show
        {"09:00 유상증자결정", U("신주의 종류와 수 보통주식 1,000")},            // no section
        {"09:00 무상증자결정", U("1. 신주의 종류와 수\t-\r\n2. 1주당 액면가액 500\r\n3. 증자전 발행주식총수 100,000")},
        {"09:00 감자결정", U("감자방법 무상병합")},
        {"09:00 전환사채권발행결정", U("1. 사채의 종류 무기명식\r\n2. 권면 총액 (원) -")},
        {"", QString()},
    };
    for (const Case& c : cases) {
        QString problem;
        EXPECT_EQ(SummaryCard(U(c.title), c.body, &problem), QString()) << c.title;
        EXPECT_TRUE(problem.isEmpty()) << c.title;
    }
}

TEST(Summary, RuleEdges)
{
    // An earnings headline without result rows leaves the body to the capital rules.
    const QString rights = SummaryCard(U("15:40 영업(잠정)실적 및 유상증자결정"), Body("rights_third_party.txt"));
    EXPECT_TRUE(rights.contains(U("💰 유상증자 요약 — 제3자배정"))) << rights.toStdString();
    EXPECT_FALSE(rights.contains(U("📊")));

    // Operating changes "흑자전환" in both columns: the turnaround judgement.
    const QString body = U("(단위 : 억원)\r\n매출액 당해실적 100 90 11.1 - 80 25.0 -\r\n"
                           "영업이익 당해실적 10 -5 - 흑자전환 -2 - 흑자전환\r\n");
    const QString earn = SummaryCard(U("10:00 영업(잠정)실적"), body);
    EXPECT_TRUE(earn.contains(U("영업이익 흑자 전환"))) << earn.toStdString();
    EXPECT_TRUE(earn.contains(U("📊  잠정 실적 요약</b>")));  // no quarter, no basis

    // Amounts labelled with their unit.
    struct Amount { const char* body; const char* want; };
    const Amount amounts[] = {
        {"계약금액 (억원) 350", "계약 금액 <b>350억</b>"},
        {"계약금액 (백만 원) 123,456", "계약 금액 <b>1,235억</b>"},
        {"계약금액 총액(천원) 5,000,000", "계약 금액 <b>50억</b>"},
        {"계약금액 총액(원) 1,234,567,890", "계약 금액 <b>12억</b>"},
        // A script in the body is not text of the form.
        {"<script>var x = '계약금액 99,999,999,999';</script>\r\n계약금액 (원) 2,500,000,000", "계약 금액 <b>25억</b>"},
        {"<STYLE>/* 계약금액 77,777,777,777 */</STYLE>계약금액 (원) 2,500,000,000", "계약 금액 <b>25억</b>"},
    };
    for (const Amount& a : amounts) {
        const QString card = SummaryCard(U("09:00 단일판매ㆍ공급계약체결"), U(a.body));
        EXPECT_TRUE(card.contains(U(a.want))) << a.body << "\n" << card.toStdString();
    }

    // Up to four allottees, then " 등" (also after exactly four).
    for (int rows : {4, 5}) {
        bool insider = true;
        QString line;
        ParseAllottees(AllotteeTable(rows).replace(U("\r\n"), U("\n")), insider, line);
        EXPECT_EQ(line, U("투자조합1 10만주 · 투자조합2 20만주 · 투자조합3 30만주 · 투자조합4 40만주 등")) << rows;
        EXPECT_FALSE(insider);
    }

    // 70 of 100 억 for running costs: "대부분 운영 · 빚 갚기".
    const QString mostly = SummaryCard(U("09:00 유상증자결정"), RightsForm(U("제3자배정증자"), AllotteeTable(1)));
    EXPECT_TRUE(mostly.contains(U("자금 용도: 운영 70억 · 시설 30억 — <b>대부분 운영 · 빚 갚기</b>"))) << mostly.toStdString();
    EXPECT_TRUE(mostly.contains(U("[판단 보류]")));

    // The refixing warning from a floor at 71 % of the conversion price down.
    for (const auto& [floor, warns] : {std::pair{"7,000", true}, {"7,100", true}, {"7,200", false}}) {
        const QString bond = U("1. 사채의 종류 무기명식\r\n2. 사채의 권면총액 (원) 1,000,000,000\r\n"
                               "전환가액 (원/주) 10,000\r\n최저 조정가액 (원) ") + U(floor);
        const QString card = SummaryCard(U("09:00 전환사채권발행결정"), bond);
        EXPECT_EQ(card.contains(U("리픽싱")), warns) << floor;
        EXPECT_TRUE(card.contains(U("[판단 보류]"))) << floor;  // no share ratio
    }

    // Bonds: price word and the exchangeable judgement.
    const QString eb = SummaryCard(U("09:00 교환사채권발행결정"),
                                   U("사채의 종류 무기명식 공모\r\n사채의 권면총액 (원) 5,000,000,000\r\n교환가액 (원/주) 20,000"));
    EXPECT_TRUE(eb.contains(U("📄 교환사채(EB) 발행 요약 — 공모</b>"))) << eb.toStdString();
    EXPECT_TRUE(eb.contains(U("교환가 <b>20,000원</b>")));
    EXPECT_TRUE(eb.contains(U("회사가 가진 주식(자사주 등)으로 바꿔 주는 사채")));

    // A paid capital reduction.
    const QString paid = SummaryCard(U("09:00 유상감자결정"), U("감자비율 보통주식 (%) 12.5\r\n감자방법 유상소각"));
    EXPECT_TRUE(paid.contains(U("✂️ 유상감자 요약")));
    EXPECT_TRUE(paid.contains(U("감자비율 <b>12.5%</b> — 약 <b>1.1주 → 1주</b>")));
    EXPECT_TRUE(paid.contains(U("[판단 보류]:</b> 회사가 주주에게 돈을 돌려주는 감자")));

    // Withdrawals: kinds and the third-party judgement.
    const QString cbOff = SummaryCard(U("09:00 전환사채권발행결정 철회"),
                                      U("1. 제출사유 전환사채 발행 철회\r\n2. 사채 총액 (원) 3,000,000,000\r\n"
                                        "철회사유 인수인과의 계약이 해지됨"));
    EXPECT_TRUE(cbOff.contains(U("전환사채(CB) 발행 취소"))) << cbOff.toStdString();
    EXPECT_TRUE(cbOff.contains(U("규모 <b>30억</b>")));
    EXPECT_TRUE(cbOff.contains(U("철회 이유: <b>주관사 계약 해제</b>")));
    EXPECT_TRUE(cbOff.contains(U("[판단 보류]:</b> 나중에 주식으로 바뀔 잠재 물량 부담은 줄지만 자금 조달은 무산")));
    const QString third = SummaryCard(U("09:00 유상증자결정 철회"),
                                      U("제출사유 제3자배정 유상증자 철회\r\n철회 사유 대상자의 납입이 이루어지지 않아 미납"));
    EXPECT_TRUE(third.contains(U("제3자배정 유상증자 취소")));
    EXPECT_TRUE(third.contains(U("[악재 성격]:</b> 외부 투자 유치가 무산 — 보통 악재로 반응 · 투자자가 돈을 안 넣은 것이라 신뢰 하락")));
}

TEST(Summary, WithdrawReasonTable)
{
    struct Case { const char* text; const char* want; };
    const Case cases[] = {
        {"대표주관사와의 인수계약이 해제되어", "주관사 계약 해제"},
        {"정정신고서 제출 요구를 받아", "금감원 정정 요구"},
        {"일정이 계속 지연되어", "일정 장기화"},
        {"납입이 되지 않아", "납입 미이행"},
        {"청약 결과 모집금액에 미달", "청약 미달"},
        {"시장 상황이 크게 악화되어", "주가 하락 · 시장 여건"},
        {"투자자의 요청에 따라", "투자자 사정"},
        {"자금 조달 방법을 다시 변경하고자", "조달 방법 재검토"},
        {"사업 중단을 의미하는 것은 아닙니다.", "회사 측: 사업 중단은 아님"},
        {"사업 중단을 의미하는 것은 아니며", "회사 측: 사업 중단은 아님"},
        {"투자자 보호를 위해 재검토", "조달 방법 재검토"},
        {"이사회 결의", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithdrawReasons(U(c.text)), U(c.want)) << c.text;
}

TEST(Summary, FundUse)
{
    double total = -1, running = -1;
    QString line;
    ParseFundUse(U("시설자금 (원) 1,000,000,000\n운영자금(원) -\n채무상환자금 (원) 50,000,000\n"
                   "타법인  증권 취득자금 (원) 0000\n기타자금 (원) 2,000,000,000"),
                 total, running, line);
    EXPECT_EQ(line, U("시설 10억 · 채무상환 0.5억 · 기타 20억"));
    EXPECT_DOUBLE_EQ(total, 30.5);
    EXPECT_DOUBLE_EQ(running, 0.5);
}

// A line of a million characters is searched to its end, not given up at
// a work limit: the card shows what the body holds (the first-planned
// figures are found anywhere later on their line, and only there).
TEST(Summary, LongLineStillGetsItsCard)
{
    const QString filler(1200000, QChar(u'가'));
    struct Case { QString body; const char* want; const char* notWant; };
    const Case cases[] = {
        {U("신주의 종류와 수 보통주식 1,000주 ") + filler, "취소된 내용: 신주 <b>1,000주</b><br>", "(최초"},
        {U("신주의 종류와 수 보통주식 1,000주 ") + filler + U(" 최초 2,000"), "신주 <b>1,000주</b> (최초 2,000주)", nullptr},
        // The first anchor without a first-planned figure on its line gives way
        // to a later one that has it; a figure on the next line does not count.
        {U("신주의 종류와 수 1,000주\n최초 5,000\n신주의 종류와 수 1,000주 ") + filler + U(" 최초 3,000"),
         "신주 <b>1,000주</b> (최초 3,000주)", nullptr},
        {U("발행예정금액 : 5,000,000,000 ") + filler + U("\n최초 6,000,000,000"), "규모 <b>50억</b><br>", "(최초"},
        {U("발행예정금액 : 5,000,000,000 ") + filler + U(" 최초 6,000,000,000"), "규모 <b>50억</b> (최초 60억)", nullptr},
    };
    for (const Case& c : cases) {
        QString problem;
        const QString card = SummaryCard(U("09:00 유상증자결정 철회"), U("1. 제출사유 유상증자 철회\r\n") + c.body, &problem);
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        EXPECT_TRUE(card.contains(U(c.want))) << c.want << "\n" << card.left(400).toStdString();
        if (c.notWant) {
            EXPECT_FALSE(card.contains(U(c.notWant))) << c.want;
        }
    }
}

TEST(BoundedRx, LimitsAndStatus)
{
    // Catastrophic backtracking stops at the limit and says so.
    TRxWatch watch;
    const TRxText text(QString(40, QLatin1Char('a')) + QLatin1Char('b'));
    const TRxMatch m = TBoundedRx::Of(QStringLiteral("(a+)+$")).Find(text);
    EXPECT_EQ(m.Status, TRxStatus::LimitHit);
    EXPECT_TRUE(watch.Hit());
    EXPECT_TRUE(watch.Reason().contains(QStringLiteral("(a+)+$")));
    {
        // An inner watch takes the reports while it lives.
        TRxWatch inner;
        TBoundedRx::Of(QStringLiteral("(a+)+$")).Find(text);
        EXPECT_EQ(inner.Hits(), 1);
    }
    EXPECT_EQ(watch.Hits(), 1);

    const TBoundedRx& bad = TBoundedRx::Of(QStringLiteral("(unclosed"));
    EXPECT_FALSE(bad.Valid());
    EXPECT_FALSE(bad.CompileError().isEmpty());
    EXPECT_EQ(bad.Find(text).Status, TRxStatus::BadPattern);
    EXPECT_EQ(&TBoundedRx::Of(QStringLiteral("a+")), &TBoundedRx::Of(QStringLiteral("a+")));

    // Offsets are bytes of the UTF-8 form; groups come back as text.
    const TRxText kor(U("가나 123 다"));
    const TRxMatch g = TBoundedRx::Of(QStringLiteral("(\\d+)\\s*(x)?")).Find(kor);
    ASSERT_TRUE(g.Ok());
    EXPECT_EQ(g.Text(kor, 1), QStringLiteral("123"));
    EXPECT_EQ(g.Text(kor, 2), QString());
    EXPECT_EQ(kor.Mid(g.Start, g.End), QStringLiteral("123 "));
    EXPECT_EQ(TBoundedRx::Of(QStringLiteral("나"), false).ReplaceAll(kor, QStringLiteral("-")), U("가- 123 다"));
    EXPECT_EQ(TBoundedRx::Of(QStringLiteral("x*")).ReplaceAll(TRxText(U("가나")), QStringLiteral("|")), U("|가|나|"));

    // A lone surrogate does not upset the matcher.
    const QString odd = QString(QChar(0xD800)) + QStringLiteral("abc");
    EXPECT_TRUE(TBoundedRx::Of(QStringLiteral("abc")).Find(TRxText(odd)).Ok());
}
