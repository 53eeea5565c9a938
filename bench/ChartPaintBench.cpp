// Cost of painting the candle chart, side by side with Qt Charts:
//
//   BM_CandleChartPaint   one full paint of TCandleChart (minute chart holding
//                         20 days of 1-minute bars, 7,800) at 560 x 500 into a QImage,
//                         with MA5/20/60, VWAP, today's lines, a holding line,
//                         marks, drawings and the hover crosshair
//   BM_QtChartsPaint      QChartView with a QCandlestickSeries holding the same
//                         7,800 bars (visibleOnly:0) or only the bars the candle
//                         chart shows (visibleOnly:1), x range on that visible
//                         window, rendered into a QImage of the same size
//
// After the run the ratio Qt Charts / TCandleChart is printed for both.
// CHART_PAINT_PNG=<dir> saves the painted images there.
#include "chart/CandleChart.h"

#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QtCharts/QCandlestickSeries>
#include <QtCharts/QCandlestickSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int KDays = 20;
constexpr int KPerDay = 390;  // 09:01 .. 15:30
constexpr int KW = 560, KH = 500;

QVector<TBar> MinuteHistory()
{
    QVector<TBar> r;
    r.reserve(KDays * KPerDay);
    QDate d(2025, 2, 10);
    int days = 0;
    double px = 70000;
    unsigned seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % 201) - 100;  // -100 .. 100
    };
    while (days < KDays) {
        if (d.dayOfWeek() <= 5) {
            const QString day = d.toString("yyyyMMdd");
            for (int i = 0; i < KPerDay; ++i) {
                const int m = 9 * 60 + 1 + i;
                TBar b;
                b.D = day + QStringLiteral("%1%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
                b.O = px;
                px = std::max(1000.0, px + rnd());
                b.C = px;
                b.H = std::max(b.O, b.C) + std::abs(rnd()) / 2;
                b.L = std::min(b.O, b.C) - std::abs(rnd()) / 2;
                b.V = 1000 + std::abs(rnd()) * 50;
                b.PV = (b.H + b.L + b.C) / 3 * b.V;
                r << b;
            }
            ++days;
        }
        d = d.addDays(1);
    }
    return r;
}

const QVector<TBar>& Bars()
{
    static const QVector<TBar> bars = MinuteHistory();
    return bars;
}

qint64 KeyMs(const QString& k)
{
    return QDateTime::fromString(k, QStringLiteral("yyyyMMddHHmm")).toMSecsSinceEpoch();
}

std::unique_ptr<TCandleChart> MakeChart()
{
    auto c = std::make_unique<TCandleChart>();
    c->resize(KW, KH);
    TChartModel& m = c->Model();
    m.SetIsMinute(true);
    m.SetTitle(QStringLiteral("삼성전자 1분"));
    const QVector<TBar>& bars = Bars();
    m.SetBars(bars);
    m.SetPrevClose(bars[bars.size() - KPerDay - 1].C);
    m.SetAvg(bars.last().C * 0.99, 120);
    const int n = bars.size();
    m.SetFills({{bars[n - 30].D, bars[n - 30].C, true}, {bars[n - 10].D, bars[n - 10].C, false}});
    m.SetSigs({{bars[n - 40].D, bars[n - 40].H, true, QStringLiteral("돌파")}});
    m.SetDraws({{'H', {}, {}, bars[n - 20].C, 0}, {'L', bars[n - 50].D, bars[n - 5].D, bars[n - 50].L, bars[n - 5].H}});
    return c;
}

// Hover at the middle of the pane so the crosshair, date tag and price tag are painted.
void Hover(TCandleChart& c)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(KW / 2, KH / 3), QPointF(KW / 2, KH / 3), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&c, &e);
}

int GVisible = 60;  // bars the settled minute chart shows; the Qt Charts run uses the same

void BM_CandleChartPaint(benchmark::State& st)
{
    auto c = MakeChart();
    Hover(*c);
    QImage img(KW, KH, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&img);
        c->PaintTo(p);  // settles the view (fit to about 60 bars)
    }
    GVisible = c->LastVisible() - c->FirstVisible() + 1;
    for (auto _ : st) {
        QPainter p(&img);
        c->PaintTo(p);
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
    if (qEnvironmentVariableIsSet("CHART_PAINT_PNG"))  // eyeball the result
        img.save(qEnvironmentVariable("CHART_PAINT_PNG") + QStringLiteral("/candlechart.png"));
    st.counters["barW"] = c->Model().BarW();
    st.counters["visible"] = GVisible;
}
BENCHMARK(BM_CandleChartPaint)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_QtChartsPaint(benchmark::State& st)
{
    const QVector<TBar> bars = st.range(0) ? Bars().mid(Bars().size() - GVisible) : Bars();
    auto* series = new QCandlestickSeries;
    series->setIncreasingColor(QColor(229, 57, 53));
    series->setDecreasingColor(QColor(30, 136, 229));
    for (const TBar& b : bars)
        series->append(new QCandlestickSet(b.O, b.H, b.L, b.C, double(KeyMs(b.D))));
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* ax = new QDateTimeAxis;
    ax->setFormat(QStringLiteral("HH:mm"));
    auto* ay = new QValueAxis;
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignRight);
    series->attachAxis(ax);
    series->attachAxis(ay);
    const int n = bars.size();
    const int i0 = std::max(n - GVisible, 0);
    double lo = 1e18, hi = -1e18;
    for (int i = i0; i < n; ++i) {
        lo = std::min(lo, bars[i].L);
        hi = std::max(hi, bars[i].H);
    }
    ax->setRange(QDateTime::fromMSecsSinceEpoch(KeyMs(bars[i0].D) - 30000),
                 QDateTime::fromMSecsSinceEpoch(KeyMs(bars[n - 1].D) + 30000));
    ay->setRange(lo, hi);
    QChartView view(chart);
    view.resize(KW, KH);
    view.show();  // lays the chart out at the view's size
    QApplication::processEvents();
    QImage img(KW, KH, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        view.render(&p);  // first layout outside the timing
    }
    for (auto _ : st) {
        QPainter p(&img);
        view.render(&p);
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
    if (qEnvironmentVariableIsSet("CHART_PAINT_PNG"))
        img.save(qEnvironmentVariable("CHART_PAINT_PNG") + QStringLiteral("/qtcharts-%1.png").arg(n));
    st.counters["bars"] = n;
}
BENCHMARK(BM_QtChartsPaint)->ArgName("visibleOnly")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Console output plus the median time of each benchmark's repetitions, for the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Times;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median" && !r.error_occurred) {
                std::string name = r.benchmark_name();
                name = name.substr(0, name.find("/repeats:"));
                Times[name] = r.GetAdjustedRealTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    const auto a = rep.Times.find("BM_CandleChartPaint");
    for (const char* name : {"BM_QtChartsPaint/visibleOnly:0", "BM_QtChartsPaint/visibleOnly:1"}) {
        const auto b = rep.Times.find(name);
        if (a != rep.Times.end() && b != rep.Times.end() && a->second > 0)
            std::printf("%s / BM_CandleChartPaint (medians): %.1fx\n", name, b->second / a->second);
    }
    benchmark::Shutdown();
    return 0;
}
