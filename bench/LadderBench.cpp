// Cost of keeping the order-book ladder live:
//
//   BM_LadderTradeUpdate  one trade record: new price and volume, SetData,
//                         the day marks and one tick sum
//   BM_LadderBookUpdate   one order-book record: ten new asks and bids, SetData
//
// Cost of drawing it: the real TLadderView, 600 x 900 in the window's 9 pt
// font and scale, painted by its own paintEvent into an offscreen raster
// image (QWidget::render: the same paintEvent the window repaints with). The
// book is a live one: ten asks and bids, five own orders per side, tick sums
// on fifty-one prices, a holding with its profit column and all four day
// marks. Every paint figure is the median of repeated runs.
//
//   BM_LadderPaint        the same state painted again (a frame the window
//                         repaints without a data change: hover, sum bar,
//                         an expose)
//   BM_LadderBookPaint    one order-book record, then the paint it causes:
//                         all twenty quantities differ from the last
//                         record's, four of them take values never shown
//                         before
//   BM_LadderScrollPaint  one wheel step (three ticks), then the paint: every
//                         row shows another price than in the frame before
//                         (five steps up and five back, as a wheel goes, so
//                         most of those prices were on screen a moment ago)
//   BM_LadderResizePaint  the width one pixel narrower or wider, then the
//                         paint: every row and the header drawn from scratch
//                         (the text layouts stay, they do not depend on it)
#include "app/UiKit.h"
#include "core/NumFmt.h"
#include "trading/LadderView.h"
#include "trading/MyOrdBar.h"

#include <QApplication>
#include <QImage>
#include <QWheelEvent>
#include <benchmark/benchmark.h>

namespace {

constexpr int kReps = 9;

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

// The ladder as the window builds it: its font, its scale, its sum bar.
struct TLadder {
    TLadderView V;
    TMyOrdBar Bar;
    QImage Img{600, 900, QImage::Format_ARGB32_Premultiplied};
    TLadder()
    {
        V.setFont(AppFont(9));
        V.SetScale(Scaled);
        Bar.setFont(AppFont(9));
        Bar.SetScale(Scaled);
        Bar.SetLadder(&V);
        V.SetSumBar(&Bar);
        Fill(V);
        V.render(&Img);  // the first frame of a freshly shown ladder is not measured
    }
    [[gnu::noinline]] void Paint()  // one symbol to profile the measured frames by
    {
        V.render(&Img);
        benchmark::ClobberMemory();
    }
};

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
    TLadder l;
    for (auto _ : state)
        l.Paint();
    state.counters["rows"] = l.V.VisiblePrices().size();
}
BENCHMARK(BM_LadderPaint)->Unit(benchmark::kMicrosecond)->Repetitions(kReps)->DisplayAggregatesOnly(true);

void BM_LadderBookPaint(benchmark::State& state)
{
    TLadder l;
    THogaData books[2] = {Book(71500, 0), Book(71500, 7)};
    int i = 0;
    for (auto _ : state) {
        THogaData& d = books[i & 1];
        // Best ask and bid and one deeper level per side change to a fresh quantity.
        const int fresh = 5000 + i;
        d.AskQ[0] = fresh;
        d.BidQ[0] = fresh + 1;
        d.AskQ[3 + i % 7] = fresh + 2;
        d.BidQ[3 + i % 7] = fresh + 3;
        l.V.SetData(d);
        l.Paint();
        ++i;
    }
}
BENCHMARK(BM_LadderBookPaint)->Unit(benchmark::kMicrosecond)->Repetitions(kReps)->DisplayAggregatesOnly(true);

void BM_LadderScrollPaint(benchmark::State& state)
{
    TLadder l;
    const QPointF at(300, 450);
    int i = 0;
    for (auto _ : state) {
        // Five steps up, five back down: the rows stay around the live book.
        const int dy = (i / 5) % 2 == 0 ? 120 : -120;
        QWheelEvent e(at, l.V.mapToGlobal(at), {}, QPoint(0, dy), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&l.V, &e);
        l.Paint();
        ++i;
    }
}
BENCHMARK(BM_LadderScrollPaint)->Unit(benchmark::kMicrosecond)->Repetitions(kReps)->DisplayAggregatesOnly(true);

void BM_LadderResizePaint(benchmark::State& state)
{
    TLadder l;
    int i = 0;
    for (auto _ : state) {
        l.V.resize(600 - (i & 1), 900);
        l.Paint();
        ++i;
    }
}
BENCHMARK(BM_LadderResizePaint)->Unit(benchmark::kMicrosecond)->Repetitions(kReps)->DisplayAggregatesOnly(true);

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
