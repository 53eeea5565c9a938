// Painting and mouse handling of the candle chart widget, offscreen.
#include "chart/CandleChart.h"

#include <QComboBox>
#include <QDate>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// n one-minute bars of one day from 09:01, alternating rising and falling.
QVector<TBar> MinuteBars(int n, const QString& day = QStringLiteral("20250312"), double px = 10000,
                         qint64 vol = 1000)
{
    QVector<TBar> r;
    for (int i = 0; i < n; ++i) {
        const int m = 9 * 60 + 1 + i;
        TBar b;
        b.D = day + QStringLiteral("%1%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
        const bool up = i % 2 == 0;
        b.O = up ? px : px + 40;
        b.C = up ? px + 40 : px;
        b.H = std::max(b.O, b.C) + 10;
        b.L = std::min(b.O, b.C) - 10;
        b.V = vol + i * 10;
        r << b;
        px += 5;
    }
    return r;
}

QImage Paint(TCandleChart& c)
{
    QImage img(c.size(), QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    c.PaintTo(p);
    p.end();
    return img;
}

// n day bars up to 2025-03-12 around 185,000 won with 8-digit volumes.
QVector<TBar> DayBars(int n)
{
    QVector<TBar> r;
    for (int i = 0; i < n; ++i) {
        const double o = 185000 + (i % 7) * 500;
        const double c = o + (i % 2 ? -1500 : 1500);
        r << TBar{QDate(2025, 3, 12).addDays(i - n + 1).toString(QStringLiteral("yyyyMMdd")), o,
                  std::max(o, c) + 500, std::min(o, c) - 500, c, 40000000 + i, 0};
    }
    return r;
}

// The window's controls in the minute chart's top strip, from the right edge
// leftwards and as high as the period selector; returns them.
QVector<QWidget*> PlaceControls(TCandleChart& c)
{
    auto* sel = new QComboBox(&c);
    sel->addItem(QStringLiteral("1분"));
    const int h = sel->sizeHint().height();
    int left = std::max(4, c.width() - 78 - 82);
    sel->setGeometry(left, 1, 78, h);
    QVector<QWidget*> r{sel};
    auto button = [&](const QString& t, int step, int w) {
        left -= step;
        r << new QPushButton(t, &c);
        r.last()->setGeometry(left, 1, w, h);
    };
    button(QStringLiteral("하루"), 50, 46);
    button(QStringLiteral("◀ 더보기"), 80, 76);
    button(QStringLiteral("그리기 ▾"), 80, 76);
    return r;
}

// Text rows of the chart: the top strip from y = 3 and the information line
// from the price pane's top + 2, each one font height; the price pane ends
// where the axis column (as wide as "000,000,0" + 10) begins.
int TextH(const TCandleChart& c) { return std::max(QFontMetrics(c.ChartFont()).height(), 10); }
int PaneTop(const TCandleChart& c) { return TextH(c) + 8; }
int AxisLeft(const TCandleChart& c)
{
    return c.width() - QFontMetrics(c.ChartFont()).horizontalAdvance(QStringLiteral("000,000,0")) - 10;
}

// Bounding box of the pixels where a and b differ inside r (null when none).
QRect Diff(const QImage& a, const QImage& b, const QRect& r)
{
    QRect d;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                d |= QRect(x, y, 1, 1);
    return d;
}

// Whether some pixel in r is text of colour c: c blended with the white
// background at half coverage or more (read off c's darkest channel).
bool HasColour(const QImage& img, const QRect& r, const QColor& c)
{
    const int cc[3] = {c.red(), c.green(), c.blue()};
    const int far = int(std::min_element(cc, cc + 3) - cc);
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            const int pc[3] = {p.red(), p.green(), p.blue()};
            const double a = double(255 - pc[far]) / (255 - cc[far]);
            bool ok = a >= 0.5 && a <= 1.05;
            for (int k = 0; k < 3 && ok; ++k)
                ok = std::abs(pc[k] - (255 - a * (255 - cc[k]))) <= 20;
            if (ok)
                return true;
        }
    return false;
}

struct CandleChartTest : ::testing::Test {
    TCandleChart Chart;
    void SetUp() override
    {
        Chart.resize(560, 500);
        Chart.Model().SetIsMinute(true);
    }
    QPointF Mid() const { return QPointF(Chart.width() / 2, Chart.height() / 3); }
    void Wheel(int dy)
    {
        QWheelEvent e(Mid(), Chart.mapToGlobal(Mid()), QPoint(), QPoint(0, dy), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&Chart, &e);
    }
};

TEST_F(CandleChartTest, PaintsEveryStateWithoutCrashing)
{
    // No bars: only the title and the empty message, no geometry.
    Chart.Model().SetTitle(QStringLiteral("삼성전자"));
    Paint(Chart);
    EXPECT_FALSE(Chart.Model().GeoOK());

    TChartModel& m = Chart.Model();
    QVector<TBar> bars = MinuteBars(120, QStringLiteral("20250311")) + MinuteBars(200);
    m.SetBars(bars);
    m.SetPrevClose(10100);
    m.SetAvg(10300, 15);
    m.SetFills({{bars[250].D, bars[250].C, true}, {bars[260].D, bars[260].C, false}});
    m.SetSigs({{bars[10].D, 9000, true, QStringLiteral("돌파")}, {bars[300].D, 11000, false, QStringLiteral("이탈")}});
    m.SetDtMark(bars[280].D, QStringLiteral("DT"));
    m.SetNewsMark(bars[290].D, QStringLiteral("뉴스"), false);
    m.SetDraws({{'X', bars[300].D, {}, 10500, 0}, {'H', {}, {}, 10600, 0}, {'V', bars[310].D, {}, 0, 0},
                {'L', bars[250].D, bars[310].D, 10200, 10900}, {'C', bars[260].D, bars[280].D, 10300, 10700},
                {'L', QStringLiteral("19990101"), QStringLiteral("29990101"), -5, 1e9}});
    m.SetSel(3);
    const QImage img = Paint(Chart);
    EXPECT_TRUE(m.GeoOK());
    EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::white));

    // Hover over the pane, a pending rubber band, a day chart with a day mark,
    // a pane too small to draw and a single flat bar.
    QTest::mouseMove(&Chart, QPoint(300, 150));
    m.SetTool('L');
    m.SetPend(bars[300].D, 10500);
    Paint(Chart);
    m.SetIsMinute(false);
    m.SetExtVwap(10400);
    m.SetDayMark(QStringLiteral("20250312"));
    m.SetBars(bars);
    Paint(Chart);
    Chart.resize(60, 40);
    Paint(Chart);
    EXPECT_FALSE(m.GeoOK());
    Chart.resize(560, 500);
    m.SetBars({TBar{QStringLiteral("20250312"), 5000, 5000, 5000, 5000, 0, 0}});
    Paint(Chart);
    EXPECT_TRUE(m.GeoOK());
}

TEST_F(CandleChartTest, TextsLaidOutOnceDrawTheSamePixels)
{
    TChartModel& m = Chart.Model();
    QVector<TBar> bars = MinuteBars(120, QStringLiteral("20250311")) + MinuteBars(200);
    m.SetTitle(QStringLiteral("1분봉 삼성전자 005930"));
    m.SetBars(bars);
    m.SetPrevClose(10100);
    m.SetAvg(10300, 15);
    m.SetFills({{bars[250].D, bars[250].C, true}});
    m.SetSigs({{bars[10].D, 9000, true, QStringLiteral("돌파")}});
    m.SetDtMark(bars[280].D, QStringLiteral("DT"));
    m.SetDraws({{'H', {}, {}, 10600, 0}});
    m.SetSel(0);
    QTest::mouseMove(&Chart, QPoint(300, 150));
    // Each state painted plainly, then twice from the cache (laid out, then reused).
    auto same = [&](const char* state) {
        Chart.SetTextCache(false);
        const QImage plain = Paint(Chart);
        Chart.SetTextCache(true);
        const QImage first = Paint(Chart), again = Paint(Chart);
        EXPECT_EQ(Diff(plain, first, plain.rect()), QRect()) << state;
        EXPECT_EQ(Diff(plain, again, plain.rect()), QRect()) << state;
    };
    same("minute chart, hovered");
    bars.last().C += 35;   // a new last price: new axis and tag texts
    m.SetBars(bars);
    same("after a trade");
    QFont big = Chart.ChartFont();
    big.setPointSize(13);
    Chart.SetChartFont(big);
    same("larger font");
    m.SetIsMinute(false);
    m.SetBars(DayBars(80));
    same("day chart");
}

// The widget's own paint keeps the background and every bar but the last in
// a layer; each state must come out exactly as a plain paint of it, and a
// trade inside the last bar must not draw the layer anew.
TEST_F(CandleChartTest, LayerOfEarlierBarsDrawsTheSamePixelsAsAPlainPaint)
{
    TChartModel& m = Chart.Model();
    const QString day = QStringLiteral("20250312");
    QVector<TBar> bars = MinuteBars(120, QStringLiteral("20250311")) + MinuteBars(200, day);
    bars.last().V = 500;   // the current minute is not the busiest
    m.SetTitle(QStringLiteral("1분봉 삼성전자 005930"));
    m.SetIsMinute(true);
    m.SetBars(bars);
    m.SetPrevClose(10100);
    m.SetAvg(10300, 15);
    m.SetSigs({{bars[10].D, 9000, true, QStringLiteral("돌파")}});
    m.SetDraws({{'H', {}, {}, 10600, 0}});
    PlaceControls(Chart);
    Chart.show();
    // The widget's own paint, its child controls left out.
    auto live = [&] {
        QImage img(Chart.size(), QImage::Format_ARGB32);
        img.fill(Qt::black);
        Chart.render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        return img;
    };
    auto same = [&](const char* state) {
        const QImage shown = live();
        const QImage plain = Paint(Chart);
        ASSERT_EQ(shown.size(), plain.size()) << state;
        EXPECT_EQ(Diff(plain, shown, plain.rect()), QRect()) << state;
    };
    same("first paint");
    const int built = Chart.LayerBuilds();
    ASSERT_GT(built, 0) << "the widget's paint did not use the layer";
    // The last bar is 12:20: trades from 12:19:00 to 12:19:59 fall in it.
    const double lastC = bars.last().C;
    m.Tick(day, QStringLiteral("121930"), lastC + 5, 0, 0, 0, 0, 1);
    same("a trade inside the last bar");
    m.Tick(day, QStringLiteral("121940"), lastC - 5, 0, 0, 0, 0, 1);
    same("another one");
    EXPECT_EQ(Chart.LayerBuilds(), built) << "a trade in the last bar drew the layer anew";

    m.Tick(day, QStringLiteral("121945"), lastC + 400, 0, 0, 0, 0, 1);
    same("a new high: new scale and today's high line");
    m.Tick(day, QStringLiteral("121950"), lastC, 0, 0, 0, 0, 500000);
    same("the last bar's volume becomes the largest");
    EXPECT_EQ(Chart.LayerBuilds(), built + 1) << "only the new high drew the layer anew";
    m.Tick(day, QStringLiteral("122005"), lastC + 10, 0, 0, 0, 0, 3);
    same("a new minute's bar");
    EXPECT_GT(Chart.LayerBuilds(), built);

    QTest::mouseMove(&Chart, QPoint(200, 150));
    same("hovered");
    m.SetOffset(40);
    m.Tick(day, QStringLiteral("122010"), lastC + 20, 0, 0, 0, 0, 3);
    same("scrolled into the past, a trade");
    m.SetOffset(0);
    Chart.resize(430, 380);
    same("resized");
    QFont big = Chart.ChartFont();
    big.setPointSize(12);
    Chart.SetChartFont(big);
    same("larger font");
    m.SetTitle(QStringLiteral("1분봉 SK하이닉스"));
    same("new title");
    m.SetBars(MinuteBars(150, day, 20000));
    same("another stock, same count");

    m.SetIsMinute(false);
    m.SetBars(DayBars(80));
    same("day chart");
    m.Tick(QStringLiteral("20250312"), {}, 185900, 0, 0, 0, 30000000, 0);
    const int dayBuilt = Chart.LayerBuilds();
    same("day chart, a trade today");   // today's volume was the largest: new volume scale
    m.Tick(QStringLiteral("20250312"), {}, 185800, 0, 0, 0, 30000100, 0);
    same("day chart, another trade");
    EXPECT_EQ(Chart.LayerBuilds(), dayBuilt);
    m.Clear();
    same("no bars");
}

TEST_F(CandleChartTest, RisingCandleBodyIsRedAndFallingIsBlue)
{
    TChartModel& m = Chart.Model();
    m.SetIsMinute(false);
    m.SetUserBarW(20);
    QVector<TBar> bars;
    for (int i = 0; i < 12; ++i) {
        const bool up = i != 11;
        bars << TBar{QStringLiteral("202503%1").arg(i + 1, 2, 10, QLatin1Char('0')), up ? 1000.0 : 1400.0, 1450,
                     950, up ? 1400.0 : 1000.0, 100, 0};
    }
    m.SetBars(bars);
    const QImage img = Paint(Chart);
    const int y = m.PriceY(1200);
    EXPECT_EQ(img.pixelColor(m.BarX(10) + 3, y), QColor(229, 57, 53));
    EXPECT_EQ(img.pixelColor(m.BarX(11) + 3, y), QColor(30, 136, 229));
}

TEST_F(CandleChartTest, WheelZoomsWithinBoundsAndDoubleClickResets)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    const int w0 = m.BarW();
    Wheel(120);
    EXPECT_EQ(m.BarW(), w0 + 1);
    EXPECT_EQ(m.UserBarW(), w0 + 1);
    for (int i = 0; i < 60; ++i)
        Wheel(120);
    EXPECT_EQ(m.BarW(), 40);
    for (int i = 0; i < 60; ++i)
        Wheel(-120);
    EXPECT_EQ(m.BarW(), 1);
    EXPECT_EQ(m.UserBarW(), 1);

    m.SetOffset(50);
    QTest::mouseDClick(&Chart, Qt::LeftButton, {}, Mid().toPoint());
    EXPECT_EQ(m.Offset(), 0);
    EXPECT_EQ(m.UserBarW(), 0);
    EXPECT_TRUE(m.FitPending());
    Paint(Chart);
    EXPECT_GE(m.BarW(), 6);  // refit to about 60 bars
    EXPECT_LE(m.BarW(), 16);
}

TEST_F(CandleChartTest, DragPansAndShortClickRaisesBarClick)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    const int bw = m.BarW();
    QString clicked;
    m.OnBarClick = [&](const QString& d) { clicked = d; };

    const QPoint a(200, 150);
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(&Chart, a + QPoint(bw * 5, 0));
    EXPECT_EQ(m.Offset(), 5);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(bw * 5, 0));
    EXPECT_TRUE(clicked.isEmpty());
    // Dragging right past the oldest bar stops at count - 10.
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(&Chart, a + QPoint(bw * 1000, 0));
    EXPECT_EQ(m.Offset(), 290);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(bw * 1000, 0));

    m.SetOffset(0);
    Paint(Chart);
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(2, 3));
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_LE(std::abs(m.BarX(m.BarIndexAt(clicked)) - a.x()), m.BarW());
    // A click that moves 4 pixels is no bar click.
    clicked.clear();
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(4, 0));
    EXPECT_TRUE(clicked.isEmpty());
}

TEST_F(CandleChartTest, DrawingToolsPlaceSelectMoveAndDelete)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    int changes = 0;
    m.OnDrawsChange = [&] { ++changes; };

    // A trend line needs two clicks; Esc after the first leaves nothing.
    Chart.SetTool('L');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::keyClick(&Chart, Qt::Key_Escape);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_TRUE(m.Tool().isNull());

    // Right click with a tool ends it without adding anything.
    Chart.SetTool('H');
    QTest::mouseClick(&Chart, Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_TRUE(m.Tool().isNull());
    EXPECT_TRUE(m.GetDraws().isEmpty());

    Chart.SetTool('H');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 120));
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_EQ(changes, 1);
    Chart.SetTool(QChar());
    Paint(Chart);
    const double p0 = m.GetDraws()[0].P1;
    EXPECT_EQ(Chart.HitDraw(QPoint(300, 122)), 0);
    EXPECT_EQ(Chart.HitDraw(QPoint(300, 140)), -1);

    // Dragging the line sideways and down changes only its price.
    QTest::mousePress(&Chart, Qt::LeftButton, {}, QPoint(300, 120));
    EXPECT_EQ(m.Sel(), 0);
    QTest::mouseMove(&Chart, QPoint(360, 150));
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, QPoint(360, 150));
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_LT(m.GetDraws()[0].P1, p0);
    EXPECT_TRUE(m.GetDraws()[0].D1.isEmpty());
    EXPECT_EQ(changes, 2);

    Paint(Chart);
    QTest::keyClick(&Chart, Qt::Key_Delete);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_EQ(changes, 3);

    // Two quick clicks: the second press comes as a double click and still
    // places the second anchor.
    Chart.SetTool('L');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 100));
    const QPointF at(200, 80);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, Chart.mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Chart, &dbl);
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_EQ(m.GetDraws()[0].K, QChar('L'));
    EXPECT_NE(m.GetDraws()[0].D1, m.GetDraws()[0].D2);
}

// Nothing is painted where the window's controls cover the top strip; the
// title's period word and "VWAP" stay readable left of them.
TEST_F(CandleChartTest, TopStripTextsStayClearOfTheWindowsControls)
{
    const QColor vwap(0xc8, 0x8c, 0x00);
    const QColor ma[3] = {QColor(0xff, 0x98, 0x00), QColor(0x9c, 0x27, 0xb0), QColor(0x43, 0xa0, 0x47)};
    const QVector<TBar> bars = MinuteBars(200, QStringLiteral("20250312"), 185000, 2000000);
    for (const int w : {460, 560, 700}) {
        SCOPED_TRACE(w);
        TCandleChart c;
        c.resize(w, 360);
        c.Model().SetIsMinute(true);
        c.Model().SetTitle(QStringLiteral("1분봉  SK하이닉스"));
        c.Model().SetBars(bars);
        const QVector<QWidget*> ctrls = PlaceControls(c);
        const QImage img = Paint(c);
        const int stripB = 3 + TextH(c);
        int left = w;
        for (QWidget* k : ctrls) {
            left = std::min(left, k->x());
            const QRect r = k->geometry() & QRect(0, 0, w, stripB);
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    ASSERT_EQ(img.pixelColor(x, y).name(), QStringLiteral("#ffffff"))
                        << "under a control at " << x << ',' << y;
        }
        const QRect strip(0, 0, left, stripB);
        EXPECT_TRUE(HasColour(img, strip, vwap));
        if (w == 700) {  // room for the whole legend
            for (const QColor& k : ma)
                EXPECT_TRUE(HasColour(img, strip, k)) << k.name().toStdString();
        }

        // The period word is painted as when it is the whole title.
        TCandleChart ref;
        ref.resize(w, 360);
        ref.Model().SetIsMinute(true);
        ref.Model().SetTitle(QStringLiteral("1분봉"));
        ref.Model().SetBars(bars);
        QFont bold = c.ChartFont();
        bold.setBold(true);
        const int word = 6 + QFontMetrics(bold).horizontalAdvance(QStringLiteral("1분봉"));
        EXPECT_TRUE(Diff(img, Paint(ref), QRect(0, 0, word, stripB)).isNull());
    }
}

// The information line ends inside the price pane, left of any control in
// its row: its parts that change with the last bar's volume (량, and VWAP on
// the minute chart) paint nothing in the axis column, yet show on a wide chart.
TEST_F(CandleChartTest, InformationLineStaysInsideThePricePane)
{
    const struct {
        bool Minute;
        int W;
        int ControlX;  // a control reaching down into the line's row; 0 = none
    } cases[] = {{true, 460, 0}, {true, 560, 0}, {true, 700, 0}, {true, 560, 300}, {false, 460, 0},
                 {false, 560, 0}, {true, 1000, 0}, {false, 1000, 0}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3")
                         .arg(tc.Minute ? "minute" : "day")
                         .arg(tc.W)
                         .arg(tc.ControlX)
                         .toStdString());
        QImage img[2];
        int paneR = 0, top = 0, th = 0;
        for (int k = 0; k < 2; ++k) {
            TCandleChart c;
            c.resize(tc.W, 360);
            c.Model().SetIsMinute(tc.Minute);
            QVector<TBar> bars =
                tc.Minute ? MinuteBars(200, QStringLiteral("20250312"), 185000, 2000000) : DayBars(120);
            bars.last().V = k == 0 ? 1000 : 987654321;
            c.Model().SetBars(bars);
            th = TextH(c);
            top = PaneTop(c);
            paneR = std::min(AxisLeft(c), tc.ControlX ? tc.ControlX : tc.W);
            if (tc.ControlX)
                (new QPushButton(QStringLiteral("하루"), &c))->setGeometry(tc.ControlX, 1, 60, top + th);
            img[k] = Paint(c);
        }
        const QRect row(0, top + 1, tc.W, th + 2);
        const QRect d = Diff(img[0], img[1], row);
        if (tc.W == 1000) {
            ASSERT_FALSE(d.isNull());
        }
        if (!d.isNull()) {
            EXPECT_LT(d.right(), paneR - 2);
        }
    }
}

// A day chart holding only today's bar shows its change against the previous
// close: the same line as when yesterday's bar closed at that price.
TEST_F(CandleChartTest, OneBarDayChartChangeIsAgainstThePreviousClose)
{
    const TBar today{QStringLiteral("20250312"), 57000, 57300, 55800, 56500, 1234567, 0};
    QImage img[2];
    for (int k = 0; k < 2; ++k) {
        TChartModel& m = Chart.Model();
        m.SetIsMinute(false);
        m.SetPrevClose(55000);
        if (k == 0)
            m.SetBars({today});
        else
            m.SetBars({TBar{QStringLiteral("20250311"), 55500, 55900, 54800, 55000, 1000000, 0}, today});
        img[k] = Paint(Chart);
    }
    const QRect line(0, PaneTop(Chart) + 1, AxisLeft(Chart) - 40, TextH(Chart) + 2);
    EXPECT_TRUE(Diff(img[0], img[1], line).isNull());
}

// The boxes at the pane's left edge, today's high tag and the holding box,
// keep below the information line when their price is at the top.
TEST_F(CandleChartTest, BoxesAtThePaneTopStayBelowTheInformationLine)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(200));  // rising: today's high is the top of the pane
    const struct {
        double Avg;
        QColor Box;
    } cases[] = {{0, QColor(0xd8, 0x20, 0x20)}, {20000, QColor(0xff, 0x80, 0x00)}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.Box.name().toStdString());
        m.SetAvg(tc.Avg, tc.Avg > 0 ? 10 : 0);
        const QImage img = Paint(Chart);
        // Column 8 runs through either box's left edge; in the line's rows
        // only the high's price line may cross it.
        int rows = 0;
        for (int y = PaneTop(Chart) + 2; y < PaneTop(Chart) + 2 + TextH(Chart); ++y)
            rows += img.pixelColor(8, y) == tc.Box;
        EXPECT_LE(rows, 1);
    }
}

} // namespace
