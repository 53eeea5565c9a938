// Cost of the disclosure summary card for one long disclosure: what
// SummaryCard takes (plain-text conversion, the correction check, the
// earnings rules over every token) for a provisional-earnings body of about
// 200 KB in the exchange's layout — the result table, then long notes of
// text and HTML tables, CR LF lines. Also the news page built from the same
// body (NewsPage: line joining and CleanNewsHtml), which the window does
// right after, and a supply-contract body of the same size whose rules are
// all patterns. Figures are medians of 7 repetitions.
#include "news/NewsHtml.h"
#include "news/Summary.h"

#include <benchmark/benchmark.h>

namespace {

QString U(const char* s)
{
    return QString::fromUtf8(s);
}

// The notes that make up the bulk of a long disclosure: prose lines and
// HTML tables of segment figures, until about `bytes` of UTF-8.
QString Notes(qsizetype bytes)
{
    QString s;
    int k = 0;
    while (s.toUtf8().size() < bytes) {
        for (int i = 0; i < 20; ++i, ++k) {
            s += U("- 부문 %1: 당사는 해당 기간 중 반도체 및 디스플레이 사업의 수요 회복에 따라 "
                   "출하량이 증가하였으며, 환율 변동과 원재료 가격 상승의 영향을 받았습니다.\r\n").arg(k);
            s += U("<table><tr><td>구분</td><td>금액</td><td>비중(%)</td></tr><tr><td>부문 %1</td>"
                   "<td>%2</td><td>%3</td></tr></table>\r\n").arg(k).arg(1000 + k * 7).arg(k % 100);
        }
    }
    return s;
}

QString EarningsBody()
{
    return U("연결재무제표기준영업(잠정)실적(공정공시)\r\n1. 연결실적내용\t(단위 : 백만 원, %)\r\n"
             "구분\t당기실적\t전기실적\t전기대비증감율(%)\t전기대비 흑자/적자전환여부\t전년동기실적\t"
             "전년동기대비증감율(%)\t전년동기대비 흑자/적자전환여부\r\n\t(24.3Q)\t(24.2Q)\t\t\t(23.3Q)\r\n"
             "매출액\t당해실적\t1,234,567\t1,100,000\t12.2\t-\t1,000,000\t23.5\t-\r\n"
             "\t누계실적\t3,400,000\t-\t-\t-\t2,900,000\t17.2\t-\r\n"
             "영업이익\t당해실적\t98,765\t80,000\t23.5\t-\t50,000\t97.5\t-\r\n"
             "\t누계실적\t250,000\t-\t-\t-\t-30,000\t-\t흑자전환\r\n"
             "당기순이익\t당해실적\t70,000\t60,000\t16.7\t-\t40,000\t75.0\t-\r\n"
             "\t누계실적\t180,000\t-\t-\t-\t-50,000\t-\t흑자전환\r\n"
             "4. 기타 투자판단과 관련한 중요사항\r\n")
        + Notes(200 * 1024);
}

QString ContractBody()
{
    return U("단일판매ㆍ공급계약체결\r\n1. 판매ㆍ공급계약 내용\t2차전지 제조설비 공급계약\r\n")
        + Notes(100 * 1024)
        + U("2. 계약내역\t계약금액 총액(원)\t12,000,000,000\r\n\t매출액 대비(%)\t55.3\r\n3. 계약상대\t에이비씨 주식회사\r\n"
            "\t-주요사업\t부품\r\n5. 계약기간\t시작일\t2024-05-10\r\n\t종료일\t2025-06-30\r\n")
        + Notes(100 * 1024);
}

void BM_EarningsCard(benchmark::State& state)
{
    const QString title = U("15:40 연결재무제표기준영업(잠정)실적(공정공시)");
    const QString body = EarningsBody();
    qsizetype len = 0;
    for (auto _ : state) {
        QString problem;
        const QString card = SummaryCard(title, body, &problem);
        if (card.isEmpty() || !problem.isEmpty()) {
            state.SkipWithError("no card for the earnings body");
            break;
        }
        len = card.size();
        benchmark::DoNotOptimize(card.constData());
    }
    state.counters["bodyKB"] = double(body.toUtf8().size()) / 1024;
    state.counters["cardChars"] = double(len);
}

void BM_ContractCard(benchmark::State& state)
{
    const QString title = U("09:12 단일판매ㆍ공급계약체결");
    const QString body = ContractBody();
    for (auto _ : state) {
        const QString card = SummaryCard(title, body);
        if (card.isEmpty()) {
            state.SkipWithError("no card for the contract body");
            break;
        }
        benchmark::DoNotOptimize(card.constData());
    }
    state.counters["bodyKB"] = double(body.toUtf8().size()) / 1024;
}

void BM_NewsPage(benchmark::State& state)
{
    const QString body = EarningsBody();
    for (auto _ : state) {
        const QString page = NewsPage(body);
        benchmark::DoNotOptimize(page.constData());
    }
    state.counters["bodyKB"] = double(body.toUtf8().size()) / 1024;
}

} // namespace

BENCHMARK(BM_EarningsCard)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_ContractCard)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_NewsPage)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
