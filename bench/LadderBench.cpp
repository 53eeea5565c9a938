// Cost of keeping the order-book ladder live:
//
//   BM_LadderTradeUpdate  one trade record: new price and volume, SetData,
//                         the day marks and one tick sum
//   BM_LadderBookUpdate   one order-book record: ten new asks and bids, SetData
//   BM_LadderPaint        one full paint of a 600 x 900 ladder into a QImage
//                         with own orders, tick sums, marks and a holding
#include "core/NumFmt.h"
#include "trading/LadderView.h"
#include "trading/MyOrdBar.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

namespace {

THogaData Book(int price, int shift)
{
    THogaData d;
    d.Code = "005930";
    d.Name = "삼성전자";
    d.Price = price;
    d.PrevClose = 71000;
    d.UpLmt = 92300;
    d.DnLmt = 49700;
    d.Volume = 12000000;
    for (int i = 0; i < 10; ++i) {
        d.Ask[i] = price + 100 * (i + 1);
        d.Bid[i] = price - 100 * i;
        d.AskQ[i] = 1000 + 37 * i + shift;
        d.BidQ[i] = 1200 + 53 * i + shift;
    }
    return d;
}

void Fill(TLadderView& v)
{
    v.resize(600, 900);
    v.SetData(Book(71500, 0));
    for (int i = 0; i < 5; ++i) {
        v.AddMy("1", 72000 + 100 * i, 10 * (i + 1));
        v.AddMy("2", 70500 - 100 * i, 10 * (i + 1));
    }
    for (int p = 69000; p <= 74000; p += 100) {
        v.AddTk(1, p, 1000 + p % 7000);
        v.AddTk(2, p, 800 + p % 5000);
    }
    v.SetHold(100, 70800, 0.3);
    v.SetDayMarks(71000, 72400, 70300, 71320.5);
}

void BM_LadderTradeUpdate(benchmark::State& state)
{
    TLadderView v;
    Fill(v);
    THogaData d = Book(71500, 0);
    int i = 0;
    for (auto _ : state) {
        d.Price = 71400 + 100 * (i % 3);
        d.Volume += 10;
        v.SetData(d);
        v.SetDayMarks(71000, 72400, 70300, 71320.5 + (i % 2) * 0.1);
        v.AddTk(1 + i % 2, d.Price, 10);
        ++i;
    }
    benchmark::DoNotOptimize(v.Model().FCenter);
}
BENCHMARK(BM_LadderTradeUpdate);

void BM_LadderBookUpdate(benchmark::State& state)
{
    TLadderView v;
    Fill(v);
    THogaData books[2] = {Book(71500, 0), Book(71500, 7)};
    int i = 0;
    for (auto _ : state) {
        v.SetData(books[i & 1]);
        ++i;
    }
    benchmark::DoNotOptimize(v.Model().FAskQ.size());
}
BENCHMARK(BM_LadderBookUpdate);

void BM_LadderPaint(benchmark::State& state)
{
    TLadderView v;
    TMyOrdBar bar;
    bar.SetLadder(&v);
    v.SetSumBar(&bar);
    Fill(v);
    QImage img(600, 900, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        v.render(&img);
        benchmark::ClobberMemory();
    }
    state.counters["rows"] = v.VisiblePrices().size();
}
BENCHMARK(BM_LadderPaint)->Unit(benchmark::kMicrosecond);

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
